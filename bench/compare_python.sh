#!/bin/sh
# Times our engine against Debian's msoffcrypto-tool + xlrd fully reading the same
# password-protected benchmark workbooks, and compares peak memory.
#   bench/compare_python.sh BUILD_DIR [RUNS]
# BUILD_DIR must hold bench/bench_xls and tools/xlstool.
set -e
BUILD=${1:?usage: compare_python.sh BUILD_DIR [RUNS]}
RUNS=${2:-3}
PW=Tesm4061
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
GP_BENCH_XLS_DIR="$DIR" "$BUILD/bench/bench_xls" >/dev/null

cat > "$DIR/read.py" <<'PY'
import io, sys, msoffcrypto, xlrd
o = msoffcrypto.OfficeFile(open(sys.argv[1], "rb"))
o.load_key(password=sys.argv[2])
buf = io.BytesIO()
o.decrypt(buf)
book = xlrd.open_workbook(file_contents=buf.getvalue())
n = 0
for sh in book.sheets():
    for r in range(sh.nrows):
        n += sum(1 for v in sh.row_values(r) if v != "")
print(n)
PY

# Median wall time (s) and median peak RSS (KiB) of RUNS runs of a command.
measure() {
    for i in $(seq "$RUNS"); do
        /usr/bin/time -f "%e %M" -o "$DIR/t" "$@" >/dev/null
        cat "$DIR/t"
    done | sort -n | awk '{t[NR]=$1; m[NR]=$2} END {mid=int((NR+1)/2); print t[mid], m[mid]}'
}

printf "%-16s %10s %10s %12s %12s %8s %8s\n" file ours_s python_s ours_MiB python_MiB time_x mem_x
for f in bench_cryptoapi bench_rc4; do
    set -- $(measure "$BUILD/tools/xlstool" info --password "$PW" "$DIR/$f.xls")
    ot=$1; om=$2
    set -- $(measure /usr/bin/python3 "$DIR/read.py" "$DIR/$f.xls" "$PW")
    pt=$1; pm=$2
    awk -v f="$f" -v ot="$ot" -v pt="$pt" -v om="$om" -v pm="$pm" 'BEGIN {
        printf "%-16s %10.2f %10.2f %12.1f %12.1f %8.1f %8.1f\n", f, ot, pt, om/1024, pm/1024, pt/ot, pm/om }'
done
