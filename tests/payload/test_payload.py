"""The payload container read independently: its entries, their digests, and the formats the
setup and the input method rely on."""

from __future__ import annotations

import hashlib
import os
import shutil
import struct
import subprocess
from pathlib import Path

import pytest

import readers

# The 137 files in the order the setup extracts them.
NAMES = """
big5hz.ov1 bjzt020.bmp bjzt030.bmp bjzt040.bmp bjzt120.bmp bjzt130.bmp bjzt140.bmp blank.jpg
bmjb20.bmp bmjb30.bmp bmjb40.bmp bmjbx20.bmp bmjbx30.bmp bmjbx40.bmp cfontset.vrh vral01.jpg
vral02.jpg vrbj01.jpg vrbmpfk5.bmp vrbmps44.bmp vrbyy0.bmp vrbyy1.bmp vrdwhz0.vrh vorn1.wav
vorn2.wav vorn20.bmp vorn3.wav vorn30.bmp vorn320.ime vorn321.ime vorn4.wav vorn40.bmp vorn5.wav
vorn6.wav vorn640.ime vorn641.ime vorn7.wav vorncyzk.vrh vorndel8.exe vorndhz.vrh vorndwdw.txt
vorndzk0.vrh vorngbk.ovl vornel4.ime vornel64.ime vornel88.exe vornjfk.ov1 vornpyck.vrh
vornpymb.ov1 vornskfh.vrh vornsrf.dll vornsrf6.dll vornszsj.vrh vornynhz.txt vornzdfh.vrh
vornzdym.vrh vornqvtk.exe vrfcz.txt vrgbkbh.vrh vrgbkhz.vrh vrhzbs.vrh vrkeyyx1.wav vrpyjm1.txt
vrpykey0.txt vrpykey1.txt vrpykey2.txt vrpykey3.txt vrpykey4.txt vrpykey5.txt vrpyltwj.vrh
vrpyzdfy.txt vrpyzdym.vrh vrspeeke.txt vrspk1.txt vrspk2.txt vrspk3.txt vrspk4.txt vrszsj01.vrh
vrszsj02.vrh vrszsj03.vrh vrszsj04.vrh vrszsj42.vrh vrszsj43.vrh vrszsj44.vrh vrver.txt
vrwbjm.txt vrwbpy.txt vrxz0.bmp vrxz1.bmp VRQVTK41.BMP vrqvtk61.bmp vkjcdir.exe csrf732.dll
csrf764.dll cwb.ov1 cwbzlcz1.vrh ftvrzdym.txt ftpyzdym.txt ggbhver.dat jfb5hzb.txt jfhzb.txt
jptb020.bmp jptb030.bmp jptb040.bmp jptb120.bmp jptb130.bmp jptb140.bmp ldlb20.bmp ldlb30.bmp
ldlb40.bmp nbyy2.bmp pygfhzb.txt pyqspmb.txt pysymmb.dtd qxfc.vrz setupw64.exe skey0.bmp
softkey.txt uwb.vrh wb1.swf wbgfhzb.txt wuxin1.bmp wuxin20.bmp wuxin30.bmp wuxin40.bmp
xghjwjt.txt xghjwjw.txt zhtb20.bmp zhtb30.bmp zhtb40.bmp zjcztb20.bmp zjcztb30.bmp zjcztb40.bmp
qvtk1.bmp 冷色瓷面.vrz 小天使.vrz 粉色瓷面.vrz
""".split()

SCRATCH_CAPACITY = 2_097_152 - 100 - 44  # the extraction area after the name, before the digest

LABEL = "智能Marl输入平台".encode("utf-16-le")
MODULES_32 = ["vorn320.ime", "vorn321.ime", "vornel4.ime", "vornsrf.dll", "csrf732.dll"]
MODULES_64 = ["vorn640.ime", "vorn641.ime", "vornel64.ime", "vornsrf6.dll", "csrf764.dll"]
PROGRAMS_32 = ["vornel88.exe", "vornqvtk.exe", "vkjcdir.exe", "vorndel8.exe"]
IME_EXPORTS = {
    "ImeInquire", "ImeConfigure", "ImeConversionList", "ImeDestroy", "ImeEscape", "ImeProcessKey",
    "ImeSelect", "ImeSetActiveContext", "ImeToAsciiEx", "NotifyIME", "ImeRegisterWord",
    "ImeUnregisterWord", "ImeGetRegisterWordStyle", "ImeEnumRegisterWord", "ImeSetCompositionString",
}
COM_EXPORTS = {"DllRegisterServer", "DllUnregisterServer", "DllGetClassObject", "DllCanUnloadNow"}
SKINS = ["冷色瓷面.vrz", "小天使.vrz", "粉色瓷面.vrz"]
SKIN_FILES = ["vrbmp8.vrh"] + [f"vrbmpsx{i}.bmp" for i in range(1, 8)]


