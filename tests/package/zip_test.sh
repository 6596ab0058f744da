#!/usr/bin/env bash
# The ZIP for Windows, made by cpack in the Windows build, judged as a user
# gets it: its name and its files (the DLLs, plugins and data of the window
# and the formats module as the build listed them), tessmar-cli.exe static (no
# DLL but the system's) and stripped, every DLL the window and the module
# import in the ZIP or Windows' own, the README for Windows users and the
# licence as they stand, demo.cmd with CR LF; then unpacked into a folder of
# its own and run from there under Wine: --version of both programs, the window
# started, demo.cmd on PROJ's EGM96 grid, and through the formats module with
# what the ZIP brings (PROJ_DATA hides any other proj.db; scripts/test-windows
# sets it): its cut exported as a GeoTIFF, that imported, and a map with the
# ZIP's coastlines.
# zip_test.sh BUILD-DIR VERSION WINE (WINEPREFIX set, its wineserver up)
set -euo pipefail
build=$(cd "$1" && pwd) version=$2 wine=$3
source=$(cd "$(dirname "$0")/../.." && pwd)
name=tessmar-$version-win64
fail() { echo "zip_test: $*" >&2; exit 1; }

(cd "$build" && cpack -G ZIP >/dev/null) || fail "cpack -G ZIP failed"
zip=$build/$name.zip
[ -f "$zip" ] || fail "no $name.zip"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip")
listed=$(cd "$work/$name" && find . -type f | sed 's|^\./||' | sort)
# The window and what its imports name, as the build listed them beside it.
expected=$(
  printf '%s\n' LICENSE.txt README.txt demo.cmd tessmar-cli.exe tessmar-formats.dll
  cat "$build/bin/runtime-tessmar-formats.txt"
  if [ -f "$build/bin/tessmar.exe" ]; then
    echo tessmar.exe
    cat "$build/bin/runtime-tessmar.txt"
  fi
)
expected=$(sort -u <<<"$expected")
[ "$listed" = "$expected" ] || fail "unexpected files: $(diff - <(echo "$listed") <<<"$expected" | tr '\n' ' ')"
dir=$work/$name
cmp -s "$dir/README.txt" "$source/docs/windows.md" || fail "README.txt is not docs/windows.md, the README for Windows users"
cmp -s "$dir/LICENSE.txt" "$source/LICENSE" || fail "LICENSE.txt is not LICENSE"
grep -q $'\r$' "$dir/demo.cmd" && ! grep -q $'[^\r]$' "$dir/demo.cmd" || fail "demo.cmd does not end its lines in CR LF"

objdump=x86_64-w64-mingw32-objdump
! "$objdump" -h "$dir/tessmar-cli.exe" | grep -q '\.debug' || fail "tessmar-cli.exe is not stripped"
dlls=$("$objdump" -p "$dir/tessmar-cli.exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
for dll in $dlls; do
  case $dll in
  kernel32.dll | msvcrt.dll | shell32.dll | ole32.dll) ;;
  *) fail "tessmar-cli.exe needs $dll, which Windows does not have: $dlls" ;;
  esac
done

# The programs, the formats module and the plugins: every DLL they import is Windows' own or in the folder.
binaries=$(find "$dir" -name '*.exe' -o -name '*.dll')
for dll in $("$objdump" -p $binaries | sed -n 's/^\s*DLL Name: //p' | sort -u); do
  case $dll in api-ms-* | ext-ms-*) continue ;; esac  # the system's API sets, which Windows resolves itself
  [ -f "$dir/$dll" ] || [ -f "$WINEPREFIX/drive_c/windows/system32/$(tr 'A-Z' 'a-z' <<<"$dll")" ] ||
    fail "the ZIP's programs need $dll, which is neither in the ZIP nor Windows' own"
done

run() { timeout --kill-after=10 300 "$wine" "$@"; }
windows() { local p=${1//\//\\}; echo "Z:$p"; }  # a path of this machine as Wine shows it
[ "$(run "$dir/tessmar-cli.exe" --version)" = "tessmar-cli $version" ] || fail "--version from the unpacked folder"
if [ -f "$dir/tessmar.exe" ]; then
  [ "$(run "$dir/tessmar.exe" --version | tr -d '\r')" = "tessmar $version" ] || fail "tessmar.exe --version from the unpacked folder"
  # Started from the folder as unpacked, the window comes up and stays up (a
  # missing DLL or plugin ends it at once); the test ends it.
  status=0
  timeout 20 "$wine" "$dir/tessmar.exe" -platform offscreen >"$work/window.log" 2>&1 || status=$?
  [ "$status" = 124 ] || fail "tessmar.exe ended by itself (status $status): $(tail -n 5 "$work/window.log")"
fi
cd "$work"
out=$(run cmd /c "$(windows "$dir/demo.cmd")" "$(windows /usr/share/proj/egm96_15.gtx)" 2>&1) || fail "demo.cmd failed: $out"
for line in "Output file name: " "Original(m): " "Custom(m): " "Error(m): 0.0000"; do
  grep -qF "$line" <<<"$out" || fail "demo.cmd did not print \"$line\": $out"
done
[ -s "$dir/demo/japan.qdat" ] && [ -s "$dir/demo.ini" ] || fail "demo.cmd wrote no japan.qdat and demo.ini beside the program"

# The formats module from the folder: the cut as a GeoTIFF with its geokeys
# (PROJ's database: the ZIP's), read back by import, and the map drawn with the
# ZIP's coastlines.
cli() { run "$dir/tessmar-cli.exe" --settings "$(windows "$dir/demo.ini")" --output japan "$@" 2>&1; }
out=$(cli export) || fail "export to GeoTIFF failed: $out"
grep -qF "GeoTIFF file: $(windows "$dir/demo/japan.tif")" <<<"$out" || fail "export wrote no demo\\japan.tif: $out"
[ "$(head -c 4 "$dir/demo/japan.tif" | od -An -tx1 | tr -d ' ')" = 49492a00 ] || fail "demo\\japan.tif is no TIFF file"
out=$(cli import "$(windows "$dir/demo/japan.tif")" --name fromtif --entry 1) || fail "import of the GeoTIFF failed: $out"
grep -qx "nrows=.*" <<<"$(tr -d '\r' <<<"$out")" && [ -s "$dir/demo/fromtif" ] || fail "import of the GeoTIFF wrote no grid: $out"
out=$(cli map --png "$(windows "$dir/demo/japan.png")") || fail "map failed: $out"
grep -qF "Coastlines: $(windows "$dir/gmt-gshhg/")binned_GSHHS_" <<<"$out" || fail "the map drew no coastlines of the ZIP's: $out"
# Without them the map says where they belong, not how Debian installs its own.
mv "$dir/gmt-gshhg" "$work/gmt-gshhg"
out=$(cli map --png "$(windows "$dir/demo/japan.png")" --overwrite) || fail "map without coastlines failed: $out"
grep -qF "no GSHHG coastline file was found in $(windows "$dir/gmt-gshhg/") (it comes with the program" <<<"$out" ||
  fail "a map without the ZIP's coastlines did not say where they belong: $out"
mv "$work/gmt-gshhg" "$dir/gmt-gshhg"
echo "zip_test: $name.zip ($(stat -c %s "$zip") bytes, tessmar-cli.exe $(stat -c %s "$dir/tessmar-cli.exe") bytes) runs from its folder"
