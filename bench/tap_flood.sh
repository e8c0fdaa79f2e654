#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Floods kestrun-tap and kestrun-emulator (1 MB of ENQ, MB of 0x41, ENQ from a till that reads
# nothing) and reports each program's peak memory and the growth of the tap's log; exit status 1
# when one is above its limit (bench/tap_flood.py holds them).
#
#   bench/tap_flood.sh [MB]        (default 100)
#
# Uses the build in $KESTRUN_BUILD_DIR (default build/).
set -euo pipefail
source "$(dirname "$0")/common.sh"
emulator=$build/src/emulator/kestrun-emulator
tap=$build/src/tap/kestrun-tap
for program in "$emulator" "$tap"; do
  [ -x "$program" ] || { echo "no $program; build first (scripts/build.sh)" >&2; exit 1; }
done
exec python3 "$root/bench/tap_flood.py" "$emulator" "$tap" "${1:-100}"
