#!/usr/bin/env bash
# Times `kestrun-cli list --json` (every row's cells, summary included) against `kestrun-cli parse`
# on the same synthetic driver log, and checks that the list costs at most twice the parse.
#
#   bench/list_bench.sh [SIZE_MB]        (default 200)
#
# Uses the build in $KESTRUN_BUILD_DIR (default build/) and the log that bench/gen_log.py writes
# under $KESTRUN_BENCH_DATA (default <build>/bench-data), shared with parse_bench.sh.
# Each figure is the best of three runs; exit status 1 when the ratio is above 2.
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
trap 'rm -f "$stats"' EXIT

# best_of3 CMD...: prints "SECONDS PEAK_KB" of the fastest of three runs; fails when the command does
best_of3() {
  local best="" best_kb=0 secs kb
  for _ in 1 2 3; do
    /usr/bin/time -f "%e %M" -o "$stats" "$@" > /dev/null
    read -r secs kb < <(tail -n 1 "$stats")
    if [ -z "$best" ] || awk -v a="$secs" -v b="$best" 'BEGIN { exit !(a < b) }'; then
      best=$secs
      best_kb=$kb
    fi
  done
  echo "$best $best_kb"
}

read -r parse_s parse_kb < <(best_of3 "$cli" parse "$log")
read -r list_s list_kb < <(best_of3 "$cli" list --json "$log")
rows=$("$cli" parse --count "$log")

echo "log: $log ($(awk -v b="$(stat -c %s "$log")" 'BEGIN { printf "%.1f", b / 1048576 }') MB, $rows commands)"
printf "%-26s %7.2f s  peak %6.1f MB\n" "kestrun-cli parse" "$parse_s" "$(awk -v k="$parse_kb" 'BEGIN { print k / 1024 }')"
printf "%-26s %7.2f s  peak %6.1f MB\n" "kestrun-cli list --json" "$list_s" "$(awk -v k="$list_kb" 'BEGIN { print k / 1024 }')"
awk -v l="$list_s" -v p="$parse_s" -v n="$rows" 'BEGIN {
  ratio = p > 0 ? l / p : 0
  printf "list / parse: %.2fx (limit 2.00x); rows beyond parsing: %.2f us per row\n", ratio, (n > 0 ? (l - p) * 1e6 / n : 0)
  exit !(ratio <= 2.0) }'
