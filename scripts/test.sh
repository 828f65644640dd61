#!/usr/bin/env bash
# Sets everything up, builds and runs every test: the suite, the suite again under AddressSanitizer
# and UndefinedBehaviorSanitizer, a short fuzzing run of the configuration reader, and the Windows
# build under Wine (scripts/test-windows.sh). TAMEWARDEN_QUICK=1 runs only the plain suite.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

if [ "${TAMEWARDEN_QUICK:-0}" = "1" ]; then
  exit 0
fi

[ -x scripts/sanitize.sh ] && scripts/sanitize.sh
[ -x scripts/fuzz.sh ] && scripts/fuzz.sh "${TAMEWARDEN_FUZZ_SECONDS:-60}"
scripts/test-windows.sh
echo "All tests passed."
