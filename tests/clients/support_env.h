// The test bench of the client register: a copy of the practice's data in a
// temporary folder, the real host and navigator, every form of the program
// registered, and a stand-in for the case form when that form is not part of
// the build (it records the case it was asked to show).
#pragma once

#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/form_base.h"
#include "core/ui/navigator.h"

#include <QTemporaryDir>
#include <QVariant>

#include <memory>

class CaseFormStandIn : public gp::ui::FormBase {
    Q_OBJECT
public:
    explicit CaseFormStandIn(gp::ui::AppContext& ctx) : FormBase(ctx, QStringLiteral("Form4")) {}
    QList<double> shownCases;
public slots:
    void showCase(double caseNumber) { shownCases << caseNumber; }
};

class ClientEnv {
public:
    ClientEnv();
    ~ClientEnv();

    // Copies the fixture and opens it; false when the shared fixtures are absent.
    bool open();
    gp::ui::AppContext& ctx() { return ctx_; }
    gp::ui::Navigator& nav() { return *nav_; }
    gp::host::Book& book() { return *ctx_.practice(); }
    gp::host::Sheet& sheet(const QString& name) { return *book().sheet(name); }
    QVariant cell(const QString& sheetName, int row, int col) { return sheet(sheetName).cells(row, col).value(); }
    void setCell(const QString& sheetName, int row, int col, const QVariant& v)
    {
        sheet(sheetName).cells(row, col).setValue(v);
    }
    // Rows (from 2, down to the first empty cell of `walkColumn`) whose `column` equals `id`.
    int countRows(const QString& sheetName, int walkColumn, int column, double id);
    int tableLength(const QString& sheetName, int column); // filled rows from row 2 down

    // Shows a form by name and waits until it has been activated.
    gp::ui::FormBase* show(const QString& name);
    bool caseFormIsStandIn() const { return standIn_; }

private:
    QTemporaryDir dir_;
    std::unique_ptr<gp::host::SpreadsheetHost> host_;
    std::unique_ptr<gp::ui::Navigator> nav_;
    gp::ui::AppContext ctx_;
    bool standIn_ = false;
};
