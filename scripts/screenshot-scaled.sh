#!/usr/bin/env bash
# Photographs the scheduler window with the About window beside it, and the time query
# window, on a private X server at the scale factors 1.5 and 2 (QT_SCALE_FACTOR) and on a
# 192-dpi screen (Xft.dpi), to see that every caption stays whole at high DPI.
#
#   scripts/screenshot-scaled.sh [build-dir] [output-dir]
#
# The pictures (scaled-<how>-form1.png, scaled-<how>-form2.png) go to <build-dir>/screenshots/
# unless another directory is given.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-${QUIETWATCH_BUILD_DIR:-build}}
out=${2:-$build/screenshots}
for program in "$build/app/quietwatch" "$build/timequery/quietwatch-timequery"; do
    [ -x "$program" ] || { echo "screenshot-scaled: $program not built" >&2; exit 1; }
done
mkdir -p "$out"
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/quietwatch-screenshot
export QT_QPA_PLATFORM=xcb

shoot() { # shoot NAME: one run on a fresh X server, with the environment as it stands
    (
        source tests/support/xserver.sh
        # No reset when the last client leaves: the screen's resources must outlast xrdb.
        xserver_start 1800x1200 -noreset || exit 1
        [ -n "${XFT_DPI:-}" ] && echo "Xft.dpi: $XFT_DPI" | xrdb -nocpp -merge
        "$build/app/quietwatch" 2>"$work/program.log" &
        app=$!
        main=$(window_wait '^Quietwatch$') || { cat "$work/program.log" >&2; exit 1; }
        sleep 1.2 # a couple of clock ticks
        xdotool windowfocus --sync "$main" key --clearmodifiers alt+i v
        about=$(window_wait '^ﾊﾞｰｼﾞｮﾝ情報$') || exit 1
        sleep 0.5
        eval "$(xdotool getwindowgeometry --shell "$main")"
        local left=$X top=$Y bottom=$((Y + HEIGHT))
        eval "$(xdotool getwindowgeometry --shell "$about")"
        ((Y + HEIGHT > bottom)) && bottom=$((Y + HEIGHT))
        import -window root -crop "$((X + WIDTH - left + 16))x$((bottom - top + 16))+$((left - 8))+$((top - 8))" \
            +repage "$out/scaled-$1-form1.png"
        kill "$app"
        wait "$app" 2>/dev/null || true
        "$build/timequery/quietwatch-timequery" 2>>"$work/program.log" &
        app=$!
        form2=$(window_wait '^時刻合わせ$') || exit 1
        sleep 0.5
        import -window "$form2" "$out/scaled-$1-form2.png"
        echo "$out/scaled-$1-form1.png $out/scaled-$1-form2.png"
    )
}

QT_SCALE_FACTOR=1.5 shoot 1.5
QT_SCALE_FACTOR=2 shoot 2
XFT_DPI=192 shoot 192dpi
