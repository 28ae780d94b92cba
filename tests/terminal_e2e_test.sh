#!/usr/bin/env bash
# The interactive program end to end: wayconv runs in a tmux pane of a fixed
# size, is driven with keys and mouse clicks, and is checked by the text of
# the pane and by the files it leaves. The program runs under a locale whose
# decimal separator is a comma, which must change none of its numbers.
#
# usage: terminal_e2e_test.sh WAYCONV SOURCE_DIR
# Exit 0 passed, 1 failed, 77 skipped (no tmux).
set -u

bin=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
source_dir=$2
version=$("$bin" --version) && version=${version#wayconv } || exit 1
wait_seconds=15     # for any one thing to show
overall_seconds=180 # for the whole test

if ! command -v tmux >/dev/null; then
  echo "SKIP: tmux is not installed (apt-get install tmux)"
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/wayconv-e2e.XXXXXX") || exit 1
work=$(cd "$work" && pwd -P)  # as the dialog shows folders: links resolved
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
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$WAYCONV_ROOT" "$work/files/tracks"
mkdir -m 700 "$XDG_RUNTIME_DIR"
cp "$source_dir"/samples/walk.plt "$source_dir"/samples/walk.gpx "$work/files/tracks/"
files=$work/files
registry=$XDG_CONFIG_HOME/wayconv/registry.reg
device_folder="$WAYCONV_ROOT/My Documents/GPS Tracks and Waypoints"

# remain-on-exit keeps a pane after its program ended, to see how it left
# the terminal.
cat >"$tmux_conf" <<'EOF'
set -g default-terminal screen
set -g remain-on-exit on
set -g monitor-bell on
set -g bell-action any
EOF

# A comma-decimal locale: an installed one, else one made here.
locale_env=(LC_ALL=C.UTF-8)
for name in de_DE.UTF-8 de_DE.utf8 fr_FR.UTF-8 fr_FR.utf8; do
  if [ "$(LC_ALL=$name locale decimal_point 2>/dev/null)" = "," ]; then
    locale_env=(LC_ALL=$name)
    break
  fi
done
if [ "${locale_env[0]}" = LC_ALL=C.UTF-8 ] && command -v localedef >/dev/null; then
  mkdir -p "$work/locale"
  localedef -c -i de_DE -f UTF-8 "$work/locale/de_DE.UTF-8" >/dev/null 2>&1
  if [ "$(LOCPATH=$work/locale LC_ALL=de_DE.UTF-8 locale decimal_point 2>/dev/null)" = "," ]; then
    locale_env=(LOCPATH="$work/locale" LC_ALL=de_DE.UTF-8)
  fi
fi
if [ "${locale_env[0]}" = LC_ALL=C.UTF-8 ]; then
  echo "note: no comma-decimal locale could be had; running under C.UTF-8"
else
  echo "locale: ${locale_env[*]}"
fi

. "$source_dir/tests/tmux_helpers.sh"

# The reference: the same conversion in batch mode under the C locale.
LC_ALL=C "$bin" --batch --no-split --output "$work/reference.bin" "$files/tracks/walk.plt" >/dev/null ||
  fail "batch reference conversion"

# --- Start-up screen, 80x24.
start first
w=e2e:first
wait_for $w "Select input file ..."
expect "start-up screen" "$(
  printf '%s\n' Wayconv 'Output file:' '\My Documents' '\GPS Tracks and Waypoints' '\Tracks.bin' '' \
    'Select input file ...' '' '' '' '' '' '' '' '' '' '' '' '' '' '' '' ''
  printf 'Open file%66sTools' ''
)" screen $w

# --- Tools: the break item is checked; choosing it clears the check mark.
popup_indent=$(printf '%47s' '')
keys $w F2
wait_for $w "Set output file"
expect "break item checked" "$popup_indent│ ✓ Break track at 1000 m space │" line $w 16
keys $w Down Enter
wait_gone $w "Set output file"
keys $w F2
wait_for $w "Set output file"
expect "break item unchecked" "$popup_indent│   Break track at 1000 m space │" line $w 16
keys $w Escape
wait_gone $w "Set output file"

