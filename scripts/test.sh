#!/usr/bin/env bash
# Installs what is missing, builds into build/ (and the account service into build/server)
# and runs the tests: the program's under Wine, then the account service's own.
#   scripts/test.sh          every test
#   scripts/test.sh --fast   the fast tier: every test labelled neither e2e nor slow
# TEST_JOBS tests run at a time (default 2); CTEST_ARGS are passed on to ctest.
# TARN_FUZZ_SECONDS=N then runs each fuzz target for N seconds (scripts/fuzz.sh), and
# TARN_SANITIZER=asan|tsan the service's suite under that sanitizer (scripts/sanitize.sh).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
tier=()
if [ "${1:-}" = --fast ]; then tier=(-LE '^(e2e|slow)$'); fi
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
"$root/scripts/build-server.sh"
trap '"$root/scripts/wine-run.sh" --prefix "$build/wineprefix" --stop' EXIT
cd "$build"
ctest --output-on-failure --timeout 600 -j "${TEST_JOBS:-2}" "${tier[@]}" ${CTEST_ARGS:-}
# The account service's own tests (native, no Wine).
cd "$build/server"
ctest --output-on-failure --timeout 300
if [ -n "${TARN_FUZZ_SECONDS:-}" ]; then "$root/scripts/fuzz.sh" "$TARN_FUZZ_SECONDS"; fi
if [ -n "${TARN_SANITIZER:-}" ]; then "$root/scripts/sanitize.sh" "$TARN_SANITIZER"; fi
