#!/usr/bin/env bash
# Builds the plugin, the stand-in host, the server and the tests with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan and runs the whole ctest suite. Fails on a failing test
# and on any sanitizer report, also one from a child process whose exit code a test ignores.
# Prints the time of the build and of the tests.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAMEWARDEN_ASAN_BUILD_DIR:-$root/build-asan}"
reports="$build/sanitizer-reports"

# Benchmarks stay out: the memory benchmark replaces malloc, which the sanitizers own. -Og and
# line tables only (-g1): the reports' stacks keep their files and lines, and the build takes far
# less than with -O2 and full debug information, which nobody reads here (and a sixth less than
# with -O1, for code that also runs faster sanitised). Every target is built from unity files,
# which parse the heavy headers once per batch; the plain build stays file by file, so it still
# checks that each file includes what it uses.
build_started=$SECONDS
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMEWARDEN_SANITIZE=ON \
  -DTAMEWARDEN_BENCHMARKS=OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-Og -g1 -DNDEBUG" \
  -DCMAKE_UNITY_BUILD=ON
cmake --build "$build" -j2
build_seconds=$((SECONDS - build_started))

rm -rf "$reports"
mkdir -p "$reports"
# Every sanitised process, tests and the servers they start, writes its reports to files here
# as well as stopping at the first one.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:log_path=$reports/asan"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan"
export LSAN_OPTIONS="log_path=$reports/lsan"

tests_started=$SECONDS
status=0
# Four per core, as in the plain stage: most tests wait on timers, sockets and child processes.
ctest --test-dir "$build" --output-on-failure -j$((4 * $(nproc))) || status=$?

if compgen -G "$reports/*" > /dev/null; then
  echo "Sanitizer reports:" >&2
  for report in "$reports"/*; do
    echo "== $report" >&2
    cat "$report" >&2
  done
  status=1
fi
echo "Sanitised stage: build ${build_seconds} s, tests $((SECONDS - tests_started)) s"
exit "$status"
