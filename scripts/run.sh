#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and starts the window; without arguments it opens the demo log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh"
"$root/scripts/build.sh"
if [ $# -eq 0 ]; then
  set -- "$root/samples/demo.log"
fi
exec "${KESTRUN_BUILD_DIR:-$root/build}/kestrun" "$@"
