// Reading a saved workbook back with independent tools (msoffcrypto-tool to
// decrypt, xlrd to read), so a test sees what another program would see.
#pragma once

#include <QString>

// True when /usr/bin/python3 has xlrd and msoffcrypto.
bool haveXlrd();

// Runs `code` with `book` (an xlrd workbook read with its formats) and the
// helpers `cell(sheet, a1)` (the value: text, float or '' for empty) and
// `fmt(sheet, a1)` (its number format string) bound, on the file `path`
// decrypted with `password`. Returns what the code prints; "ERROR: ..." on failure.
QString readBack(const QString& path, const QString& password, const QString& code);
