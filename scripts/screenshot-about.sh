#!/usr/bin/env bash
# Photographs the About window beside the scheduler window on a private X server (Xvfb, no
# window manager, so no frames): opened from the Information menu, once against the wide and
# once against the narrow layout. Starts the server on a display number it picks itself,
# runs the program, captures the screen with ImageMagick's import, and stops both again.
#
#   scripts/screenshot-about.sh [build-dir] [output-dir]
#
# The pictures go to <build-dir>/screenshots/ unless another directory is given.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-${QUIETWATCH_BUILD_DIR:-build}}
out=${2:-$build/screenshots}
program=$build/app/quietwatch
[ -x "$program" ] || { echo "screenshot-about: $program not built" >&2; exit 1; }
mkdir -p "$out"
# A power request sent by mistake goes nowhere.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/quietwatch-screenshot

source tests/support/xserver.sh
xserver_start 1024x768 || exit 1

wait_for() { # prints the id of the first visible window whose title matches
    window_wait "$1" || { echo "screenshot-about: no window '$1'" >&2; cat "$work/program.log" >&2; exit 1; }
}

"$program" 2>"$work/program.log" &
app=$!
main=$(wait_for '^Quietwatch$')
sleep 1.2 # a couple of clock ticks

# Both windows, with a small margin round them.
shoot() {
    local about=$1 name=$2
    eval "$(xdotool getwindowgeometry --shell "$main")"
    local left=$X top=$Y right=$((X + WIDTH)) bottom=$((Y + HEIGHT))
    eval "$(xdotool getwindowgeometry --shell "$about")"
    ((X + WIDTH > right)) && right=$((X + WIDTH))
    ((Y + HEIGHT > bottom)) && bottom=$((Y + HEIGHT))
    import -window root -crop "$((right - left + 16))x$((bottom - top + 16))+$((left - 8))+$((top - 8))" +repage "$out/$name"
    echo "$out/$name"
}

xdotool windowfocus --sync "$main" key --clearmodifiers alt+i v
about=$(wait_for '^ﾊﾞｰｼﾞｮﾝ情報$')
sleep 0.5
shoot "$about" about.png
# Enlarged three times, pixel for pixel, to look at the borders and the etched rule.
eval "$(xdotool getwindowgeometry --shell "$about")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -filter point -resize 300% "$out/about-3x.png"
echo "$out/about-3x.png"

# The narrow layout (comWide, 144,16 in the client area below the menu bar), then Version again.
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove --window "$main" 156 $((HEIGHT - 207 + 28)) click 1
sleep 0.5
xdotool windowfocus --sync "$main" key --clearmodifiers alt+i v
sleep 0.5
shoot "$about" about-narrow.png
