#!/bin/bash
# Builds what the benchmark needs (RelWithDebInfo, in build-bench unless BUILD_DIR says
# otherwise) and runs it: quietwatch and quietwatch-timequery against the bare baseline,
# on a private Xvfb display. Arguments go to run-benchmark.py (-v, --runs N, --json FILE, ...).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD_DIR:-$root/build-bench}

if [[ ! -f $build/build.ninja ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
ninja -C "$build" quietwatch quietwatch-timequery quietwatch-bench-baseline >/dev/null

exec /usr/bin/python3 "$here/run-benchmark.py" --build-dir "$build" "$@"
