r"""The platform contract under Wine: vorncontract.exe runs the cases of tests/contract (the
ones the simulated machine passes in the unit tests, Contract.*) through the real platform
layer, in a 64-bit Windows 10 prefix and a 32-bit XP one.

Where Wine differs from Windows, the case says so beside its checks and holds both machines to
Windows' documented behaviour.
"""

from __future__ import annotations

import os

import pytest

import vornwine

PROGRAM = "vorncontract.exe"


def run_cases(m: vornwine.Machine, bin_dir):
    """Exit code, the cases that passed, the failure lines, (passed, total) or None, and the
    program's output."""
    # Root passes the Unix permission that is Wine's only guard against writing a read-only
    # file; the program then leaves out those checks (see the read-only case).
    as_root = ["--as-root"] if os.geteuid() == 0 else []
    result = m.wine(vornwine.windows_path_of_host(bin_dir / PROGRAM), *as_root, timeout=120)
    passed, failures, summary = [], [], None
    for line in result.stdout.splitlines():
        fields = line.rstrip("\r").split("\t")
        if fields[0] == "ok" and len(fields) == 2:
            passed.append(fields[1])
        elif fields[0] == "FAIL" and len(fields) == 3:
            failures.append(f"{fields[1]}: {fields[2]}")
        elif fields[0] == "summary" and len(fields) == 3:
            summary = (int(fields[1]), int(fields[2]))
    return result.returncode, passed, failures, summary, result.stdout


@pytest.mark.parametrize("config", ["win10-64", "xp-32"])
def test_every_case_holds_through_the_real_platform_layer(machine, bin_dir, config):
    m = machine(config)
    exit_code, passed, failures, summary, output = run_cases(m, bin_dir)
    assert failures == [], output
    assert summary is not None, output  # the program ran to its end
    assert summary == (len(passed), len(passed)) and len(passed) >= 10, output
    assert len(set(passed)) == len(passed), output
    assert exit_code == 0, output