# ---------------------------------------------------------------- the container


def test_container_holds_the_137_files_in_order(payload_bytes, payload):
    assert payload_bytes[:2] == b"C0"
    assert payload.count == 137
    assert payload.total_size == len(payload_bytes) == payload.end
    assert [e.name.decode("gbk") for e in payload.entries] == NAMES
    # The skins' names are GBK inside the container, as the setup writes them to disk.
    assert payload.entries[-3].name == "冷色瓷面.vrz".encode("gbk")


def test_every_entry_is_one_default_level_stream_with_its_digest(payload):
    for entry in payload.entries:
        assert entry.stored[:2] == b"\x78\x9c", entry.name
        assert entry.digest == hashlib.md5(entry.content).hexdigest().upper(), entry.name
        assert len(entry.content) > 0, entry.name


def test_every_file_fits_where_the_setup_puts_it(files):
    largest = max(files, key=lambda name: len(files[name]))
    assert largest == "vornpyck.vrh"
    assert 1_800_000 <= len(files[largest]) <= SCRATCH_CAPACITY
    # Files the version patch rewrites must be read whole by it.
    for name in ["vorn320.ime", "vorn321.ime", "vorn640.ime", "vorn641.ime", "setupw64.exe"]:
        assert len(files[name]) < 65_536, name
    for skin in SKINS:
        assert len(files[skin]) < 131_072, skin


def test_payload_carries_the_built_modules(files, bin_dir):
    for name in MODULES_32 + MODULES_64 + PROGRAMS_32 + ["setupw64.exe"]:
        assert files[name] == (bin_dir / name).read_bytes(), name


def test_generator_writes_the_same_bytes_again(payload_bytes, bin_dir, tmp_path):
    generator = os.environ.get("VORN_MAKE_PAYLOAD")
    if not generator:
        pytest.skip("VORN_MAKE_PAYLOAD not given (CTest gives it)")
    subprocess.run([generator, "--modules", str(bin_dir), "--out", str(tmp_path)], check=True,
                   capture_output=True)
    assert (tmp_path / "payload.vrz").read_bytes() == payload_bytes


# ---------------------------------------------------------------- modules and programs


def test_modules_are_dlls_of_their_bitness_with_their_entry_points(files):
    for name in MODULES_32 + MODULES_64:
        pe = readers.read_pe(files[name])
        assert pe.characteristics & readers.IMAGE_FILE_DLL, name
        assert (pe.machine, pe.is_64) == ((0x8664, True) if name in MODULES_64 else (0x14C, False)), name
        wanted = IME_EXPORTS if name.endswith(".ime") else COM_EXPORTS
        # Undecorated names: Windows and regsvr32 look them up so.
        assert set(pe.exports) == wanted, name


def test_programs_are_windowed_executables_of_their_bitness(files):
    for name in PROGRAMS_32 + ["setupw64.exe"]:
        pe = readers.read_pe(files[name])
        assert not pe.characteristics & readers.IMAGE_FILE_DLL, name
        assert pe.subsystem == 2, name  # windowed: started by the setup without a console
        assert pe.is_64 == (name == "setupw64.exe"), name


@pytest.mark.parametrize(
    "name, version",
    [("vorn320.ime", "6.3"), ("vorn321.ime", "6.3"), ("vorn640.ime", "6.3"), ("vorn641.ime", "6.3"),
     ("vornel4.ime", "9.0"), ("vornel64.ime", "9.0"), ("setupw64.exe", "6.7")],
)
def test_version_label_follows_the_product_label(files, name, version):
    data = files[name]
    assert data.count(LABEL) == 1, name
    at = data.index(LABEL) + len(LABEL)
    assert data[at:at + 10] == f"  {version}".encode("utf-16-le"), name


