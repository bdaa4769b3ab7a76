#!/usr/bin/env bash
# How the program ends, on a private X server with no window manager:
#   - the Exit button closes the window and the program exits with 0;
#   - with the About window open, the Exit button leaves the program running;
#   - with the About window open, File > Exit closes both and the program exits with 0.
#   end-under-xvfb.sh <path to quietwatch>
set -u
program=$1
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

source "$(dirname "$0")/../support/xserver.sh"
xserver_start 800x600 || { echo "FAIL: no X server"; exit 1; }
unset QT_QPA_PLATFORM

failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

windows() { xdotool search --onlyvisible --pid "$app" --name '.' 2>/dev/null | wc -l; } # titled windows

start() {
    "$program" 2>"$work/program.log" &
    app=$!
    main=$(window_wait '^Quietwatch$' "$app") && return 0
    fail "the window did not appear"
    cat "$work/program.log"
    return 1
}

# Sets result to the exit code once the program has ended, or to "running" after five
# seconds. (Not in a subshell: only this shell can wait for the program.)
outcome() {
    result=running
    for _ in $(seq 50); do
        if ! kill -0 "$app" 2>/dev/null; then
            wait "$app"
            result=$?
            app=''
            return
        fi
        sleep 0.1
    done
}

stop() {
    [ -n "$app" ] || return 0
    kill "$app" 2>/dev/null
    wait "$app" 2>/dev/null
    app=''
}

# The client area stands at 248,285; com1 is 88,176 in it, 81 x 25 pixels.
clickExit() { xdotool mousemove 376 473 click 1; }
openAbout() {
    xdotool windowfocus --sync "$main" key --clearmodifiers alt+i v
    for _ in $(seq 50); do [ "$(windows)" -ge 2 ] && return 0; sleep 0.1; done
    fail "the About window did not open"
    return 1
}

if start; then
    clickExit
    outcome
    [ "$result" = 0 ] && echo "PASS Exit button: exit code 0" || fail "Exit button: $result"
    [ "$result" = running ] && stop
fi

if start && openAbout; then
    clickExit
    sleep 1
    outcome
    if [ "$result" = running ] && [ "$(windows)" -eq 1 ] && ! xdotool search --onlyvisible --pid "$app" --name '.' | grep -qx "$main"; then
        echo "PASS Exit button with the About window open: the About window stays, the program runs"
    else
        fail "Exit button with the About window open: $result, $(windows) window(s)"
    fi
    stop
fi

if start && openAbout; then
    xdotool windowfocus --sync "$main" key --clearmodifiers alt+f x
    outcome
    [ "$result" = 0 ] && echo "PASS File > Exit with the About window open: exit code 0" || fail "File > Exit: $result"
    [ "$result" = running ] && stop
fi

[ "$failures" -eq 0 ]
