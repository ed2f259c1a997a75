"""The resources of vornsetup.exe, listed from the file: the payload as built, the icon, the
manifest and the skin dialog in both scripts."""

from __future__ import annotations

import re
import struct
from pathlib import Path

import pytest

import readers

RT_ICON, RT_DIALOG, RT_VERSION, RT_GROUP_ICON, RT_MANIFEST = 3, 5, 16, 14, 24
CHINESE_PRC, CHINESE_TAIWAN, ENGLISH_US = 2052, 1028, 1033

WS_POPUP, WS_CAPTION, WS_SYSMENU = 0x80000000, 0x00C00000, 0x00080000
WS_CHILD, WS_VISIBLE, WS_GROUP = 0x40000000, 0x10000000, 0x00020000
DS_MODALFRAME, DS_SETFONT = 0x80, 0x40
BUTTON, STATIC = 0x80, 0x82
BS_DEFPUSHBUTTON, BS_GROUPBOX, BS_AUTORADIOBUTTON, SS_LEFT = 1, 7, 9, 0

# (identifier, class, kind, x, y, cx, cy, simplified text, traditional text)
CONTROLS = [
    (105, BUTTON, BS_DEFPUSHBUTTON, 88, 117, 44, 14, "确定", "確定"),
    (0xFFFF, BUTTON, BS_GROUPBOX, 6, 8, 204, 39, "输入法状态窗口模式选择", "輸入法狀態窗口模式選擇"),
    (0xFFFF, BUTTON, BS_GROUPBOX, 6, 54, 204, 39, "输入法皮肤选择", "輸入法皮膚選擇"),
    (101, BUTTON, BS_AUTORADIOBUTTON, 15, 25, 44, 10, "双行窗口", "雙行窗口"),
    (102, BUTTON, BS_AUTORADIOBUTTON, 66, 25, 44, 10, "单行窗口", "單行窗口"),
    (106, BUTTON, BS_AUTORADIOBUTTON, 113, 25, 36, 10, "双窗口", "雙窗口"),
    (107, BUTTON, BS_AUTORADIOBUTTON, 155, 25, 48, 10, "仿WIN窗口", "仿WIN窗口"),
    (110, BUTTON, BS_AUTORADIOBUTTON, 15, 72, 48, 10, "冷色瓷面", "冷色瓷面"),
    (111, BUTTON, BS_AUTORADIOBUTTON, 84, 72, 48, 10, "粉色瓷面", "粉色瓷面"),
    (112, BUTTON, BS_AUTORADIOBUTTON, 150, 71, 40, 10, "小天使", "小天使"),
    (0xFFFF, STATIC, SS_LEFT, 13, 99, 145, 8, "注：你也可在安装完毕后改变这些参数。", "注：你也可在安裝完畢后改變這些參數。"),
]

DIALOGS = {
    "PYKEY": (CHINESE_PRC, "智能Marl皮肤及窗口模式选择", 12, "宋体", 7),
    "PYKEYB": (CHINESE_TAIWAN, "智能Marl皮膚及窗口模式選擇", 10, "System", 8),
}


@pytest.fixture(scope="module")
def resources(bin_dir):
    setup = bin_dir / "vornsetup.exe"
    if not setup.exists():
        pytest.fail(f"{setup} is missing: build the win32 tree first (cmake --build build/win32)")
    pe = readers.read_pe(setup.read_bytes())
    assert (pe.machine, pe.is_64, pe.subsystem) == (0x14C, False, 2)
    return pe.resources


def find(resources, rtype, name):
    found = [r for r in resources if r.type == rtype and r.name == name]
    assert len(found) == 1, (rtype, name, found)
    return found[0]


