#!/usr/bin/env bash
# The desktop entry, its icon and the MIME types it opens, with the checkers
# that are installed: the entry validates, starts the window and declares GPX
# and every type the MIME file defines; the XML files are well formed; the
# icon renders at 16 pixels.
#
# usage: desktop_files_test.sh DIST_DIR
# Exit 0 passed, 1 failed, 77 skipped (no checker installed).
set -u
dist=$1
status=0
checked=0
fail() {
  echo "FAIL: $*"
  status=1
}

entry=$dist/wayconv.desktop
grep -qx 'Exec=wayconv --window %f' "$entry" || fail "Exec does not start the window on %f"
grep -qx 'Icon=wayconv' "$entry" || fail "Icon is not wayconv"
declared=$(sed -n 's/^MimeType=//p' "$entry" | tr ';' '\n' | sed '/^$/d' | sort)
# The types the shared MIME database defines already.
shared="application/gpx+xml application/vnd.google-earth.kml+xml application/vnd.google-earth.kmz
application/geo+json application/gzip"
defined=$( (tr ' ' '\n' <<<"$shared"; grep -o 'mime-type type="[^"]*"' "$dist/wayconv-mime.xml" |
  sed 's/.*"\(.*\)"/\1/') | sort)
[ "$declared" = "$defined" ] ||
  fail "MimeType= lists $(paste -sd " " <<<"$declared"), the MIME file and GPX give $(paste -sd " " <<<"$defined")"
for ext in plt mps nmea fit tcx igc; do
  grep -q "<glob pattern=\"\*\.$ext\"/>" "$dist/wayconv-mime.xml" || fail "no glob for .$ext"
done

if command -v desktop-file-validate >/dev/null; then
  out=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $out"
  [ -z "$out" ] || fail "desktop-file-validate: $out"
  checked=1
fi
if command -v xmllint >/dev/null; then
  xmllint --noout "$dist/wayconv-mime.xml" "$dist/wayconv.svg" || fail "xmllint"
  checked=1
fi
if command -v rsvg-convert >/dev/null; then
  png=$(mktemp "${TMPDIR:-/tmp}/wayconv-icon.XXXXXX") || exit 1
  if ! rsvg-convert -w 16 -h 16 "$dist/wayconv.svg" -o "$png" || [ ! -s "$png" ]; then
    fail "rsvg-convert cannot render the icon at 16 px"
  fi
  rm -f "$png"
  checked=1
fi
if [ $checked = 0 ] && [ $status = 0 ]; then
  echo "SKIP: none of desktop-file-validate, xmllint, rsvg-convert is installed"
  exit 77
fi
[ $status = 0 ] && echo "PASS: desktop entry, MIME types and icon"
exit $status
