#!/usr/bin/env bash
# Installs, with pacman, what building and testing the Win32 programs on Windows needs, in an
# MSYS2 MINGW64 shell: then scripts/windows-tests.sh BUILD_DIR builds and tests them natively.
set -euo pipefail
pacman -S --needed --noconfirm git mingw-w64-x86_64-gcc mingw-w64-x86_64-cmake mingw-w64-x86_64-ninja \
    mingw-w64-x86_64-gtest mingw-w64-x86_64-nsis