# --- Set output file: Tools by a click, the dialog by Enter. The device
# folder is not there yet, so the whole output path is the name.
click $w 77 23
wait_for $w "Set output file"
keys $w Enter
wait_for $w "Enter:choose Esc:cancel"
expect "output dialog title" "Set output file$(printf '%63s' '')OK" line $w 0
expect "output dialog folder" "$files" line $w 1
expect "output dialog name" 'Name: \My Documents\GPS Tracks and Waypoints\Tracks.bin' line $w 22
keys $w BSpace BSpace BSpace BSpace BSpace BSpace BSpace BSpace BSpace BSpace
text $w "mine.bin"
expect "name typed" 'Name: \My Documents\GPS Tracks and Waypoints\mine.bin' line $w 22
keys $w Enter
expect "output path shown" 'Output file:
\My Documents
\GPS Tracks and Waypoints
\mine.bin' rows $w 1 4
check "choosing the output file saves it" grep -qF 'Waypoints\\mine.bin' "$registry"

# --- Open file: F1, into the tracks folder, the plt filter, a typed name.
keys $w F1
wait_for $w "Type: [gpx]"
expect "input dialog lists folders" ' ../
 tracks/' rows $w 2 3
keys $w Enter
expect "gpx filter" ' ../
 walk.gpx' rows $w 2 3
keys $w Tab Tab
wait_for $w "Type:  gpx   mps  [plt]  nmea"
expect "plt filter" ' ../
 walk.plt' rows $w 2 3
text $w "walk.plt"
wait_for $w "Name: walk.plt"
keys $w Enter
expect "conversion log" "Input file: $files/tracks/walk.plt
Track 1 at 47.369380 , 8.539197
OK!

Output file:
\\My Documents
\\GPS Tracks and Waypoints
\\mine.bin" rows $w 1 8
check "output file is 80008 bytes" [ "$(stat -c %s "$device_folder/mine.bin")" = 80008 ]
check "output file as in batch mode" cmp -s "$device_folder/mine.bin" "$work/reference.bin"

# --- About: Ctrl+A and Enter; Tools > About and a click on OK; Ctrl+A and Esc.
about_caption="About Wayconv$(printf '%65s' '')OK"
keys $w C-a
expect "about texts" "$about_caption

   Wayconv V$version" rows $w 0 2
keys $w Enter
wait_gone $w "About Wayconv"
keys $w F2
wait_for $w "Set output file"
click $w 60 19
expect "about from Tools" "$about_caption" line $w 0
click $w 79 0
wait_gone $w "About Wayconv"
keys $w C-a
expect "about by Ctrl+A" "$about_caption" line $w 0
keys $w Escape
wait_gone $w "About Wayconv"
wait_for $w "OK!"

# --- A second copy, given a file: it brings the first forward and ends.
first_pid=$(pid_in $w)
cp "$device_folder/mine.bin" "$work/before.bin"
start second tracks/walk.gpx
current_target=$w
wait_file "$work/second.rc"
expect "second copy exits 0" 0 cat "$work/second.rc"
expect "second copy says so" "wayconv: already running (process $first_pid); brought it forward" \
  cat "$work/second.err"
expect "first copy beeped" 1 pane $w '#{window_bell_flag}'
check "second copy converted nothing" cmp -s "$device_folder/mine.bin" "$work/before.bin"
check "first copy's log unchanged" eval '! screen $w | grep -q walk.gpx'
"${T[@]}" kill-window -t e2e:second

# --- Batch-only options need --batch on a terminal.
start options --no-split tracks/walk.plt
wait_file "$work/options.rc"
expect "batch option without --batch" 64 cat "$work/options.rc"
expect "batch option message" "wayconv: --kind, --output, --split and --no-split need --batch \
(the window uses the saved settings); try 'wayconv --help'" cat "$work/options.err"
"${T[@]}" kill-window -t e2e:options

# --- 40x12: the soft keys and the whole Tools popup still show.
"${T[@]}" resize-window -t $w -x 40 -y 12
expect "40x12 soft keys" "Open file$(printf '%26s' '')Tools" line $w 11
expect "40x12 title" "Wayconv" line $w 0
keys $w F2
wait_for $w "Set output file"
columns_8_on() { rows "$@" | cut -c 8-; }  # the log's ASCII text left of the popup
expect "40x12 popup" "┌───────────────────────────────┐
│   Set output file             │
├───────────────────────────────┤
│   Break track at 1000 m space │
│   Keep shape when thinning    │
├───────────────────────────────┤
│   About                       │
├───────────────────────────────┤
│   Exit                        │
└───────────────────────────────┘" columns_8_on $w 1 10
keys $w Escape
wait_gone $w "Set output file"
"${T[@]}" resize-window -t $w -x 80 -y 24
expect "80x24 again" "Open file$(printf '%66s' '')Tools" line $w 23

