// The bench every form test starts from: a temporary application folder, the
// real spreadsheet host and navigator, and the context the forms receive, with
// the program's Italian locale. The destructor unloads every form, closes every
// workbook without saving and forgets which form was active, so one test never
// sees another's windows.
//
//   TestPractice p;
//   if (!p.openFixture())
//       QSKIP("the practice fixture (GP_SHARED_DIR/fixtures/practice) is absent");
//   gp::clients::registerForms(p.ctx);
//   auto* form = p.show(gp::clients::Anagrafe::kName);   // shown and activated
#pragma once

#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/form_base.h"
#include "core/ui/navigator.h"

#include <QTemporaryDir>
#include <QVariant>

#include <memory>

// A stand-in for the main menu, so that leaving a form has somewhere to go.
class MenuStub : public gp::ui::FormBase {
    Q_OBJECT
public:
    static inline const QString kName = QStringLiteral("MenuPrincipale");
    explicit MenuStub(gp::ui::AppContext& context) : FormBase(context, kName) {}
};

struct TestPractice {
    QTemporaryDir dir;
    std::unique_ptr<gp::host::SpreadsheetHost> host;
    std::unique_ptr<gp::ui::Navigator> nav;
    gp::ui::AppContext ctx;

    TestPractice();
    ~TestPractice();
    TestPractice(const TestPractice&) = delete;
    TestPractice& operator=(const TestPractice&) = delete;

    // Copies the shared practice fixture (Pratiche.xls, Dorvessa.xls,
    // Istruzioni.txt) into the folder; false when the fixture is absent.
    bool copyFixture();
    // copyFixture(), then opens Pratiche.xls with its password.
    bool openFixture();
    // Registers MenuStub as the main menu.
    void registerMenuStub();

    QString path(const QString& fileName) const { return ctx.path(fileName); }
    gp::host::Book& book() { return *ctx.practice(); }
    gp::host::Sheet& sheet(const QString& name) { return *book().sheet(name); }
    // Filled rows from row 2 down to the first empty cell of `column`.
    int tableLength(const QString& sheetName, int column = 1);
    // Rows from 2 (down to the first empty cell of `walkColumn`) whose `column` equals `id`.
    int countRows(const QString& sheetName, int walkColumn, int column, double id);

    // Shows a form by name and waits until its activation has run. A form that
    // is not activated within two seconds fails the running test.
    gp::ui::FormBase* show(const QString& name);
};
