#!/usr/bin/env bash
# Photographs the Win32 windows under Wine on a private X server (Xvfb, no window manager):
# the scheduler window as it opens, with the File menu down, with the date list open and
# narrowed; the About window beside it; the time query window; at 96 and at 144 dpi.
#
#   scripts/screenshot-win32.sh [build-dir]
#
# Takes the programs of the cross build in <build-dir>/tests/windows/cross (CTest's
# windows.build or scripts/cross-test.sh build makes it) and a Wine prefix of its own in
# <build-dir>/screenshots/wineprefix, made on the first run. The pictures go to
# <build-dir>/screenshots/ (win32-*.png, and win32-*-144.png at 144 dpi).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-${QUIETWATCH_BUILD_DIR:-build}}
cross=$build/tests/windows/cross
out=$build/screenshots
for exe in app/Quietwatch.exe timequery/quietwatch-timequery.exe; do
    [ -f "$cross/$exe" ] || { echo "screenshot-win32: $cross/$exe not built (scripts/cross-test.sh build $cross)" >&2; exit 1; }
done
mkdir -p "$out"
prefix=$out/wineprefix
[ -f "$prefix/system.reg" ] || scripts/cross-test.sh wine-start "$prefix"

source tests/support/xserver.sh
xserver_start 1600x1200 # room for the About window beside at 144 dpi || exit 1
export WINEPREFIX
WINEPREFIX=$(cd "$prefix" && pwd)
export WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
unset LANG LANGUAGE
for v in $(compgen -e); do
    case $v in LC_*) unset "$v" ;; esac
done
# The prefix's desktop process belongs to the display it starts on: a server of this display.
wineserver -k 2>/dev/null || true
wineserver -w
stop_wine() {
    wineserver -k 2>/dev/null || true
    xserver_cleanup
}
trap stop_wine EXIT

# The window whose title is exactly $1 (xdotool's pattern does not match every title here).
window_named() {
    local id
    for _ in $(seq 150); do
        for id in $(xdotool search --onlyvisible --name . 2>/dev/null); do
            [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] && { echo "$id"; return 0; }
        done
        sleep 0.2
    done
    echo "screenshot-win32: no window '$1'" >&2
    return 1
}
shoot() {
    sleep 0.6
    import -window root -crop "$1" +repage "$out/$2"
    echo "$out/$2"
}
# Wine sends keys to its own active window; without a window manager a click makes it active.
activate() { xdotool mousemove --window "$1" "$2" "$3" click 1 && sleep 0.4; }

# Everything at 96 and at 144 dpi (the prefix's LogPixels; Wine 8 has no per-monitor DPI).
photograph() {
    local dpi=$1 suffix=$2 crop
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    px() { echo $(($1 * dpi / 96)); }
    crop=$(px 640)x$(px 320)+$(px 240)+$(px 250)
    xdotool mousemove 0 0 # away from where the lists drop down
    wine "$cross/app/Quietwatch.exe" </dev/null >"$work/program.log" 2>&1 &
    app=$!
    main=$(window_named Quietwatch)
    sleep 1.2 # a couple of clock ticks
    shoot "$crop" "win32-form1$suffix.png"
    xdotool windowfocus --sync "$main" key alt+f
    shoot "$crop" "win32-form1-menu$suffix.png"
    xdotool key Escape Escape
    # cmDate is the fifth stop after com1; F4 opens it.
    xdotool key Tab Tab Tab Tab Tab F4
    shoot "$(px 640)x$(px 420)+$(px 240)+$(px 250)" "win32-form1-date$suffix.png"
    xdotool key Escape
    sleep 0.5 # until the list has closed and let the mouse go
    xdotool key alt+i v
    about=$(window_named 'ﾊﾞｰｼﾞｮﾝ情報')
    shoot "$(px 700)x$(px 320)+$(px 240)+$(px 250)" "win32-about$suffix.png"
    activate "$about" "$(px 222)" "$(px 187)" # OK
    # Without a window manager Wine may wait up to 2 s for a window's unmapping to be confirmed.
    for _ in $(seq 50); do
        xdotool getwindowname "$about" >/dev/null 2>&1 && xdotool search --onlyvisible --name . 2>/dev/null |
            grep -qx "$about" || break
        sleep 0.1
    done
    # comWide: 144,16 below the menu bar; the menu bar is what the X window has above 207 pixels.
    eval "$(xdotool getwindowgeometry --shell "$main")"
    activate "$main" "$(px 156)" $((HEIGHT - $(px 207) + $(px 28)))
    shoot "$crop" "win32-form1-narrow$suffix.png"
    xdotool windowfocus --sync "$main" key alt+x
    wait "$app" || true

    wine "$cross/timequery/quietwatch-timequery.exe" </dev/null >"$work/program.log" 2>&1 &
    app=$!
    query=$(window_named 時刻合わせ)
    eval "$(xdotool getwindowgeometry --shell "$query")"
    shoot "$((WIDTH + 40))x$((HEIGHT + 40))+$((X - 20))+$((Y - 20))" "win32-form2$suffix.png"
    xdotool windowfocus --sync "$query" key Escape
    wait "$app" || true
    app=''
}
photograph 144 -144
photograph 96 ''
