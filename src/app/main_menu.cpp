#include "app/main_menu.h"

#include "app/artwork.h"
#include "cases/case_form.h"
#include "clients/anagrafe.h"
#include "core/ui/app_context.h"
#include "core/ui/clock.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "core/ui/session.h"
#include "core/ui/shared_workbook.h"
#include "core/ui/text_rules.h"
#include "deadlines/attiva.h"
#include "deadlines/startup_summary.h"
#include "expenses/inter_spese.h"
#include "instructions/istruzioni.h"

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace gp::app {

using namespace gp::ui;

namespace {
struct Command {
    const char* object;
    const char* caption;
    const char* hint;
    const QString* form;
};
const Command kCommands[] = {
    {"CmdPratiche", "Gestione &Pratiche", "Pratiche aperte: consultazione, aggiornamento, archiviazione",
     &cases::Form4::kName},
    {"CmdClienti", "&Anagrafica Clienti", "Clienti dello studio: inserimento, modifica, stampa",
     &clients::Anagrafe::kName},
    {"CmdSpese", "Nota &Spese", "Spese per cliente o per pratica, con il saldo", &expenses::InterSpese::kName},
    {"CmdScadenze", "&Dorvessa - Scadenze", "Agenda delle scadenze: eventi, scaduti, stampe",
     &deadlines::Attiva::kName},
    {"CmdIstruzioni", "&Istruzioni", "Come si usa il programma", &instructions::Istruzioni::kName},
};
} // namespace

MainMenu::MainMenu(AppContext& ctx) : FormBase(ctx, kName)
{
    setWindowTitle(kTitle);
    setWindowIcon(practiceIcon());

    auto* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("MnFile"));

    auto* outer = new QVBoxLayout(body());
    outer->setContentsMargins(24, 18, 24, 18);
    outer->setSpacing(10);

    auto* head = new QHBoxLayout;
    auto* picture = new QLabel(body());
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setPixmap(practiceArtwork(72));
    head->addWidget(picture);
    auto* titles = new QVBoxLayout;
    auto* title = new QLabel(kTitle, body());
    title->setObjectName(QStringLiteral("Label1"));
    QFont f = title->font();
    f.setPointSizeF(f.pointSizeF() * 1.8);
    f.setBold(true);
    title->setFont(f);
    titles->addWidget(title);
    date_ = new QLabel(body());
    date_->setObjectName(QStringLiteral("Label2"));
    titles->addWidget(date_);
    head->addLayout(titles, 1);
    outer->addLayout(head);

    readOnly_ = new QLabel(body());
    readOnly_->setObjectName(QStringLiteral("LabelSolaLettura"));
    readOnly_->setTextFormat(Qt::PlainText);
    readOnly_->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    readOnly_->setVisible(false);
    outer->addWidget(readOnly_);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(8);
    int row = 0;
    for (const Command& c : kCommands) {
        QPushButton* b = addCommand(QString::fromUtf8(c.object), QString::fromUtf8(c.caption),
                                    QString::fromUtf8(c.hint), *c.form);
        grid->addWidget(b, row, 0);
        auto* hint = new QLabel(QString::fromUtf8(c.hint), body());
        hint->setObjectName(QString::fromUtf8(c.object) + QStringLiteral("_nota"));
        grid->addWidget(hint, row, 1);
        QAction* a = file->addAction(b->text());
        connect(a, &QAction::triggered, b, &QPushButton::click);
        ++row;
    }
    outer->addLayout(grid);
    // The agenda's summary: expired events and those of the next seven days.
    if (QWidget* deadlines = gp::deadlines::startupSummaryPanel(ctx, body()))
        outer->addWidget(deadlines);
    outer->addStretch(1);

    auto* esci = new QPushButton(QStringLiteral("&Esci"), body());
    esci->setObjectName(QStringLiteral("CmdEsci"));
    esci->setMinimumWidth(140);
    connect(esci, &QPushButton::clicked, this, &MainMenu::exitProgram);
    auto* foot = new QHBoxLayout;
    foot->addStretch(1);
    foot->addWidget(esci);
    outer->addLayout(foot);

    file->addSeparator();
    QAction* quit = file->addAction(QStringLiteral("&Esci"));
    connect(quit, &QAction::triggered, this, &MainMenu::exitProgram);

    resize(620, 420);
    centreOnScreen();
}

QPushButton* MainMenu::addCommand(const QString& objectName, const QString& caption, const QString& hint,
                                  const QString& formName)
{
    auto* b = new QPushButton(caption, body());
    b->setObjectName(objectName);
    b->setToolTip(hint);
    b->setMinimumSize(220, 34);
    connect(b, &QPushButton::clicked, this, [this, formName] { openForm(formName); });
    return b;
}

void MainMenu::onActivate()
{
    date_->setText(longDateIt(Clock::today()));
    const QString notice = readOnlyNotice(ctx());
    readOnly_->setText(notice);
    readOnly_->setVisible(!notice.isEmpty());
}

bool MainMenu::openForm(const QString& formName)
{
    hide();
    bool shown = false;
    hostGuard(this, [&] { shown = ctx().navigator->show(formName) != nullptr; });
    if (!shown && !ctx().ended)
        show();
    return shown;
}

void MainMenu::exitProgram() { saveAndQuit(ctx(), this); }

void MainMenu::closeEvent(QCloseEvent* e)
{
    // The close box leaves the program as "Esci" does; when a save fails the
    // menu stays open.
    e->ignore();
    if (!ctx().ended)
        exitProgram();
}

} // namespace gp::app
