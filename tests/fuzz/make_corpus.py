#!/usr/bin/python3
"""Writes the seed corpora of the fuzz targets (corpus/<target>_fuzz/), small inputs of the forms each
reader meets: real ones and the edges around them. Deterministic; run it again after changing a
target's input form, and commit what it writes."""
import hashlib
import os
import shutil
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def gbk(text):
    return text.encode("gbk")


def container(entries, older=False):
    """entries: (raw name, content) pairs; current layout with digests, or the older one."""
    out = bytearray(b"CH" if older else b"C0") + bytes(8)
    for name, content in entries:
        body = zlib.compress(content)
        if older:
            out += b"CF" + name.ljust(14, b"\0")[:14] + struct.pack("<I", len(body)) + body
        else:
            digest = hashlib.md5(content).hexdigest().upper().encode("ascii")
            out += (b"CF" + name.ljust(16, b"\0")[:16] + digest + b"\0\0" +
                    struct.pack("<I", len(body)) + body)
    struct.pack_into("<II", out, 2, len(out), len(entries))
    return bytes(out)


def phrases_stored(text):
    return text + b"VORN" + struct.pack("<II", sum(text.replace(b"; ", b"")), text.count(b"; "))


def bitmap(width, height, bits, colours=None, top_down=False):
    stride = (width * bits + 31) // 32 * 4
    table = colours if colours is not None else (1 << bits if bits <= 8 else 0)
    pixels = bytes((i * 37 + 11) & 0xFF for i in range(stride * height))
    info = struct.pack("<IiiHHIIiiII", 40, width, -height if top_down else height, 1, bits, 0,
                       len(pixels), 2835, 2835, colours or 0, 0)
    palette = b"".join(struct.pack("<BBBB", i * 40 & 0xFF, i * 90 & 0xFF, i * 7 & 0xFF, 0)
                       for i in range(table))
    offset = 14 + len(info) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + palette + pixels


# Records of the registration targets (registry_input.h).
def record(kind, name, data, value_type=1):
    return bytes([kind, len(name)]) + name + bytes([value_type, len(data)]) + data


def registry(flags, *records):
    return bytes([flags]) + b"".join(records)


PRODUCT = gbk("智能Marl输入平台")
LABEL = "智能Marl输入平台".encode("utf-16-le")


