#!/usr/bin/env bash
# Installs, with apt-get, whatever of Quietwatch's dependencies this Debian 12 machine is
# missing. Needs root or sudo; does nothing when all are present.
#
#   setup-debian.sh run     what building and running the program need (scripts/run.sh)
#   setup-debian.sh test    that and every test tool (scripts/test.sh; the default)
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
)

list=false
[ "${1:-}" = --list ] && { list=true; shift; }
case "${1:-test}" in
run) packages=("${run_packages[@]}") ;;
test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
*)
    echo "usage: setup-debian.sh [--list] [run|test]" >&2
    exit 2
    ;;
esac
if $list; then
    printf '%s\n' "${packages[@]}"
    exit 0
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