def test_modules_for_each_code_page_differ(files):
    # A machine under code page 950 must end up with the traditional-script module.
    assert files["vorn320.ime"] != files["vorn321.ime"]
    assert files["vorn640.ime"] != files["vorn641.ime"]
    assert files["vornsrf.dll"] != files["csrf732.dll"]
    assert files["vornsrf6.dll"] != files["csrf764.dll"]


# ---------------------------------------------------------------- data the setup reads


def compact_phrases(text: bytes) -> tuple[bytes, int, int]:
    """The stored-form normalisation, written from its description: kept text, sum, count."""
    out, read, total, count = bytearray(), 0, 0, 0
    n = len(text)
    at = lambda i: text[i] if i < n else -1  # noqa: E731
    while True:
        mark, chars = len(out), 0
        while read < n and at(read) > 0x80 and at(read + 1) > 0x3F:
            out += text[read:read + 2]
            total += text[read] + text[read + 1]
            read += 2
            chars += 1
        if chars >= 2 and at(read) == ord(";") and at(read + 1) == ord(" "):
            count += 1
            out += b"; "
            read += 2
            continue
        del out[mark:]
        while read < n and not (at(read) == ord(";") or at(read + 1) == ord(" ")):
            read += 1
        if read + 1 >= n:
            break
        out += text[read:read + 2]
        read += 2
    return bytes(out), total & 0xFFFFFFFF, count


def test_phrase_library_is_in_stored_form_with_its_trailer(files):
    data = files["vorncyzk.vrh"]
    text, trailer = data[:-12], data[-12:]
    assert trailer[:4] == b"VORN"
    total, count = struct.unpack("<II", trailer[4:])
    assert compact_phrases(text) == (text, total, count)
    phrases = text.decode("gbk").split("; ")
    assert phrases[-1] == ""
    assert count == len(phrases) - 1 >= 5000
    assert all(len(p) >= 2 and all(ord(c) > 0x7F for c in p) for p in phrases[:-1])


def test_settings_record_is_complete(files):
    record = files["vrszsj43.vrh"]
    assert len(record) == 200
    # The values the modules fall back on when the record cannot be read are the shipped ones.
    assert record[8] == 54
    assert all(record[i] == 1 for i in (9, 10, 12, 15, 19, 22, 24, 27, 36, 41, 42, 43, 54, 58))
    for name in ["vrszsj01.vrh", "vrszsj02.vrh", "vrszsj03.vrh", "vrszsj04.vrh", "vrszsj42.vrh",
                 "vrszsj44.vrh", "vornszsj.vrh"]:
        assert len(files[name]) == 200, name


