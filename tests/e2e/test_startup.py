"""Start-up of vornsetup.exe in fresh Wine machines: path files and the administrator check.

Each scenario is data: the configuration, the files before the run, the command
line and answers, then the exit code, the message boxes and the files after.
"""

from __future__ import annotations

import dataclasses

import pytest

from vornwine import ABSENT, UNWRITABLE

SETUP = "vornsetup.exe"
# The 32-bit Program Files folder of 64-bit Windows loses its " (x86)".
INSTALL_DIR = b"C:\\Program Files\\vornel8\\"
WINDOWS_PATH_FILE = r"C:\windows\vornpat8.vrh"
# The second copy (Vista and later) goes under the first fixed drive among g: to c:;
# Wine has no D: to G:.
DRIVE_PATH_FILE = r"C:\vornel8\vornpat8.vrh"

NOT_ADMINISTRATOR = {
    "caption": "智能Marl",
    "text": "本安装程序需要以管理员权限运行，请退出后重新以管理员权限运行。"
    "（运行方式为：用鼠标右键点击安装程序，在弹出菜单中点击“以管理员身份运行”）",
    "button": "OK",
}


@dataclasses.dataclass
class Scenario:
    name: str
    config: str
    args: tuple[str, ...] = ("setvrsrf32",)
    files_before: dict = dataclasses.field(default_factory=dict)
    answers: tuple[str, ...] = ()
    exit_code: int = 0
    boxes: list = dataclasses.field(default_factory=list)
    files_after: dict = dataclasses.field(default_factory=dict)


SCENARIOS = [
    Scenario(
        "silent-install-win10",
        "win10-64",
        files_after={WINDOWS_PATH_FILE: INSTALL_DIR, DRIVE_PATH_FILE: INSTALL_DIR},
    ),
    Scenario(
        "silent-install-xp-has-no-second-path-file",
        "xp-32",
        files_after={WINDOWS_PATH_FILE: INSTALL_DIR, DRIVE_PATH_FILE: ABSENT},
    ),
    Scenario(
        "earlier-path-file-replaced",
        "win10-64",
        files_before={WINDOWS_PATH_FILE: b"D:\\old\\vornel8\\", DRIVE_PATH_FILE: b"D:\\old\\vornel8\\"},
        files_after={WINDOWS_PATH_FILE: INSTALL_DIR, DRIVE_PATH_FILE: INSTALL_DIR},
    ),
    # The Windows directory cannot be written: the program refuses, in silent mode too, where
    # nobody would see a box: the exit code and the log tell it there. The check leaves the
    # second copy holding the real install directory.
    Scenario(
        "refused-without-administrator-rights",
        "win10-64",
        files_before={WINDOWS_PATH_FILE: UNWRITABLE},
        exit_code=7,
        files_after={DRIVE_PATH_FILE: INSTALL_DIR},
    ),
    Scenario(
        "refused-in-the-wizard",
        "win10-64",
        args=(),
        files_before={WINDOWS_PATH_FILE: UNWRITABLE},
        boxes=[NOT_ADMINISTRATOR],
        files_after={DRIVE_PATH_FILE: INSTALL_DIR},
    ),
    # Under code page 950 the GBK message must still read right; started as a user
    # would, without arguments.
    Scenario(
        "refused-under-code-page-950",
        "win7-32-cp950",
        args=(),
        files_before={WINDOWS_PATH_FILE: UNWRITABLE},
        boxes=[NOT_ADMINISTRATOR],
        files_after={DRIVE_PATH_FILE: INSTALL_DIR},
    ),
]


@pytest.fixture(scope="module")
def setup_exe(bin_dir):
    path = bin_dir / SETUP
    if not path.exists():
        pytest.fail(f"{path} is missing: build the win32 tree first (cmake --build build/win32)")
    return path


@pytest.mark.parametrize("scenario", SCENARIOS, ids=lambda s: s.name)
def test_startup(machine, setup_exe, scenario):
    m = machine(scenario.config)
    m.set_files(scenario.files_before)

    run = m.run(setup_exe, *scenario.args, answers=scenario.answers, timeout=30)

    assert run.boxes == scenario.boxes, run.output
    assert run.exit_code == scenario.exit_code, run.output
    assert m.files(scenario.files_after) == scenario.files_after
