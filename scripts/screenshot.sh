#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes docs/screenshot.png: the window with samples/demo.log loaded and one row selected,
# drawn on a virtual X display (Xvfb) and saved by the window itself; docs/screenshot-filter.png:
# the benchmark's synthetic log (bench/gen_log.py, SIZE_MB) filtered to its errors, status polls
# hidden; and docs/timeline.png, the timeline of the demo log as kestrun-cli stats --plot draws it.
#
#   scripts/screenshot.sh [ROW] [SIZE_MB]        (default 6 and 200)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTRUN_BUILD_DIR:-$root/build}
row=${1:-6}
size_mb=${2:-200}
"$root/scripts/bootstrap.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$build" --target kestrun-screenshot kestrun-cli
source "$root/bench/common.sh"
bench_setup "$size_mb"
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
mkdir -p "$root/docs"
# A fresh configuration folder, so the picture shows the window as first started.
shoot() {
  XDG_CONFIG_HOME=$config LANG=${SCREENSHOT_LANG:-ru_RU.UTF-8} \
    xvfb-run -a -s "-screen 0 1280x800x24" "$build/src/app/kestrun-screenshot" "$@"
  echo "wrote ${3}"
}
cd "$root" # the window shows the path as given: a short one reads better in the picture
shoot samples/demo.log "$row" "$root/docs/screenshot.png"
shoot "$log" 3 "$root/docs/screenshot-filter.png" chkFilterErrors chkHidePolls
"$build/src/cli/kestrun-cli" stats --plot "$root/docs/timeline.png" "$root/samples/demo.log" > /dev/null
echo "wrote $root/docs/timeline.png"
