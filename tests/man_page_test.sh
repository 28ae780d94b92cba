#!/usr/bin/env bash
# The manual page against the program: it names the same long options as
# --help, carries the version --version prints, and the roff checkers that
# are installed (mandoc, groff) find nothing to warn about.
#
# usage: man_page_test.sh WAYCONV MANPAGE
# Exit 0 passed, 1 failed.
set -u
bin=$1
page=$2
status=0
fail() {
  echo "FAIL: $*"
  status=1
}

# Long options: every "--name" in the help text, and in the page's text with
# its roff dashes ("\-") made plain and its comments left out.
help_options=$("$bin" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
page_options=$(grep -v '^\.\\"' "$page" | sed 's/\\-/-/g' | grep -o -- '--[a-z][a-z-]*' | sort -u)
[ -n "$help_options" ] || fail "--help lists no options"
if [ "$help_options" != "$page_options" ]; then
  fail "--help (-) and the manual page (+) name different options:"
  diff <(echo "$help_options") <(echo "$page_options") | grep '^[<>]' | sed 's/^</-/; s/^>/+/'
fi

version=$("$bin" --version)
grep -q "^\.TH WAYCONV 1 [^ ]* \"Wayconv ${version#wayconv }\"" "$page" ||
  fail "the page's title line does not name '$version': $(grep '^\.TH' "$page")"

checked=0
if command -v mandoc >/dev/null; then
  out=$(mandoc -T lint "$page" 2>&1) || fail "mandoc -T lint: $out"
  [ -z "$out" ] || fail "mandoc -T lint: $out"
  checked=1
fi
if command -v groff >/dev/null; then
  out=$(groff -ww -z -man "$page" 2>&1) || fail "groff: $out"
  [ -z "$out" ] || fail "groff -ww: $out"
  checked=1
fi
[ $checked = 1 ] || echo "note: neither mandoc nor groff is installed; the page was not linted"
[ $status = 0 ] && echo "PASS: $(wc -l <<<"$help_options") options in both; page lints clean"
exit $status
