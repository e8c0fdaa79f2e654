#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Where the time of `kestrun-cli parse --count` and `kestrun-cli list --json` goes on the synthetic
# driver log: a sampled profile of each, the functions with the largest own share first.
#
#   bench/profile.sh [SIZE_MB]        (default 200)
#
# Uses perf (Debian package linux-perf); without it the script says so and does nothing. Build
# with debug information (RelWithDebInfo) so the functions have names. The log and the build are
# found as by the other benchmarks (common.sh); perf's data goes to a scratch folder. Each profile
# lists $KESTRUN_PROFILE_TOP functions (default 20).
set -euo pipefail
size_mb=${1:-200}
top=${KESTRUN_PROFILE_TOP:-20}
source "$(dirname "$0")/common.sh"
if ! command -v perf > /dev/null; then
  echo "perf is not installed (Debian package linux-perf); no profile taken"
  exit 0
fi
[ -x "$cli" ] || { echo "no $cli; build first (scripts/build.sh)" >&2; exit 1; }
bench_setup "$size_mb"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

profile() { # NAME ARGS...
  local name=$1 data=$scratch/perf.data
  shift
  if ! perf record -q -F 999 -o "$data" -- "$cli" "$@" "$log" > /dev/null 2> "$scratch/record.err"; then
    echo "perf could not record (kernel.perf_event_paranoid?):" >&2
    cat "$scratch/record.err" >&2
    exit 0
  fi
  echo "== kestrun-cli $name: own share of the samples"
  perf report -i "$data" --stdio --no-children -g none --fields overhead,sym 2> /dev/null \
    | awk '/^ +[0-9.]+%/ { sub(/ +$/, ""); print }' | head -n "$top"
  echo
}

echo "log: $log"
profile "parse --count" parse --count
profile "list --json" list --json
