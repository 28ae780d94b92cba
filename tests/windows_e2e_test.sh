#!/usr/bin/env bash
# The Windows program end to end under Wine, against the Linux build:
#  1. batch mode: each of the four samples converts to a track file byte for
#     byte the same as the Linux build's, with the same log on standard output
#     and the same exit status, also for failures; so does a long recording
#     thinned by shape;
#  2. the window (under Xvfb): started with a sample it converts it at once;
#     Ctrl+Q saves the settings to the registry (read back with `reg query`);
#     a second copy brings the first forward and exits; F2 opens Tools and
#     the save dialog takes an output path, F1 the open dialog an input,
#     which the window converts (the dialogs driven with xdotool); a
#     screenshot of the window is kept as SCREENSHOT when given.
# Names outside ASCII go through both builds' command lines, logs and files.
#
# usage: windows_e2e_test.sh WAYCONV_EXE LINUX_WAYCONV SOURCE_DIR [SCREENSHOT]
# Runs in the Wine prefix of $WINEPREFIX (made when missing). Exit 0 passed,
# 1 failed, 77 skipped (no Wine).
set -u

exe=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
linux=$(cd "$(dirname "$2")" && pwd -P)/$(basename "$2")
source_dir=$(cd "$3" && pwd -P)
screenshot=${4:-}
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
[ -x "$wine" ] || { echo "SKIP: no $wine (apt-get install wine64)"; exit 77; }
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine reads the command line's bytes in the locale's encoding: UTF-8.
export LC_ALL=C.UTF-8
export WINEPREFIX=${WINEPREFIX:-$(dirname "$exe")/wine}

