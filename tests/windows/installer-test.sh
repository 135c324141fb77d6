#!/usr/bin/env bash
# The installer in the tests' wine prefix: a silent install into Program
# Files, the installed program's --help and its demo from there (with the
# installed emulated unit), the Start-menu shortcuts, then the uninstaller,
# which must leave nothing behind.
#   installer-test.sh WINE-RUN SETUP.EXE
set -euo pipefail
wine_run=$1
setup=$2
drive_c="$WINEPREFIX/drive_c"
folder="$drive_c/Program Files/Parlotel"
fail() { echo "installer-test: $*" >&2; exit 1; }

rm -rf "$folder"
"$wine_run" "$setup" /S
[ -f "$folder/parlotel.exe" ] || fail "parlotel.exe not installed"
[ -f "$folder/platforms/qwindows.dll" ] || fail "no windows platform plugin"
[ -f "$folder/doc/USER-GUIDE.en.md" ] || fail "no user guide"
[ -f "$folder/platforms/qoffscreen.dll" ] || fail "no offscreen platform plugin: the commands cannot run"
find "$drive_c" -name Parlotel.lnk | grep -q . || fail "no Start-menu shortcut"
demo_link=$(find "$drive_c" -name "Parlotel Demo.lnk" | head -1)
[ -n "$demo_link" ] || fail "no Start-menu shortcut for the demo"
strings -el "$demo_link" | grep -qx -- "--demo" || fail "the demo's shortcut does not start the demo"

# Only the installed folder's DLLs and plugins: no search path of the build.
help=$(WINEPATH= "$wine_run" "$folder/parlotel.exe" --help) || fail "--help failed"
grep -q -- "--export" <<<"$help" || fail "--help does not list --export"
value=$(WINEPATH= QT_PLUGIN_PATH= "$wine_run" "$folder/parlotel.exe" --demo --get 15 --password 1234) \
  || fail "--demo --get 15 failed: exit code $?"
[ "$(tr -d '\r' <<<"$value")" = 2 ] || fail "--demo --get 15 gave '$value', not 2"

"$wine_run" "$folder/uninstall.exe" /S
# The uninstaller copies itself away and runs from there: wait for it to end.
for _ in $(seq 1 60); do
  [ -e "$folder" ] || break
  sleep 1
done
[ ! -e "$folder" ] || fail "left behind: $(find "$folder" | head -5 | tr '\n' ' ')"
! find "$drive_c" -name "Parlotel*.lnk" | grep -q . || fail "shortcut left behind"
echo "installer-test: installed, ran and uninstalled cleanly"
