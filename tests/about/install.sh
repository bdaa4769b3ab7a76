#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the desktop integration there: the
# program, the menu entry, the icon in the hicolor theme and the AppStream metainfo, each
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

# The menu entry: exactly one for the program, named by its reverse-DNS id.
mapfile -t entries < <(grep -l '^Exec=quietwatch$' "$prefix"/share/applications/*.desktop 2>/dev/null)
[ ${#entries[@]} -eq 1 ] || { fail "${#entries[@]} desktop entries run quietwatch"; exit 1; }
desktop=${entries[0]}
id=$(basename "$desktop" .desktop)
[[ $id =~ ^[a-z0-9]+(\.[a-z0-9_-]+){2,}$ ]] && pass "desktop entry $id.desktop" || fail "id $id is not reverse-DNS"

# Errors and warnings fail; hints (two main categories) do not.
report=$(desktop-file-validate "$desktop" 2>&1)
status=$?
if [ $status -eq 0 ] && ! grep -qE ': (error|warning):' <<<"$report"; then
    pass "desktop-file-validate"
else
    fail "desktop-file-validate: $report"
fi
value() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(value Name)" = Quietwatch ] || fail "Name is '$(value Name)'"
for key in 'Name\[ja\]' Comment 'Comment\[ja\]'; do
    [ -n "$(value "$key")" ] || fail "no $key"
done
grep -qP '^Comment\[ja\]=.*[\x{3040}-\x{30ff}\x{4e00}-\x{9fff}]' "$desktop" || fail "Comment[ja] is not Japanese"
[ "$(value Categories)" = "Utility;System;" ] || fail "Categories are '$(value Categories)'"
[ -x "$prefix/bin/$(value Exec)" ] || fail "Exec=$(value Exec) is not an installed program"

icon=$(value Icon)
png="$prefix/share/icons/hicolor/32x32/apps/$icon.png"
if [ -f "$png" ] && [ "$(od -An -tx1 -j16 -N8 "$png" | tr -d ' \n')" = 0000002000000020 ]; then
    pass "icon $icon: 32 x 32 in the hicolor theme"
else
    fail "no 32 x 32 icon $png"
fi

metainfo="$prefix/share/metainfo/$id.metainfo.xml"
if [ -f "$metainfo" ]; then
    report=$(appstreamcli validate --no-net "$metainfo" 2>&1) && pass "appstreamcli validate" ||
        fail "appstreamcli validate: $report"
    grep -q "<id>$id</id>" "$metainfo" || fail "the metainfo id is not $id"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fail "the metainfo does not launch $id.desktop"
    grep -q '<component type="desktop-application">' "$metainfo" || fail "not a desktop application"
    grep -q '<release version="1.00"' "$metainfo" || fail "no release 1.00"
else
    fail "no $metainfo"
fi

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "all passed"
