#!/usr/bin/python3
"""Named sets of scenarios: with VORN_E2E_SET=NAME the pytest sessions here run only the
scenarios NAME-set.txt beside this file lists, and say how many they left out.

    scenario_set.py count NAME    check the list against the collected scenarios and print
                                  "<in the set> <all>"; exit 1 when a line matches nothing
"""

from __future__ import annotations

import os
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent


class SetFile:
    def __init__(self, name: str) -> None:
        path = HERE / f"{name}-set.txt"
        if not path.is_file():
            raise SystemExit(f"no scenario set {name} ({path})")
        self.patterns: list[str] = []
        self.configs: list[str] = []
        for line in path.read_text(encoding="utf-8").splitlines():
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if line.startswith("configs:"):
                self.configs += line.removeprefix("configs:").split()
            else:
                self.patterns.append(line)

    def matches(self, nodeid: str, pattern: str) -> bool:
        return nodeid.startswith(pattern[:-1]) if pattern.endswith("*") else nodeid == pattern

    def selects(self, nodeid: str) -> bool:
        return any(self.matches(nodeid, p) for p in self.patterns)


def active() -> SetFile | None:
    name = os.environ.get("VORN_E2E_SET", "")
    return SetFile(name) if name else None


def collected() -> list[str]:
    """Every scenario's node id, relative to this folder (collecting starts no Wine)."""
    env = dict(os.environ, VORN_E2E_SET="", PYTHONDONTWRITEBYTECODE="1")
    result = subprocess.run([sys.executable, "-m", "pytest", "--collect-only", "-q"], cwd=HERE, env=env,
                            capture_output=True, text=True)
    ids = [line for line in result.stdout.splitlines() if "::" in line]
    if result.returncode != 0 or not ids:
        raise SystemExit(f"collecting the scenarios failed:\n{result.stdout}{result.stderr}")
    return ids


def main(argv: list[str]) -> int:
    if len(argv) != 2 or argv[0] != "count":
        print(__doc__, file=sys.stderr)
        return 2
    chosen = SetFile(argv[1])
    ids = collected()
    stale = [p for p in chosen.patterns if not any(chosen.matches(i, p) for i in ids)]
    if stale:
        print("these lines of the set match no scenario:\n  " + "\n  ".join(stale), file=sys.stderr)
        return 1
    print(sum(chosen.selects(i) for i in ids), len(ids))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
