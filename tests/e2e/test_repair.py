"""The check (/CHECK) and the repair (/REPAIR) of a damaged installation, as administrators run
them: silently, with the log and the exit codes.

Each scenario installs (TSF through the wizard on Windows 10 64-bit, IME silently on XP), gives
the learnt files contents of their own, then damages the installation as a scanner, a disk fault
or a half-done update would: a module deleted from a system directory, a dictionary of the
payload changed, the registration's key deleted. The check must name each damage (exit 10) and
change nothing; the repair must put it right (exit 0), after which the check finds nothing; the
learnt files stay byte for byte as the user left them throughout.

Wine's IMM writes the layout's "Ime File" as the module's full path and adds the layout to no
preload list (the setup adds it only when it writes the layout by hand): so after the silent
install on XP the check finds the layout missing from the user's list, and the repair adds it.
"""

from __future__ import annotations

import dataclasses
import hashlib
from typing import Callable

import pytest

import expected
import logs
from test_learned_data import learned_contents
from wizard_targets import NEXT

SETUP = "vornsetup.exe"
INSTALL_DIR = expected.INSTALL_DIR
LOG = r"C:\users\root\Temp\vornsetup.log"
CLSID = "{65653599-5030-4C0F-8871-83F6AFDE5098}"
TIP = rf"HKLM\SOFTWARE\Microsoft\CTF\TIP\{CLSID}"
ITEM = rf"SOFTWARE\Microsoft\CTF\TIP\{CLSID}\Category\Item\{CLSID}"
LAYOUTS = r"HKLM\System\CurrentControlSet\Control\Keyboard Layouts"
MACHINE = "HKEY_LOCAL_MACHINE\\"
DICTIONARY = "vorndzk0.vrh"  # a dictionary of the payload, none of the learnt files
# What the check reads in the registry, in both views where there are two.
KEYS = [r"HKLM\Software\Microsoft\Windows\CurrentVersion", r"HKLM\Software\Microsoft\CTF", LAYOUTS,
        r"HKCU\Keyboard Layout"]
TSF_KEYS = [f"{MACHINE}SOFTWARE\\Microsoft\\CTF\\TIP\\{CLSID}"] + [
    f"{MACHINE}{ITEM}\\{g}" for g in ("{13A016DF-560B-46CD-947A-4C3AF1E0E35D}",
                                        "{25504FB4-7BAB-4BC1-9C69-CF81890F0EF5}",
                                        "{34745C63-B2F0-4784-8B67-5E12C8701A31}")]


def wizard_install(m, bin_dir) -> None:
    script = ["WINDOW", NEXT, NEXT, NEXT, "BOX", "DIALOG 105", "BOX", "OK"]
    run = m.run(bin_dir / SETUP, answers=script, timeout=180)
    assert run.exit_code == 0, run.output


def silent_install(m, bin_dir) -> None:
    run = m.run(bin_dir / SETUP, "/S", timeout=120)
    assert run.exit_code == 0 and run.boxes == [], run.output


def product_layout(m) -> str:
    for key, values in m.registry(LAYOUTS).items():
        if str(values.get("Ime File", "")).lower().endswith("vornel4.ime"):
            return key.rpartition("\\")[2]
    raise AssertionError("no keyboard layout names the module")


