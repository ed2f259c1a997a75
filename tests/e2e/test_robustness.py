"""Nothing outside can hang or break the install: a server window that never answers, the
registration programs waited for, the program on the Windows versions it names."""

from __future__ import annotations

import subprocess
import time

import pytest

import expected
import logs
from vornwine import ABSENT
from wizard_targets import NEXT

SETUP = "vornsetup.exe"
SERVER_CLASS = "智能Marl输入法"


def start_and_wait(m, bin_dir, args: list[str], ready: str) -> subprocess.Popen:
    program = subprocess.Popen(["wine", str(bin_dir / "vornboxes.exe"), *args], env=m.env, cwd=m.work,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 60
    while not (m.work / ready).exists():
        assert time.monotonic() < deadline and program.poll() is None, f"{args[0]} did not start"
        time.sleep(0.2)
    return program


def test_a_server_that_never_answers_does_not_hold_the_install(machine, bin_dir):
    m = machine("win10-64")
    first = m.run(bin_dir / SETUP, "/S", timeout=120)
    assert first.exit_code == 0, first.output
    m.wait()
    hung = start_and_wait(m, bin_dir, ["hungwindow", SERVER_CLASS, "180"], "hung.ready")
    try:
        started = time.monotonic()
        run = m.run(bin_dir / SETUP, "/S", timeout=120)
        took = time.monotonic() - started
    finally:
        hung.kill()
        hung.wait(timeout=60)
    # Told once, waited for a bounded time, then on as when no server answers.
    assert run.exit_code == 0, run.output
    assert took < 60, took
    shipped = expected.payload()
    # The old program is moved aside and, as nothing runs it (only a window answers to the
    # server's class), deleted at once; else it would wait for the restart.
    import snapshot

    pending = snapshot.pending_operations(m.snapshot())
    if m.read_file(expected.INSTALL_DIR + "vornel82.exe") is not ABSENT:
        assert any(source.lower().endswith("\\vornel82.exe") and target == "" for source, target in pending)
    assert m.read_file(expected.INSTALL_DIR + "vornel88.exe") == shipped["vornel88.exe"]


def test_a_fault_inside_a_windows_dll_names_the_stage(machine, bin_dir):
    """A processor fault on the install's thread is reported with the stage in progress wherever
    it happens: here inside shell32, whose code page the robot makes inaccessible while the skin
    dialog is up, so that the next call the install makes there (the Program Files folder,
    asked again by the settings files) faults in Windows' code, not the program's."""
    m = machine("win10-64")
    # No crash dialog: the system's handling of the fault ends the program at once.
    m.wine("reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog", "/t", "REG_DWORD", "/d", "0", "/f")
    script = ["WINDOW", NEXT, NEXT, NEXT, "BOX", "POISON shell32.dll SHGetSpecialFolderPathA", "DIALOG 105",
              "BOX", "OK"]
    run = m.run(bin_dir / SETUP, answers=script, timeout=120)
    assert [a for a in run.actions if "error" in a] == [], run.output
    assert run.boxes == [
        {"caption": "智能Marl皮肤及窗口模式选择", "clicked": "105", "checked": "101 110"},
        {"caption": "智能Marl(Qolvane)安装", "text": "智能Marl安装错误Err=10141", "button": "OK"},
    ], run.output
    # Then the system's handling: the program ends with the access violation.
    assert run.exit_code == 0xC0000005, run.output


def test_one_setup_at_a_time(machine, bin_dir):
    m = machine("win10-64")
    # A first setup holds the machine: the wizard, waiting on its first page.
    first = subprocess.Popen(["wine", str(bin_dir / SETUP)], env=m.env, cwd=m.work,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        assert m.wine(str(bin_dir / "vornboxes.exe"), "waitwindow", "installWClass").returncode == 0
        # A second wizard shows the first and ends, with no window of its own.
        second = m.run(bin_dir / SETUP, timeout=60)
        assert (second.exit_code, second.boxes) == (0, []), second.output
        assert [w for w in second.windows if w["by"] == "program"] == [], second.windows
        # A second silent run waits for it a while, then ends with its own exit code, its lines
        # added to the log and nothing installed.
        silent = m.run(bin_dir / SETUP, "/S", timeout=120)
        assert (silent.exit_code, silent.boxes, silent.windows) == (1618, [], []), silent.output
        lines = logs.last_run(m, r"C:\users\root\Temp\vornsetup.log")
        assert lines[1:] == [["another setup of this product is running"],
                             ["result=not installed: another setup was running", "exit=1618"]], lines
        assert not isinstance(m.read_file(expected.INSTALL_DIR + "vornel4.ime"), bytes)
    finally:
        first.kill()
        m.stop()


@pytest.mark.parametrize("config", ["win98-32", "win2k-32"])
def test_installs_on_the_oldest_systems(machine, bin_dir, config):
    """The loader takes the program on the 9x family and Windows 2000 (nothing it imports is
    newer; see tests/payload), and the silent install runs to its end."""
    m = machine(config)
    run = m.run(bin_dir / SETUP, "/S", timeout=120)
    assert (run.exit_code, run.boxes, run.windows) == (0, [], []), run.output
    shipped = expected.payload()
    assert m.read_file(r"C:\windows\system32\vornel4.ime") == shipped["vornel4.ime"]
    layouts = m.registry(r"HKLM\System\CurrentControlSet\Control\Keyboard Layouts")
    assert any(str(v.get("Ime File", "")).upper().endswith("VORNEL4.IME") for v in layouts.values()), layouts
