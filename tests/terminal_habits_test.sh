#!/usr/bin/env bash
# The window's habits end to end in a tmux pane: the log shows its end and
# scrolls, the file dialogs (home folder, order, type-ahead, going up,
# double click, wheel, SGR clicks past column 223, the types), the save dialog's
# refusal and replace question, marking several files to convert together,
# the too-small notice, and the message when
# the settings cannot be saved.
#
# usage: terminal_habits_test.sh WAYCONV SOURCE_DIR
# Exit 0 passed, 1 failed, 77 skipped (no tmux).
set -u

bin=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
source_dir=$2
wait_seconds=15
overall_seconds=180

if ! command -v tmux >/dev/null; then
  echo "SKIP: tmux is not installed (apt-get install tmux)"
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/wayconv-habits.XXXXXX") || exit 1
work=$(cd "$work" && pwd -P)
tmux_conf=$work/tmux.conf
T=(tmux -S "$work/tmux.sock" -f "$tmux_conf")
cleanup() {
  "${T[@]}" kill-server >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

unset TMUX TMUX_PANE
export HOME=$work/home XDG_CONFIG_HOME=$work/config WAYCONV_ROOT=$work/device
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME/deep" "$HOME/UPPER" "$XDG_CONFIG_HOME" "$WAYCONV_ROOT" "$work/files/tracks"
mkdir -m 700 "$XDG_RUNTIME_DIR"
files=$work/files
cp "$source_dir"/samples/walk.plt "$files/tracks/"
mkdir -p "$files/multi"
for name in a b c; do cp "$source_dir"/samples/walk.plt "$files/multi/$name.plt"; done
for name in walk.gpx beta.gpx Alpha.gpx; do cp "$source_dir"/samples/walk.gpx "$HOME/$name"; done
# NMEA logs as receivers name them: .log, and no extension at all.
for name in trip.log capture; do
  printf '%s\r\n' '$GPRMC,120000,A,4807.038,N,01131.000,E,,,140523,,,A*70' \
    '$GPRMC,120001,A,4807.040,N,01131.000,E,,,140523,,,A*7E' >"$HOME/$name"
done
for i in $(seq 10 39); do : >"$HOME/deep/f$i.gpx"; done
mkfifo "$HOME/fifo.gpx"
ln -s nowhere.gpx "$HOME/broken.gpx"
locale_env=(LC_ALL=C.UTF-8)
cat >"$tmux_conf" <<'CONF'
set -g default-terminal screen
set -g remain-on-exit on
CONF

. "$source_dir/tests/tmux_helpers.sh"

# 61 points 2.2 km apart: 60 track breaks. The input sits four long folders
# deep, so that after the log's 1000-character resets its last part (26
# announcements, "OK!" and the output path) is taller than the 22 rows.
long=$files
for letter in a b c d; do long=$long/$(printf "$letter%.0s" $(seq 200)); done
mkdir -p "$long"
{
  printf 'OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\n'
  printf 'Reserved 3\r\n0,2,255,track,0,0,2,8421376\r\n61\r\n'
  for i in $(seq 0 60); do printf '%d.%02d0000,8.500000,0,0,0,,\r\n' $((47 + i / 50)) $((i % 50 * 2)); done
} >"$long/breaks.plt"

# --- The log shows its end; keys and the wheel scroll it.
start log "${long#"$files"/}/breaks.plt"
w=e2e:log
wait_for $w "OK!"
expect "the path at the bottom" '\Tracks.bin' line $w 22
expect "the end of the log" 'OK!

Output file:
\My Documents
\GPS Tracks and Waypoints
\Tracks.bin' rows $w 17 22
expect "more above" "↑ more" eval 'line $w 1 | grep -o "↑ more"'
end_screen=$(screen $w)
keys $w Home
wait_for $w "↓ more"
first=$(line $w 1)
check "the first line is a track's" [ "${first#Track 36 at }" != "$first" ]
check "nothing more above" eval '! screen $w | grep -q "↑ more"'
keys $w Up
expect "up at the first line" "$first" line $w 1
keys $w PageDown
wait_for $w "↑ more"
keys $w End
expect "back at the end" "$end_screen" screen $w
sgr_wheel $w 10 10 up
expect "the wheel scrolls three rows" "$(printf '%s\n' "$end_screen" | sed -n 2p | cut -c 1-20)" \
  eval 'line $w 4 | cut -c 1-20'
sgr_wheel $w 10 10 down
expect "and back" "$end_screen" screen $w

# --- Too small: only the notice; input is ignored until it is big enough.
"${T[@]}" resize-window -t $w -x 30 -y 8
expect "the notice" "  Make the terminal at least
            40x12" rows $w 3 4
keys $w F2 C-a
"${T[@]}" resize-window -t $w -x 80 -y 24
expect "recovered, no popup or About" "$end_screen" screen $w

# --- SGR clicks beyond column 223, in a 300-column pane.
"${T[@]}" resize-window -t $w -x 300 -y 24
wait_for $w "$(printf 'Open file%286sTools' '')"
sgr_click $w 297 23
wait_for $w "Set output file"
sgr_click $w 280 19  # About in the popup
wait_for $w "About Wayconv"
sgr_click $w 299 0
wait_gone $w "About Wayconv"
"${T[@]}" resize-window -t $w -x 80 -y 24
expect "80x24 again" "$end_screen" screen $w

# --- Open file: ~/, order, type-ahead, double click, wheel, going up.
keys $w F1
wait_for $w "Type:  gpx   mps  [plt]  nmea"
keys $w BTab BTab
wait_for $w "Type: [gpx]"
text $w "~/"
keys $w Enter
expect "home folder" "$HOME" line $w 1
expect "folders, then files, case aside; no FIFO or broken link" ' ../
 deep/
 UPPER/
 Alpha.gpx
 beta.gpx
 walk.gpx' rows $w 2 7
text $w "W"
expect "type-ahead" "walk.gpx" reversed $w 7
expect "the name line keeps what was typed" "Name: W" line $w 21
keys $w BSpace
text $w "b"
expect "type-ahead, lower case" "beta.gpx" reversed $w 6
keys $w C-u
sgr_click $w 3 3
expect "a click selects" "deep/" reversed $w 3
expect "a click does not open" "$HOME" line $w 1
sleep 0.5  # longer than a double click takes
sgr_double_click $w 3 3
expect "a double click opens" "$HOME/deep" line $w 1
expect "the list" " f10.gpx" line $w 3
sgr_wheel $w 5 8 down
expect "the wheel scrolls the list" " f12.gpx" line $w 2
keys $w BSpace
expect "up a folder" "$HOME" line $w 1
expect "the folder left is selected" "deep/" reversed $w 3
keys $w Escape
wait_for $w "File not selected"

# --- Set output file: a missing folder is refused; replacing another file asks.
keys $w F2 Enter
wait_for $w "Enter:choose Esc:cancel"
keys $w C-u
text $w "/nonexistent-wayconv/x.bin"
keys $w Enter
expect "missing folder refused" "No such folder" line $w 23
keys $w C-u
text $w "$HOME/walk.gpx"
keys $w Enter
expect "the replace question" "Replace walk.gpx? It is not a track file. (y/N)" line $w 23
cp "$HOME/walk.gpx" "$work/walk.before"
keys $w n
expect "No goes back to the dialog" "Enter:choose Esc:cancel" line $w 23
keys $w Escape
expect "output path kept" 'Output file:
\My Documents' rows $w 1 2
check "the file untouched" cmp -s "$HOME/walk.gpx" "$work/walk.before"
keys $w F2 Enter
wait_for $w "Enter:choose Esc:cancel"
keys $w C-u
text $w "~/walk.gpx"
keys $w Enter
wait_for $w "Replace walk.gpx?"
keys $w y
expect "yes chooses it" "Output file: $HOME/walk.gpx" line $w 1
keys $w F1
wait_for $w "Type:  gpx   mps  [plt]  nmea"
expect "the input dialog reopens where it was left" "$HOME" line $w 1
text $w "$files/tracks/walk.plt"
keys $w Enter
wait_for $w "OK!"
check "the GPX file became a track file" [ "$(stat -c %s "$HOME/walk.gpx")" = 80008 ]

# --- Marking: Insert or Space marks a file, Enter converts the marked ones
# together, in the listing's order.
keys $w F1
wait_for $w "Type:  gpx   mps  [plt]  nmea"
keys $w C-u
text $w "$files/multi"
keys $w Enter
expect "the folder" "$files/multi" line $w 1
keys $w IC Down Space
expect "a mark beside each marked name" '*a.plt
 b.plt
*c.plt' rows $w 3 5
expect "the name line counts them" "(2 marked)" eval 'line $w 21 | grep -o "(2 marked)"'
keys $w Enter
wait_for $w "OK!"
expect "both inputs, then one track each" "Input file: $files/multi/a.plt
Input file: $files/multi/c.plt
Track 1 at 47.369380 , 8.539197
Track 2 at 47.383848 , 8.543602
Track 3 at 47.369380 , 8.539197
Track 4 at 47.383848 , 8.543602
OK!" rows $w 1 7

# --- Tab runs the type-ahead again on the name typed; the NMEA type lists
# .log files, All files every regular file (read as its content says).
keys $w F1
wait_for $w "Type:  gpx   mps  [plt]  nmea"
keys $w C-u
text $w "~/"
keys $w Enter
expect "home again" "$HOME" line $w 1
text $w "tr"
keys $w Tab
wait_for $w "Type:  gpx   mps   plt  [nmea]"
expect "the NMEA type lists .log" ' ../
 deep/
 UPPER/
 trip.log' rows $w 2 5
expect "the typed name found again" "trip.log" reversed $w 5
keys $w Enter
expect "the log converted" "Input file: $HOME/trip.log" line $w 1
wait_for $w "OK!"
keys $w F1
wait_for $w "[nmea]"
keys $w Tab Tab Tab Tab Tab Tab  # past fit, tcx, kml, geojson and igc
wait_for $w "[All files]"
expect "every regular file" ' ../
 deep/
 UPPER/
 Alpha.gpx
 beta.gpx
 capture
 trip.log
 walk.gpx' rows $w 2 9
text $w "cap"
expect "type-ahead in All files" "capture" reversed $w 7
keys $w Enter
expect "read as NMEA by its content" "Input file: $HOME/capture
Track 1 at 48.117300 , 11.516667
OK!" rows $w 1 3
keys $w C-q
wait_file "$work/log.rc"
expect "exit status" 0 cat "$work/log.rc"
check "no messages" [ ! -s "$work/log.err" ]

# --- A settings save that fails is reported once the terminal is back. The
# user must not be able to write the config folder: as root that takes
# another user (nobody), otherwise a read-only folder.
config=$work/locked/config
mkdir -p "$config"
other=()
if [ "$(id -u)" = 0 ]; then
  if command -v setpriv >/dev/null; then
    other=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    mkdir -p "$work/nobody/home" "$work/nobody/device"
    mkdir -m 700 "$work/nobody/run"
    chown -R 65534:65534 "$work/nobody"
    chmod 711 "$work"
  fi
else
  chmod 555 "$config"
fi
if [ "$(id -u)" = 0 ] && [ ${#other[@]} = 0 ]; then
  echo "SKIP (part): running as root without setpriv, the settings-save failure is not tried"
else
  if [ ${#other[@]} -gt 0 ]; then
    locale_env=(HOME="$work/nobody/home" XDG_RUNTIME_DIR="$work/nobody/run"
                WAYCONV_ROOT="$work/nobody/device" XDG_CONFIG_HOME="$config" LC_ALL=C.UTF-8 "${other[@]}" env)
  else
    locale_env=(XDG_CONFIG_HOME="$config" LC_ALL=C.UTF-8)
  fi
  start locked
  w=e2e:locked
  wait_for $w "Select input file ..."
  keys $w C-q
  wait_file "$work/locked.rc"
  expect "exit status unchanged" 0 cat "$work/locked.rc"
  expect "the message" "wayconv: settings not saved to $config/wayconv/registry.reg: Permission denied" \
    cat "$work/locked.err"
  expect "terminal given back first" 0 pane $w '#{alternate_on}'
fi

echo "terminal habits end-to-end: all checks passed"
exit 0
