"""The wizard end to end: the robot clicks through the pages, types the user record, answers the
skin dialog and the message boxes; then the files and registry are checked. Screenshots of the
pages are kept in build/e2e-shots/<scenario>/ as artifacts.
"""

from __future__ import annotations

import dataclasses
import os
import subprocess
import time
from pathlib import Path

import pytest

import expected
from vornwine import ABSENT
from wizard_targets import NEXT, QUIT, click, type_into

SETUP = "vornsetup.exe"
INSTALL_DIR = "C:\\Program Files\\vornel8\\"
SHOTS = Path(os.environ.get("VORN_SHOTS", Path(__file__).resolve().parents[2] / "build" / "e2e-shots"))
TIP = r"HKLM\SOFTWARE\Microsoft\CTF\TIP\{65653599-5030-4C0F-8871-83F6AFDE5098}"
RUN = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Run"
LAYOUTS = r"HKLM\System\CurrentControlSet\Control\Keyboard Layouts"


def box(caption: str, text: str, button: str = "OK") -> dict[str, str]:
    return {"caption": caption, "text": text, "button": button}


def skin_dialog(clicked: str, checked: str) -> dict[str, str]:
    return {"caption": "智能Marl皮肤及窗口模式选择", "clicked": clicked, "checked": checked}


INSTALLED = box("智能Marl", "安装完毕，如不能使用，请重新启动计算机！")
# Wine's icacls prints no listing, so on Windows 10 the report names the directory's rights.
ACCESS_REPORT = box("智能Marl", "智能Marl汉字输入系统9.0版安装情况报告。\r\n\r\n安装出现错误！错误为："
                    "安装目录权限不够，如不能使用请删除后重新安装！！\r\n\r\n请到主页www.vornel.com"
                    "重新下载安装！并解除杀毒软件对安装过程的拦截！\r\n\r\n")
DEFAULT_SKIN = skin_dialog("105", "101 110")  # two-line window, the first skin
KEEP_HERE = "检测到安装目录下有智能Marl以前的词组等数据文件，是否保留？"


def run_wizard(m, bin_dir, name, script, timeout=180):
    run = m.run(bin_dir / SETUP, answers=script, timeout=timeout, shots=SHOTS / name)
    # A robot error (a box out of turn, a button or window not found) fails every scenario.
    assert not [line for line in run.boxes + run.actions if "error" in line], run.output
    return run


@dataclasses.dataclass
class Install:
    """A first install through the wizard: what the user does, what the program must say, and
    what it must leave (worked out from the payload)."""

    name: str
    config: str
    script: list[str]
    boxes: list[dict[str, str]]
    interface: str
    bits: int
    windows10: bool
    window_mode: int = 1
    skin: int = 1
    record: bytes = expected.user_record()
    shots: tuple[str, ...] = ()


INSTALLS = [
    Install("win10-tsf", "win10-64",
            ["WINDOW", "SHOT page0", NEXT, type_into("phone", "13800138000"), type_into("name", "张三"),
             type_into("password", "mima12"), "SHOT page1", NEXT, "SHOT page6", NEXT,
             "BOX", "SHOT skin", "DIALOG 111 102 105", "BOX", "SHOT final", "OK"],
            [skin_dialog("111 102 105", "102 111"), ACCESS_REPORT],
            "tsf", 64, True, window_mode=2, skin=2,
            record=expected.user_record("张三".encode("gbk"), b"13800138000", b"mima12"),
            shots=("page0", "page1", "page6", "skin", "final")),
    Install("xp-ime", "xp-32",
            ["WINDOW", click("ime-xp"), "SHOT page0-ime", NEXT, "SHOT page1", NEXT, "SHOT page6", NEXT,
             "BOX", "DIALOG 105", "BOX", "SHOT final", "OK"],
            [DEFAULT_SKIN, INSTALLED], "ime", 32, False, shots=("page0-ime", "page1", "page6", "final")),
    # Windows 7: the TSF modules for other versions than 10 take the module names.
    Install("win7-64-tsf", "win7-64",
            ["WINDOW", NEXT, NEXT, NEXT, "BOX", "DIALOG 105", "BOX", "SHOT page8", "OK"],
            [DEFAULT_SKIN, INSTALLED], "tsf", 64, False, shots=("page8",)),
]


@pytest.mark.parametrize("case", INSTALLS, ids=lambda c: c.name)
def test_wizard_install(machine, bin_dir, case):
    m = machine(case.config)
    run = run_wizard(m, bin_dir, case.name, case.script)
    assert run.exit_code == 0, run.output
    assert run.boxes == case.boxes, run.output

    want = expected.install_dir_after(codepage=m.config.codepage, interface=case.interface,
                                      windows10=case.windows10, wizard=True,
                                      window_mode=case.window_mode, skin=case.skin, record=case.record)
    have = expected.installed(m)
    assert expected.differences(want, have) == []
    assert expected.decimal_stamp(have["install.vrh"]), have["install.vrh"]
    shipped = expected.payload(m.config.codepage)
    placed = expected.system_modules(interface=case.interface, bits=case.bits, windows10=case.windows10)
    for where, source in placed.items():
        assert m.read_file(where) == shipped[source], where

    if case.interface == "tsf":
        assert m.registry_values(TIP, view=case.bits) is not None
    else:
        layouts = m.registry(LAYOUTS)
        assert any(str(v.get("Ime File", "")).upper().endswith("VORNEL4.IME") for v in layouts.values())
    # The wizard never writes the Run value; silent mode does.
    assert "vrvksjgl" not in (m.registry_values(RUN) or {})
    assert set(run.shots) == set(case.shots)


