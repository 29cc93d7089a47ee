// Saving and leaving the program, shared by the main menu and the deadline forms.
//
// Every way out of the program saves every open workbook with unsaved changes
// (not only the active one: the case-file workbook keeps its changes when the
// deadline workbook is the active one). A save that fails is reported in a box
// and the program does not end, so nothing is lost.
#pragma once

class QWidget;

namespace gp::ui {

struct AppContext;

// Saves every open workbook that has unsaved changes. A failure is reported
// (critical box, title "Gestione Pratiche", the engine's message) and false is
// returned; the remaining workbooks are still saved.
bool saveModifiedWorkbooks(AppContext& ctx, QWidget* parent);

// SaveActiveWorkbook: saves the open workbooks with changes; the program goes on.
bool saveActiveWorkbook(AppContext& ctx, QWidget* parent);

// SaveAndQuit: saves every open workbook with changes, then ends the program
// (ctx.endProgram(0)). When a save fails the program does not end and false is returned.
bool saveAndQuit(AppContext& ctx, QWidget* parent);

} // namespace gp::ui
