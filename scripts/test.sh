#!/usr/bin/env bash
# Sets everything up, builds and runs every test: the suite, the suite again under AddressSanitizer
# and UndefinedBehaviorSanitizer, a short fuzzing run of the configuration reader, and the Windows
# build under Wine (scripts/test-windows.sh). TAMEWARDEN_QUICK=1 runs only the plain suite. Each
# stage prints its time when it ends, and a table of the stages closes the run, also a failed one.
set -euo pipefail
cd "$(dirname "$0")/.."

timings=()
current=""
# Runs a stage (NAME COMMAND...) and notes its wall time.
stage() {
  local name=$1 started=$SECONDS
  shift
  current=$name
  echo "=== $name"
  "$@"
  local took=$((SECONDS - started))
  timings+=("$(printf '%-22s %3d min %02d s' "$name" $((took / 60)) $((took % 60)))")
  echo "=== $name: $((took / 60)) min $((took % 60)) s"
}
table() {
  local status=$? line
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
stage "plain tests" ctest --test-dir build --output-on-failure -j"$jobs"

if [ "${TAMEWARDEN_QUICK:-0}" = "1" ]; then
  exit 0
fi

stage "sanitised" scripts/sanitize.sh
stage "fuzz" scripts/fuzz.sh "${TAMEWARDEN_FUZZ_SECONDS:-60}"
stage "windows" scripts/test-windows.sh
echo "All tests passed."
