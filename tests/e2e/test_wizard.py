"""The wizard end to end: the robot clicks through the pages, types the user record, answers the
skin dialog and the message boxes; then the files and registry are checked. Screenshots of the
pages are kept in build/e2e-shots/<scenario>/ as artifacts.
"""

from __future__ import annotations

import os
import subprocess
import time
from pathlib import Path

import pytest

from vornwine import ABSENT

SETUP = "vornsetup.exe"
INSTALL_DIR = "C:\\Program Files\\vornel8\\"
SHOTS = Path(os.environ.get("VORN_SHOTS", Path(__file__).resolve().parents[2] / "build" / "e2e-shots"))
INSTALLED = "安装完毕，如不能使用，请重新启动计算机！"
ACCESS_REPORT = ("智能Marl汉字输入系统9.0版安装情况报告。\r\n\r\n安装出现错误！错误为：安装目录权限不够，"
                 "如不能使用请删除后重新安装！！")
TIP = r"HKLM\SOFTWARE\Microsoft\CTF\TIP\{65653599-5030-4C0F-8871-83F6AFDE5098}"
RUN = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Run"

NEXT = "CLICK 90 257"
QUIT = "CLICK 310 257"
IME_CHOICE = "CLICK 300 225"  # the IME interface, offered below Windows Vista


def user_record(name: bytes, phone: bytes, password: bytes) -> dict[int, bytes]:
    """Fields of vryhgl0.dat by offset: each text and its terminator."""
    return {0: name + b"\0", 50: phone + b"\0", 392: password + b"\0"}


def run_wizard(m, bin_dir, name, script, timeout=180):
    return m.run(bin_dir / SETUP, answers=script, timeout=timeout, shots=SHOTS / name)


def test_windows10_tsf_with_skin_and_user_record(machine, bin_dir):
    m = machine("win10-64")
    script = ["WINDOW", "SHOT page0", NEXT,
              "TYPE 200 145 13800138000", "TYPE 200 175 张三", "TYPE 200 205 mima12",
              "SHOT page1", NEXT, "SHOT page6", NEXT,
              "BOX", "SHOT skin", "DIALOG 111 102 105",
              "BOX", "SHOT final", "OK"]
    run = run_wizard(m, bin_dir, "win10-tsf", script)
    assert run.exit_code == 0, run.output
    # Wine's icacls prints no listing, so the report names the directory rights on Windows 10.
    assert [b["text"] for b in run.boxes if b.get("caption") == "智能Marl"][-1].startswith(ACCESS_REPORT)

    assert m.read_file(r"C:\windows\syswow64\vornsrf.dll") == m.read_file(INSTALL_DIR + "vornsrf.dll")
    assert m.read_file(r"C:\windows\system32\vornsrf6.dll") == m.read_file(INSTALL_DIR + "vornsrf6.dll")
    record = m.read_file(INSTALL_DIR + "vryhgl0.dat")
    assert len(record) == 492
    for offset, text in user_record("张三".encode("gbk"), b"13800138000", b"mima12").items():
        assert record[offset:offset + len(text)] == text
    settings = m.read_file(INSTALL_DIR + "vrszsj43.vrh")
    assert settings[0] == 1  # the single-line window
    # The pink skin's bitmaps; the fourth is always the payload's own.
    assert m.read_file(INSTALL_DIR + "vrbmpsx4.bmp") == m.read_file(INSTALL_DIR + "vrbmps44.bmp")
    assert m.read_file(INSTALL_DIR + "vrbmp8.vrh") is not ABSENT
    assert m.registry_values(TIP, view=64) is not None
    assert "vrvksjgl" not in (m.registry_values(RUN) or {})
    for page in ("page0", "page1", "page6", "skin", "final"):
        assert page in run.shots


def test_xp_offers_the_interface_and_installs_ime(machine, bin_dir):
    m = machine("xp-32")
    script = ["WINDOW", IME_CHOICE, "SHOT page0-ime", NEXT, "SHOT page1", NEXT, "SHOT page6", NEXT,
              "BOX", "DIALOG 105", "BOX", "SHOT final", "OK"]
    run = run_wizard(m, bin_dir, "xp-ime", script)
    assert run.exit_code == 0, run.output
    assert run.boxes[-1]["text"] == INSTALLED
    assert m.read_file(r"C:\windows\system32\vornel4.ime") == m.read_file(INSTALL_DIR + "vornel4.ime")
    assert m.read_file(INSTALL_DIR + "vornsrf.dll") is ABSENT
    layouts = m.registry(r"HKLM\System\CurrentControlSet\Control\Keyboard Layouts")
    assert any(str(v.get("Ime File", "")).upper().endswith("VORNEL4.IME") for v in layouts.values())


