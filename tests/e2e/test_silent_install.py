"""The silent install (vornsetup.exe setvrsrf32) in every configuration: files, registry, transcript.

Expected state is data: which payload files stay in the install directory, where the IME module
lands by bitness, which registry entries exist afterwards.
"""

from __future__ import annotations

import dataclasses
import time

import pytest

import expected
from test_silent_deployment import check_log
from vornwine import ABSENT, DIRECTORY

SETUP = "vornsetup.exe"
INSTALL_DIR = "C:\\Program Files\\vornel8\\"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\vornqwb8"
RUN = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Run"
USER_AGENT = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Internet Settings\User Agent"
MARKER = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Internet Settings\User Agent\Post Platform"


@dataclasses.dataclass
class Config:
    name: str
    bits: int


CONFIGS = [Config("win10-64", 64), Config("win7-64", 64), Config("xp-32", 32), Config("win7-32-cp950", 32)]


def installed_names(machine) -> set[str]:
    root = machine.host_path(INSTALL_DIR)
    return {p.name for p in root.iterdir()} if root.exists() else set()


@pytest.mark.parametrize("config", CONFIGS, ids=lambda c: c.name)
def test_silent_install(machine, bin_dir, config):
    m = machine(config.name)
    # Windows has the user-agent key the marker goes under; a fresh Wine prefix has not.
    m.wine("reg", "add", USER_AGENT, "/f")
    started = time.monotonic()
    run = m.run(bin_dir / SETUP, "setvrsrf32", timeout=120)
    elapsed = time.monotonic() - started
    assert run.exit_code == 0
    # As deployed: nothing on the screen, the log's first line, no message, "installed".
    check_log(m, run, ("setvrsrf32",), 0, [])

    # Every file as the payload holds it, but those the install changes, each exactly so.
    want = expected.install_dir_after(codepage=m.config.codepage, interface="ime",
                                      windows10=False, wizard=False)
    assert expected.differences(want, expected.installed(m)) == []
    assert m.read_file(INSTALL_DIR + "filer") is DIRECTORY

    # The modules of the second pass, in the system directories of this bitness: the payload's.
    shipped = expected.payload(m.config.codepage)
    placed = expected.system_modules(interface="ime", bits=config.bits, windows10=False)
    for where, source in placed.items():
        assert m.read_file(where) == shipped[source], where
    if config.bits == 32:
        assert m.read_file(r"C:\windows\syswow64\vornel4.ime") is ABSENT

    # The keyboard layout (IMM under Wine accepts every module).
    layouts = m.registry(r"HKLM\System\CurrentControlSet\Control\Keyboard Layouts")
    ime_files = {values.get("Ime File", "").upper() for values in layouts.values()}
    assert any(name.endswith("VORNEL4.IME") for name in ime_files), ime_files

    uninstall = m.registry_values(UNINSTALL)
    assert uninstall is not None
    assert uninstall["DisplayName"] == "智能Marl8"
    assert uninstall["UninstallString"].lower() == r"c:\windows\vorndel8.exe"
    assert m.registry_values(RUN)["vrvksjgl"] == f'"{INSTALL_DIR}vornqvtk.exe" vr'
    assert "qvtk8800" in m.registry_values(MARKER)

    # The 64-bit companion ran on 64-bit Windows and did the 64-bit side (its trace is in the
    # native registry view); on 32-bit Windows it is not started.
    trace = m.registry_values(r"HKLM\SOFTWARE\vornel8", view=64)
    if config.bits == 64:
        assert trace is not None and trace["InstallDir"] == INSTALL_DIR
        assert "9.0" in trace["LayoutText"]
    else:
        assert trace is None or "InstallDir" not in trace
    print(f"{config.name}: silent install {elapsed:.1f} s")


def test_second_install_over_the_first(machine, bin_dir):
    m = machine("win10-64")
    assert m.run(bin_dir / SETUP, "setvrsrf32", timeout=120).exit_code == 0
    m.wait()
    first = installed_names(m)
    run = m.run(bin_dir / SETUP, "setvrsrf32", timeout=120)
    assert run.exit_code == 0
    assert run.boxes == []
    # The earlier server program is moved out of the way before the new one is written (and, as
    # no server runs, deleted at once), and the learnt data of the first install are backed up:
    # the libraries through ".bak" copies.
    copied = {"vorncyzk", "vrszsj43", "cfontset", "cwbzlcz1", "vrwbcmxz", "vrdhzcm", "vorndhz", "vrgbkhz"}
    copies = {f"{stem}.bak" for stem in copied if f"{stem}.vrh" in first}
    assert copies, first
    # The Wubi library's copy is then also installed as "vorncyzk.dat".
    assert installed_names(m) == first | {"vornback.vrz", "vorncyzk.dat"} | copies


def test_running_server_is_stopped_and_moved_aside(machine, bin_dir):
    import subprocess

    m = machine("win10-64")
    assert m.run(bin_dir / SETUP, "setvrsrf32", timeout=120).exit_code == 0
    m.wait()
    server = subprocess.Popen(["wine", INSTALL_DIR + "vornel88.exe"], env=m.env, cwd=m.work,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        ready = m.wine(str(bin_dir / "vornboxes.exe"), "waitwindow", "智能Marl输入法")
        assert ready.returncode == 0 and server.poll() is None, "the server stand-in did not come up"
        run = m.run(bin_dir / SETUP, "setvrsrf32", timeout=120)
        assert run.exit_code == 0
        assert run.boxes == []
        # The notification ends the server; its program was renamed, the new one written.
        assert server.wait(timeout=30) == 0
    finally:
        if server.poll() is None:
            server.kill()
    # The renamed program is deleted at once, or, if the server had not ended yet, at the restart.
    # Read before any other Wine process: a new session carries out what waits for the restart.
    import snapshot

    pending = snapshot.pending_operations(m.snapshot())
    if m.read_file(INSTALL_DIR + "vornel82.exe") is not ABSENT:
        assert any(source.lower().endswith("\\vornel82.exe") and target == "" for source, target in pending)
    assert m.read_file(INSTALL_DIR + "vornel88.exe") == expected.payload()["vornel88.exe"]


def test_xp_moves_the_older_product_entry_to_second_place(machine, bin_dir):
    from test_registration import OLDER_VERSION, STANDARD_LAYOUTS, seed

    m = machine("xp-32")
    seed(m, STANDARD_LAYOUTS + OLDER_VERSION + '\n[HKEY_CURRENT_USER\\Keyboard Layout\\Preload]\n"3"="E0300804"\n')
    before = m.registry_values(r"HKCU\Keyboard Layout\Preload")
    assert before["3"].upper() == "E0300804"
    run = m.run(bin_dir / SETUP, "setvrsrf32", timeout=120)
    assert run.exit_code == 0
    assert run.boxes == []
    after = m.registry_values(r"HKCU\Keyboard Layout\Preload")
    # The product's entry moves behind the first; the others keep their order behind it.
    assert after["2"].upper() == "E0300804", after
    assert after["3"] == before["2"], after
    assert len(after) == len(before)