def luminance(rgb) -> float:
    def linear(c):
        c /= 255
        return c / 12.92 if c <= 0.03928 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (linear(c) for c in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def contrast(a, b) -> float:
    la, lb = sorted((luminance(a), luminance(b)), reverse=True)
    return (la + 0.05) / (lb + 0.05)


def test_choice_page_bitmap_carries_the_page_texts(files):
    bmp = readers.read_bmp(files["qvtk1.bmp"])
    assert (bmp.width, bmp.height, bmp.bits) == (401, 310, 24)
    # Rows 90 and 91 (x 73 to 200) become the Pinyin title's band: both title layers show on it,
    # and the two rows agree, so the stretched band has no seam.
    for x in range(73, 201):
        band = bmp.pixel(x, 90)
        assert contrast(band, (33, 205, 173)) >= 3, x
        assert max(abs(p - q) for p, q in zip(band, bmp.pixel(x, 91))) <= 12, x
    # White slogan texts at y 135 to 182, dark blue version text at (220,100).
    for y in range(135, 183, 4):
        for x in range(10, 330, 8):
            assert contrast(bmp.pixel(x, y), (255, 255, 255)) >= 3, (x, y)
    for y in range(100, 122, 3):
        for x in range(220, 262, 4):
            assert contrast(bmp.pixel(x, y), (0, 0, 192)) >= 4.5, (x, y)
    # The shown part ends where the page's own gradient starts, (0,12,165) at row 190.
    for x in range(0, 400, 10):
        assert max(abs(p - q) for p, q in zip(bmp.pixel(x, 189), (0, 12, 165))) <= 24, x


def test_bitmaps_are_valid(files):
    for name in [n for n in NAMES if n.lower().endswith(".bmp")]:
        bmp = readers.read_bmp(files[name])
        assert bmp.width > 0 and bmp.height > 0, name
        # A picture, not a flat fill.
        assert len({bmp.pixel(x, y) for y in range(bmp.height) for x in range(bmp.width)}) >= 3, name
    for stem in ["bjzt0", "bjzt1", "jptb0", "jptb1"]:
        heights = [readers.read_bmp(files[f"{stem}{n}.bmp"]).height for n in (20, 30, 40)]
        assert heights == [20, 30, 40], stem


def test_sounds_are_pcm_waves(files):
    for name in [n for n in NAMES if n.endswith(".wav")]:
        wave = readers.read_wav(files[name])
        assert (wave.channels, wave.bits) == (1, 8), name
        assert 0.03 < len(wave.samples) / wave.rate < 2, name
        assert len(set(wave.samples)) > 10, name  # not silence


def test_texts_are_gbk_with_crlf_lines(files):
    for name in [n for n in NAMES if n.endswith((".txt", ".dtd"))]:
        data = files[name]
        text = data.decode("gbk")  # strict: every byte sequence is GBK
        assert text.endswith("\r\n"), name
        assert "\n" not in text.replace("\r\n", ""), name
        assert len(text.splitlines()) >= 3, name


def test_jpegs_are_baseline_pictures(files):
    sizes = {"blank.jpg": (16, 16), "vral01.jpg": (240, 180), "vral02.jpg": (240, 180), "vrbj01.jpg": (400, 300)}
    convert = shutil.which("convert")
    for name, (width, height) in sizes.items():
        assert readers.jpeg_frame(files[name]) == (width, height, 3), name
        if convert:  # a decoder's opinion too, where ImageMagick is installed
            decoded = subprocess.run([convert, "jpeg:-", "ppm:-"], input=files[name], capture_output=True, check=True)
            assert decoded.stdout.split(b"\n")[1] == f"{width} {height}".encode(), name


def test_other_formats(files):
    inner = readers.read_container(files["qxfc.vrz"])
    assert inner.layout == b"0" and inner.count == 3
    for entry in inner.entries:
        assert entry.digest == hashlib.md5(entry.content).hexdigest().upper()
        entry.content.decode("gbk")
    tags = readers.swf_tags(files["wb1.swf"])
    assert tags.count(1) == 25 and tags[0] == 9  # frames shown; background colour first
    for name in ["vorngbk.ovl", "big5hz.ov1", "vrgbkhz.vrh", "cwb.ov1", "vornpymb.ov1"]:
        count, size = struct.unpack_from("<II", files[name], 8)
        assert len(files[name]) == 32 + count * size > 32, name


# ---------------------------------------------------------------- skins


@pytest.fixture(scope="module")
def skins(files):
    return {name: readers.read_container(files[name]) for name in SKINS}


def test_skins_are_older_layout_containers_of_eight_files(files, skins):
    for name, skin in skins.items():
        assert skin.layout == b"H", name
        assert skin.total_size == len(files[name]) == skin.end, name
        assert [e.name.decode("ascii") for e in skin.entries] == SKIN_FILES, name
        assert all(e.digest is None for e in skin.entries)
        assert len(skin.entries[0].content) == 4096, name
        # Each header is 20 bytes: the first stream starts 30 bytes in.
        assert files[name][30:32] == b"\x78\x9c", name


def test_skin_bitmaps_are_valid_and_differ_per_skin(files, skins):
    by_skin = {}
    for name, skin in skins.items():
        bitmaps = [readers.read_bmp(e.content) for e in skin.entries[1:]]
        by_skin[name] = [e.content for e in skin.entries[1:]]
        shared = readers.read_bmp(files["vrbmps44.bmp"])
        # vrbmps44.bmp replaces every skin's vrbmpsx4.bmp after installation.
        assert (bitmaps[3].width, bitmaps[3].height) == (shared.width, shared.height), name
    for i in range(7):
        assert len({by_skin[s][i] for s in SKINS}) == 3, f"vrbmpsx{i + 1}.bmp"
