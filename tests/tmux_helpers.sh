# Helpers of the tmux end-to-end tests, sourced by them after they set
# $work (the test's folder), $files (where wayconv starts), $bin, the tmux
# command array T and locale_env. Each check fails the whole test at once,
# showing the pane it was looking at.
failures=0
current_target=
fail() {
  echo "FAIL: $*"
  if [ -n "$current_target" ]; then
    echo "--- screen of $current_target:"
    "${T[@]}" capture-pane -p -t "$current_target" 2>/dev/null
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

screen() { "${T[@]}" capture-pane -p -t "$1"; }
rows() { screen "$1" | sed -n "$(($2 + 1)),$(($3 + 1))p"; } # target, first row, last row
line() { rows "$1" "$2" "$2"; }
line_of() { printf '%s\n' "$1" | sed -n "$(($2 + 1))p"; } # a captured screen's row

past_deadline() { [ "$SECONDS" -ge "$overall_seconds" ]; }

# Polls the pane until `text` shows (or, with wait_gone, no longer shows).
wait_for() {
  local target=$1 text=$2 end=$((SECONDS + wait_seconds)) now
  current_target=$target
  while :; do
    now=$(screen "$target")
    case $now in *"$text"*) return 0 ;; esac
    if [ "$(pane "$target" '#{pane_dead}')" = 1 ]; then fail "the program ended waiting for '$text'"; fi
    if [ "$SECONDS" -ge "$end" ] || past_deadline; then fail "timed out waiting for '$text'"; fi
    sleep 0.05
  done
}
wait_gone() {
  local target=$1 text=$2 end=$((SECONDS + wait_seconds)) now
  current_target=$target
  while :; do
    now=$(screen "$target")
    case $now in *"$text"*) ;; *) return 0 ;; esac
    if [ "$SECONDS" -ge "$end" ] || past_deadline; then fail "timed out waiting for '$text' to go"; fi
    sleep 0.05
  done
}
wait_file() {
  local file=$1 end=$((SECONDS + wait_seconds))
  while [ ! -s "$file" ]; do
    if [ "$SECONDS" -ge "$end" ] || past_deadline; then fail "timed out waiting for $file"; fi
    sleep 0.05
  done
}

# Runs wayconv with `args` in a new tmux window called `name` (in the files
# folder); its standard error goes to $work/name.err, its exit status to
# $work/name.rc.
start() {
  local name=$1
  shift
  local command="ulimit -c 0; env"
  local word
  for word in "${locale_env[@]}" "$bin" "$@"; do command+=" $(printf '%q' "$word")"; done
  command+=" 2>$(printf '%q' "$work/$name.err"); echo \$? >$(printf '%q' "$work/$name.rc")"
  rm -f "$work/$name.rc" "$work/$name.err"
  if "${T[@]}" has-session -t e2e 2>/dev/null; then
    "${T[@]}" new-window -d -t e2e: -n "$name" -c "$files" "$command"
  else
    "${T[@]}" new-session -d -s e2e -n "$name" -x 80 -y 24 -c "$files" "$command"
  fi
  current_target=e2e:$name
}
keys() { "${T[@]}" send-keys -t "$1" "${@:2}"; }
text() { "${T[@]}" send-keys -t "$1" -l "$2"; }
# A left click at a cell (0-based), as an xterm reports it: press, release.
click() {
  local x y
  x=$(printf '%x' $(($2 + 33)))
  y=$(printf '%x' $(($3 + 33)))
  "${T[@]}" send-keys -t "$1" -H 1b 5b 4d 20 "$x" "$y" 1b 5b 4d 23 "$x" "$y"
}
pid_in() { pgrep -x wayconv -P "$("${T[@]}" display -p -t "$1" '#{pane_pid}')"; }
pane() { "${T[@]}" display -p -t "$1" "$2"; }
same() { [ "$1" = "$2" ] || { echo "expected: [$2]"; echo "got:      [$1]"; return 1; }; }

# Runs a command until it prints `expected`: the pane is drawn (and its
# flags set) a moment after the program acts.
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
    sleep 0.05
  done
}

# SGR (1006) mouse reports, as a terminal sends them once the program asked
# for them; they carry any column. Cells are 0-based here.
sgr() { "${T[@]}" send-keys -t "$1" -l "$2"; }
sgr_press_release() { printf '\033[<0;%d;%dM\033[<0;%d;%dm' $(($1 + 1)) $(($2 + 1)) $(($1 + 1)) $(($2 + 1)); }
sgr_click() { sgr "$1" "$(sgr_press_release "$2" "$3")"; }
sgr_double_click() { sgr "$1" "$(sgr_press_release "$2" "$3")$(sgr_press_release "$2" "$3")"; }
sgr_wheel() { # target, column, row, up|down
  local button=64
  [ "$4" = down ] && button=65
  sgr "$1" "$(printf '\033[<%d;%d;%dM' "$button" $(($2 + 1)) $(($3 + 1)))"
}
# The text shown in reverse video on a row (the list's cursor).
reversed() {
  "${T[@]}" capture-pane -p -e -t "$1" | sed -n "$(($2 + 1))p" |
    sed -n 's/.*\x1b\[7m\([^\x1b]*\).*/\1/p'
}
