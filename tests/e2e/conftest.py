"""Fixtures of the Wine scenarios: one display per session, fresh machines per test."""

from __future__ import annotations

import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))

import vornwine  # noqa: E402


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
