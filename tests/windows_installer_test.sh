#!/usr/bin/env bash
# The Windows installer under Wine, from install to uninstall:
#  1. `SETUP /S` installs without a window: the program, README.txt and
#     LICENSE.txt (the same bytes as README.md and LICENSE) and the
#     uninstaller in Program Files\Wayconv, the Start menu shortcut, the
#     Apps & features entry, and "Open with" for each input kind without a
#     default program set;
#  2. the installed program converts a sample to the same bytes as the Linux
#     build;
#  3. `Uninstall.exe /S` removes all of it: the files and the machine's
#     registry are as before the install, and the user's settings stay.
#
# usage: windows_installer_test.sh SETUP_EXE LINUX_WAYCONV SOURCE_DIR
# Runs in the Wine prefix of $WINEPREFIX (made when missing). Exit 0 passed,
# 1 failed, 77 skipped (no Wine).
set -u

setup=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
linux=$(cd "$(dirname "$2")" && pwd -P)/$(basename "$2")
source_dir=$(cd "$3" && pwd -P)
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
[ -x "$wine" ] || { echo "SKIP: no $wine (apt-get install wine64)"; exit 77; }
# No Mono or Gecko prompts, and no menu entries or file types in the Linux
# desktop made from the shortcut and the "Open with" keys.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPREFIX=${WINEPREFIX:-$(dirname "$setup")/wine}

