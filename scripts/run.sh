#!/usr/bin/env bash
# Installs what is missing, builds, and starts the window.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh"
"$root/scripts/build.sh"
exec "${KESTRUN_BUILD_DIR:-$root/build}/kestrun" "$@"
