#!/usr/bin/env bash
# The run command's set-up installs no test tool: neither the packages it names nor anything
# they depend on (recursively, as apt resolves it without recommends) is in the test group.
set -euo pipefail
setup=$1
run=$("$setup" --list run)
both=$("$setup" --list test | sort | uniq -d)
[ -z "$both" ] || { echo "FAIL: in both groups:" $both; exit 1; }
tests=$("$setup" --list test | grep -vxF "$run" | sort -u)
# shellcheck disable=SC2086 # one argument per package
closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
    --no-enhances $run | grep -v '^ ' | sed 's/:.*$//' | sort -u)
[ "$(wc -l <<<"$closure")" -gt "$(wc -w <<<"$run")" ] || { echo "apt-cache resolved nothing"; exit 1; }
pulled=$(comm -12 <(echo "$closure") <(echo "$tests"))
[ -z "$pulled" ] || { echo "FAIL: the run command would install test packages:" $pulled; exit 1; }
echo "PASS: $(wc -w <<<"$run") run packages and $(wc -l <<<"$closure") with their dependencies, no test package"
