#!/usr/bin/env bash
# deb_test.sh CPACK SOURCE_DIR BUILD_DIR VERSION WITH_WINDOW(0|1) RELEASE_BUILD(0|1) WITH_PYTHON(0|1):
# builds the Debian packages from the build tree (tessmar, and python3-tessmar
# when the Python module is built), has lintian judge them (a release build's:
# optimised, no sanitizers), unpacks them into a scratch root and runs the
# programs and the module from there: what `apt install ./*.deb` would put in /usr.
set -euo pipefail
cpack=$1 source=$2 build=$3 version=$4 window=$5 release=$6 python=${7:-0}
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
pydeb=""
if ((python)); then
  pydebs=("$work"/out/python3-tessmar_"$version"_*.deb)
  [ ${#pydebs[@]} -eq 1 ] && [ -f "${pydebs[0]}" ] || fail "no single python3-tessmar_${version}_*.deb in $(ls "$work/out")"
  pydeb=${pydebs[0]}
  echo "package: $(basename "$pydeb")"
fi
[ "$(ls "$work/out"/*.deb | wc -l)" -eq $((1 + python)) ] || fail "other packages than these: $(ls "$work/out")"

# Debian's own checks, pedantic: no error, no warning, and an informational tag
# only where cmake/lintian-overrides says why it is overridden.
if ((release)); then
  command -v lintian >/dev/null || fail "lintian is missing: run scripts/deps"
  status=0
  lintian --pedantic --display-info --fail-on error,warning,info,pedantic "$deb" $pydeb >"$work/lintian.log" 2>&1 || status=$?
  tags=$(grep -E '^[A-Z]: ' "$work/lintian.log" || true)
  [ "$status" -eq 0 ] && [ -z "$tags" ] || { cat "$work/lintian.log"; fail "lintian --pedantic (status $status)"; }
  echo "lintian --pedantic: no tags"
  # Every override under the comment that gives its reason (lintian shows it with the override).
  dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/lintian/overrides/tessmar >"$work/overrides"
  awk 'NF == 0 { why = 0; next } /^#/ { why = 1; next } !why { print "no reason above: " $0; bad = 1 } END { exit bad }' \
    "$work/overrides" || fail "a lintian override without its reason"
fi

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

# Hardened and stripped as Debian's own, beyond what lintian sees: the stack
# protector in every binary, no symbol table, no debug information.
for exe in "$root"/usr/bin/* "$module"; do
  ((!release)) || grep -q __stack_chk_fail <<<"$(LC_ALL=C readelf -W --dyn-syms "$exe")" ||
    fail "$(basename "$exe") lacks the stack protector"
  ! grep -Eq '\.(symtab|debug_[a-z]+|comment) ' <<<"$(LC_ALL=C readelf -W -S "$exe")" || fail "$(basename "$exe") is not stripped"
done
# No maintainer scripts: the module is private, found by the program's path to it, and needs no ldconfig.
dpkg-deb -e "$deb" "$work/control"
scripts=$(ls "$work/control" | grep -Evx 'control|md5sums' || true)
[ -z "$scripts" ] || fail "maintainer scripts in the package: $scripts"

# python3-tessmar: the module where the system's Python 3 finds it, beside the
# program it shares its folders with, from the same build.
if ((python)); then
  pyfield() { dpkg-deb -f "$pydeb" "$1"; }
  [ "$(pyfield Version)" = "$version" ] && [ "$(pyfield Section)" = python ] || fail "python3-tessmar: $(pyfield Version) $(pyfield Section)"
  pydepends=$(pyfield Depends)
  echo "python3-tessmar Depends: $pydepends"
  for p in "tessmar (= $version)" "python3 (>= 3." "python3 (<< 3." python3-numpy "libc6 (>= "; do
    grep -qF "$p" <<<"$pydepends" || fail "python3-tessmar Depends lacks $p: $pydepends"
  done
  dpkg-deb -x "$pydeb" "$root"
  pymodule=$(find "$root/usr/lib/python3/dist-packages/tessmar" -name "_tessmar.cpython-*.so")
  [ -n "$pymodule" ] && [ -s "$root/usr/lib/python3/dist-packages/tessmar/__init__.py" ] || fail "no module in python3-tessmar"
  ! grep -q "not found" <<<"$(LC_ALL=C ldd "$pymodule")" || fail "the Python module lacks a library: $(ldd "$pymodule")"
  ! LC_ALL=C readelf -d "$pymodule" | grep -Eq "R(UN)?PATH" || fail "the Python module keeps a run path"
  ((!release)) || grep -q __stack_chk_fail <<<"$(LC_ALL=C readelf -W --dyn-syms "$pymodule")" ||
    fail "the Python module lacks the stack protector"
  ! grep -Eq '\.(symtab|debug_[a-z]+|comment) ' <<<"$(LC_ALL=C readelf -W -S "$pymodule")" || fail "the Python module is not stripped"
  [ -z "$(find "$root/usr/lib/python3" -name __pycache__)" ] || fail "python3-tessmar ships byte-compiled files"
  # Byte-compiled when installed and removed with it, as dh_python3 would have it: those two scripts alone.
  dpkg-deb -e "$pydeb" "$work/pycontrol"
  [ "$(ls "$work/pycontrol" | grep -Evx 'control|md5sums' | tr '\n' ' ')" = "postinst prerm " ] ||
    fail "python3-tessmar's maintainer scripts: $(ls "$work/pycontrol")"
  cmp -s "$root/usr/share/doc/tessmar/copyright" "$root/usr/share/doc/python3-tessmar/copyright" ||
    fail "python3-tessmar's copyright is not tessmar's"
  grep -q "^python3-tessmar ($version) " <<<"$(zcat "$root/usr/share/doc/python3-tessmar/changelog.gz")" ||
    fail "python3-tessmar's changelog.gz"
fi

# The licence as Debian reads it (DEP-5), to the letter LICENSE's.
copyright=$root/usr/share/doc/tessmar/copyright
grep -qx "Copyright: $(sed -n 's/^Copyright (c) //p' "$source/LICENSE")" "$copyright" || fail "copyright: $(cat "$copyright")"
diff <(sed -n '/^Permission/,$p' "$source/LICENSE") <(sed -n '/^License: Expat$/,$p' "$copyright" | sed '1d; s/^ //; s/^\.$//') ||
  fail "the licence text in usr/share/doc/tessmar/copyright is not LICENSE's"
grep -q "^tessmar ($version) " <<<"$(zcat "$root/usr/share/doc/tessmar/changelog.gz")" || fail "changelog.gz"
# The system's folder for the source grids, the package's and empty.
[ -d "$root/usr/share/tessmar" ] && [ -z "$(ls -A "$root/usr/share/tessmar")" ] || fail "no empty usr/share/tessmar/"

# The man pages fit 80 columns, as man sets them.
for p in "$root"/usr/share/man/man1/*.1.gz; do
  text=$(MANWIDTH=80 LC_ALL=C man -l "$p" 2>/dev/null)
  grep -q "^NAME" <<<"$text" || fail "man -l $(basename "$p") shows no page"
  wide=$(awk 'length > 80' <<<"$text")
  [ -z "$wide" ] || fail "$(basename "$p") runs past 80 columns:"$'\n'"$wide"
done
examples=$(MANWIDTH=80 LC_ALL=C man -l "$root/usr/share/man/man1/tessmar-cli.1.gz" 2>/dev/null | sed -n '/^EXAMPLES/,/^[A-Z]/p')
for example in "--output tokyo convert" "check --points - >" "--heatmap tokyo_error.png" "cct +proj=vgridshift"; do
  grep -qF -- "$example" <<<"$examples" || fail "tessmar-cli.1's EXAMPLES lack \"$example\": $examples"
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
  # Where the window keeps its settings and writes its files, which its --help cannot say.
  files=$(MANWIDTH=80 LC_ALL=C man -l "$root/usr/share/man/man1/tessmar.1.gz" 2>/dev/null | sed -n '/^FILES/,/^[A-Z]/p')
  for file in "~/.config/tessmar/tessmar.ini" "~/.local/share/tessmar/" "NAME_error.png" "/usr/share/tessmar/"; do
    grep -qF -- "$file" <<<"$files" || fail "tessmar.1's FILES lack \"$file\": $files"
  done
  desktop=$root/usr/share/applications/tessmar.desktop
  grep -qx "Exec=tessmar %F" "$desktop" && grep -qx "Icon=tessmar" "$desktop" || fail "tessmar.desktop: $(cat "$desktop")"
  desktop-file-validate "$desktop" || fail "tessmar.desktop"
  # The file type it opens, as shared-mime-info builds its database: by name.
  grep -qx "MimeType=application/x-tessmar-qdat;" "$desktop" || fail "tessmar.desktop: $(cat "$desktop")"
  mkdir -p "$work/mime/packages"
  cp "$root/usr/share/mime/packages/tessmar.xml" "$work/mime/packages/"
  update-mime-database "$work/mime" >"$work/mime.log" 2>&1 || { cat "$work/mime.log"; fail "update-mime-database"; }
  grep -qxF "50:application/x-tessmar-qdat:*.qdat" "$work/mime/globs2" || fail "no *.qdat: $(cat "$work/mime/globs2")"
  # No display here: --version must be answered without the window system.
  [ "$(QT_QPA_PLATFORM=none-here "$root/usr/bin/tessmar" --version)" = "tessmar $version" ] || fail "tessmar --version"
fi

# The installed CLI: its version, then a GTX grid in, a custom geoid out, checked.
[ "$("$cli" --version)" = "tessmar-cli $version" ] || fail "tessmar-cli --version: $("$cli" --version)"
# GDAL is the module's, loaded when a command (or the window's map) needs it: neither program
# starts with it. (ldd's output is taken whole: grep -q leaving a pipe early would fail ldd
# under pipefail.)
for exe in "$root"/usr/bin/*; do
  ! grep -q libgdal <<<"$(LC_ALL=C ldd "$exe")" || fail "$(basename "$exe") links GDAL: $(ldd "$exe")"
done
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

# As a user whose HOME is a scratch folder: the installed programs write into
# HOME only, and find a grid an administrator placed in the system's folder.
home=$work/home
mkdir -p "$home" "$work/cwd"
"$cli" --settings admin.ini --data-dir "$root/usr/share/tessmar" import-gtx small.gtx --name small \
  --title "Small 30'" >/dev/null || fail "import-gtx into usr/share/tessmar"
snapshot() { (cd "$root" && find . -printf '%p %s %T@\n' | sort); }  # names, sizes, times
before=$(snapshot)
user() { (cd "$work/cwd" && env -i HOME="$home" PATH=/usr/bin:/bin LC_ALL=C.UTF-8 "$@"); }
if ((window)); then  # its first start makes the user's settings file
  user QT_QPA_PLATFORM=offscreen timeout 5 "$root/usr/bin/tessmar" >/dev/null 2>&1 || true
  [ -s "$home/.config/tessmar/tessmar.ini" ] || fail "the window kept no settings in ~/.config/tessmar/"
fi
mkdir -p "$home/.config/tessmar"
# The catalogue entry without the folder (the file is UTF-16, as the window writes it).
python3 -c 'import sys; t = open(sys.argv[1], encoding="utf-16").read().splitlines(True)
open(sys.argv[2], "w", encoding="utf-16", newline="").write("".join(l for l in t if not l.startswith("DataPath=")))' \
  admin.ini "$home/.config/tessmar/tessmar.ini"
models=$(user "$cli" models) || fail "models as the user: $models"
grep -qF "$root/usr/share/tessmar/small" <<<"$models" || fail "models as the user: $models"
grep -qxF "Data folder: $home/.local/share/tessmar/" <<<"$models" || fail "models as the user: $models"
user "$cli" --output demo convert --south 35 --north 37 --west 139 --east 141 --res 5 >/dev/null ||
  fail "convert as the user"
[ -s "$home/.local/share/tessmar/demo.qdat" ] || fail "convert as the user wrote no ~/.local/share/tessmar/demo.qdat"
if ((python)); then
  # The module as a user imports it, from the installed package, with the
  # system's Python: the same folders as tessmar-cli, the same bytes and numbers.
  user "$cli" --output cli convert --south 35 --north 37 --west 139 --east 141 --res 5 >/dev/null || fail "convert as the user"
  user env PYTHONPATH="$root/usr/lib/python3/dist-packages" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 - \
    "$root" "$home/.local/share/tessmar/" "$("$cli" --version)" <<'PY' || fail "the installed Python module"
import sys
import tessmar
root, data, version = sys.argv[1:]
assert tessmar.__file__.startswith(root + "/usr/lib/python3/dist-packages/tessmar/"), tessmar.__file__
assert tessmar._tessmar.program_path() == root + "/usr/bin/tessmar-cli", tessmar._tessmar.program_path()
small = [m for m in tessmar.models() if m.usable]
assert [m.path for m in small] == [root + "/usr/share/tessmar/small"], small
cut = tessmar.cut(None, 35, 139, 37, 141, 5, "python")
assert cut.path == data + "python.qdat", cut.path
assert open(cut.path, "rb").read() == open(data + "cli.qdat", "rb").read(), "not the CLI's bytes"
checked = tessmar.check_points(cut.path, [36.0], [140.0])
assert (checked.source[0], checked.custom[0], checked.error[0]) == (35.5, 35.5, 0.0), checked
print("installed Python module (" + version + "): cut", cut.path, "as tessmar-cli did, checked", checked.source[0])
PY
fi
after=$(snapshot)
[ "$after" = "$before" ] || fail "the programs wrote into the install root: $(diff <(echo "$before") <(echo "$after"))"
[ -z "$(ls -A "$work/cwd")" ] || fail "the programs wrote into the current folder: $(ls -A "$work/cwd")"
echo "installed programs, run as a user, wrote into HOME only: $(cd "$home" && find . -type f | sort | tr '\n' ' ')"