work=$(mktemp -d "${TMPDIR:-/tmp}/wayconv-win-setup.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
wait_for() {  # wait_for SECONDS COMMAND...: until COMMAND succeeds
  local tries=$(($1 * 10))
  shift
  for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.1; done
  return 1
}

drive_c=$WINEPREFIX/drive_c
[ -d "$drive_c" ] || "$wine" wineboot --init >/dev/null 2>&1
folder="$drive_c/Program Files/Wayconv"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Wayconv.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Wayconv'
settings_key='HKCU\Software\Brivex\Wayconv'
query() { "$wine" reg query "$@" 2>/dev/null | tr -d '\r'; }

# What the uninstaller must leave as it was: the files of the prefix (Wine's
# own temporary and log files aside) and the machine's registry. The user's
# settings are there before and must be there after.
files_now() {
  (cd "$drive_c" && find . -path './windows/temp' -prune -o -path './users/*/Temp' -prune -o \
    -path './windows/Installer' -prune -o -print | LC_ALL=C sort)
}
machine_registry_now() {  # the HKLM software keys, as `reg export` writes them
  "$wine" reg export 'HKLM\Software' "C:\\windows\\temp\\machine.reg" /y >/dev/null 2>&1
  iconv -f UTF-16LE -t UTF-8 "$drive_c/windows/temp/machine.reg" | tr -d '\r'
}
"$wine" reg add "$settings_key" /v DoSplit /t REG_DWORD /d 0 /f >/dev/null 2>&1
"$wineserver" -w
files_now >"$work/files.before"
machine_registry_now >"$work/registry.before"
grep -q 'CurrentVersion' "$work/registry.before" || fail "could not export the machine's registry"

echo "== silent install"
start=$(date +%s%N)
"$wine" "$setup" /S
status=$?
"$wineserver" -w
[ "$status" = 0 ] || fail "install: exit status $status"
listing=$(cd "$folder" 2>/dev/null && ls | LC_ALL=C sort | tr '\n' ' ')
[ "$listing" = "LICENSE.txt README.txt Uninstall.exe wayconv.exe " ] ||
  fail "install: Program Files\\Wayconv holds '$listing'"
cmp -s "$folder/README.txt" "$source_dir/README.md" || fail "install: README.txt is not README.md"
cmp -s "$folder/LICENSE.txt" "$source_dir/LICENSE" || fail "install: LICENSE.txt is not LICENSE"
[ -f "$shortcut" ] || fail "install: no Start menu shortcut Wayconv.lnk"
# The shortcut's target, as the link stores it (in its local base path).
grep -aq 'C:\\Program Files\\Wayconv\\wayconv.exe' "$shortcut" 2>/dev/null ||
  fail "install: the shortcut does not point at wayconv.exe"

entry=$(query "$uninstall_key")
expect_value() {  # expect_value NAME TYPE VALUE-PATTERN (a grep -E pattern)
  grep -Eq "^ +$1 +$2 +$3\$" <<<"$entry" || fail "install: Uninstall key: no $1 $2 $3 in: $entry"
}
install_location='C:\\Program Files\\Wayconv'
expect_value DisplayName REG_SZ 'Wayconv'
expect_value DisplayVersion REG_SZ "$(sed -n 's/^project(wayconv VERSION \([0-9.]*\).*/\1/p' \
  "$source_dir/CMakeLists.txt" | sed 's/\./\\./g')"
expect_value Publisher REG_SZ 'The Wayconv authors'
expect_value DisplayIcon REG_SZ "$install_location\\\\wayconv\\.exe,0"
expect_value InstallLocation REG_SZ "$install_location"
expect_value UninstallString REG_SZ "\"$install_location\\\\Uninstall\\.exe\""
expect_value QuietUninstallString REG_SZ "\"$install_location\\\\Uninstall\\.exe\" /S"
expect_value EstimatedSize REG_DWORD '0x[0-9a-f]*[1-9a-f][0-9a-f]*'
for extension in gpx mps plt nmea fit tcx kml kmz geojson igc; do
  query "HKLM\\Software\\Classes\\.$extension\\OpenWithProgids" | grep -q '^ *Wayconv\.Track ' ||
    fail "install: .$extension has no Open with Wayconv"
  # The kind's default program is not ours.
  query "HKLM\\Software\\Classes\\.$extension" /ve | grep -q 'Wayconv' &&
    fail "install: .$extension now opens with Wayconv by default"
done
query 'HKLM\Software\Classes\Wayconv.Track\shell\open\command' /ve |
  grep -Fq '"C:\Program Files\Wayconv\wayconv.exe" "%1"' ||
  fail "install: Wayconv.Track does not open files with the installed program"
echo "   install checks took $((($(date +%s%N) - start) / 1000000)) ms"

echo "== the installed program"
# --no-split on both: the saved settings above say so for the Windows one.
mkdir -p "$work/run"
cp "$source_dir/samples/walk.gpx" "$work/run/"
(cd "$work/run" && HOME=$work/run XDG_CONFIG_HOME=$work/run WAYCONV_ROOT=$work/run \
  "$linux" --batch --no-split --output linux.bin walk.gpx >/dev/null 2>&1)
(cd "$work/run" && "$wine" "C:\\Program Files\\Wayconv\\wayconv.exe" --batch \
  --no-split --output windows.bin walk.gpx >/dev/null 2>&1) || fail "installed program: exit status $?"
[ -s "$work/run/linux.bin" ] || fail "installed program: the Linux build made no track file"
cmp -s "$work/run/linux.bin" "$work/run/windows.bin" ||
  fail "installed program: its track file differs from the Linux build's"

echo "== silent uninstall"
start=$(date +%s%N)
# The uninstaller copies itself to the temporary folder and runs from there,
# so that it can remove itself: wait for its folder to go.
"$wine" "C:\\Program Files\\Wayconv\\Uninstall.exe" /S
status=$?
[ "$status" = 0 ] || fail "uninstall: exit status $status"
wait_for 60 test ! -e "$folder" || fail "uninstall: Program Files\\Wayconv is still there"
"$wineserver" -w
files_now >"$work/files.after"
machine_registry_now >"$work/registry.after"
diff "$work/files.before" "$work/files.after" >"$work/files.diff" ||
  fail "uninstall: files left or removed: $(head -10 "$work/files.diff")"
diff "$work/registry.before" "$work/registry.after" >"$work/registry.diff" ||
  fail "uninstall: machine registry differs: $(head -20 "$work/registry.diff")"
query "$settings_key" | grep -Eq '^ +DoSplit +REG_DWORD +0x0$' ||
  fail "uninstall: the user's settings are gone"
echo "   uninstall checks took $((($(date +%s%N) - start) / 1000000)) ms"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "PASS"
