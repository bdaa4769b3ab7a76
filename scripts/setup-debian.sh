#!/usr/bin/env bash
# Installs, with apt-get, whatever of Quietwatch's build and test dependencies this
# Debian 12 machine is missing. Needs root or sudo; does nothing when all are present.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins libgl-dev libxcb1-dev libdbus-1-dev
    # fonts metric-compatible with the Japanese UI fonts
    fonts-ipafont-gothic
    # tests
    libgtest-dev googletest python3-dbusmock dbus-daemon xvfb xauth xdotool x11-utils faketime xclip
    desktop-file-utils appstream imagemagick openbox
    # checks: sanitizers, fuzzing, static analysis
    clang libclang-rt-14-dev clang-tidy clang-format cppcheck
    # the Windows side: cross compiler and Wine
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 wine
)

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
