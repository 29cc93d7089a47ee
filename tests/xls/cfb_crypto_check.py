#!/usr/bin/python3
"""Opens the files written by xls_test_crypto with independent tools.

Each line of <dir>/manifest.tsv names a file, the password it was encrypted
with (empty: not encrypted) and the expected dump of the fixture it came from.
msoffcrypto-tool must decrypt it (and refuse a wrong password); xlrd must then
read the same content as the dump.
Exit code 77 when the modules are missing.
"""
import io
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from roundtrip_check import compare, msoffcrypto, xlrd_dump  # noqa: E402  (exits 77 without the modules)


def fail(msg):
    print("FAIL:", msg)
    sys.exit(1)


def check(path, password, expected_path):
    with open(expected_path, encoding="utf-8") as f:
        expected = json.load(f)
    with open(path, "rb") as f:
        data = f.read()
    office = msoffcrypto.OfficeFile(io.BytesIO(data))
    if office.is_encrypted() != bool(password):
        fail(f"{path}: encrypted={office.is_encrypted()}, expected {bool(password)}")
    if password:
        wrong = msoffcrypto.OfficeFile(io.BytesIO(data))
        try:
            wrong.load_key(password=password + "x")
            wrong.decrypt(io.BytesIO())
            fail(f"{path}: opened with a wrong password")
        except Exception:
            pass
        out = io.BytesIO()
        office.load_key(password=password)
        office.decrypt(out)
        data = out.getvalue()
    errs = compare(expected, xlrd_dump(data), os.path.basename(path))
    if errs:
        fail("\n  ".join(errs))
    print(f"ok {os.path.basename(path)}")


def main():
    folder = sys.argv[1]
    manifest = os.path.join(folder, "manifest.tsv")
    if not os.path.exists(manifest):
        # xls_test_crypto writes it; it skips that step when the fixtures are absent.
        print(f"SKIP: {manifest} missing (fixtures absent?)")
        sys.exit(77)
    count = 0
    with open(manifest, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line:
                continue
            name, password, expected = line.split("\t")
            check(os.path.join(folder, name), password, expected)
            count += 1
    if count == 0:
        fail("no files to check")


if __name__ == "__main__":
    main()
