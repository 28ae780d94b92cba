#!/usr/bin/env bash
# The bash completion: each case completes the last word of a command line in
# a folder of sample files and compares COMPREPLY, sorted, with what Tab
# should offer.
#
# usage: completion_test.sh WAYCONV COMPLETION_SCRIPT
# Exit 0 passed, 1 failed.
set -u
bin=$1
script=$(cd "$(dirname "$2")" && pwd -P)/$(basename "$2")

work=$(mktemp -d "${TMPDIR:-/tmp}/wayconv-completion.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
touch walk.gpx RIDE.GPX hike.mps walk.plt drive.nmea trip.log Tracks.bin \
  "my walk.plt" ./--odd.plt
mkdir tracks

# shellcheck source=/dev/null
source "$script" || exit 1

status=0
# check EXPECTED WORD... : completes the last WORD after "wayconv" and the
# others; EXPECTED lists the offers sorted, separated by "|".
check() {
  local expected=$1
  shift
  COMP_WORDS=("$bin" "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _wayconv
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd '|')
  if [ "$got" != "$expected" ]; then
    echo "FAIL: wayconv $*<Tab>"
    echo "  expected: $expected"
    echo "  got:      $got"
    status=1
  fi
}

# Options come from --help.
check "--batch" --ba
check "--no-split" --no
check "--kind" --batch --ki
# Option values, also after "=" (a word of its own for bash).
check "gpx|mps|nmea|plt" --kind ""
check "nmea" --kind n
check "gpx|mps|nmea|plt" --kind =
check "mps" --kind = m
check "csv|gpx|svg" --export ""
# Input files: by extension (in any case) with no kind, the folders always;
# every file when no name fits, since NMEA logs go by any name.
check "--odd.plt|RIDE.GPX|drive.nmea|hike.mps|my walk.plt|tracks|walk.gpx|walk.plt" ""
check "walk.gpx|walk.plt" --batch walk
check "walk.gpx|walk.plt" --batch hike.mps walk  # a further input
check "tracks|trip.log" tr
check "RIDE.GPX|tracks|walk.gpx" --kind gpx ""
check "RIDE.GPX|tracks|walk.gpx" --kind = gpx --batch ""
check "RIDE.GPX|tracks|walk.gpx" --kind=gpx --batch ""
check "hike.mps|tracks" --batch --kind mps ""
check "--odd.plt|RIDE.GPX|Tracks.bin|drive.nmea|hike.mps|my walk.plt|tracks|trip.log|walk.gpx|walk.plt" --kind nmea ""
# --output takes any file.
check "tracks|trip.log" --output t
# Track files after --show and --export.
check "Tracks.bin|tracks" --show ""
check "Tracks.bin|tracks" --export svg --output out.svg ""
# After "--" a word starting with a dash is a file name.
check "--odd.plt" -- --o

[ $status = 0 ] && echo "PASS: bash completion"
exit $status
