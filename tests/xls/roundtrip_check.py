#!/usr/bin/python3
"""Round trip of every reference workbook through our engine, checked by independent readers.

For each NAME.xls beside a NAME.expected.json in the given folders:
  1. `xlstool copy` reads it and writes it again (a real rewrite);
  2. the copy is encrypted exactly when the original was, and then with RC4 CryptoAPI
     (FILEPASS version 4.2), decrypted by msoffcrypto-tool with the same password;
  3. xlrd reads the (decrypted) copy: values, types, number formats, dates, merged ranges,
     column widths, visibility and date system must equal the expected dump;
  4. our own reader (`xlstool dump --json`) reads the original and the copy with the same result.
The helpers here serve repair_check.py and cfb_crypto_check.py too.

Usage: roundtrip_check.py XLSTOOL FOLDER...   (exit 77 = skipped: no folder present, or no module)
"""
import io
import json
import os
import struct
import subprocess
import sys
import tempfile

try:
    import msoffcrypto
    import olefile
    import xlrd
except ImportError as e:  # pragma: no cover
    print("SKIP: missing module:", e)
    sys.exit(77)


def expand_colinfo(entries):
    """COLINFO ranges -> {column: (width, hidden)}; a last column of 256 covers 255."""
    cols = {}
    for first, last, width, hidden in entries:
        for c in range(first, min(last, 255) + 1):
            cols[c] = (width, bool(hidden))
    return cols


def same_number(a, b):
    if a is None or b is None:
        return a is b
    return a == b or abs(a - b) <= 1e-9 * max(abs(a), abs(b))


def compare(expected, actual, label):
    """Differences between two dumps (list of strings, empty when equal)."""
    errs = []
    if expected["datemode"] != actual["datemode"]:
        errs.append("%s: datemode %r != %r" % (label, expected["datemode"], actual["datemode"]))
    en = [s["name"] for s in expected["sheets"]]
    an = [s["name"] for s in actual["sheets"]]
    if en != an:
        return errs + ["%s: sheets %r != %r" % (label, en, an)]
    for es, as_ in zip(expected["sheets"], actual["sheets"]):
        where = "%s/%s" % (label, es["name"])
        if es["visibility"] != as_["visibility"]:
            errs.append("%s: visibility %s != %s" % (where, es["visibility"], as_["visibility"]))
        if sorted(map(tuple, es["merged"])) != sorted(map(tuple, as_["merged"])):
            errs.append("%s: merged %r != %r" % (where, es["merged"], as_["merged"]))
        if expand_colinfo(es["colinfo"]) != expand_colinfo(as_["colinfo"]):
            errs.append("%s: column info differs" % where)
        ec = {(c[0], c[1]): c for c in es["cells"]}
        ac = {(c[0], c[1]): c for c in as_["cells"]}
        if set(ec) != set(ac):
            errs.append("%s: cells only expected %r, only read %r"
                        % (where, sorted(set(ec) - set(ac))[:5], sorted(set(ac) - set(ec))[:5]))
        for key in sorted(set(ec) & set(ac)):
            p, q = ec[key], ac[key]
            ok = p[2] == q[2] and len(p) == len(q)
            if ok and p[2] == "number":
                ok = same_number(p[3], q[3]) and p[4] == q[4]
            elif ok and p[2] == "date":
                ok = p[3] == q[3] and same_number(p[4], q[4]) and p[5] == q[5]
            elif ok:
                ok = p[3] == q[3]
            if not ok:
                errs.append("%s: cell %r != %r" % (where, p, q))
    return errs


def filepass_of(data):
    """(wEncryptionType, vMajor, vMinor) of the FILEPASS record, None when not encrypted."""
    ole = olefile.OleFileIO(io.BytesIO(data))
    stream = ole.openstream("Workbook").read()
    bof_size = struct.unpack_from("<H", stream, 2)[0]
    at = 4 + bof_size
    rtype, size = struct.unpack_from("<HH", stream, at)
    if rtype != 0x002F:
        return None
    body = stream[at + 4:at + 4 + size]
    kind = struct.unpack_from("<H", body, 0)[0]
    if kind == 0:
        return (0, 0, 0)
    return (kind,) + struct.unpack_from("<HH", body, 2)


