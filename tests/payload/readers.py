"""Independent readers of what the build produces: archive containers, Windows executables and
their resources, dialog templates, bitmaps, sounds, JPEG and Flash files. Standard library only;
nothing here shares code with the programs under test."""

from __future__ import annotations

import dataclasses
import struct
import zlib


# ---------------------------------------------------------------- archive containers


@dataclasses.dataclass
class Entry:
    name: bytes  # as stored (GBK)
    digest: str | None  # current layout only
    stored: bytes  # the zlib stream
    content: bytes


@dataclasses.dataclass
class Container:
    layout: bytes  # b"0" current, anything else older
    total_size: int
    count: int
    end: int  # offset after the last entry
    entries: list[Entry]


def read_container(data: bytes) -> Container:
    if len(data) < 10 or data[0:1] != b"C":
        raise ValueError("not a container")
    layout = data[1:2]
    total, count = struct.unpack_from("<II", data, 2)
    current = layout == b"0"
    pos, entries = 10, []
    for _ in range(count):
        if data[pos:pos + 2] != b"CF":
            raise ValueError(f"bad entry tag at {pos}")
        if current:
            name = data[pos + 2:pos + 18]
            digest_field = data[pos + 18:pos + 52]
            if digest_field[32:] != b"\0\0":
                raise ValueError("digest not terminated")
            digest = digest_field[:32].decode("ascii")
            (length,) = struct.unpack_from("<I", data, pos + 52)
            pos += 56
        else:
            name = data[pos + 2:pos + 16]
            digest = None
            (length,) = struct.unpack_from("<I", data, pos + 16)
            pos += 20
        stored = data[pos:pos + length]
        if len(stored) != length:
            raise ValueError("entry runs past the end")
        pos += length
        if b"\0" not in name:
            raise ValueError("name not terminated in its field")
        entries.append(Entry(name.split(b"\0")[0], digest, stored, zlib.decompress(stored)))
    return Container(layout, total, count, pos, entries)


# ---------------------------------------------------------------- Windows executables


def read_version_info(data: bytes) -> dict:
    """A VS_VERSIONINFO resource: the fixed file version, the string tables by their key
    ("080403A8", ...) and the translations (language, code page)."""

    def block(at: int) -> tuple[str, int, bytes, list, int]:
        length, value_length, kind = struct.unpack_from("<HHH", data, at)
        end = at + length
        key_at = at + 6
        key_end = key_at
        while data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[key_at:key_end].decode("utf-16-le")
        value_at = (key_end + 2 + 3) & ~3
        size = value_length * 2 if kind == 1 else value_length  # text values count characters
        value = data[value_at:value_at + size]
        children, child = [], (value_at + size + 3) & ~3
        while child < end:
            parsed = block(child)
            children.append(parsed)
            child = (parsed[4] + 3) & ~3
        return key, kind, value, children, end

    key, _, fixed, children, _ = block(0)
    if key != "VS_VERSION_INFO" or struct.unpack_from("<I", fixed, 0)[0] != 0xFEEF04BD:
        raise ValueError("no version resource")
    ms, ls = struct.unpack_from("<II", fixed, 8)
    result = {"file_version": (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF), "strings": {}, "translations": []}
    for child_key, _, _, grandchildren, _ in children:
        if child_key == "StringFileInfo":
            for table, _, _, strings, _ in grandchildren:
                result["strings"][table] = {
                    name: value.decode("utf-16-le").rstrip("\0") for name, _, value, _, _ in strings}
        elif child_key == "VarFileInfo":
            for _, _, value, _, _ in grandchildren:
                words = struct.unpack(f"<{len(value) // 2}H", value)
                result["translations"] = list(zip(words[0::2], words[1::2]))
    return result


@dataclasses.dataclass
class Resource:
    type: int | str
    name: int | str
    language: int
    data: bytes


@dataclasses.dataclass
class PeFile:
    machine: int
    characteristics: int
    subsystem: int
    is_64: bool
    exports: list[str]
    resources: list[Resource]
    dll_characteristics: int = 0
    # Imported functions by DLL (names lower-cased), "#N" for one imported by ordinal.
    imports: dict[str, list[str]] = dataclasses.field(default_factory=dict)


IMAGE_FILE_DLL = 0x2000


