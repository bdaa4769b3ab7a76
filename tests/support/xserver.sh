# Shell helpers for programs run on a private X server; source this file. Sourcing makes a
# scratch folder ($work) and an exit trap that stops whatever of the program ($app), the
# window manager ($wm_pid) and the X server ($xvfb) the caller started, then removes $work.

work=$(mktemp -d)
xvfb='' app='' wm_pid=''
xserver_cleanup() {
    local pid
    for pid in "$app" "$wm_pid" "$xvfb"; do
        [ -n "$pid" ] && kill "$pid" 2>/dev/null
    done
    wait 2>/dev/null
    rm -rf "$work"
    return 0
}
trap xserver_cleanup EXIT

# xserver_start [WIDTHxHEIGHT [XVFB_ARGS...]]: Xvfb on the first free display number (the
# server picks it and reports it on fd 3), exported as DISPLAY. The server does not reset when
# its last client leaves: a program started while it resets is refused its display.
xserver_start() {
    Xvfb -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp -noreset "${@:2}" 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    if [ ! -s "$work/display" ]; then
        echo "Xvfb did not start" >&2
        cat "$work/xvfb.log" >&2
        return 1
    fi
    export DISPLAY=":$(head -n1 "$work/display")"
    unset WAYLAND_DISPLAY
    # No session bus: with none set, libdbus would autolaunch a session daemon for Qt's
    # accessibility bridge, and that daemon outlives the test.
    export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/quietwatch-session-bus
}

# window_wait TITLE_REGEX [PID]: prints the id of the first visible window whose title
# matches (of that process, if given), waiting up to ten seconds; fails if none shows.
window_wait() {
    local id='' by_pid=()
    [ -n "${2:-}" ] && by_pid=(--pid "$2")
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible "${by_pid[@]}" --name "$1" 2>/dev/null | head -n1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
