#!/usr/bin/env bash
# Compares the benchmarks of a revision with the working tree's on this machine: builds both in a
# temporary folder, runs them alternately three times each and prints, per benchmark, the two
# medians of the real time and their ratio (working tree over revision), marking a ratio over 1.25.
# Timings on a shared machine are no pass/fail signal: this is for reading, not for CI.
#
#   scripts/bench-compare.sh REV [PROGRAM...]     e.g. scripts/bench-compare.sh main audit_bench
#   BENCH_FILTER=REGEX narrows the benchmarks within each program (--benchmark_filter).
set -euo pipefail
cd "$(dirname "$0")/.."

rev=${1:?usage: scripts/bench-compare.sh REV [PROGRAM...]}
shift
commit=$(git rev-parse --verify "$rev^{commit}")
runs=3
work=$(mktemp -d /tmp/bench-compare.XXXXXX)
trap 'rm -rf "$work"' EXIT

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

# The benchmark programs a source tree declares.
programs_of() { grep -o 'tamewarden_benchmark([a-z_]*' "$1/bench/CMakeLists.txt" | cut -d'(' -f2; }

# build SIDE SOURCE: the wanted benchmark programs in $work/SIDE; a program it lacks is skipped.
build() {
  local side=$1 source=$2
  echo "building the benchmarks of $side" >&2
  cmake -S "$source" -B "$work/$side" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMEWARDEN_TESTS=OFF \
    "${launcher[@]}" >"$work/$side.log" 2>&1
  local program
  for program in $(programs_of "$source" | grep -Fxf <(printf '%s\n' "${wanted[@]}")); do
    cmake --build "$work/$side" -j2 --target "$program" >>"$work/$side.log" 2>&1 ||
      { echo "$side: $program does not build, see its log" >&2; tail -20 "$work/$side.log" >&2; exit 1; }
  done
}

mkdir "$work/rev-source"
git archive "$commit" | tar -x -C "$work/rev-source"
if [ $# -gt 0 ]; then
  wanted=("$@")
else
  mapfile -t wanted < <( (programs_of "$work/rev-source"; programs_of .) | sort -u)
fi
# Paths relative to the temporary folder let the compiler cache serve a later run for REV.
CCACHE_BASEDIR="$work" build rev "$work/rev-source"
build tree .

# One line per benchmark and run: side, name, real time in nanoseconds.
for run in $(seq "$runs"); do
  for side in rev tree; do
    for program in "${wanted[@]}"; do
      binary="$work/$side/bench/$program"
      [ -x "$binary" ] || continue
      echo "run $run of $runs: $side $program" >&2
      # JSON, one field per line: the CSV reporter aborts when a program's benchmarks report
      # different counters, as journal_bench's do.
      "$binary" --benchmark_format=json --benchmark_filter="${BENCH_FILTER:-.}" 2>/dev/null |
        awk -v side="$side" '
          /^ *"name": / { name = $0; sub(/^ *"name": "/, "", name); sub(/",?$/, "", name) }
          /^ *"real_time": / { time = $2; sub(/,$/, "", time) }
          /^ *"time_unit": / {
            unit = $2; gsub(/[",]/, "", unit)
            if (name ~ /_(stddev|cv)$/) next
            scale = (unit == "ms") ? 1e6 : (unit == "us") ? 1e3 : (unit == "s") ? 1e9 : 1
            print side, name, time * scale
          }'
    done
  done
done >"$work/times"

awk -v rev="$rev" '
  function median(list,   values, count, i, j, swap) {
    count = split(list, values, " ")
    for (i = 1; i <= count; i++)
      for (j = i + 1; j <= count; j++)
        if (values[j] + 0 < values[i] + 0) { swap = values[i]; values[i] = values[j]; values[j] = swap }
    return values[int((count + 1) / 2)]
  }
  function shown(nanoseconds) {
    if (nanoseconds >= 1e6) return sprintf("%.2f ms", nanoseconds / 1e6)
    if (nanoseconds >= 1e3) return sprintf("%.2f us", nanoseconds / 1e3)
    return sprintf("%.1f ns", nanoseconds)
  }
  {
    if (!(($2) in order)) { order[$2] = ++names; byOrder[names] = $2 }
    times[$1, $2] = times[$1, $2] " " $3
  }
  END {
    printf "%-52s %14s %14s %7s\n", "benchmark (median real time of 3)", rev, "working tree", "ratio"
    for (i = 1; i <= names; i++) {
      name = byOrder[i]
      hasRev = (("rev", name) in times); hasTree = (("tree", name) in times)
      if (!hasRev) { printf "%-52s %14s %14s\n", name, "none", shown(median(times["tree", name])); continue }
      if (!hasTree) { printf "%-52s %14s %14s\n", name, shown(median(times["rev", name])), "none"; continue }
      before = median(times["rev", name]); after = median(times["tree", name])
      ratio = before > 0 ? after / before : 0
      printf "%-52s %14s %14s %7.2f%s\n", name, shown(before), shown(after), ratio,
             (ratio > 1.25 ? "  slower" : "")
    }
  }' "$work/times"
