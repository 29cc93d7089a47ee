// The settings sheet "Codice" of "Pratiche.xls": the login password (ER1), the
// four choice lists of the case form (J, K, L, M from row 1, no heading, ending
// at the first empty cell) and the numbers given out (B2:B1000 case and client
// numbers, E2:E1000 client numbers), which the release operations free again.
//
// Every function throws host::HostError when the workbook or the sheet is
// missing; callers in forms wrap them in ui::hostGuard.
#pragma once

#include <QString>
#include <QStringList>

class QComboBox;

namespace gp::ui {

struct AppContext;

inline const QString kSettingsSheet = QStringLiteral("Codice");

// The login password: the displayed text of Codice!ER1.
QString loginPassword(AppContext& ctx);

// The entries of one choice list: from row 1 of `column` ("J", "K", "L", "M")
// down, stopping at the first empty cell; numbers as their plain text ("2024").
QStringList choiceList(AppContext& ctx, const QString& column);

// LoadListJ/K/L/M: add the entries of the list to the END of the combo box
// (emptying it first is the caller's business). The case form runs them in the
// order J, K, M, L: assignees into Combo3, areas into Combo5, positions into
// Combo2, sectors into Combo4.
void loadList(AppContext& ctx, const QString& column, QComboBox* combo);
inline void loadListJ(AppContext& ctx, QComboBox* combo) { loadList(ctx, QStringLiteral("J"), combo); }
inline void loadListK(AppContext& ctx, QComboBox* combo) { loadList(ctx, QStringLiteral("K"), combo); }
inline void loadListL(AppContext& ctx, QComboBox* combo) { loadList(ctx, QStringLiteral("L"), combo); }
inline void loadListM(AppContext& ctx, QComboBox* combo) { loadList(ctx, QStringLiteral("M"), combo); }

// The release operations. `numberText` is the box's text (client form Text2,
// case form Combo1); its leading numeric value is the number released. Empty
// cells never match. Each returns how many cells it freed.
//
// ReleaseClientNumberE: clears the FIRST cell of column E (from E2) equal to the
// number, then sorts E2:E1000 ascending so the list has no gap.
int releaseClientNumberE(AppContext& ctx, const QString& numberText);
// ReleaseClientNumberB: deletes the FIRST cell of column B (from B2) equal to the
// number, the cells below moving up, then sorts B2:B1000 ascending.
int releaseClientNumberB(AppContext& ctx, const QString& numberText);
// ReleaseCaseNumber: clears EVERY cell of column B (from B2) equal to the
// number; no sort (the cleared cells stay as gaps).
int releaseCaseNumber(AppContext& ctx, const QString& numberText);

} // namespace gp::ui
