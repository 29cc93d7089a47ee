#include "core/host/change_log.h"

#include <QDataStream>
#include <QIODevice>

#include "core/host/spreadsheet_host.h"
#include "core/sheet/workbook.h"

namespace gp::host::changes {

namespace {

constexpr auto kStreamVersion = QDataStream::Qt_6_0;

[[noreturn]] void unfit()
{
    throw HostError(QStringLiteral("Una modifica registrata non corrisponde alla cartella di lavoro."));
}

QVariant arg(const QVariantList& args, int i)
{
    if (i >= args.size())
        unfit();
    return args[i];
}

} // namespace

QByteArray encode(Op op, const QString& sheet, int r1, int c1, int r2, int c2, const QVariantList& args)
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setVersion(kStreamVersion);
    s << quint8(op) << sheet << qint32(r1) << qint32(c1) << qint32(r2) << qint32(c2) << args;
    return out;
}

void apply(Book& book, const QByteArray& record)
{
    QDataStream s(record);
    s.setVersion(kStreamVersion);
    quint8 code = 0;
    QString sheetName;
    qint32 r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    QVariantList args;
    s >> code >> sheetName >> r1 >> c1 >> r2 >> c2 >> args;
    if (s.status() != QDataStream::Ok)
        unfit();
    const Op op = static_cast<Op>(code);
    if (op == Op::AddSheet) {
        book.addSheet(sheetName);
        return;
    }
    Sheet* sheet = book.sheet(sheetName);
    const auto block = [&] { return Range(sheet, r1, c1, r2, c2); };
    switch (op) {
    case Op::SetValue: block().setValue(arg(args, 0)); return;
    case Op::DeleteRows: block().deleteEntireRow(); return;
    case Op::InsertRows: block().insertEntireRow(); return;
    case Op::DeleteShiftUp: block().deleteShiftUp(); return;
    case Op::ClearContents: block().clearContents(); return;
    case Op::Clear: block().clear(); return;
    case Op::Sort:
        block().sort(arg(args, 0).toInt(), arg(args, 1).toBool(), static_cast<SortHeader>(arg(args, 2).toInt()));
        return;
    case Op::NumberFormat: block().setNumberFormat(arg(args, 0).toString()); return;
    case Op::FontSize: block().setFontSize(arg(args, 0).toDouble()); return;
    case Op::AutoFit: block().autoFitColumns(); return;
    case Op::Visible: sheet->setVisible(arg(args, 0).toBool()); return;
    case Op::PasteRow: {
        const QString fromBook = arg(args, 0).toString();
        Book* source = fromBook.isEmpty() ? &book : book.host()->workbook(fromBook);
        if (!source)
            unfit();
        sheet->pasteRow(*source->sheet(arg(args, 1).toString()), arg(args, 2).toInt(), arg(args, 3).toInt());
        return;
    }
    case Op::FreezePanes: sheet->freezePanes(arg(args, 0).toInt(), arg(args, 1).toInt()); return;
    case Op::PrintArea: sheet->setPrintArea(arg(args, 0).toString()); return;
    case Op::PageSetup: restorePageSetup(sheet->pageSetup(), args); return;
    case Op::AddSheet: return;
    }
    unfit();
}

QVariantList pageSetupImage(const sheet::PageSetup& p)
{
    QVariantList area;
    if (p.printArea)
        area = {p.printArea->firstRow, p.printArea->lastRow, p.printArea->firstCol, p.printArea->lastCol};
    return {area,
            QString::fromStdString(p.header),
            QString::fromStdString(p.footer),
            p.leftMargin,
            p.rightMargin,
            p.topMargin,
            p.bottomMargin,
            p.headerMargin,
            p.footerMargin,
            int(p.paperSize),
            int(p.zoom),
            p.fitToPages,
            int(p.fitWidth),
            int(p.fitHeight),
            p.portrait,
            p.centerHorizontally,
            p.centerVertically,
            p.printGridlines,
            p.printHeadings,
            int(p.copies),
            p.valid,
            p.printAreaChanged};
}

void restorePageSetup(sheet::PageSetup& p, const QVariantList& v)
{
    if (v.size() != 22)
        unfit();
    const QVariantList area = v[0].toList();
    if (area.size() == 4)
        p.printArea = sheet::CellRange{area[0].toInt(), area[1].toInt(), area[2].toInt(), area[3].toInt()};
    else
        p.printArea.reset();
    p.header = v[1].toString().toStdString();
    p.footer = v[2].toString().toStdString();
    p.leftMargin = v[3].toDouble();
    p.rightMargin = v[4].toDouble();
    p.topMargin = v[5].toDouble();
    p.bottomMargin = v[6].toDouble();
    p.headerMargin = v[7].toDouble();
    p.footerMargin = v[8].toDouble();
    p.paperSize = static_cast<uint16_t>(v[9].toInt());
    p.zoom = static_cast<uint16_t>(v[10].toInt());
    p.fitToPages = v[11].toBool();
    p.fitWidth = static_cast<uint16_t>(v[12].toInt());
    p.fitHeight = static_cast<uint16_t>(v[13].toInt());
    p.portrait = v[14].toBool();
    p.centerHorizontally = v[15].toBool();
    p.centerVertically = v[16].toBool();
    p.printGridlines = v[17].toBool();
    p.printHeadings = v[18].toBool();
    p.copies = static_cast<uint16_t>(v[19].toInt());
    p.valid = v[20].toBool();
    p.printAreaChanged = v[21].toBool();
}

} // namespace gp::host::changes
