"""The payload and the program as the win32 build left them (build/payload, build/win32/bin,
or $VORN_PAYLOAD_DIR and $VORN_BIN)."""

from __future__ import annotations

import os
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))

import readers  # noqa: E402

REPO = Path(__file__).resolve().parents[2]


@pytest.fixture(scope="session")
def payload_dir() -> Path:
    return Path(os.environ.get("VORN_PAYLOAD_DIR", REPO / "build" / "payload"))


@pytest.fixture(scope="session")
def bin_dir() -> Path:
    return Path(os.environ.get("VORN_BIN", REPO / "build" / "win32" / "bin"))


@pytest.fixture(scope="session")
def payload_bytes(payload_dir) -> bytes:
    path = payload_dir / "payload.vrz"
    if not path.exists():
        pytest.fail(f"{path} is missing: build the win32 tree first (cmake --build build/win32)")
    return path.read_bytes()


@pytest.fixture(scope="session")
def payload(payload_bytes) -> readers.Container:
    return readers.read_container(payload_bytes)


@pytest.fixture(scope="session")
def files(payload) -> dict[str, bytes]:
    """Entry contents by name (names decoded from GBK)."""
    return {e.name.decode("gbk"): e.content for e in payload.entries}
