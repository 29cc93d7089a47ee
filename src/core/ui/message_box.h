// Message and input boxes with the exact texts the program shows.
//
// Both are real QMessageBox / QInputDialog instances run modally with exec(),
// so a test finds the box with QApplication::activeModalWidget() and answers it
// (see tests/common/modal.h).
//
//   ui::msgBox(this, "Pratica modificata....", ui::OkOnly, " Gestione Pratica");
//   if (ui::msgBox(this, "Confermi?", ui::YesNo | ui::Question, "Gestione Pratica") == ui::Answer::Yes) ...
//   if (auto s = ui::inputBox(this, "Numero della pratica", "Gestione Pratica")) use(*s);
//
// The style flags carry the old numeric values (vbYesNo = 4, vbCritical = 16...).
// A box without a title of its own shows kAppTitle, "Dorvessa". Line breaks are
// written "\n" ("\r\n" is accepted and shown as one break); the text is plain
// text, never rich text. Buttons read "OK", "Annulla", "Sì", "No".
#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace gp::host {
class HostError;
}

namespace gp::ui {

inline const QString kAppTitle = QStringLiteral("Dorvessa");

enum MsgStyle : int {
    OkOnly = 0,
    OkCancel = 1,
    YesNoCancel = 3,
    YesNo = 4,
    Critical = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64,
    DefaultButton2 = 256, // the second button is the default one
};

enum class Answer { Ok, Cancel, Yes, No };

// Puts every change recorded so far on disk (the journals of the open
// workbooks, core/host/journal.h); when that fails, says so in a box. msgBox()
// does it before showing anything, so that what a message confirms is on disk.
bool commitChanges(QWidget* parent);

// Shows the box and returns the button pressed. Closing the box with Esc or the
// close box answers Cancel (OkCancel/YesNoCancel), No (YesNo) or Ok (OkOnly).
Answer msgBox(QWidget* parent, const QString& text, int style = OkOnly, const QString& title = kAppTitle);

// Shows an input box with prompt, title and default text. OK returns the text
// (possibly empty); Annulla or the close box returns std::nullopt.
std::optional<QString> inputBox(QWidget* parent, const QString& prompt, const QString& title = kAppTitle,
                                const QString& defaultText = QString());

// Reports a failure of the engine: critical icon, OK, title "Gestione Pratiche",
// text the error's Italian message.
void reportHostError(QWidget* parent, const host::HostError& error);

// Runs `action`; a HostError it throws is reported with reportHostError (an
// OperationCancelled silently) and false is returned (the operation in progress ends). Use it in event handlers
// so that no exception crosses the event loop:
//   ui::hostGuard(this, [&] { sheet->range("A2").setValue(n); });
template <class F> bool hostGuard(QWidget* parent, F&& action);

} // namespace gp::ui

#include "core/host/spreadsheet_host.h"

template <class F> bool gp::ui::hostGuard(QWidget* parent, F&& action)
{
    try {
        action();
        return true;
    } catch (const gp::host::OperationCancelled&) {
        return false; // the user chose so: nothing to report
    } catch (const gp::host::HostError& e) {
        reportHostError(parent, e);
        return false;
    }
}