# --- Ctrl+Q saves and exits; the terminal is as before.
keys $w C-q
wait_file "$work/first.rc"
expect "exit status" 0 cat "$work/first.rc"
check "no messages" [ ! -s "$work/first.err" ]
expect "terminal restored" 0 pane $w '#{alternate_on}'
check "registry file" same "$(tr -d '\r' <"$registry")" 'Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Brivex\Wayconv]
"OutputFile"="\\My Documents\\GPS Tracks and Waypoints\\mine.bin"
"DoSplit"=dword:00000000
"ThinShape"=dword:00000000'
cp "$registry" "$work/saved.reg"

# --- A second run starts with the saved settings; closed by the system
# (SIGTERM) it saves nothing.
start again
w=e2e:again
wait_for $w "Select input file ..."
expect "saved output path" 'Output file:
\My Documents
\GPS Tracks and Waypoints
\mine.bin' rows $w 1 4
keys $w F2
wait_for $w "Set output file"
expect "DoSplit 0 kept" "$popup_indent│   Break track at 1000 m space │" line $w 16
keys $w Down Enter
wait_gone $w "Set output file"
kill -TERM "$(pid_in $w)"
wait_file "$work/again.rc"
expect "closed by SIGTERM" 143 cat "$work/again.rc"
expect "terminal restored after SIGTERM" 0 pane $w '#{alternate_on}'
check "nothing saved on SIGTERM" cmp -s "$registry" "$work/saved.reg"

# --- A crash restores the terminal too.
start crash
w=e2e:crash
wait_for $w "Select input file ..."
kill -SEGV "$(pid_in $w)"
wait_file "$work/crash.rc"
check "a crash ends the program" [ "$(cat "$work/crash.rc")" != 0 ]
expect "terminal restored after a crash" 0 pane $w '#{alternate_on}'

# --- A line wider than the log wraps, before a folder's name where one
# starts in the row's last third; the view scrolls through the wrapped rows.
long=$files
for i in $(seq 10 24); do long=$long/folder-$i-of-the-long-path; done
mkdir -p "$long"
cp "$files/tracks/walk.plt" "$long/"
start wrap "$long/walk.plt"
w=e2e:wrap
wait_for $w "OK!"
# The input line's rows: from row 1 up to the track's line.
input_rows() { screen $w | sed -n '2,$p' | sed '/^Track 1 at/,$d'; }
expect "the whole path, wrapped" "Input file: $long/walk.plt" eval 'input_rows | tr -d "\n"'
check "wrapped into rows" [ "$(input_rows | wc -l)" -gt 4 ]
check "each row after the first starts a folder" eval '! input_rows | sed 1d | grep -qv "^/"'
check "the text kept whole in the log" eval '! screen $w | grep -q "more"'
"${T[@]}" resize-window -t $w -x 40 -y 12
wait_for $w "↑ more"
expect "the end in view" '\mine.bin' eval 'line $w 10 | cut -c 1-9'
end_screen=$(screen $w)
keys $w Home
wait_for $w "↓ more"
expect "home: the first wrapped row" "Input file: /" eval 'line $w 1 | cut -c 1-13'
home_screen=$(screen $w)
keys $w PageDown
expect "a page down: the last row shown is the first now" "$(line_of "$home_screen" 10 | cut -c 1-20)" \
  eval 'line $w 1 | cut -c 1-20'
keys $w PageUp
expect "a page up: back home" "$home_screen" screen $w
keys $w End
expect "end" "$end_screen" screen $w
sgr_wheel $w 10 5 up
expect "the wheel: three rows a notch" "$(line_of "$end_screen" 1 | cut -c 1-20)" \
  eval 'line $w 4 | cut -c 1-20'
keys $w C-q
wait_file "$work/wrap.rc"
expect "wrap exit status" 0 cat "$work/wrap.rc"

echo "terminal end-to-end: all checks passed"
exit 0
