#!/usr/bin/env bash
# The release files of the checked-out commit, into OUT_DIR (default dist/): the .deb, the
# Windows zip and installer, and SHA256SUMS. The builds are reproducible: the same commit
# gives the same bytes (SOURCE_DATE_EPOCH is the commit's time).
#   scripts/release.sh [OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-dist}
./scripts/setup-debian.sh test
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || true)}
[ -n "$SOURCE_DATE_EPOCH" ] || unset SOURCE_DATE_EPOCH

./scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DQUIETWATCH_BUILD_TESTS=OFF
(cd build-release && cpack -G DEB >/dev/null)
./scripts/windows-tests.sh build build-release-windows quietwatch quietwatch-timequery >/dev/null

rm -rf "$out"
mkdir -p "$out"
cp build-release/quietwatch_*.deb build-release-windows/Quietwatch-*-win64.zip build-release-windows/Quietwatch-*-win64.exe "$out"
(cd "$out" && sha256sum -- * >SHA256SUMS && cat SHA256SUMS)