def test_resource_list(resources):
    listing = sorted((str(r.type), str(r.name), r.language) for r in resources)
    icon_languages = {r.language for r in resources if r.type in (RT_ICON, RT_GROUP_ICON, RT_MANIFEST)}
    (neutral,) = icon_languages  # icon and manifest as the resource compiler leaves them
    assert listing == sorted([
        (str(RT_VERSION), "1", 0),
        (str(RT_ICON), "1", neutral),
        (str(RT_DIALOG), "PYKEY", CHINESE_PRC),
        (str(RT_DIALOG), "PYKEYB", CHINESE_TAIWAN),
        (str(RT_GROUP_ICON), "VORNEL", neutral),
        (str(RT_MANIFEST), "1", neutral),
        ("VRZ", "QVTKVRZ", CHINESE_PRC),
        ("EXE", "VORNUSER8", CHINESE_PRC),
    ])


def test_embedded_payload_is_the_built_one(resources, payload_bytes):
    assert find(resources, "VRZ", "QVTKVRZ").data == payload_bytes


def test_the_per_user_program_is_the_built_one_and_runs_with_the_users_rights(resources, bin_dir):
    program = find(resources, "EXE", "VORNUSER8").data
    assert program == (bin_dir / "vornuser8.exe").read_bytes()
    (manifest,) = [r.data for r in readers.read_pe(program).resources if r.type == RT_MANIFEST]
    assert b'level="asInvoker"' in manifest


@pytest.mark.parametrize("name", DIALOGS)
def test_skin_dialog(resources, name):
    language, caption, point_size, face, text_column = DIALOGS[name]
    resource = find(resources, RT_DIALOG, name)
    assert resource.language == language
    dialog = readers.read_dialog(resource.data)
    assert dialog.style == WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT
    assert (dialog.x, dialog.y, dialog.cx, dialog.cy) == (10, 15, 219, 140)
    assert (dialog.caption, dialog.point_size, dialog.face) == (caption, point_size, face)
    got = [(i.id, i.window_class, i.style & 0xF, i.x, i.y, i.cx, i.cy, i.text) for i in dialog.items]
    assert got == [c[:7] + (c[text_column],) for c in CONTROLS]
    for item in dialog.items:
        assert item.style & (WS_CHILD | WS_VISIBLE) == WS_CHILD | WS_VISIBLE
        if item.style & 0xF == BS_AUTORADIOBUTTON and item.window_class == BUTTON:
            # No group style: the setup keeps the seven check marks itself.
            assert not item.style & WS_GROUP, item.id


def test_icon_is_one_image_of_32_by_32_in_16_colours(resources):
    group = find(resources, RT_GROUP_ICON, "VORNEL").data
    reserved, kind, count = struct.unpack_from("<HHH", group)
    assert (reserved, kind, count) == (0, 1, 1)
    width, height, colours, _, planes, bits, size, icon_id = struct.unpack_from("<BBBBHHIH", group, 6)
    assert (width, height, colours, bits) == (32, 32, 16, 4)
    image = find(resources, RT_ICON, icon_id).data
    assert len(image) == size
    assert struct.unpack_from("<IiiHH", image) == (40, 32, 64, 1, 4)


@pytest.mark.parametrize("program", ["vornsetup.exe", "vorndel8.exe"])
def test_manifest_requests_administrator_rights_and_no_compatibility(bin_dir, program):
    resources = readers.read_pe((bin_dir / program).read_bytes()).resources
    # The uninstall entry shows the uninstaller's icon ("DisplayIcon").
    find(resources, RT_GROUP_ICON, "VORNEL")
    manifest = find(resources, RT_MANIFEST, 1).data.decode("utf-8")
    assert re.search(r'<requestedExecutionLevel\s+level="requireAdministrator"', manifest)
    # Without a compatibility section Windows 10 reports 6.2, which the version facts rely on.
    assert "compatibility" not in manifest.lower()


# DLLs the loader always takes from the system directory: the KnownDLLs of every Windows the
# product names ("HKLM\System\CurrentControlSet\Control\Session Manager\KnownDLLs", see
# Microsoft's "Dynamic-Link Library Search Order"). A DLL outside this list would be looked for
# in the folder the setup was started from first.
KNOWN_DLLS = {"advapi32.dll", "gdi32.dll", "imm32.dll", "kernel32.dll", "msvcrt.dll", "shell32.dll",
              "user32.dll"}
