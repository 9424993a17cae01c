#!/usr/bin/env bash
# Installs the program silently into a fresh Wine prefix of its own, checks the files, the
# Start-menu shortcut and the uninstall entry, starts the installed program and waits for
# its window, closes it, uninstalls silently and checks that everything installed is gone
# while the user's data folder stays.
#   installer_test.sh <setup.exe> <prefix> <version>
set -u
setup=$1
prefix=$2
version=$3
wine_run="$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-run.sh"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\TarnSiteMonitor'
title='禾岚网站监控'

run() { "$wine_run" --prefix "$prefix" "$@"; }
fail() { echo "FAIL: $*"; exit 1; }
# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local limit=$(($(date +%s) + $1))
  shift
  until "$@"; do
    [ "$(date +%s)" -lt "$limit" ] || return 1
    sleep 0.2
  done
}
windows_path_to_unix() { WINEPREFIX="$prefix" winepath -u "$1" 2>/dev/null; }
windows_folder_of() { run cmd /c echo "%$1%" </dev/null | tr -d '\r'; }
folder_of() { windows_path_to_unix "$(windows_folder_of "$1")"; }

run --stop >/dev/null 2>&1
rm -rf "$prefix"
trap 'run --stop >/dev/null 2>&1; rm -rf "$prefix"' EXIT

# The user's data from an earlier install: must survive the uninstall.
appdata=$(folder_of APPDATA)
localappdata=$(folder_of LOCALAPPDATA)
[ -d "$appdata" ] && [ -d "$localappdata" ] || fail "no application-data folders in the prefix"
data="$appdata/TarnSiteMonitor"
mkdir -p "$data"
printf 'http://127.0.0.1:9/\r\n' >"$data/site.txt"

run "$setup" /S </dev/null >/dev/null 2>&1 || fail "the installer failed"
installed="$localappdata/Programs/TarnSiteMonitor"
shortcut="$appdata/Microsoft/Windows/Start Menu/Programs/$title.lnk"
[ -f "$installed/TarnSiteMonitor.exe" ] || fail "program not installed in $installed"
[ -f "$installed/uninstall.exe" ] || fail "no uninstaller"
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
# reg.exe writes to a pipe in the ANSI code page (936 in our locale).
entry=$(run reg query "$key" </dev/null 2>/dev/null | iconv -f GBK -t UTF-8 | tr -d '\r')
for value in "DisplayName.*$title" "DisplayVersion.*$version" "DisplayIcon.*TarnSiteMonitor.exe" \
             "UninstallString.*uninstall.exe" "Publisher.*禾岚软件"; do
  echo "$entry" | grep -q "$value" || fail "uninstall entry lacks $value: $entry"
done

# The installed program starts and shows its main window; closing it saves its settings.
# The packaged build is the test build, which keeps its data where the test says: here the
# prefix's own application-data folder, as the program built for users does.
TARN_TEST_DATA_FOLDER=$(windows_folder_of APPDATA) run "$installed/TarnSiteMonitor.exe" </dev/null >/dev/null 2>&1 &
program=$!
display=":$(cut -d' ' -f2 "$prefix.display")"
main_window_shown() { DISPLAY=$display xdotool search --onlyvisible --name "^$title\$" >/dev/null 2>&1; }
wait_for 60 main_window_shown || fail "the installed program showed no window"
run taskkill /im TarnSiteMonitor.exe </dev/null >/dev/null 2>&1
wait_for 30 eval '! kill -0 $program 2>/dev/null' || fail "the program did not close"
[ -f "$data/Config.dat" ] || fail "the program wrote no settings"

# The uninstaller copies itself to the temporary folder and returns at once: wait for
# what it removes.
run "$installed/uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "the uninstaller failed"
wait_for 60 eval '[ ! -e "$installed" ]' || fail "program folder left behind: $(ls "$installed")"
wait_for 10 eval '[ ! -e "$shortcut" ]' || fail "Start-menu shortcut left behind"
if run reg query "$key" </dev/null >/dev/null 2>&1; then fail "uninstall entry left behind"; fi
[ -f "$data/site.txt" ] && [ -f "$data/Config.dat" ] || fail "the uninstaller removed the user's data"
echo "installer test passed"
