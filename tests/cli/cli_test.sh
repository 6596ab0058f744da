#!/usr/bin/env bash
# The CLI skeleton: --help explains itself, --version names the version, a bad
# option is a usage error (exit 2).
set -u
cli=$1
fail() { echo "FAIL: $*"; exit 1; }
out=$("$cli" --help) || fail "--help exited $?"
grep -q "custom geoid" <<<"$out" || fail "--help does not say what the program does"
[ "$("$cli" --version)" = "tessmar-cli 2.5.0.0" ] || fail "--version"
"$cli" --no-such-option >/dev/null 2>&1; [ $? -eq 2 ] || fail "a bad option must exit 2"
echo "cli ok"
