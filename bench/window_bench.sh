#!/usr/bin/env bash
# Opens a synthetic driver log in the window (offscreen) and reports the time to a usable list,
# to all row texts, of a full search and of "Найти ошибку", and the peak memory.
#
#   bench/window_bench.sh [SIZE_MB]        (default 200)
#
# Uses the build in $KESTRUN_BUILD_DIR (default build/); the log is generated once and kept under
# $KESTRUN_BENCH_DATA (default <build>/bench-data), shared with parse_bench.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTRUN_BUILD_DIR:-$root/build}
size_mb=${1:-200}
bench=$build/bench/kestrun-window-bench
data=${KESTRUN_BENCH_DATA:-$build/bench-data}
log=$data/driver-${size_mb}mb.log

[ -x "$bench" ] || { echo "no $bench; build first (scripts/build.sh)" >&2; exit 1; }
mkdir -p "$data"
if [ ! -f "$log" ]; then
  echo "generating $log ..."
  python3 "$root/bench/gen_log.py" "$size_mb" "$log.tmp"
  mv "$log.tmp" "$log"
fi
cat "$log" > /dev/null # into the page cache
QT_QPA_PLATFORM=offscreen "$bench" "$log"
