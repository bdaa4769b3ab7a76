#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite; non-zero on any failure.
set -euo pipefail
here=$(dirname "$0")
"$here/setup-debian.sh"
"$here/build.sh"
cd "$here/.."
ctest --test-dir "${QUIETWATCH_BUILD_DIR:-build}" --output-on-failure --parallel 2
