"""vrzpack against an independent reading and writing of the container format (zlib, hashlib)."""
import hashlib
import os
import random
import struct
import subprocess
import zlib

import pytest

VRZPACK = os.environ.get("VRZPACK", os.path.join(
    os.path.dirname(__file__), "..", "..", "build", "host", "bin", "vrzpack"))


def read_container(data):
    """Independent reader: a list of (name, layout, digest, content)."""
    assert data[0:1] == b"C"
    current = data[1:2] == b"0"
    total, count = struct.unpack_from("<II", data, 2)
    pos, entries = 10, []
    for _ in range(count):
        assert data[pos:pos + 2] == b"CF"
        if current:
            name = data[pos + 2:pos + 18].split(b"\0")[0]
            digest = data[pos + 18:pos + 50].decode("ascii")
            assert data[pos + 50:pos + 52] == b"\0\0"
            (length,) = struct.unpack_from("<I", data, pos + 52)
            body = data[pos + 56:pos + 56 + length]
            pos += 56 + length
        else:
            name = data[pos + 2:pos + 16].split(b"\0")[0]
            (length,) = struct.unpack_from("<I", data, pos + 16)
            body = data[pos + 20:pos + 20 + length]
            digest = None
            pos += 20 + length
        entries.append((name.decode("gbk"), current, digest, zlib.decompress(body), body))
    return total, count, pos, entries


def write_container(files, older=False):
    """Independent writer of both layouts."""
    out = bytearray(b"CH" if older else b"C0") + bytes(8)
    for name, content in files:
        body = zlib.compress(content)
        raw = name.encode("gbk")
        if older:
            out += b"CF" + raw.ljust(14, b"\0") + struct.pack("<I", len(body)) + body
        else:
            digest = hashlib.md5(content).hexdigest().upper().encode("ascii")
            out += (b"CF" + raw.ljust(16, b"\0") + digest + b"\0\0" +
                    struct.pack("<I", len(body)) + body)
    struct.pack_into("<II", out, 2, len(out), len(files))
    return bytes(out)


def run(*args, cwd):
    return subprocess.run([VRZPACK, *args], cwd=cwd, capture_output=True)


@pytest.fixture
def files(tmp_path):
    rng = random.Random(1)
    made = {
        "a.txt": "智能输入\r\n".encode("gbk") * 50,
        "冷色瓷面.vrz": bytes(rng.randrange(256) for _ in range(3000)),
        "empty.dat": b"",
        "vorncyzk.bak": "中国; 人民; ".encode("gbk") * 10,
        "noise.bin": bytes(rng.randrange(256) for _ in range(40000)),
    }
    for name, content in made.items():
        (tmp_path / name).write_bytes(content)
    return made


