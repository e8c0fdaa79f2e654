#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times `kestrun-cli stats` (durations per command code and the slowest commands) against
# `kestrun-cli parse` on the same synthetic driver log, and checks that the statistics cost at
# most 1.5 times the parse.
#
#   bench/stats_bench.sh [SIZE_MB]        (default 200)
#
# Uses the build in $KESTRUN_BUILD_DIR (default build/) and the log that bench/gen_log.py writes
# under $KESTRUN_BENCH_DATA (default <build>/bench-data), shared with parse_bench.sh.
# Each figure is the best of three runs; exit status 1 when the ratio is above 1.5.
set -euo pipefail
size_mb=${1:-200}
source "$(dirname "$0")/common.sh"
[ -x "$cli" ] || { echo "no $cli; build first (scripts/build.sh)" >&2; exit 1; }
bench_setup "$size_mb"

read -r parse_s parse_kb < <(best_of3 /dev/null "$cli" parse "$log")
read -r stats_s stats_kb < <(best_of3 /dev/null "$cli" stats "$log")
read -r json_s json_kb < <(best_of3 /dev/null "$cli" stats --json "$log")
rows=$("$cli" parse --count "$log")

echo "log: $log ($(awk -v b="$(stat -c %s "$log")" 'BEGIN { printf "%.1f", b / 1048576 }') MB, $rows commands)"
line() { # NAME SECONDS PEAK_KB
  printf "%-26s %7.2f s  peak %6.1f MB\n" "$1" "$2" "$(awk -v k="$3" 'BEGIN { print k / 1024 }')"
}
line "kestrun-cli parse" "$parse_s" "$parse_kb"
line "kestrun-cli stats" "$stats_s" "$stats_kb"
line "kestrun-cli stats --json" "$json_s" "$json_kb"
awk -v s="$stats_s" -v j="$json_s" -v p="$parse_s" 'BEGIN {
  worst = s > j ? s : j
  ratio = p > 0 ? worst / p : 0
  printf "stats / parse: %.2fx (limit 1.50x)\n", ratio
  exit !(ratio <= 1.5) }'
