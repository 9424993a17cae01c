#!/usr/bin/env bash
# Configures and builds everything (program and tests) into BUILD_DIR (default: build).
# Warnings are errors when TARN_WERROR=ON (the CI build).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DTARN_WERROR="${TARN_WERROR:-OFF}" "$@" >/dev/null
cmake --build "$build"
