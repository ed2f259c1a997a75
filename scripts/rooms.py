#!/usr/bin/env python3
"""The include graph between the product's folders ("rooms"), checked against their floors.

Prints every arrow (room -> room: the number of includes), then each arrow that runs from a
lower floor to a higher one or between two rooms of one floor, and each circle of rooms. Exits 1
when there is either. The floors, top first, are the house's rule: a room includes only rooms
below it. The tools, tests and stand-ins stand outside the house.
    scripts/rooms.py [--quiet]
"""
import re
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
FLOORS = [
    ["programs"],                  # the programs' flows and entries
    ["wizard"],                    # the interactive install's window
    ["checks", "userdata"],        # what the flows ask of the machine and of the user's data
    ["payload"],                   # the container, extraction, the files placed and removed
    ["registration"],              # the input method registered with Windows
    ["security", "settings"],      # directory rights; the settings files the modules read
    ["common"],                    # the install state, texts, locations, log, stage, outcomes
    ["platform"],                  # Windows, or the simulated machine, or POSIX files
]
FLOOR = {room: level for level, rooms in enumerate(reversed(FLOORS)) for room in rooms}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"', re.M)


def arrows() -> dict[tuple[str, str], int]:
    found: dict[tuple[str, str], int] = {}
    for room in FLOOR:
        for source in sorted((REPO / room).rglob("*")):
            if source.suffix not in (".cpp", ".h"):
                continue
            for target in INCLUDE.findall(source.read_text(encoding="utf-8")):
                if target in FLOOR and target != room:
                    found[room, target] = found.get((room, target), 0) + 1
    return found


def circles(edges: set[tuple[str, str]]) -> list[list[str]]:
    """Strongly connected groups of more than one room (Tarjan)."""
    index: dict[str, int] = {}
    low: dict[str, int] = {}
    stack: list[str] = []
    groups: list[list[str]] = []

    def visit(room: str) -> None:
        index[room] = low[room] = len(index)
        stack.append(room)
        for source, target in sorted(edges):
            if source != room:
                continue
            if target not in index:
                visit(target)
                low[room] = min(low[room], low[target])
            elif target in stack:
                low[room] = min(low[room], index[target])
        if low[room] == index[room]:
            group = []
            while True:
                member = stack.pop()
                group.append(member)
                if member == room:
                    break
            if len(group) > 1:
                groups.append(sorted(group))

    for room in sorted(FLOOR):
        if room not in index:
            visit(room)
    return groups


def main() -> int:
    found = arrows()
    quiet = "--quiet" in sys.argv[1:]
    if not quiet:
        for (source, target), count in sorted(found.items(), key=lambda item: (-FLOOR[item[0][0]], item[0])):
            print(f"{source} -> {target} ({count})")
    up = [(s, t) for s, t in found if FLOOR[t] >= FLOOR[s]]
    groups = circles(set(found))
    for source, target in sorted(up):
        print(f"not downward: {source} (floor {FLOOR[source]}) -> {target} (floor {FLOOR[target]})")
    for group in groups:
        print("circle: " + ", ".join(group))
    print(f"{len(found)} arrows between {len(FLOOR)} rooms, {len(up)} not downward, {len(groups)} circles")
    return 1 if up or groups else 0


if __name__ == "__main__":
    sys.exit(main())
