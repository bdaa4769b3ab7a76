#!/bin/bash
# Builds what the benchmark needs (RelWithDebInfo, in build-bench unless BUILD_DIR says
# otherwise) and runs it: quietwatch and quietwatch-timequery against the bare baseline,
# on a private Xvfb display. Arguments go to run-benchmark.py (-v, --runs N, --json FILE, ...).
#
# With --wine (or --only windows) it also cross-builds Quietwatch.exe and the bare Win32
# baseline with MinGW-w64 (Release, in build-bench-mingw unless CROSS_BUILD_DIR says
# otherwise) and measures them under Wine; --only windows builds nothing of the Qt side.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD_DIR:-$root/build-bench}
cross=${CROSS_BUILD_DIR:-$root/build-bench-mingw}

qt=1 wine=0 previous=
for arg in "$@"; do
    case $previous/$arg in
    */--wine) wine=1 ;;
    --only/windows | */--only=windows) qt=0 wine=1 ;;
    esac
    previous=$arg
done

args=()
if [[ $qt == 1 ]]; then
    if [[ ! -f $build/build.ninja ]]; then
        cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    fi
    ninja -C "$build" quietwatch quietwatch-timequery quietwatch-bench-baseline >/dev/null
    args+=(--build-dir "$build")
fi
if [[ $wine == 1 ]]; then
    if [[ ! -f $cross/build.ninja ]]; then
        # -O2 as scripts/cross-test.sh builds: GCC 12's -O3 warns falsely inside libstdc++.
        cmake -S "$root" -B "$cross" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
            -DQUIETWATCH_CORE_ONLY=ON -DQUIETWATCH_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" >/dev/null
    fi
    ninja -C "$cross" quietwatch quietwatch-bench-baseline-win32 >/dev/null
    args+=(--cross-dir "$cross")
fi

exec /usr/bin/python3 "$here/run-benchmark.py" "${args[@]}" "$@"
