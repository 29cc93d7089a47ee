// AppContext: what every form of the program receives when it is built.
//
// One instance lives for the whole run (created by gp::app::startProgram or by a
// test). Forms keep a reference to it and reach through it the spreadsheet host,
// the navigator (to show, hide and unload other forms), the application folder
// and the open workbooks.
#pragma once

#include <QString>

#include <functional>

namespace gp::host {
class SpreadsheetHost;
class Book;
} // namespace gp::host

namespace gp::ui {

class Navigator;

// File names of the practice's data, inside the application folder.
inline const QString kPracticeFile = QStringLiteral("Pratiche.xls");
inline const QString kDeadlineFile = QStringLiteral("Dorvessa.xls");
inline const QString kInstructionsFile = QStringLiteral("Istruzioni.txt");
// Workbook passwords of the two files.
inline const QString kPracticePassword = QStringLiteral("Tesm4061");
inline const QString kDeadlinePassword = QStringLiteral("Tesm4061QRB");

struct AppContext {
    host::SpreadsheetHost* host = nullptr;
    Navigator* navigator = nullptr;
    QString folder; // the application folder, no trailing separator

    // Full path of a file of the application folder ("Pratiche.xls" -> folder/Pratiche.xls).
    QString path(const QString& fileName) const;
    // The case-file workbook "Pratiche.xls"; nullptr when it is not open.
    host::Book* practice() const;
    // The deadline workbook "Dorvessa.xls"; nullptr until the deadline launcher opens it.
    host::Book* deadlines() const;

    // Arranges a freshly opened "Pratiche.xls" for the program's work (sheets
    // shown, sheet "Dorvessa" prepared); set by the program, used again when a
    // copy of the workbook is restored. May be empty (tests).
    std::function<void()> preparePractice;

    // Ending the program. endProgram() closes every workbook WITHOUT saving
    // (release of the locks), hides and unloads every form, sets `ended` and
    // `exitCode`, then calls `onEnd` (the real program sets it to leave the
    // event loop; tests leave it empty and look at `ended`). To leave with
    // saving use ui::saveAndQuit (core/ui/session.h).
    bool ended = false;
    int exitCode = 0;
    std::function<void(int)> onEnd;
    void endProgram(int code = 0);
};

} // namespace gp::ui
