"""Pixels of the scenarios' screenshots, and what they are compared with; standard library only.

`read_png` decodes the non-interlaced 8-bit PNGs that ImageMagick's `import` writes (grey,
RGB, palette, with or without alpha); `read_bmp` reads an uncompressed 24-bit BMP. Both give an
`Image` whose pixels are (red, green, blue) tuples. `container_entries` inflates the entries of
an archive container (the payload, a skin). `visible_windows` asks Wine's debugger where windows
are on the screen and what their titles are.
"""

from __future__ import annotations

import dataclasses
import re
import struct
import subprocess
import zlib
from pathlib import Path

from vornwine import HarnessError

Colour = tuple[int, int, int]


@dataclasses.dataclass
class Image:
    width: int
    height: int
    rgb: bytes  # rows top to bottom, three bytes a pixel

    def pixel(self, x: int, y: int) -> Colour:
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise IndexError(f"pixel ({x},{y}) outside {self.width}x{self.height}")
        at = (y * self.width + x) * 3
        return self.rgb[at], self.rgb[at + 1], self.rgb[at + 2]


_CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}  # by PNG colour type


def _paeth(a: int, b: int, c: int) -> int:
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c


def _unfilter(kind: int, line: bytearray, prior: bytearray, step: int) -> None:
    if kind == 1:
        for i in range(step, len(line)):
            line[i] = (line[i] + line[i - step]) & 0xFF
    elif kind == 2:
        for i in range(len(line)):
            line[i] = (line[i] + prior[i]) & 0xFF
    elif kind == 3:
        for i in range(len(line)):
            left = line[i - step] if i >= step else 0
            line[i] = (line[i] + ((left + prior[i]) >> 1)) & 0xFF
    elif kind == 4:
        for i in range(len(line)):
            if i >= step:
                line[i] = (line[i] + _paeth(line[i - step], prior[i], prior[i - step])) & 0xFF
            else:
                line[i] = (line[i] + prior[i]) & 0xFF
    elif kind != 0:
        raise ValueError(f"unknown PNG filter {kind}")


def read_png(path: Path) -> Image:
    data = Path(path).read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path} is not a PNG file")
    at, chunks, palette = 8, [], b""
    width = height = depth = colour_type = interlace = 0
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        at += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour_type, _, _, interlace = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = body
        elif kind == b"IDAT":
            chunks.append(body)
        elif kind == b"IEND":
            break
    if depth != 8 or interlace or colour_type not in _CHANNELS:
        raise ValueError(f"{path}: unsupported PNG (depth {depth}, colour type {colour_type}, interlace {interlace})")
    step = _CHANNELS[colour_type]
    raw = zlib.decompress(b"".join(chunks))
    stride = width * step
    prior = bytearray(stride)
    out = bytearray()
    for y in range(height):
        start = y * (stride + 1)
        line = bytearray(raw[start + 1:start + 1 + stride])
        _unfilter(raw[start], line, prior, step)
        prior = line
        if colour_type == 2:
            out += line
        elif colour_type == 6:
            out += bytes(b for i, b in enumerate(line) if i % 4 != 3)
        elif colour_type == 3:
            for index in line:
                out += palette[index * 3:index * 3 + 3]
        else:  # grey, with or without alpha
            for grey in line[::step]:
                out += bytes((grey, grey, grey))
    return Image(width, height, bytes(out))


def read_bmp(data: bytes) -> Image:
    """An uncompressed 24-bit BMP, bottom-up or top-down."""
    if data[:2] != b"BM":
        raise ValueError("not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits != 24 or compression != 0:
        raise ValueError(f"unsupported BMP ({bits} bits, compression {compression})")
    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for y in range(abs(height)):
        stored = abs(height) - 1 - y if height > 0 else y
        line = data[offset + stored * stride:offset + stored * stride + width * 3]
        rows.append(bytes(b for i in range(0, len(line), 3) for b in (line[i + 2], line[i + 1], line[i])))
    return Image(width, abs(height), b"".join(rows))


# ---------------------------------------------------------------- what the program carries


def container_entries(data: bytes) -> dict[bytes, bytes]:
    """The inflated entries of an archive container, by their 8-bit names: the current layout
    (56-byte headers) or the older one (20-byte headers, as the skins carry)."""
    current = data[1:2] == b"0"
    header, at_length = (56, 52) if current else (20, 16)
    (count,) = struct.unpack_from("<I", data, 6)
    entries, pos = {}, 10
    for _ in range(count):
        name = data[pos + 2:pos + at_length].split(b"\0")[0]
        (length,) = struct.unpack_from("<I", data, pos + at_length)
        entries[name] = zlib.decompress(data[pos + header:pos + header + length])
        pos += header + length
    return entries


# ---------------------------------------------------------------- where the wizard is on the screen

Rect = tuple[int, int, int, int]  # left, top, right, bottom; right and bottom excluded


@dataclasses.dataclass(frozen=True)
class Window:
    cls: str
    text: str
    window: Rect  # screen coordinates
    client: Rect


def _winedbg(machine, command: str) -> bytes:
    # Output to a file, never a pipe (see vornwine); the text is in the machine's code page.
    out = machine.work / "winedbg.txt"
    with open(out, "wb") as sink:
        subprocess.run(["wine", "winedbg", "--command", command], env=machine.env, cwd=machine.work,
                       stdin=subprocess.DEVNULL, stdout=sink, stderr=subprocess.STDOUT, timeout=60)
    return out.read_bytes()


def visible_windows(machine, classes: tuple[str, ...]) -> list[Window]:
    """The visible windows of these classes as the window manager knows them (Wine's debugger asks
    for their texts and their window and client rectangles), whatever the program paints."""
    found = []
    wanted = {name.encode() for name in classes}
    listing = _winedbg(machine, "info wnd")
    for handle, cls, style in re.findall(rb"^ *([0-9a-f]{8}) +(\S+) +([0-9a-f]{8}) ", listing, re.M):
        if cls not in wanted or not int(style, 16) & 0x10000000:  # WS_VISIBLE
            continue
        detail = _winedbg(machine, "info *wnd 0x" + handle.decode())
        text = re.search(rb"text='(.*)'\r?\n", detail)
        rects = re.search(rb"client=(-?\d+),(-?\d+)-(-?\d+),(-?\d+) +window=(-?\d+),(-?\d+)-(-?\d+),(-?\d+)", detail)
        if not text or not rects:
            raise HarnessError(f"unexpected winedbg output: {detail!r}")
        numbers = [int(n) for n in rects.groups()]
        found.append(Window(cls.decode(), text.group(1).decode(f"cp{machine.config.codepage}"),
                            tuple(numbers[4:]), tuple(numbers[:4])))
    return found
