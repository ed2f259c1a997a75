r"""Registration with Windows under Wine, through the real platform layer.

The probe program (regprobe/) runs one registration step of the setup in a fresh
machine seeded the way a Windows machine is; the scenarios then read the registry
in both views. Wine's own IMM accepts every module, so the keyboard layout is
registered by hand here, as the setup does when IMM refuses.

One way in which Wine 8 is not Windows shapes the expectations: every process that sets up
its keyboard (regedit included) writes Wine's active layout into the current user's preload
entry 1: E0010804 under code page 936, E0010404 under 950, a layout without a Keyboard Layouts
entry. On a machine with no IME layout that is also the number the setup takes, so the list
names the new layout already.

The text-service keys (HKLM\SOFTWARE\Microsoft\CTF\TIP) are one key for both registry views,
on Windows as under Wine: Microsoft's "Registry Keys Affected by WOW64"
(https://learn.microsoft.com/en-us/windows/win32/winprog64/shared-registry-keys) lists
CTF\TIP as shared on every 64-bit Windows. So the 32-bit setup sees the 64-bit module's keys,
and 64-bit programs see the categories the setup writes.
"""

from __future__ import annotations

import pytest

import vornwine

PROBE = "vornregprobe.exe"
CLSID = "{65653599-5030-4C0F-8871-83F6AFDE5098}"
TIP = rf"HKLM\SOFTWARE\Microsoft\CTF\TIP\{CLSID}"
LAYOUTS = r"HKLM\System\CurrentControlSet\Control\Keyboard Layouts"
PRELOAD = r"HKCU\Keyboard Layout\Preload"
TESTED = [  # written by the modules' own registration
    "{13A016DF-560B-46CD-947A-4C3AF1E0E35D}",
    "{25504FB4-7BAB-4BC1-9C69-CF81890F0EF5}",
    "{34745C63-B2F0-4784-8B67-5E12C8701A31}",
]
WRITTEN = [  # written by the setup after the check
    "{046B8C80-1647-40F7-9B21-B93B81AABC1B}",
    "{364215D9-75BC-11D7-A6EF-00065B84435C}",
    "{49D2F9CE-1F5E-11D7-A6D3-00065B84435C}",
    "{49D2F9CF-1F5E-11D7-A6D3-00065B84435C}",
    "{CCF05DD7-4A87-11D7-A6E2-00065B84435C}",
]

# A Chinese Windows: the standard layouts and a preload list.
STANDARD_LAYOUTS = r"""
[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Keyboard Layouts\00000409]
"Layout File"="kbdus.dll"
"Layout Text"="US"

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Keyboard Layouts\00000804]
"Layout File"="kbdus.dll"
"Layout Text"="Chinese (Simplified) - US Keyboard"

[-HKEY_CURRENT_USER\Keyboard Layout\Preload]

[HKEY_CURRENT_USER\Keyboard Layout\Preload]
"1"="00000409"
"2"="00000804"
"""

# The entry of the active layout's IME, as Windows has one for each layout it lists.
ACTIVE_IME = r"""
[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Keyboard Layouts\E0010804]
"Ime File"="WINEIME.IME"
"Layout File"="kbdus.dll"
"Layout Text"="Active IME"
"""

OLDER_VERSION = r"""
[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Keyboard Layouts\E0300804]
"Ime File"="VORNEL4.IME"
"Layout File"="kbdus.dll"
"Layout Text"="智能Marl输入平台  8.0"
"""

VERSION_KEY = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion"
SYSTEM_ENTRIES = rf"""
[{VERSION_KEY}\Uninstall]

[{VERSION_KEY}\Internet Settings\User Agent\Post Platform]
"qvtk6800"=""
"qvtk7510"=""
"""


def seed(m: vornwine.Machine, text: str) -> None:
    """Import registry text with regedit (the 32-bit tool: HKLM\\Software is the setup's view)."""
    path = m.work / "seed.reg"
    body = "Windows Registry Editor Version 5.00\n" + text
    path.write_bytes(b"\xff\xfe" + body.replace("\n", "\r\n").encode("utf-16-le"))
    result = m.wine("regedit", "/S", vornwine.windows_path_of_host(path))
    assert result.returncode == 0, result.stdout
    m.wait()


def probe(m: vornwine.Machine, bin_dir, step: str) -> vornwine.Run:
    return m.run(bin_dir / PROBE, step, timeout=60)


def stored(m: vornwine.Machine, bin_dir, key: str, view: int = 32) -> dict[str, tuple[int, bytes]]:
    """Each value of a key as Windows stores it: (type, exact bytes)."""
    root, _, path = key.partition("\\")
    result = m.wine(vornwine.windows_path_of_host(bin_dir / PROBE), "dump", root, path, str(view))
    lines = result.stdout.splitlines()
    if result.returncode == 1 and lines == ["missing"]:
        return {}
    if result.returncode != 0:
        raise vornwine.HarnessError(f"the probe could not read {key}: {result.stdout.strip()}")
    values = {}
    for line in lines:
        if line.startswith("value\t"):
            _, name, kind, data = line.rstrip("\r").split("\t")
            values[name] = (int(kind), bytes.fromhex(data))
    return values


