#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds every libFuzzer target with clang into build-fuzz/ (or $KESTRUN_FUZZ_DIR) and runs each
# for SECONDS (default 60) from its seed corpus fuzz/corpus/NAME. A finding fails the run; its
# input and the fuzzer's output are kept in build-fuzz/fuzz/run/NAME/.
#
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTRUN_FUZZ_DIR:-$root/build-fuzz}
seconds=${1:-60}

"$root/scripts/bootstrap.sh"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DKESTRUN_BUILD_FUZZ=ON -DKESTRUN_BUILD_GUI=OFF -DKESTRUN_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target fuzzers

# A report of the address or undefined-behaviour sanitizer ends the fuzzer with a finding.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
failed=()
# fuzzers.txt, written by fuzz/CMakeLists.txt: one line per fuzzer, its name and its arguments.
while read -r name arguments; do
  seeds=$root/fuzz/corpus/$name
  work=$build/fuzz/run/$name
  rm -rf "$work"
  mkdir -p "$work/corpus"
  [ -d "$seeds" ] || echo "$name: no seed corpus in fuzz/corpus/$name, starting empty"
  echo "== $name: ${seconds} s"
  # New inputs go to the work corpus; the seeds in the source tree stay as they are. The
  # fuzzer's own output is long: its closing statistics are shown, or its end after a finding.
  # shellcheck disable=SC2086 # the arguments are split as written in the list
  if "$build/fuzz/$name" $arguments -max_total_time="$seconds" -timeout=60 -print_final_stats=1 \
    -artifact_prefix="$work/" "$work/corpus" $([ -d "$seeds" ] && echo "$seeds") >"$work/output.txt" 2>&1 </dev/null; then
    grep -E '^(#[0-9]+[[:space:]]+DONE|stat::)' "$work/output.txt" || true
  else
    tail -n 60 "$work/output.txt"
    echo "$name: FINDING, input and output kept in $work/"
    failed+=("$name")
  fi
done <"$build/fuzz/fuzzers.txt"

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzers with findings: ${failed[*]}"
  exit 1
fi
echo "every fuzzer ran ${seconds} s without a finding"
