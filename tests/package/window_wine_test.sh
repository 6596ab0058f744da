#!/usr/bin/env bash
# The window for Windows as a person uses it: tessmar.exe under Wine on an Xvfb
# display of its own, driven by real X input (xdotool's keys and clicks, a
# settings file dragged onto it by xdnd_drop.c over XDND, which Wine turns into
# a Windows drop) and read as a person reads it: a field or the report is
# selected and copied (Ctrl+A, Ctrl+C) and the X clipboard, which Wine keeps
# in step with its own, read with xclip. Each run: the corners typed and
# Convert clicked, the file compared byte for byte with the Linux build's cut
# of the same corners; a test point typed and Enter pressed, its three values
# compared with the Linux build's check; Check in "Maximum error" clicked on a
# scan of billions of points and Escape pressed, the report saying it was
# aborted; Report clicked twice (one Report window, then none), both times;
# a settings file in a folder named "Tëst dïr" dropped on the window, which
# shows its model and keeps its settings there; Exit clicked. Buttons are found where Tab shows the focus
# (the pixels that change as the focus comes and goes), the links by their
# blue text above Exit: no position depends on a font's metrics.
# The grid is PROJ's EGM96 15' one, imported by the Linux build as a model;
# the window's folder is its drive D:.
# window_wine_test.sh BUILD-DIR WINE LINUX-CLI [RUNS [SCREENSHOT-DIR]]
#   RUNS (default 3) runs in a row, each with a display and Wine started anew;
#   SCREENSHOT-DIR: the first run also finishes a scan and takes the window,
#   its report and its map as windows-main.png, windows-report.png and
#   windows-map.png there.
set -euo pipefail
export LC_ALL=C.UTF-8  # how Wine reads the names of files dropped on the window, whatever the machine says
build=$(cd "$1" && pwd) wine=$2 cli=$(realpath "$3") runs=${4:-3} shots=${5:+$(realpath "$5")}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
# A prefix of its own, made with the display up: a Wine session started
# without a display never shows a window, and other tests' Wine stays theirs.
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver=$(dirname "$wine")/wineserver
xvfb=
stop() {
  "$wineserver" -k 2>/dev/null || true
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
  xvfb=
}
trap 'stop; rm -rf "$work"' EXIT
fail() {
  # What the window showed last, for whoever reads the failure.
  [ -f "$work/last.png" ] && cp "$work/last.png" "$build/window-wine-failed.png" &&
    echo "window_wine_test: the window's last picture: $build/window-wine-failed.png" >&2
  echo "window_wine_test: $*" >&2
  exit 1
}

# The model, once: the Linux build imports the grid into linux/ with a settings
# file of its own; the window's is the same with its data folder the Wine drive
# D: (win/, with a copy of the grid). The cut is at 20', on a grid of 15'.
gtx=/usr/share/proj/egm96_15.gtx
mkdir -p "$work/linux" "$work/win"
printf '[Option]\r\nResolution=20\r\nOutputName=first\r\n' >"$work/linux/test.ini"
"$cli" --settings "$work/linux/test.ini" --data-dir "$work/linux" import-gtx "$gtx" --title "EGM96 15'x15'" \
  --entry 0 >"$work/import.txt" 2>&1 || fail "the Linux build could not import $gtx: $(cat "$work/import.txt")"
cp "$work/linux/egm96_15" "$work/win/"
settings() {  # settings TITLE NAME: the window's settings file, its model titled TITLE, its output NAME
  iconv -f UTF-16 -t UTF-8 "$work/linux/test.ini" |
    sed "s|^DataPath=.*|DataPath=D:\\\\\r|; s|^OutputName=.*|OutputName=$2\r|
      s|EGM96 15'x15'|$1|"
}
# The settings file dropped on the window lies in a folder a Windows user might have.
drop="$work/win/Tëst dïr/drop settings.ini"
south=-60 north=60 west=0 east=120 lat="-12 15 30.5" lon="75 20 10.25"

