#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times `kestrun-cli parse` on a synthetic driver log next to `grep -c -F Protocol`, the cost of a
# plain scan of the same file, and reports peak memory against the file's size.
#
#   bench/parse_bench.sh [SIZE_MB]        (default 200)
#
# Uses the build in $KESTRUN_BUILD_DIR (default build/); the log is generated once and kept under
# $KESTRUN_BENCH_DATA (default <build>/bench-data). Each figure is the best of three runs; exit
# status 1 when `parse --count` takes more than twice as long as grep.
set -euo pipefail
size_mb=${1:-200}
source "$(dirname "$0")/common.sh"
[ -x "$cli" ] || { echo "no $cli; build first (scripts/build.sh)" >&2; exit 1; }
bench_setup "$size_mb"

counted=$(mktemp)
trap 'rm -f "$counted"' EXIT

bytes=$(stat -c %s "$log")
file_mb=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }')
records=$("$cli" parse --count "$log")

# Limit of `parse --count` against grep on the same file.
count_limit=2.00

report() { # NAME SECONDS PEAK_KB GREP_SECONDS [LIMIT]
  awk -v name="$1" -v s="$2" -v kb="$3" -v g="$4" -v limit="${5:-}" -v mb="$file_mb" 'BEGIN {
    rate = s > 0 ? mb / s : 0
    printf "%-28s %7.2f s  %7.0f MB/s  %5.2fx grep", name, s, rate, (g > 0 ? s / g : 0)
    printf "%s  peak %6.1f MB (%.2f of file)\n", (limit != "" ? sprintf(" (limit %.2fx)", limit) : "              "), kb / 1024, kb / 1024 / mb }'
}

# grep stops at the first match when its output is /dev/null, so its count goes to a file.
read -r grep_s grep_kb < <(best_of3 "$counted" grep -c -F Protocol "$log")
read -r json_s json_kb < <(best_of3 /dev/null "$cli" parse "$log")
read -r count_s count_kb < <(best_of3 /dev/null "$cli" parse --count "$log")

echo "log: $log ($file_mb MB, $records records)"
report "grep -c -F Protocol" "$grep_s" "$grep_kb" "$grep_s"
report "kestrun-cli parse" "$json_s" "$json_kb" "$grep_s"
report "kestrun-cli parse --count" "$count_s" "$count_kb" "$grep_s" "$count_limit"
awk -v s="$count_s" -v g="$grep_s" -v limit="$count_limit" 'BEGIN {
  ratio = g > 0 ? s / g : 0
  if (ratio > limit) { printf "parse --count / grep: %.2fx, over the limit of %.2fx\n", ratio, limit; exit 1 } }'
