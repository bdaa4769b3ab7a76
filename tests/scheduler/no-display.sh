#!/usr/bin/env bash
# Without a display the program must say so in one line on stderr and exit with 1,
# not abort. Cases: nothing set, an X display nobody serves, a malformed name, and a
# Wayland socket that does not exist.
#   no-display.sh <path to quietwatch or quietwatch-timequery>
set -u
program=$1
failures=0

free=900
while [ -e "/tmp/.X11-unix/X$free" ] || [ -e "/tmp/.X$free-lock" ]; do free=$((free + 1)); done

check() {
    local what=$1
    shift
    local err rc
    err=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE "$@" timeout 20 "$program" 2>&1 >/dev/null)
    rc=$?
    local lines
    lines=$(printf '%s\n' "$err" | grep -c .)
    if [ "$rc" -eq 1 ] && [ "$lines" -eq 1 ] && [[ $err == "$(basename "$program"): cannot open a display ("*")" ]]; then
        echo "PASS $what: $err"
    else
        echo "FAIL $what: exit $rc, $lines line(s) on stderr:"
        printf '%s\n' "$err"
        failures=$((failures + 1))
    fi
}

check "DISPLAY not set"
check "DISPLAY=:$free (no server)" DISPLAY=":$free"
check "DISPLAY=bogus" DISPLAY=bogus
check "Wayland socket missing" WAYLAND_DISPLAY=quietwatch-nowhere XDG_SESSION_TYPE=wayland
check "QT_QPA_PLATFORM=xcb, DISPLAY=:$free" QT_QPA_PLATFORM=xcb DISPLAY=":$free"

[ "$failures" -eq 0 ]
