#!/usr/bin/env bash
# Installs what building and running need (no test tools), builds and starts Quietwatch.
set -euo pipefail
here=$(dirname "$0")
"$here/setup-debian.sh" run
# The tests need what only the test command installs (GoogleTest among them).
"$here/build.sh" "${QUIETWATCH_BUILD_DIR:-build}" -DQUIETWATCH_BUILD_TESTS=OFF
exec "$here/../${QUIETWATCH_BUILD_DIR:-build}/app/quietwatch"
