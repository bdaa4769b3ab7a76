#!/usr/bin/env bash
# The program as a process, on a private X server: the About window opens against the main
# window's right edge (wide and narrow), a second Version command brings it back, an About
# window left open keeps the program running after the main window's Exit button, and
# File > Exit ends the program with both windows. Without a window manager the windows
# have no frames; with one (openbox) the edges compared are those of the frames.
#
#   tests/about/lifetime.sh <path to quietwatch> [window manager command]
set -uo pipefail
program=$1
wm=${2:-}
[ -x "$program" ] || { echo "lifetime: $program not built" >&2; exit 1; }
# A power request sent by mistake goes nowhere.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/quietwatch-test
export QT_QPA_PLATFORM=xcb

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() { echo "PASS: $*"; }

source "$(dirname "$0")/../support/xserver.sh"
xserver_start 1024x768 || exit 1
if [ -n "$wm" ]; then
    $wm >"$work/wm.log" 2>&1 &
    wm_pid=$!
    # The window manager announces itself on the root window.
    for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
fi

# True once no visible window matches the title (within about two seconds).
window_gone() {
    for _ in $(seq 20); do
        [ -z "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ] && return 0
        sleep 0.1
    done
    return 1
}
# Waits up to twenty seconds for the program to end (a sanitizer build's leak check at exit
# is slow on a loaded machine); prints its exit status.
ended() {
    for _ in $(seq 200); do
        if ! kill -0 "$app" 2>/dev/null; then
            wait "$app"
            echo $?
            app=''
            return 0
        fi
        sleep 0.1
    done
    return 1
}
geometry() { # prints "x y width height" of a window's outer frame (its own edges without one)
    local left=0 right=0 top=0 bottom=0 extents X Y WIDTH HEIGHT
    # xwininfo, not xdotool: the latter counts the frame's offset twice under a window manager.
    read -r X Y WIDTH HEIGHT <<<"$(xwininfo -id "$1" |
        sed -n 's/^ *Absolute upper-left [XY]: *//p; s/^ *Width: *//p; s/^ *Height: *//p' | tr '\n' ' ')"
    extents=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.* = //p' | tr -d ' ')
    [ -n "$extents" ] && IFS=, read -r left right top bottom <<<"$extents"
    echo "$((X - left)) $((Y - top)) $((WIDTH + left + right)) $((HEIGHT + top + bottom))"
}
keys() { # sends keys to a window
    local window=$1
    shift
    xdotool windowfocus --sync "$window" key --clearmodifiers "$@"
    sleep 0.3
}
start() {
    "$program" 2>"$work/program.log" &
    app=$!
    main=$(window_wait '^Quietwatch$') || {
        echo "lifetime: the main window did not appear" >&2
        cat "$work/program.log" >&2
        exit 1
    }
}
about_title='^ﾊﾞｰｼﾞｮﾝ情報$'
version() { keys "$main" alt+i v; }
# Without a window manager there is no frame: the outer edges are the window's own.
check_beside() {
    local what=$1 about mx my mw ax ay
    about=$(window_wait "$about_title") || { fail "$what: no About window"; return; }
    read -r mx my mw _ <<<"$(geometry "$main")"
    read -r ax ay _ <<<"$(geometry "$about")"
    if [ "$ax" -eq $((mx + mw)) ] && [ "$ay" -eq "$my" ]; then
        pass "$what: About at $ax,$ay against the main window $mx,$my width $mw"
    else
        fail "$what: About at $ax,$ay, main window at $mx,$my width $mw"
    fi
}
about_count() { xdotool search --onlyvisible --name "$about_title" 2>/dev/null | wc -l; }
skips_taskbar() { xprop -id "$1" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR; }

# comWide sits at 144,16 (25 x 25) in the client area, below the menu bar; the client area
# is 207 pixels high.
toggle_layout() {
    local height
    height=$(xwininfo -id "$main" | sed -n 's/^ *Height: *//p')
    xdotool mousemove --window "$main" 156 $((height - 207 + 28)) click 1
    sleep 0.3
}

# 1. Wide and narrow layouts, a second command after the About window was moved away, and
#    File > Exit with the About window open.
start
version
check_beside "wide layout"
about=$(window_wait "$about_title")
if skips_taskbar "$about" && ! skips_taskbar "$main"; then
    pass "the About window asks for no task-bar button, the main window has one"
else
    fail "task-bar states: About '$(xprop -id "$about" _NET_WM_STATE)', main '$(xprop -id "$main" _NET_WM_STATE)'"
fi
read -r before_x before_y _ <<<"$(geometry "$about")"
read -r _ _ wide_width _ <<<"$(geometry "$main")"
toggle_layout
read -r _ _ narrow_width _ <<<"$(geometry "$main")"
read -r after_x after_y _ <<<"$(geometry "$about")"
if [ "$after_x $after_y" = "$before_x $before_y" ] && [ "$narrow_width" -lt "$wide_width" ]; then
    pass "narrowing the main window (to $narrow_width) leaves the About window where it is"
else
    fail "after narrowing to $narrow_width the About window moved from $before_x,$before_y to $after_x,$after_y"
fi
version
check_beside "narrow layout, second command"
beside=$(geometry "$about" | cut -d' ' -f1-2)
xdotool windowmove "$about" 40 30
sleep 0.3
moved=$(geometry "$about" | cut -d' ' -f1-2)
[ "$moved" != "$beside" ] || fail "the About window could not be moved away (at $moved)"
version
check_beside "second command after the About window was moved away"
[ "$(about_count)" -eq 1 ] && pass "one About window" || fail "$(about_count) About windows"
keys "$main" alt+f x
if status=$(ended); then
    [ "$status" -eq 0 ] && pass "File > Exit with the About window open ends the program" ||
        fail "File > Exit: exit status $status"
else
    fail "File > Exit with the About window open: the program is still running"
fi

# 2. The Exit button with the About window open: the program waits for the About window.
start
version
about=$(window_wait "$about_title") || fail "no About window"
keys "$main" alt+x
window_gone '^Quietwatch$' && pass "the Exit button closes the main window" || fail "the main window stays"
sleep 1
if kill -0 "$app" 2>/dev/null && [ "$(about_count)" -eq 1 ]; then
    pass "the program keeps running while the About window is open"
else
    fail "the program ended (or the About window closed) with the main window"
fi
keys "$about" Escape
if status=$(ended); then
    [ "$status" -eq 0 ] && pass "closing the About window then ends the program" || fail "exit status $status"
else
    fail "the program still runs after its last window closed"
fi

# 3. File > Exit when the About window was never opened.
start
keys "$main" alt+f x
if status=$(ended); then
    [ "$status" -eq 0 ] && pass "File > Exit alone ends the program" || fail "File > Exit alone: exit status $status"
else
    fail "File > Exit alone: the program is still running"
fi

[ "$failures" -eq 0 ] || { echo "$failures failed"; cat "$work/program.log"; exit 1; }
echo "all passed"
