"""Each configuration is the machine it claims to be, and the harness reads it right."""

from __future__ import annotations

import pytest

import vornwine

# What a 32-bit program sees in each configuration (vornboxes facts).
FACTS = {
    "win10-64": "acp=936 oemcp=936 version=6.2 wow64=1",
    "win7-64": "acp=936 oemcp=936 version=6.1 wow64=1",
    "xp-32": "acp=936 oemcp=936 version=5.1 wow64=0",
    "win7-32-cp950": "acp=950 oemcp=950 version=6.1 wow64=0",
    "win98-32": "acp=936 oemcp=936 version=4.10 wow64=0",
    "win2k-32": "acp=936 oemcp=936 version=5.0 wow64=0",
}

TEMPLATE_REGISTRY = {
    r"HKEY_CURRENT_USER\Software\Wine\Explorer": {"Desktop": "Default"},
    r"HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops": {"Default": "1024x768"},
}
FONT_SUBSTITUTES = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes"
CHINESE_FACES = {"宋体": "AR PL UMing CN", "楷体": "AR PL UKai CN"}


@pytest.mark.parametrize("config", FACTS)
def test_configuration(machine, bin_dir, config):
    m = machine(config)
    run = m.run(bin_dir / "vornboxes.exe", "facts", timeout=30)
    assert run.boxes == [{"caption": "vornboxes facts", "text": FACTS[config], "button": "OK"}], run.output
    assert run.exit_code == 0

    for key, values in TEMPLATE_REGISTRY.items():
        assert m.registry_values(key) == values
    views = (32, 64) if vornwine.CONFIGS[config].arch == "win64" else (32,)
    for view in views:
        faces = m.registry_values(FONT_SUBSTITUTES, view=view)
        assert {face: faces.get(face) for face in CHINESE_FACES} == CHINESE_FACES, view
    assert m.registry_values(r"HKEY_LOCAL_MACHINE\Software\NoSuchKeyAnywhere") is None


def test_files_and_paths(machine):
    m = machine("xp-32")
    system32 = m.prefix / "drive_c/windows/system32"
    assert m.host_path(r"c:\WINDOWS\System32\KERNEL32.dll") == system32 / "kernel32.dll"
    assert m.host_path(r"C:\Windows\new\File.TXT") == m.prefix / "drive_c/windows/new/File.TXT"

    before = {
        r"C:\windows\vorn-a.vrh": b"C:\\x\\",
        r"C:\Windows\VORN-B.vrh": vornwine.UNWRITABLE,
        r"C:\vornel8\deep\vorn-c.vrh": b"",
        r"C:\windows\win.ini": vornwine.ABSENT,
    }
    m.set_files(before)
    assert m.files(before) == {
        r"C:\windows\vorn-a.vrh": b"C:\\x\\",
        r"C:\Windows\VORN-B.vrh": vornwine.DIRECTORY,
        r"C:\vornel8\deep\vorn-c.vrh": b"",
        r"C:\windows\win.ini": vornwine.ABSENT,
    }


def test_reg_export_parser():
    text = (
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Vorn]\r\n"
        '@="默认"\r\n'
        '"Dir"="C:\\\\Program Files\\\\vornel8\\\\"\r\n'
        '"Quote"="a\\"b"\r\n'
        '"Count"=dword:0000002a\r\n'
        '"Bin"=hex:01,02,\\\r\n  ff\r\n'
        '"Multi"=hex(7):61,00,00,00,00,00\r\n\r\n'
        "[HKEY_CURRENT_USER\\Software\\Vorn\\Empty]\r\n"
    )
    assert vornwine.parse_reg_export(text) == {
        r"HKEY_CURRENT_USER\Software\Vorn": {
            "": "默认",
            "Dir": "C:\\Program Files\\vornel8\\",
            "Quote": 'a"b',
            "Count": 42,
            "Bin": vornwine.RegValue(3, b"\x01\x02\xff"),
            "Multi": vornwine.RegValue(7, b"a\0\0\0\0\0"),
        },
        r"HKEY_CURRENT_USER\Software\Vorn\Empty": {},
    }


def test_registry_views(machine):
    m = machine("win7-64")
    seeded = {r"HKLM\Software\VornProbe": "native", r"HKLM\Software\Wow6432Node\VornProbe": "wow64"}
    for key, data in seeded.items():
        assert m.wine("reg", "add", key, "/v", "Seen", "/d", data, "/f", "/reg:64").returncode == 0
    assert m.registry_values(r"HKLM\Software\VornProbe") == {"Seen": "wow64"}
    assert m.registry_values(r"HKEY_LOCAL_MACHINE\SOFTWARE\VornProbe", view=64) == {"Seen": "native"}
    assert m.registry(r"HKCU\Software\VornProbe") == {}


def test_absent_means_absent(machine):
    m = machine("xp-32")
    # Missing, and missing below a missing parent: nothing there.
    assert m.registry(r"HKLM\Software\VornNoSuchKey") == {}
    assert m.registry(r"HKLM\Software\VornNoSuchKey\Deeper\Still") == {}
    assert m.read_file(r"C:\vornel8\none.vrh") is vornwine.ABSENT
    # A link to nothing is no absent file: it raises instead of passing for one.
    link = m.host_path(r"C:\windows\vorn-link.vrh")
    link.symlink_to(m.prefix / "nowhere")
    with pytest.raises(vornwine.HarnessError):
        m.read_file(r"C:\windows\vorn-link.vrh")
    # A failed export counts as absence only when the parent's listing lacks the key.
    m.wine("reg", "add", r"HKLM\Software\VornProbe", "/v", "Seen", "/d", "x", "/f")
    assert m._key_absent(r"HKEY_LOCAL_MACHINE\Software\VornProbe", 32) is False
    assert m._key_absent(r"HKEY_LOCAL_MACHINE\Software\VornMissing", 32) is True
