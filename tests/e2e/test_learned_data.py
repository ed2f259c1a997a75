"""What the input method has learnt survives every reinstall: a damaged setup, the intact one
again, a learnt file gone, and the wizard answering yes to keeping the data.

The learnt files are the backup's list; each gets content of its own. After a reinstall each is
back under its own name (the libraries packed through ".bak" copies also under that name),
byte for byte.
"""

from __future__ import annotations

import struct

from conftest import DAMAGED_ENTRY
from vornwine import ABSENT
from wizard_targets import NEXT

SETUP = "vornsetup.exe"
INSTALL_DIR = "C:\\Program Files\\vornel8\\"

# Learnt through a ".bak" copy beside them, then the files packed as they are.
COPIED = ["vorncyzk", "vrszsj43", "cfontset", "cwbzlcz1", "vrwbcmxz", "vrdhzcm", "vorndhz", "vrgbkhz"]
AS_IS = ["vrszsj43.vrh", "vorndwdw.txt", "vornzdym.vrh", "vrpyzdym.vrh", "vrwbpy.txt", "vornynhz.txt",
         "vornzdfh.vrh", "userck.txt", "delck.txt", "ftvrzdym.txt", "ftpyzdym.txt", "cwb.ov1",
         "vornpymb.ov1", "vrgbkbh.vrh", "vrszsj05.vrh", "vrszsj06.vrh"]


def stored_library(phrases: list[str]) -> bytes:
    """A phrase library in its stored form: phrases, "VORN", the byte sum, the phrase count."""
    text = "".join(f"{p}; " for p in phrases).encode("gbk")
    total = sum(b for p in phrases for b in p.encode("gbk"))
    return text + b"VORN" + struct.pack("<II", total, len(phrases))


def learned_contents() -> dict[str, bytes]:
    files = {"vorncyzk.vrh": stored_library(["用户学习", "智能输入", "词组"])}
    for stem in COPIED[1:]:
        files[f"{stem}.vrh"] = f"{stem} learnt by the user ".encode() + bytes([len(stem)]) * 64
    files["vrszsj43.vrh"] = bytes((i * 7 + 3) % 256 for i in range(200))  # the settings record
    for name in AS_IS[1:]:
        files[name] = f"{name}: 用户的数据\r\n".encode("gbk") * 8
    return files


def learnt_files_back(m, learned: dict[str, bytes], gone: set[str] = frozenset()) -> list[str]:
    """The learnt files that are not back as they were (under every name they come back as)."""
    wrong = []
    for name, content in learned.items():
        if name in gone:
            continue
        names = [name]
        if name.endswith(".vrh") and name[:-4] in COPIED:
            names.append(name[:-4] + ".bak")
        wrong += [n for n in names if m.read_file(INSTALL_DIR + n) != content]
    return wrong


def used_installation(m, bin_dir) -> dict[str, bytes]:
    first = m.run(bin_dir / SETUP, "setvrsrf32", timeout=120)
    assert first.exit_code == 0 and first.boxes == [], first.output
    m.wait()
    learned = learned_contents()
    for name, content in learned.items():
        m.write_file(INSTALL_DIR + name, content)
    return learned


def test_silent_reinstalls_keep_the_learnt_data(machine, bin_dir, damaged_setup):
    m = machine("win10-64")
    learned = used_installation(m, bin_dir)
    shipped = m.read_file(INSTALL_DIR + DAMAGED_ENTRY)

    # The damaged setup: its entry is not written, nothing asks or shows anything, and the exit
    # code says the payload was damaged.
    run = m.run(damaged_setup, "setvrsrf32", timeout=120)
    m.wait()
    assert run.exit_code == 4 and run.boxes == [], run.output
    assert m.read_file(INSTALL_DIR + DAMAGED_ENTRY) == shipped
    assert learnt_files_back(m, learned) == []

    # The intact setup again: still every learnt file, byte for byte.
    run = m.run(bin_dir / SETUP, "setvrsrf32", timeout=120)
    m.wait()
    assert run.exit_code == 0 and run.boxes == [], run.output
    assert learnt_files_back(m, learned) == []

    # One required learnt file gone: the others are kept all the same.
    m.remove_file(INSTALL_DIR + "vornzdfh.vrh")
    run = m.run(bin_dir / SETUP, "setvrsrf32", timeout=120)
    m.wait()
    assert run.exit_code == 0 and run.boxes == [], run.output
    assert learnt_files_back(m, learned, gone={"vornzdfh.vrh"}) == []
    assert m.read_file(INSTALL_DIR + "vornzdfh.vrh") is not ABSENT  # the payload's own again


def test_wizard_reinstall_with_a_damaged_setup_keeps_the_learnt_data(machine, bin_dir, damaged_setup):
    m = machine("win10-64")
    learned = used_installation(m, bin_dir)
    script = ["WINDOW", NEXT, NEXT, NEXT,
              "BOX", "OK",   # the damaged entry
              "BOX", "OK",   # the extraction incomplete
              "BOX", "YES",  # keep the earlier data
              "BOX", "DIALOG 105"]
    run = m.run(damaged_setup, answers=script, timeout=240)
    assert run.exit_code == 0, run.output
    assert run.boxes == [
        {"caption": "智能Marl安装", "text": f"没有成功解压复制{DAMAGED_ENTRY}文件！请重新下载安装。", "button": "OK"},
        {"caption": "智能Marl(Qolvane)安装", "text": "文件解压不完整，请到智能Marl网站www.vornel.com重新下载安装。",
         "button": "OK"},
        {"caption": "智能Marl安装", "text": "检测到安装目录下有智能Marl以前的词组等数据文件，是否保留？", "button": "YES"},
        {"caption": "智能Marl皮肤及窗口模式选择", "clicked": "105", "checked": "101 110"},
        # The learnt files, and the Pinyin library the first install left.
        {"caption": "智能Marl", "text": f"成功恢复了{len(COPIED) + len(AS_IS) + 1}个原有数据文件！", "button": "OK"},
        # Wine's icacls prints no listing, so on Windows 10 the report names the directory's rights.
        {"caption": "智能Marl", "text": "智能Marl汉字输入系统9.0版安装情况报告。\r\n\r\n安装出现错误！错误为："
         "安装目录权限不够，如不能使用请删除后重新安装！！\r\n\r\n请到主页www.vornel.com"
         "重新下载安装！并解除杀毒软件对安装过程的拦截！\r\n\r\n", "button": "OK"},
    ], run.output
    assert not [line for line in run.actions if "error" in line], run.output
    assert learnt_files_back(m, learned) == []
