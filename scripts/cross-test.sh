#!/usr/bin/env bash
# The Windows side on Linux: cross-builds the parts without Qt (core, Win32 power layer,
# their tests) with MinGW-w64 and runs the test programs under Wine in a private prefix.
#
#   scripts/cross-test.sh [build-dir]        everything, standalone (default build-mingw):
#                                            scripts/windows-tests.sh, which builds and runs
#                                            the tests through CTest with wine-run below
#
# The single steps (CTest in tests/windows, and scripts/windows-tests.sh):
#   scripts/cross-test.sh build <build-dir>      as scripts/windows-tests.sh build
#   scripts/cross-test.sh check-tools
#   scripts/cross-test.sh wine-start <prefix>
#   scripts/cross-test.sh wine-run <prefix> <program.exe> [args...]
#   scripts/cross-test.sh wine-stop <prefix>
#
# Wine notes: no display is used (windows live on Wine's null driver); the server is started
# once, persistent, before the programs and killed after them. Nothing Wine starts may keep
# the caller's stdout open (CTest would wait for it), so Wine's own output goes to a log file
# that is printed afterwards, and every program runs under a time limit.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
tools=(x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres x86_64-w64-mingw32-objdump
    makensis wine wineserver)
run_limit=${QUIETWATCH_WINE_TIMEOUT:-120}

die() {
    echo "cross-test: $*" >&2
    exit 1
}

check_tools() {
    local missing=()
    for t in "${tools[@]}"; do
        command -v "$t" >/dev/null || missing+=("$t")
    done
    [ ${#missing[@]} -eq 0 ] || die "missing ${missing[*]} (scripts/setup-debian.sh installs them)"
}

# A Windows program sees neither the X display nor the Unix locale variables: Wine would
# hand LANG on, and MinGW's C++ library knows no locale but "C" (a real Windows has no LANG).
wine_env() {
    local prefix=$1
    [ -n "$prefix" ] || die "no prefix given"
    mkdir -p "$prefix"
    WINEPREFIX=$(cd "$prefix" && pwd)
    export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
    unset DISPLAY WAYLAND_DISPLAY LANG LANGUAGE
    for v in $(compgen -e); do
        case $v in LC_*) unset "$v" ;; esac
    done
}

cmd_wine_start() {
    check_tools
    wine_env "${1:-}"
    local log=$WINEPREFIX/boot.log started=$SECONDS
    : >"$log"
    # Fails only when a server for this prefix runs already, which serves as well.
    wineserver -p </dev/null >>"$log" 2>&1 || echo "(a wineserver was running already)" >>"$log"
    if ! timeout -k 10 240 wine wineboot --init </dev/null >>"$log" 2>&1; then
        cat "$log" >&2
        die "wineboot failed in $WINEPREFIX"
    fi
    [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ] || die "wineboot left no system in $WINEPREFIX: $(cat "$log")"
    # The Japanese faces the windows ask for (and the stand-ins they fall back to, and MS UI
    # Gothic, which Wine's menu font links to for Japanese) drawn by the IPA fonts, or Wine may
    # draw boxes; a crash never waits for a click. Without an X display the desktop falls back
    # to Wine's null driver, on which windows exist and text is measured but nothing is shown
    # (the layout test); with one (the end-to-end test, the screenshots) it is X11 as before.
    # The prefix reports Windows 10 (Debian's Wine 8 makes Windows 7 prefixes), the least the
    # programs and their installer take; a program named windows7-setup.exe is told it runs on
    # Windows 7 (the installer test).
    local reg=$WINEPREFIX/quietwatch.reg
    printf '%s\r\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
        '"ＭＳ Ｐゴシック"="IPAPGothic"' '"ＭＳ ゴシック"="IPAGothic"' '"Yu Gothic UI"="IPAPGothic"' \
        '"Meiryo UI"="IPAPGothic"' '"MS UI Gothic"="IPAPGothic"' '' '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' \
        '' '[HKEY_CURRENT_USER\Software\Wine\Drivers]' '"Graphics"="x11,null"' \
        '' '[HKEY_CURRENT_USER\Software\Wine]' '"Version"="win10"' \
        '' '[HKEY_CURRENT_USER\Software\Wine\AppDefaults\windows7-setup.exe]' '"Version"="win7"' |
        iconv -f UTF-8 -t UTF-16 >"$reg"
    timeout 60 wine regedit /S "$reg" </dev/null >>"$log" 2>&1 || die "the prefix's settings failed: $(cat "$log")"
    # A desktop made before the driver setting keeps its driver: a new session takes the setting.
    wineserver -k </dev/null >>"$log" 2>&1 || true
    timeout 60 wineserver -w </dev/null >>"$log" 2>&1 || die "wineserver did not stop: $(cat "$log")"
    wineserver -p </dev/null >>"$log" 2>&1 || die "wineserver did not start again: $(cat "$log")"
    echo "$(wine --version 2>/dev/null) ready in $((SECONDS - started)) s, prefix $WINEPREFIX"
}

cmd_wine_run() {
    wine_env "${1:-}"
    local program=${2:?program}
    shift 2
    [ -f "$program" ] || die "no such program: $program"
    local out
    out=$(mktemp "$WINEPREFIX/run.XXXXXX")
    local rc=0
    timeout -k 10 "$run_limit" wine "$program" "$@" </dev/null >"$out" 2>&1 || rc=$?
    # Wine's note that there is no 32-bit half is noise for a 64-bit program, as is its note that
    # the volume serial of drive Z: (the root folder), where a program may be installed, is unreadable.
    grep -v -e 'wine32 is missing' -e 'multiarch needs' -e 'dpkg --add-architecture' -e 'apt-get install wine32' \
        -e 'syswow64' -e 'FS volume label and serial are not available' "$out" || true
    rm -f "$out"
    [ "$rc" -ne 124 ] || echo "cross-test: $program did not finish within $run_limit s" >&2
    return "$rc"
}

cmd_wine_stop() {
    wine_env "${1:-}"
    wineserver -k </dev/null >/dev/null 2>&1 || true
    timeout 60 wineserver -w </dev/null >/dev/null 2>&1 || die "wineserver did not stop"
}

case ${1:-} in
check-tools) check_tools ;;
build) exec "$source_dir/scripts/windows-tests.sh" build "${@:2}" ;;
wine-start) cmd_wine_start "${@:2}" ;;
wine-run) cmd_wine_run "${@:2}" ;;
wine-stop) cmd_wine_stop "${@:2}" ;;
*) exec "$source_dir/scripts/windows-tests.sh" "${1:-build-mingw}" ;;
esac
