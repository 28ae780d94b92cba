#!/usr/bin/env bash
# The Windows program end to end under Wine, against the Linux build:
#  1. batch mode: each of the four samples converts to a track file byte for
#     byte the same as the Linux build's, with the same log on standard output
#     and the same exit status, also for failures;
#  2. the window (under Xvfb): started with a sample it converts it at once;
#     Ctrl+Q saves the settings to the registry (read back with `reg query`);
#     a second copy brings the first forward and exits; a screenshot of the
#     window is kept as SCREENSHOT when given.
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
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${WINEPREFIX:-$(dirname "$exe")/wine}

work=$(mktemp -d "${TMPDIR:-/tmp}/wayconv-win-e2e.XXXXXX") || exit 1
xvfb_pid=
cleanup() {
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
    WAYCONV_ROOT=$work/linux/root "$linux" --batch "$@")
}
run_windows() {
  (cd "$work/windows" && WAYCONV_ROOT="Z:$work/windows/root" "$wine" "$exe" --batch "$@")
}

echo "== batch mode"
start=$(date +%s%N)
for sample in walk.plt walk.gpx drive.nmea hike.mps; do
  for options in "" "--no-split" "--kind nmea"; do
    # shellcheck disable=SC2086
    run_linux $options --output "out/$sample.bin" "samples/$sample" >"$work/linux.out" 2>"$work/linux.err"
    linux_status=$?
    # shellcheck disable=SC2086
    run_windows $options --output "out/$sample.bin" "samples/$sample" >"$work/windows.out" 2>"$work/windows.err"
    windows_status=$?
    what="$sample ${options:-(default options)}"
    [ "$linux_status" = "$windows_status" ] ||
      fail "$what: exit status $windows_status on Windows, $linux_status on Linux"
    cmp -s "$work/linux.out" "$work/windows.out" ||
      fail "$what: the logs differ: $(diff "$work/linux.out" "$work/windows.out" | head -5)"
    cmp -s "$work/linux.err" "$work/windows.err" ||
      fail "$what: standard error differs: $(diff "$work/linux.err" "$work/windows.err" | head -5)"
    if [ -f "$work/linux/out/$sample.bin" ]; then
      cmp -s "$work/linux/out/$sample.bin" "$work/windows/out/$sample.bin" ||
        fail "$what: the track files differ"
    fi
    rm -f "$work"/*/out/*
  done
done
# The default output: the device path under WAYCONV_ROOT.
run_windows samples/walk.plt >/dev/null 2>&1 || fail "default output: exit status $?"
[ "$(stat -c %s "$work/windows/root/My Documents/GPS Tracks and Waypoints/Tracks.bin" 2>/dev/null)" = 80008 ] ||
  fail "default output: no 80008-byte Tracks.bin under WAYCONV_ROOT"
# Failures: the same status and messages.
for args in "samples/missing.gpx" "--kind plt samples/walk.gpx" "--output out/no/such/folder/x.bin samples/walk.plt" "--kind xml samples/walk.gpx"; do
  # shellcheck disable=SC2086
  run_linux $args >"$work/linux.out" 2>"$work/linux.err"
  linux_status=$?
  # shellcheck disable=SC2086
  run_windows $args >"$work/windows.out" 2>"$work/windows.err"
  windows_status=$?
  [ "$linux_status" = "$windows_status" ] ||
    fail "$args: exit status $windows_status on Windows, $linux_status on Linux"
  cmp -s "$work/linux.out" "$work/windows.out" || fail "$args: the logs differ"
  cmp -s "$work/linux.err" "$work/windows.err" ||
    fail "$args: standard error differs: $(diff "$work/linux.err" "$work/windows.err" | head -5)"
done
echo "   batch checks took $((($(date +%s%N) - start) / 1000000)) ms"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "PASS"
