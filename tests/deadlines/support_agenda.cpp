#include "support_agenda.h"

#include "deadlines/register_forms.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

bool AgendaEnv::start(bool withDeadlineFile)
{
    if (!copyFixture())
        return false;
    if (!withDeadlineFile)
        QFile::remove(path(QStringLiteral("Dorvessa.xls")));
    registerMenuStub();
    gp::deadlines::registerForms(ctx);
    host->open(path(gp::ui::kPracticeFile), gp::ui::kPracticePassword);
    gp::ui::FormBase::resetActivation();
    return true;
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