def read_pe(data: bytes) -> PeFile:
    if data[:2] != b"MZ":
        raise ValueError("no MZ header")
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    machine, sections, _, _, _, optional_size, characteristics = struct.unpack_from("<HHIIIHH", data, pe + 4)
    optional = pe + 24
    (magic,) = struct.unpack_from("<H", data, optional)
    is_64 = magic == 0x20B
    if magic not in (0x10B, 0x20B):
        raise ValueError("unknown optional header")
    subsystem, dll_characteristics = struct.unpack_from("<HH", data, optional + 68)
    directories = optional + (112 if is_64 else 96)
    export_rva, _ = struct.unpack_from("<II", data, directories)
    import_rva, _ = struct.unpack_from("<II", data, directories + 8)
    resource_rva, _ = struct.unpack_from("<II", data, directories + 16)
    table = optional + optional_size
    spans = []
    for i in range(sections):
        _, virtual_size, virtual_address, raw_size, raw_pointer = struct.unpack_from("<8sIIII", data, table + 40 * i)
        spans.append((virtual_address, max(virtual_size, raw_size), raw_pointer))

    def offset(rva: int) -> int:
        for start, size, raw in spans:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f"RVA {rva:#x} in no section")

    def c_string(rva: int) -> str:
        at = offset(rva)
        return data[at:data.index(b"\0", at)].decode("ascii")

    exports = []
    if export_rva:
        at = offset(export_rva)
        names, name_table = struct.unpack_from("<I", data, at + 24)[0], struct.unpack_from("<I", data, at + 32)[0]
        for i in range(names):
            (name_rva,) = struct.unpack_from("<I", data, offset(name_table) + 4 * i)
            exports.append(c_string(name_rva))

    imports: dict[str, list[str]] = {}
    if import_rva:
        entry = offset(import_rva)
        while True:
            lookup, _, _, name_rva, thunks = struct.unpack_from("<IIIII", data, entry)
            if name_rva == 0:
                break
            names = imports.setdefault(c_string(name_rva).lower(), [])
            at = offset(lookup or thunks)
            width, flag = (8, 1 << 63) if is_64 else (4, 1 << 31)
            while True:
                (thunk,) = struct.unpack_from("<Q" if is_64 else "<I", data, at)
                if thunk == 0:
                    break
                names.append(f"#{thunk & 0xFFFF}" if thunk & flag else c_string((thunk & 0x7FFFFFFF) + 2))
                at += width
            entry += 20

    resources: list[Resource] = []
    if resource_rva:
        base = offset(resource_rva)

        def name_of(field: int) -> int | str:
            if field & 0x80000000:
                at = base + (field & 0x7FFFFFFF)
                (length,) = struct.unpack_from("<H", data, at)
                return data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            return field

        def directory(at: int) -> list[tuple[int | str, int]]:
            named, numbered = struct.unpack_from("<HH", data, at + 12)
            found = []
            for i in range(named + numbered):
                field, target = struct.unpack_from("<II", data, at + 16 + 8 * i)
                found.append((name_of(field), target))
            return found

        for rtype, types in directory(base):
            for rname, names in directory(base + (types & 0x7FFFFFFF)):
                for language, leaf in directory(base + (names & 0x7FFFFFFF)):
                    if leaf & 0x80000000:
                        raise ValueError("resource tree deeper than three levels")
                    rva, size = struct.unpack_from("<II", data, base + leaf)
                    resources.append(Resource(rtype, rname, language, data[offset(rva):offset(rva) + size]))
    return PeFile(machine, characteristics, subsystem, is_64, exports, resources,
                  dll_characteristics=dll_characteristics, imports=imports)


# ---------------------------------------------------------------- dialog templates


@dataclasses.dataclass
class DialogItem:
    id: int
    window_class: int | str
    x: int
    y: int
    cx: int
    cy: int
    text: str
    style: int


@dataclasses.dataclass
class Dialog:
    style: int
    x: int
    y: int
    cx: int
    cy: int
    caption: str
    point_size: int | None
    face: str | None
    items: list[DialogItem]


def read_dialog(data: bytes) -> Dialog:
    """A DLGTEMPLATE (not the extended form) with its items."""

    def text_or_ordinal(at: int) -> tuple[int | str | None, int]:
        (first,) = struct.unpack_from("<H", data, at)
        if first == 0:
            return None, at + 2
        if first == 0xFFFF:
            return struct.unpack_from("<H", data, at + 2)[0], at + 4
        end = at
        while data[end:end + 2] != b"\0\0":
            end += 2
        return data[at:end].decode("utf-16-le"), end + 2

    style, _, count, x, y, cx, cy = struct.unpack_from("<IIHhhhh", data, 0)
    if style & 0xFFFF0000 == 0xFFFF0000:
        raise ValueError("an extended dialog template")
    menu, at = text_or_ordinal(18)
    window_class, at = text_or_ordinal(at)
    if menu is not None or window_class is not None:
        raise ValueError("unexpected menu or class")
    caption, at = text_or_ordinal(at)
    point_size = face = None
    if style & 0x40:  # DS_SETFONT
        (point_size,) = struct.unpack_from("<H", data, at)
        face, at = text_or_ordinal(at + 2)
    items = []
    for _ in range(count):
        at = (at + 3) & ~3
        item_style, _, ix, iy, icx, icy, item_id = struct.unpack_from("<IIhhhhH", data, at)
        item_class, at = text_or_ordinal(at + 18)
        item_text, at = text_or_ordinal(at)
        (extra,) = struct.unpack_from("<H", data, at)
        at += 2 + extra
        items.append(DialogItem(item_id, item_class, ix, iy, icx, icy, item_text or "", item_style))
    return Dialog(style, x, y, cx, cy, caption or "", point_size, face, items)


# ---------------------------------------------------------------- pictures, sounds, movies


