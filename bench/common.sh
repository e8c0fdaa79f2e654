# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the benchmark scripts (sourced): the build, the synthetic log and a timing helper.
#   bench_setup SIZE_MB   sets root, build, cli and log; generates the log once under
#                         $KESTRUN_BENCH_DATA (default <build>/bench-data) and reads it into the page cache
#   best_of3 OUT CMD...   prints "SECONDS PEAK_KB" of the fastest of three runs, output sent to OUT
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KESTRUN_BUILD_DIR:-$root/build}
cli=$build/src/cli/kestrun-cli

bench_setup() {
  local size_mb=$1 data=${KESTRUN_BENCH_DATA:-$build/bench-data}
  log=$data/driver-${size_mb}mb.log
  mkdir -p "$data"
  if [ ! -f "$log" ]; then
    echo "generating $log ..."
    python3 "$root/bench/gen_log.py" "$size_mb" "$log.tmp"
    mv "$log.tmp" "$log"
  fi
  cat "$log" > /dev/null # into the page cache, so every run reads from memory
}

best_of3() {
  local out=$1 best="" best_kb=0 secs kb stats
  shift
  stats=$(mktemp)
  for _ in 1 2 3; do
    /usr/bin/time -f "%e %M" -o "$stats" "$@" > "$out" || true
    read -r secs kb < <(tail -n 1 "$stats")
    if [ -z "$best" ] || awk -v a="$secs" -v b="$best" 'BEGIN { exit !(a < b) }'; then
      best=$secs
      best_kb=$kb
    fi
  done
  rm -f "$stats"
  echo "$best $best_kb"
}