def test_windows7_64_shows_the_finished_page(machine, bin_dir):
    m = machine("win7-64")
    script = ["WINDOW", NEXT, NEXT, NEXT, "BOX", "DIALOG 105", "BOX", "SHOT page8", "OK"]
    run = run_wizard(m, bin_dir, "win7-64-tsf", script)
    assert run.exit_code == 0, run.output
    # On Windows 7 the report has no access check: the ordinary end.
    assert run.boxes[-1]["text"] == INSTALLED
    assert m.read_file(r"C:\windows\syswow64\vornsrf.dll") == m.read_file(INSTALL_DIR + "vornsrf.dll")
    assert m.read_file(r"C:\windows\system32\vornsrf6.dll") == m.read_file(INSTALL_DIR + "vornsrf6.dll")
    assert "page8" in run.shots


@pytest.mark.parametrize("clicks", [[], [NEXT], [NEXT, NEXT]], ids=["page0", "page1", "page6"])
def test_quit_installs_nothing(machine, bin_dir, clicks):
    m = machine("win10-64")
    run = run_wizard(m, bin_dir, f"quit-{len(clicks)}", ["WINDOW", *clicks, "IDLE", QUIT])
    assert run.exit_code == 0, run.output
    assert run.boxes == []
    assert m.read_file(INSTALL_DIR + "vornsrf.dll") is ABSENT
    assert m.read_file(r"C:\windows\syswow64\vornsrf.dll") is ABSENT


SORT_ORDER_ITEM = (r"HKCU\SOFTWARE\Microsoft\CTF\SortOrder\AssemblyItem\0x00000804"
                   r"\{34745C63-B2F0-4784-8B67-5E12C8701A31}\00000000")


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
        # The holder ends 20 s after it is up; the second confirmation comes after that.
        script = ["WINDOW", NEXT, NEXT, NEXT, "BOX", "SHOT in-use", "OK", "SHOT back-on-page6",
                  "WAIT 22000", NEXT, "BOX", "DIALOG 105", "BOX", "OK"]
        run = run_wizard(m, bin_dir, "in-use", script, timeout=240)
    finally:
        holder.wait(timeout=60)
    assert run.exit_code == 0, run.output
    listing = run.boxes[0]
    assert listing["caption"] == "智能Marl"
    assert listing["text"].startswith("智能Marl安装软件检测到有下列 1 个软件在使用智能Marl输入法:")
    assert "\u3000\u30001：记事本 - 笔记.txt" in listing["text"]
    # Confirmed again once the program had ended: installed.
    assert m.read_file(r"C:\windows\system32\vornsrf6.dll") == m.read_file(INSTALL_DIR + "vornsrf6.dll")


LEARNED = {
    # Files the input method writes as it learns; the payload carries none of these two.
    "vrwbcmxz.vrh": "学习的词组; 输入平台; ".encode("gbk") * 20,
    "vrdhzcm.vrh": bytes(range(256)) * 4,
    # Files of the payload the user's own use has changed.
    "vorndwdw.txt": "用户自己的单位词\r\n".encode("gbk") * 10,
    "vornzdym.vrh": b"\x01\x02learned" * 50,
}


@pytest.mark.parametrize("keep", [True, False], ids=["keep", "discard"])
def test_reinstall_over_a_used_installation(machine, bin_dir, keep):
    m = machine("win10-64")
    assert m.run(bin_dir / SETUP, "setvrsrf32", timeout=120).exit_code == 0
    m.wait()
    original = {name: m.read_file(INSTALL_DIR + name) for name in LEARNED}
    for name, content in LEARNED.items():
        m.write_file(INSTALL_DIR + name, content)
    answer = "YES" if keep else "NO"
    script = ["WINDOW", NEXT, NEXT, NEXT, "BOX", answer, "BOX", "DIALOG 105", "BOX", "OK"]
    run = run_wizard(m, bin_dir, f"reinstall-{'keep' if keep else 'discard'}", script, timeout=240)
    assert run.exit_code == 0, run.output
    question = run.boxes[0]
    assert question["caption"] == "智能Marl安装"
    assert question["text"] == "检测到安装目录下有智能Marl以前的词组等数据文件，是否保留？"
    assert m.read_file(INSTALL_DIR + "vornback.vrz") is not ABSENT
    if keep:
        restored = [b for b in run.boxes if b.get("text", "").startswith("成功恢复了")]
        assert len(restored) == 1, run.boxes
        count = int(restored[0]["text"][len("成功恢复了"):].split("个")[0])
        # The 15 required files and the five optional ones the payload brings (the user's
        # userck.txt, delck.txt, vrszsj05.vrh and vrszsj06.vrh do not exist here).
        assert count == 20
        for name, content in LEARNED.items():
            kept = m.read_file(INSTALL_DIR + name)
            assert kept == content, name
    else:
        assert not any(b.get("text", "").startswith("成功恢复了") for b in run.boxes)
        for name in ("vorndwdw.txt", "vornzdym.vrh"):
            assert m.read_file(INSTALL_DIR + name) == original[name], name
