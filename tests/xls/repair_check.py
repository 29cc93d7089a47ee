#!/usr/bin/python3
"""The fuzzer's seeds (one writer's fault each, some encrypted with Tesm4061): our reader lists a
repair; the copy `xlstool copy` saves reads the same in xlrd and ours, with nothing left to mend.
A damaged file refused by our reader prints the message and its reason on two lines.

Usage: repair_check.py XLSTOOL FOLDER   (exit 77 = skipped: no folder)
"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from roundtrip_check import compare, copy_in_clear, dump, filepass_of, report, xlrd_dump  # noqa: E402

PASSWORD = "Tesm4061"


def check(xlstool, path, tmp):
    name = os.path.basename(path)
    ours, err = dump(xlstool, path, PASSWORD)
    if ours is None:
        return ["%s: our reader refused it: %s" % (name, err)]
    errs = [] if ours["repairs"] else ["%s: no repair listed" % name]
    copied = copy_in_clear(xlstool, path, PASSWORD, filepass_of(open(path, "rb").read()) is not None, tmp, errs)
    if copied is None:
        return errs
    errs += compare(ours, xlrd_dump(copied[1]), name + " (xlrd on the copy)")
    again, err = dump(xlstool, copied[0], PASSWORD)
    if again is None:
        return errs + ["%s: our reader refused the copy: %s" % (name, err)]
    if again["repairs"]:
        errs.append("%s: the copy still needs repairs: %r" % (name, again["repairs"]))
    return errs + compare(ours, again, name + " (own reader on the copy)")


def check_damaged(xlstool, folder, tmp):
    """A workbook whose stream ends inside its last record: the message, then the reason."""
    import olefile
    seed = sorted(f for f in os.listdir(folder) if f.endswith(".xls") and "cifrato" not in f)[0]
    bad = os.path.join(tmp, "damaged.xls")
    subprocess.run([xlstool, "copy", os.path.join(folder, seed), bad], check=True)
    with olefile.OleFileIO(bad) as ole:
        size = ole.get_size("Workbook")
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
    with tempfile.TemporaryDirectory() as tmp:
        seeds = [(n, check(xlstool, os.path.join(folder, n), tmp)) for n in sorted(os.listdir(folder)) if n.endswith(".xls")]
        return report(seeds + [("(damaged file)", check_damaged(xlstool, folder, tmp))] if seeds else [])


if __name__ == "__main__":
    sys.exit(main())
