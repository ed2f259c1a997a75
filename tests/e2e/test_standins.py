"""The platform's programs and modules that the setup registers, starts or notifies, each on
its own in a fresh Wine machine: the TSF modules under regsvr32, the input-method server and
its stop notification, the logon starter, and the 64-bit companion's registry trace.

The modules and programs are the ones packed into the payload (build/win32/bin); vornprobe.exe
finds and notifies the server and starts command lines as the setup's WinExec does.
"""

from __future__ import annotations

import dataclasses
import subprocess
import time

import pytest

CLSID = "{65653599-5030-4C0F-8871-83F6AFDE5098}"
PROFILE = "{65653599-5031-4C0F-8871-83F6AFDE5098}"
TIP = rf"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\CTF\TIP\{CLSID}"
CLASS = rf"HKEY_LOCAL_MACHINE\SOFTWARE\Classes\CLSID\{CLSID}"
CATEGORIES = [
    "{13A016DF-560B-46CD-947A-4C3AF1E0E35D}",  # immersive support
    "{25504FB4-7BAB-4BC1-9C69-CF81890F0EF5}",  # notification-area support
    "{34745C63-B2F0-4784-8B67-5E12C8701A31}",  # keyboard text service
]
LANGUAGE_PROFILE = rf"{TIP}\LanguageProfile\0x00000804\{PROFILE}"
# The text service with its Simplified Chinese profile and its categories both ways; the
# setup's final check opens the root and the three category items.
TIP_KEYS = (
    {TIP, rf"{TIP}\LanguageProfile", rf"{TIP}\LanguageProfile\0x00000804", LANGUAGE_PROFILE}
    | {rf"{TIP}\Category", rf"{TIP}\Category\Category", rf"{TIP}\Category\Item", rf"{TIP}\Category\Item\{CLSID}"}
    | {rf"{TIP}\Category\Category\{c}" for c in CATEGORIES}
    | {rf"{TIP}\Category\Category\{c}\{CLSID}" for c in CATEGORIES}
    | {rf"{TIP}\Category\Item\{CLSID}\{c}" for c in CATEGORIES}
)
SERVER_STOP = ("3599", "VKSRF=2")


@dataclasses.dataclass
class TsfCase:
    config: str
    module: str
    bits: int

    @property
    def system_dir(self) -> str:
        # A 32-bit module on 64-bit Windows lives in SysWOW64 and is registered by its regsvr32.
        wow = self.bits == 32 and self.config.endswith("-64")
        return r"C:\windows\syswow64" if wow else r"C:\windows\system32"

    @property
    def views(self) -> tuple[int, int | None]:
        """The view of the module's bitness, and the other one (None on 32-bit Windows)."""
        if not self.config.endswith("-64"):
            return 32, None
        return (32, 64) if self.bits == 32 else (64, 32)


TSF_CASES = [
    TsfCase("win10-64", "vornsrf.dll", 32),
    TsfCase("win10-64", "vornsrf6.dll", 64),
    TsfCase("win7-64", "csrf732.dll", 32),
    TsfCase("win7-64", "csrf764.dll", 64),
    TsfCase("xp-32", "vornsrf.dll", 32),
    TsfCase("win7-32-cp950", "csrf732.dll", 32),
]


def tip_keys(m, view: int) -> set[str]:
    return {key for key in m.registry(TIP, view=view)}


@pytest.mark.parametrize("case", TSF_CASES, ids=lambda c: f"{c.config}-{c.module}")
def test_tsf_module_registers_in_its_own_view_and_unregisters(machine, bin_dir, case):
    m = machine(case.config)
    path = rf"{case.system_dir}\{case.module}"
    m.write_file(path, (bin_dir / case.module).read_bytes())
    own, other = case.views

    def regsvr32(*args: str) -> int:
        # As the setup starts it: the system directory's regsvr32 with redirection off, so that
        # on 64-bit Windows system32 is the native one.
        command = " ".join([rf"{case.system_dir}\regsvr32.exe", *args, path])
        return probe(m, bin_dir, "run-native" if other else "run", command).returncode

    assert regsvr32("/s") == 0
    assert tip_keys(m, own) == TIP_KEYS
    assert m.registry_values(rf"{CLASS}\InprocServer32", view=own) == {"": path, "ThreadingModel": "Apartment"}
    profile = m.registry_values(LANGUAGE_PROFILE, view=own)
    assert profile["IconFile"] == path and profile["Enable"] == 1
    assert profile["Description"].startswith("智能Marl输入平台")
    if other is not None:
        # Windows shares the CTF\TIP key between the views; the COM class is per view.
        assert tip_keys(m, other) == TIP_KEYS
        assert m.registry(CLASS, view=other) == {}

    assert regsvr32("/s", "/u") == 0
    for view in (own, other) if other else (own,):
        assert tip_keys(m, view) == set()
        assert m.registry(CLASS, view=view) == {}


