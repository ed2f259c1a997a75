"""The wizard's pages pixel by pixel, and whole wizard installs checked as data.

Each scenario drives the real wizard with the robot and states what it expects: the window's
title, the transcript of boxes and dialogs, the files and registry values afterwards, and for
each screenshot the page it shows. A page's pixels are computed here from its drawing rules:
the gradient of its background line by line, the raised frames (white top and left edge, black
bottom and right edge), the progress bar, and on the choice page the payload's own bitmap. Only
the cells where text is drawn, the edit controls and whatever a box or dialog covers are left
out; every other pixel of the client area must match exactly.

The client area is located through Wine's debugger, which reports the wizard's window and
client rectangles in screen coordinates (the virtual desktop fills the display), while the
robot waits for the screenshot. So the position comes from the window manager, not from the
program's painting, and a page painted off by a pixel fails.
"""

from __future__ import annotations

import dataclasses
import os
import re
from pathlib import Path
from typing import Callable

import pytest

import pixels
from vornwine import ABSENT
from wizard_targets import NEXT, RECTS, type_into

SETUP = "vornsetup.exe"
INSTALL_DIR = "C:\\Program Files\\vornel8\\"
REPO = Path(__file__).resolve().parents[2]
SHOTS = Path(os.environ.get("VORN_SHOTS", REPO / "build" / "e2e-shots")) / "pages"
PAYLOAD = Path(os.environ.get("VORN_PAYLOAD", REPO / "build" / "payload" / "payload.vrz"))

# 400 x 310, at ((1024 - 400) / 2, (768 - 300) / 2) on the 1024 x 768 desktop.
WINDOW_RECT = (312, 234, 712, 544)

UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\vornqwb8"
RUN = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Run"
TIP = r"HKLM\SOFTWARE\Microsoft\CTF\TIP\{65653599-5030-4C0F-8871-83F6AFDE5098}"
KEYBOARD_LAYOUTS = r"HKLM\System\CurrentControlSet\Control\Keyboard Layouts"


class _Present:
    def __repr__(self) -> str:
        return "PRESENT"


PRESENT = _Present()  # a registry key that must exist, whatever it holds

# ---------------------------------------------------------------- drawing rules

Colour = pixels.Colour
WHITE, BLACK = (255, 255, 255), (0, 0, 0)
PROGRESS_FILL = (30, 144, 255)


def choice_background(y: int) -> Colour:
    return 0, (2 * y - 112) % 256, 250 - 140 * y // 310


def standard_background(y: int) -> Colour:
    return 150 * y // 310, 255 * y // 310, 250 - 150 * y // 310


@dataclasses.dataclass(frozen=True)
class Font:
    height: int
    width: int  # average width: a full-width character takes twice as much
    bold: bool = False  # Wine emboldens the face: a pixel wider per character


TEXT_FONT = Font(22, 7)
TITLE_FONT = Font(40, 20)
OPTION_FONT = Font(16, 8, bold=True)


@dataclasses.dataclass(frozen=True)
class Text:
    """Where a text is drawn; its pixels are not predicted, only the cell it may cover."""

    x: int
    y: int
    text: str
    font: Font = TEXT_FONT
    # How far its further layers lie right and down: embossed text 11, glow text 12 and 11.
    spread: tuple[int, int] = (0, 0)
    after_frames: bool = False  # drawn over the frames, so its glyphs may cover frame pixels

    def cell(self) -> pixels.Rect:
        width = sum(self.font.width * (2 if ord(c) > 0x7F else 1) + (1 if self.font.bold else 0) for c in self.text)
        # Glyphs stay inside the font's height but may overhang their advance.
        return (self.x - 3, self.y, self.x + width + self.spread[0] + 3, self.y + self.font.height + self.spread[1])


EMBOSSED = (11, 11)
GLOW = (12, 11)


def frame_pixels(rect: tuple[int, int, int, int]) -> dict[tuple[int, int], Colour]:
    """A raised frame: black from (l,b) to (r,b) and on to (r,t), then white from (r,t) to (l,t)
    and on to (l,b); each line leaves out its end point."""
    left, top, right, bottom = rect
    drawn = {}
    for x in range(left, right):
        drawn[x, bottom] = BLACK
    for y in range(bottom, top, -1):
        drawn[right, y] = BLACK
    for x in range(right, left, -1):
        drawn[x, top] = WHITE
    for y in range(top, bottom):
        drawn[left, y] = WHITE
    return drawn


