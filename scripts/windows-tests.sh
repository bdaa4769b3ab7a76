#!/usr/bin/env bash
# The Windows programs, their packages and their tests, through CTest. The same script serves a
# real Windows (an MSYS2 MinGW-w64 shell: the hosted CI job) and Linux (the MinGW-w64 cross
# build, each test program run under Wine by scripts/cross-test.sh).
#
#   scripts/windows-tests.sh BUILD_DIR                   build, then run every test
#   scripts/windows-tests.sh build BUILD_DIR [TARGET...] build (all, or only the targets), then
#                                                        the zip and the NSIS installer
#   scripts/windows-tests.sh test BUILD_DIR [CTEST_ARGS...]
#   scripts/windows-tests.sh published BUILD_DIR FILES_DIR
#                                                        the installer test (install, start the
#                                                        programs, uninstall) on the release's
#                                                        files in FILES_DIR, checked against
#                                                        their SHA256SUMS, not on BUILD_DIR's
#
# On Linux the test programs run in the Wine prefix QUIETWATCH_WINEPREFIX (default
# BUILD_DIR/wineprefix), fixed when the tree is configured; "test" expects its wineserver
# started (the CTest fixture windows.wine-start does that), the first form starts and stops it.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)

die() {
    echo "windows-tests: $*" >&2
    exit 1
}

native() { case $(uname -s) in MINGW* | MSYS* | CYGWIN*) return 0 ;; *) return 1 ;; esac }

# The time packed into the zip, the installer and the programs' resources: the commit's.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null || true)}
[ -n "$SOURCE_DATE_EPOCH" ] || unset SOURCE_DATE_EPOCH # cmake/reproducible.cmake falls back

cmd_build() {
    local build_dir=${1:?build dir}
    shift
    local config=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG"
        -DQUIETWATCH_CORE_ONLY=ON -DQUIETWATCH_BUILD_TESTS=ON)
    local objdump=objdump
    if ! native; then
        "$source_dir/scripts/cross-test.sh" check-tools
        local prefix=${QUIETWATCH_WINEPREFIX:-$build_dir/wineprefix}
        mkdir -p "$prefix"
        prefix=$(cd "$prefix" && pwd)
        config+=(-DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake"
            "-DCMAKE_CROSSCOMPILING_EMULATOR=$source_dir/scripts/cross-test.sh;wine-run;$prefix")
        objdump=x86_64-w64-mingw32-objdump
    fi
    # Optimised as the program is, without debug information (a fifth less compile time and a
    # fifth of the size); -O2, as GCC 12's -O3 warns falsely inside libstdc++ (-Wrestrict).
    local generator=()
    command -v ninja >/dev/null && [ ! -f "$build_dir/CMakeCache.txt" ] && generator=(-G Ninja)
    cmake -S "$source_dir" -B "$build_dir" "${generator[@]}" "${config[@]}" >/dev/null
    local targets=()
    [ $# -eq 0 ] || targets=(--target "$@")
    cmake --build "$build_dir" "${targets[@]}"
    # What ships: one file each, at most 1 MiB, needing no DLL that Windows does not have.
    local exe
    for exe in "$build_dir/app/Quietwatch.exe" "$build_dir/timequery/quietwatch-timequery.exe"; do
        [ "$(stat -c %s "$exe")" -le 1048576 ] || die "$exe is larger than 1 MiB"
        if "$objdump" -p "$exe" | grep -i -E 'DLL Name: (lib|qt)'; then
            die "$exe needs a DLL beside it"
        fi
    done
    # The portable zip and the installer, from the same install rules.
    (cd "$build_dir" && cpack >/dev/null) || die "CPack could not make the Windows packages"
    ls "$build_dir"/Quietwatch-*-win64.{zip,exe}
}

cmd_test() {
    local build_dir=${1:?build dir}
    shift
    ctest --test-dir "$build_dir" --output-on-failure --no-tests=error "$@"
}

cmd_published() {
    local build_dir=${1:?build dir} files=${2:?folder of the release files}
    [ -f "$build_dir/CMakeCache.txt" ] || die "$build_dir is no tree this script has built"
    files=$(cd "$files" && pwd)
    (cd "$files" && sha256sum -c SHA256SUMS) || die "the files in $files are not those SHA256SUMS lists"
    ! native || files=$(cygpath -m "$files") # for the native CMake
    cmake -S "$source_dir" -B "$build_dir" -DQUIETWATCH_PUBLISHED_DIR="$files" >/dev/null
    cmake --build "$build_dir" --target quietwatch_start_tests
    local rc=0
    if native; then
        cmd_test "$build_dir" -R '^windows\.installer$' || rc=$?
    else
        local prefix=${QUIETWATCH_WINEPREFIX:-$build_dir/wineprefix}
        "$source_dir/scripts/cross-test.sh" wine-start "$prefix"
        cmd_test "$build_dir" -R '^windows\.installer$' || rc=$?
        "$source_dir/scripts/cross-test.sh" wine-stop "$prefix"
    fi
    # The tree's own installer again for its later runs.
    cmake -S "$source_dir" -B "$build_dir" -DQUIETWATCH_PUBLISHED_DIR= >/dev/null
    return "$rc"
}

cmd_all() {
    local build_dir=${1:?build dir}
    cmd_build "$build_dir"
    if native; then
        cmd_test "$build_dir"
        return
    fi
    local prefix=${QUIETWATCH_WINEPREFIX:-$build_dir/wineprefix}
    "$source_dir/scripts/cross-test.sh" wine-start "$prefix"
    trap "$(printf '%q ' "$source_dir/scripts/cross-test.sh" wine-stop "$prefix")" EXIT
    cmd_test "$build_dir"
}

case ${1:-} in
build) cmd_build "${@:2}" ;;
test) cmd_test "${@:2}" ;;
published) cmd_published "${@:2}" ;;
"" | -*) die "usage: windows-tests.sh [build|test] BUILD_DIR ..." ;;
*) cmd_all "$@" ;;
esac
