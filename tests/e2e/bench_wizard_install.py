"""Benchmark (not a test): wall time of the wizard's TSF install on 64-bit Windows 10 under Wine,
one setup program against another, in turn, each in a fresh machine. Prints both figures and the
ratio pair by pair.

    /usr/bin/python3 tests/e2e/bench_wizard_install.py --before OLD.exe [--after NEW.exe] [--runs N]

With a setup that sleeps a fixed 2 s after each of its four registration commands as --before,
the figures show what waiting for their end instead saves.
"""

from __future__ import annotations

import argparse
import statistics
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import vornwine  # noqa: E402
from wizard_targets import NEXT  # noqa: E402

SCRIPT = ["WINDOW", NEXT, NEXT, NEXT, "BOX", "DIALOG 105", "BOX", "OK"]


def install(display, setup: Path) -> float:
    with vornwine.Machine("win10-64", display) as machine:
        started = time.monotonic()
        run = machine.run(setup, answers=SCRIPT, timeout=180)
        took = time.monotonic() - started
        if run.exit_code != 0 or len(run.boxes) != 2:
            raise SystemExit(f"{setup}: the install did not end as it should: {run.exit_code} {run.boxes}")
        return took


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--before", type=Path, required=True)
    parser.add_argument("--after", type=Path, default=vornwine.bin_dir() / "vornsetup.exe")
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    before, after = [], []
    with vornwine.Display() as display:
        install(display, args.after)  # warm-up: prefix template and caches
        for _ in range(args.runs):
            before.append(install(display, args.before))
            after.append(install(display, args.after))
    ratios = [a / b for a, b in zip(after, before)]
    print(f"wizard TSF install, win10-64, {args.runs} pairs")
    print(f"before: median {statistics.median(before):.2f} s (min {min(before):.2f}, max {max(before):.2f})")
    print(f"after:  median {statistics.median(after):.2f} s (min {min(after):.2f}, max {max(after):.2f})")
    print(f"after / before: median {statistics.median(ratios):.2f} (min {min(ratios):.2f}, max {max(ratios):.2f})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
