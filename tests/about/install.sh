#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the desktop integration there: the
# programs, their menu entries, the icon in the hicolor theme and the AppStream metainfo, each
# where desktops look for it, valid, and pointing at one another.
#
#   tests/about/install.sh <cmake> <build dir>
set -uo pipefail
cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() { echo "PASS: $*"; }

"$cmake" --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 || {
    cat "$prefix.log"
    rm -f "$prefix.log"
    echo "FAIL: cmake --install"
    exit 1
}
rm -f "$prefix.log"

[ -x "$prefix/bin/quietwatch" ] && pass "bin/quietwatch" || fail "bin/quietwatch is not installed"

# The menu entries: exactly one per program, each named by a reverse-DNS id, with the name,
# categories and icon it is shown with.
check_entry() { # program name categories: sets $id and $desktop
    local program=$1 name=$2 categories=$3
    mapfile -t entries < <(grep -l "^Exec=$program\$" "$prefix"/share/applications/*.desktop 2>/dev/null)
    [ ${#entries[@]} -eq 1 ] || { fail "${#entries[@]} desktop entries run $program"; exit 1; }
    desktop=${entries[0]}
    id=$(basename "$desktop" .desktop)
    [[ $id =~ ^[a-z0-9]+(\.[a-z0-9_-]+){2,}$ ]] && pass "desktop entry $id.desktop" || fail "id $id is not reverse-DNS"

    # Errors and warnings fail; hints (two main categories) do not.
    report=$(desktop-file-validate "$desktop" 2>&1)
    status=$?
    if [ $status -eq 0 ] && ! grep -qE ': (error|warning):' <<<"$report"; then
        pass "desktop-file-validate $id.desktop"
    else
        fail "desktop-file-validate: $report"
    fi
    [ "$(value Name)" = "$name" ] || fail "Name is '$(value Name)', not '$name'"
    for key in 'Name\[ja\]' Comment 'Comment\[ja\]'; do
        [ -n "$(value "$key")" ] || fail "no $key in $id.desktop"
    done
    grep -qP '^Comment\[ja\]=.*[\x{3040}-\x{30ff}\x{4e00}-\x{9fff}]' "$desktop" || fail "Comment[ja] is not Japanese"
    [ "$(value Categories)" = "$categories" ] || fail "Categories are '$(value Categories)'"
    [ -x "$prefix/bin/$(value Exec)" ] || fail "Exec=$(value Exec) is not an installed program"

    local icon png
    icon=$(value Icon)
    png="$prefix/share/icons/hicolor/32x32/apps/$icon.png"
    if [ -f "$png" ] && [ "$(od -An -tx1 -j16 -N8 "$png" | tr -d ' \n')" = 0000002000000020 ]; then
        pass "icon $icon: 32 x 32 in the hicolor theme"
    else
        fail "no 32 x 32 icon $png"
    fi
}
value() { sed -n "s/^$1=//p" "$desktop"; }

# The time query is named by its window's title.
check_entry quietwatch-timequery 時刻合わせ "Utility;Clock;"
timequery_id=$id
check_entry quietwatch Quietwatch "Utility;System;"
[ "$timequery_id" = "$id.timequery" ] || fail "the time query's id $timequery_id is not under $id"

metainfo="$prefix/share/metainfo/$id.metainfo.xml"
if [ -f "$metainfo" ]; then
    report=$(appstreamcli validate --no-net "$metainfo" 2>&1) && pass "appstreamcli validate" ||
        fail "appstreamcli validate: $report"
    grep -q "<id>$id</id>" "$metainfo" || fail "the metainfo id is not $id"
    for entry in "$id" "$timequery_id"; do
        grep -q "<launchable type=\"desktop-id\">$entry.desktop</launchable>" "$metainfo" ||
            fail "the metainfo does not launch $entry.desktop"
    done
    grep -q '<component type="desktop-application">' "$metainfo" || fail "not a desktop application"
    grep -q '<release version="1.00"' "$metainfo" || fail "no release 1.00"
else
    fail "no $metainfo"
fi

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "all passed"
