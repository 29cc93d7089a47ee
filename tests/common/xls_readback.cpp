#include "xls_readback.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

bool haveXlrd()
{
    if (!QFile::exists(QStringLiteral("/usr/bin/python3")))
        return false;
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import xlrd, msoffcrypto")});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString readBack(const QString& path, const QString& password, const QString& code)
{
    static const QString prologue = QStringLiteral(
        "import io, sys, xlrd, msoffcrypto\n"
        "path, password = sys.argv[1], sys.argv[2]\n"
        "data = open(path, 'rb').read()\n"
        "if password:\n"
        "    o = msoffcrypto.OfficeFile(io.BytesIO(data)); o.load_key(password=password)\n"
        "    b = io.BytesIO(); o.decrypt(b); data = b.getvalue()\n"
        "book = xlrd.open_workbook(file_contents=data, formatting_info=True)\n"
        "def rc(a1):\n"
        "    col = 0; i = 0\n"
        "    while a1[i].isalpha(): col = col * 26 + ord(a1[i].upper()) - 64; i += 1\n"
        "    return int(a1[i:]) - 1, col - 1\n"
        "def cell(sheet, a1):\n"
        "    sh = book.sheet_by_name(sheet); r, c = rc(a1)\n"
        "    return sh.cell_value(r, c) if r < sh.nrows and c < sh.ncols else ''\n"
        "def fmt(sheet, a1):\n"
        "    sh = book.sheet_by_name(sheet); r, c = rc(a1)\n"
        "    return book.format_map[book.xf_list[sh.cell_xf_index(r, c)].format_key].format_str\n");
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), prologue + code, path, password});
    if (!p.waitForFinished(60000))
        return QStringLiteral("ERROR: python did not finish");
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("ERROR: ") + out + QString::fromUtf8(p.readAllStandardError());
    return out;
}

QJsonObject readSheets(const QString& path, const QString& password)
{
    const QString out = readBack(
        path, password,
        QStringLiteral("import json\n"
                       "out = {'sheets': {}, 'visible': {}}\n"
                       "for sh in book.sheets():\n"
                       "    out['sheets'][sh.name] = [[c.value for c in sh.row(r)] for r in range(sh.nrows)]\n"
                       "    out['visible'][sh.name] = sh.visibility == 0\n"
                       "json.dump(out, sys.stdout, ensure_ascii=False)\n"));
    if (out.startsWith(QStringLiteral("ERROR: ")))
        qWarning("%s", qPrintable(out));
    return QJsonDocument::fromJson(out.toUtf8()).object();
}

bool sheetHolds(const QJsonObject& book, const QString& sheet, const QString& text)
{
    for (const QJsonValue& row : book[QStringLiteral("sheets")].toObject()[sheet].toArray())
        for (const QJsonValue& cell : row.toArray())
            if (cell.toVariant().toString().contains(text))
                return true;
    return false;
}

bool firstColumnHolds(const QJsonObject& book, const QString& sheet, double id)
{
    for (const QJsonValue& row : book[QStringLiteral("sheets")].toObject()[sheet].toArray())
        if (!row.toArray().isEmpty() && row.toArray().first().toDouble() == id)
            return true;
    return false;
}
