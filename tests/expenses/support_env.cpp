#include "expenses_env.h"

#include "expenses/register_forms.h"
#include "instructions/register_forms.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>

ExpensesEnv::ExpensesEnv()
{
    registerMenuStub();
    gp::expenses::registerForms(ctx);
    gp::instructions::registerForms(ctx);
    QObject::connect(nav.get(), &gp::ui::Navigator::formShown, nav.get(),
                     [this](const QString& name) { shownForms << name; });
}

void ExpensesEnv::buildPractice(const std::vector<ExpenseRow>& rows)
{
    gp::host::Book* b =
        host->create(QDir(dir.path()).filePath(gp::ui::kPracticeFile), gp::ui::kPracticePassword);
    auto sheetNamed = [b](const QString& n) { return b->sheetOrNull(n) ? b->sheetOrNull(n) : b->addSheet(n); };
    gp::host::Sheet* clienti = sheetNamed(QStringLiteral("Clienti"));
    gp::host::Sheet* pratica = sheetNamed(QStringLiteral("Pratica"));
    gp::host::Sheet* spese = sheetNamed(QStringLiteral("Spese"));
    sheetNamed(QStringLiteral("S"));

    clienti->cells(1, 1).setValue(QStringLiteral("ID Progressivo"));
    clienti->cells(1, 2).setValue(QStringLiteral("Ragione Sociale/Cognome-Nome"));
    const std::pair<double, const char*> clients[] = {{1, "ALFA"}, {10, "BETA"}, {21, "GAMMA"}, {2, "DELTA"}};
    int r = 2;
    for (const auto& [n, name] : clients) {
        clienti->cells(r, 1).setValue(n);
        clienti->cells(r, 2).setValue(QString::fromUtf8(name));
        ++r;
    }
    pratica->cells(1, 1).setValue(QStringLiteral("N. Pratica"));
    pratica->cells(1, 2).setValue(QStringLiteral("ID Cliente"));
    const std::pair<double, double> cases[] = {{1, 10}, {10, 1}, {11, 21}, {21, 1}, {5, 2}};
    r = 2;
    for (const auto& [c, client] : cases) {
        pratica->cells(r, 1).setValue(c);
        pratica->cells(r, 2).setValue(client);
        ++r;
    }
    const QStringList headings{"ID Oper", "N/Pratica", "N/Cliente", "Data", "Descrizione", "Tipo Spesa", "Importo",
                               "IVA/Esente"};
    for (int c = 0; c < headings.size(); ++c)
        spese->cells(1, c + 1).setValue(headings[c]);
    r = 2;
    for (const ExpenseRow& e : rows) {
        const QVariant values[] = {e.id, e.caseNumber, e.client, e.date, e.description, e.kind, e.amount, e.vat};
        for (int c = 0; c < 8; ++c)
            if (values[c].isValid())
                spese->cells(r, c + 1).setValue(values[c]);
        ++r;
    }
}

void ExpensesEnv::saveAndReopen()
{
    const QString path = book().path();
    book().save();
    nav->unloadAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    host->closeAll();
    host->open(path, gp::ui::kPracticePassword);
}

gp::ui::FormBase* showAndActivate(gp::ui::Navigator& nav, const QString& name)
{
    gp::ui::FormBase* f = nav.show(name);
    if (f && !QTest::qWaitFor([f] { return gp::ui::FormBase::lastActivated() == f; }, 2000))
        QTest::qFail(qPrintable(QStringLiteral("the form %1 was shown but never activated").arg(name)), __FILE__,
                     __LINE__);
    return f;
}
