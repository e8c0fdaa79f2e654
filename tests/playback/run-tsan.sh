#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the playback, wire and tap tests with the thread sanitizer in build-tsan/ (or $KESTRUN_TSAN_DIR)
# and runs them; any report fails the run. Extra arguments go to ctest.
set -euo pipefail
exec "$(dirname "$0")/../../scripts/sanitize.sh" thread "$@"