work=$(mktemp -d "${TMPDIR:-/tmp}/wayconv-win-e2e.XXXXXX") || exit 1
xvfb_pid=
cleanup() {
  "$wineserver" -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Each build converts in a folder of its own, with the same relative paths,
# so that the logs must match byte for byte.
for side in linux windows; do
  mkdir -p "$work/$side/samples" "$work/$side/out" "$work/$side/root"
  cp "$source_dir"/samples/* "$work/$side/samples/"
done
run_linux() {
  (cd "$work/linux" && HOME=$work/linux/root XDG_CONFIG_HOME=$work/linux/root \
    WAYCONV_ROOT=$work/linux/root "$linux" "$@")
}
run_windows() {
  (cd "$work/windows" && WAYCONV_ROOT="Z:$work/windows/root" "$wine" "$exe" "$@")
}
# Runs both builds with the same arguments (and $stdin_file, if set, as
# standard input): the same exit status, standard output and standard error,
# byte for byte.
same_on_both() {  # same_on_both WHAT ARGS...
  local what=$1
  shift
  run_linux "$@" <"${stdin_file:-/dev/null}" >"$work/linux.out" 2>"$work/linux.err"
  local linux_status=$?
  run_windows "$@" <"${stdin_file:-/dev/null}" >"$work/windows.out" 2>"$work/windows.err"
  local windows_status=$?
  [ "$linux_status" = "$windows_status" ] ||
    fail "$what: exit status $windows_status on Windows, $linux_status on Linux"
  cmp -s "$work/linux.out" "$work/windows.out" ||
    fail "$what: standard output differs: $(diff "$work/linux.out" "$work/windows.out" | head -5)"
  cmp -s "$work/linux.err" "$work/windows.err" ||
    fail "$what: standard error differs: $(diff "$work/linux.err" "$work/windows.err" | head -5)"
}

# Batch runs use the saved settings: none, to begin with.
"$wine" reg delete 'HKCU\Software\Brivex\Wayconv' /f >/dev/null 2>&1

echo "== batch mode"
start=$(date +%s%N)
for sample in walk.plt walk.gpx drive.nmea hike.mps; do
  for options in "" "--no-split" "--kind nmea"; do
    what="$sample ${options:-(default options)}"
    # shellcheck disable=SC2086
    same_on_both "$what" --batch $options --output "out/$sample.bin" "samples/$sample"
    if [ -f "$work/linux/out/$sample.bin" ]; then
      cmp -s "$work/linux/out/$sample.bin" "$work/windows/out/$sample.bin" ||
        fail "$what: the track files differ"
    fi
  done
  # The track file read back: --show and --export, the Windows build reading
  # its own file.
  same_on_both "--show $sample" --show "out/$sample.bin"
  for format in gpx csv svg; do
    same_on_both "--export $format $sample" --export "$format" "out/$sample.bin"
  done
  rm -f "$work"/*/out/*
done
# Names outside ASCII: the input, the track file, --show and --export.
cp "$source_dir/samples/walk.gpx" "$work/linux/samples/Zürich Ärger 東京.gpx"
cp "$source_dir/samples/walk.gpx" "$work/windows/samples/Zürich Ärger 東京.gpx"
same_on_both "non-ASCII input" --batch --output "out/Strecke ü 東京.bin" "samples/Zürich Ärger 東京.gpx"
cmp -s "$work/linux/out/Strecke ü 東京.bin" "$work/windows/out/Strecke ü 東京.bin" ||
  fail "non-ASCII names: the track files differ (or are missing)"
same_on_both "--show, non-ASCII name" --show "out/Strecke ü 東京.bin"
same_on_both "--export, non-ASCII names" --export gpx --output "out/Ausgabe ß.gpx" \
  "out/Strecke ü 東京.bin"
cmp -s "$work/linux/out/Ausgabe ß.gpx" "$work/windows/out/Ausgabe ß.gpx" ||
  fail "non-ASCII names: the exports differ (or are missing)"
rm -f "$work"/*/out/*
# The default output: the device path under WAYCONV_ROOT.
run_windows --batch samples/walk.plt >/dev/null 2>&1 || fail "default output: exit status $?"
[ "$(stat -c %s "$work/windows/root/My Documents/GPS Tracks and Waypoints/Tracks.bin" 2>/dev/null)" = 80008 ] ||
  fail "default output: no 80008-byte Tracks.bin under WAYCONV_ROOT"
# Failures: the same status and messages.
same_on_both "missing input" --batch samples/missing.gpx
same_on_both "wrong kind" --batch --kind plt samples/walk.gpx
same_on_both "no output folder" --batch --output out/no/such/folder/x.bin samples/walk.plt
same_on_both "unknown kind" --batch --kind xml samples/walk.gpx
same_on_both "no track file" --show samples/walk.gpx
same_on_both "version" --version
# Thinning by shape: a recording longer than the file (turns, a standing
# stretch whose removals all cost the same, gaps over 1000 m) gives the same
# chosen points on both builds.
LC_ALL=C awk 'BEGIN {
  srand(7)
  printf "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\n"
  printf "Reserved 3\r\n0,2,255,Track,0,0,2,8421376\r\n0\r\n"
  lat = 46.5; lon = 8.0; heading = 0
  for (i = 0; i < 16000; i++) {
    if (i % 40 == 0) heading += 2.5
    noise = 0
    if (i < 3000 || i > 3400) {
      lat += cos(heading) * 0.00005; lon += sin(heading) * 0.00007; noise = (rand() - 0.5) * 0.00002
    }
    if (i % 5000 == 4999) lat += 0.02
    printf "%.7f,%.7f,0,-777,0,,\r\n", lat + noise, lon
  }
}' >"$work/linux/samples/long.plt"
cp "$work/linux/samples/long.plt" "$work/windows/samples/long.plt"
same_on_both "--thin shape" --batch --thin shape --output out/long.bin samples/long.plt
cmp -s "$work/linux/out/long.bin" "$work/windows/out/long.bin" ||
  fail "--thin shape: the track files differ"
# Standard input, copied to a temporary file that goes away afterwards.
stdin_file=$source_dir/samples/walk.plt same_on_both "standard input" --batch --kind plt \
  --output out/stdin.bin -
cmp -s "$work/linux/out/stdin.bin" "$work/windows/out/stdin.bin" ||
  fail "standard input: the track files differ"
echo "   batch checks took $((($(date +%s%N) - start) / 1000000)) ms"

echo "== the window"
if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null || ! command -v script >/dev/null; then
  echo "   skipped: needs Xvfb, xdotool and script"
else
  start=$(date +%s%N)
  display=:$((70 + $$ % 100))
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=$display
  for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
  root=$work/windows/window-root
  track="$root/My Documents/GPS Tracks and Waypoints/Tracks.bin"
  mkdir -p "$root"
  "$wine" reg delete 'HKCU\Software\Brivex\Wayconv' /f >/dev/null 2>&1
  # The program in a Wine desktop (title bars and steady focus without a
  # window manager), on a terminal of its own so that it shows its window.
  # Once the desktop runs, explorer hands the program over and returns; the
  # terminal stays a while, or the program would lose it while it starts.
  start_window() {  # start_window LOG [INPUT]
    (cd "$work/windows" && WAYCONV_ROOT="Z:$root" script -qfec \
      "$wine explorer /desktop=Wayconv,800x600 $exe ${2:-}; sleep 8" /dev/null >"$1" 2>&1) &
  }
  wait_for() {  # wait_for SECONDS COMMAND...: until COMMAND succeeds
    local tries=$(($1 * 10))
    shift
    for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.1; done
    return 1
  }
  # The colour of the screen at X,Y.
  pixel() { import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}'; }
  # The log area of the window: white while the window shows.
  window_shows() { [ "$(pixel 100 120)" = "#FFFFFF" ]; }
  # The About dialog, centred on the window, covers the empty log there.
  about_shows() { [ "$(pixel 300 225)" != "#FFFFFF" ]; }
  about_gone() { ! about_shows; }
  window_hidden() { ! window_shows; }
  file_size_is() { [ "$(stat -c %s "$1" 2>/dev/null)" = "$2" ]; }
  # The Windows process itself, not the shells that started it.
  not_running() { ! pgrep -f "^[^ ]*wayconv\.exe $1" >/dev/null; }
  none_running() { ! pgrep -f '^[^ ]*wayconv\.exe( |$)' >/dev/null; }

  start_window "$work/first.log" samples/walk.gpx
  wait_for 30 file_size_is "$track" 80008 || fail "window: the sample given was not converted"
  wait_for 20 window_shows || fail "window: not shown"
  sleep 1
  if [ -n "$screenshot" ]; then
    import -window root -crop 800x600+0+0 "$screenshot" || fail "window: no screenshot"
  fi
  # Ctrl+A shows About; Enter (its OK button) closes it.
  xdotool key ctrl+a
  wait_for 10 about_shows || fail "window: Ctrl+A showed no About dialog"
  [ -n "$screenshot" ] && import -window root -crop 800x600+0+0 "${screenshot%.png}-about.png"
  xdotool key Return
  wait_for 10 about_gone || fail "window: the About dialog did not close on Enter"
  # Tools > Break track at 1000 m space (off), then Ctrl+Q saves and closes.
  xdotool mousemove 90 32 click 1
  sleep 1
  [ -n "$screenshot" ] && import -window root -crop 800x600+0+0 "${screenshot%.png}-tools.png"
  xdotool mousemove 120 78 click 1
  sleep 0.5
  xdotool key ctrl+q
  wait_for 15 not_running samples/walk.gpx ||
    fail "window: Ctrl+Q did not close it"
  query=$("$wine" reg query 'HKCU\Software\Brivex\Wayconv' 2>/dev/null | tr -d '\r')
  grep -q 'OutputFile *REG_SZ *\\My Documents\\GPS Tracks and Waypoints\\Tracks.bin$' <<<"$query" ||
    fail "window: Ctrl+Q saved no OutputFile: $query"
  grep -q 'DoSplit *REG_DWORD *0x0$' <<<"$query" || fail "window: Ctrl+Q saved no DoSplit 0: $query"
  grep -q 'ThinShape *REG_DWORD *0x0$' <<<"$query" || fail "window: Ctrl+Q saved no ThinShape 0: $query"

  # A second copy brings the first forward (here: back from minimised) and
  # converts nothing.
  start_window "$work/first.log"
  wait_for 20 window_shows || fail "second copy: the first window is not shown"
  sleep 1
  xdotool key alt+space
  sleep 0.5
  xdotool key n
  wait_for 10 window_hidden || fail "second copy: could not minimise the first"
  rm -f "$track"
  start_window "$work/second.log" samples/walk.plt
  wait_for 20 window_shows || fail "second copy: the first window did not come forward"
  sleep 2
  [ -f "$track" ] && fail "second copy: converted its input"
  not_running samples/walk.plt || fail "second copy: still running"
  xdotool key ctrl+q
  sleep 1

  # The dialogs: F2 opens Tools, whose first item sets the output file in
  # the save dialog; F1 opens the open dialog, whose file the window
  # converts. Paths typed as Wine names them (Z: is the Linux root).
  wine_path() { printf 'Z:%s' "$1" | tr '/' '\\'; }
  # The Tools item of the menu bar, highlighted while its menu is open.
  tools_open() { [ "$(pixel 72 36)" != "#FFFFFF" ]; }
  # The file dialogs' grey bottom, over the log's white.
  dialog_shows() { [ "$(pixel 300 395)" != "#FFFFFF" ]; }
  dialog_gone() { ! dialog_shows; }
  chosen_output="$work/windows/out/chosen.bin"
  rm -f "$chosen_output" "$track"
  start_window "$work/dialogs.log"
  wait_for 20 window_shows || fail "dialogs: the window is not shown"
  sleep 1
  xdotool key F2
  wait_for 10 tools_open || fail "dialogs: F2 did not open Tools"
  sleep 0.5
  xdotool key Down Return
  wait_for 15 dialog_shows || fail "dialogs: Tools > Set output file showed no save dialog"
  sleep 1
  [ -n "$screenshot" ] && import -window root -crop 800x600+0+0 "${screenshot%.png}-save.png"
  xdotool type --delay 20 "$(wine_path "$chosen_output")"
  xdotool key Return
  wait_for 15 dialog_gone || fail "dialogs: the save dialog did not close"
  sleep 0.5
  xdotool key F1
  wait_for 15 dialog_shows || fail "dialogs: F1 showed no open dialog"
  sleep 1
  [ -n "$screenshot" ] && import -window root -crop 800x600+0+0 "${screenshot%.png}-open.png"
  xdotool type --delay 20 "$(wine_path "$work/windows/samples/walk.gpx")"
  xdotool key Return
  wait_for 30 file_size_is "$chosen_output" 80008 ||
    fail "dialogs: the file chosen in the open dialog was not converted to the one of the save dialog"
  # Break track was switched off above and saved: a conversion without it.
  run_linux --batch --no-split --output out/walk-no-split.bin samples/walk.gpx >/dev/null 2>&1
  cmp -s "$chosen_output" "$work/linux/out/walk-no-split.bin" ||
    fail "dialogs: the track file differs from the Linux build's"
  [ -f "$track" ] && fail "dialogs: converted to the old output file"
  xdotool key ctrl+q
  wait_for 15 none_running || fail "dialogs: Ctrl+Q did not close the window"
  echo "   window checks took $((($(date +%s%N) - start) / 1000000)) ms"
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "PASS"
