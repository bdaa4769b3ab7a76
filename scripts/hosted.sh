#!/usr/bin/env bash
# What the hosted Linux jobs run in their Debian container after the checkout:
#   scripts/hosted.sh test               the README's test command
#   scripts/hosted.sh release OUT_DIR    the release's files (scripts/release.sh)
# The checkout belongs to another user than the container's root: git must be told it is safe,
# or every git call (the commit's time of the reproducible builds among them) fails.
set -euo pipefail
cd "$(dirname "$0")/.."
git config --global --add safe.directory "$PWD"
case ${1:-} in
test) exec ./scripts/test.sh ;;
release) exec ./scripts/release.sh "${2:-dist}" ;;
*)
    echo "usage: hosted.sh test|release [OUT_DIR]" >&2
    exit 2
    ;;
esac
