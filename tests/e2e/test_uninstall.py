r"""The uninstaller end to end: a machine with other programs' entries beside ours, a snapshot,
an install and some use, the uninstall through the command the uninstall entry names, and a
snapshot after. What differs from before the install is exactly the learnt data kept with their
backup "vornback.vrz" (nothing with /REMOVEDATA), apart from what is scheduled for the restart.
The restart then completes it, a second run finds nothing, and a new setup brings the learnt
data back byte for byte.

Each scenario is data: how the product is installed, the command, what holds it during the
uninstall, the exit code.
"""

from __future__ import annotations

import contextlib
import dataclasses
import hashlib
import subprocess
import sys
import time
from pathlib import Path

import pytest

import expected
import logs
import snapshot
import vornwine
from snapshot import DIRECTORY, FileState
from test_learned_data import COPIED, learned_contents, learnt_files_back
from wizard_targets import NEXT

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "payload"))
from readers import read_container  # noqa: E402

SETUP = "vornsetup.exe"
UNINSTALLER = "vorndel8.exe"
INSTALL_DIR = expected.INSTALL_DIR
ENTRY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\vornqwb8"
LAYOUTS = r"HKLM\System\CurrentControlSet\Control\Keyboard Layouts"
PRELOADS = (r"HKCU\Keyboard Layout\Preload", r"HKU\.DEFAULT\Keyboard Layout\Preload")
CLSID = "{65653599-5030-4C0F-8871-83F6AFDE5098}"
SORT_ORDER = (r"HKCU\Software\Microsoft\CTF\SortOrder\AssemblyItem\0x00000804"
              r"\{34745C63-B2F0-4784-8B67-5E12C8701A31}")
# The per-user steps: the program every user runs at sign-in, its component (native view) and the
# mark of a user who has run it.
USER_PROGRAM = r"C:\windows\vornuser8.exe"
USER_STEPS = r"HKLM\SOFTWARE\Microsoft\Active Setup\Installed Components\{E3B1C9A2-5D47-4F08-9B6E-2A7C41D0F853}"
USER_MARK = r"HKCU\Software\Microsoft\Active Setup\Installed Components\{E3B1C9A2-5D47-4F08-9B6E-2A7C41D0F853}"
USER_LOG = r"C:\users\root\Temp\vornuser8.log"
PROFILE = "0x0804:{65653599-5030-4C0F-8871-83F6AFDE5098}{65653599-5031-4C0F-8871-83F6AFDE5098}"
SETUP_LOG = r"C:\users\root\Temp\vornsetup.log"
UNINSTALL_LOG = r"C:\users\root\Temp\vorndel8.log"
CAPTION = "智能Marl卸载"
KEEP_HERE = "检测到安装目录下有智能Marl以前的词组等数据文件，是否保留？"
# An optional learnt file the user never had: it must not appear after the uninstall.
NEVER_LEARNT = "delck.txt"
# The user's besides the learnt files: the Pinyin library as he taught it, its working copy and a
# file of his own. Kept when he keeps his data.
USERS_OWN = {"vornpyck.vrh": b"VORN pinyin phrases the user taught" * 40,
             "vornpyck.dat": b"VORN working copy" * 40,
             "my notes.txt": b"not the product's\r\n"}

