#!/usr/bin/env bash
# Installs what building and running need (no test tools), builds and starts Quietwatch.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QUIETWATCH_BUILD_DIR:-build}
scripts/setup-debian.sh run
# The tests need what only the test command installs (GoogleTest among them).
scripts/build.sh "$build" -DQUIETWATCH_BUILD_TESTS=OFF
exec "$build/app/quietwatch"
