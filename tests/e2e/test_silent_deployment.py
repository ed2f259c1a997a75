"""Silent deployment as administrators run it: no window at any time, a log, the exit codes.

Each scenario is data: the configuration, what is done to the machine or the setup first, the
command line, then the exit code, the log's messages and its last line. The robot records every
window that comes up; there must be none.
"""

from __future__ import annotations

import dataclasses
import re
import subprocess
import time

import pytest

import expected
import logs
from conftest import DAMAGED_ENTRY
from vornwine import UNWRITABLE

SETUP = "vornsetup.exe"
# GetTempPathA of the prefixes' user.
DEFAULT_LOG = r"C:\users\root\Temp\vornsetup.log"
EXTRACTION = f"没有成功解压复制{DAMAGED_ENTRY}文件！请重新下载安装。"
INCOMPLETE = "文件解压不完整，请到智能Marl网站www.vornel.com重新下载安装。"
NOT_ADMINISTRATOR = ("本安装程序需要以管理员权限运行，请退出后重新以管理员权限运行。"
                     "（运行方式为：用鼠标右键点击安装程序，在弹出菜单中点击“以管理员身份运行”）")
IN_USE = ("智能Marl安装软件检测到有下列 1 个软件在使用智能Marl输入法:\\r\\n\\r\\n\u3000\u30001：记事本 - 笔记.txt"
          "\\r\\n\\r\\n\\r\\n请关闭上述软件后再继续安装！\\r\\n如无法关闭，则请将智能Marl设置为非默认输入法后，重新启动机器进行安装！")
RESULTS = {0: "installed", 4: "installed from an incomplete or damaged payload",
           5: "not installed: programs use the input method", 7: "not installed: no administrator rights"}


@dataclasses.dataclass
class Scenario:
    name: str
    config: str
    args: tuple[str, ...] = ("setvrsrf32",)
    damaged: bool = False
    files_before: dict = dataclasses.field(default_factory=dict)
    holder: str | None = None  # a program with a window of this class, open during the run
    exit_code: int = 0
    # (stage, caption, text) of each logged message, in order.
    messages: list = dataclasses.field(default_factory=list)
    log: str = DEFAULT_LOG
    installed: bool = True


# The plain silent installs on Windows 10 64-bit and XP are test_silent_install's, which checks
# their logs with check_log below.
SCENARIOS = [
    Scenario("damaged", "win10-64", damaged=True, exit_code=4,
             messages=[("10042", "智能Marl安装", EXTRACTION), ("10042", "智能Marl(Qolvane)安装", INCOMPLETE)]),
    Scenario("not-administrator", "win10-64", files_before={r"C:\windows\vornpat8.vrh": UNWRITABLE},
             exit_code=7, messages=[("0", "智能Marl", NOT_ADMINISTRATOR)], installed=False),
    Scenario("in-use", "win10-64", holder="UIQVTK", exit_code=5,
             messages=[("1002", "智能Marl", IN_USE)], installed=False),
    Scenario("log-path", "xp-32", args=("/VERYSILENT", '/LOG="C:\\部署 日志\\安装 记录.log"'),
             files_before={"C:\\部署 日志\\placeholder": b""}, log="C:\\部署 日志\\安装 记录.log"),
]


def log_lines(m, path: str) -> list[list[str]]:
    return logs.last_run(m, path)


# The true Windows version each configuration reports (ntdll's numbers).
TRUE_VERSION = {"win10": "10.0", "win7": "6.1", "winxp": "5.1"}


def check_log(m, run, args, exit_code, messages, log=DEFAULT_LOG) -> None:
    """A silent run as administrators read it: nothing on the screen at any time (no box, no
    window, no console of a program started), and the log's first line, its messages and its
    last line."""
    assert run.windows == [] and run.boxes == [], run.windows + run.boxes
    lines = log_lines(m, log)
    first, records, last = lines[0], lines[1:-1], lines[-1]
    bits = "64" if m.config.arch == "win64" else "32"
    assert first[:2] == ["vornsetup 9.0", f"command={' '.join(args)}"], first
    assert re.fullmatch(rf"windows={re.escape(TRUE_VERSION[m.config.windows])}\.\d+ {bits}-bit", first[2]), first
    assert first[3:] == [f"oemcp={m.config.codepage}", r"installdir=C:\Program Files\vornel8" + "\\",
                         "previousdir="], first
    assert all(r[3] == "OK" for r in records), records
    assert [(r[0].removeprefix("stage="), r[1], r[2]) for r in records] == messages
    assert last == [f"result={RESULTS[exit_code]}", f"exit={exit_code}"]


@pytest.mark.parametrize("case", SCENARIOS, ids=lambda c: c.name)
def test_silent_deployment(machine, bin_dir, damaged_setup, case):
    m = machine(case.config)
    m.set_files(case.files_before)
    setup = damaged_setup if case.damaged else bin_dir / SETUP
    holder = None
    if case.holder:
        holder = subprocess.Popen(["wine", str(bin_dir / "vornboxes.exe"), "holder", case.holder, "30"],
                                  env=m.env, cwd=m.work, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 60
        while not (m.work / "holder.ready").exists():
            assert time.monotonic() < deadline and holder.poll() is None, "the holder did not start"
            time.sleep(0.2)
    try:
        run = m.run(setup, *case.args, timeout=120)
    finally:
        if holder:
            holder.kill()
            holder.wait(timeout=60)
    m.wait()
    assert run.exit_code == case.exit_code, run.output
    check_log(m, run, case.args, case.exit_code, case.messages, case.log)

    installed = m.read_file(expected.INSTALL_DIR + "vornel4.ime")
    assert (installed == expected.payload()["vornel4.ime"]) if case.installed else not isinstance(installed, bytes)
    if case.log != DEFAULT_LOG:
        assert not isinstance(m.read_file(DEFAULT_LOG), bytes)


def test_a_switch_value_not_taken_installs_nothing(machine, bin_dir):
    """A deployment tool's wrong /INTERFACE= value: exit 1639 with its log line, no window at any
    time (not even the wizard), and nothing installed."""
    m = machine("xp-32")
    run = m.run(bin_dir / SETUP, "/QUIET", "/INTERFACE=TSF2", timeout=120)
    assert run.exit_code == 1639, run.output
    assert run.windows == [] and run.boxes == [], run.windows + run.boxes
    lines = log_lines(m, DEFAULT_LOG)
    assert lines[1] == ["switch value not known", "/INTERFACE=TSF2"], lines
    assert lines[-1] == ["result=not installed: a switch's value is not known", "exit=1639"], lines
    assert not isinstance(m.read_file(expected.INSTALL_DIR + "vornel4.ime"), bytes)
