// The test bench of the case files: the real host and navigator on a copy of
// the practice's data (or on a small workbook written through the engine), the
// case forms registered, and helpers to drive the case form by its controls.
#pragma once

#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/form_base.h"
#include "core/ui/navigator.h"

#include <QTemporaryDir>
#include <QVariant>

#include <memory>

namespace gp::cases {
class Form4;
}

class CaseEnv {
public:
    CaseEnv();
    ~CaseEnv();

    // Copies the shared fixture and opens it; false when the fixtures are absent.
    // `allForms`: every form of the program is registered (else only the case
    // files' and the search's own, so the other windows are "not available").
    bool openFixture(bool allForms);
    // A small Pratiche.xls written through the engine with the given sheets
    // (headings in row 1 of "Clienti", "Pratica", "Storico", "Spese"), saved
    // once, then opened; the test fills it.
    void openSmall(const QStringList& sheets);

    gp::ui::AppContext& ctx() { return ctx_; }
    gp::ui::Navigator& nav() { return *nav_; }
    gp::host::SpreadsheetHost& host() { return *host_; }
    gp::host::Book& book() { return *ctx_.practice(); }
    gp::host::Sheet& sheet(const QString& name) { return *book().sheet(name); }
    QVariant cell(const QString& sheetName, int row, int col) { return sheet(sheetName).cells(row, col).value(); }
    void setCell(const QString& sheetName, int row, int col, const QVariant& v)
    {
        sheet(sheetName).cells(row, col).setValue(v);
    }
    QString path() const { return dir_.path(); }
    // Filled rows from row 2 down to the first empty cell of `column`.
    int tableLength(const QString& sheetName, int column = 1);
    // Rows from 2 (down to the first empty cell of `walkColumn`) whose `column` equals `id`.
    int countRows(const QString& sheetName, int walkColumn, int column, double id);
    // Closes the workbook without saving and opens it again from the disk.
    void reopen();

    // Shows a form by name and waits until it has been activated.
    gp::ui::FormBase* show(const QString& name);
    gp::cases::Form4* caseForm();           // shown and activated
    // Picks the entry at `index` of Combo1 as the user would.
    void pick(int index);
    template <class T>
    T* control(const char* name) { return caseFormRaw()->findChild<T*>(QString::fromLatin1(name)); }
    gp::ui::FormBase* caseFormRaw() { return nav_->form(QStringLiteral("Form4")); }

private:
    QTemporaryDir dir_;
    std::unique_ptr<gp::host::SpreadsheetHost> host_;
    std::unique_ptr<gp::ui::Navigator> nav_;
    gp::ui::AppContext ctx_;
};