# What other programs have: an uninstall entry, a start-up value, a user-agent token, an IME
# layout in both preload lists, a text service in the user's list, a file in the system directory.
# regedit is the 32-bit tool: HKLM\Software lands in the view the setup writes.
FOREIGN_REG = r"""Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\OtherTool]
"DisplayName"="Other Tool"
"UninstallString"="C:\\tools\\other.exe /uninstall"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run]
"OtherTool"="C:\\tools\\other.exe"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Internet Settings\User Agent\Post Platform]
"SLCC2"=""

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Keyboard Layouts\E0200804]
"Ime File"="OTHERIME.IME"
"Layout File"="kbdus.dll"
"Layout Text"="Other IME"

[HKEY_CURRENT_USER\Keyboard Layout\Preload]
"1"="00000409"
"2"="E0200804"
"3"="00000804"

[HKEY_USERS\.DEFAULT\Keyboard Layout\Preload]
"1"="00000409"
"2"="E0200804"

[HKEY_LOCAL_MACHINE\Software\Microsoft\CTF\TIP\{0B5E7C41-2F0D-4A6E-9A59-3C1E8D2F7A10}]
"Description"="Other text service"

[HKEY_CURRENT_USER\Software\Microsoft\CTF\SortOrder\AssemblyItem\0x00000804\{34745C63-B2F0-4784-8B67-5E12C8701A31}\00000000]
"CLSID"="{0B5E7C41-2F0D-4A6E-9A59-3C1E8D2F7A10}"
"profile"="{0B5E7C42-2F0D-4A6E-9A59-3C1E8D2F7A10}"
"KeyboardLayout"=dword:08040804
"""
FOREIGN_FILES = {r"C:\windows\system32\otherime.ime": b"MZ another input method",
                 r"C:\tools\other.exe": b"MZ another program"}


@dataclasses.dataclass
class Scenario:
    name: str
    config: str
    install: str  # "silent" (the IME everywhere) or "wizard" (the default: TSF from Vista on)
    quiet: bool = True  # the entry's QuietUninstallString, else its UninstallString (the robot answers)
    extra: tuple[str, ...] = ()  # appended to the command
    keep: bool = True
    answers: tuple[str, ...] = ()
    window: bool = False  # a program has the input method's window open during the uninstall
    busy: str | None = None  # a module another program has loaded during the uninstall
    exit_code: int = 0


SCENARIOS = [
    Scenario("tsf-win10", "win10-64", "wizard"),
    Scenario("tsf-win10-remove-data", "win10-64", "wizard", extra=("/REMOVEDATA",), keep=False),
    Scenario("tsf-win10-interactive", "win10-64", "wizard", quiet=False, answers=("YES",)),
    Scenario("ime-win10", "win10-64", "silent"),
    Scenario("ime-xp", "xp-32", "silent"),
    Scenario("ime-xp-remove-data", "xp-32", "silent", extra=("/REMOVEDATA",), keep=False),
    Scenario("ime-xp-window", "xp-32", "silent", window=True),
    Scenario("ime-xp-module-loaded", "xp-32", "silent", busy=r"C:\windows\system32\vornel4.ime",
             exit_code=3010),
]


def view32(m, key: str) -> str:
    """The key as the 32-bit setup sees it: HKLM\\Software redirected on 64-bit Windows."""
    if m.config.arch == "win64" and key.casefold().startswith("hklm\\software\\"):
        return "HKLM\\Software\\Wow6432Node\\" + key[len("HKLM\\Software\\"):]
    return key


def split_command(command: str) -> list[str]:
    """A command line split as Windows does: the program up to the closing quote or the first
    blank, then the arguments at blanks outside quotes."""
    words, word, quoted, started = [], [], False, False
    for c in command:
        if c == '"':
            quoted, started = not quoted, True
        elif c in " \t" and not quoted:
            if started:
                words.append("".join(word))
            word, started = [], False
        else:
            word.append(c)
            started = True
    if started:
        words.append("".join(word))
    return words


def seed_foreign_state(m) -> None:
    reg = m.work / "foreign.reg"
    vornwine._write_reg_file(reg, FOREIGN_REG)
    assert m.wine("regedit", "/S", vornwine.windows_path_of_host(reg)).returncode == 0
    m.set_files(FOREIGN_FILES)


def set_values(m, key: str, values: dict[str, str]) -> None:
    lines = [f'"{name}"="{data}"' for name, data in values.items()]
    reg = m.work / "use.reg"
    root = key.replace("HKCU", "HKEY_CURRENT_USER", 1).replace("HKU", "HKEY_USERS", 1)
    vornwine._write_reg_file(reg, "Windows Registry Editor Version 5.00\n\n"
                             f"[-{root}]\n\n[{root}]\n" + "\n".join(lines) + "\n")
    assert m.wine("regedit", "/S", vornwine.windows_path_of_host(reg)).returncode == 0


