#!/usr/bin/env bash
# Installs what is missing, builds everything and starts the program under Wine.
# With a DISPLAY the window opens there; without one it runs on a private virtual
# display and a screenshot is written (its path is printed) a few seconds after start.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
exe="$build/src/app/TarnSiteMonitor.exe"
if [ ! -f "$exe" ]; then
  echo "Built into $build (no program executable yet):"
  find "$build" -name '*.exe' -not -path '*/wineprefix/*' | sed 's/^/  /'
  exit 0
fi
echo "Built $exe"
if [ -n "${DISPLAY:-}" ]; then
  exec "$root/scripts/wine-run.sh" --prefix "$build/wineprefix" "$exe"
fi
shot="$build/screenshot.png"
"$root/scripts/wine-run.sh" --prefix "$build/wineprefix" "$exe" &
pid=$!
sleep "${SCREENSHOT_DELAY:-6}"
display=":$(cut -d' ' -f2 "$build/wineprefix.display")"
import -display "$display" -window root "$shot" && echo "Screenshot: $shot"
echo "The program runs on the virtual display $display; press Ctrl+C to end it."
trap '"$root/scripts/wine-run.sh" --prefix "$build/wineprefix" --stop' EXIT
wait $pid
