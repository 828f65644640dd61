#!/usr/bin/env bash
# Sets everything up, builds and runs every test: the suite, the suite again under AddressSanitizer
# and UndefinedBehaviorSanitizer, a short fuzzing run of the configuration reader, and the Windows
# build under Wine (scripts/test-windows.sh). TAMEWARDEN_QUICK=1 runs only the plain suite. Each
# stage prints its time when it ends, and a table of the stages closes the run, also a failed one.
set -euo pipefail
cd "$(dirname "$0")/.."

timings=()
current=""
# Notes a stage's wall time (NAME SECONDS [REMARK]).
record() {
  timings+=("$(printf '%-22s %3d min %02d s %s' "$1" $(($2 / 60)) $(($2 % 60)) "${3:-}")")
  echo "=== $1: $(($2 / 60)) min $(($2 % 60)) s"
}
# Runs a stage (NAME COMMAND...) and notes its wall time.
stage() {
  local name=$1 started=$SECONDS
  shift
  current=$name
  echo "=== $name"
  "$@"
  record "$name" $((SECONDS - started))
}
# Starts a stage (NAME COMMAND...) beside the next ones until finish_beside, which waits for it,
# prints its output and notes its time.
beside_name="" beside_pid="" beside_log="" beside_started=0
start_beside() {
  beside_name=$1 beside_log=$(mktemp) beside_started=$SECONDS
  shift
  echo "=== $beside_name (beside the next stage; its output follows when it ends)"
  # A session of its own, so that a failure elsewhere stops all of it.
  setsid "$@" > "$beside_log" 2>&1 &
  beside_pid=$!
}
finish_beside() {
  local status=0
  current=$beside_name
  wait "$beside_pid" || status=$?
  cat "$beside_log"
  rm -f "$beside_log"
  beside_pid=""
  [ "$status" -eq 0 ] || return "$status"
  record "$beside_name" $((SECONDS - beside_started)) "(beside the next stage)"
}
table() {
  local status=$? line
  if [ -n "$beside_pid" ]; then kill -- "-$beside_pid" 2>/dev/null || true; fi
  echo "Stages (wall time):"
  for line in "${timings[@]}"; do echo "  $line"; done
  printf '  %-22s %3d min %02d s\n' total $((SECONDS / 60)) $((SECONDS % 60))
  [ "$status" -eq 0 ] || echo "Failed in the stage: $current" >&2
}
trap table EXIT

stage "packages" scripts/install-deps.sh

jobs=$(nproc)
stage "plain build" bash -c "cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
  cmake --build build -j$jobs"
# Most tests wait: on timers, sockets and child processes. Four per core keep the cores busy.
stage "plain tests" ctest --test-dir build --output-on-failure -j"$((4 * jobs))"

if [ "${TAMEWARDEN_QUICK:-0}" = "1" ]; then
  exit 0
fi

stage "sanitised" scripts/sanitize.sh
stage "fuzz build" scripts/fuzz.sh build
stage "windows build" scripts/test-windows.sh build
# The fuzzer runs on one core for a minute and Wine mostly on one: side by side they fill both.
start_beside "fuzz run" scripts/fuzz.sh run "${TAMEWARDEN_FUZZ_SECONDS:-60}"
stage "windows run" scripts/test-windows.sh run
finish_beside
echo "All tests passed."
