#!/usr/bin/env bash
# Builds the plugin, the stand-in host, the server and the tests with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan and runs the whole ctest suite. Fails on a failing test
# and on any sanitizer report, also one from a child process whose exit code a test ignores.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAMEWARDEN_ASAN_BUILD_DIR:-$root/build-asan}"
reports="$build/sanitizer-reports"

# Benchmarks stay out: the memory benchmark replaces malloc, which the sanitizers own.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMEWARDEN_SANITIZE=ON \
  -DTAMEWARDEN_BENCHMARKS=OFF
cmake --build "$build" -j2

rm -rf "$reports"
mkdir -p "$reports"
# Every sanitised process, tests and the servers they start, writes its reports to files here
# as well as stopping at the first one.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:log_path=$reports/asan"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan"
export LSAN_OPTIONS="log_path=$reports/lsan"

status=0
ctest --test-dir "$build" --output-on-failure -j2 || status=$?

if compgen -G "$reports/*" > /dev/null; then
  echo "Sanitizer reports:" >&2
  for report in "$reports"/*; do
    echo "== $report" >&2
    cat "$report" >&2
  done
  status=1
fi
exit "$status"
