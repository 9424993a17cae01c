#!/usr/bin/env bash
# Runs a Windows program under Wine the way every test and every run of ours does:
# a private prefix, the Chinese locale (ANSI code page 936), no debug chatter, no
# Mono/Gecko prompts, and an X display (a private Xvfb when none is given).
#
#   wine-run.sh [--prefix DIR] program.exe [args...]
#   wine-run.sh --prefix DIR --stop        stops the prefix's Wine server and Xvfb
# TARN_WINE_DPI=144 (or 192, ...) makes a new prefix scale its screen to that DPI.
set -u
prefix=${WINEPREFIX:-}
if [ "${1:-}" = --prefix ]; then prefix=$2; shift 2; fi
[ -n "$prefix" ] || prefix="$HOME/.wine-tarn"
mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")

export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8

display_file="$prefix.display"   # "<xvfb pid> <display number>"

xvfb_alive() {
  [ -f "$display_file" ] && kill -0 "$(cut -d' ' -f1 "$display_file")" 2>/dev/null
}

server_running() {
  # wineserver keeps its socket in /tmp/.wine-UID/server-DEV-INODE/ while it runs.
  local dev ino
  [ -d "$prefix" ] || return 1
  read -r dev ino < <(stat -c '%d %i' "$prefix")
  [ -S "/tmp/.wine-$(id -u)/server-$(printf '%x' "$dev")-$(printf '%x' "$ino")/socket" ]
}

if [ "${1:-}" = --stop ]; then
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  if xvfb_alive; then kill "$(cut -d' ' -f1 "$display_file")" 2>/dev/null; fi
  rm -f "$display_file"
  exit 0
fi

exec 9>"$prefix.lock"
flock 9

if [ -z "${DISPLAY:-}" ]; then
  if ! xvfb_alive; then
    # A new display: a Wine server started on the old one would draw nowhere.
    server_running && { wineserver -k >/dev/null 2>&1; wineserver -w >/dev/null 2>&1; }
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    setsid Xvfb -displayfd 8 -screen 0 1280x1024x24 -nolisten tcp 8>"$fifo" </dev/null >/dev/null 2>&1 &
    xpid=$!
    read -r -t 20 num <"$fifo"
    rm -f "$fifo"
    echo "$xpid $num" >"$display_file"
  fi
  export DISPLAY=":$(cut -d' ' -f2 "$display_file")"
fi

if [ ! -f "$prefix/.tarn-ready" ]; then
  wineboot -i </dev/null >/dev/null 2>&1
  # Without a window manager every hide of a top-level window waits 2 s unless
  # Wine manages no windows itself.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
  if [ -n "${TARN_WINE_DPI:-}" ]; then
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$TARN_WINE_DPI" /f </dev/null >/dev/null 2>&1
  fi
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  touch "$prefix/.tarn-ready"
fi

if ! server_running; then
  # The first process of a prefix starts Wine's services, which would inherit our
  # stdout and keep a caller waiting on the pipe; start them with a throw-away process.
  wine cmd /c exit </dev/null >/dev/null 2>&1
fi
flock -u 9
exec 9>&-

# Wine processes the program starts on its way (the desktop and tray process, services)
# inherit its Unix stdout and stderr and may outlive it, and a caller that reads them
# through a pipe (ctest) would wait for those too. When stdout is a pipe, the program's
# output goes through a file instead and is passed on once the program has ended.
if [ -p /dev/stdout ]; then
  out=$(mktemp)
  wine "$@" >"$out" 2>&1
  rc=$?
  cat "$out"
  rm -f "$out"
  exit $rc
fi
exec wine "$@"
