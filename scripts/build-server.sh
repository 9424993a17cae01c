#!/usr/bin/env bash
# Builds the account service (a native build with the system compiler) and its tests into
# BUILD_DIR/server (default: build/server).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}/server
cmake -S "$root/server" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARN_WERROR="${TARN_WERROR:-OFF}" "$@" >/dev/null
cmake --build "$build"
