"""Fixtures of the Wine scenarios: one display per session, fresh machines per test."""

from __future__ import annotations

import struct
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))

import vornwine  # noqa: E402
from expected import PAYLOAD  # noqa: E402

# A file of the payload that is none of the learnt ones: the one a damaged setup breaks.
DAMAGED_ENTRY = "vrspeeke.txt"


@pytest.fixture(scope="session")
def display():
    with vornwine.Display() as d:
        yield d


@pytest.fixture(scope="session")
def bin_dir() -> Path:
    return vornwine.bin_dir()


@pytest.fixture
def machine(display, bin_dir):
    """machine(config) -> a fresh vornwine.Machine, stopped and deleted after the test."""
    made: list[vornwine.Machine] = []

    def make(config: str) -> vornwine.Machine:
        m = vornwine.Machine(config, display, bin_dir)
        made.append(m)
        return m

    yield make
    for m in made:
        m.close()


def entry_data_offset(container: bytes, wanted: str) -> tuple[int, int]:
    """Where an entry's compressed data start in the container, and their length."""
    (count,) = struct.unpack_from("<I", container, 6)
    pos = 10
    for _ in range(count):
        name = container[pos + 2:pos + 18].split(b"\0")[0].decode("gbk")
        (length,) = struct.unpack_from("<I", container, pos + 52)
        if name == wanted:
            return pos + 56, length
        pos += 56 + length
    raise AssertionError(f"{wanted} is not in the payload")


@pytest.fixture(scope="session")
def damaged_setup(bin_dir, tmp_path_factory) -> Path:
    """A copy of the setup whose embedded payload has one byte of one entry's data changed."""
    exe = (bin_dir / "vornsetup.exe").read_bytes()
    payload = PAYLOAD.read_bytes()
    at = exe.find(payload)
    assert at > 0 and exe.count(payload[:4096]) == 1, "the payload is embedded once, whole"
    data, length = entry_data_offset(payload, DAMAGED_ENTRY)
    damaged = bytearray(exe)
    damaged[at + data + length // 2] ^= 0x5A
    path = tmp_path_factory.mktemp("damaged") / "vornsetup.exe"
    path.write_bytes(bytes(damaged))
    return path




# ---- a named set of scenarios (scenario_set.py): the others are deselected, and counted so
import scenario_set  # noqa: E402


def pytest_collection_modifyitems(config, items):
    chosen = scenario_set.active()
    if chosen is None:
        return
    kept = [item for item in items if chosen.selects(item.nodeid)]
    left_out = [item for item in items if not chosen.selects(item.nodeid)]
    if left_out:
        config.hook.pytest_deselected(items=left_out)
        items[:] = kept
    config._vorn_left_out = len(left_out)


def pytest_sessionfinish(session, exitstatus):
    # A file none of whose scenarios is in the set ran nothing by choice, not by a fault.
    if exitstatus == pytest.ExitCode.NO_TESTS_COLLECTED and getattr(session.config, "_vorn_left_out", 0):
        session.exitstatus = pytest.ExitCode.OK
