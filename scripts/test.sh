#!/usr/bin/env bash
# Installs what is missing, builds from scratch into build/ and runs every test under Wine,
# then the account service's tests.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
"$root/scripts/build-server.sh"
trap '"$root/scripts/wine-run.sh" --prefix "$build/wineprefix" --stop' EXIT
cd "$build"
ctest --output-on-failure --timeout 600 ${CTEST_ARGS:-}
# The account service's own tests (native, no Wine).
cd "$build/server"
ctest --output-on-failure --timeout 300
