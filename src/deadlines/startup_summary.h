// The agenda's summary shown by the main menu after the login: how many events
// are expired and how many fall within the next seven days, with a command that
// lists them.
//
//   if (QWidget* panel = gp::deadlines::startupSummaryPanel(ctx, body()))
//       layout->addWidget(panel);
//
// "Dorvessa.xls" is opened here once for the run (the agenda's forms use that
// same open workbook). When the file is missing, or cannot be opened, there is
// no summary and no message.
#pragma once

#include <QString>

class QWidget;

namespace gp::ui {
struct AppContext;
}

namespace gp::deadlines {

struct StartupSummary {
    bool available = false; // the agenda could be read
    int expired = 0;        // date before today
    int upcoming = 0;       // today up to seven days ahead
    QString text;           // "Dorvessa: 2 eventi scaduti, 3 eventi nei prossimi sette giorni."
};

StartupSummary startupSummary(ui::AppContext& ctx);
QString summaryText(int expired, int upcoming);

// Opens the viewer on the expired events and those of the next seven days.
void showSummaryEvents(ui::AppContext& ctx);

// A panel (objectName "DorvessaRiepilogo") with the summary text (label
// "LabelScadenze") and the command "&Vedi Scadenze" ("CmdVediScadenze");
// nullptr when there is no agenda. The text is brought up to date each time
// the window holding it becomes active.
QWidget* startupSummaryPanel(ui::AppContext& ctx, QWidget* parent);

} // namespace gp::deadlines
