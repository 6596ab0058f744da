#!/usr/bin/env bash
# deb_test.sh CPACK BUILD_DIR VERSION WITH_WINDOW(0|1): builds the Debian
# package from the build tree, unpacks it into a scratch root and runs the
# programs from there: what `apt install ./tessmar_*.deb` would put in /usr.
set -euo pipefail
cpack=$1 build=$2 version=$3 window=$4
work=$build/package-test
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Its own output folder, so a packager's cpack in the same tree is not disturbed.
(cd "$build" && "$cpack" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack -G DEB"; }
debs=("$work"/out/tessmar_"$version"_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single tessmar_${version}_*.deb in $(ls "$work/out")"
deb=${debs[0]}
echo "package: $(basename "$deb")"

# The control fields; the libraries computed from the programs, not listed by hand.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tessmar ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ -n "$(field Maintainer)" ] && [ -n "$(field Description)" ] || fail "no Maintainer or Description"
depends=$(field Depends)
echo "Depends: $depends"
needed=(libc6 libstdc++6 libpng16-16)
((window)) && needed+=(libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 qt6-qpa-plugins)
names=$(sed 's/ *([^)]*)//g; s/ *| */\n/g; s/, */\n/g' <<<"$depends")
for p in "${needed[@]}"; do
  grep -qxF "$p" <<<"$names" || fail "Depends lacks $p"
done
grep -Eq "libc6 \(>= [0-9.]+\)" <<<"$depends" || fail "libc6 without a computed version: $depends"
grep -Eq "^libgdal[0-9]+$" <<<"$names" || fail "Depends lacks GDAL's library: $depends"

root=$work/root
dpkg-deb -x "$deb" "$root"
expected=(usr/bin/tessmar-cli usr/share/man/man1/tessmar-cli.1.gz)
((window)) && expected+=(usr/bin/tessmar usr/share/man/man1/tessmar.1.gz usr/share/applications/tessmar.desktop
  usr/share/icons/hicolor/scalable/apps/tessmar.svg)
for f in "${expected[@]}"; do
  [ -s "$root/$f" ] || fail "$f missing from the package"
done
# The formats module (GDAL), which tessmar-cli loads only for the commands that need it.
module=$(find "$root/usr/lib" -path "*/tessmar/libtessmar-formats.so")
[ -n "$module" ] && [ "$(wc -l <<<"$module")" -eq 1 ] || fail "no single usr/lib/.../tessmar/libtessmar-formats.so"
echo "module: ${module#"$root"/}"
((window)) || [ ! -e "$root/usr/bin/tessmar" ] || fail "the window is in a package built without it"

# Installed programs find their libraries on the system, never in the build tree.
for exe in "$root"/usr/bin/* "$module"; do
  ! grep -q "not found" <<<"$(LC_ALL=C ldd "$exe")" || fail "$(basename "$exe"): a library is missing: $(ldd "$exe")"
  ! LC_ALL=C readelf -d "$exe" | grep -Eq "R(UN)?PATH" || fail "$(basename "$exe") keeps a run path"
done

# The man pages: made from the programs' help, every subcommand in its page.
cli=$root/usr/bin/tessmar-cli
page=$(zcat "$root/usr/share/man/man1/tessmar-cli.1.gz")
grep -q '^\.TH TESSMAR-CLI "1"' <<<"$page" || fail "tessmar-cli.1 has no title line"
grep -q "^tessmar-cli \\\\- " <<<"$page" || fail "tessmar-cli.1 has no NAME line"
commands=$("$cli" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NF && !/:$/ {print $1}')
[ -n "$commands" ] || fail "no subcommands in tessmar-cli --help"
for c in $commands; do
  grep -q "^\.SS $c\$" <<<"$page" || fail "tessmar-cli.1 lacks the command $c"
  grep -qF "Usage: tessmar-cli $c" <<<"$page" || fail "tessmar-cli.1 lacks the usage of $c"
done
if ((window)); then
  page=$(zcat "$root/usr/share/man/man1/tessmar.1.gz")
  grep -q "^tessmar \\\\- " <<<"$page" || fail "tessmar.1 has no NAME line"
  grep -q "version" <<<"$page" || fail "tessmar.1 lacks --version"
  desktop=$root/usr/share/applications/tessmar.desktop
  grep -qx "Exec=tessmar %F" "$desktop" && grep -qx "Icon=tessmar" "$desktop" || fail "tessmar.desktop: $(cat "$desktop")"
  if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop" || fail "tessmar.desktop"; fi
  # No display here: --version must be answered without the window system.
  [ "$(QT_QPA_PLATFORM=none-here "$root/usr/bin/tessmar" --version)" = "tessmar $version" ] || fail "tessmar --version"
fi

# The installed CLI: its version, then a GTX grid in, a custom geoid out, checked.
[ "$("$cli" --version)" = "tessmar-cli $version" ] || fail "tessmar-cli --version: $("$cli" --version)"
# GDAL is the module's, loaded when a command needs it: the program itself starts without it.
# (ldd's output is taken whole: grep -q leaving a pipe early would fail ldd under pipefail.)
! grep -q libgdal <<<"$(LC_ALL=C ldd "$cli")" || fail "tessmar-cli links GDAL: $(ldd "$cli")"
grep -q libgdal <<<"$(LC_ALL=C ldd "$module")" || fail "the formats module does not link GDAL: $(ldd "$module")"
mkdir "$work/data"
# A 0.5-degree regional grid, 30..42 N, 130..150 E: node (row r from the south,
# column c) holds 30 + r/4 + c/8, exact in float32.
python3 - "$work/small.gtx" <<'PY'
import struct, sys
rows, cols = 25, 41
with open(sys.argv[1], "wb") as f:
    f.write(struct.pack(">4d2i", 30.0, 130.0, 0.5, 0.5, rows, cols))
    for r in range(rows):
        f.write(struct.pack(">%df" % cols, *[30 + r / 4 + c / 8 for c in range(cols)]))
PY
cd "$work"
"$cli" --settings t.ini --data-dir data import-gtx small.gtx --title "Small 30'" >/dev/null || fail "import-gtx"
"$cli" --settings t.ini --output tokyo convert --south 35 --north 37 --west 139 --east 141 --res 5 >/dev/null ||
  fail "convert"
[ -s data/tokyo.qdat ] || fail "convert wrote no data/tokyo.qdat"
# 36 N 140 E is node (12, 20): 30 + 3 + 2.5.
check=$("$cli" --settings t.ini --output tokyo --json check --lat 36 --lon 140) || fail "check"
[ "$check" = '{"lat":36.0,"lon":140.0,"source":35.5,"custom":35.5,"error":0.0}' ] || fail "check: $check"
echo "installed tessmar-cli converted and checked: $check"
# And through GDAL: the custom geoid out as a GeoTIFF.
"$cli" --settings t.ini --output tokyo export >/dev/null || fail "export"
[ "$(head -c 4 data/tokyo.tif | od -An -c | tr -d ' ')" = 'II*\0' ] || fail "export wrote no GeoTIFF data/tokyo.tif"
echo "installed tessmar-cli exported data/tokyo.tif"
# And the GeoTIFF back in as a source grid.
"$cli" --no-settings --data-dir data import data/tokyo.tif --name back >/dev/null || fail "import of data/tokyo.tif"
[ -s data/back ] || fail "import wrote no data/back"
echo "installed tessmar-cli imported data/tokyo.tif back ($(stat -c %s data/back) bytes)"
