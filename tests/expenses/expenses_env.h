// A practice for the expense tests: a host, a navigator and a context over a
// "Pratiche.xls" in a temporary folder, either the shared fixture or a small
// workbook built here with look-alike client and case numbers.
#pragma once

#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/form_base.h"
#include "core/ui/navigator.h"

#include <QTemporaryDir>
#include <QVariant>

#include <memory>

struct ExpenseRow {
    QVariant id, caseNumber, client, date, description, kind, amount, vat;
};

class ExpensesEnv {
public:
    ExpensesEnv();
    ~ExpensesEnv();

    // The shared practice fixture, copied; false when it is absent.
    bool openFixture();
    // A new workbook: clients 1 "ALFA", 10 "BETA", 21 "GAMMA", 2 "DELTA"
    // (in that sheet order); cases 1 (client 10), 10 (client 1), 11 (client 21),
    // 21 (client 1), 5 (client 2); and the expense rows given.
    void buildPractice(const std::vector<ExpenseRow>& rows);

    gp::host::Book& book() { return *ctx.practice(); }
    gp::host::Sheet& sheet(const QString& name) { return *book().sheet(name); }
    // Saves, closes and opens the workbook again from disk.
    void saveAndReopen();

    QTemporaryDir dir;
    std::unique_ptr<gp::host::SpreadsheetHost> host;
    std::unique_ptr<gp::ui::Navigator> nav;
    gp::ui::AppContext ctx;
    QStringList shownForms; // every form the navigator showed, in order
};

// Shows a form and waits until it is the active window (its activation ran).
gp::ui::FormBase* showAndActivate(gp::ui::Navigator& nav, const QString& name);
