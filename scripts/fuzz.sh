#!/usr/bin/env bash
# Builds the account service's fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) into build/server-fuzz and runs each for SECONDS (default 60),
# starting from the committed seeds and the inputs that once broke a reader:
#   scripts/fuzz.sh [SECONDS]
# Inputs that reach new code are kept in build/server-fuzz/corpus (not committed); an input
# that breaks a reader is written to build/server-fuzz/crashes. Copy it into
# server/fuzz/regressions/NAME once the reader is mended: the ordinary tests replay it.
# Ends with one line per target (runs and result) and fails when any target found something.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${BUILD_DIR:-$root/build}/server-fuzz
fuzz=$root/server/fuzz
"$root/scripts/install-deps.sh"
cmake -S "$root/server" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++-14 -DTARN_WERROR="${TARN_WERROR:-OFF}" >/dev/null
cmake --build "$build"

# The longest input worth trying: a whole request for the HTTP head (past its limits),
# a few kilobytes for the rest.
max_len() {
  case $1 in
    http_head) echo 12000 ;;
    *) echo 4096 ;;
  esac
}

export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$build/crashes" "$build/logs"
summary=""
status=0
# A build without targets is a failure, not a loop over the unmatched pattern (which once
# made a regression folder named "*").
shopt -s nullglob
targets=("$build"/fuzz/*_fuzzer)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets in $build/fuzz" >&2
  exit 1
fi
for target in "${targets[@]}"; do
  name=$(basename "$target" _fuzzer)
  corpus=$build/corpus/$name
  mkdir -p "$corpus" "$fuzz/regressions/$name"
  log=$build/logs/$name.log
  result=ok
  "$target" -max_total_time="$seconds" -max_len="$(max_len "$name")" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/crashes/$name-" \
    "$corpus" "$fuzz/corpus/$name" "$fuzz/regressions/$name" >"$log" 2>&1 || { result=FAILED; status=1; }
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if [ "$result" != ok ]; then tail -40 "$log" >&2; fi
  summary+=$(printf '%-14s %10s runs in %ss  %s' "$name" "${runs:-?}" "$seconds" "$result")$'\n'
done
printf '%s' "$summary"
exit $status
