// The test bench of the case files: the real host and navigator on a copy of
// the practice's data (or on a small workbook written through the engine), the
// case forms registered, and helpers to drive the case form by its controls.
#pragma once

#include "common/practice.h"

namespace gp::cases {
class Form4;
}

class CaseEnv {
public:
    CaseEnv();
    ~CaseEnv();

    // Copies the shared fixture and opens it; false when the fixtures are absent.
    // `allForms`: every form of the program is registered (else only the case
    // files' and the search's own).
    bool openFixture(bool allForms);
    // A small Pratiche.xls written through the engine with the given sheets
    // (headings in row 1 of "Clienti", "Pratica", "Storico", "Spese"), saved
    // once, then opened; the test fills it.
    void openSmall(const QStringList& sheets);

    gp::ui::AppContext& ctx() { return p_.ctx; }
    gp::ui::Navigator& nav() { return *p_.nav; }
    gp::host::SpreadsheetHost& host() { return *p_.host; }
    gp::host::Book& book() { return p_.book(); }
    gp::host::Sheet& sheet(const QString& name) { return p_.sheet(name); }
    QVariant cell(const QString& sheetName, int row, int col) { return sheet(sheetName).cells(row, col).value(); }
    void setCell(const QString& sheetName, int row, int col, const QVariant& v)
    {
        sheet(sheetName).cells(row, col).setValue(v);
    }
    QString path() const { return p_.dir.path(); }
    // Filled rows from row 2 down to the first empty cell of `column`.
    int tableLength(const QString& sheetName, int column = 1) { return p_.tableLength(sheetName, column); }
    // Rows from 2 (down to the first empty cell of `walkColumn`) whose `column` equals `id`.
    int countRows(const QString& sheetName, int walkColumn, int column, double id)
    {
        return p_.countRows(sheetName, walkColumn, column, id);
    }
    // Closes the workbook without saving and opens it again from the disk.
    void reopen();

    // Shows a form by name and waits until it has been activated.
    gp::ui::FormBase* show(const QString& name) { return p_.show(name); }
    gp::cases::Form4* caseForm();           // shown and activated
    // Picks the entry at `index` of Combo1 as the user would.
    void pick(int index);
    template <class T>
    T* control(const char* name) { return caseFormRaw()->findChild<T*>(QString::fromLatin1(name)); }
    gp::ui::FormBase* caseFormRaw();

private:
    TestPractice p_;
};