def corrupt(m, name: str) -> None:
    data = bytearray(m.read_file(INSTALL_DIR + name))
    data[len(data) // 2] ^= 0x5A
    m.write_file(INSTALL_DIR + name, bytes(data))


def reg_delete(m, key: str, view: int) -> None:
    result = m.wine("reg", "delete", key, "/f", f"/reg:{view}")
    assert result.returncode == 0, result.stdout


@dataclasses.dataclass
class Scenario:
    name: str
    config: str
    install: Callable
    bits: int
    # m -> what the check finds right after the install (see the module's note): (kind, object)
    baseline: Callable
    # What is done to the installation, and m -> all the check must find then.
    damage: Callable
    findings: Callable


def tsf_damage(m) -> None:
    m.remove_file(r"C:\windows\system32\vornsrf6.dll")  # the 64-bit module: the native system32
    corrupt(m, DICTIONARY)
    reg_delete(m, TIP, 64)


def ime_damage(m) -> None:
    m.remove_file(r"C:\windows\system32\vornel4.ime")
    corrupt(m, DICTIONARY)
    reg_delete(m, f"{LAYOUTS}\\{product_layout(m)}", 32)


SCENARIOS = [
    Scenario("win10-tsf", "win10-64", wizard_install, 64, lambda m: [], tsf_damage,
             lambda m: [("missing module", r"C:\windows\system32\vornsrf6.dll"),
                        ("damaged file", INSTALL_DIR + DICTIONARY)]
             + [("missing text-service key", key) for key in TSF_KEYS]),
    Scenario("xp-ime", "xp-32", silent_install, 32,
             lambda m: [("missing preload entry", product_layout(m))], ime_damage,
             lambda m: [("missing module", r"C:\windows\system32\vornel4.ime"),
                        ("damaged file", INSTALL_DIR + DICTIONARY),
                        ("missing keyboard layout", MACHINE + LAYOUTS.removeprefix("HKLM\\"))]),
]


def learnt_files_changed(m, learned: dict[str, bytes]) -> list[str]:
    return [name for name, content in learned.items() if m.read_file(INSTALL_DIR + name) != content]


def log_lines(m) -> list[list[str]]:
    return logs.last_run(m, LOG)


def logged(m, what: str) -> list[tuple[str, str]]:
    return sorted((line[1], line[2]) for line in log_lines(m) if line[0] == what)


def machine_state(m, bits: int) -> dict[str, object]:
    """Every file of drive C but the temporary folder's (the log), by digest, and every key the
    check reads, in each view."""
    state: dict[str, object] = {}
    root = m.host_path("C:\\")
    for path in sorted(root.rglob("*")):
        relative = path.relative_to(root).as_posix()
        if path.is_file() and not path.is_symlink() and "/Temp/" not in relative:
            state[relative] = hashlib.sha1(path.read_bytes()).hexdigest()
    for key in KEYS:
        for view in ((32, 64) if bits == 64 else (32,)):
            state[f"{key} /reg:{view}"] = m.registry(key, view)
    return state


def run(m, bin_dir, *args: str) -> int:
    result = m.run(bin_dir / SETUP, *args, "/S", timeout=180)
    m.wait()
    assert result.boxes == [] and result.windows == [], result.output
    return result.exit_code


@pytest.mark.parametrize("case", SCENARIOS, ids=lambda c: c.name)
def test_check_and_repair(machine, bin_dir, case):
    m = machine(case.config)
    case.install(m, bin_dir)
    m.wait()
    learned = learned_contents()
    for name, content in learned.items():
        m.write_file(INSTALL_DIR + name, content)
    shipped = expected.payload(m.config.codepage)

    baseline = sorted(case.baseline(m))
    assert run(m, bin_dir, "/CHECK") == (10 if baseline else 0), log_lines(m)
    assert logged(m, "finding") == baseline

    case.damage(m)
    before = machine_state(m, case.bits)
    assert run(m, bin_dir, "/CHECK") == 10, log_lines(m)
    # A layout deleted takes its preload finding with it: it is all one registration then.
    findings = sorted(case.findings(m))
    assert logged(m, "finding") == findings
    assert log_lines(m)[-1] == ["result=damaged", "exit=10"]
    after = machine_state(m, case.bits)
    assert [k for k in before.keys() | after.keys() if before.get(k) != after.get(k)] == []
    assert learnt_files_changed(m, learned) == []

    assert run(m, bin_dir, "/REPAIR") == 0, log_lines(m)
    assert logged(m, "repaired") == findings
    assert logged(m, "not repaired") == []
    assert m.read_file(INSTALL_DIR + DICTIONARY) == shipped[DICTIONARY]
    assert run(m, bin_dir, "/CHECK") == 0, log_lines(m)
    assert log_lines(m)[-1] == ["result=healthy", "exit=0"]
    assert learnt_files_changed(m, learned) == []


def test_no_installation_is_not_installed(machine, bin_dir):
    m = machine("xp-32")
    assert run(m, bin_dir, "/CHECK") == 1605
    assert log_lines(m)[-1] == ["result=not installed", "exit=1605"]
    assert run(m, bin_dir, "/REPAIR") == 1605
    assert not isinstance(m.read_file(INSTALL_DIR + "vornel4.ime"), bytes)
