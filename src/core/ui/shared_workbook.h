// Workbooks on a folder shared with other people: opening one that someone
// else holds, and what the forms show about it.
#pragma once

#include <QString>

class QWidget;

namespace gp::host {
class Book;
}

namespace gp::ui {

struct AppContext;

inline const QString kReadOnlyChoice = QStringLiteral("Sola lettura");
inline const QString kOpenAnywayChoice = QStringLiteral("Apri comunque");
inline const QString kCancelChoice = QStringLiteral("Annulla");

// Opens the workbook through the host. When someone else holds it, the
// message naming the holder offers "Sola lettura", "Apri comunque" and
// "Annulla" (title "Gestione Pratiche"):
//  - "Sola lettura" opens it for consultation (host::Book::readOnly());
//  - "Apri comunque" asks again with the lock's age (default No); Sì takes the
//    lock over, No goes back to the three choices;
//  - "Annulla" throws host::OperationCancelled (hostGuard shows nothing more).
// Any other failure is thrown as the host's HostError.
host::Book* openSharedWorkbook(AppContext& ctx, QWidget* parent, const QString& path, const QString& password);

// "Il blocco è del 06/12/2026 09:15. Se Mario Rossi sta ancora lavorando, le
// modifiche di uno dei due andranno perse. Aprire comunque?"
QString takeOverQuestion(const QString& holder, const QString& lockTime);

// The main menu's line for the read-only workbooks, one per line:
// "Sola lettura: Pratiche.xls è in uso da Mario Rossi (STUDIO-PC)"; empty when none.
QString readOnlyNotice(const AppContext& ctx);

} // namespace gp::ui
