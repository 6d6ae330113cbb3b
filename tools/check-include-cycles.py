#!/usr/bin/env python3
"""Fails when the project's units include one another in a circle.

A unit is the .h/.cpp pair of one name in one folder (a file without a
partner is a unit of its own). A unit depends on every unit whose files its
files include; the check reads the tracked code of the program's folders and
names one circle for each group of units that reach one another. Tests and
benchmarks are left out: they sit above the code and nothing includes them.
"""
import os
import re
import subprocess
import sys

CODE_FOLDERS = ["fileutil", "diag", "widgets", "wizard", "tools"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)

root = subprocess.run(["git", "rev-parse", "--show-toplevel"], capture_output=True, text=True,
                      check=True).stdout.strip()
os.chdir(root)
files = subprocess.run(["git", "ls-files", "--"] + CODE_FOLDERS, capture_output=True, text=True,
                       check=True).stdout.split()
files = {f for f in files if f.endswith((".h", ".cpp"))}


def unit_of(path):
    return os.path.splitext(path)[0]


def resolve(including, name):
    # "x/y.h" is counted from the project root, a bare "y.h" from the
    # including file's folder; anything else (Qt, generated files) is not ours.
    path = name if "/" in name else os.path.join(os.path.dirname(including), name)
    path = os.path.normpath(path)
    return path if path in files else None


graph = {unit_of(f): set() for f in files}
for f in sorted(files):
    with open(f, encoding="utf-8", errors="replace") as source:
        for name in INCLUDE.findall(source.read()):
            target = resolve(f, name)
            if target and unit_of(target) != unit_of(f):
                graph[unit_of(f)].add(unit_of(target))


def reachable(start):
    found, queue = set(), [start]
    for unit in queue:
        for successor in graph[unit] - found:
            found.add(successor)
            queue.append(successor)
    return found


def circle_through(start):
    """A shortest way from start back to itself, as a list of units."""
    previous, queue = {}, [start]
    for unit in queue:
        for successor in sorted(graph[unit]):
            if successor not in previous:
                previous[successor] = unit
                queue.append(successor)
    circle = [start]
    while circle[-1] != start or len(circle) == 1:
        circle.append(previous[circle[-1]])
    return circle[::-1]


reach = {unit: reachable(unit) for unit in graph}
# The units that reach one another form one group: one circle names it, and
# the group's other units are listed, since their circles must go as well.
groups = []
for unit in sorted(graph):
    if unit in reach[unit] and not any(unit in group for group in groups):
        groups.append({u for u in reach[unit] if unit in reach[u]})
for group in groups:
    circle = circle_through(min(group))
    others = sorted(group - set(circle))
    also = f" (tangled with it too: {', '.join(others)})" if others else ""
    print("include cycle: " + " \u2192 ".join(circle) + also, file=sys.stderr)
if groups:
    sys.exit(1)
print(f"no include cycles among {len(graph)} units")
