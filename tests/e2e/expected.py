"""What an install must leave, computed from the payload (read by the independent reader) and
from the rules the setup follows, never from another output of the same run.

`install_dir_after(...)` gives the install directory's expected files, each with its exact
bytes; `differences(expected, actual)` lists what does not match, for one assertion.
"""

from __future__ import annotations

import os
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "payload"))

from readers import read_container  # noqa: E402

PAYLOAD = Path(os.environ.get("VORN_PAYLOAD", Path(__file__).resolve().parents[2] / "build" / "payload" / "payload.vrz"))
INSTALL_DIR = "C:\\Program Files\\vornel8\\"

IME_BUILDS = ("vorn320.ime", "vorn321.ime", "vorn640.ime", "vorn641.ime")
TSF_MODULES = ("vornsrf.dll", "vornsrf6.dll", "csrf732.dll", "csrf764.dll")
LABEL = "智能Marl输入平台".encode("utf-16-le")
SKINS = {1: "冷色瓷面.vrz", 2: "粉色瓷面.vrz", 3: "小天使.vrz"}
NETWORK_TEXT = (b"VRNETURL1=\r\nVRNETURL2=\r\nVRNETTIME=1\r\nVRBJTIME=7\r\nVRWYTIME=3\r\nVRSJOFF=0\r\n"
                b"VRNETTIME0=0\r\nVRBJTIME0=0\r\nVRNEONE=1\r\n")


def payload(codepage: int = 936) -> dict[str, bytes]:
    """The payload's files by name as Windows reads them in that code page."""
    container = read_container(PAYLOAD.read_bytes())
    return {e.name.decode(f"cp{codepage}"): e.content for e in container.entries}


def skin_files(skin: bytes) -> dict[str, bytes]:
    return {e.name.decode("ascii"): e.content for e in read_container(skin).entries}


def patched_label(content: bytes) -> bytes:
    """The version after each product label turned from 6.3 or 6.7 into 9.0 (UTF-16LE: only the
    low bytes are looked at); a file over 128 KiB is left as it is."""
    if len(content) > 131072:
        return content
    data = bytearray(content)
    at = data.find(LABEL)
    while at >= 0:
        after = at + len(LABEL)
        if (data[after:after + 1] == b" " and data[after + 4:after + 5] == b"6"
                and data[after + 6:after + 7] == b"." and data[after + 8:after + 9] in (b"3", b"7")):
            data[after + 4] = ord("9")
            data[after + 8] = ord("0")
        at = data.find(LABEL, after)
    return bytes(data)


def input_settings(shipped: bytes, codepage: int, pinyin: bool, window_mode: int) -> bytes:
    """The settings record the install writes: the shipped one (or its first 200 bytes) patched."""
    default = bytearray(200)
    default[8] = 54
    for offset in (9, 10, 12, 15, 19, 22, 24, 27, 36, 41, 42, 43, 54, 58):
        default[offset] = 1
    record = bytearray(default)
    record[:min(len(shipped), 200)] = shipped[:200]
    if codepage == 950:
        record[15] = 1
    record[62] = record[63] = 0
    record[1] = record[43] = record[36] = 1
    record[54] = 0
    if pinyin:
        for offset in (19, 25, 27, 42, 64, 70, 72):
            record[offset] = 1
        for offset in (22, *range(28, 36), 36, 54, *range(66, 70), 75):
            record[offset] = 0
        record[80] = 10
    record[0] = {2: 1, 3: 4, 4: 3}.get(window_mode, 0)
    record[21] = 1 if window_mode in (3, 4) else 0
    return bytes(record)


def settings_files(pinyin: bool, user_record: bytes) -> dict[str, bytes]:
    """The settings files the wizard's install writes, but the install stamp (a tick count).
    The network text was composed when the user-record page was left, so the pipeline's
    "vorndat.dat" carries it at offset 300."""
    block = bytearray(1000)
    block[300:300 + len(NETWORK_TEXT)] = NETWORK_TEXT
    return {
        "wbpybz.vrh": b"VRWBPYBZ=1\0" if pinyin else b"VRWBPYBZ=0\0",
        "vorndat.dat": bytes(block),
        "vrnetsj.dat": NETWORK_TEXT,
        "vryhgl0.dat": user_record,
    }