@dataclasses.dataclass
class Bitmap:
    width: int
    height: int
    bits: int
    palette: list[tuple[int, int, int]]
    rows: list[bytes]  # top row first, each width * bytes per pixel (8 or 24 bits)

    def pixel(self, x: int, y: int) -> tuple[int, int, int]:
        row = self.rows[y]
        if self.bits == 24:
            b, g, r = row[3 * x:3 * x + 3]
            return r, g, b
        return self.palette[row[x]]


def read_bmp(data: bytes) -> Bitmap:
    if data[:2] != b"BM":
        raise ValueError("no BM signature")
    file_size, _, _, offset = struct.unpack_from("<IHHI", data, 2)
    if file_size != len(data):
        raise ValueError(f"file size field {file_size} for {len(data)} bytes")
    header_size, width, height, planes, bits, compression, image_size = struct.unpack_from("<IiiHHII", data, 14)
    if header_size != 40 or planes != 1 or compression != 0 or bits not in (8, 24):
        raise ValueError("not an uncompressed 8- or 24-bit BITMAPINFOHEADER bitmap")
    (colours,) = struct.unpack_from("<I", data, 46)
    palette = []
    if bits == 8:
        colours = colours or 256
        for i in range(colours):
            b, g, r, _ = data[54 + 4 * i:58 + 4 * i]
            palette.append((r, g, b))
        if offset != 54 + 4 * colours:
            raise ValueError("pixels do not follow the palette")
    elif offset != 54:
        raise ValueError("pixels do not follow the header")
    stride = (width * bits // 8 + 3) & ~3
    rows_height = abs(height)
    if image_size not in (0, stride * rows_height) or offset + stride * rows_height != len(data):
        raise ValueError("pixel data of the wrong size")
    rows = [data[offset + stride * i:offset + stride * i + width * bits // 8] for i in range(rows_height)]
    if height > 0:
        rows.reverse()  # stored bottom-up
    if bits == 8 and any(v >= len(palette) for row in rows for v in row):
        raise ValueError("pixel outside the palette")
    return Bitmap(width, rows_height, bits, palette, rows)


@dataclasses.dataclass
class Wave:
    channels: int
    rate: int
    bits: int
    samples: bytes


def read_wav(data: bytes) -> Wave:
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError("not RIFF/WAVE")
    (riff_size,) = struct.unpack_from("<I", data, 4)
    if riff_size + 8 != len(data):
        raise ValueError("RIFF size does not match the file")
    pos, fmt, samples = 12, None, None
    while pos < len(data):
        chunk, size = data[pos:pos + 4], struct.unpack_from("<I", data, pos + 4)[0]
        body = data[pos + 8:pos + 8 + size]
        if len(body) != size:
            raise ValueError("chunk runs past the end")
        if chunk == b"fmt ":
            fmt = struct.unpack_from("<HHIIHH", body)
        elif chunk == b"data":
            samples = body
        pos += 8 + size + (size & 1)
    if fmt is None or samples is None:
        raise ValueError("no fmt or data chunk")
    tag, channels, rate, byte_rate, align, bits = fmt
    if tag != 1 or byte_rate != rate * align or align != channels * bits // 8:
        raise ValueError("inconsistent PCM format")
    return Wave(channels, rate, bits, samples)


def jpeg_frame(data: bytes) -> tuple[int, int, int]:
    """Walks the markers of a baseline JPEG; (width, height, components) of its frame."""
    if data[:2] != b"\xff\xd8" or data[-2:] != b"\xff\xd9":
        raise ValueError("no SOI or EOI")
    pos, frame, seen = 2, None, set()
    while True:
        if data[pos] != 0xFF:
            raise ValueError(f"no marker at {pos}")
        marker = data[pos + 1]
        (length,) = struct.unpack_from(">H", data, pos + 2)
        seen.add(marker)
        if marker == 0xC0:
            _, height, width, components = struct.unpack_from(">BHHB", data, pos + 4)
            frame = (width, height, components)
        if marker == 0xDA:
            break
        pos += 2 + length
    if not {0xDB, 0xC4} <= seen or frame is None:
        raise ValueError("quantisation, Huffman or frame segment missing")
    return frame


def swf_tags(data: bytes) -> list[int]:
    """The tag codes of an uncompressed Flash movie, checking its length field and the end tag."""
    if data[:3] != b"FWS":
        raise ValueError("not an uncompressed SWF")
    (length,) = struct.unpack_from("<I", data, 4)
    if length != len(data):
        raise ValueError("file length field does not match")
    bits = data[8] >> 3
    pos = 8 + (5 + 4 * bits + 7) // 8 + 4  # frame rectangle, frame rate, frame count
    tags = []
    while pos < len(data):
        (header,) = struct.unpack_from("<H", data, pos)
        code, size = header >> 6, header & 0x3F
        pos += 2
        if size == 0x3F:
            (size,) = struct.unpack_from("<I", data, pos)
            pos += 4
        pos += size
        tags.append(code)
        if code == 0:
            break
    if pos != len(data) or not tags or tags[-1] != 0:
        raise ValueError("tags do not end with the end tag at the end of the file")
    return tags
