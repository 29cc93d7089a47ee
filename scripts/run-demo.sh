#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine if needed, builds the program, writes the
# demo data folder the first time, and starts the program on it.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$here/scripts/setup-debian.sh"
build="${GP_BUILD_DIR:-$here/build}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target gestione-pratiche gp-demo
demo="${GP_DEMO_DIR:-$here/demo}"
if [ ! -e "$demo/Pratiche.xls" ]; then
  "$build/tools/gp-demo" "$demo"
fi
exec "$build/src/gestione-pratiche" --cartella "$demo"