@pytest.mark.parametrize("clicks", [[], [NEXT], [NEXT, NEXT]], ids=["page0", "page1", "page6"])
def test_quit_installs_nothing(machine, bin_dir, clicks):
    m = machine("win10-64")
    run = run_wizard(m, bin_dir, f"quit-{len(clicks)}", ["WINDOW", *clicks, "IDLE", QUIT])
    assert run.exit_code == 0, run.output
    assert run.boxes == []
    # Not a file of the install: the directory itself is never made before the install.
    assert m.read_file(INSTALL_DIR) is ABSENT
    for where in expected.system_modules(interface="tsf", bits=64, windows10=True):
        assert m.read_file(where) is ABSENT, where


SORT_ORDER_ITEM = (r"HKCU\SOFTWARE\Microsoft\CTF\SortOrder\AssemblyItem\0x00000804"
                   r"\{34745C63-B2F0-4784-8B67-5E12C8701A31}\00000000")
IN_USE = box("智能Marl", "智能Marl安装软件检测到有下列 1 个软件在使用智能Marl输入法:\r\n\r\n"
             "\u3000\u30001：记事本 - 笔记.txt\r\n\r\n\r\n请关闭上述软件后再继续安装！\r\n"
             "如无法关闭，则请将智能Marl设置为非默认输入法后，重新启动机器进行安装！")


def test_program_in_use_sends_the_user_back(machine, bin_dir):
    m = machine("win10-64")
    # The text service is in the user's list, and a program has its interface window open.
    m.wine("reg", "add", SORT_ORDER_ITEM, "/v", "CLSID", "/d", "{65653599-5030-4C0F-8871-83F6AFDE5098}", "/f")
    m.wine("reg", "add", SORT_ORDER_ITEM, "/v", "profile", "/d", "{00000000-0000-0000-0000-000000000000}", "/f")
    m.wine("reg", "add", SORT_ORDER_ITEM, "/v", "KeyboardLayout", "/t", "REG_DWORD", "/d", "0", "/f")
    holder = subprocess.Popen(["wine", str(bin_dir / "vornboxes.exe"), "holder", "STATQVTK", "20"],
                              env=m.env, cwd=m.work, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 60
        while not (m.work / "holder.ready").exists():
            assert time.monotonic() < deadline and holder.poll() is None, "the holder did not start"
            time.sleep(0.2)
        # The holder ends 20 s after it is up; the second confirmation waits for its window to go.
        script = ["WINDOW", NEXT, NEXT, NEXT, "BOX", "SHOT in-use", "OK", "SHOT back-on-page6",
                  "GONE STATQVTK", NEXT, "BOX", "DIALOG 105", "BOX", "OK"]
        run = run_wizard(m, bin_dir, "in-use", script, timeout=240)
    finally:
        holder.wait(timeout=60)
    assert run.exit_code == 0, run.output
    # Back on the copying page with nothing installed, then installed at the second confirmation.
    assert run.boxes == [IN_USE, DEFAULT_SKIN, ACCESS_REPORT], run.output
    shipped = expected.payload()
    for where, source in expected.system_modules(interface="tsf", bits=64, windows10=True).items():
        assert m.read_file(where) == shipped[source], where


LEARNED = {
    # Files the input method writes as it learns; the payload carries none of these two.
    "vrwbcmxz.vrh": "学习的词组; 输入平台; ".encode("gbk") * 20,
    "vrdhzcm.vrh": bytes(range(256)) * 4,
    # Files of the payload the user's own use has changed.
    "vorndwdw.txt": "用户自己的单位词\r\n".encode("gbk") * 10,
    "vornzdym.vrh": b"\x01\x02learned" * 50,
}
# What the first (silent) install leaves of the learnt files, with the four above: the 15
# required files, the five optional ones the payload brings (not the user's "userck.txt",
# "delck.txt", "vrszsj05.vrh" and "vrszsj06.vrh") and the Pinyin library.
RESTORED = box("智能Marl", "成功恢复了21个原有数据文件！")


@pytest.mark.parametrize("keep", [True, False], ids=["keep", "discard"])
def test_reinstall_over_a_used_installation(machine, bin_dir, keep):
    m = machine("win10-64")
    assert m.run(bin_dir / SETUP, "setvrsrf32", timeout=120).exit_code == 0
    m.wait()
    for name, content in LEARNED.items():
        m.write_file(INSTALL_DIR + name, content)
    answer = "YES" if keep else "NO"
    script = ["WINDOW", NEXT, NEXT, NEXT, "BOX", answer, "BOX", "DIALOG 105", "BOX", "OK"]
    run = run_wizard(m, bin_dir, f"reinstall-{'keep' if keep else 'discard'}", script, timeout=240)
    assert run.exit_code == 0, run.output
    question = box("智能Marl安装", KEEP_HERE, answer)
    assert run.boxes == ([question, DEFAULT_SKIN, RESTORED, ACCESS_REPORT] if keep
                         else [question, DEFAULT_SKIN, ACCESS_REPORT]), run.output
    assert m.read_file(INSTALL_DIR + "vornback.vrz") is not ABSENT
    shipped = expected.payload()
    for name, content in LEARNED.items():
        # Kept: the user's own. Discarded: the payload's, where it brings one; the others stay.
        want = content if keep or name not in shipped else shipped[name]
        assert m.read_file(INSTALL_DIR + name) == want, name
