r"""The snapshot of a prefix (snapshot.py) on plain prefixes: a run that does nothing leaves no
difference, every kind of change shows as itself, and the file operations scheduled for the
restart are read as Windows writes them and carried out by the next session's first program.
"""

from __future__ import annotations

import pytest

import snapshot
import vornwine
from snapshot import DIRECTORY, FileState, RegData

SESSION_MANAGER = r"HKLM\System\CurrentControlSet\Control\Session Manager"


@pytest.mark.parametrize("config", ["win10-64", "xp-32"])
def test_nothing_done_leaves_no_difference(machine, bin_dir, config):
    m = machine(config)
    before = m.snapshot()
    # A new session (wineboot runs first), then a program under the robot with a message box.
    assert m.wine("cmd", "/c", "exit").returncode == 0
    run = m.run(bin_dir / "vornboxes.exe", "facts")
    assert run.exit_code == 0 and len(run.boxes) == 1, run.output
    assert snapshot.diff(before, m.snapshot()).lines() == []


def test_every_kind_of_change_shows(machine):
    m = machine("win10-64")
    m.write_file(r"C:\windows\system32\vornsrf6.dll", b"64")
    m.write_file(r"C:\vorn\keep.txt", b"old")
    before = m.snapshot()

    m.write_file(r"C:\vorn\keep.txt", b"new")
    m.remove_file(r"C:\windows\system32\vornsrf6.dll")
    m.host_path(r"C:\vorn\empty").mkdir()
    m.write_file(r"C:\vorn\学习\词组.txt", b"x")
    key = r"HKLM\Software\Vorn Probe"
    for view in ("/reg:32", "/reg:64"):
        assert m.wine("reg", "add", key, "/v", "名", "/d", "智能", "/f", view).returncode == 0
    assert m.wine("reg", "add", r"HKCU\Keyboard Layout\Preload", "/v", "2", "/d", "e0010804", "/f").returncode == 0
    assert m.wine("reg", "add", r"HKU\.DEFAULT\Vorn", "/v", "n", "/t", "REG_DWORD", "/d", "7", "/f").returncode == 0
    after = m.snapshot()

    changes = snapshot.diff(before, after)
    assert changes.files_added == {r"C:\vorn\empty": DIRECTORY, r"C:\vorn\学习": DIRECTORY,
                                   r"C:\vorn\学习\词组.txt": FileState.of(b"x")}
    assert changes.files_removed == {r"C:\windows\system32\vornsrf6.dll": FileState.of(b"64")}
    assert changes.files_changed == {r"C:\vorn\keep.txt": (FileState.of(b"old"), FileState.of(b"new"))}
    # Both views of HKLM\Software: the 32-bit one as Wine stores it, under Wow6432Node.
    assert changes.keys_added == {r"HKLM\Software\Vorn Probe", r"HKLM\Software\Wow6432Node\Vorn Probe",
                                  r"HKU\.DEFAULT\Vorn"}
    assert changes.keys_removed == set()
    assert changes.values_added == {
        (r"HKLM\Software\Vorn Probe", "名"): RegData.sz("智能"),
        (r"HKLM\Software\Wow6432Node\Vorn Probe", "名"): RegData.sz("智能"),
        (r"HKCU\Keyboard Layout\Preload", "2"): RegData.sz("e0010804"),
        (r"HKU\.DEFAULT\Vorn", "n"): RegData(4, (7).to_bytes(4, "little")),
    }
    assert changes.values_removed == {} and changes.values_changed == {}
    assert after.value(r"HKLM\Software\Wow6432Node\Vorn Probe", "名") == RegData.sz("智能")

    # And back: what was added is gone, the value removed shows as removed.
    for view in ("/reg:32", "/reg:64"):
        assert m.wine("reg", "delete", key, "/f", view).returncode == 0
    assert m.wine("reg", "delete", r"HKCU\Keyboard Layout\Preload", "/v", "2", "/f").returncode == 0
    again = snapshot.diff(after, m.snapshot())
    assert again.keys_removed == {r"HKLM\Software\Vorn Probe", r"HKLM\Software\Wow6432Node\Vorn Probe"}
    assert set(again.values_removed) == {(r"HKLM\Software\Vorn Probe", "名"),
                                         (r"HKLM\Software\Wow6432Node\Vorn Probe", "名"),
                                         (r"HKCU\Keyboard Layout\Preload", "2")}


def test_the_restart_carries_out_the_scheduled_operations(machine):
    m = machine("xp-32")
    m.write_file(r"C:\vorn\gone.dll", b"a")
    m.write_file(r"C:\vorn\moved.dll", b"b")
    # As MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT writes it: pairs of "\??\" paths, an empty
    # target for a delete, "!" before a target that may be replaced.
    texts = ["\\??\\C:\\vorn\\gone.dll", "", "\\??\\C:\\vorn\\moved.dll", "!\\??\\C:\\vorn\\new.dll"]
    data = "".join(t + "\0" for t in texts) + "\0"  # each text terminated, then the list
    reg = m.work / "pending.reg"
    vornwine._write_reg_file(reg, "Windows Registry Editor Version 5.00\n\n"
                             f"[{SESSION_MANAGER.replace('HKLM', 'HKEY_LOCAL_MACHINE')}]\n"
                             f'"PendingFileRenameOperations"=hex(7):{data.encode("utf-16-le").hex(",")}\n')
    assert m.wine("regedit", "/S", vornwine.windows_path_of_host(reg)).returncode == 0
    scheduled = m.snapshot()
    assert snapshot.pending_operations(scheduled) == [(r"C:\vorn\gone.dll", ""),
                                                      (r"C:\vorn\moved.dll", r"!C:\vorn\new.dll")]

    # The next session's first program runs after wineboot has done them.
    assert m.wine("cmd", "/c", "exit").returncode == 0
    restarted = m.snapshot()
    assert snapshot.pending_operations(restarted) == []
    assert sorted(snapshot.diff(scheduled, restarted).lines()) == sorted([
        rf"- C:\vorn\gone.dll: {FileState.of(b'a')}",
        rf"- C:\vorn\moved.dll: {FileState.of(b'b')}",
        rf"+ C:\vorn\new.dll: {FileState.of(b'b')}",
        rf"- [{SESSION_MANAGER}] 'PendingFileRenameOperations'={scheduled.value(SESSION_MANAGER, 'PendingFileRenameOperations')}",
    ])
