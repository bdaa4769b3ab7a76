#!/usr/bin/env python3
"""Each `uses:` of a workflow pinned to a full commit SHA with its release tag in a comment,
the tag the one scripts/action-inputs.txt lists, and each `with:` key an input that action
declares: what the offline actionlint cannot check for a pinned action.

    scripts/check-action-pins.py WORKFLOW.yml...
"""
import re
import sys
from pathlib import Path

USES = re.compile(r"^(\s*)(?:-\s+)?uses:\s*([^@\s]+)@(\S+)\s*(?:#\s*(\S+))?\s*$")
WITH = re.compile(r"^(\s*)(?:-\s+)?with:\s*$")
KEY = re.compile(r"^(\s*)([A-Za-z0-9_-]+):")
STEP = re.compile(r"^(\s*)-\s")


def inputs_table():
    table = {}
    for line in (Path(__file__).parent / "action-inputs.txt").read_text().splitlines():
        if line.strip() and not line.startswith("#"):
            head, keys = line.split(":", 1)
            action, tag = head.split()
            table[action] = (tag, set(keys.split()))
    return table


def steps(lines):
    """(first line number, lines) of each list item that holds a `uses:` or a `with:`."""
    starts = [i for i, line in enumerate(lines) if STEP.match(line)]
    for n, start in enumerate(starts):
        indent = len(STEP.match(lines[start]).group(1))
        end = start + 1
        while end < len(lines) and (not lines[end].strip() or len(lines[end]) - len(lines[end].lstrip()) > indent):
            end += 1
        yield start, lines[start:end]


def check(path, table):
    lines = Path(path).read_text().splitlines()
    problems = []
    for start, step in steps(lines):
        uses = [(k, USES.match(line)) for k, line in enumerate(step) if USES.match(line)]
        if not uses:
            continue
        k, m = uses[0]
        where = f"{path}:{start + k + 1}"
        action, ref, tag = m.group(2), m.group(3), m.group(4)
        if not re.fullmatch(r"[0-9a-f]{40}", ref):
            problems.append(f"{where}: {action}@{ref} is not pinned to a full commit SHA")
        if not tag or not re.fullmatch(r"v\d+(\.\d+)*", tag):
            problems.append(f"{where}: {action} has no version tag in a comment after its SHA")
        if action not in table:
            problems.append(f"{where}: {action} is not in scripts/action-inputs.txt")
            continue
        if tag and tag != table[action][0]:
            problems.append(f"{where}: {action} is pinned at {tag}, scripts/action-inputs.txt lists {table[action][0]}")
        for w, line in enumerate(step):
            wm = WITH.match(line)
            if not wm:
                continue
            child = None
            for inner in step[w + 1:]:
                if not inner.strip():
                    continue
                indent = len(inner) - len(inner.lstrip())
                if indent <= len(wm.group(1)) + (2 if line.lstrip().startswith("-") else 0):
                    break
                child = indent if child is None else child
                km = KEY.match(inner)
                if indent == child and km and km.group(2) not in table[action][1]:
                    problems.append(f"{where}: {action} {table[action][0]} has no input '{km.group(2)}'")
    return problems


def main():
    table = inputs_table()
    problems = [p for path in sys.argv[1:] for p in check(path, table)]
    print("\n".join(problems) if problems else f"actions pinned, inputs known: {' '.join(sys.argv[1:])}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
