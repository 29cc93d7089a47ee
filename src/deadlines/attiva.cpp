#include "deadlines/attiva.h"

#include "core/ui/app_context.h"
#include "core/ui/clock.h"
#include "core/ui/geometry.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "core/ui/session.h"
#include "deadlines/agenda.h"
#include "deadlines/inserisci.h"
#include "deadlines/logo.h"
#include "deadlines/visualizza.h"
#include "printing/stampa.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>

namespace gp::deadlines {

using namespace gp::ui;

namespace {
QCheckBox* box(QWidget* parent, const char* name, const QString& caption, int left, int top, int width)
{
    auto* b = new QCheckBox(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    placeTwips(b, left, top, width, 375);
    return b;
}
} // namespace

bool Attiva::prepareAgenda(AppContext& ctx, QWidget* parent)
{
    if (!ctx.deadlines() && !verifyFile(ctx.path(kDeadlineFile))) {
        msgBox(parent, missingAgendaMessage(ctx), OkOnly);
        return false;
    }
    return hostGuard(parent, [&] {
        host::Book* book = openAgenda(ctx);
        prepareDeadlineSheet(book->sheet(kDeadlineSheet));
    });
}

Attiva::Attiva(AppContext& ctx) : FormBase(ctx, kName)
{
    setWindowTitle(kCaption);
    setCloseRefused(true);
    setClientSizeTwips(5400, 3600);

    QWidget* b = body();
    image1_ = new Logo(b, 64);
    placeTwips(image1_, 240, 240, 1000, 1000);
    check1_ = box(b, "Check1", QStringLiteral("Gestione Dorvessa"), 1600, 300, 3000);
    check4_ = box(b, "Check4", QStringLiteral("Stampe"), 1600, 800, 3000);
    check3_ = box(b, "Check3", QStringLiteral("Excel"), 1600, 1300, 3000);
    check2_ = box(b, "Check2", QStringLiteral("Esci"), 1600, 1800, 3000);
    text1_ = new QLineEdit(b);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setReadOnly(true);
    placeTwips(text1_, 1600, 2700, 2400, 330);
    startFormClock(this, text1_);

    connect(check1_, &QCheckBox::toggled, this, &Attiva::check1Toggled);
    connect(check2_, &QCheckBox::toggled, this, &Attiva::check2Toggled);
    connect(check4_, &QCheckBox::toggled, this, &Attiva::check4Toggled);
    // "Excel" has no action of its own.
}

void Attiva::check1Toggled(bool checked)
{
    if (!checked)
        return;
    check3_->setChecked(false);
    check2_->setChecked(false);
    check4_->setChecked(false);
    hide();
    ctx().navigator->show(Inserisci::kName);
    check1_->setChecked(false);
}

void Attiva::check4Toggled(bool checked)
{
    if (!checked)
        return;
    openPrinting();
    check4_->setChecked(false);
}

void Attiva::openPrinting()
{
    hostGuard(this, [&] { ctx().navigator->show(printing::Stampa::kName); });
}

void Attiva::check2Toggled(bool checked)
{
    if (!checked)
        return;
    check3_->setChecked(false);
    check1_->setChecked(false);
    leaveAgenda();
    check2_->setChecked(false);
}

bool Attiva::leaveAgenda()
{
    // Both workbooks are saved, whichever is active; when a save fails the
    // agenda stays open so that nothing is lost.
    if (!saveModifiedWorkbooks(ctx(), this))
        return false;
    Navigator* nav = ctx().navigator;
    // The agenda's other windows go with it.
    nav->unload(printing::Stampa::kName);
    nav->unload(Visualizza::kName);
    hide();
    nav->showMainMenu();
    return true;
}

void Attiva::closeEvent(QCloseEvent* e)
{
    // The close box leaves the agenda as "Esci" does.
    e->ignore();
    if (isVisible() && !ctx().ended)
        leaveAgenda();
}

} // namespace gp::deadlines