def sz(text: str) -> tuple[int, bytes]:
    """A REG_SZ the setup wrote with the text's length without its terminator. NT (and Wine)
    keep texts as UTF-16 and count a terminator that follows the data in memory."""
    return (1, text.encode("utf-16-le") + b"\0\0")


def dword(number: int) -> tuple[int, bytes]:
    return (4, number.to_bytes(4, "little"))


def subkeys(m: vornwine.Machine, key: str, view: int) -> set[str]:
    full = m.registry(key, view)
    root, _, rest = key.partition("\\")
    root = {"HKLM": "HKEY_LOCAL_MACHINE", "HKCU": "HKEY_CURRENT_USER"}.get(root, root)
    prefix = f"{root}\\{rest}\\".casefold()
    return {name[len(prefix):] for name in full if name.casefold().startswith(prefix)}


@pytest.mark.parametrize(
    "config, layout_id, text",
    [
        ("win10-64", "E0010804", "智能Marl输入平台  9.0"),
        # Big5 bytes under code page 950 read back as the traditional-script name.
        ("win7-32-cp950", "E0010404", "智能Marl輸入平台  9.0"),
    ],
)
def test_first_layout_takes_the_first_ime_number(machine, bin_dir, config, layout_id, text):
    m = machine(config)
    seed(m, STANDARD_LAYOUTS)
    preload = m.registry_values(PRELOAD)
    assert preload == {"1": layout_id, "2": "00000804"}  # Wine's active layout in front
    run = probe(m, bin_dir, "layout")
    assert (run.exit_code, run.boxes) == (0, []), run.output

    assert subkeys(m, LAYOUTS, 32) == {"00000409", "00000804", layout_id}
    assert stored(m, bin_dir, rf"{LAYOUTS}\{layout_id}") == {
        "IME file": sz("VORNEL4.IME"),
        "layout file": sz("kbdus.dll"),
        "layout text": sz(text),
    }
    assert m.registry_values(PRELOAD) == preload  # named there already


def test_new_layout_is_added_to_the_preload_list(machine, bin_dir):
    m = machine("win10-64")
    seed(m, STANDARD_LAYOUTS + ACTIVE_IME)
    run = probe(m, bin_dir, "layout")
    assert (run.exit_code, run.boxes) == (0, []), run.output

    assert m.registry_values(rf"{LAYOUTS}\E0010804")["Layout Text"] == "Active IME"
    assert m.registry_values(rf"{LAYOUTS}\E0020804") == {
        "IME file": "VORNEL4.IME",
        "layout file": "kbdus.dll",
        "layout text": "智能Marl输入平台  9.0",
    }
    assert m.registry_values(PRELOAD) == {"1": "E0010804", "2": "00000804", "3": "e0020804"}


def test_older_versions_layout_is_reused(machine, bin_dir):
    m = machine("win10-64")
    seed(m, STANDARD_LAYOUTS + ACTIVE_IME + OLDER_VERSION)
    run = probe(m, bin_dir, "layout")
    assert (run.exit_code, run.boxes) == (0, []), run.output

    assert subkeys(m, LAYOUTS, 32) == {"00000409", "00000804", "E0010804", "E0300804"}
    assert m.registry_values(rf"{LAYOUTS}\E0300804") == {
        "Ime File": "VORNEL4.IME",
        "Layout File": "kbdus.dll",
        "Layout Text": "智能Marl输入平台  9.0",
    }
    assert m.registry_values(PRELOAD) == {"1": "E0010804", "2": "00000804", "3": "e0300804"}


# The 9x family's preload form: numbered subkeys whose default value is a layout id.
NINE_X_PRELOAD = r"""
[-HKEY_CURRENT_USER\Keyboard Layout\Preload]
[HKEY_CURRENT_USER\Keyboard Layout\Preload\1]
@="00000409"
"""


@pytest.mark.parametrize(
    "config, layout_file, preload_seed, preload_key, preload_value",
    [
        # The 9x family: its layout file, the id in upper case, the numbered-subkey form.
        ("win98-32", "kbdus.kbd", NINE_X_PRELOAD, r"HKCU\Keyboard Layout\Preload\2", {"": "E0010804"}),
        # Windows 2000 is of the NT family: the values form, the id in lower case.
        ("win2k-32", "kbdus.dll", "", PRELOAD, None),
    ],
)
def test_layout_on_the_oldest_systems(machine, bin_dir, config, layout_file, preload_seed, preload_key,
                                      preload_value):
    m = machine(config)
    seed(m, STANDARD_LAYOUTS + ACTIVE_IME + preload_seed)
    run = probe(m, bin_dir, "layout")
    assert (run.exit_code, run.boxes) == (0, []), run.output
    assert stored(m, bin_dir, rf"{LAYOUTS}\E0020804") == {
        "IME file": sz("VORNEL4.IME"), "layout file": sz(layout_file), "layout text": sz("智能Marl输入平台  9.0")}
    if preload_value is None:
        assert m.registry_values(PRELOAD)["3"] == "e0020804"
    else:
        assert m.registry_values(preload_key) == {"": "E0020804"}


