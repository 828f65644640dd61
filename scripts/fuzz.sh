#!/usr/bin/env bash
# Builds the configuration fuzzer with clang-14 (libFuzzer, ASan, UBSan) in build-fuzz and runs it
# for SECONDS (default 60) from the seed corpus. Fails on any crash, leak or sanitizer report.
# Usage: fuzz.sh [SECONDS] builds and runs; fuzz.sh build only builds; fuzz.sh run [SECONDS] only
# runs what the last build made.
set -euo pipefail

part=all
case "${1:-}" in build | run) part=$1 && shift ;; esac
seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAMEWARDEN_FUZZ_BUILD_DIR:-$root/build-fuzz}"

if [ "$part" != run ]; then
  mkdir -p "$build"
  # Line tables only (-g1): a crash's stack keeps its files and lines. The libraries as unity files,
  # as in the sanitised stage.
  CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_UNITY_BUILD=ON \
    -DTAMEWARDEN_FUZZ=ON -DTAMEWARDEN_SANITIZE=ON -DTAMEWARDEN_TESTS=OFF \
    -DTAMEWARDEN_BENCHMARKS=OFF > "$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
  cmake --build "$build" --target config_fuzz -j2
fi
[ "$part" != build ] || exit 0

# New inputs go to a scratch folder; the committed seeds stay as they are.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
"$build/fuzz/config_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len=4096 -artifact_prefix="$build/" -print_final_stats=1 "$work" "$root/fuzz/corpus"
