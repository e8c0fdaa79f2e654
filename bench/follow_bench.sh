#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Follows a synthetic driver log while it is written in pieces (`kestrun-cli list --follow --json`)
# and reports how long the last row took to come after the last write, and the follower's peak
# memory next to that of `kestrun-cli list --json` on the finished file: following keeps no text
# and no rows, so its memory stays flat however long the log grows.
#
#   bench/follow_bench.sh [SIZE_MB] [PIECE_KB]     (defaults 50 and 64)
#
# Uses the build in $KESTRUN_BUILD_DIR (default build/) and the log of bench_setup.
set -euo pipefail
size_mb=${1:-50}
piece_kb=${2:-64}
source "$(dirname "$0")/common.sh"
[ -x "$cli" ] || { echo "no $cli; build first (scripts/build.sh)" >&2; exit 1; }
bench_setup "$size_mb"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
growing=$work/growing.log
: > "$growing"
rows=$("$cli" list --json "$log" | wc -l)

/usr/bin/time -f "%M" -o "$work/follow.kb" "$cli" list --follow --json "$growing" > "$work/rows.jsonl" &
follower=$!
start=$(date +%s.%N)
# The pieces are cut anywhere, inside lines and exchanges, as a driver's writes can be.
split -b "${piece_kb}K" "$log" "$work/piece."
for piece in "$work"/piece.*; do
  cat "$piece" >> "$growing"
  rm "$piece"
done
written=$(date +%s.%N)
while [ "$(wc -l < "$work/rows.jsonl")" -lt "$rows" ]; do sleep 0.05; done
shown=$(date +%s.%N)
follower_pid=$(pgrep -P "$follower" -x kestrun-cli || echo "$follower")
kill -INT "$follower_pid"
wait "$follower" || true

read -r whole_s whole_kb < <(best_of3 /dev/null "$cli" list --json "$log")
cmp -s "$work/rows.jsonl" <("$cli" list --json "$log") && same=yes || same=NO
awk -v mb="$size_mb" -v rows="$rows" -v s="$start" -v w="$written" -v e="$shown" -v fkb="$(tail -n 1 "$work/follow.kb")" \
    -v ws="$whole_s" -v wkb="$whole_kb" -v same="$same" -v piece="$piece_kb" 'BEGIN {
  printf "log: %d MB, %d rows, written in %d KB pieces in %.2f s\n", mb, rows, piece, w - s
  printf "list --follow --json: last row %.2f s after the last write, peak %.1f MB; rows equal to list --json: %s\n", e - w, fkb / 1024, same
  printf "list --json on the finished file: %.2f s, peak %.1f MB\n", ws, wkb / 1024 }'