def place_modules(m: vornwine.Machine, bin_dir, modules: dict[str, str]) -> None:
    for target, built in modules.items():
        m.write_file(target, (bin_dir / built).read_bytes())


def test_text_service_on_64_bit_windows_10(machine, bin_dir):
    m = machine("win10-64")
    place_modules(
        m,
        bin_dir,
        {
            r"C:\windows\syswow64\vornsrf.dll": "vorntsfprobe32.dll",
            r"C:\windows\system32\vornsrf6.dll": "vorntsfprobe64.dll",
        },
    )
    run = probe(m, bin_dir, "textservice")
    assert (run.exit_code, run.boxes) == (0, []), run.output

    item = rf"Category\Item\{CLSID}"
    for view in (32, 64):  # one key for both views
        keys = subkeys(m, TIP, view)
        assert {rf"{item}\{g}" for g in TESTED + WRITTEN} <= keys, view
        assert {rf"Category\Category\{g}\{CLSID}" for g in TESTED + WRITTEN} <= keys, view
    assert m.registry_values(rf"{TIP}\{item}\{WRITTEN[0]}") == {}  # keys only, no values


def test_text_service_whose_modules_did_not_register_is_reported(machine, bin_dir):
    m = machine("win10-64")
    run = probe(m, bin_dir, "textservice")
    assert run.exit_code == 1, run.output
    assert run.boxes == [
        {
            "caption": "智能Marl(Qolvane)安装",
            "text": "系统32位dll文件没有挂接成功(err=0)！，请退出安装程序重新安装！",
            "button": "OK",
        }
    ]
    assert m.registry_values(TIP) is None


def test_text_service_on_32_bit_xp_registers_without_the_check(machine, bin_dir):
    m = machine("xp-32")
    place_modules(m, bin_dir, {r"C:\windows\system32\vornsrf.dll": "vorntsfprobe32.dll"})
    run = probe(m, bin_dir, "textservice")
    assert (run.exit_code, run.boxes) == (0, []), run.output
    keys = subkeys(m, TIP, 32)
    assert {rf"Category\Item\{CLSID}\{g}" for g in TESTED} <= keys
    assert not {rf"Category\Item\{CLSID}\{g}" for g in WRITTEN} & keys


def test_system_entries_read_back_exactly(machine, bin_dir):
    m = machine("win10-64")
    seed(m, SYSTEM_ENTRIES)
    for _ in range(2):  # a second install overwrites the same entries
        run = probe(m, bin_dir, "entries")
        assert (run.exit_code, run.boxes) == (0, []), run.output

    version = r"HKLM\Software\Microsoft\Windows\CurrentVersion"
    assert subkeys(m, rf"{version}\Uninstall", 32) >= {"vornqwb8"}
    # The complete entry of Windows' list of programs; nothing is installed here, so no size.
    assert stored(m, bin_dir, rf"{version}\Uninstall\vornqwb8") == {
        "DisplayName": sz("智能Marl8"),
        "UninstallString": sz(r"C:\windows\vorndel8.exe"),
        "DisplayVersion": sz("9.0"),
        "Publisher": sz("Vornel 智能Marl软件"),
        "DisplayIcon": sz(r"C:\windows\vorndel8.exe,0"),
        "InstallLocation": sz("C:\\Program Files\\vornel8\\"),
        "EstimatedSize": dword(0),
        "QuietUninstallString": sz(r'"C:\windows\vorndel8.exe" /S'),
        "URLInfoAbout": sz("http://www.vornel.com"),
        "NoModify": dword(1),
        "NoRepair": dword(1),
    }
    run_value = stored(m, bin_dir, rf"{version}\Run")["vrvksjgl"]
    assert run_value == sz(r'"C:\Program Files\vornel8\vornqvtk.exe" vr')
    markers = stored(m, bin_dir, rf"{version}\Internet Settings\User Agent\Post Platform")
    assert sorted(markers) == ["qvtk7510", "qvtk8800"]  # qvtk6800 removed, a foreign one kept
    assert markers["qvtk8800"] == (1, b"")
    # All of it in the 32-bit view only.
    assert m.registry_values(rf"{version}\Uninstall\vornqwb8", 64) is None


def test_a_fault_windows_handles_itself_is_not_reported(machine, bin_dir):
    """The fault report is for faults that end the program, not for one a Windows DLL handles."""
    m = machine("xp-32")
    result = m.wine(vornwine.windows_path_of_host(bin_dir / PROBE), "handled-fault")
    assert result.returncode == 0, result.stderr
    assert result.stdout.split() == ["done"], result.stdout


def test_a_wait_for_a_program_answers_its_messages(machine, bin_dir):
    """regsvr32 of a module that sends to every top-level window ends while the setup waits."""
    m = machine("xp-32")
    run = probe(m, bin_dir, "wait")
    assert run.exit_code == 0, run.output