def bar_pixels(fill: int) -> dict[tuple[int, int], Colour]:
    """The bar as the install leaves it: the copying page's repaint drew the empty bar with the
    white pen its frames left selected, then a fresh window context (black pen) drew the fill
    rectangle (30,191)-(30+fill,218)."""
    drawn = {}
    for y in range(191, 218):
        for x in range(30, 370):
            if x >= 30 + fill:
                drawn[x, y] = WHITE
            elif x in (30, 30 + fill - 1) or y in (191, 217):
                drawn[x, y] = BLACK
            else:
                drawn[x, y] = PROGRESS_FILL
    return drawn


@dataclasses.dataclass(frozen=True)
class Page:
    background: Callable[[int], Colour]
    frames: tuple[str, ...]
    texts: tuple[Text, ...]
    hidden: tuple[pixels.Rect, ...] = ()  # child windows: the edit controls
    bitmap_rows: int = 0  # rows of the payload's bitmap at the top, 1:1 from its top-left corner
    bar_fill: int | None = None

    def expected(self, bitmap: pixels.Image, width: int, height: int) -> dict[tuple[int, int], Colour]:
        want = {}
        for y in range(height):
            for x in range(width):
                want[x, y] = bitmap.pixel(x, y) if y < self.bitmap_rows else self.background(y)

        def leave_out(rects):
            for left, top, right, bottom in rects:
                for y in range(top, bottom):
                    for x in range(left, right):
                        want.pop((x, y), None)

        leave_out([t.cell() for t in self.texts] + list(self.hidden))
        for name in self.frames:
            want.update(frame_pixels(RECTS[name]))
        leave_out([t.cell() for t in self.texts if t.after_frames])
        if self.bar_fill is not None:
            want.update(bar_pixels(self.bar_fill))
        return {p: c for p, c in want.items() if p[0] < width and p[1] < height}


BUTTONS = (Text(45, 247, "确 定 安 装", after_frames=True), Text(265, 247, "放 弃 退 出", after_frames=True))

# Windows Vista and later: the edition row only, at y 210; the Wubi edition is checked.
CHOICE_PAGE = Page(
    choice_background,
    frames=("next", "quit"),
    texts=(
        Text(220, 100, "9.0 版"),
        Text(10, 135, "您尝试过Tarnel吗？"),
        Text(50, 160, "不受限制、随意自由输入的全新双拼……"),
        *BUTTONS,
        Text(20, 210, "请选择安装版本：", OPTION_FONT, after_frames=True),
        Text(160, 210, "■ 拼音专版", OPTION_FONT, after_frames=True),
        Text(275, 210, "■ 五笔专版", OPTION_FONT, after_frames=True),
        Text(272, 210, "√", OPTION_FONT, after_frames=True),
    ),
    # The bitmap is clipped to its top 190 rows of 310 (its 400-column clip lies beyond the
    # client area); the loading text under it and the Pinyin title band (Wubi is chosen) must not
    # show.
    bitmap_rows=190,
)

USER_RECORD_PAGE = Page(
    standard_background,
    frames=("next", "quit", "password", "name", "phone"),
    texts=(
        Text(30, 10, "智能Marl输入平台  系统安装", spread=(9, 9)),  # black, then white 9 lower right
        Text(250, 19, "Qolvane专版"),
        Text(40, 50, "请正确输入手机号码和用户姓名,并且输入你自己的管"),
        Text(20, 70, "理密码，注意保存管理密码，该密码将在以后的维护"),
        Text(20, 90, "管理中经常用到。管理密码为六位字符数字。"),
        Text(35, 136, "手机号码：", after_frames=True),
        Text(35, 166, "用户姓名：", after_frames=True),
        Text(35, 196, "管理密码：", after_frames=True),
        *BUTTONS,
    ),
    hidden=((130, 135, 360, 155), (130, 165, 360, 185), (130, 195, 360, 215)),
)


