#!/usr/bin/env bash
# Runs the same benchmarks from two build trees and prints their figures side by side:
#   bench-table.sh <normal build> <glibc 2.17 build> <its sysroot> <benchmark...>
# The normal build's programs run on the machine's glibc; the glibc 2.17 build's run there too,
# and again under the sysroot's loader. Each benchmark runs MOCAP_BENCH_RUNS (3) times in each
# column, the columns taking turns, and each figure is the best of its runs, so that a moment
# when other work holds the cores spoils no column alone. Each column's change is against the
# normal build, signed so that a minus is always worse. tools/run-tests.sh bench builds both
# and calls this.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 4 ] || {
  echo "usage: $0 <normal build> <glibc 2.17 build> <sysroot> <benchmark...>" >&2
  exit 2
}
normal=$1 old=$2 sysroot=$3
shift 3

# The figures read from each benchmark's output: benchmark|label|line (awk pattern)|which number
# on that line|whether higher or lower is better. A number is a word of digits, after any
# leading "(" and trailing ",;:%)" are dropped.
figures='bvhParseBench|parse, MiB/s wall|^parse |1|higher
bvhParseBench|parse, MiB/s CPU|^parse |2|higher
bvhParseBench|floor, MiB/s CPU|^floor |2|higher
bvhParseBench|peak heap, MiB|^peak heap|1|lower
bvhParseBench|1k frames, ms/MiB CPU|^ *1k frames|3|lower
bvhParseBench|100k frames, ms/MiB CPU|^ *100k frames|3|lower
bvhImportBench|parse, s CPU|^parse |1|lower
bvhImportBench|import, s CPU|^import |1|lower
bvhImportBench|import, s wall|^import |2|lower
bvhImportBench|keys/s, million|^keys\/s|1|higher
bvhImportBench|peak heap, MB|^peak heap|1|lower
streamBench|throughput plain, frames/s|^throughput plain|1|higher
streamBench|throughput compressed, frames/s|^throughput compressed|1|higher
streamBench|latency send->copyFrame median, us|^latency|1|lower
streamBench|latency send->copyFrame p99, us|^latency|2|lower
streamBench|idle, open, % of a core|^idle.*open|1|lower
streamBench|disconnect, blocked receive, ms|^disconnect.*blocked|1|lower
streamBench|copyFrame under a flood p99.9, us|^copyFrame|2|lower
pluginBench|CPU live node, no frames, %|no frames|1|lower
pluginBench|latency 120 frames/s median, ms|^latency.* 120 frames|5|lower
pluginBench|latency 120 frames/s p99, ms|^latency.* 120 frames|6|lower
pluginBench|CPU live node, 120 frames/s, %|^CPU.*120 frames|3|lower
pluginBench|latency 240 frames/s median, ms|^latency.* 240 frames/s:|5|lower
pluginBench|latency 240 frames/s p99, ms|^latency.* 240 frames/s:|6|lower
pluginBench|CPU reconnecting, server gone, %|^reconnecting, server gone|1|lower'

times=${MOCAP_BENCH_RUNS:-3}
runs=$(mktemp -d)
trap 'rm -rf "$runs"' EXIT
for ((run = 1; run <= times; run++)); do
  for bench in "$@"; do
    echo "run $run of $times: $bench from $normal, $old, $old under glibc 2.17" >&2
    "$normal/bench/$bench" >"$runs/$bench.normal.$run"
    "$old/bench/$bench" >"$runs/$bench.old.$run"
    tools/glibc217-run.sh "$sysroot" "$old/bench/$bench" >"$runs/$bench.old217.$run"
  done
done

# The best of a column's runs for one figure: figure <column> <pattern> <index> <better>.
figure() {
  local column=$1 pattern=$2 index=$3 better=$4
  awk -v pattern="$pattern" -v index_="$index" -v better="$better" '
    FNR == 1 { done = 0 }
    $0 ~ pattern && !done {
      n = 0
      for (i = 1; i <= NF; i++) {
        word = $i
        sub(/^\(/, "", word)
        sub(/[,;:%)]+$/, "", word)
        if (word ~ /^-?[0-9]+(\.[0-9]+)?$/ && ++n == index_) {
          if (best == "" || (better == "higher" ? word + 0 > best + 0 : word + 0 < best + 0)) {
            best = word
          }
          done = 1
          break
        }
      }
    }
    END { print best }' "$runs/$column".*
}

change() {
  local base=$1 value=$2 better=$3
  awk -v b="$base" -v v="$value" -v better="$better" 'BEGIN {
    if (b == "" || v == "" || b + 0 == 0) { print "-"; exit }
    c = (v - b) / b * 100
    if (better == "lower") c = -c
    printf "%+.0f%%", c
  }'
}

# "GNU 12.2.0", from what CMake found.
compiler=$(sed -n 's/^set(CMAKE_CXX_COMPILER_\(ID\|VERSION\) "\(.*\)")$/\2/p' \
  "$normal"/CMakeFiles/*/CMakeCXXCompiler.cmake 2>/dev/null | paste -sd ' ' || true)
glibc=$(getconf GNU_LIBC_VERSION | awk '{print $2}')
printf '%-42s %12s %20s %20s\n' "" "${compiler:-$normal}" "clang/libc++" "clang/libc++"
printf '%-42s %12s %20s %20s\n' "" "glibc $glibc" "glibc $glibc" "glibc 2.17"
echo "best of $times runs each"
last=""
while IFS='|' read -r bench label pattern index better; do
  [ -f "$runs/$bench.normal.1" ] || continue
  if [ "$bench" != "$last" ]; then
    echo "$bench"
    last=$bench
  fi
  base=$(figure "$bench.normal" "$pattern" "$index" "$better")
  new=$(figure "$bench.old" "$pattern" "$index" "$better")
  new217=$(figure "$bench.old217" "$pattern" "$index" "$better")
  printf '  %-40s %12s %12s %7s %12s %7s\n' "$label" "${base:-?}" "${new:-?}" \
    "$(change "$base" "$new" "$better")" "${new217:-?}" "$(change "$base" "$new217" "$better")"
done <<<"$figures"