def install(m, bin_dir, case: Scenario) -> None:
    if case.install == "silent":
        run = m.run(bin_dir / SETUP, "/S", timeout=120)
        assert run.exit_code == 0 and run.boxes == [], run.output
    else:
        script = ["WINDOW", NEXT, NEXT, NEXT, "BOX", "DIALOG 105", "BOX", "OK"]
        run = m.run(bin_dir / SETUP, answers=script, timeout=180)
        assert run.exit_code == 0, run.output
        assert not [line for line in run.boxes + run.actions if "error" in line], run.output
    m.wait()


def use(m, installed: snapshot.Snapshot, case: Scenario) -> dict[str, bytes]:
    """What Windows and the user add once the product is in use; the learnt files it leaves."""
    layouts = [k.name.rpartition("\\")[2] for k in installed.keys.values()
               if k.name.casefold().startswith(LAYOUTS.casefold() + "\\")
               and any(n == "ime file" and (d.text() or "").casefold().endswith("vornel4.ime")
                       for n, (_, d) in k.values.items())]
    if case.install == "silent":
        # Windows puts an installed IME into the preload lists; Wine's IMM does not. Ours in the
        # middle of the user's list (upper case, as Windows writes it) and last in the default one.
        assert len(layouts) == 1, layouts
        ours = layouts[0].upper()
        set_values(m, PRELOADS[0], {"1": "00000409", "2": ours, "3": "E0200804", "4": "00000804"})
        set_values(m, PRELOADS[1], {"1": "00000409", "2": "E0200804", "3": ours.lower()})
    else:
        # The user adds the text service to the list of keyboards: the second item.
        reg = m.work / "sort.reg"
        vornwine._write_reg_file(reg, "Windows Registry Editor Version 5.00\n\n"
                                 f"[{SORT_ORDER.replace('HKCU', 'HKEY_CURRENT_USER')}\\00000001]\n"
                                 f'"CLSID"="{CLSID}"\n"profile"="{{65653599-5031-4C0F-8871-83F6AFDE5098}}"\n'
                                 '"KeyboardLayout"=dword:08040804\n')
        assert m.wine("regedit", "/S", vornwine.windows_path_of_host(reg)).returncode == 0
    learned = learned_contents()
    for name, content in learned.items():
        m.write_file(INSTALL_DIR + name, content)
    m.remove_file(INSTALL_DIR + NEVER_LEARNT)
    del learned[NEVER_LEARNT]
    for name, content in USERS_OWN.items():
        m.write_file(INSTALL_DIR + name, content)
    return learned


def check_entry(m, installed: snapshot.Snapshot) -> tuple[str, str]:
    """The uninstall entry is complete; its two commands."""
    key = view32(m, ENTRY)
    value = lambda name: installed.value(key, name)  # noqa: E731
    text = lambda name: value(name).text() if value(name) else None  # noqa: E731
    windows = r"C:\windows"
    assert text("DisplayName") == "智能Marl8"
    assert text("DisplayVersion") == "9.0"
    assert text("Publisher")
    assert text("UninstallString").casefold() in (rf"{windows}\vorndel8.exe".casefold(),
                                                  rf'"{windows}\vorndel8.exe"'.casefold())
    assert text("QuietUninstallString").casefold() == rf'"{windows}\vorndel8.exe" /S'.casefold()
    assert text("InstallLocation").rstrip("\\").casefold() == INSTALL_DIR.rstrip("\\").casefold()
    assert "www.vornel.com" in text("URLInfoAbout")
    icon = split_command(text("DisplayIcon").rpartition(",")[0] or text("DisplayIcon"))[0]
    assert installed.file(icon) is not None and installed.file(icon).kind == "file", icon
    # The Apps page's Modify button runs the repair: nothing disables it.
    assert value("NoModify") is None
    assert text("ModifyPath").casefold() == f'"{INSTALL_DIR}vornsetup.exe" /REPAIR'.casefold()
    # The installed size in KB: the install directory's files and the modules placed outside it,
    # counted when the entry is written: before the install's last files come and (IME) the
    # language builds of the modules go, a few KB either way.
    placed = expected.system_modules(interface="ime" if m.config.arch == "win32" or not installed.file(
        r"C:\windows\syswow64\vornsrf.dll") else "tsf", bits=64 if m.config.arch == "win64" else 32,
        windows10=True)
    size = sum(state.size for name, state in installed.files.values()
               if state.kind == "file" and (name.casefold().startswith(INSTALL_DIR.casefold())
                                            or name in placed))
    estimated = int.from_bytes(value("EstimatedSize").data, "little")
    assert value("EstimatedSize").type == 4, value("EstimatedSize")
    assert abs(estimated - size / 1024) <= size / 1024 / 50, (estimated, size)
    return text("UninstallString"), text("QuietUninstallString")


