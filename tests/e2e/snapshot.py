"""A Wine prefix's state as data: every file and folder under drive_c and every registry key and
value, taken before and after an action and compared.

    before = machine.snapshot()
    ... run something ...
    changes = diff(before, machine.snapshot())
    assert changes.lines() == [...]

The registry is read from the prefix's own files (system.reg: HKLM in both views, the 32-bit
one under Wow6432Node; user.reg: HKCU; userdef.reg: HKU\\.DEFAULT), after every Wine process of
the prefix has ended (wineserver -w), when the server has written them. Not through `regedit /E`
or `reg export`: the first Wine process of a new session runs wineboot, which carries out the
file operations scheduled for the restart (PendingFileRenameOperations) before the export sees
anything, so the state before the restart could never be looked at.

What Wine and the harness change by themselves, whatever the program does, is left out of the
comparison by NOISE below: an explicit list of single files, keys and values, never a whole tree
the product writes into. Standard library only.
"""

from __future__ import annotations

import dataclasses
import hashlib
import os
import re
import stat
from pathlib import Path

# ---------------------------------------------------------------- what Wine or the harness change

# (kind, name) with kind "file" (a Windows path under C:), "key" (a key and what is below it) or
# "value" (key, value name). Names without regard to case. Each is there because a run that does
# nothing changes it (test_snapshot.py shows a no-op leaves nothing else) or because the harness
# or silent mode writes it by design.
NOISE: tuple[tuple[str, ...], ...] = (
    # Every process that initialises the keyboard rewrites the first preload entry with Wine's
    # active layout. The entries from "2" on are the product's business, and stay compared.
    ("value", r"HKCU\Keyboard Layout\Preload", "1"),
    # wineboot enumerates the network adapters anew in every session.
    ("key", r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\NetworkCards"),
    # Wine's display driver rewrites the display adapters (with a time stamp) and monitors device
    # classes when a session opens its first window.
    ("key", r"HKLM\System\CurrentControlSet\Control\Class\{4D36E968-E325-11CE-BFC1-08002BE10318}"),
    ("key", r"HKLM\System\CurrentControlSet\Control\Class\{4D36E96E-E325-11CE-BFC1-08002BE10318}"),
    # Wine's console host writes its defaults the first time a console program runs (cmd.exe
    # with icacls, during an install); Windows has them from the start.
    ("key", r"HKCU\Console"),
    # Wine's own settings key of its debugger, made when a program first reads it.
    ("key", r"HKCU\Software\Wine\WineDbg"),
    # The logs silent runs write by design, in %TEMP% of the prefix's user.
    ("file", r"C:\users\root\Temp\vornsetup.log"),
    ("file", r"C:\users\root\Temp\vorndel8.log"),
)


def _noise_sets() -> tuple[set[str], set[str], set[tuple[str, str]]]:
    files = {n[1].casefold() for n in NOISE if n[0] == "file"}
    keys = {n[1].casefold() for n in NOISE if n[0] == "key"}
    values = {(n[1].casefold(), n[2].casefold()) for n in NOISE if n[0] == "value"}
    return files, keys, values


# ---------------------------------------------------------------- files


@dataclasses.dataclass(frozen=True)
class FileState:
    """A file (size and SHA-256 of its bytes), a folder, or a symbolic link (its target)."""

    kind: str  # "file", "dir" or "link"
    size: int = 0
    digest: str = ""
    target: str = ""

    @staticmethod
    def of(data: bytes) -> "FileState":
        return FileState("file", len(data), hashlib.sha256(data).hexdigest())

    def __str__(self) -> str:
        if self.kind == "file":
            return f"{self.size} bytes, sha256 {self.digest[:16]}"
        return self.kind if self.kind == "dir" else f"link to {self.target}"


DIRECTORY = FileState("dir")

# Digests by (device, inode, size, mtime, ctime): a file none of these changed for has the same
# bytes, so a second snapshot of the same prefix reads only what was written since.
_digests: dict[tuple[int, int, int, int, int], str] = {}


def _digest(path: str, st: os.stat_result) -> str:
    key = (st.st_dev, st.st_ino, st.st_size, st.st_mtime_ns, st.st_ctime_ns)
    digest = _digests.get(key)
    if digest is None:
        h = hashlib.sha256()
        with open(path, "rb") as f:
            for block in iter(lambda: f.read(1 << 20), b""):
                h.update(block)
        digest = h.hexdigest()
        _digests[key] = digest
    return digest


def read_files(drive_c: Path) -> dict[str, tuple[str, FileState]]:
    """Everything under drive_c by folded Windows path: (the path as spelled, its state)."""
    found: dict[str, tuple[str, FileState]] = {}

    def walk(host: str, windows: str) -> None:
        with os.scandir(host) as entries:
            for entry in entries:
                name = windows + "\\" + entry.name
                st = entry.stat(follow_symlinks=False)
                if stat.S_ISLNK(st.st_mode):
                    state = FileState("link", target=os.readlink(entry.path))
                elif stat.S_ISDIR(st.st_mode):
                    state = DIRECTORY
                    walk(entry.path, name)
                else:
                    state = FileState("file", st.st_size, _digest(entry.path, st))
                found[name.casefold()] = (name, state)

    walk(str(drive_c), "C:")
    return found


# ---------------------------------------------------------------- registry


@dataclasses.dataclass(frozen=True)
class RegData:
    """A value as stored: its type and its exact bytes (strings in UTF-16LE with their NUL)."""

    type: int
    data: bytes

    @staticmethod
    def sz(text: str, type: int = 1) -> "RegData":
        return RegData(type, (text + "\0").encode("utf-16-le"))

    def text(self) -> str | None:
        """A string value's text without its terminator; None for other types."""
        if self.type not in (1, 2) or len(self.data) % 2:
            return None
        return self.data.decode("utf-16-le", errors="replace").removesuffix("\0")

    def strings(self) -> list[str]:
        """A REG_MULTI_SZ's texts (the empty ones kept, the final terminator not)."""
        text = self.data.decode("utf-16-le", errors="replace")
        if text.endswith("\0\0"):
            text = text[:-2]
        elif text.endswith("\0"):
            text = text[:-1]
        return text.split("\0") if text else []

    def __str__(self) -> str:
        if self.type in (1, 2) and len(self.data) % 2 == 0 and self.data.endswith(b"\0\0"):
            return repr(self.data[:-2].decode("utf-16-le", errors="replace"))
        if self.type == 7 and len(self.data) % 2 == 0:
            return f"multi{self.strings()!r}"
        if self.type == 4 and len(self.data) == 4:
            return f"dword:{int.from_bytes(self.data, 'little'):08x}"
        return f"hex({self.type:x}):{self.data.hex(',')}"


@dataclasses.dataclass
class RegKey:
    name: str  # as spelled, root spelled short (HKLM, HKCU, HKU\.DEFAULT)
    values: dict[str, tuple[str, RegData]]  # folded value name -> (name as spelled, data)
    link: str | None = None  # a key that is a link to another: the target key


# Registry paths in the files' "relative to" headers and in link targets, and our short roots.
_ROOTS = (("registry\\machine", "HKLM"), ("registry\\user\\.default", "HKU\\.DEFAULT"),
          ("registry\\user\\s-1-5-21-0-0-0-1000", "HKCU"))
_ESCAPES = {"a": "\a", "b": "\b", "t": "\t", "n": "\n", "v": "\v", "f": "\f", "r": "\r", "e": "\x1b"}


def _short_root(path: str) -> str:
    folded = path.strip("\\").casefold()
    for long, short in _ROOTS:
        if folded == long or folded.startswith(long + "\\"):
            return short + path.strip("\\")[len(long):]
    raise ValueError(f"unknown registry root in {path!r}")


def _unescape(line: str, at: int, end: str) -> tuple[str, int]:
    """Wine's escaped text from `at` up to the unescaped `end` character; the index after it."""
    out: list[str] = []
    i = at
    while i < len(line):
        c = line[i]
        if c == end:
            return "".join(out), i + 1
        if c != "\\" or i + 1 == len(line):
            out.append(c)
            i += 1
            continue
        c = line[i + 1]
        i += 2
        if c == "x":
            m = re.match(r"[0-9a-fA-F]{1,4}", line[i:])
            if not m:
                raise ValueError(f"bad \\x escape in {line!r}")
            out.append(chr(int(m.group(), 16)))
            i += len(m.group())
        elif c in "01234567":
            m = re.match(r"[0-7]{0,2}", line[i:])
            out.append(chr(int(c + m.group(), 8)))
            i += len(m.group())
        else:
            out.append(_ESCAPES.get(c, c))
    raise ValueError(f"unterminated text in {line!r}")


def _joined(units: str) -> str:
    """Escaped UTF-16 units as text: surrogate pairs become the characters they encode."""
    return units.encode("utf-16-le", errors="surrogatepass").decode("utf-16-le", errors="surrogatepass")


def _utf16(text: str) -> bytes:
    return text.encode("utf-16-le", errors="surrogatepass")


def _parse_data(text: str) -> RegData:
    if text.startswith('"') or text.startswith("str("):
        kind = 1
        if text.startswith("str("):
            kind_text, _, text = text[4:].partition("):")
            kind = int(kind_text, 16)
        body, after = _unescape(text, 1, '"')
        if text[after:].strip():
            raise ValueError(f"text after a string value: {text!r}")
        # Wine writes a string without its final terminator; the data hold it.
        return RegData(kind, _utf16(body) + b"\0\0")
    if text.startswith("dword:"):
        return RegData(4, int(text[6:], 16).to_bytes(4, "little"))
    m = re.fullmatch(r"hex(?:\(([0-9a-fA-F]+)\))?:([0-9a-fA-F,\s]*)", text)
    if not m:
        raise ValueError(f"unknown value data {text!r}")
    return RegData(int(m.group(1), 16) if m.group(1) else 3, bytes.fromhex(m.group(2).replace(",", "")))


def read_reg_file(path: Path) -> dict[str, RegKey]:
    """One of Wine's registry files: keys by folded name (root spelled short)."""
    lines = path.read_text(encoding="utf-8", errors="surrogateescape").split("\n")
    if not lines or lines[0].strip() != "WINE REGISTRY Version 2":
        raise ValueError(f"{path} is not a Wine registry file")
    root = None
    keys: dict[str, RegKey] = {}
    current: RegKey | None = None
    i = 1
    while i < len(lines):
        line = lines[i].rstrip("\r")
        i += 1
        while line.endswith("\\") and not line.endswith('"') and i < len(lines):  # hex continues
            line = line[:-1] + lines[i].strip()
            i += 1
        if line.startswith(";; All keys relative to "):
            root = _short_root(line[len(";; All keys relative to "):].replace("\\\\", "\\"))
            continue
        if not line.strip() or line.startswith(";;") or line.startswith("#arch="):
            continue
        if line.startswith("["):
            if root is None:
                raise ValueError(f"{path}: a key before the header")
            name, _ = _unescape(line, 1, "]")
            full = f"{root}\\{_joined(name)}"
            current = keys.setdefault(full.casefold(), RegKey(full, {}))
            # Wine writes a key only when it has values or no subkeys: its parents are implied.
            parent = full.rpartition("\\")[0]
            while len(parent) >= len(root) and parent.casefold() not in keys:
                keys[parent.casefold()] = RegKey(parent, {})
                parent = parent.rpartition("\\")[0]
            continue
        if current is None:
            raise ValueError(f"{path}: a value outside a key: {line!r}")
        if line.startswith("#"):
            if line == "#link":
                current.link = ""  # the target follows as the value SymbolicLinkValue
            continue  # #time, #class: not the key's content
        if line.startswith("@="):
            value, data = "", line[2:]
        elif line.startswith('"'):
            value, after = _unescape(line, 1, '"')
            value = _joined(value)
            if line[after:after + 1] != "=":
                raise ValueError(f"{path}: no '=' after a value name: {line!r}")
            data = line[after + 1:]
        else:
            raise ValueError(f"{path}: unknown line {line!r}")
        parsed = _parse_data(data)
        current.values[value.casefold()] = (value, parsed)
        if current.link is not None and value.casefold() == "symboliclinkvalue":
            current.link = _short_root(parsed.data.decode("utf-16-le").rstrip("\0"))
    return keys


REG_FILES = ("system.reg", "user.reg", "userdef.reg")


# ---------------------------------------------------------------- snapshots and differences


@dataclasses.dataclass
class Snapshot:
    files: dict[str, tuple[str, FileState]]
    keys: dict[str, RegKey]

    def canonical_key(self, name: str) -> str:
        """The key as stored, through the links Wine keeps (HKLM\\Software\\Wow6432Node\\Microsoft
        \\CTF\\TIP is HKLM\\Software\\Microsoft\\CTF\\TIP, for instance), folded."""
        parts = name.split("\\")
        for n in range(len(parts), 0, -1):
            key = self.keys.get("\\".join(parts[:n]).casefold())
            if key is not None and key.link:
                return self.canonical_key("\\".join([key.link, *parts[n:]]))
        return name.casefold()

    def value(self, key: str, name: str) -> RegData | None:
        found = self.keys.get(self.canonical_key(key))
        entry = found.values.get(name.casefold()) if found else None
        return entry[1] if entry else None

    def file(self, windows_path: str) -> FileState | None:
        entry = self.files.get(windows_path.casefold())
        return entry[1] if entry else None


def take(prefix: Path) -> Snapshot:
    """The prefix's files and registry. Every Wine process of the prefix must have ended."""
    keys: dict[str, RegKey] = {}
    for name in REG_FILES:
        keys.update(read_reg_file(prefix / name))
    return Snapshot(read_files(prefix / "drive_c"), keys)


@dataclasses.dataclass
class Changes:
    """What differs between two snapshots, noise left out; each map by the name as spelled."""

    files_added: dict[str, FileState] = dataclasses.field(default_factory=dict)
    files_removed: dict[str, FileState] = dataclasses.field(default_factory=dict)
    files_changed: dict[str, tuple[FileState, FileState]] = dataclasses.field(default_factory=dict)
    keys_added: set[str] = dataclasses.field(default_factory=set)
    keys_removed: set[str] = dataclasses.field(default_factory=set)
    # (key, value name) -> data; the keys' values added or removed with them are listed too.
    values_added: dict[tuple[str, str], RegData] = dataclasses.field(default_factory=dict)
    values_removed: dict[tuple[str, str], RegData] = dataclasses.field(default_factory=dict)
    values_changed: dict[tuple[str, str], tuple[RegData, RegData]] = dataclasses.field(default_factory=dict)

    def lines(self) -> list[str]:
        """One sorted line per change, for assertions that print well."""
        out = [f"+ {p}: {s}" for p, s in self.files_added.items()]
        out += [f"- {p}: {s}" for p, s in self.files_removed.items()]
        out += [f"~ {p}: {a} -> {b}" for p, (a, b) in self.files_changed.items()]
        out += [f"+ [{k}]" for k in self.keys_added]
        out += [f"- [{k}]" for k in self.keys_removed]
        out += [f"+ [{k}] {n!r}={d}" for (k, n), d in self.values_added.items()]
        out += [f"- [{k}] {n!r}={d}" for (k, n), d in self.values_removed.items()]
        out += [f"~ [{k}] {n!r}: {a} -> {b}" for (k, n), (a, b) in self.values_changed.items()]
        return sorted(out, key=lambda line: (line[2:].casefold(), line))

    def __bool__(self) -> bool:
        return bool(self.lines())


def diff(before: Snapshot, after: Snapshot) -> Changes:
    noise_files, noise_keys, noise_values = _noise_sets()
    changes = Changes()

    for folded in before.files.keys() | after.files.keys():
        if folded in noise_files:
            continue
        old, new = before.files.get(folded), after.files.get(folded)
        if old is None:
            changes.files_added[new[0]] = new[1]
        elif new is None:
            changes.files_removed[old[0]] = old[1]
        elif old[1] != new[1]:
            changes.files_changed[new[0]] = (old[1], new[1])

    def noisy_key(folded: str) -> bool:
        return any(folded == k or folded.startswith(k + "\\") for k in noise_keys)

    for folded in before.keys.keys() | after.keys.keys():
        if noisy_key(folded):
            continue
        old, new = before.keys.get(folded), after.keys.get(folded)
        if old is None:
            changes.keys_added.add(new.name)
        elif new is None:
            changes.keys_removed.add(old.name)
        old_values = old.values if old else {}
        new_values = new.values if new else {}
        name = (new or old).name
        for value in old_values.keys() | new_values.keys():
            if (folded, value) in noise_values:
                continue
            a, b = old_values.get(value), new_values.get(value)
            if a is None:
                changes.values_added[(name, b[0])] = b[1]
            elif b is None:
                changes.values_removed[(name, a[0])] = a[1]
            elif a[1] != b[1]:
                changes.values_changed[(name, b[0])] = (a[1], b[1])
    return changes


# ---------------------------------------------------------------- the restart's file operations

SESSION_MANAGER = r"HKLM\System\CurrentControlSet\Control\Session Manager"


def pending_operations(snapshot: Snapshot) -> list[tuple[str, str]]:
    """The file operations scheduled for the restart (MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT),
    in order: (source, target) as Windows paths, target "" for a delete; a target that may be
    replaced is written with a leading "!", as Windows writes it."""
    value = snapshot.value(SESSION_MANAGER, "PendingFileRenameOperations")
    if value is None:
        return []
    if value.type != 7:
        raise ValueError(f"PendingFileRenameOperations is of type {value.type}, not REG_MULTI_SZ")
    texts = value.strings()
    if len(texts) % 2:
        raise ValueError(f"PendingFileRenameOperations holds an odd number of texts: {texts!r}")

    def plain(path: str) -> str:
        bang = path.startswith("!")
        path = path[1:] if bang else path
        if path and not path.startswith("\\??\\"):
            raise ValueError(f"a scheduled path without \\??\\: {path!r}")
        return ("!" if bang else "") + path[4:]

    return [(plain(texts[i]), plain(texts[i + 1])) for i in range(0, len(texts), 2)]
