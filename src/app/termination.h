// The ways the system ends the program: SIGTERM (logout, shutdown, "kill"),
// SIGHUP (the terminal goes), SIGINT (Ctrl+C) and the end of the desktop
// session. Each ends the program as "Esci" does: every workbook with changes
// saved, the lock files removed, exit status 0.
#pragma once

class QGuiApplication;

namespace gp::ui {
struct AppContext;
}

namespace gp::app {

// Catches the three signals; they are handled in the event loop (a signal
// handler only writes to a pipe). Call once, with the context of the program.
void installTerminationHandlers(ui::AppContext& ctx);

// The desktop session ends (commitDataRequest): the same end.
void connectSessionEnd(QGuiApplication& app, ui::AppContext& ctx);

// Saves every workbook with changes and ends the program (status 0; 1 when a
// workbook could not be saved: its changes stay in its journal). No box is
// shown: nobody may be there to answer it.
void endForSystem(ui::AppContext& ctx);

// Makes the process non-dumpable (no core file with the workbooks and their
// passwords in clear; no tracing by other processes), unless the environment
// variable GP_DEBUG_DUMPABLE is 1.
void protectProcessMemory();

} // namespace gp::app
