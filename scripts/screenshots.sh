#!/usr/bin/env bash
# Takes screenshots of the main window, the popup, the sign-in dialog and the About box at
# 96, 144 and 192 DPI (or the DPIs given), each in a Wine prefix of its own scaled to that
# DPI, into BUILD_DIR/screenshots/<dpi>-<window>.png. Builds first.
#   scripts/screenshots.sh [dpi...]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/build.sh"
cmake --build "$build" --target dpi_showcase >/dev/null
mkdir -p "$build/screenshots"
for dpi in ${*:-96 144 192}; do
  prefix="$build/wineprefix-dpi$dpi"
  # Makes the prefix (and starts its Wine server) before the first picture.
  TARN_WINE_DPI=$dpi "$root/scripts/wine-run.sh" --prefix "$prefix" cmd /c exit </dev/null >/dev/null 2>&1
  for window in main popup login about; do
    TARN_WINE_DPI=$dpi "$root/scripts/wine-run.sh" --prefix "$prefix" \
      "$build/tests/app/dpi_showcase.exe" "$window" 10000 &
    showcase=$!
    sleep 7  # a picture for people to look at, not a test: a generous wait is enough
    display=":$(cut -d' ' -f2 "$prefix.display")"
    import -display "$display" -window root "$build/screenshots/$dpi-$window.png"
    wait $showcase || true
  done
  "$root/scripts/wine-run.sh" --prefix "$prefix" --stop
done
ls "$build/screenshots"