TERMINAL_SERVER_AWARE = 0x8000


@pytest.mark.parametrize("program", ["vornsetup.exe", "vorndel8.exe"])
def test_program_loads_nothing_from_the_folder_it_was_started_from(bin_dir, program):
    """Statically linked: only Windows' known DLLs are imported (zlib and the C++ runtime are
    in), and the program is marked aware of terminal servers."""
    pe = readers.read_pe((bin_dir / program).read_bytes())
    assert set(pe.imports) <= KNOWN_DLLS, set(pe.imports) - KNOWN_DLLS
    assert pe.dll_characteristics & TERMINAL_SERVER_AWARE


# What Explorer's details and deployment tools read, in the three languages.
VERSION_STRINGS = {
    "080403A8": {"CompanyName": "Vornel 智能Marl软件", "ProductName": "智能Marl输入平台",
                 "LegalCopyright": "版权所有 (C) 2026 Vornel"},
    "040403B6": {"CompanyName": "Vornel 智能Marl軟體", "ProductName": "智能Marl輸入平台",
                 "LegalCopyright": "版權所有 (C) 2026 Vornel"},
    "040904B0": {"CompanyName": "Vornel", "ProductName": "Marl Input Platform",
                 "LegalCopyright": "Copyright (C) 2026 Vornel"},
}
DESCRIPTIONS = {
    "vornsetup.exe": {"080403A8": "智能Marl输入平台 9.0 安装程序", "040403B6": "智能Marl輸入平台 9.0 安裝程式",
                      "040904B0": "Marl Input Platform 9.0 Setup"},
    "vorndel8.exe": {"080403A8": "智能Marl输入平台 9.0 卸载程序", "040403B6": "智能Marl輸入平台 9.0 解除安裝程式",
                     "040904B0": "Marl Input Platform 9.0 Uninstaller"},
}


@pytest.mark.parametrize("program", sorted(DESCRIPTIONS))
def test_version_resource(bin_dir, program):
    pe = readers.read_pe((bin_dir / program).read_bytes())
    (resource,) = [r for r in pe.resources if r.type == RT_VERSION]
    info = readers.read_version_info(resource.data)
    assert info["file_version"] == (9, 0, 0, 0)
    assert info["translations"] == [(0x0804, 936), (0x0404, 950), (0x0409, 1200)]
    assert set(info["strings"]) == set(VERSION_STRINGS)
    for table, fixed in VERSION_STRINGS.items():
        assert info["strings"][table] == {
            **fixed, "FileDescription": DESCRIPTIONS[program][table], "FileVersion": "9.0.0.0",
            "ProductVersion": "9.0", "InternalName": program[:-4], "OriginalFilename": program}, table


def newer_than_windows_2000() -> dict[tuple[str, str], str]:
    """The list kept beside this file: (dll, function) -> the first Windows that has it."""
    listed = {}
    for line in (Path(__file__).parent / "functions_after_windows_2000.txt").read_text().splitlines():
        if line.strip() and not line.startswith("#"):
            dll, function, *since = line.split()
            listed[(dll, function)] = " ".join(since[:-1])
    return listed


@pytest.mark.parametrize("program", ["vornsetup.exe", "vorndel8.exe"])
def test_imports_only_what_windows_2000_has(bin_dir, program):
    pe = readers.read_pe((bin_dir / program).read_bytes())
    assert pe.imports["kernel32.dll"], "the import table was read"
    newer = newer_than_windows_2000()
    found = [(dll, name, newer[(dll, name)]) for dll, names in pe.imports.items() for name in names
             if (dll, name) in newer]
    assert found == [], f"{program} imports functions Windows 2000 does not have: {found}"
