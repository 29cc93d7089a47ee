#!/usr/bin/python3
"""Every reference workbook (NAME.xls beside NAME.expected.json) copied by `xlstool copy`,
encrypted with RC4 CryptoAPI 4.2 exactly when the original was: msoffcrypto-tool decrypts the
copy, xlrd and our own reader read it, and ours the original, as the expected dump says.

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


def same_value(a, b):
    """Equal, numbers to 1e-9 relative (a number read from a dump is a float)."""
    if isinstance(a, float) and isinstance(b, (int, float)) or isinstance(b, float) and isinstance(a, (int, float)):
        return a == b or abs(a - b) <= 1e-9 * max(abs(a), abs(b))
    return a == b


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
        for key, norm in (("visibility", str), ("merged", lambda m: sorted(map(tuple, m))), ("colinfo", expand_colinfo)):
            if norm(es[key]) != norm(as_[key]):
                errs.append("%s: %s %r != %r" % (where, key, es[key], as_[key]))
        ec = {(c[0], c[1]): c for c in es["cells"]}
        ac = {(c[0], c[1]): c for c in as_["cells"]}
        if set(ec) != set(ac):
            errs.append("%s: cells only expected %r, only read %r"
                        % (where, sorted(set(ec) - set(ac))[:5], sorted(set(ac) - set(ec))[:5]))
        errs += ["%s: cell %r != %r" % (where, ec[k], ac[k]) for k in sorted(set(ec) & set(ac))
                 if len(ec[k]) != len(ac[k]) or not all(map(same_value, ec[k], ac[k]))]
    return errs


def filepass_of(data):
    """(wEncryptionType, vMajor, vMinor) of the FILEPASS record, None when not encrypted."""
    stream = olefile.OleFileIO(io.BytesIO(data)).openstream("Workbook").read()
    rtype, kind, major, minor = struct.unpack_from("<H2xHHH", stream, 4 + struct.unpack_from("<H", stream, 2)[0])
    return None if rtype != 0x002F else (0, 0, 0) if kind == 0 else (kind, major, minor)


def decrypt(data, password):
    """msoffcrypto-tool's decryption of a whole file (raises on a wrong password)."""
    office, out = msoffcrypto.OfficeFile(io.BytesIO(data)), io.BytesIO()
    office.load_key(password=password)
    office.decrypt(out)
    return out.getvalue()


def xlrd_dump(data):
    """The content as xlrd sees it, in the layout of the expected dumps."""
    book = xlrd.open_workbook(file_contents=data, formatting_info=True)
    out = {"datemode": book.datemode, "sheets": []}
    kinds = {xlrd.XL_CELL_TEXT: lambda v, f: ["text", v], xlrd.XL_CELL_BOOLEAN: lambda v, f: ["boolean", bool(v)],
             xlrd.XL_CELL_ERROR: lambda v, f: ["error", xlrd.error_text_from_code.get(v, "#?")],
             xlrd.XL_CELL_NUMBER: lambda v, f: ["number", v, f]}
    for sh in book.sheets():
        cells = []
        for r in range(sh.nrows):
            for c in range(sh.ncols):
                cell = sh.cell(r, c)
                fmt = book.format_map.get(book.xf_list[cell.xf_index].format_key)
                fmt = fmt and fmt.format_str
                if cell.ctype in kinds:
                    cells.append([r, c] + kinds[cell.ctype](cell.value, fmt))
                elif cell.ctype == xlrd.XL_CELL_DATE:
                    try:  # a time alone, a date alone, or both
                        tup = xlrd.xldate_as_tuple(cell.value, book.datemode)
                        iso = "%04d-%02d-%02dT%02d:%02d:%02d" % tup
                        iso = iso[11:] if tup[:3] == (0, 0, 0) else iso[:10] if tup[3:] == (0, 0, 0) else iso
                    except xlrd.xldate.XLDateError:
                        iso = None
                    cells.append([r, c, "date", iso, cell.value, fmt])
        out["sheets"].append({
            "name": sh.name,
            "visibility": {0: "visible", 1: "hidden", 2: "very hidden"}.get(sh.visibility, "?"),
            "merged": [list(m) for m in sh.merged_cells],
            "colinfo": [[c, c, ci.width, bool(ci.hidden)] for c, ci in sorted(sh.colinfo_map.items())],
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
    the original was, and decrypted by msoffcrypto-tool with its password only; (copy path,
    clear bytes) or None."""
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
    try:
        decrypt(data, password + "x")
        errs.append("%s: msoffcrypto opened the copy with a wrong password" % name)
    except Exception:
        pass
    clear = decrypt(data, password)
    if filepass_of(clear) is not None:
        errs.append("%s: msoffcrypto left a FILEPASS record" % name)
    return copy, clear


def check_fixture(xlstool, path, tmp):
    expected = json.load(open(path[:-4] + ".expected.json", encoding="utf-8"))
    password, name, enc = expected.get("password") or "", os.path.basename(path), expected["encryption"]
    errs = []
    copied = copy_in_clear(xlstool, path, password, enc != "none", tmp, errs)
    if copied is not None:
        errs += compare(expected, xlrd_dump(copied[1]), name + " (xlrd)")
    for what, file, want in (("original", path, enc),
                             ("copy", copied and copied[0], "none" if enc == "none" else "rc4-cryptoapi")):
        ours, err = dump(xlstool, file, password) if file else (None, None)
        if ours is None:
            errs += ["%s: our reader refused the %s: %s" % (name, what, err)] if file else []
            continue
        errs += compare(expected, ours, "%s (own reader, %s)" % (name, what))
        if ours["encryption"] != want:
            errs.append("%s: our reader sees the %s's encryption %s, expected %s" % (name, what, ours["encryption"], want))
    return errs


def report(results):
    """Prints each (name, problems) pair and then every problem; the exit status."""
    results = list(results)
    for name, errs in results:
        print("%-55s %s" % (name, "ok" if not errs else "FAILED"))
    failures = [e for _, errs in results for e in errs]
    print("\n".join(["  " + e for e in failures] + ["%d checked, %d problems" % (len(results), len(failures))]))
    return 1 if failures or not results else 0


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    folders = [f for f in sys.argv[2:] if os.path.isdir(f)]
    if not folders:
        print("SKIP: no fixture folder (%s)" % ", ".join(sys.argv[2:]))
        return 77
    with tempfile.TemporaryDirectory() as tmp:
        return report((name, check_fixture(sys.argv[1], os.path.join(folder, name), tmp))
                      for folder in folders for name in sorted(os.listdir(folder))
                      if name.endswith(".xls") and os.path.exists(os.path.join(folder, name[:-4] + ".expected.json")))


if __name__ == "__main__":
    sys.exit(main())
