#include "support_env.h"

#include "app/program.h"
#include "cases/case_form.h"
#include "cases/register_forms.h"
#include "core/ui/clock.h"
#include "search/register_forms.h"

#include <QComboBox>

using namespace gp;

CaseEnv::CaseEnv() { ui::Clock::setFixed(QDateTime(QDate(2026, 3, 14), QTime(9, 30, 5))); }

CaseEnv::~CaseEnv() { ui::Clock::clear(); }

bool CaseEnv::openFixture(bool allForms)
{
    if (!p_.openFixture())
        return false;
    if (allForms) {
        app::registerAllForms(p_.ctx);
    } else {
        cases::registerForms(p_.ctx);
        search::registerForms(p_.ctx);
    }
    return true;
}

void CaseEnv::openSmall(const QStringList& sheets)
{
    host::Book* book = p_.host->create(p_.path(ui::kPracticeFile), ui::kPracticePassword);
    for (const QString& name : sheets) {
        host::Sheet* s = book->addSheet(name);
        QStringList headings;
        if (name == QStringLiteral("Clienti"))
            headings = {"ID Progressivo", "Ragione Sociale/Cognome-Nome"};
        else if (name == QStringLiteral("Pratica") || name == QStringLiteral("Storico"))
            headings = {"N. Pratica", "ID Cliente", "Apertura", "Chiusura", "Ultimo Aggiorn.", "Assegnatario",
                        "Settore", "Area", "Posizione", "Oggetto", "Adempimenti", "Notizie", "Riservato", "Dorvessa"};
        else if (name == QStringLiteral("Spese"))
            headings = {"ID Oper", "N/Pratica", "N/Cliente", "Data", "Descrizione", "Tipo Spesa", "Importo"};
        for (int c = 0; c < headings.size(); ++c)
            s->cells(1, c + 1).setValue(headings[c]);
    }
    book->save();
    cases::registerForms(p_.ctx);
    search::registerForms(p_.ctx);
    ui::FormBase::resetActivation();
}

void CaseEnv::reopen()
{
    host::Book* b = p_.ctx.practice();
    p_.host->close(b);
    p_.host->open(p_.path(ui::kPracticeFile), ui::kPracticePassword);
}

ui::FormBase* CaseEnv::caseFormRaw() { return p_.nav->form(cases::Form4::kName); }

cases::Form4* CaseEnv::caseForm() { return qobject_cast<cases::Form4*>(show(cases::Form4::kName)); }

void CaseEnv::pick(int index)
{
    auto* combo = control<QComboBox>("Combo1");
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}
