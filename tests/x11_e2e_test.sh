#!/usr/bin/env bash
# The desktop window end to end: wayconv --window runs on a private Xvfb
# display, is driven with xdotool (keys, clicks, resizes) and with x11_send
# (a file dropped on it, the close button), and is checked by the screen text
# it writes after each frame (WAYCONV_X11_FRAME_FILE: a header line with the
# window's measures, then the rows), by the files it leaves, and by pixel
# probes on screenshots (import -window) that something is drawn where the
# text says: the title band, the soft keys, the popup's highlight, the check
# mark.
#
# usage: x11_e2e_test.sh WAYCONV SOURCE_DIR X11_SEND
# Exit 0 passed, 1 failed, 77 skipped (no Xvfb).
set -u

bin=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
source_dir=$(cd "$2" && pwd -P)
send=$(cd "$(dirname "$3")" && pwd -P)/$(basename "$3")
wait_seconds=10     # for any one thing to show
overall_seconds=120 # for the whole test

if ! command -v Xvfb >/dev/null; then
  echo "SKIP: Xvfb is not installed (apt-get install xvfb)"
  exit 77
fi
for tool in xdotool xprop import convert; do
  command -v $tool >/dev/null || { echo "FAIL: $tool is not installed (xdotool, x11-utils, imagemagick)"; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/wayconv-x11.XXXXXX") || exit 1
work=$(cd "$work" && pwd -P)
xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

export HOME=$work/home XDG_CONFIG_HOME=$work/config WAYCONV_ROOT=$work/device
export XDG_RUNTIME_DIR=$work/run WAYCONV_X11_FRAME_FILE=$work/frame.txt
# Under the sanitizer build: fontconfig's own loss while loading its
# configuration is not the program's.
export LSAN_OPTIONS="suppressions=$source_dir/tests/x11_lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$WAYCONV_ROOT" "$work/files/tracks"
mkdir -m 700 "$XDG_RUNTIME_DIR"
cp "$source_dir"/samples/walk.plt "$source_dir"/samples/walk.gpx "$work/files/tracks/"
files=$work/files
registry=$XDG_CONFIG_HOME/wayconv/registry.reg
device_folder="$WAYCONV_ROOT/My Documents/GPS Tracks and Waypoints"

# A display of our own: Xvfb picks a free number and writes it to fd 3.
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" \
  2>"$work/xvfb.err" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.err"; exit 1; }
export DISPLAY=:$(head -1 "$work/display")

