# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the shell tests: a scratch folder removed at exit, and check, which counts failures.
# A test ends with: exit $((failures > 0))
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

check() { # NAME EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    echo "FAIL $1: expected [$2], got [$3]"
    failures=$((failures + 1))
  fi
}
