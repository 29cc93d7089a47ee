#include "support_agenda.h"

#include "common/modal.h"
#include "core/ui/text_rules.h"
#include "deadlines/register_forms.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

bool AgendaEnv::start(bool withDeadlineFile)
{
    gp::ui::setItalianLocale();
    if (!dir.isValid() || !copyPracticeFixture(dir.path()))
        return false;
    if (!withDeadlineFile)
        QFile::remove(path(QStringLiteral("Dorvessa.xls")));
    host = std::make_unique<gp::host::SpreadsheetHost>();
    nav = std::make_unique<gp::ui::Navigator>();
    ctx.host = host.get();
    ctx.navigator = nav.get();
    ctx.folder = dir.path();
    nav->registerForm(QStringLiteral("MenuPrincipale"), [this] { return new MenuStub(ctx); });
    nav->setMainMenuName(QStringLiteral("MenuPrincipale"));
    gp::deadlines::registerForms(ctx);
    host->open(path(gp::ui::kPracticeFile), gp::ui::kPracticePassword);
    gp::ui::FormBase::resetActivation();
    return true;
}

AgendaEnv::~AgendaEnv()
{
    nav.reset();
    if (host)
        host->closeAll();
}

gp::ui::FormBase* AgendaEnv::show(const QString& form)
{
    gp::ui::FormBase* f = nav->show(form);
    if (f)
        waitActive(form);
    return f;
}

bool AgendaEnv::waitActive(const QString& form)
{
    return QTest::qWaitFor(
        [&] {
            gp::ui::FormBase* f = gp::ui::FormBase::lastActivated();
            return f && f->objectName() == form;
        },
        2000);
}

SavedBook::SavedBook(const QString& path, const QString& password)
{
    const QString copy = copyDir.filePath(QFileInfo(path).fileName());
    QFile::copy(path, copy);
    book = host.open(copy, password);
}
