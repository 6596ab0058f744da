#!/usr/bin/env bash
# The ZIP for Windows, made by cpack in the Windows build, judged as a user
# gets it: its name and its files, the program static (no DLL but the
# system's) and stripped, the README and the licence as they stand, demo.cmd
# with CR LF; then unpacked into a folder of its own and run from there under
# Wine: --version, and demo.cmd on PROJ's EGM96 grid.
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
listed=$(cd "$work" && find . -type f | sort | tr '\n' ' ')
[ "$listed" = "./$name/LICENSE.txt ./$name/README.txt ./$name/demo.cmd ./$name/tessmar-cli.exe " ] ||
  fail "unexpected files: $listed"
dir=$work/$name
cmp -s "$dir/README.txt" "$source/README.md" || fail "README.txt is not README.md"
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

run() { timeout --kill-after=10 300 "$wine" "$@"; }
windows() { local p=${1//\//\\}; echo "Z:$p"; }  # a path of this machine as Wine shows it
[ "$(run "$dir/tessmar-cli.exe" --version)" = "tessmar-cli $version" ] || fail "--version from the unpacked folder"
cd "$work"
out=$(run cmd /c "$(windows "$dir/demo.cmd")" "$(windows /usr/share/proj/egm96_15.gtx)" 2>&1) || fail "demo.cmd failed: $out"
for line in "Output file name: " "Original(m): " "Custom(m): " "Error(m): 0.0000"; do
  grep -qF "$line" <<<"$out" || fail "demo.cmd did not print \"$line\": $out"
done
[ -s "$dir/demo/japan.qdat" ] && [ -s "$dir/demo.ini" ] || fail "demo.cmd wrote no japan.qdat and demo.ini beside the program"
echo "zip_test: $name.zip ($(stat -c %s "$zip") bytes, tessmar-cli.exe $(stat -c %s "$dir/tessmar-cli.exe") bytes) runs from its folder"
