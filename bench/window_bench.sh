#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Opens a synthetic driver log in the window (offscreen) and reports the time to a usable list
# (limit 3 s), the longest the event loop was held while loading (limit 250 ms), the time to the
# end of the load and to all row texts, of a full search and of "Найти ошибку", of each filter
# change (limit 150 ms), and the peak memory (limit half the log's size). Fails when a limit is
# not kept.
#
#   bench/window_bench.sh [SIZE_MB]        (default 200; 1000 makes and opens a 1 GB log)
#
# Uses the build in $KESTRUN_BUILD_DIR (default build/); the log is generated once and kept under
# $KESTRUN_BENCH_DATA (default <build>/bench-data), shared with parse_bench.sh.
set -euo pipefail
size_mb=${1:-200}
source "$(dirname "$0")/common.sh"
bench=$build/bench/kestrun-window-bench
[ -x "$bench" ] || { echo "no $bench; build first (scripts/build.sh)" >&2; exit 1; }
bench_setup "$size_mb"
QT_QPA_PLATFORM=offscreen "$bench" "$log"
