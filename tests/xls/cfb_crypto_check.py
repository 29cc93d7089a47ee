#!/usr/bin/python3
"""Opens the files written by xls_test_crypto with independent tools.

Each line of <dir>/manifest.tsv names a file, the password it was encrypted with (empty:
in clear) and the expected dump of its fixture. msoffcrypto-tool must decrypt it and refuse
a wrong password; xlrd must then read what the dump says. Exit 77 without the modules.
"""
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from roundtrip_check import compare, decrypt, msoffcrypto, report, xlrd_dump  # noqa: E402  (exits 77 without the modules)


def check(path, password, expected_path):
    expected = json.load(open(expected_path, encoding="utf-8"))
    data = open(path, "rb").read()
    encrypted = msoffcrypto.OfficeFile(open(path, "rb")).is_encrypted()
    if encrypted != bool(password):
        return ["%s: encrypted=%s, expected %s" % (path, encrypted, bool(password))]
    if password:
        try:
            decrypt(data, password + "x")
            return ["%s: opened with a wrong password" % path]
        except Exception:
            pass
        data = decrypt(data, password)
    return compare(expected, xlrd_dump(data), os.path.basename(path))


def main():
    folder = sys.argv[1]
    manifest = os.path.join(folder, "manifest.tsv")
    if not os.path.exists(manifest):  # xls_test_crypto writes it, unless the fixtures are absent
        print("SKIP: %s missing (fixtures absent?)" % manifest)
        return 77
    lines = [line.rstrip("\n").split("\t") for line in open(manifest, encoding="utf-8") if line.strip()]
    return report((name, check(os.path.join(folder, name), pw, exp)) for name, pw, exp in lines)


if __name__ == "__main__":
    sys.exit(main())