def user_record(name: bytes = b"", phone: bytes = b"", password: bytes = b"") -> bytes:
    """The 492-byte user record: name at 0 (50), phone at 50 (138), stamp at 188 (zero),
    200 bytes kept, password at 392 (100)."""
    record = bytearray(492)
    record[0:len(name)] = name
    record[50:50 + len(phone)] = phone
    record[392:392 + len(password)] = password
    return bytes(record)


def install_dir_after(*, codepage: int, interface: str, windows10: bool, wizard: bool,
                      pinyin: bool = False, window_mode: int = 1, skin: int = 1,
                      record: bytes | None = None, setup: Path | None = None) -> dict[str, bytes | None]:
    """Each file of the install directory after a first install, with its bytes; None where
    only the presence is fixed (the install stamp). `setup`: the program that installed (by
    default the built one), which leaves a copy of itself there for the repair."""
    shipped = payload(codepage)
    files: dict[str, bytes | None] = dict(shipped)
    if setup is None:
        setup = Path(os.environ.get("VORN_BIN", PAYLOAD.parents[1] / "win32" / "bin")) / "vornsetup.exe"
    files["vornsetup.exe"] = setup.read_bytes()
    if interface == "ime":
        # The second pass leaves the payload's own builds and removes the language-specific ones.
        for name in (*IME_BUILDS, *TSF_MODULES):
            files.pop(name)
        files["setupw64.exe"] = patched_label(shipped["setupw64.exe"])
    else:
        for name in (*IME_BUILDS, "vornel4.ime", "vornel64.ime"):
            files.pop(name)
        if windows10:
            files.pop("csrf732.dll")
            files.pop("csrf764.dll")
        else:
            files["vornsrf.dll"] = files.pop("csrf732.dll")
            files["vornsrf6.dll"] = files.pop("csrf764.dll")
    if wizard:
        files.update(settings_files(pinyin, record if record is not None else user_record()))
        files["install.vrh"] = None
        files["vrszsj43.vrh"] = input_settings(shipped["vrszsj43.vrh"], codepage, pinyin, window_mode)
        # Names of the skin archives are GBK; under another code page they are other characters.
        skin_name = SKINS[skin].encode("gbk").decode(f"cp{codepage}")
        files.update(skin_files(shipped[skin_name]))
        files["vrbmpsx4.bmp"] = shipped["vrbmps44.bmp"]
    return files


def system_modules(*, interface: str, bits: int, windows10: bool) -> dict[str, str]:
    """Where the modules land outside the install directory, and the payload entry each must be."""
    placed = {r"C:\windows\vorndel8.exe": "vorndel8.exe"}
    if interface == "ime":
        if bits == 64:
            placed[r"C:\windows\syswow64\vornel4.ime"] = "vornel4.ime"
            placed[r"C:\windows\system32\vornel4.ime"] = "vornel64.ime"
        else:
            placed[r"C:\windows\system32\vornel4.ime"] = "vornel4.ime"
    else:
        suffix = ("vornsrf.dll", "vornsrf6.dll") if windows10 else ("csrf732.dll", "csrf764.dll")
        if bits == 64:
            placed[r"C:\windows\syswow64\vornsrf.dll"] = suffix[0]
            placed[r"C:\windows\system32\vornsrf6.dll"] = suffix[1]
        else:
            placed[r"C:\windows\system32\vornsrf.dll"] = suffix[0]
    return placed


def installed(m) -> dict[str, bytes]:
    """The install directory's files as they are, by the names Windows gives them."""
    root = m.host_path(INSTALL_DIR)
    found = {}
    for path in root.iterdir():
        if path.is_dir():
            continue
        # The host holds Windows' names in UTF-8.
        found[path.name] = path.read_bytes()
    return found


def differences(expected: dict[str, bytes | None], actual: dict[str, bytes]) -> list[str]:
    """Missing, unexpected and different files, by name; empty when all match."""
    problems = [f"missing {name}" for name in sorted(set(expected) - set(actual))]
    problems += [f"unexpected {name}" for name in sorted(set(actual) - set(expected))]
    for name in sorted(set(expected) & set(actual)):
        want = expected[name]
        if want is not None and actual[name] != want:
            problems.append(f"different {name} ({len(actual[name])} bytes, {len(want)} expected)")
    return problems


def decimal_stamp(content: bytes) -> bool:
    """The install stamp: a tick count in decimal as a signed 32-bit number, no terminator."""
    text = content.decode("ascii", errors="replace")
    return (text[1:] if text.startswith("-") else text).isdigit() and -2**31 <= int(text) < 2**31
