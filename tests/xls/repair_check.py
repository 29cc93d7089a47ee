#!/usr/bin/python3
"""Workbooks our reader had to mend, saved by our writer, checked by independent readers.

For each NAME.xls in the folder (the fuzzer's seeds: sound workbooks with one writer's
fault each, some encrypted with the password Tesm4061):
  1. `xlstool dump --json` reads it and lists at least one repair;
  2. `xlstool copy` saves what it read; the copy is encrypted exactly when the original was
     (RC4 CryptoAPI 4.2), and msoffcrypto-tool decrypts it with the same password;
  3. xlrd reads the copy with the same content as our reader read the original;
  4. our reader reads the copy with nothing to mend and the same content.
A damaged file refused by our reader must print the message and its reason on two lines.

Usage: repair_check.py XLSTOOL FOLDER   (exit 77 = skipped: no folder)
"""
import io
import json
import os
import subprocess
import sys
import tempfile

import msoffcrypto

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from roundtrip_check import compare, filepass_of, xlrd_dump  # noqa: E402

PASSWORD = "Tesm4061"


def dump(xlstool, path):
    r = subprocess.run([xlstool, "dump", "--json", "--password", PASSWORD, path], capture_output=True)
    if r.returncode != 0:
        return None, r.stderr.decode(errors="replace").strip()
    return json.loads(r.stdout.decode("utf-8")), None


def check(xlstool, path, tmp):
    name = os.path.basename(path)
    ours, err = dump(xlstool, path)
    if ours is None:
        return ["%s: our reader refused it: %s" % (name, err)]
    errs = []
    if not ours["repairs"]:
        errs.append("%s: no repair listed" % name)
    copy = os.path.join(tmp, "copy_" + name)
    r = subprocess.run([xlstool, "copy", "--password", PASSWORD, path, copy], capture_output=True)
    if r.returncode != 0:
        return errs + ["%s: xlstool copy failed: %s" % (name, r.stderr.decode(errors="replace").strip())]
    original = open(path, "rb").read()
    data = open(copy, "rb").read()
    was_encrypted = filepass_of(original) is not None
    fp = filepass_of(data)
    if not was_encrypted:
        if fp is not None:
            errs.append("%s: the copy is encrypted, the original was not" % name)
        plain = data
    else:
        if fp != (1, 4, 2):
            return errs + ["%s: the copy is not RC4 CryptoAPI 4.2 encrypted (FILEPASS %r)" % (name, fp)]
        office = msoffcrypto.OfficeFile(io.BytesIO(data))
        office.load_key(password=PASSWORD)
        buf = io.BytesIO()
        office.decrypt(buf)
        plain = buf.getvalue()
    errs += compare(ours, xlrd_dump(plain), name + " (xlrd on the copy)")
    again, err = dump(xlstool, copy)
    if again is None:
        return errs + ["%s: our reader refused the copy: %s" % (name, err)]
    if again["repairs"]:
        errs.append("%s: the copy still needs repairs: %r" % (name, again["repairs"]))
    errs += compare(ours, again, name + " (own reader on the copy)")
    return errs


def check_damaged(xlstool, folder, tmp):
    """A workbook whose stream ends inside its last record: the message, then the reason."""
    import olefile
    seed = sorted(f for f in os.listdir(folder) if f.endswith(".xls") and "cifrato" not in f)[0]
    bad = os.path.join(tmp, "damaged.xls")
    subprocess.run([xlstool, "copy", os.path.join(folder, seed), bad], check=True)
    ole = olefile.OleFileIO(bad)
    size = len(ole.openstream("Workbook").read())
    ole.close()
    raw = bytearray(open(bad, "rb").read())
    entry = raw.find("Workbook".encode("utf-16-le"))
    if entry < 0 or raw[entry + 0x78:entry + 0x7C] != size.to_bytes(4, "little"):
        return ["cannot find the Workbook directory entry"]
    raw[entry + 0x78:entry + 0x7C] = (size - 3).to_bytes(4, "little")
    open(bad, "wb").write(bytes(raw))
    r = subprocess.run([xlstool, "dump", "--json", bad], capture_output=True)
    lines = r.stderr.decode("utf-8").splitlines()
    if r.returncode == 0 or len(lines) != 2 or lines[0] != "Il file è danneggiato o incompleto" \
            or "past the end" not in lines[1]:
        return ["damaged file: exit %d, stderr %r" % (r.returncode, lines)]
    return []


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    xlstool, folder = sys.argv[1], sys.argv[2]
    if not os.path.isdir(folder):
        print("SKIP: no folder %s" % folder)
        return 77
    failures = []
    count = 0
    with tempfile.TemporaryDirectory() as tmp:
        for name in sorted(os.listdir(folder)):
            if not name.endswith(".xls"):
                continue
            count += 1
            errs = check(xlstool, os.path.join(folder, name), tmp)
            print("%-50s %s" % (name, "ok" if not errs else "FAILED"))
            failures += errs
        errs = check_damaged(xlstool, folder, tmp)
        print("%-50s %s" % ("(damaged file)", "ok" if not errs else "FAILED"))
        failures += errs
    for e in failures:
        print("  " + e)
    print("%d workbooks, %d problems" % (count, len(failures)))
    return 1 if failures or count == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
