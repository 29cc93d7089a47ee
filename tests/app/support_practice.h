// Helpers of the app tests: a practice folder in a temporary directory (the
// shared fixture copied there, or small workbooks written through the engine),
// and the running program's login form.
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace gp::app {
class Program;
}
namespace gp::ui {
struct AppContext;
}

// Writes a minimal practice through the engine: Pratiche.xls (password
// "Tesm4061") with the sheets the start-up needs, Codice!ER1 = `password`
// (left empty when `password` is empty), and Dorvessa.xls ("Tesm4061QRB").
void writeSmallPractice(const QString& dir, const QString& password);

// Starts the program on `folder`. A start-up that reports anything (a workbook
// that cannot be found, read or decrypted) fails the running test at once, its
// box closed, instead of leaving the test waiting on the box. True when the
// program started without a word.
bool startProgram(gp::app::Program& program, const QString& folder);

// Types `text` into Form8's Text1 and presses Command1.
void typeLogin(gp::app::Program& program, const QString& text);

QByteArray fileBytes(const QString& path);
