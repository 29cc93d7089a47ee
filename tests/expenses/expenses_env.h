// A practice for the expense tests: a host, a navigator and a context over a
// "Pratiche.xls" in a temporary folder, either the shared fixture or a small
// workbook built here with look-alike client and case numbers.
#pragma once

#include "common/practice.h"

struct ExpenseRow {
    QVariant id, caseNumber, client, date, description, kind, amount, vat;
};

// TestPractice with a stand-in main menu and the expense and instruction forms
// registered; openFixture() copies and opens the shared practice.
class ExpensesEnv : public TestPractice {
public:
    ExpensesEnv();

    // A new workbook: clients 1 "ALFA", 10 "BETA", 21 "GAMMA", 2 "DELTA"
    // (in that sheet order); cases 1 (client 10), 10 (client 1), 11 (client 21),
    // 21 (client 1), 5 (client 2); and the expense rows given.
    void buildPractice(const std::vector<ExpenseRow>& rows);

    // Saves, closes and opens the workbook again from disk.
    void saveAndReopen();

    QStringList shownForms; // every form the navigator showed, in order
};

// Shows a form and waits until its activation ran (a form never activated
// fails the test).
gp::ui::FormBase* showAndActivate(gp::ui::Navigator& nav, const QString& name);
