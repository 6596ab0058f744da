#!/usr/bin/env bash
# The ZIP for Windows, made by cpack in the Windows build, judged as a user
# gets it: its name and its files (the window's DLLs and plugins as the build
# listed them), tessmar-cli.exe static (no DLL but the system's) and stripped,
# every DLL the window imports in the ZIP or Windows' own, the README for
# Windows users and the licence as they stand, demo.cmd with CR LF; then
# unpacked into a folder of its own and run from there under Wine: --version
# of both programs, the window started, and demo.cmd on PROJ's EGM96 grid.
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
  printf '%s\n' LICENSE.txt README.txt demo.cmd tessmar-cli.exe
  if [ -f "$build/bin/tessmar.exe" ]; then
    echo tessmar.exe
    cat "$build/bin/runtime-tessmar.txt"
  fi
)
[ "$listed" = "$(sort <<<"$expected")" ] || fail "unexpected files: $(diff <(sort <<<"$expected") - <<<"$listed" | tr '\n' ' ')"
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

# The window: every DLL it imports is Windows' own or in the folder.
if [ -f "$dir/tessmar.exe" ]; then
  for dll in $("$objdump" -p "$dir/tessmar.exe" "$dir"/*.dll "$dir"/*/*.dll | sed -n 's/^\s*DLL Name: //p' | sort -u); do
    case $dll in api-ms-* | ext-ms-*) continue ;; esac  # the system's API sets, which Windows resolves itself
    [ -f "$dir/$dll" ] || [ -f "$WINEPREFIX/drive_c/windows/system32/$(tr 'A-Z' 'a-z' <<<"$dll")" ] ||
      fail "tessmar.exe needs $dll, which is neither in the ZIP nor Windows' own"
  done
fi

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
echo "zip_test: $name.zip ($(stat -c %s "$zip") bytes, tessmar-cli.exe $(stat -c %s "$dir/tessmar-cli.exe") bytes) runs from its folder"