def probe(m, bin_dir, *args: str):
    return m.wine(str(bin_dir / "vornprobe.exe"), *args)


def server_running(m, bin_dir) -> bool:
    return probe(m, bin_dir, "server").returncode == 0


# Generous: in the emulated machine a program's start alone can take ten seconds.
def wait_for(condition, seconds: float = 90) -> bool:
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.2)
    return condition()


# Under code page 950 the class name's GBK bytes read as other characters, on both sides alike.
@pytest.mark.parametrize("config", ["win10-64", "win7-32-cp950"])
def test_server_ends_on_the_stop_notification_only(machine, bin_dir, config):
    m = machine(config)
    with open(m.work / "server.log", "wb") as log:
        server = subprocess.Popen(
            ["wine", str(bin_dir / "vornel88.exe")], env=m.env, cwd=m.work,
            stdin=subprocess.DEVNULL, stdout=log, stderr=log,
        )  # fmt: skip
    try:
        assert wait_for(lambda: server_running(m, bin_dir)), "no server window"
        for other in [("3599", "VKSRF=1"), ("3598", "VKSRF=2"), ("3599", "VKSRF=20"), ("0", "")]:
            answer = probe(m, bin_dir, "notify", *other)
            assert answer.stdout.strip() == "answer=0", other
        time.sleep(0.5)
        assert server.poll() is None and server_running(m, bin_dir)

        assert probe(m, bin_dir, "notify", *SERVER_STOP).stdout.strip() == "answer=1"
        assert server.wait(90) == 0
        assert not server_running(m, bin_dir)
    finally:
        if server.poll() is None:
            m.stop()
            server.wait(20)


def test_starter_starts_one_server_from_its_directory(machine, bin_dir):
    m = machine("win7-64")
    for name in ("vornqvtk.exe", "vornel88.exe"):
        m.write_file(rf"C:\vornel8\{name}", (bin_dir / name).read_bytes())
    assert m.wine(r"C:\vornel8\vornqvtk.exe", "vr", timeout=60).returncode == 0
    assert server_running(m, bin_dir)
    # A second start leaves the running server alone: one stop notification ends them all.
    assert m.wine(r"C:\vornel8\vornqvtk.exe", "vr", timeout=60).returncode == 0
    assert probe(m, bin_dir, "notify", *SERVER_STOP).stdout.strip() == "answer=1"
    assert wait_for(lambda: not server_running(m, bin_dir))

    m.remove_file(r"C:\vornel8\vornel88.exe")
    assert m.wine(r"C:\vornel8\vornqvtk.exe", "vr", timeout=60).returncode == 1


INSTALL_DIR = "C:\\Program Files (x86)\\vornel8\\"
COMPANION = INSTALL_DIR + "setupw64.exe"
TRACE = r"HKEY_LOCAL_MACHINE\SOFTWARE\vornel8"
LABEL = "智能Marl输入平台".encode("utf-16-le")


def with_version(program: bytes, version: str) -> bytes:
    """The program as the setup's version patch leaves it."""
    at = program.index(LABEL) + len(LABEL)
    return program[:at] + f"  {version}".encode("utf-16-le") + program[at + 10:]


@pytest.mark.parametrize("version", ["6.7", "9.0"])
def test_companion_writes_the_install_directory_into_the_64_bit_view(machine, bin_dir, version):
    m = machine("win10-64")
    program = (bin_dir / "setupw64.exe").read_bytes()
    m.write_file(COMPANION, program if version == "6.7" else with_version(program, version))

    # The setup's command line as WinExec receives it: the program quoted, the directory not.
    run = probe(m, bin_dir, "run", f'"{COMPANION}" regvr32={INSTALL_DIR}')
    assert run.returncode == 0, run.stdout
    assert m.registry_values(TRACE, view=64) == {
        "InstallDir": INSTALL_DIR,
        "LayoutText": f"智能Marl输入平台  {version}",
    }
    assert m.registry_values(TRACE, view=32) is None


def test_companion_without_its_argument_writes_nothing(machine, bin_dir):
    m = machine("win10-64")
    m.write_file(COMPANION, (bin_dir / "setupw64.exe").read_bytes())
    assert probe(m, bin_dir, "run", COMPANION).returncode == 1
    assert probe(m, bin_dir, "run", f"{COMPANION} regvr32=").returncode == 1
    assert m.registry_values(TRACE, view=64) is None
