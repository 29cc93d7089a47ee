// A practice folder for the agenda's tests: the fixture copied into a
// temporary folder, "Pratiche.xls" opened as the start-up does, the agenda's
// forms registered, plus a stand-in main menu and a stand-in case form.
#pragma once

#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/form_base.h"
#include "core/ui/navigator.h"

#include <QCheckBox>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The main menu of the program, as far as the agenda needs it.
class MenuStub : public gp::ui::FormBase {
    Q_OBJECT
public:
    explicit MenuStub(gp::ui::AppContext& ctx) : FormBase(ctx, QStringLiteral("MenuPrincipale")) {}
};

// The case form's hand-over slot.
class CaseFormStub : public gp::ui::FormBase {
    Q_OBJECT
public:
    explicit CaseFormStub(gp::ui::AppContext& ctx) : FormBase(ctx, QStringLiteral("Form4")) {}
    QStringList deadlineTexts;
public slots:
    void setDeadlineText(QString text) { deadlineTexts << text; }
};

struct AgendaEnv {
    QTemporaryDir dir;
    std::unique_ptr<gp::host::SpreadsheetHost> host;
    std::unique_ptr<gp::ui::Navigator> nav;
    gp::ui::AppContext ctx;

    // Copies the fixture and opens "Pratiche.xls"; false when the fixture is absent.
    bool start(bool withDeadlineFile = true);
    ~AgendaEnv();

    QString path(const QString& name) const { return dir.filePath(name); }
    gp::ui::FormBase* show(const QString& form);
    // Processes events until the form is the one last activated.
    bool waitActive(const QString& form);
};

// A fresh host reading a saved workbook, to check what reached the disk. It
// reads a copy, since the program under test still holds the file's lock.
struct SavedBook {
    QTemporaryDir copyDir;
    gp::host::SpreadsheetHost host;
    gp::host::Book* book = nullptr;
    SavedBook(const QString& path, const QString& password);
    ~SavedBook() { host.closeAll(); }
    gp::host::Sheet* sheet(const QString& name) { return book->sheet(name); }
};

template <class T>
T* child(QWidget* form, const char* name)
{
    return form ? form->findChild<T*>(QString::fromLatin1(name)) : nullptr;
}

#define SKIP_WITHOUT_FIXTURE(env)                                                                                \
    if (!(env).start())                                                                                          \
    QSKIP("the practice fixture (GP_SHARED_DIR/fixtures/practice) is absent")
