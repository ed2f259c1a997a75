"""scripts/with-wine.sh: the choice of way, and the emulated guest as a place to run commands.

The guest cases boot real guests (about 15 s each) whatever this machine can do: VORN_WINE=guest
forces them.
"""
import os
import signal
import subprocess
import time
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
WITH_WINE = str(REPO / "scripts" / "with-wine.sh")
CACHE = Path(os.environ.get("VORN_GUEST_CACHE", "/var/tmp/vornsetup-guest"))


def with_wine(*args, mode=None, extra_env=None, timeout=600, cwd=REPO):
    env = {k: v for k, v in os.environ.items() if k != "VORN_WINE"}
    if mode:
        env["VORN_WINE"] = mode
    env.update(extra_env or {})
    return subprocess.run([WITH_WINE, *args], env=env, cwd=cwd, capture_output=True, text=True, timeout=timeout)


def qemu_processes():
    result = subprocess.run(["pgrep", "-f", f"qemu-system-x86_64.*{CACHE}/runs/"], capture_output=True, text=True)
    return result.stdout.split()


def machine_runs_32_bit_code() -> bool:
    """Independently of the probe: does a 32-bit program of this machine start at all?"""
    loader = "/usr/lib/wine/wine"  # a 32-bit ELF (wine32:i386)
    if not os.path.exists(loader):
        pytest.skip(f"{loader} is not installed")
    try:
        subprocess.run([loader, "--version"], capture_output=True, timeout=60)
    except OSError:  # "Exec format error"
        return False
    return True


def test_the_probe_agrees_with_a_32_bit_program():
    mode = with_wine("--mode")
    assert mode.returncode == 0, mode.stderr
    expected = "native" if machine_runs_32_bit_code() else "guest"
    assert mode.stdout.split()[0] == expected, mode.stdout


@pytest.mark.parametrize("mode, args, code, out", [
    ("bogus", ("true",), 2, "VORN_WINE is native or guest, not 'bogus'"),
    ("guest", ("--mode",), 0, "guest (forced by VORN_WINE)"),
    ("native", ("bash", "-c", "echo here; exit 7"), 7, "here"),
    (None, (), 2, "usage: scripts/with-wine.sh"),
])
def test_choice_and_usage(mode, args, code, out):
    result = with_wine(*args, mode=mode)
    assert result.returncode == code, result.stderr
    assert out in result.stdout + result.stderr


def test_a_command_in_the_guest(tmp_path):
    shared = tmp_path / "shared"
    shared.mkdir()
    script = (
        'set -e; echo "user=$(id -u) dir=$PWD token=$VORN_TEST_TOKEN kernel=$(uname -r)";'
        f'echo from-guest > {shared}/written; cat {shared}/given;'
        f'test -f {REPO}/scripts/with-wine.sh; {CACHE}/probe32; exit 3'
    )
    (shared / "given").write_text("from-host\n")
    result = with_wine("--share", str(shared), "bash", "-c", script, mode="guest",
                       extra_env={"VORN_TEST_TOKEN": "a b$c"})
    assert result.returncode == 3, result.stderr
    lines = result.stdout.splitlines()
    assert lines[0].startswith(f"user=0 dir={REPO} token=a b$c kernel=")
    assert lines[0].split("kernel=")[1] != os.uname().release  # not this machine's kernel
    assert lines[1:] == ["from-host", "yes"]  # the guest runs 32-bit code
    assert (shared / "written").read_text() == "from-guest\n"
    assert qemu_processes() == []


def test_a_command_that_does_not_end_is_stopped():
    result = with_wine("sleep", "600", mode="guest", extra_env={"VORN_GUEST_TIMEOUT": "40"})
    assert result.returncode == 125, result.stderr
    assert "the command did not end within 40 s; its console log: " in result.stderr
    log = Path(result.stderr.split("its console log: ")[1].split()[0])
    assert log.is_file() and log.parent.parent == CACHE / "failed"
    assert qemu_processes() == []


def test_an_interrupted_run_leaves_no_guest(tmp_path):
    marker = tmp_path / "started"
    env = dict(os.environ, VORN_WINE="guest")
    process = subprocess.Popen([WITH_WINE, "--share", str(tmp_path), "bash", "-c", f"touch {marker}; sleep 600"],
                               env=env, cwd=REPO, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 300
    while not marker.exists():
        assert time.monotonic() < deadline and process.poll() is None, "the guest did not start the command"
        time.sleep(0.5)
    assert qemu_processes() != []
    process.send_signal(signal.SIGTERM)
    assert process.wait(60) == 143
    assert qemu_processes() == []