def xlrd_dump(data):
    """The content as xlrd sees it, in the layout of the expected dumps."""
    book = xlrd.open_workbook(file_contents=data, formatting_info=True)
    out = {"datemode": book.datemode, "sheets": []}
    vis = {0: "visible", 1: "hidden", 2: "very hidden"}
    for sh in book.sheets():
        cells = []
        for r in range(sh.nrows):
            for c in range(sh.ncols):
                cell = sh.cell(r, c)
                t = cell.ctype
                if t in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                    continue
                if t == xlrd.XL_CELL_TEXT:
                    cells.append([r, c, "text", cell.value])
                elif t == xlrd.XL_CELL_BOOLEAN:
                    cells.append([r, c, "boolean", bool(cell.value)])
                elif t == xlrd.XL_CELL_ERROR:
                    cells.append([r, c, "error", xlrd.error_text_from_code.get(cell.value, "#?")])
                else:
                    xf = book.xf_list[cell.xf_index]
                    fmt = book.format_map.get(xf.format_key)
                    fmt = fmt.format_str if fmt is not None else None
                    if t == xlrd.XL_CELL_DATE:
                        try:
                            tup = xlrd.xldate_as_tuple(cell.value, book.datemode)
                            if tup[:3] == (0, 0, 0):
                                iso = "%02d:%02d:%02d" % tup[3:]
                            elif tup[3:] == (0, 0, 0):
                                iso = "%04d-%02d-%02d" % tup[:3]
                            else:
                                iso = "%04d-%02d-%02dT%02d:%02d:%02d" % tup
                        except xlrd.xldate.XLDateError:
                            iso = None
                        cells.append([r, c, "date", iso, cell.value, fmt])
                    else:
                        cells.append([r, c, "number", cell.value, fmt])
        colinfo = [[c, c, ci.width, bool(ci.hidden)] for c, ci in sorted(sh.colinfo_map.items())]
        out["sheets"].append({
            "name": sh.name,
            "visibility": vis.get(sh.visibility, "?"),
            "merged": [list(m) for m in sh.merged_cells],
            "colinfo": colinfo,
            "cells": cells,
        })
    return out


def dump(xlstool, path, password):
    """Our reader's dump of a file, or (None, its error)."""
    r = subprocess.run([xlstool, "dump", "--json", "--password", password, path], capture_output=True)
    if r.returncode != 0:
        return None, r.stderr.decode(errors="replace").strip()
    return json.loads(r.stdout.decode("utf-8")), None


def copy_in_clear(xlstool, path, password, encrypted, tmp, errs):
    """`xlstool copy` of a workbook, checked to be encrypted (RC4 CryptoAPI 4.2) exactly when
    the original was, and decrypted by msoffcrypto-tool; (copy path, clear bytes) or None."""
    name = os.path.basename(path)
    copy = os.path.join(tmp, "copy_" + name)
    r = subprocess.run([xlstool, "copy", "--password", password, path, copy], capture_output=True)
    if r.returncode != 0:
        errs.append("%s: xlstool copy failed: %s" % (name, r.stderr.decode(errors="replace").strip()))
        return None
    data = open(copy, "rb").read()
    fp = filepass_of(data)
    if not encrypted:
        if fp is not None:
            errs.append("%s: the copy is encrypted, the original was not" % name)
        return copy, data
    if fp != (1, 4, 2):
        errs.append("%s: the copy is not RC4 CryptoAPI 4.2 encrypted (FILEPASS %r)" % (name, fp))
        return None
    office = msoffcrypto.OfficeFile(io.BytesIO(data))
    office.load_key(password=password)
    buf = io.BytesIO()
    office.decrypt(buf)
    if filepass_of(buf.getvalue()) is not None:
        errs.append("%s: msoffcrypto left a FILEPASS record" % name)
    return copy, buf.getvalue()


def check_fixture(xlstool, path, tmp):
    expected = json.load(open(path[:-4] + ".expected.json", encoding="utf-8"))
    password = expected.get("password") or ""
    name = os.path.basename(path)
    errs = []
    for what, file in (("original", path), ("copy", None)):
        if file is None:
            copied = copy_in_clear(xlstool, path, password, expected["encryption"] != "none", tmp, errs)
            if copied is None:
                return errs
            file, plain = copied
            errs += compare(expected, xlrd_dump(plain), name + " (xlrd)")
        ours, err = dump(xlstool, file, password)
        if ours is None:
            errs.append("%s: our reader refused the %s: %s" % (name, what, err))
            continue
        errs += compare(expected, ours, "%s (own reader, %s)" % (name, what))
        want = expected["encryption"] if what == "original" or expected["encryption"] == "none" else "rc4-cryptoapi"
        if ours["encryption"] != want:
            errs.append("%s: our reader sees the %s's encryption %s, expected %s" % (name, what, ours["encryption"], want))
    return errs


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    xlstool = sys.argv[1]
    folders = [f for f in sys.argv[2:] if os.path.isdir(f)]
    if not folders:
        print("SKIP: no fixture folder (%s)" % ", ".join(sys.argv[2:]))
        return 77
    failures = []
    count = 0
    with tempfile.TemporaryDirectory() as tmp:
        for folder in folders:
            for name in sorted(os.listdir(folder)):
                path = os.path.join(folder, name)
                if not name.endswith(".xls") or not os.path.exists(path[:-4] + ".expected.json"):
                    continue
                count += 1
                errs = check_fixture(xlstool, path, tmp)
                print("%-55s %s" % (name, "ok" if not errs else "FAILED"))
                failures += errs
    for e in failures:
        print("  " + e)
    print("%d workbooks, %d problems" % (count, len(failures)))
    return 1 if failures or count == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