# The X display and its pictures.
start_display() {
  : >"$work/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb=$!
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  [ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  DISPLAY=:$(head -n 1 "$work/display")
  export DISPLAY
}
park() { xdotool mousemove 0 0; }  # the pointer off the window, so nothing shows it hovering
shot() { import -window "$main" "$1"; }
# How many pixels differ between two pictures (all of them when compare cannot tell).
changed() { compare -metric AE "$1" "$2" null: 2>&1 | awk '{ printf "%d\n", $1 ~ /^[0-9.e+]+$/ ? $1 : 1e9 }'; }
# Waits until the main window's picture differs from BEFORE (WHAT made it change).
until_changed() {  # until_changed BEFORE WHAT
  for _ in $(seq 100); do
    shot "$work/last.png"
    (($(changed "$1" "$work/last.png") > 30)) && return 0
    sleep 0.1
  done
  fail "the window did not change: $2"
}
# The main window's picture once it stands still (a caret's blink aside),
# after it has changed from BEFORE when that is given.
picture() {  # picture OUT [BEFORE WHAT]
  local last=$work/last.png
  if [ -z "${2:-}" ]; then shot "$last"; else until_changed "$2" "$3"; fi
  for _ in $(seq 50); do
    sleep 0.15
    shot "$1"
    (($(changed "$last" "$1") <= 30)) && return 0
    cp "$1" "$last"
  done
  fail "the window did not stand still"
}
# Keys pressed, and the window's picture once it has shown them.
press() {  # press KEY...
  shot "$work/pressed.png"
  xdotool key "$@"
  picture "$work/now.png" "$work/pressed.png" "$*"
}
# Tab walks the focus: for each control between the first and the last stop,
# its box in the window (WxH+X+Y), the pixels that change both when it takes
# the focus and when it gives it up (its focus frame, its selected text).
walk() {  # walk KEY STOPS: box-1 ... box-(STOPS-1) in $work
  local i
  picture "$work/walk-0.png"
  for ((i = 1; i <= $2; i++)); do
    xdotool key "$1"
    picture "$work/walk-$i.png" "$work/walk-$((i - 1)).png" "$1 moved no focus"
    convert "$work/walk-$((i - 1)).png" "$work/walk-$i.png" -compose difference -composite -colorspace gray \
      -threshold 0 "$work/moved-$i.png"
  done
  for ((i = 1; i < $2; i++)); do
    convert "$work/moved-$i.png" "$work/moved-$((i + 1)).png" -compose multiply -composite -format '%@' info: \
      >"$work/box-$i" 2>/dev/null
  done
}
# A window's place and size on the screen, as X= Y= WIDTH= HEIGHT= lines.
geometry() { xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y|WIDTH|HEIGHT)='; }
# The screen point at the middle of a box of the window.
middle() {  # middle BOX NAME
  local X Y WIDTH HEIGHT
  [[ $1 =~ ^([1-9][0-9]*)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fail "$2 not found ($1)"
  eval "$(geometry "$main")"
  echo "$((X + BASH_REMATCH[3] + BASH_REMATCH[1] / 2)) $((Y + BASH_REMATCH[4] + BASH_REMATCH[2] / 2))"
}
click() {  # click "X Y": a click of the left button there, the pointer parked after it
  xdotool mousemove "${1% *}" "${1#* }" click 1
  park
}
# The links, blue words one above the other over Exit (its box): the middle of
# the lowest (Report) or the one above it (Map), in window coordinates.
link() {  # link EXIT-BOX 1|2
  local w x y
  [[ $1 =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fail "no Exit to find the links by"
  w=${BASH_REMATCH[1]} x=${BASH_REMATCH[3]} y=${BASH_REMATCH[4]}
  picture "$work/links.png"
  # Rows of the column above Exit with a blue pixel in them, in runs; the run asked for, from the bottom.
  convert "$work/links.png" -crop "${w}x${y}+${x}+0" +repage -fx 'b > 0.5 && b > r + 0.3 && b > g + 0.3' \
    -scale "1x${y}!" -depth 8 txt:- |
    awk -F'[,:]' -v want="$2" -v x="$x" -v w="$w" '
      /^#/ { next }
      { blue = $0 !~ /\(0,0,0\)|#000000/ }
      blue && !inside { top = $2; inside = 1 }
      !blue && inside { runs[++n] = top " " ($2 - 1); inside = 0 }
      END {
        if (n < want) exit 1
        split(runs[n - want + 1], r, " ")
        printf "%dx%d+%d+%d\n", w, r[2] - r[1] + 1, x, r[1]
      }' || fail "no link $2 above Exit"
}

# The clipboard, as a person's paste would show it.
nothing=window_wine_test:nothing-copied
copied() {  # the focused control's text, selected and copied
  local text
  printf '%s' "$nothing" | xclip -selection clipboard -i
  xdotool key ctrl+a ctrl+c
  for _ in $(seq 50); do
    text=$(xclip -selection clipboard -o 2>/dev/null | tr -d '\r') || true
    if [ "$text" != "$nothing" ]; then
      printf '%s\n' "$text"
      return 0
    fi
    sleep 0.1
  done
  fail "nothing was copied ($1)"
}
type_in() { xdotool key ctrl+a && xdotool type --delay 15 -- "$1"; }

# The visible windows of a name (a pattern), one a line. Xlib ends xdotool when
# a window goes while it looks (Wine makes and drops windows of its own): it
# looks again then.
windows_named() {  # windows_named PATTERN
  local found
  for _ in $(seq 20); do
    found=$(xdotool search --onlyvisible --name "$1" 2>"$work/search.txt") || true
    if ! grep -q 'X Error' "$work/search.txt"; then
      [ -z "$found" ] || echo "$found"
      return 0
    fi
    echo "window_wine_test: xdotool search: $(grep 'X Error' "$work/search.txt"), once more" >&2
    sleep 0.05
  done
  fail "xdotool search kept failing: $(cat "$work/search.txt")"
}
reports() { windows_named '^Report$' | wc -l; }
# Report clicked: its window comes up, one of it, and its text is copied;
# clicked again, it goes.
read_report() {  # read_report REPORT-LINK-MIDDLE OUT
  local report X Y WIDTH HEIGHT
  click "$1"
  for _ in $(seq 50); do
    (($(reports) > 0)) && break
    sleep 0.1
  done
  # Without a window manager Wine takes up to 2 s to take a hidden window off the display.
  sleep 2.5
  (($(reports) == 1)) || fail "Report clicked: $(reports) Report windows 2.5 s later"
  report=$(windows_named '^Report$')
  xdotool windowfocus --sync "$report"  # as a window manager gives the focus to the window clicked
  eval "$(geometry "$report")"
  click "$((X + WIDTH / 2)) $((Y + HEIGHT / 2))"
  copied "the report" >"$2"
  click "$1"
  for _ in $(seq 100); do
    (($(reports) == 0)) && break
    sleep 0.1
  done
  (($(reports) == 0)) || fail "Report clicked again: the Report window is still there"
  xdotool windowfocus --sync "$main"
}

one_run() {  # one_run N
  local n=$1 out=cut$1 app convert scan exit report got want X Y WIDTH HEIGHT
  start_display
  [ -d "$WINEPREFIX" ] || "$wine" cmd /c exit 0 >/dev/null 2>&1 || true
  ln -sfn "$work/win" "$WINEPREFIX/dosdevices/d:"  # the window's folder, as a drive of its own
  # Arial as Windows has it: Liberation Sans has its metrics (Wine has no Arial,
  # and its stand-in would be whatever serif face it finds).
  cp /usr/share/fonts/truetype/liberation2/LiberationSans-{Regular,Bold}.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /d 'Liberation Sans' /f >/dev/null 2>&1
  if [ -n "$shots" ]; then
    cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$WINEPREFIX/drive_c/windows/Fonts/"  # the map's degrees
  fi
  settings "EGM96 15'x15'" first >"$work/win/run.ini"
  mkdir -p "$work/win/Tëst dïr"
  settings "EGM96 dropped" dropped >"$drop"
  park
  "$wine" "$build/bin/tessmar.exe" 'D:\run.ini' >"$work/window.log" 2>&1 &
  app=$!
  for _ in $(seq 600); do
    main=$(windows_named '^Tessmar Ver' | head -n 1)
    [ -z "$main" ] || break
    sleep 0.1
  done
  [ -n "$main" ] || fail "no window came up in 60 s: $(tail -n 5 "$work/window.log")"
  xdotool windowfocus --sync "$main"  # as a window manager gives the focus to a new window

  # Convert has the focus at the start: its box, from the name field to the test latitude.
  press shift+Tab
  walk Tab 2
  convert=$(middle "$(cat "$work/box-1")" Convert)
  # The corners and the name, from the southwest latitude on.
  press shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab
  for text in "$south" "$west" "$north" "$east" "$out"; do
    type_in "$text"
    xdotool key Tab
  done
  picture "$work/typed.png"
  click "$convert"
  for _ in $(seq 600); do
    [ -f "$work/win/$out.qdat" ] && break
    sleep 0.1
  done
  [ -f "$work/win/$out.qdat" ] || fail "Convert clicked: no $out.qdat after 60 s"
  picture "$work/converted.png" "$work/typed.png" "Convert clicked"
  "$cli" --settings "$work/linux/test.ini" --data-dir "$work/linux" --output "$out" convert --south "$south" \
    --north "$north" --west "$west" --east "$east" --res 20 >"$work/linux-convert.txt" ||
    fail "the Linux build's cut failed"
  cmp "$work/win/$out.qdat" "$work/linux/$out.qdat" || fail "$out.qdat differs from the Linux build's"

  # The test point, typed after Convert (which the click left with the focus); Enter checks it.
  xdotool key Tab
  type_in "$lat"
  xdotool key Tab
  type_in "$lon"
  press Return
  got=""
  for field in Original Custom Error; do
    xdotool key Tab
    got+="$field(m): $(copied "$field(m)")"$'\n'
  done
  want=$("$cli" --settings "$work/linux/test.ini" --data-dir "$work/linux" --output "$out" check --lat "$lat" \
    --lon "$lon")
  [ "$got" = "$want"$'\n' ] || fail "the window's check: $got; the Linux build's: $want"

  # On from the error field: the point's Check, the scan's Check, Precision, Exit, the model.
  walk Tab 5
  scan=$(middle "$(cat "$work/box-2")" "Check in Maximum error")
  exit=$(middle "$(cat "$work/box-4")" Exit)
  report=$(middle "$(link "$(cat "$work/box-4")" 1)" Report)
  # Report twice: the cut's report, then none.
  read_report "$report" "$work/report-convert.txt"
  grep -qxF "$(grep '^Output size: ' "$work/linux-convert.txt")" "$work/report-convert.txt" ||
    fail "the report of the cut: $(cat "$work/report-convert.txt")"

  # The finest scan there is, stopped by Escape once it shows.
  press shift+Tab shift+Tab # from the model over Exit to Precision
  type_in 100
  picture "$work/before-scan.png"
  click "$scan"
  until_changed "$work/before-scan.png" "Check clicked in Maximum error"
  xdotool key Escape
  picture "$work/aborted.png"
  read_report "$report" "$work/report-scan.txt"
  { grep -qx 'Aborted by user.' "$work/report-scan.txt" && grep -q '^Partial scan: ' "$work/report-scan.txt"; } ||
    fail "Escape during the scan: the report says $(cat "$work/report-scan.txt")"

  if [ -n "$shots" ] && [ "$n" = 1 ]; then screenshots; fi

  # A settings file dropped on the window, beside its groups: its model shown.
  eval "$(geometry "$main")"
  xdotool mousemove $((X + 3)) $((Y + HEIGHT / 2))
  "$work/xdnd_drop" "$main" $((X + 3)) $((Y + HEIGHT / 2)) "$drop" || fail "the drop was not taken"
  park
  picture "$work/dropped.png" "$work/aborted.png" "a settings file dropped"
  press Tab Tab Tab # from the scan's Check over Precision and Exit to the model
  got=$(copied "the model")
  [ "$got" = "EGM96 dropped" ] || fail "after the drop the window shows the model \"$got\""

  click "$exit"
  for _ in $(seq 100); do
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
  done
  ! kill -0 "$app" 2>/dev/null || fail "Exit clicked: the window is still running"
  wait "$app" || fail "the window ended with status $?: $(tail -n 5 "$work/window.log")"
  # It keeps its settings in the file dropped on it.
  [ "$(head -c 2 "$drop" | od -An -tx1 | tr -d ' ')" = fffe ] ||
    fail "the window did not write its settings into the file dropped on it"
  stop
}

# The pictures for the docs: a scan to its end, then the window, the window
# with its report, the window with its map.
screenshots() {
  local map
  map=$(middle "$(link "$(cat "$work/box-4")" 2)" Map)
  press Tab # from the scan's Check to Precision
  type_in 4
  picture "$work/before-scan.png"
  click "$scan"
  until_changed "$work/before-scan.png" "Check clicked in Maximum error"
  sleep 3
  picture "$shots/windows-main.png"
  click "$report"
  sleep 1
  whole "$shots/windows-report.png" Report
  click "$report"
  click "$map"
  sleep 3
  whole "$shots/windows-map.png" Map
  click "$map"
  xdotool windowfocus --sync "$main"
}
whole() {  # whole OUT NAME: the main window and its companion NAME as the screen shows them
  local X Y WIDTH HEIGHT x0 y0 x1 y1 other
  other=$(windows_named "^$2\$" | head -n 1)
  [ -n "$other" ] || fail "no $2 window"
  eval "$(geometry "$main")"
  x0=$X y0=$Y x1=$((X + WIDTH)) y1=$((Y + HEIGHT))
  eval "$(geometry "$other")"
  x0=$((X < x0 ? X : x0)) y0=$((Y < y0 ? Y : y0))
  x1=$((X + WIDTH > x1 ? X + WIDTH : x1)) y1=$((Y + HEIGHT > y1 ? Y + HEIGHT : y1))
  import -window root -crop "$((x1 - x0))x$((y1 - y0))+$x0+$y0" +repage "$1"
}

cc -O2 -o "$work/xdnd_drop" "$here/xdnd_drop.c" -lX11 || fail "xdnd_drop.c did not compile"
for ((run = 1; run <= runs; run++)); do
  SECONDS=0
  one_run "$run"
  echo "window_wine_test: run $run of $runs passed in $SECONDS s"
done
