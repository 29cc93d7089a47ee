// The test bench of the client register: a copy of the practice's data in a
// temporary folder, the real host and navigator, every form of the program
// registered.
#pragma once

#include "common/practice.h"

class ClientEnv {
public:
    // Copies the fixture and opens it; false when the shared fixtures are absent.
    bool open();
    gp::ui::AppContext& ctx() { return p_.ctx; }
    gp::ui::Navigator& nav() { return *p_.nav; }
    gp::host::Book& book() { return p_.book(); }
    gp::host::Sheet& sheet(const QString& name) { return p_.sheet(name); }
    QVariant cell(const QString& sheetName, int row, int col) { return sheet(sheetName).cells(row, col).value(); }
    void setCell(const QString& sheetName, int row, int col, const QVariant& v)
    {
        sheet(sheetName).cells(row, col).setValue(v);
    }
    // Rows (from 2, down to the first empty cell of `walkColumn`) whose `column` equals `id`.
    int countRows(const QString& sheetName, int walkColumn, int column, double id)
    {
        return p_.countRows(sheetName, walkColumn, column, id);
    }
    // Filled rows from row 2 down.
    int tableLength(const QString& sheetName, int column) { return p_.tableLength(sheetName, column); }

    // Shows a form by name and waits until it has been activated.
    gp::ui::FormBase* show(const QString& name) { return p_.show(name); }

private:
    TestPractice p_;
};
