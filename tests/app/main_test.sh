#!/usr/bin/env bash
# main_test.sh TESSMAR VERSION: the program's --help and --version, answered
# without a display, and Qt's own options still left to Qt.
set -uo pipefail
exe=$1 version=$2
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# No platform plugin of that name: anything that opens the window aborts.
export QT_QPA_PLATFORM=none-here

for flag in --help -h; do
  help=$("$exe" $flag) || fail "tessmar $flag: status $?"
  for text in "Usage: $exe [options] [FILE...]" "-h, --help" "-v, --version" "settings file (.ini)"; do
    grep -qF -- "$text" <<<"$help" || fail "tessmar $flag lacks \"$text\": $help"
  done
done
for flag in --version -v; do
  [ "$("$exe" $flag)" = "tessmar $version" ] || fail "tessmar $flag: $("$exe" $flag)"
done
# A Qt option before it: still the help ("-reverse" is not -r -e -v ...).
"$exe" -reverse --help | grep -qF "Usage:" || fail "tessmar -reverse --help"
# Qt's "-reverse" alone is no request for the version: the window is attempted.
out=$("$exe" -reverse 2>/dev/null) && fail "tessmar -reverse opened a window without a platform"
[ -z "$out" ] || fail "tessmar -reverse printed: $out"
# No display at all: a plain word and status 1, not Qt's abort.
err=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$exe" 2>&1 >/dev/null)
status=$?
[ "$status" -eq 1 ] || fail "tessmar without a display: status $status"
[ "$err" = "No display to open the window on: set DISPLAY, or use tessmar-cli" ] || fail "without a display: $err"
echo "tessmar --help and --version answered without a display"
