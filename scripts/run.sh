#!/usr/bin/env bash
# Installs what is missing, builds and starts Quietwatch.
set -euo pipefail
here=$(dirname "$0")
"$here/setup-debian.sh"
"$here/build.sh" "${QUIETWATCH_BUILD_DIR:-build}"
exec "$here/../${QUIETWATCH_BUILD_DIR:-build}/app/quietwatch"
