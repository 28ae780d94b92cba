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
# Without the program at hand, the built-in list: the same options.
help_options=$("$bin" --help | grep -o -- '--[a-z][a-z-]*' | LC_ALL=C sort -u)
builtin_options=$(_wayconv_options "$work/no-such-program" | tr -s ' \n' '\n\n' | LC_ALL=C sort -u)
if [ "$builtin_options" != "$help_options" ]; then
  echo "FAIL: the built-in option list (+) is not --help's (-):"
  diff <(echo "$help_options") <(echo "$builtin_options") | grep '^[<>]' | sed 's/^</-/; s/^>/+/'
  status=1
fi
# Option values, also after "=" (a word of its own for bash).
check "fit|geojson|gpx|igc|kml|mps|nmea|plt|tcx" --kind ""
check "nmea" --kind n
check "fit|geojson|gpx|igc|kml|mps|nmea|plt|tcx" --kind =
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
# The kinds of today, and compressed files of each.
mkdir newer && cd newer || exit 1
touch ride.fit RIDE.FIT.GZ flight.igc.gz route.kmz area.geojson notes.txt
check "RIDE.FIT.GZ|area.geojson|flight.igc.gz|ride.fit|route.kmz" ""
check "RIDE.FIT.GZ|ride.fit" --kind fit ""
check "flight.igc.gz" --kind igc ""
check "route.kmz" --kind kml ""

[ $status = 0 ] && echo "PASS: bash completion"
exit $status
