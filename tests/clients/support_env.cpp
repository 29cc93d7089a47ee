#include "support_env.h"

#include "app/program.h"
#include "common/modal.h"
#include "core/ui/text_rules.h"

#include <QCoreApplication>
#include <QTest>

using namespace gp;

ClientEnv::ClientEnv() : host_(std::make_unique<host::SpreadsheetHost>()), nav_(std::make_unique<ui::Navigator>())
{
    ctx_.host = host_.get();
    ctx_.navigator = nav_.get();
    ui::setItalianLocale();
}

ClientEnv::~ClientEnv()
{
    nav_->unloadAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    nav_.reset();
    ctx_.navigator = nullptr;
    host_->closeAll();
    ui::FormBase::resetActivation();
}

bool ClientEnv::open()
{
    if (!dir_.isValid() || !copyPracticeFixture(dir_.path()))
        return false;
    ctx_.folder = dir_.path();
    host_->open(ctx_.path(ui::kPracticeFile), ui::kPracticePassword);
    app::registerAllForms(ctx_);
    if (!nav_->isRegistered(QStringLiteral("Form4"))) {
        standIn_ = true;
        nav_->registerForm(QStringLiteral("Form4"), [this] { return new CaseFormStandIn(ctx_); });
    }
    ui::FormBase::resetActivation();
    return true;
}

int ClientEnv::countRows(const QString& sheetName, int walkColumn, int column, double id)
{
    int n = 0;
    host::Sheet& s = sheet(sheetName);
    for (int r : s.walkDown(2, walkColumn))
        if (host::sameIdentifier(s.cells(r, column).value(), id))
            ++n;
    return n;
}

int ClientEnv::tableLength(const QString& sheetName, int column)
{
    return int(sheet(sheetName).walkDown(2, column).size());
}

ui::FormBase* ClientEnv::show(const QString& name)
{
    ui::FormBase* f = nav_->show(name);
    if (f)
        QTest::qWaitFor([f] { return ui::FormBase::lastActivated() == f; }, 2000);
    return f;
}
