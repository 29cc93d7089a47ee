#include "practice.h"

#include "common/modal.h"
#include "core/ui/text_rules.h"

#include <QCoreApplication>
#include <QTest>

using namespace gp;

TestPractice::TestPractice()
    : host(std::make_unique<host::SpreadsheetHost>()), nav(std::make_unique<ui::Navigator>())
{
    ui::setItalianLocale();
    ctx.host = host.get();
    ctx.navigator = nav.get();
    ctx.folder = dir.path();
    ui::FormBase::resetActivation();
}

TestPractice::~TestPractice()
{
    nav->unloadAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    nav.reset();
    ctx.navigator = nullptr;
    host->closeAll();
    ui::FormBase::resetActivation();
}

bool TestPractice::copyFixture() { return dir.isValid() && copyPracticeFixture(dir.path()); }

bool TestPractice::openFixture()
{
    if (!copyFixture())
        return false;
    host->open(ctx.path(ui::kPracticeFile), ui::kPracticePassword);
    ui::FormBase::resetActivation();
    return true;
}

void TestPractice::registerMenuStub()
{
    nav->registerForm(MenuStub::kName, [this] { return new MenuStub(ctx); });
    nav->setMainMenuName(MenuStub::kName);
}

int TestPractice::tableLength(const QString& sheetName, int column)
{
    return int(sheet(sheetName).walkDown(2, column).size());
}

int TestPractice::countRows(const QString& sheetName, int walkColumn, int column, double id)
{
    int n = 0;
    host::Sheet& s = sheet(sheetName);
    for (int r : s.walkDown(2, walkColumn))
        if (host::sameIdentifier(s.cells(r, column).value(), id))
            ++n;
    return n;
}

ui::FormBase* TestPractice::show(const QString& name)
{
    ui::FormBase* f = nav->show(name);
    if (f && !QTest::qWaitFor([f] { return ui::FormBase::lastActivated() == f; }, 2000))
        QTest::qFail(qPrintable(QStringLiteral("the form %1 was shown but never activated").arg(name)), __FILE__,
                     __LINE__);
    return f;
}
