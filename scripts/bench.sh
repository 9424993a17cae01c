#!/usr/bin/env bash
# Installs what is missing, builds the benchmark program and the program into BUILD_DIR
# (default: build-bench), runs the benchmark under Wine and prints its table.
#   scripts/bench.sh [--long [minutes]] [checks]
# The build points the account service at a closed port of 127.0.0.1, so the program's own
# service requests never leave the machine while it is measured.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DTARN_SERVICE_HOST=127.0.0.1 -DTARN_SERVICE_PORT=9 >/dev/null
cmake --build "$build" --target tarn_bench TarnSiteMonitor
trap '"$root/scripts/wine-run.sh" --prefix "$build/wineprefix" --stop' EXIT
"$root/scripts/wine-run.sh" --prefix "$build/wineprefix" "$build/bench/tarn_bench.exe" "$@"