def test_container_written_by_vrzpack_reads_independently(tmp_path, files):
    names = list(files)
    result = run("add", "out.vrz", *names, cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    data = (tmp_path / "out.vrz").read_bytes()
    total, count, end, entries = read_container(data)
    assert (total, count, end) == (len(data), len(files), len(data))
    for (name, current, digest, content, body), expected in zip(entries, names):
        assert name == expected and current
        assert content == files[expected]
        assert digest == hashlib.md5(files[expected]).hexdigest().upper()
        assert body[:2] == b"\x78\x9c"  # zlib default level


@pytest.mark.parametrize("older", [False, True])
def test_independent_containers_extract_byte_for_byte(tmp_path, files, older):
    items = [(n, c) for n, c in files.items() if n != "vorncyzk.bak"]
    (tmp_path / "in.vrz").write_bytes(write_container(items, older))
    result = run("extract", "in.vrz", "out", cwd=tmp_path)
    if any(not c for _, c in items):
        # An entry that inflates to nothing counts as failed, as the setup treats it.
        assert result.returncode == 1
        items = [(n, c) for n, c in items if c]
    for name, content in items:
        assert (tmp_path / "out" / name).read_bytes() == content
    assert run("list", "in.vrz", cwd=tmp_path).returncode == 0


def test_add_reports_each_refused_file(tmp_path, files):
    assert run("add", "x.vrz", "a.txt", cwd=tmp_path).returncode == 0
    (tmp_path / "averyverylongname.txt").write_bytes(b"1")
    result = run("add", "x.vrz", "a.txt", "averyverylongname.txt", "missing.txt", "empty.dat",
                 cwd=tmp_path)
    assert result.returncode == 1
    err = result.stderr.decode()
    assert "a.txt: duplicate name" in err
    assert "averyverylongname.txt: name too long" in err
    assert "missing.txt: unreadable" in err
    _, count, _, _ = read_container((tmp_path / "x.vrz").read_bytes())
    assert count == 2  # a.txt and empty.dat


def test_damaged_container_is_reported(tmp_path, files):
    data = write_container([("a.txt", b"a" * 100), ("b.txt", b"b" * 100)])
    (tmp_path / "cut.vrz").write_bytes(data[:-4])
    result = run("list", "cut.vrz", cwd=tmp_path)
    assert result.returncode == 1
    assert b"stopped at entry 2 of 2" in result.stderr
    # Whole, but an entry's compressed bytes do not inflate: listed as damaged, and a failure.
    spoiled = bytearray(data)
    spoiled[-6:-2] = b"\xff\xff\xff\xff"
    (tmp_path / "spoiled.vrz").write_bytes(bytes(spoiled))
    result = run("list", "spoiled.vrz", cwd=tmp_path)
    assert result.returncode == 1
    assert b"damaged" in result.stdout


def test_verify_names_changed_files(tmp_path, files):
    (tmp_path / "in.vrz").write_bytes(write_container([("a.txt", b"alpha"), ("b.txt", b"beta")]))
    assert run("extract", "in.vrz", "out", cwd=tmp_path).returncode == 0
    assert run("verify", "in.vrz", "out", cwd=tmp_path).returncode == 0
    (tmp_path / "out" / "b.txt").write_bytes(b"changed")
    result = run("verify", "in.vrz", "out", cwd=tmp_path)
    assert result.returncode == 1
    assert "b.txt....".encode() in result.stderr


def test_hostile_entry_names_stay_inside(tmp_path):
    data = write_container([("..\\evil.txt", b"x"), ("ok.txt", b"fine")])
    (tmp_path / "in.vrz").write_bytes(data)
    result = run("extract", "in.vrz", "out", cwd=tmp_path)
    assert result.returncode == 1
    assert not (tmp_path / "evil.txt").exists()
    assert sorted(os.listdir(tmp_path / "out")) == ["ok.txt"]
    assert "没有成功解压复制..\\evil.txt文件".encode() in result.stderr


@pytest.mark.parametrize("size", [0, 1, 9])
def test_a_file_shorter_than_a_header_is_not_a_container(tmp_path, files, size):
    (tmp_path / "short.vrz").write_bytes(b"C0\0\0\0\0\0\0\0"[:size])
    (tmp_path / "out").mkdir()
    for args in (["add", "short.vrz", "a.txt"], ["list", "short.vrz"],
                 ["extract", "short.vrz", "out"], ["verify", "short.vrz", "out"]):
        result = run(*args, cwd=tmp_path)
        assert result.returncode == 1, args
        assert b"short.vrz: not a container" in result.stderr, args
    assert (tmp_path / "short.vrz").stat().st_size == size  # nothing appended


def test_device_names_are_neither_packed_nor_unpacked(tmp_path):
    for name in ("CON.txt", "nul", "Lpt1.log", "ok.txt"):
        (tmp_path / name).write_bytes(b"x")
    result = run("add", "x.vrz", "CON.txt", "nul", "Lpt1.log", "ok.txt", cwd=tmp_path)
    assert result.returncode == 1
    for name in (b"CON.txt", b"nul", b"Lpt1.log"):
        assert name + b": name refused" in result.stderr
    assert [e[0] for e in read_container((tmp_path / "x.vrz").read_bytes())[3]] == ["ok.txt"]

    names = ["CON.txt", "aux", "com9.dat", "PRN .x", "ok.txt", "COM10.txt"]
    (tmp_path / "in.vrz").write_bytes(write_container([(n, b"data") for n in names]))
    assert run("extract", "in.vrz", "out", cwd=tmp_path).returncode == 1
    assert sorted(os.listdir(tmp_path / "out")) == ["COM10.txt", "ok.txt"]


def test_list_shows_refused_names_escaped(tmp_path):
    names = [b"a\x1b[2Jb.txt", b"..\\evil", b"CON.txt", b"ok.txt"]
    out = bytearray(b"C0") + bytes(8)
    for raw in names:
        body = zlib.compress(b"data")
        digest = hashlib.md5(b"data").hexdigest().upper().encode("ascii")
        out += (b"CF" + raw.ljust(16, b"\0") + digest + b"\0\0" +
                struct.pack("<I", len(body)) + body)
    struct.pack_into("<II", out, 2, len(out), len(names))
    (tmp_path / "in.vrz").write_bytes(bytes(out))
    result = run("list", "in.vrz", cwd=tmp_path)
    assert result.returncode == 1
    lines = result.stdout.decode().splitlines()
    assert [line.split()[0] for line in lines] == [
        '"a\\x1B[2Jb.txt"', '"..\\\\evil"', '"CON.txt"', "ok.txt"]
    assert [line.endswith("refused") for line in lines] == [True, True, True, False]
    # Neither the listing nor the messages of an extraction carry a raw control byte.
    extracted = run("extract", "in.vrz", "out", cwd=tmp_path)
    for output in (result.stdout, result.stderr, extracted.stdout, extracted.stderr):
        assert not any(b < 0x20 and b not in b"\r\n" for b in output)
    assert b"a\\x1B[2Jb.txt" in extracted.stderr


def sparse(path, size):
    with open(path, "wb") as f:
        f.truncate(size)


def test_a_file_too_large_to_read_is_an_error(tmp_path):
    sparse(tmp_path / "huge.vrz", (4 << 30) + 10)  # beyond what a container's size field holds
    (tmp_path / "out").mkdir()
    for args in (["list", "huge.vrz"], ["extract", "huge.vrz", "out"],
                 ["verify", "huge.vrz", "out"]):
        result = run(*args, cwd=tmp_path)
        assert result.returncode == 1, args
        assert b"huge.vrz: too large to read" in result.stderr, args


def test_a_file_larger_than_the_memory_is_an_error(tmp_path):
    import resource

    sparse(tmp_path / "big.vrz", 1 << 30)
    limit = 256 << 20

    def low_memory():
        resource.setrlimit(resource.RLIMIT_AS, (limit, limit))

    result = subprocess.run([VRZPACK, "list", "big.vrz"], cwd=tmp_path, capture_output=True,
                            preexec_fn=low_memory)
    assert result.returncode == 1
    assert b"big.vrz: too large to read (no memory for 1073741824 bytes)" in result.stderr


def test_extract_writes_every_entry_as_stored_so_verify_passes(tmp_path, files):
    items = [(n, c) for n, c in files.items() if c]  # vorncyzk.bak included
    (tmp_path / "in.vrz").write_bytes(write_container(items))
    assert run("extract", "in.vrz", "out", cwd=tmp_path).returncode == 0
    for name, content in items:
        assert (tmp_path / "out" / name).read_bytes() == content
    result = run("verify", "in.vrz", "out", cwd=tmp_path)
    assert result.returncode == 0, result.stderr


def test_help_documents_the_exit_codes(tmp_path):
    result = run("--help", cwd=tmp_path)
    assert result.returncode == 0
    text = result.stdout.decode()
    assert "Exit status:" in text
    for code in ("0  ", "1  ", "2  "):
        assert "\n  " + code in text
    assert run("frobnicate", cwd=tmp_path).returncode == 2
