"""vrzpack.exe under Wine and vrzpack on Linux build the same containers from the same files."""

from __future__ import annotations

import os
import random
import subprocess
from pathlib import Path

import pytest

FILES = {
    "a.txt": "智能输入平台\r\n".encode("gbk") * 40,
    "冷色瓷面.vrz": bytes(random.Random(3).randrange(256) for _ in range(5000)),
    "vorncyzk.bak": "中国; 人民; ".encode("gbk") * 30,
    "blank.bmp": b"BM" + bytes(3000),
}


def host_vrzpack() -> Path:
    return Path(os.environ.get("VORN_HOST_BIN", Path(__file__).resolve().parents[2] / "build" / "host" / "bin")) / "vrzpack"


@pytest.fixture
def win10(machine):
    return machine("win10-64")


def test_same_container_from_windows_and_linux(win10, bin_dir, tmp_path):
    names = list(FILES)
    for name, content in FILES.items():
        (win10.work / name).write_bytes(content)
        (tmp_path / name).write_bytes(content)
    result = win10.wine(str(bin_dir / "vrzpack.exe"), "add", "win.vrz", *names)
    assert result.returncode == 0, result.stdout
    linux = subprocess.run([str(host_vrzpack()), "add", "linux.vrz", *names], cwd=tmp_path,
                           capture_output=True)
    assert linux.returncode == 0, linux.stderr
    assert (win10.work / "win.vrz").read_bytes() == (tmp_path / "linux.vrz").read_bytes()


def test_windows_extracts_what_linux_packed(win10, bin_dir, tmp_path):
    for name, content in FILES.items():
        (tmp_path / name).write_bytes(content)
    subprocess.run([str(host_vrzpack()), "add", "in.vrz", *FILES], cwd=tmp_path, check=True,
                   capture_output=True)
    (win10.work / "in.vrz").write_bytes((tmp_path / "in.vrz").read_bytes())
    result = win10.wine(str(bin_dir / "vrzpack.exe"), "extract", "in.vrz", "out")
    assert result.returncode == 0, result.stdout
    # Every entry as packed, the phrase backup too (its stored form is the setup's business).
    for name, content in FILES.items():
        assert (win10.work / "out" / name).read_bytes() == content
    result = win10.wine(str(bin_dir / "vrzpack.exe"), "verify", "in.vrz", "out")
    assert result.returncode == 0, result.stdout
    (win10.work / "out" / "vorncyzk.bak").write_bytes(b"changed")
    result = win10.wine(str(bin_dir / "vrzpack.exe"), "verify", "in.vrz", "out")
    assert result.returncode == 1
    assert "vorncyzk.bak...." in result.stdout
