#!/usr/bin/env bash
# check_deb.sh BUILD_DIR VERSION: builds the Debian package from BUILD_DIR
# (already built) with cpack and checks it. Exit 77 = skipped (a tool that
# the package cannot be made without is missing).
set -euo pipefail
build="$1"
version="$2"
fail() { echo "FAIL: $*" >&2; exit 1; }
skipped=()

# The commands answer --version and --help without any display.
out="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$build/src/gestione-pratiche" --version)"
[ "$out" = "gestione-pratiche $version" ] || fail "--version: '$out'"
out="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$build/src/gestione-pratiche" --help)"
grep -q "^Uso: gestione-pratiche \[--cartella CARTELLA\]" <<<"$out" || fail "--help: $out"
grep -q "mostra la versione ed esce" <<<"$out" || fail "--help: $out"
[ "$("$build/tools/xlstool" --version)" = "xlstool $version" ] || fail "xlstool --version"

for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work="$(mktemp -d "$build/packaging-test.XXXXXX")"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb="$work/gestione-pratiche_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$work"; fail "no $(basename "$deb")"; }

info="$(dpkg-deb --info "$deb")"
grep -q "^ Package: gestione-pratiche$" <<<"$info" || fail "Package: $info"
grep -q "^ Version: $version$" <<<"$info" || fail "Version: $info"
depends="$(sed -n 's/^ Depends: //p' <<<"$info")"
for lib in libqt6widgets6 libqt6printsupport6 libcups2 libnettle8 libc6; do
  grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

contents="$(dpkg-deb --contents "$deb" | awk '{print $NF}')"
for f in ./usr/bin/gestione-pratiche ./usr/bin/xlstool \
         ./usr/share/applications/gestione-pratiche.desktop \
         ./usr/share/icons/hicolor/scalable/apps/gestione-pratiche.svg \
         ./usr/share/metainfo/it.gestionepratiche.GestionePratiche.metainfo.xml \
         ./usr/share/man/man1/gestione-pratiche.1.gz ./usr/share/man/man1/xlstool.1.gz \
         ./usr/share/doc/gestione-pratiche/copyright ./usr/share/doc/gestione-pratiche/changelog.gz \
         ./usr/share/gestione-pratiche/demo/Pratiche.xls ./usr/share/gestione-pratiche/demo/Dorvessa.xls; do
  grep -qx -- "$f" <<<"$contents" || fail "the package lacks $f"
done

# The unpacked programs: versions, the demo workbooks' sheets, and the
# program started offscreen on a copy of the demo folder (it has opened the
# workbook when its lock file appears).
root="$work/root"
dpkg-deb -x "$deb" "$root"
[ "$(env -u DISPLAY "$root/usr/bin/gestione-pratiche" --version)" = "gestione-pratiche $version" ] \
  || fail "packaged --version"
sheets="$("$root/usr/bin/xlstool" info --password Tesm4061 "$root/usr/share/gestione-pratiche/demo/Pratiche.xls")"
for s in Clienti Pratica Storico Spese Codice; do
  grep -q "^$s " <<<"$sheets" || fail "xlstool info lacks sheet $s: $sheets"
done
zcat "$root/usr/share/man/man1/gestione-pratiche.1.gz" | grep -q '^\.SH DESCRIZIONE' || fail "man page"
demo="$work/demo"
cp -r "$root/usr/share/gestione-pratiche/demo" "$demo"
QT_QPA_PLATFORM=offscreen "$root/usr/bin/gestione-pratiche" --cartella "$demo" >"$work/run.log" 2>&1 &
pids+=($!)
for _ in $(seq 600); do
  [ -e "$demo/.~lock.Pratiche.xls#" ] && break
  kill -0 "${pids[0]}" 2>/dev/null || { cat "$work/run.log"; fail "the program ended at start"; }
  sleep 0.1
done
[ -e "$demo/.~lock.Pratiche.xls#" ] || { cat "$work/run.log"; fail "the program did not open the demo folder"; }
kill -0 "${pids[0]}" || fail "the program ended"

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/gestione-pratiche.desktop" || fail "desktop-file-validate"
else skipped+=(desktop-file-validate); fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root/usr/share/metainfo/it.gestionepratiche.GestionePratiche.metainfo.xml" \
    || fail "appstreamcli validate"
else skipped+=(appstreamcli); fi
if command -v lintian >/dev/null; then
  rc=0
  lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || rc=$?
  grep -v "running with root privileges" "$work/lintian.log" || true
  [ "$rc" -eq 0 ] || fail "lintian reports errors"
else skipped+=(lintian); fi

echo "OK: $(basename "$deb")${skipped:+ (not checked, not installed: ${skipped[*]})}"
