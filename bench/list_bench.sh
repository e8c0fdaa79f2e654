#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times `kestrun-cli list --json` (every row's cells, summary included) against `kestrun-cli parse`
# on the same synthetic driver log, and checks that the list costs at most 1.5 times the parse.
#
#   bench/list_bench.sh [SIZE_MB]        (default 200)
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
read -r list_s list_kb < <(best_of3 /dev/null "$cli" list --json "$log")
rows=$("$cli" parse --count "$log")

echo "log: $log ($(awk -v b="$(stat -c %s "$log")" 'BEGIN { printf "%.1f", b / 1048576 }') MB, $rows commands)"
printf "%-26s %7.2f s  peak %6.1f MB\n" "kestrun-cli parse" "$parse_s" "$(awk -v k="$parse_kb" 'BEGIN { print k / 1024 }')"
printf "%-26s %7.2f s  peak %6.1f MB\n" "kestrun-cli list --json" "$list_s" "$(awk -v k="$list_kb" 'BEGIN { print k / 1024 }')"
awk -v l="$list_s" -v p="$parse_s" -v n="$rows" -v limit=1.50 'BEGIN {
  ratio = p > 0 ? l / p : 0
  printf "list / parse: %.2fx (limit %.2fx); rows beyond parsing: %.2f us per row\n", ratio, limit, (n > 0 ? (l - p) * 1e6 / n : 0)
  exit !(ratio <= limit) }'
