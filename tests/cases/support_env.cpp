#include "support_env.h"

#include "app/program.h"
#include "cases/case_form.h"
#include "cases/register_forms.h"
#include "common/modal.h"
#include "core/ui/clock.h"
#include "core/ui/text_rules.h"
#include "search/register_forms.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QTest>

using namespace gp;

CaseEnv::CaseEnv() : host_(std::make_unique<host::SpreadsheetHost>()), nav_(std::make_unique<ui::Navigator>())
{
    ctx_.host = host_.get();
    ctx_.navigator = nav_.get();
    ui::setItalianLocale();
    ui::Clock::setFixed(QDateTime(QDate(2026, 3, 14), QTime(9, 30, 5)));
}

CaseEnv::~CaseEnv()
{
    nav_->unloadAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    nav_.reset();
    ctx_.navigator = nullptr;
    host_->closeAll();
    ui::FormBase::resetActivation();
    ui::Clock::clear();
}

bool CaseEnv::openFixture(bool allForms)
{
    if (!dir_.isValid() || !copyPracticeFixture(dir_.path()))
        return false;
    ctx_.folder = dir_.path();
    host_->open(ctx_.path(ui::kPracticeFile), ui::kPracticePassword);
    if (allForms) {
        app::registerAllForms(ctx_);
    } else {
        cases::registerForms(ctx_);
        search::registerForms(ctx_);
    }
    ui::FormBase::resetActivation();
    return true;
}

void CaseEnv::openSmall(const QStringList& sheets)
{
    ctx_.folder = dir_.path();
    host::Book* book = host_->create(ctx_.path(ui::kPracticeFile), ui::kPracticePassword);
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
    cases::registerForms(ctx_);
    search::registerForms(ctx_);
    ui::FormBase::resetActivation();
}

void CaseEnv::reopen()
{
    host::Book* b = ctx_.practice();
    host_->close(b);
    host_->open(ctx_.path(ui::kPracticeFile), ui::kPracticePassword);
}

int CaseEnv::tableLength(const QString& sheetName, int column)
{
    return int(sheet(sheetName).walkDown(2, column).size());
}

int CaseEnv::countRows(const QString& sheetName, int walkColumn, int column, double id)
{
    int n = 0;
    host::Sheet& s = sheet(sheetName);
    for (int r : s.walkDown(2, walkColumn))
        if (host::sameIdentifier(s.cells(r, column).value(), id))
            ++n;
    return n;
}

ui::FormBase* CaseEnv::show(const QString& name)
{
    ui::FormBase* f = nav_->show(name);
    if (f)
        QTest::qWaitFor([f] { return ui::FormBase::lastActivated() == f; }, 2000);
    return f;
}

cases::Form4* CaseEnv::caseForm() { return qobject_cast<cases::Form4*>(show(QStringLiteral("Form4"))); }

void CaseEnv::pick(int index)
{
    auto* combo = control<QComboBox>("Combo1");
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}