@contextlib.contextmanager
def holding(m, bin_dir, case: Scenario):
    """A program with the input method's window, or with a module loaded, while the block runs."""
    if not (case.window or case.busy):
        yield
        return
    args, ready = (["holder", "UIQVTK", "60"], "holder.ready") if case.window else \
        (["load", case.busy, "60"], "load.ready")
    holder = subprocess.Popen(["wine", str(bin_dir / "vornboxes.exe"), *args], env=m.env, cwd=m.work,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 60
        while not (m.work / ready).exists():
            assert time.monotonic() < deadline and holder.poll() is None, "the holder did not start"
            time.sleep(0.2)
        yield
    finally:
        holder.kill()
        holder.wait(timeout=60)


def log_lines(m, path: str) -> list[list[str]]:
    return logs.last_run(m, path)


def product_layouts(m) -> list[str]:
    """The ids of the layouts registered for the product's module, as their keys are named."""
    return sorted(key.rpartition("\\")[2] for key, values in m.registry(LAYOUTS).items()
                  if str(values.get("Ime File", "")).upper().endswith("VORNEL4.IME"))


def take_left_for_other_users(m, bin_dir, changes: snapshot.Changes, removal: str) -> None:
    """What the uninstall leaves for the users who sign in later, checked and taken out of the
    changes: the program, its component now running `removal`, this account's mark of it."""
    assert changes.files_added.pop(USER_PROGRAM, None) == FileState.of((bin_dir / "vornuser8.exe").read_bytes())
    taken = {}
    for key, name in [k for k in changes.values_added if "{e3b1c9a2-" in k[0].casefold()]:
        taken[key.split("\\")[0].upper(), name] = changes.values_added.pop((key, name))
    changes.keys_added = {k for k in changes.keys_added if "\\active setup" not in k.casefold()}
    text = lambda data: data.data.decode("utf-16-le").rstrip("\0")  # noqa: E731
    assert {k: text(v) if v.type == 1 else v for k, v in taken.items()} == {
        ("HKLM", ""): "智能Marl输入平台 9.0",
        ("HKLM", "StubPath"): f'"{USER_PROGRAM}" /REMOVE {removal}',
        ("HKLM", "IsInstalled"): snapshot.RegData(4, (1).to_bytes(4, "little")),
        ("HKLM", "Version"): "9,0,0,2",
        ("HKCU", "Version"): "9,0,0,2",
    }


def check_backup(data: bytes, learned: dict[str, bytes]) -> None:
    """A complete backup: every learnt file that is there, under its packed name, intact."""
    container = read_container(data)
    packed = {e.name.decode("gbk"): e for e in container.entries}
    want = {}
    for name, content in learned.items():
        stem = name[:-4]
        want[f"{stem}.bak" if name.endswith(".vrh") and stem in COPIED else name] = content
    want["vrszsj43.vrh"] = learned["vrszsj43.vrh"]  # packed through its copy and as it is
    assert sorted(packed) == sorted(want)
    for name, entry in packed.items():
        assert entry.content == want[name], name
        assert entry.digest == hashlib.md5(entry.content).hexdigest().upper(), name


def without_scheduled(changes: snapshot.Changes, pending: list[tuple[str, str]]) -> snapshot.Changes:
    """The changes but the files the restart deletes (present now, absent before) and the list."""
    for source, _ in pending:
        added = next((p for p in changes.files_added if p.casefold() == source.casefold()), None)
        assert added is not None, f"scheduled for the restart but not new: {source}"
        del changes.files_added[added]
    changes.values_added.pop((snapshot.SESSION_MANAGER, "PendingFileRenameOperations"), None)
    return changes


@pytest.mark.parametrize("case", SCENARIOS, ids=lambda c: c.name)
def test_uninstall(machine, bin_dir, case):
    m = machine(case.config)
    seed_foreign_state(m)
    before = m.snapshot()

    install(m, bin_dir, case)
    fresh = m.snapshot()
    interactive, quiet = check_entry(m, fresh)
    learned = use(m, fresh, case)
    installed = m.snapshot()
    layouts = product_layouts(m)

    program, *args = split_command(quiet if case.quiet else interactive)
    with holding(m, bin_dir, case):
        run = m.run(program, *args, *case.extra, answers=case.answers, timeout=120)
    after = m.snapshot()
    assert run.exit_code == case.exit_code, run.output
    if case.quiet:
        assert run.boxes == [] and run.windows == [], run.boxes + run.windows
        last = log_lines(m, UNINSTALL_LOG)[-1]
        assert last[-1] == f"exit={case.exit_code}", last
    else:
        # One question, answered; one final message. No robot error on the way.
        answered = [(b["caption"], b["button"]) for b in run.boxes]
        assert answered == [(CAPTION, "YES"), (CAPTION, "OK")], run.boxes
        assert not [line for line in run.actions if "error" in line], run.output

    # Scheduled for the restart: deletes only, never of what is kept; a busy module among them.
    pending = snapshot.pending_operations(after)
    assert all(target == "" for _, target in pending), pending
    kept = {(INSTALL_DIR + n).casefold() for n in (*learned, *USERS_OWN, "vornback.vrz", "")}
    kept.add(INSTALL_DIR.rstrip("\\").casefold())
    assert not [s for s, _ in pending if s.casefold() in kept], pending
    if case.busy:
        module = installed.file(case.busy)
        folder = case.busy.rpartition("\\")[0].casefold()
        assert [s for s, _ in pending if s.rpartition("\\")[0].casefold() == folder
                and after.file(s) == module], (pending, case.busy)

    # Exactly the kept data are new, and what the users who sign in later need to lose the
    # product's entries; every other file, key and value is as before the install.
    changes = without_scheduled(snapshot.diff(before, after), pending)
    take_left_for_other_users(m, bin_dir, changes, PROFILE if case.install == "wizard" and m.config.arch == "win64"
                              else " ".join(layouts))
    backup = changes.files_added.pop(INSTALL_DIR + "vornback.vrz", None)
    want = {}
    if case.keep:
        want = {INSTALL_DIR + name: FileState.of(content) for name, content in (learned | USERS_OWN).items()}
        want[INSTALL_DIR.rstrip("\\")] = DIRECTORY
    assert snapshot.Changes(files_added=want).lines() == changes.lines()
    if case.keep:
        assert backup is not None and backup.kind == "file"
        # The Pinyin library is a learnt file too: packed under its own name.
        check_backup(m.read_file(INSTALL_DIR + "vornback.vrz"), learned | {"vornpyck.vrh": USERS_OWN["vornpyck.vrh"]})
    else:
        assert backup is None

    # The restart completes it: the scheduled files go, and nothing else changes.
    assert m.wine("cmd", "/c", "exit").returncode == 0
    restarted = m.snapshot()
    assert snapshot.pending_operations(restarted) == []
    gone = snapshot.Changes(files_removed={s: after.file(s) for s, _ in pending})
    if pending:
        gone.values_removed[(snapshot.SESSION_MANAGER, "PendingFileRenameOperations")] = \
            after.value(snapshot.SESSION_MANAGER, "PendingFileRenameOperations")
    assert snapshot.diff(after, restarted).lines() == gone.lines()

    # A second run finds nothing to remove, says so, and changes nothing.
    run = m.run(bin_dir / UNINSTALLER, "/S", timeout=120)
    assert run.exit_code == 1605, run.output
    assert snapshot.diff(restarted, m.snapshot()).lines() == []

    # A new setup offers to keep the data (silent mode says yes) and brings them back.
    run = m.run(bin_dir / SETUP, "/S", timeout=120)
    m.wait()
    assert run.exit_code == 0, run.output
    asked = [r for r in log_lines(m, SETUP_LOG)[1:-1] if len(r) > 2 and r[2] == KEEP_HERE]
    if case.keep:
        assert [r[3] for r in asked] == ["YES"], asked
        assert learnt_files_back(m, learned) == []
    else:
        assert asked == []


def test_a_setup_over_a_loaded_module_asks_for_the_restart(machine, bin_dir):
    """A setup again while a program has the module loaded: the module goes aside, its delete is
    recorded for the restart, and the run ends with 3010, the code deployment tools restart on."""
    case = Scenario("setup-over-loaded", "xp-32", "silent", busy=r"C:\windows\system32\vornel4.ime")
    m = machine(case.config)
    install(m, bin_dir, case)
    with holding(m, bin_dir, case):
        run = m.run(bin_dir / SETUP, "/S", timeout=120)
    assert run.exit_code == 3010, run.output
    assert log_lines(m, SETUP_LOG)[-1] == ["result=installed, a restart completes it", "exit=3010"]
    pending = snapshot.pending_operations(m.snapshot())
    assert [(source.casefold(), target) for source, target in pending] == [
        (r"c:\windows\system32\vornel2.ime", "")], pending


def sign_in_as_another_user(m, preload: dict[str, str]) -> list[list[str]]:
    """Another user's first sign-in since the component changed, as Active Setup runs it. This
    prefix has one user: its HKCU is first made such a user's (its own preload list, no mark),
    then the component's command runs, and Windows marks the user with the version. The log
    lines of the run."""
    set_values(m, PRELOADS[0], {"1": "00000409", **preload})
    m.wine("reg", "delete", USER_MARK, "/f")
    component = m.registry_values(USER_STEPS, view=64)
    program, *args = split_command(component["StubPath"])
    assert program == USER_PROGRAM
    run = m.run(program, *args, timeout=120)
    m.wait()
    assert (run.exit_code, run.boxes, run.windows) == (0, [], []), run.output
    return log_lines(m, USER_LOG)


@pytest.mark.parametrize("interface,config", [("tsf", "win10-64"), ("ime", "xp-32")])
def test_other_users_get_the_entries_at_sign_in_and_lose_them_after_the_uninstall(machine, bin_dir, interface,
                                                                                    config):
    """A deployment installs silently for the machine: another user who signs in gets the
    product's layout in the preload list, or its text service enabled through input.dll (Windows
    8 and later list it only then); after the uninstall the next sign-in takes them away again,
    and the user's other entries stay in their order. The stand-in input.dll records the calls."""
    m = machine(config)
    if interface == "tsf":
        m.set_files({r"C:\windows\syswow64\input.dll": (bin_dir / "vorninput.dll").read_bytes()})
    run = m.run(bin_dir / SETUP, "/S", f"/INTERFACE={interface.upper()}", timeout=180)
    m.wait()
    assert run.exit_code == 0, run.output
    assert m.registry_values(USER_STEPS, view=64)["StubPath"] == f'"{USER_PROGRAM}" /ADD'
    assert m.read_file(USER_PROGRAM) == (bin_dir / "vornuser8.exe").read_bytes()
    layouts = product_layouts(m)
    ours = {"tsf": [["text service enabled", PROFILE]],
            "ime": [["preload entry added", layout.lower()] for layout in layouts]}[interface]
    assert sign_in_as_another_user(m, {"2": "00000804"})[1:-1] == ours
    if interface == "ime":
        assert m.registry_values(PRELOADS[0]) | {"1": "00000409"} == {
            "1": "00000409", "2": "00000804", "3": layouts[0].lower()}

    run = m.run(bin_dir / UNINSTALLER, "/S", timeout=180)
    m.wait()
    assert run.exit_code == 0, run.output
    removal = {"tsf": PROFILE, "ime": " ".join(layouts)}[interface]
    assert m.registry_values(USER_STEPS, view=64)["StubPath"] == f'"{USER_PROGRAM}" /REMOVE {removal}'
    gone = {"tsf": [["text service disabled", PROFILE]], "ime": [["preload entries removed", "1"]]}[interface]
    had = {"2": layouts[0].lower(), "3": "00000804"} if interface == "ime" else {"2": "00000804"}
    assert sign_in_as_another_user(m, had)[1:-1] == gone
    assert m.registry_values(PRELOADS[0]) | {"1": "00000409"} == {"1": "00000409", "2": "00000804"}
    if interface == "tsf":
        calls = m.read_file(r"C:\windows\vorninput.log")
        assert isinstance(calls, bytes), "input.dll was never called"
        # The setup and the uninstaller for the account that ran them, vornuser8 for the other user.
        assert calls.decode("utf-8").split("\r\n") == [f"install\t0\t{PROFILE}", f"install\t0\t{PROFILE}",
                                                       f"install\t1\t{PROFILE}", f"install\t1\t{PROFILE}", ""]


def test_reinstall_before_the_restart(machine, bin_dir):
    """An uninstall leaves a busy module for the restart, and an older uninstaller had recorded
    deletes under the names the setup installs. Before the restart a second uninstall only says
    what waits, and a new setup installs: after the restart every file it installed is there."""
    case = Scenario("reinstall", "xp-32", "silent", busy=r"C:\windows\system32\vornel4.ime")
    m = machine(case.config)
    install(m, bin_dir, case)
    older = [INSTALL_DIR + "vral01.jpg", INSTALL_DIR + "vornel4.ime", r"C:\windows\vorndel8.exe"]
    texts = "".join(f"\\??\\{path}\0\0" for path in older) + "\0"
    reg = m.work / "pending.reg"
    vornwine._write_reg_file(reg, "Windows Registry Editor Version 5.00\n\n"
                             f"[{snapshot.SESSION_MANAGER.replace('HKLM', 'HKEY_LOCAL_MACHINE')}]\n"
                             '"PendingFileRenameOperations"=hex(7):'
                             + ",".join(f"{b:02x}" for b in texts.encode("utf-16-le")) + "\n")
    assert m.wine("regedit", "/S", vornwine.windows_path_of_host(reg)).returncode == 0
    aside = r"c:\windows\system32\vornel2.ime"
    with holding(m, bin_dir, case):
        run = m.run(bin_dir / UNINSTALLER, "/S", "/REMOVEDATA", timeout=120)
        assert run.exit_code == 3010, run.output
        run = m.run(bin_dir / UNINSTALLER, "/S", timeout=120)
        assert run.exit_code == 0, run.output
        waiting = [line[1].casefold() for line in log_lines(m, UNINSTALL_LOG) if line[0] == "waits for the restart"]
        assert waiting == [aside], log_lines(m, UNINSTALL_LOG)
        run = m.run(bin_dir / SETUP, "/S", timeout=120)
        assert run.exit_code == 0, run.output
    reinstalled = m.snapshot()
    pending = snapshot.pending_operations(reinstalled)
    assert [(source.casefold(), target) for source, target in pending] == [(aside, "")], pending
    want = expected.install_dir_after(codepage=936, interface="ime", windows10=False, wizard=False)
    assert {INSTALL_DIR + name: content for name, content in want.items()} == {
        INSTALL_DIR + name: m.read_file(INSTALL_DIR + name) for name in want}

    assert m.wine("cmd", "/c", "exit").returncode == 0  # the restart
    spelled = pending[0][0]
    gone = snapshot.Changes(files_removed={spelled: reinstalled.file(spelled)})
    gone.values_removed[(snapshot.SESSION_MANAGER, "PendingFileRenameOperations")] = \
        reinstalled.value(snapshot.SESSION_MANAGER, "PendingFileRenameOperations")
    assert snapshot.diff(reinstalled, m.snapshot()).lines() == gone.lines()
