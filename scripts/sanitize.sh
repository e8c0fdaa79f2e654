#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds with sanitizers into a build folder of their own (the window left out) and runs tests
# there; a sanitizer report fails the test it occurs in. Extra arguments go to ctest.
#
#   scripts/sanitize.sh address,undefined   # every test, in build-asan/ (or $KESTRUN_ASAN_DIR)
#   scripts/sanitize.sh thread              # the playback, wire and tap tests, the background load's, the log
#                                           # reader's and packed records', in build-tsan/ (or $KESTRUN_TSAN_DIR)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:?usage: scripts/sanitize.sh address,undefined|thread [CTEST ARGUMENTS...]}
shift

case $mode in
  address,undefined)
    build=${KESTRUN_ASAN_DIR:-$root/build-asan}
    target=all
    tests=("$build")
    ;;
  thread)
    build=${KESTRUN_TSAN_DIR:-$root/build-tsan}
    target=playback_tests
    tests=("$build/tests/playback" "$build/tests/wire" "$build/tests/tap")
    ;;
  *)
    echo "unknown sanitizer set: $mode (address,undefined or thread)" >&2
    exit 2
    ;;
esac

"$root/scripts/bootstrap.sh"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# Unoptimised builds compile fastest, and the sanitizers find as much in them.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKESTRUN_BUILD_GUI=OFF \
  -DKESTRUN_SANITIZE="$mode" "${launcher[@]}" >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target "$target"
for folder in "${tests[@]}"; do
  (cd "$folder" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" "$@")
done
# The log layer has threads of its own: the background load, reading ahead of the parser, and
# records packed on one thread and freed on another.
if [ "$mode" = thread ]; then
  (cd "$build/tests/log" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -R "BackgroundLoad|ReadLogStream|PackedCommands" "$@")
fi
