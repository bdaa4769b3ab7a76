#!/usr/bin/env bash
# The release files of the checked-out commit, into OUT_DIR (default dist/): the .deb, the
# Windows zip and installer, BUILDINFO (the source commit and the tools that made each file)
# and SHA256SUMS. The builds are reproducible: the same commit and the same tools give the same
# bytes (SOURCE_DATE_EPOCH is the commit's time). Each run builds in fresh folders, so no file
# of an earlier build or version can reach OUT_DIR.
#   scripts/release.sh [OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-dist}
./scripts/setup-debian.sh test
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || true)}
[ -n "$SOURCE_DATE_EPOCH" ] || unset SOURCE_DATE_EPOCH

die() {
    echo "release: $*" >&2
    exit 1
}

rm -rf build-release build-release-windows "$out"
./scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DQUIETWATCH_BUILD_TESTS=OFF
(cd build-release && cpack -G DEB >/dev/null)
./scripts/windows-tests.sh build build-release-windows quietwatch quietwatch-timequery >/dev/null

deb=(build-release/quietwatch_*.deb)
[ ${#deb[@]} -eq 1 ] || die "expected one .deb, found: ${deb[*]}"
# dpkg-shlibdeps fills Depends from the libraries linked; without it the package would install
# on a system that cannot start it.
dpkg-deb -f "${deb[0]}" Depends | grep -q 'libqt6' || die "${deb[0]} depends on no Qt library: $(dpkg-deb -f "${deb[0]}" Depends)"

mkdir -p "$out"
cp "${deb[0]}" build-release-windows/Quietwatch-*-win64.zip build-release-windows/Quietwatch-*-win64.exe "$out"

first_line() { "$@" 2>&1 | head -n 1; }
package() { dpkg-query -W -f='${Package} ${Version}' "$1" 2>/dev/null || echo "$1 not installed"; }
{
    echo "Source commit: $(git rev-parse HEAD 2>/dev/null || echo unknown)"
    echo "SOURCE_DATE_EPOCH: ${SOURCE_DATE_EPOCH:-unset}"
    echo "Built on: $(. /etc/os-release && echo "$PRETTY_NAME") $(dpkg --print-architecture)"
    echo
    echo "$(basename "${deb[0]}"):"
    echo "  compiler: $(first_line g++ --version)"
    echo "  Qt: $(package qt6-base-dev)"
    echo "  CMake: $(first_line cmake --version)"
    echo "  dpkg: $(first_line dpkg-deb --version)"
    for f in build-release-windows/Quietwatch-*-win64.zip build-release-windows/Quietwatch-*-win64.exe; do
        echo "$(basename "$f"):"
        echo "  compiler: $(first_line x86_64-w64-mingw32-g++-posix --version) ($(package g++-mingw-w64-x86-64-posix))"
        echo "  MinGW-w64: $(package mingw-w64-x86-64-dev), $(package binutils-mingw-w64-x86-64)"
        echo "  CMake: $(first_line cmake --version)"
        case $f in *.exe) echo "  NSIS: $(first_line makensis -VERSION)" ;; esac
    done
} >"$out/BUILDINFO"
(cd "$out" && sha256sum -- * >SHA256SUMS && cat SHA256SUMS BUILDINFO)
