// Reading a saved workbook back with independent tools (msoffcrypto-tool to
// decrypt, xlrd to read), so a test sees what another program would see.
#pragma once

#include <QJsonObject>
#include <QString>

// True when /usr/bin/python3 has xlrd and msoffcrypto.
bool haveXlrd();
#define SKIP_WITHOUT_XLRD()                                                                                            \
    if (!haveXlrd())                                                                                                   \
    QSKIP("python3-xlrd / msoffcrypto-tool not installed: the file is not read back")

// Runs `code` with `book` (an xlrd workbook read with its formats) and the
// helpers `cell(sheet, a1)` (the value: text, float or '' for empty) and
// `fmt(sheet, a1)` (its number format string) bound, on the file `path`
// decrypted with `password`. Returns what the code prints; "ERROR: ..." on failure.
QString readBack(const QString& path, const QString& password, const QString& code);

// Every sheet of the workbook as readBack sees it: {"sheets": {NAME: [[value,
// ...], ...]}, "visible": {NAME: bool}}, values as xlrd gives them (text,
// number; empty cells as ""). Empty when the file cannot be read.
QJsonObject readSheets(const QString& path, const QString& password);
// Some cell of `sheet` holds `text`.
bool sheetHolds(const QJsonObject& book, const QString& sheet, const QString& text);
// The first column of `sheet` holds the number `id`.
bool firstColumnHolds(const QJsonObject& book, const QString& sheet, double id);
