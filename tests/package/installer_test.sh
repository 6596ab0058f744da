#!/usr/bin/env bash
# The installer for Windows (cpack -G NSIS in the Windows build), as a user
# meets it under Wine: installed silently into Program Files, the programs in
# bin\ beside share\tessmar\ (so they run as installed: settings and files in
# the user's folders), a Start-menu entry, .qdat files opened by the window;
# the installed CLI cuts a custom geoid and, through the formats module with
# what the installer brings (PROJ_DATA hides any other proj.db; scripts/test-
# windows sets it), exports it as a GeoTIFF and draws a map with coastlines;
# the installed window opens the cut through the association; then
# uninstalled silently, leaving nothing in Program Files and no association.
# installer_test.sh BUILD-DIR VERSION WINE (WINEPREFIX set, its wineserver up)
set -euo pipefail
build=$(cd "$1" && pwd) version=$2 wine=$3
name=tessmar-$version-win64
fail() { echo "installer_test: $*" >&2; exit 1; }
run() { timeout --kill-after=10 300 "$wine" "$@"; }

(cd "$build" && cpack -G NSIS >/dev/null) || fail "cpack -G NSIS failed"
installer=$build/$name.exe
[ -f "$installer" ] || fail "no $name.exe"
c=$WINEPREFIX/drive_c
home=$c/Program\ Files/Tessmar
user=$c/users/${USER:-$(id -un)}
[ -d "$user" ] || user=$(dirname "$(find "$c/users" -maxdepth 2 -name AppData -print -quit)")
work=$(mktemp -d)
# The windows this test's Wine prefix runs (never those of another prefix, another test's).
own_windows() {
  local pid
  for pid in $(pgrep -f 'tessmar\.exe'); do
    { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done
  true
}
# The user's folders of this test's Wine prefix start and end without Tessmar's files.
clean() { rm -rf "$work" "$user/AppData/Local/tessmar" "$user/AppData/Roaming/tessmar"; kill $(own_windows) 2>/dev/null || true; }
clean
work=$(mktemp -d)
trap clean EXIT
# What a run cut short left installed goes first.
if [ -e "$home" ]; then
  run "$home/Uninstall.exe" /S >/dev/null 2>&1 || true
  sleep 3
  rm -rf "$home"
fi

run "$installer" /S || fail "the installer failed"
for file in bin/tessmar.exe bin/tessmar-cli.exe bin/Qt6Widgets.dll bin/platforms/qwindows.dll bin/README.txt \
  Uninstall.exe; do
  [ -f "$home/$file" ] || fail "nothing installed at Program Files\\Tessmar\\$file"
done
[ -d "$home/share/tessmar" ] || fail "no share\\tessmar beside bin\\: the programs would not run as installed"
# The formats module with the DLLs and data the build listed beside it.
while read -r file; do
  [ -f "$home/bin/$file" ] || fail "nothing installed at Program Files\\Tessmar\\bin\\$file"
done < <(echo tessmar-formats.dll; cat "$build/bin/runtime-tessmar-formats.txt")
find "$c/ProgramData" "$user" -iname 'Tessmar*.lnk' | grep -q . || fail "no Start-menu entry"
association=$(run reg query 'HKCR\Tessmar.CustomGeoid\shell\open\command' /ve | tr -d '\r')
grep -qF '"C:\Program Files\Tessmar\bin\tessmar.exe" "%1"' <<<"$association" || fail "no .qdat association: $association"

# The installed CLI keeps its files in the user's folders, not in Program Files.
cp /usr/share/proj/egm96_15.gtx "$work/"
ini="Z:${work//\//\\}\\demo.ini"
out=$(run "$home/bin/tessmar-cli.exe" --settings "$ini" import-gtx "Z:${work//\//\\}\\egm96_15.gtx" --name demo 2>&1) ||
  fail "the installed tessmar-cli could not import a grid: $out"
out=$(run "$home/bin/tessmar-cli.exe" --settings "$ini" --output japan convert --south 30 --north 46 --west 128 \
  --east 146 2>&1) || fail "the installed tessmar-cli could not cut a custom geoid: $out"
qdat=$user/AppData/Local/tessmar/japan.qdat
[ -s "$qdat" ] || fail "the cut is not in %LOCALAPPDATA%\\tessmar: $out"
out=$(run "$home/bin/tessmar-cli.exe" --settings "$ini" --output japan export 2>&1) ||
  fail "the installed tessmar-cli could not export a GeoTIFF: $out"
[ "$(head -c 4 "$user/AppData/Local/tessmar/japan.tif" | od -An -tx1 | tr -d ' ')" = 49492a00 ] ||
  fail "no GeoTIFF japan.tif in %LOCALAPPDATA%\\tessmar: $out"
out=$(run "$home/bin/tessmar-cli.exe" --settings "$ini" --output japan map --png "Z:${work//\//\\}\\japan.png" 2>&1) ||
  fail "the installed tessmar-cli could not draw a map: $out"
grep -qF 'Coastlines: C:\Program Files\Tessmar\bin\gmt-gshhg\binned_GSHHS_' <<<"$out" ||
  fail "the installed tessmar-cli drew no coastlines of its own: $out"
[ -z "$(find "$home" -name '*.qdat' -o -name '*.ini' -o -name demo -o -name '*.tif')" ] ||
  fail "the installed program wrote into Program Files"

# A .qdat opened as a user double-clicks it starts the installed window on it.
WINEQT_QPA_PLATFORM=offscreen timeout 30 "$wine" start /unix "$qdat" >/dev/null 2>&1 || true
for _ in $(seq 30); do
  for pid in $(own_windows); do grep -qa 'japan\.qdat' "/proc/$pid/cmdline" && break 2; done
  sleep 1
done
opened=$(for pid in $(own_windows); do grep -qa 'japan\.qdat' "/proc/$pid/cmdline" && echo "$pid"; done)
[ -n "$opened" ] || fail "opening japan.qdat did not start the window on it"
kill $(own_windows) 2>/dev/null || true

run "$home/Uninstall.exe" /S || fail "the uninstaller failed"
for _ in $(seq 30); do  # it runs on from a copy of itself
  [ -e "$home" ] || break
  sleep 1
done
[ ! -e "$home" ] || fail "left in Program Files: $(find "$home" | tr '\n' ' ')"
! run reg query 'HKCR\Tessmar.CustomGeoid' >/dev/null 2>&1 || fail "the .qdat association is still there"
echo "installer_test: $name.exe ($(stat -c %s "$installer") bytes) installs, runs, opens a .qdat and uninstalls"
