#!/usr/bin/env bash
# Builds the account service and its whole test suite under one sanitizer and runs the suite:
#   scripts/sanitize.sh asan   AddressSanitizer with UndefinedBehaviorSanitizer (build/server-asan)
#   scripts/sanitize.sh tsan   ThreadSanitizer (build/server-tsan)
# The tests start the service and the operator tool as processes of their own, so a report
# may come from a process whose exit the test does not look at: every sanitized process
# writes its reports into the build folder's sanitizer-reports/, and any report there fails
# the run, whatever ctest said. CTEST_ARGS are passed on to ctest.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
case "${1:-}" in
  asan) sanitizer=address; build=${BUILD_DIR:-$root/build}/server-asan ;;
  tsan) sanitizer=thread; build=${BUILD_DIR:-$root/build}/server-tsan ;;
  *) echo "usage: $0 asan|tsan" >&2; exit 2 ;;
esac
"$root/scripts/install-deps.sh"
cmake -S "$root/server" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_SANITIZE=$sanitizer \
  -DTARN_WERROR="${TARN_WERROR:-OFF}" >/dev/null
cmake --build "$build"

reports=$build/sanitizer-reports
rm -rf "$reports" && mkdir -p "$reports"
suppressions=$root/server/sanitizer-suppressions
common="log_path=$reports/report:print_stacktrace=1"
export ASAN_OPTIONS="$common:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="$common:suppressions=$suppressions/lsan.supp"
export UBSAN_OPTIONS="$common:halt_on_error=0"
export TSAN_OPTIONS="$common:second_deadlock_stack=1:suppressions=$suppressions/tsan.supp"

status=0
(cd "$build" && ctest --output-on-failure --timeout 600 ${CTEST_ARGS:-}) || status=$?
if compgen -G "$reports/report*" >/dev/null; then
  echo "$sanitizer sanitizer reports:" >&2
  cat "$reports"/report* >&2
  status=1
fi
exit $status
