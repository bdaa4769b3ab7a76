#!/usr/bin/env bash
# Builds the shipped files a second time in another folder and compares them byte for byte
# with those of a first build of the same commit; prints the SHA-256 of each.
#
#   scripts/reproducible.sh windows FIRST SECOND   FIRST: a tree of scripts/windows-tests.sh build
#                                                  (Quietwatch.exe, quietwatch-timequery.exe, the zip,
#                                                  the installer)
#   scripts/reproducible.sh deb FIRST SECOND       FIRST: a built Linux tree; its .deb is made, and
#                                                  SECOND is configured alike, without the tests
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null || true)}
[ -n "$SOURCE_DATE_EPOCH" ] || unset SOURCE_DATE_EPOCH

die() {
    echo "reproducible: $*" >&2
    exit 1
}

compare() { # compare FIRST SECOND RELATIVE_PATH...
    local first=$1 second=$2 file differ=0
    shift 2
    for file in "$@"; do
        [ -f "$first/$file" ] && [ -f "$second/$file" ] || die "$file is missing from $first or $second"
        echo "$(sha256sum <"$first/$file" | cut -c1-64)  $(sha256sum <"$second/$file" | cut -c1-64)  $file"
        cmp "$first/$file" "$second/$file" || differ=1
    done
    [ "$differ" -eq 0 ] || die "the two builds differ"
    echo "identical: $*"
}

kind=${1:-}
first=${2:?first build dir}
second=${3:?second build dir}
rm -rf "$second"
case $kind in
windows)
    "$source_dir/scripts/windows-tests.sh" build "$second" quietwatch quietwatch-timequery >/dev/null
    (cd "$first" && compare "$first" "$second" app/Quietwatch.exe timequery/quietwatch-timequery.exe \
        Quietwatch-*-win64.zip Quietwatch-*-win64.exe)
    ;;
deb)
    build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$first/CMakeCache.txt")
    cmake -S "$source_dir" -B "$second" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" -DQUIETWATCH_BUILD_TESTS=OFF >/dev/null
    cmake --build "$second" --target quietwatch quietwatch-timequery >/dev/null
    for dir in "$first" "$second"; do
        (cd "$dir" && cpack -G DEB >/dev/null) || die "CPack could not make the .deb in $dir"
    done
    (cd "$first" && compare "$first" "$second" quietwatch_*.deb)
    ;;
*) die "usage: reproducible.sh windows|deb FIRST SECOND" ;;
esac