fail() {
  echo "FAIL: $*"
  if [ -f "$work/frame.txt" ]; then
    echo "--- last frame:"
    cat "$work/frame.txt"
    echo "---"
  fi
  for f in "$work"/*.err; do
    [ -s "$f" ] && { echo "--- $f:"; cat "$f"; }
  done
  exit 1
}
check() { # description, then a command that must succeed
  local what=$1
  shift
  "$@" || fail "$what"
}
past_deadline() { [ "$SECONDS" -ge "$overall_seconds" ]; }

screen() { tail -n +2 "$work/frame.txt" 2>/dev/null; }
rows() { screen | sed -n "$(($1 + 1)),$(($2 + 1))p"; } # first row, last row
line() { rows "$1" "$1"; }
header() { head -1 "$work/frame.txt" 2>/dev/null | tr ' ' '\n' | sed -n "s/^$1=//p"; }

# Runs a command until it prints `expected`.
expect() { # description, expected text, command...
  local what=$1 expected=$2 got end=$((SECONDS + wait_seconds))
  shift 2
  while :; do
    got=$("$@")
    [ "$got" = "$expected" ] && return 0
    if [ "$SECONDS" -ge "$end" ] || past_deadline; then
      echo "expected: [$expected]"
      echo "got:      [$got]"
      fail "$what"
    fi
    sleep 0.03
  done
}
wait_for() { # text on the screen
  local end=$((SECONDS + wait_seconds))
  until screen | grep -qF -- "$1"; do
    if [ "$SECONDS" -ge "$end" ] || past_deadline; then fail "timed out waiting for '$1'"; fi
    sleep 0.03
  done
}
wait_gone() {
  local end=$((SECONDS + wait_seconds))
  while screen | grep -qF -- "$1"; do
    if [ "$SECONDS" -ge "$end" ] || past_deadline; then fail "timed out waiting for '$1' to go"; fi
    sleep 0.03
  done
}
wait_file() {
  local end=$((SECONDS + wait_seconds))
  while [ ! -s "$1" ]; do
    if [ "$SECONDS" -ge "$end" ] || past_deadline; then fail "timed out waiting for $1"; fi
    sleep 0.03
  done
}

# Starts wayconv --window with `args` in the files folder; its standard error
# goes to $work/name.err, its exit status to $work/name.rc, its process id
# to app_pid.
start() {
  local name=$1
  shift
  rm -f "$work/frame.txt" "$work/$name.rc" "$work/$name.err" "$work/$name.pid"
  (
    cd "$files" || exit 1
    "$bin" --window "$@" 2>"$work/$name.err" &
    echo $! >"$work/$name.pid"
    wait $!
    echo $? >"$work/$name.rc"
  ) &
  wait_file "$work/$name.pid"
  app_pid=$(cat "$work/$name.pid")
}
# Waits for the first frame and focuses the window.
attach() {
  wait_file "$work/frame.txt"
  W=$(header window)
  check "window focused" xdotool windowfocus --sync "$W"
}
keys() { xdotool key --delay 20 "$@"; }
typed() { xdotool type --delay 20 "$1"; }

# The middle of a cell, in the window's pixels, from the frame's measures.
cell_x() { echo $(($(header margin) + $1 * ${cell%x*} + ${cell%x*} / 2)); }
cell_y() {
  local rows=${grid#*x} height=${size#*x}
  if [ "$1" -eq 0 ]; then echo $(($(header title) / 2))
  elif [ "$1" -ge $((rows - 1)) ]; then echo $((height - $(header bar) / 2))
  else echo $(($(header body) + ($1 - 1) * ${cell#*x} + ${cell#*x} / 2)); fi
}
measures() { size=$(header size); grid=$(header grid); cell=$(header cell); }
click() { # column, row
  measures
  xdotool mousemove --window "$W" "$(cell_x "$1")" "$(cell_y "$2")" click 1
}
double_click() { # column, row
  measures
  xdotool mousemove --window "$W" "$(cell_x "$1")" "$(cell_y "$2")" click --repeat 2 --delay 60 1
}
# The colour of a pixel of a fresh screenshot, as RRGGBB.
shoot() { import -window "$W" "$work/shot.png" || fail "screenshot"; }
pixel() { convert "$work/shot.png" -format "%[hex:u.p{$1,$2}]" info:; }
# The darkest intensity (0..1) in a cell of the screenshot, in percent.
darkest() {
  measures
  local w=${cell%x*} h=${cell#*x}
  convert "$work/shot.png" -crop "${w}x${h}+$(($(cell_x "$1") - w / 2))+$(($(cell_y "$2") - h / 2))" \
    -format '%[fx:int(100*minima.intensity)]' info:
}
# The log from row 1 up to the first track: the input line's wrapped rows
# joined, then the track's and the next line.
log_head() {
  screen | sed -n '2,$p' | awk '/^Track 1 at/ { if (!done) printf "\n"; done = 1 }
    !done { printf "%s", $0 } done && n < 2 { print; n++ }'
}
column_of() { # text, row: the column where text starts
  line "$2" | awk -v t="$1" '{ print index($0, t) - 1 }'
}

# The references: the same conversions in batch mode.
"$bin" --batch --output "$work/plt-split.bin" "$files/tracks/walk.plt" >/dev/null || fail "batch"
"$bin" --batch --no-split --output "$work/gpx.bin" "$files/tracks/walk.gpx" >/dev/null || fail "batch"
"$bin" --batch --no-split --output "$work/plt.bin" "$files/tracks/walk.plt" >/dev/null || fail "batch"

# --- No display, or a display that cannot be opened: status 1 and a reason.
env -u DISPLAY "$bin" --window 2>"$work/nodisplay.err"
check "no display: status 1" [ $? = 1 ]
check "no display: message" [ "$(cat "$work/nodisplay.err")" = \
  "wayconv: no X display (DISPLAY is not set); use the terminal window or --batch" ]
DISPLAY=:9999 "$bin" --window 2>"$work/baddisplay.err"
check "bad display: status 1" [ $? = 1 ]
check "bad display: message" [ "$(cat "$work/baddisplay.err")" = \
  "wayconv: no X display (cannot open DISPLAY=:9999); use the terminal window or --batch" ]
rm -f "$work/nodisplay.err" "$work/baddisplay.err"

# --- Started with a sample: converted at once, 480x640.
start first tracks/walk.plt
attach
wait_for "OK!"
expect "size at 96 dpi" 480x640 header size
# The window manager is asked to keep the window at 40x12 cells or more.
check "minimum size hint" [ "$(xprop -id "$W" WM_NORMAL_HINTS |
  sed -n 's/^.*program specified minimum size: //p')" = "376 by 280" ]
expect "conversion log" "Wayconv
Input file: tracks/walk.plt
Track 1 at 47.369380 , 8.539197
Track 2 at 47.383848 , 8.543602
OK!

Output file:
\\My Documents
\\GPS Tracks and Waypoints
\\Tracks.bin" rows 0 10
measures
last_row=$((${grid#*x} - 1))
expect "soft keys" "Open file$(printf '%*s' $((${grid%x*} - 14)) '')Tools" line $last_row
check "track file written" cmp -s "$device_folder/Tracks.bin" "$work/plt-split.bin"
shoot
check "title band" [ "$(pixel 2 2)" = 24476B ]
check "left soft key: a button on the bar" [ "$(pixel $(($(header margin) + 4)) $(cell_y $last_row))" = FFFFFF ]
check "bar between the keys" [ "$(pixel $((${size%x*} / 2)) $(cell_y $last_row))" = E4E8EE ]
check "body" [ "$(pixel $((${size%x*} - 3)) $(cell_y 20))" = FCFCFD ]
check "text drawn in row 1" [ "$(darkest 0 1)" -lt 40 ]

# --- Tools: the break item is checked; choosing it clears the check mark.
keys F2
wait_for "Set output file"
break_row=$(screen | grep -n "Break track" | cut -d: -f1)
break_row=$((break_row - 1))
popup_left=$(column_of "│ ✓ Break track at 1000 m space │" $break_row)
check "break item checked" [ "$popup_left" -ge 0 ]
shoot
check "check mark drawn" [ "$(darkest $((popup_left + 2)) $break_row)" -lt 40 ]
check "first item highlighted" [ "$(pixel $(cell_x $((popup_left + 31))) $(cell_y $((break_row - 2))))" = 2F6DB5 ]
# The highlight fills the item's cell: up to the border above, down to the
# separator below (each half a row away).
first_top=$(($(header body) + (break_row - 3) * ${cell#*x}))
check "highlight up to the border" [ "$(pixel $(cell_x $((popup_left + 1))) $((first_top - 3)))" = 2F6DB5 ]
check "highlight down to the separator" [ "$(pixel $(cell_x $((popup_left + 31))) $((first_top + ${cell#*x} + 3)))" = 2F6DB5 ]
keys Down Return
wait_gone "Set output file"
keys F2
wait_for "Set output file"
expect "break item unchecked" "│   Break track at 1000 m space │" eval 'line $break_row | cut -c $((popup_left + 1))-'
keys Escape
wait_gone "Set output file"

# --- Set output file: Tools by a click, the dialog by Enter, a typed name.
click $((${grid%x*} - 2)) $last_row
wait_for "Set output file"
keys Return
# The device folder exists since the first conversion: the dialog shows it.
wait_for "Name: Tracks.bin"
expect "output dialog OK" OK eval 'line 0 | grep -o "OK$"'
expect "output dialog folder" "$device_folder" eval 'line 1 | sed "s|^.*/device/|$WAYCONV_ROOT/|"'
keys BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace
typed "mine.bin"
wait_for "Name: mine.bin"
keys Return
expect "output path shown" 'Output file:
\My Documents
\GPS Tracks and Waypoints
\mine.bin' eval 'screen | grep -A3 "^Output file:"'
check "choosing the output file saves it" grep -qF 'Waypoints\\mine.bin' "$registry"
# Another file that is not a track file: the question is a bar across the
# dialog; n goes back to the dialog.
keys F2
wait_for "Set output file"
keys Return
wait_for "Name: mine.bin"
keys ctrl+u
typed "$files/tracks/walk.gpx"
keys Return
expect "replace question" "Replace walk.gpx? It is not a track file. (y/N)" line $last_row
shoot
measures
check "question bar at the left edge" [ "$(pixel 1 $(cell_y $last_row))" = 2F6DB5 ]
check "question bar at the right edge" [ "$(pixel $((${size%x*} - 2)) $(cell_y $last_row))" = 2F6DB5 ]
keys n
wait_gone "Replace walk.gpx?"
keys Escape
wait_gone "Name:"

# --- Open file: F1 (the filter of the last input, plt), into the tracks
# folder, the gpx filter and then the file by a click.
keys F1
wait_for "Type:  gpx   mps  [plt]  nmea"
expect "input dialog lists folders" ' ../
 tracks/' rows 2 3
keys Return
expect "plt filter" ' ../
 walk.plt' rows 2 3
click "$(column_of gpx $((last_row - 1)))" $((last_row - 1))
wait_for "Type: [gpx]  mps   plt   nmea"
expect "gpx filter" ' ../
 walk.gpx' rows 2 3
double_click 2 3
# A long input path wraps at the window's edge, before a folder's name.
expect "gpx converted" "Input file: $files/tracks/walk.gpx
Track 1 at 47.362300 , 8.548440
OK!" log_head
check "the path wrapped before a folder" [ "$(line 2 | cut -c 1)" = / ]
check "gpx converted as in batch mode" cmp -s "$device_folder/mine.bin" "$work/gpx.bin"

# --- About: Ctrl+A and Enter; Ctrl+A and a click on OK.
keys ctrl+a
expect "about" "About Wayconv" eval 'line 0 | cut -c 1-13'
keys Return
expect "about closed by Enter" Wayconv line 0
keys ctrl+a
wait_for "About Wayconv"
measures
xdotool mousemove --window "$W" $((${size%x*} - $(header margin) - 8)) $(($(header title) / 2)) click 1
expect "about closed by a click on OK" Wayconv line 0

# --- A file dropped on the window is converted at once, its kind by its name.
cp "$files/tracks/walk.plt" "$files/drop me.plt"
check "drop taken" "$send" drop "$W" "$files/drop me.plt"
expect "dropped file converted" "Input file: $files/drop me.plt
Track 1 at 47.369380 , 8.539197
OK!" log_head
check "dropped file converted as plt" cmp -s "$device_folder/mine.bin" "$work/plt.bin"
# Dropped on the open dialog (its filter plt), the file is the choice, read
# by its name's kind.
keys F1
wait_for "Type:  gpx   mps  [plt]  nmea"
cp "$files/tracks/walk.gpx" "$files/DROPPED.GPX"
check "drop on the dialog taken" "$send" drop "$W" "$files/DROPPED.GPX"
expect "dropped on the dialog: converted" "Input file: $files/DROPPED.GPX
Track 1 at 47.362300 , 8.548440
OK!" log_head
check "dropped file converted as gpx" cmp -s "$device_folder/mine.bin" "$work/gpx.bin"
# Several files dropped together go into one track file, in their order,
# each read by its name's kind and starting a track.
cp "$files/tracks/walk.plt" "$files/first.plt"
check "drop of two taken" "$send" drop "$W" "$files/first.plt" "$files/DROPPED.GPX"
# (log_head joins the rows the two input lines wrap into.)
expect "both dropped files converted" "Input file: $files/first.pltInput file: $files/DROPPED.GPX
Track 1 at 47.369380 , 8.539197
Track 2 at 47.362300 , 8.548440" log_head

# --- A second copy brings the window forward and converts nothing. The focus
# is elsewhere first (the root window, under the pointer outside the window).
xdotool mousemove 1200 1000
xdotool windowfocus --sync "$(xdotool getmouselocation --shell | sed -n 's/^WINDOW=//p')"
check "focus moved away" [ "$(xdotool getwindowfocus)" != "$((W))" ]
cp "$device_folder/mine.bin" "$work/before.bin"
(cd "$files" && "$bin" --window tracks/walk.gpx 2>"$work/second.err"; echo $? >"$work/second.rc")
check "second copy exits 0" [ "$(cat "$work/second.rc")" = 0 ]
check "second copy says so" [ "$(cat "$work/second.err")" = \
  "wayconv: already running (process $app_pid); brought it forward" ]
expect "brought forward" 1 header forward
check "focused" [ "$(xdotool getwindowfocus)" = "$((W))" ]
check "second copy converted nothing" cmp -s "$device_folder/mine.bin" "$work/before.bin"
rm -f "$work/second.err"

# --- Resizing: the grid follows, the soft keys stay at the bottom.
xdotool windowsize "$W" 376 280
expect "small grid" "40x12" header grid
expect "small soft keys" "Open file$(printf '%26s' '')Tools" line 11
keys F2
wait_for "Set output file"
expect "small popup above the keys" "└───────────────────────────────┘" eval 'line 10 | grep -o "└.*"'
keys Escape
wait_gone "Set output file"
# Smaller than that (no window manager here to stop it): only the notice.
xdotool windowsize "$W" 260 200
expect "too small: 27x8" 27x8 header grid
expect "too small: the notice" " Make the window at least
           40x12" rows 3 4
xdotool windowsize "$W" 900 1000
expect "large grid" "98x48" header grid
expect "large soft keys" "Open file$(printf '%84s' '')Tools" line 47
shoot
check "large bar drawn at the bottom" [ "$(pixel 450 985)" = E4E8EE ]
xdotool windowsize "$W" 480 640
expect "back to 480x640" "51x30" header grid

# --- Ctrl+Q saves and exits.
keys ctrl+q
wait_file "$work/first.rc"
app_pid=
check "exit status" [ "$(cat "$work/first.rc")" = 0 ]
check "no messages" [ ! -s "$work/first.err" ]
check "registry file" [ "$(tr -d '\r' <"$registry")" = 'Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Brivex\Wayconv]
"OutputFile"="\\My Documents\\GPS Tracks and Waypoints\\mine.bin"
"DoSplit"=dword:00000000
"ThinShape"=dword:00000000' ]
cp "$registry" "$work/saved.reg"

# --- The close button closes without saving.
start again
attach
wait_for "Select input file ..."
keys F2
wait_for "Set output file"
keys Down Return
wait_gone "Set output file"
check "close request sent" "$send" close "$W"
wait_file "$work/again.rc"
app_pid=
check "closed: status 0" [ "$(cat "$work/again.rc")" = 0 ]
check "nothing saved on close" cmp -s "$registry" "$work/saved.reg"

# --- At 192 dpi (Xft.dpi) the window, its lines and letters are twice the
# size: the same grid in 960x1280.
check "resources set" "$send" resources "$(printf 'Xft.dpi:\t192\n')"
start hidpi
attach
wait_for "Select input file ..."
expect "192 dpi size" 960x1280 header size
expect "192 dpi grid" 51x30 header grid
expect "192 dpi cell" 18x40 header cell
keys ctrl+q
wait_file "$work/hidpi.rc"
app_pid=
"$send" resources ""

echo "x11 end-to-end: all checks passed in ${SECONDS}s"
exit 0
