#!/usr/bin/env bash
# Times `kestrun-cli parse` on a synthetic driver log next to `grep -c -F Protocol`, the cost of a
# plain scan of the same file, and reports peak memory against the file's size.
#
#   bench/parse_bench.sh [SIZE_MB]        (default 200)
#
# Uses the build in $KESTRUN_BUILD_DIR (default build/); the log is generated once and kept under
# $KESTRUN_BENCH_DATA (default <build>/bench-data). Each figure is the best of three runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTRUN_BUILD_DIR:-$root/build}
size_mb=${1:-200}
cli=$build/src/cli/kestrun-cli
data=${KESTRUN_BENCH_DATA:-$build/bench-data}
log=$data/driver-${size_mb}mb.log

[ -x "$cli" ] || { echo "no $cli; build first (scripts/build.sh)" >&2; exit 1; }
mkdir -p "$data"
if [ ! -f "$log" ]; then
  echo "generating $log ..."
  python3 "$root/bench/gen_log.py" "$size_mb" "$log.tmp"
  mv "$log.tmp" "$log"
fi
cat "$log" > /dev/null # into the page cache, so every run reads from memory

stats=$(mktemp)
counted=$(mktemp)
trap 'rm -f "$stats" "$counted"' EXIT

# best_of3 OUT CMD...: prints "SECONDS PEAK_KB" of the fastest of three runs, output sent to OUT
best_of3() {
  local out=$1 best="" best_kb=0 secs kb
  shift
  for _ in 1 2 3; do
    /usr/bin/time -f "%e %M" -o "$stats" "$@" > "$out" || true
    read -r secs kb < <(tail -n 1 "$stats")
    if [ -z "$best" ] || awk -v a="$secs" -v b="$best" 'BEGIN { exit !(a < b) }'; then
      best=$secs
      best_kb=$kb
    fi
  done
  echo "$best $best_kb"
}

bytes=$(stat -c %s "$log")
file_mb=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }')
records=$("$cli" parse --count "$log")

report() { # NAME SECONDS PEAK_KB GREP_SECONDS
  awk -v name="$1" -v s="$2" -v kb="$3" -v g="$4" -v mb="$file_mb" 'BEGIN {
    rate = s > 0 ? mb / s : 0
    printf "%-28s %7.2f s  %7.0f MB/s  %5.2fx grep  peak %6.1f MB (%.2f of file)\n", name, s, rate, (g > 0 ? s / g : 0), kb / 1024, kb / 1024 / mb }'
}

# grep stops at the first match when its output is /dev/null, so its count goes to a file.
read -r grep_s grep_kb < <(best_of3 "$counted" grep -c -F Protocol "$log")
read -r json_s json_kb < <(best_of3 /dev/null "$cli" parse "$log")
read -r count_s count_kb < <(best_of3 /dev/null "$cli" parse --count "$log")

echo "log: $log ($file_mb MB, $records records)"
report "grep -c -F Protocol" "$grep_s" "$grep_kb" "$grep_s"
report "kestrun-cli parse" "$json_s" "$json_kb" "$grep_s"
report "kestrun-cli parse --count" "$count_s" "$count_kb" "$grep_s"
