#!/usr/bin/env bash
# Builds the playback tests with the thread sanitizer in build-tsan/ (or $KESTRUN_TSAN_DIR)
# and runs them; any report fails the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${KESTRUN_TSAN_DIR:-$root/build-tsan}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKESTRUN_BUILD_GUI=OFF -DKESTRUN_SANITIZE=thread >/dev/null
cmake --build "$build" --parallel 2 --target test_playback test_playback_cli
export TSAN_OPTIONS="halt_on_error=1 ${TSAN_OPTIONS:-}"
"$build/tests/playback/test_playback"
"$build/tests/playback/test_playback_cli"
