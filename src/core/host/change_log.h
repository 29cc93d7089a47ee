// The changes the host makes to a workbook, as records that can be played
// again on the same saved file to give the same workbook (see journal.h).
//
// A record names the operation, the sheet, the block of cells (1-based, as the
// host counts) and the operation's own arguments; replaying it calls the same
// host operation, so what a command did and what the replay does cannot drift
// apart.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantList>

namespace gp::sheet {
struct PageSetup;
}

namespace gp::host {

class Book;

namespace changes {

enum class Op : quint8 {
    SetValue = 1,
    DeleteRows,
    InsertRows,
    DeleteShiftUp,
    ClearContents,
    Clear,
    Sort,
    NumberFormat,
    FontSize,
    AutoFit,
    Visible,
    PasteRow,
    FreezePanes,
    PrintArea,
    PageSetup,
    AddSheet,
};

QByteArray encode(Op op, const QString& sheet, int r1, int c1, int r2, int c2, const QVariantList& args = {});

// Plays one record on `book` (its own recording is off meanwhile). Throws
// HostError when the record does not fit the workbook.
void apply(Book& book, const QByteArray& record);

// A sheet's page setup as record arguments, and back.
QVariantList pageSetupImage(const sheet::PageSetup& setup);
void restorePageSetup(sheet::PageSetup& setup, const QVariantList& image);

} // namespace changes
} // namespace gp::host
