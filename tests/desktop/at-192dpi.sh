#!/usr/bin/env bash
# Runs a command on a private X server whose screen has 192 dots per inch (Xft.dpi, as the
# desktops set it), where Qt scales every window by 2.
set -uo pipefail
source "$(dirname "$0")/../support/xserver.sh"
# No reset when the last client leaves: the screen's resources must outlast xrdb.
xserver_start 1800x1200 -dpi 192 || exit 1
echo "Xft.dpi: 192" | xrdb -nocpp -merge || exit 1
QT_QPA_PLATFORM=xcb "$@"
