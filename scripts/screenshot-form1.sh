#!/usr/bin/env bash
# Photographs the scheduler window on a private X server (Xvfb, no window manager):
# the wide layout as it opens, with the File menu dropped down, and the narrow layout.
# Starts the server on a display number it picks itself, runs the program, captures the
# screen with ImageMagick's import, and stops both again.
#
#   scripts/screenshot-form1.sh [build-dir] [output-dir]
#
# The pictures go to <build-dir>/screenshots/ unless another directory is given.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-${QUIETWATCH_BUILD_DIR:-build}}
out=${2:-$build/screenshots}
program=$build/app/quietwatch
[ -x "$program" ] || { echo "screenshot-form1: $program not built" >&2; exit 1; }
mkdir -p "$out"

source tests/support/xserver.sh
xserver_start 800x600 || exit 1

"$program" 2>"$work/program.log" &
app=$!
window=$(window_wait '^Quietwatch$') || { echo "screenshot-form1: the window did not appear" >&2; cat "$work/program.log" >&2; exit 1; }
sleep 1.2 # a couple of clock ticks

# The window stands at a fixed place; the crop leaves room for the open menu.
crop=560x300+200+240
shoot() { import -window root -crop "$crop" +repage "$out/$1"; echo "$out/$1"; }

shoot form1.png
xdotool windowfocus --sync "$window" key --clearmodifiers alt+f
sleep 0.5
shoot form1-menu.png
xdotool key Escape
sleep 0.3
# comWide: 144,16 below the menu bar (about 20 pixels), its centre a few pixels in.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove $((X + 156)) $((Y + 48)) click 1
sleep 0.5
shoot form1-narrow.png
