#!/usr/bin/python3
"""Prints the cells of an encrypted workbook as independent readers see them.

Usage: read_workbook.py FILE PASSWORD
Output: JSON {"sheets": {NAME: [[value, ...], ...]}, "visible": {NAME: bool}}, values as xlrd
gives them (text, number; empty cells as "").
"""
import io
import json
import sys

import msoffcrypto
import xlrd


def main():
    path, password = sys.argv[1], sys.argv[2]
    with open(path, "rb") as f:
        office = msoffcrypto.OfficeFile(f)
        office.load_key(password=password)
        plain = io.BytesIO()
        office.decrypt(plain)
    book = xlrd.open_workbook(file_contents=plain.getvalue(), formatting_info=True)
    out = {"sheets": {}, "visible": {}}
    for sheet in book.sheets():
        out["sheets"][sheet.name] = [[c.value for c in sheet.row(r)] for r in range(sheet.nrows)]
        out["visible"][sheet.name] = sheet.visibility == 0
    json.dump(out, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