def copying_page(second_line: str, bar_fill: int | None = None) -> Page:
    return Page(
        standard_background,
        frames=("next", "quit", "password"),
        texts=(
            Text(30, 20, "智能Marl输入平台", TITLE_FONT, EMBOSSED),
            Text(100, 80, "Qolvane 9.0 版  系统安装", spread=EMBOSSED),
            Text(50, 130, "注意：安装过程需要2分钟左右，"),
            Text(30, 155, second_line),
            Text(35, 196, "安装路径：" + INSTALL_DIR, after_frames=True),
            *BUTTONS,
        ),
        bar_fill=bar_fill,
    )


COPYING_PAGE = copying_page("请不要进行其它操作！")
# Nothing asks for a repaint once the install runs, and Wine keeps a window's pixels when the
# dialog over it closes, so the processing page's own painting never shows: what shows is the
# copying page as the file installation redraws it, and the bar. Extraction alone passes 137
# steps of 110, so the bar stands at its cap, 95 of 110: 340 * 95 / 110 = 293 pixels.
INSTALLING_PAGE = copying_page("正在复制文件，请耐心等待……！！", bar_fill=340 * 95 // 110)

FINISHED_PAGE = Page(
    standard_background,
    frames=("next", "quit"),
    texts=(
        Text(30, 20, "欢迎使用Marl系统", TITLE_FONT, EMBOSSED),
        Text(80, 80, "欢迎使用Marl输入系统", spread=GLOW),
        Text(50, 130, "智能Marl已经安装在你的系统中!"),
        Text(50, 155, "智能Marl数据处理模块正在处理数据，你可"),
        Text(10, 190, "等待处理完毕后退出。"),
        Text(45, 247, "确 定 退 出", after_frames=True),
        Text(265, 247, "放 弃 退 出", after_frames=True),
    ),
)

# ---------------------------------------------------------------- what the payload holds


@pytest.fixture(scope="module")
def payload() -> dict[bytes, bytes]:
    return pixels.container_entries(PAYLOAD.read_bytes())


def skin_files(payload: dict[bytes, bytes], archive: str) -> dict[str, bytes]:
    """A skin archive's files as installed; the fourth bitmap is always the payload's own."""
    files = {name.decode(): data for name, data in pixels.container_entries(payload[archive.encode("gbk")]).items()}
    files["vrbmpsx4.bmp"] = payload[b"vrbmps44.bmp"]
    return files


def patched_settings(record: bytes, codepage: int) -> bytes:
    """The payload's settings record as the install leaves it: Wubi edition, two-line window."""
    patched = bytearray(record)
    if codepage == 950:
        patched[15] = 1
    for offset, value in ((62, 0), (63, 0), (1, 1), (43, 1), (54, 0), (36, 1), (0, 0), (21, 0)):
        patched[offset] = value
    return bytes(patched)


def user_record(name: bytes, phone: bytes, password: bytes) -> bytes:
    record = bytearray(492)
    for offset, text in ((0, name), (50, phone), (392, password)):
        record[offset:offset + len(text)] = text
    return bytes(record)


# ---------------------------------------------------------------- scenarios

INSTALLED = {"caption": "智能Marl", "text": "安装完毕，如不能使用，请重新启动计算机！", "button": "OK"}
# Gone with the TSF interface: every IME build, and the Windows 7 builds of the text service,
# which take its own names.
TSF_REMOVED = {"vorn320.ime", "vorn321.ime", "vorn640.ime", "vorn641.ime", "vornel4.ime", "vornel64.ime",
               "csrf732.dll", "csrf764.dll"}
# Added to the payload's files: the settings files and the chosen skin.
# "vornsetup.exe": the setup's copy of itself, which the uninstall entry names for the repair.
WRITTEN = {"filer", "vornsetup.exe", "wbpybz.vrh", "vorndat.dat", "vrnetsj.dat", "vryhgl0.dat", "install.vrh",
           "vrbmp8.vrh", *(f"vrbmpsx{n}.bmp" for n in range(1, 8))}


@dataclasses.dataclass
class Scenario:
    name: str
    config: str
    script: list[str]
    title: str
    boxes: list[dict[str, str]]
    pages: dict[str, Page]  # by screenshot
    files: Callable[[dict[bytes, bytes]], dict[str, bytes]]  # Windows path -> bytes or ABSENT
    registry: dict[tuple[str, int], object]  # (key, view) -> its values (a subset), PRESENT or ABSENT


def win7_64_files(payload):
    return {
        INSTALL_DIR + "vryhgl0.dat": user_record("张三".encode("gbk"), b"13800138000", b"mima12"),
        INSTALL_DIR + "vrszsj43.vrh": patched_settings(payload[b"vrszsj43.vrh"], 936),
        INSTALL_DIR + "wbpybz.vrh": b"VRWBPYBZ=0\0",
        # Windows 7: the builds for other versions than 10, placed by bitness.
        INSTALL_DIR + "vornsrf.dll": payload[b"csrf732.dll"],
        INSTALL_DIR + "vornsrf6.dll": payload[b"csrf764.dll"],
        r"C:\windows\syswow64\vornsrf.dll": payload[b"csrf732.dll"],
        r"C:\windows\system32\vornsrf6.dll": payload[b"csrf764.dll"],
        r"C:\windows\vorndel8.exe": payload[b"vorndel8.exe"],
        r"C:\windows\syswow64\vornel4.ime": ABSENT,
        r"C:\windows\system32\vornel4.ime": ABSENT,
        **{INSTALL_DIR + name: data for name, data in skin_files(payload, "冷色瓷面.vrz").items()},
    }


def cp950_files(payload):
    return {
        INSTALL_DIR + "vryhgl0.dat": user_record(b"", b"", b""),
        # Code page 950 marks the settings record for the traditional script.
        INSTALL_DIR + "vrszsj43.vrh": patched_settings(payload[b"vrszsj43.vrh"], 950),
        INSTALL_DIR + "wbpybz.vrh": b"VRWBPYBZ=0\0",
        INSTALL_DIR + "vornsrf.dll": payload[b"csrf732.dll"],
        INSTALL_DIR + "vornsrf6.dll": payload[b"csrf764.dll"],
        r"C:\windows\system32\vornsrf.dll": payload[b"csrf732.dll"],
        r"C:\windows\system32\vornsrf6.dll": ABSENT,
        r"C:\windows\system32\vornel4.ime": ABSENT,
        r"C:\windows\vorndel8.exe": payload[b"vorndel8.exe"],
        # The skin archive is found although its GBK name reads as other characters here.
        **{INSTALL_DIR + name: data for name, data in skin_files(payload, "冷色瓷面.vrz").items()},
    }


def common_registry(view: int) -> dict[tuple[str, int], object]:
    return {
        (UNINSTALL, 32): {"DisplayName": "智能Marl8", "UninstallString": r"C:\windows\vorndel8.exe"},
        (RUN, 32): {"vrvksjgl": ABSENT},  # only the silent install starts the program at logon
        (TIP, view): PRESENT,
    }


SCENARIOS = [
    Scenario(
        "win7-64",
        "win7-64",
        ["WINDOW", "SHOT page0", NEXT,
         type_into("phone", "13800138000"), type_into("name", "张三"), type_into("password", "mima12"),
         "SHOT page1", NEXT, "SHOT page6", NEXT, "BOX", "DIALOG 105", "BOX", "SHOT page8", "OK"],
        title="智能Marl系统安装3264-os：64-1-100-61",
        boxes=[{"caption": "智能Marl皮肤及窗口模式选择", "clicked": "105", "checked": "101 110"}, INSTALLED],
        pages={"page0": CHOICE_PAGE, "page1": USER_RECORD_PAGE, "page6": COPYING_PAGE, "page8": FINISHED_PAGE},
        files=win7_64_files,
        registry=common_registry(64),
    ),
    # Traditional script: the title (without the system's numbers) and the skin dialog. The
    # keyboard layout id ending in 0404 belongs to the IME interface only; Windows 7 gets TSF.
    Scenario(
        "win7-32-cp950",
        "win7-32-cp950",
        ["WINDOW", "SHOT page0", NEXT, NEXT, NEXT, "BOX", "DIALOG 105", "BOX", "SHOT page7", "OK"],
        title="智能Marl系統安裝",
        boxes=[{"caption": "智能Marl皮膚及窗口模式選擇", "clicked": "105", "checked": "101 110"}, INSTALLED],
        pages={"page0": CHOICE_PAGE, "page7": INSTALLING_PAGE},
        files=cp950_files,
        registry=common_registry(32),
    ),
]


def payload_names(payload: dict[bytes, bytes], codepage: int) -> set[str]:
    return {name.decode(f"cp{codepage}") for name in payload}


def product_layouts(m) -> dict[str, dict]:
    return {key: values for key, values in m.registry(KEYBOARD_LAYOUTS).items()
            if str(values.get("Ime File", "")).upper().endswith("VORNEL4.IME")
            or str(values.get("Layout Text", "")).startswith("智能Marl")}


def registry_state(m, expected: dict[tuple[str, int], object]) -> dict[tuple[str, int], object]:
    """The registry in the form of the expectation: the expected values' names only."""
    state = {}
    for (key, view), want in expected.items():
        values = m.registry_values(key, view)
        if want is PRESENT or want is ABSENT:
            state[key, view] = ABSENT if values is None else PRESENT
        else:
            state[key, view] = {name: (values or {}).get(name, ABSENT) for name in want}
    return state


def probe_windows_at_shots(m) -> dict[str, list[pixels.Window]]:
    """The windows on the screen at each screenshot, asked while the robot waits for it (the
    machine's screenshot service is wrapped, so the wizard is up and idle meanwhile)."""
    seen: dict[str, list[pixels.Window]] = {}
    take = m._take_requested_shots

    def serve(folder, taken, problems):
        for request in folder.glob("*.request"):
            if request.stem not in seen:
                seen[request.stem] = pixels.visible_windows(m, ("installWClass", "#32770"))
        take(folder, taken, problems)

    m._take_requested_shots = serve
    return seen


def page_mismatches(shot: Path, page: Page, windows: list[pixels.Window], bitmap: pixels.Image) -> list[str]:
    wizard = [w for w in windows if w.cls == "installWClass"]
    assert len(wizard) == 1, windows
    left, top, right, bottom = wizard[0].client
    covers = [w.window for w in windows if w.cls == "#32770"]
    image = pixels.read_png(shot)
    wrong, checked = [], 0
    for (x, y), colour in page.expected(bitmap, right - left, bottom - top).items():
        sx, sy = left + x, top + y
        if any(bl <= sx < br and bt <= sy < bb for bl, bt, br, bb in covers):
            continue
        checked += 1
        got = image.pixel(sx, sy)
        if got != colour:
            wrong.append(f"({x},{y}): {got} instead of {colour}")
    return wrong[:20] + ([f"... {len(wrong)} of {checked} pixels differ"] if wrong else [])


@pytest.mark.parametrize("scenario", SCENARIOS, ids=lambda s: s.name)
def test_wizard_pages(machine, bin_dir, payload, scenario):
    m = machine(scenario.config)
    windows = probe_windows_at_shots(m)
    run = m.run(bin_dir / SETUP, answers=scenario.script, timeout=180, shots=SHOTS / scenario.name)
    assert run.exit_code == 0, run.output
    assert run.boxes == scenario.boxes, run.output
    assert [a for a in run.actions if "error" in a] == [], run.output
    assert sorted(run.shots) == sorted(scenario.pages), run.output

    assert sorted(windows) == sorted(scenario.pages)
    for name, seen in windows.items():
        wizard = [w for w in seen if w.cls == "installWClass"]
        assert [(w.text, w.window) for w in wizard] == [(scenario.title, WINDOW_RECT)], (name, seen)

    bitmap = pixels.read_bmp(payload[b"qvtk1.bmp"])
    for name, page in scenario.pages.items():
        assert page_mismatches(run.shots[name], page, windows[name], bitmap) == [], name

    files = scenario.files(payload)
    assert [path for path, content in files.items() if m.read_file(path) != content] == []
    assert m.read_file(INSTALL_DIR + "vornsetup.exe") == (bin_dir / "vornsetup.exe").read_bytes()
    root = m.host_path(INSTALL_DIR)
    expected_names = payload_names(payload, m.config.codepage) - TSF_REMOVED | WRITTEN
    assert {p.name for p in root.iterdir()} == expected_names
    assert re.fullmatch(rb"-?\d+", m.read_file(INSTALL_DIR + "install.vrh"))

    assert registry_state(m, scenario.registry) == scenario.registry
    # TSF registers no keyboard layout, under either code page.
    assert product_layouts(m) == {}
