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