def seeds():
    phrases = gbk("中国; 人民; 智能输入; ")
    current = container([(b"a.txt", b"hello"), (b"vorncyzk.bak", phrases),
                         (b"blank.bmp", bytes(3000))])
    backup = container([(b"vorncyzk.bak", phrases_stored(phrases)),
                        (b"vrszsj43.vrh", bytes(range(200))), (b"vorndwdw.txt", b"words " * 20)])
    yield "archive", "current.vrz", current
    yield "archive", "older.vrz", container([(b"vrbmp8.vrh", bytes(4096)),
                                             (b"vrbmpsx1.bmp", b"BM" + bytes(200))], older=True)
    yield "archive", "backup.vrz", backup
    yield "archive", "names.vrz", container([(gbk("冷色瓷面.vrz"), b"skin"), (b"..\\evil", b"x"),
                                             (b"CON.txt", b"x"), (b"a" * 16, b"x")])
    yield "archive", "cut.vrz", current[:-7]
    yield "archive", "empty.vrz", container([])

    yield "phrase_library", "phrases.txt", phrases
    yield "phrase_library", "stored.vrh", phrases_stored(phrases)
    yield "phrase_library", "dropped.txt", gbk("中; 国a人; 人民;") + b" x; \xd6"
    yield "phrase_library", "empty.txt", b""

    yield "path_file", "earlier.vrh", b"C:\\old\\"
    yield "path_file", "default.vrh", b"C:\\Program Files\\vornel8\\"
    yield "path_file", "chinese.vrh", gbk("D:\\输入法\\vornel8\\")
    yield "path_file", "long.vrh", b"C:\\" + b"a" * 300 + b"\\"
    yield "path_file", "odd.vrh", b"\\\\server\\share\\..\\..\\x"
    yield "path_file", "empty.vrh", b""

    listing = (b"C:\\Program Files\\vornel8 BUILTIN\\Administrators:(OI)(CI)(F)\r\n"
               b"                         NT AUTHORITY\\Authenticated Users:(OI)(CI)(RX,W)\r\n"
               b"                         APPLICATION PACKAGE AUTHORITY\\ALL APPLICATION "
               b"PACKAGES:(OI)(CI)(F)\r\n\r\nSuccessfully processed 1 files; Failed processing 0 "
               b"files\r\n")
    yield "icacls_listing", "granted.txt", listing
    yield "icacls_listing", "read_only.txt", listing.replace(b"PACKAGES:(OI)(CI)(F)",
                                                             b"PACKAGES:(OI)(CI)(RX)")
    yield "icacls_listing", "failed.txt", b"C:\\x: The system cannot find the file specified.\r\n"
    yield "icacls_listing", "empty.txt", b""

    layouts = [record(2, b"00000409", b"US"),
               record(2, b"00000804", b"Chinese (Simplified) - US Keyboard"),
               record(2, b"E0200804", PRODUCT + b"  8.0")]
    nt_list = [record(0, b"1", b"00000409"), record(0, b"2", b"00000804"),
               record(0, b"3", b"e0200804"), record(3, b"1", b"00000409")]
    nine_x = [record(1, b"1", b"00000409"), record(1, b"2", b"E0200804")]
    odd = [record(0, b"1", b"0000040900"), record(0, b"2", b"\x04\x09", 4),
           record(2, b"x" * 220, b"text"), record(2, b"e0200404", PRODUCT + b"  7.0"),
           record(4, b"00000411", b"", 1), record(2, b"FFFF0804", b"y" * 250)]
    for target in ("preload_list", "keyboard_layout"):
        yield target, "nt.bin", registry(3 << 2, *layouts, *nt_list)
        yield target, "ninex.bin", registry(1 | (2 << 2), *layouts, *nine_x)
        yield target, "big5.bin", registry(2, record(2, b"E0200404", b"\xb4\xbc\xaf\xe0Marl"),
                                           record(0, b"1", b"e0200404"))
        yield target, "odd.bin", registry(5 << 2, *layouts, *nt_list, *odd)
        yield target, "long.bin", registry(4 << 2, *[record(0, str(n).encode(), b"%08x" % n)
                                                     for n in range(1, 52)])
        yield target, "locked.bin", registry(0, *layouts, record(5, b"", b"", 1 | 4))

    module = b"MZ" + bytes(60) + LABEL + " V6.3".encode("utf-16-le") + bytes(40)
    yield "version_label", "label63.ime", module
    yield "version_label", "label67.ime", LABEL + "  6.7 ".encode("utf-16-le") + LABEL + b" \0"
    yield "version_label", "edge.ime", bytes(8) + LABEL + " V6.".encode("utf-16-le")
    yield "version_label", "plain.ime", b"MZ" + bytes(200)

    yield "payload_bitmap", "colours8.bmp", bitmap(16, 8, 8)
    yield "payload_bitmap", "rgb24.bmp", bitmap(13, 5, 24)
    yield "payload_bitmap", "mono.bmp", bitmap(9, 3, 1, colours=2)
    yield "payload_bitmap", "nibbles.bmp", bitmap(7, 4, 4, colours=5, top_down=True)
    yield "payload_bitmap", "rgb16.bmp", bitmap(6, 6, 16)
    yield "payload_bitmap", "rgba32.bmp", bitmap(5, 2, 32, top_down=True)
    yield "payload_bitmap", "cut.bmp", bitmap(16, 8, 8)[:-30]

    record_bytes = bytes((i * 13) & 0xFF for i in range(200))
    yield "settings_record", "wubi.bin", b"\x00" + record_bytes
    yield "settings_record", "pinyin950.bin", bytes([1 | 2 | (3 << 2)]) + record_bytes
    yield "settings_record", "short.bin", bytes([4 << 2]) + record_bytes[:37]
    yield "settings_record", "long.bin", b"\x02" + record_bytes * 2

    def user_record(name, phone, password):
        out = bytearray(b" " * 492)
        for offset, text in ((0, name), (50, phone), (392, password)):
            out[offset:offset + len(text) + 1] = text + b"\0"
        return bytes(out)

    def typed(name, phone, password):
        return b"".join(bytes([len(t)]) + t for t in (name, phone, password))

    yield "user_record", "earlier.bin", (typed(gbk("张三"), b"010-12345678", b"secret") +
                                         user_record(gbk("李四"), b"021-87654321", b"old"))
    yield "user_record", "limits.bin", (typed(gbk("一二三四五六七"), b"1234567890123456",
                                              b"abcdefghijkl") +
                                        user_record(b"n" * 49, b"p" * 137, b"w" * 99))
    yield "user_record", "unterminated.bin", typed(b"", b"", b"") + b"\xd6" * 492
    yield "user_record", "short.bin", typed(b"a\xd6", b"\xd6\xd0", b"") + gbk("王")


def main():
    corpus = os.path.join(HERE, "corpus")
    if os.path.isdir(corpus):
        shutil.rmtree(corpus)
    for target, name, data in seeds():
        folder = os.path.join(corpus, target + "_fuzz")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
