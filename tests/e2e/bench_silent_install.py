"""Benchmark (not a test): wall time of a silent install under Wine against the fixed waits the
install prescribes, in each configuration. Prints its figures.

    /usr/bin/python3 tests/e2e/bench_silent_install.py [--runs N] [--config NAME ...]
"""

from __future__ import annotations

import argparse
import statistics
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import vornwine  # noqa: E402

# Fixed waits of a silent install (IME interface): installFiles waits 50 ms twice in each of its
# two passes, and the IME placement 50 ms once in each pass. The server notice's 50 ms applies
# only when a server window exists, which a fresh machine has not.
FIXED_WAITS_S = (2 * 50 + 2 * 50 + 2 * 50) / 1000


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--config", action="append", choices=sorted(vornwine.CONFIGS))
    args = parser.parse_args()
    configs = args.config or ["win10-64", "xp-32"]
    setup = vornwine.bin_dir() / "vornsetup.exe"
    print(f"fixed waits of a silent install: {FIXED_WAITS_S * 1000:.0f} ms")
    with vornwine.Display() as display:
        for config in configs:
            times = []
            baseline = []
            for _ in range(args.runs):
                with vornwine.Machine(config, display) as machine:
                    # The cost of starting any program under the robot in this machine.
                    started = time.monotonic()
                    machine.run(vornwine.bin_dir() / "vrzpack.exe", "--help")
                    baseline.append(time.monotonic() - started)
                    started = time.monotonic()
                    run = machine.run(setup, "setvrsrf32", timeout=120)
                    times.append(time.monotonic() - started)
                    if run.exit_code != 0 or run.boxes:
                        print(f"{config}: install failed: {run.exit_code} {run.boxes}")
                        return 1
            wall = statistics.median(times)
            start_cost = statistics.median(baseline)
            print(f"{config}: silent install {wall:.2f} s (median of {args.runs}); "
                  f"ratio wall / fixed waits {wall / FIXED_WAITS_S:.1f}; "
                  f"for scale, a trivial program under the robot {start_cost:.2f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
