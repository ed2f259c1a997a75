#!/usr/bin/python3
"""Throwaway Wine machines for the setup's end-to-end scenarios.

A *configuration* names a kind of Windows (version, bitness, code page). For each
one a *template* prefix is built once per machine and kept in the cache
(``$VORN_WINE_CACHE``, default ``/var/tmp/vornsetup-wine``); a scenario gets a
*machine*: a fresh copy of the template, removed afterwards. Programs run under
the robot (``vornrobot.exe``), which answers message boxes from a script and
writes a transcript, on one Xvfb display for the whole session.

Used by the pytest scenarios beside this file and from the command line:

    vornwine.py templates [CONFIG...]      build the templates that are missing or stale
    vornwine.py demo --bin DIR [--config]  install silently and show what was installed
    vornwine.py clean [--templates]        remove leftovers of interrupted runs

Standard library only.
"""

from __future__ import annotations

import argparse
import concurrent.futures
import contextlib
import ctypes
import dataclasses
import fcntl
import hashlib
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path, PureWindowsPath
from typing import Callable, Iterable, Iterator

REPO = Path(__file__).resolve().parents[2]


class HarnessError(RuntimeError):
    """The harness (Wine, Xvfb, the robot) failed, not the program under test."""


# ---------------------------------------------------------------- configurations


@dataclasses.dataclass(frozen=True)
class Config:
    name: str
    arch: str  # WINEARCH of the prefix: win64 or win32
    windows: str  # Wine's name of the Windows version
    locale: str  # host locale in LC_ALL; it decides the ANSI/OEM code page
    codepage: int
    title: str


CONFIGS: dict[str, Config] = {
    c.name: c
    for c in (
        Config("win10-64", "win64", "win10", "zh_CN.UTF-8", 936, "Windows 10, 64-bit, code page 936"),
        Config("win7-64", "win64", "win7", "zh_CN.UTF-8", 936, "Windows 7, 64-bit, code page 936"),
        Config("xp-32", "win32", "winxp", "zh_CN.UTF-8", 936, "Windows XP, 32-bit, code page 936"),
        Config("win7-32-cp950", "win32", "win7", "zh_TW.UTF-8", 950, "Windows 7, 32-bit, code page 950"),
        # The oldest systems the product names: the 9x family and Windows 2000.
        Config("win98-32", "win32", "win98", "zh_CN.UTF-8", 936, "Windows 98, 32-bit, code page 936"),
        Config("win2k-32", "win32", "win2k", "zh_CN.UTF-8", 936, "Windows 2000, 32-bit, code page 936"),
    )
}

# Raise when the template recipe changes in a way the stamp does not see
# (the stamp already covers the configuration, TEMPLATE_REG and Wine's version).
RECIPE_VERSION = 1

# Seeded into every template. A virtual desktop, because without one each hide
# or destroy of a window costs Wine 2 s; font substitutes so that the faces the
# setup asks for by their Chinese names exist.
TEMPLATE_REG = """Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Wine]
"Version"="{windows}"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"Default"="1024x768"

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]
"宋体"="AR PL UMing CN"
"楷体"="AR PL UKai CN"
"""

SCREEN = "1024x768x24"


# ---------------------------------------------------------------- places


def cache_root() -> Path:
    return Path(os.environ.get("VORN_WINE_CACHE", "/var/tmp/vornsetup-wine"))


def bin_dir() -> Path:
    """Where the built Windows programs are: $VORN_BIN or <repo>/build/win32/bin."""
    return Path(os.environ.get("VORN_BIN", REPO / "build" / "win32" / "bin"))


def _locales_dir() -> Path:
    return cache_root() / "locales"


def _templates_dir() -> Path:
    return cache_root() / "templates"


def _scratch_dir() -> Path:
    # The machines are thrown away: in the emulated guest they go to its memory, not the share.
    return Path(os.environ.get("VORN_WINE_SCRATCH", cache_root() / "scratch"))


def _home_dir() -> Path:
    # Wine links the prefix's Desktop/Documents to $HOME and writes menu files
    # under it; an empty home of our own keeps the host's untouched.
    return cache_root() / "home"


def windows_path_of_host(path: Path) -> str:
    """The Windows path of a host path, through drive Z: (the host's /)."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


@contextlib.contextmanager
def _locked(exclusive: bool, name: str = ".lock") -> Iterator[None]:
    """The templates' lock (shared to use one, exclusive to put one in place), or another of
    their folder's lock files."""
    _templates_dir().mkdir(parents=True, exist_ok=True)
    with open(_templates_dir() / name, "a") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX if exclusive else fcntl.LOCK_SH)
        try:
            yield
        finally:
            fcntl.flock(lock, fcntl.LOCK_UN)


def _replace_dir(built: Path, final: Path) -> None:
    """Put a finished directory in place; the old one, if any, is removed after."""
    old = None
    if final.exists():
        old = final.with_name(f".{final.name}.old-{os.getpid()}")
        final.rename(old)
    built.rename(final)
    if old:
        shutil.rmtree(old, ignore_errors=True)


# ---------------------------------------------------------------- environment


def _base_env() -> dict[str, str]:
    env = {
        k: v
        for k, v in os.environ.items()
        if not k.startswith(("WINE", "LC_", "XDG_")) and k not in ("LANG", "LANGUAGE", "DISPLAY", "HOME")
    }
    env.update(
        WINEDEBUG="-all",
        # No Mono/Gecko download prompts; no menu entries written to the host.
        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
        LOCPATH=str(_locales_dir()),
        HOME=str(_home_dir()),
    )
    return env


def wine_env(prefix: Path, config: Config, display: str | None = None) -> dict[str, str]:
    env = _base_env()
    env.update(WINEPREFIX=str(prefix), LC_ALL=config.locale)
    if display:
        env["DISPLAY"] = display
    return env


def ensure_locales() -> None:
    """Generate the host locales Wine takes its code pages from (no root, no /etc)."""
    needed = sorted({c.locale for c in CONFIGS.values()})
    if all((_locales_dir() / name / "LC_CTYPE").exists() for name in needed):
        return
    with _locked(exclusive=True):
        for name in needed:
            if (_locales_dir() / name / "LC_CTYPE").exists():
                continue
            _locales_dir().mkdir(parents=True, exist_ok=True)
            building = _locales_dir() / f".{name}.building-{os.getpid()}"
            shutil.rmtree(building, ignore_errors=True)
            lang, charset = name.split(".")
            result = subprocess.run(
                ["localedef", "-i", lang, "-f", charset, str(building)], capture_output=True, text=True
            )
            if result.returncode not in (0, 1) or not (building / "LC_CTYPE").exists():
                # localedef answers 1 for mere warnings.
                raise HarnessError(f"localedef {name} failed: {result.stderr.strip()}")
            _replace_dir(building, _locales_dir() / name)


# ---------------------------------------------------------------- templates


def _wine_version() -> str:
    return subprocess.run(["wine", "--version"], capture_output=True, text=True, check=True).stdout.strip()


def template_stamp(config: Config) -> str:
    recipe = json.dumps(
        [RECIPE_VERSION, dataclasses.asdict(config), TEMPLATE_REG, _wine_version(), SCREEN], sort_keys=True
    )
    return hashlib.sha256(recipe.encode()).hexdigest()[:16]


_STAMP_FILE = "vorn-template.stamp"  # at the prefix root, outside drive_c, unseen by Windows programs


def _template_current(path: Path, stamp: str) -> bool:
    try:
        return (path / _STAMP_FILE).read_text().strip() == stamp
    except OSError:
        return False


def _wine_call(
    args: list[str],
    env: dict[str, str],
    cwd: Path | None,
    timeout: float,
    while_running: Callable[[], None] | None = None,
) -> subprocess.CompletedProcess:
    """Run a Wine command; while_running, if given, is called every 50 ms until it ends (and once after)."""
    # Output goes to a file, not a pipe: Wine's background processes inherit the
    # pipe and keep it open for seconds after the program has ended.
    with tempfile.TemporaryFile() as output:
        if while_running is None:
            result = subprocess.run(
                args, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=output, stderr=output, timeout=timeout
            )
        else:
            process = subprocess.Popen(args, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=output, stderr=output)
            deadline = time.monotonic() + timeout
            while process.poll() is None:
                while_running()
                if time.monotonic() > deadline:
                    process.kill()
                    process.wait()
                    raise subprocess.TimeoutExpired(args, timeout)
                time.sleep(0.05)
            while_running()
            result = subprocess.CompletedProcess(args, process.returncode)
        output.seek(0)
        result.stdout = output.read().decode("utf-8", errors="replace")
    return result


def _wineserver(option: str, env: dict[str, str]) -> None:
    """wineserver -k (end every process of the prefix) or -w (wait until they have ended)."""
    quiet = subprocess.DEVNULL
    subprocess.run(["wineserver", option], env=env, stdout=quiet, stderr=quiet, timeout=120)


def _run_checked(args: list[str], env: dict[str, str], what: str, timeout: float = 300) -> None:
    result = _wine_call(args, env, None, timeout)
    if result.returncode != 0:
        raise HarnessError(f"{what} failed ({result.returncode}): {result.stdout.strip()[-2000:]}")


def _write_reg_file(path: Path, text: str) -> None:
    # regedit reads UTF-16LE with a BOM whatever the code page.
    path.write_bytes(b"\xff\xfe" + text.replace("\n", "\r\n").encode("utf-16-le"))


def _build_template(config: Config, target: Path, stamp: str) -> None:
    target.parent.mkdir(parents=True, exist_ok=True)
    _home_dir().mkdir(parents=True, exist_ok=True)
    # Built among the scratch machines: in the emulated guest that is its memory, where
    # wineboot's many small writes cost half of what they cost on the shared cache.
    _scratch_dir().mkdir(parents=True, exist_ok=True)
    building = _scratch_dir() / f".{config.name}.building-{os.getpid()}"
    shutil.rmtree(building, ignore_errors=True)
    env = wine_env(building, config)  # no display: nothing is shown
    env["WINEARCH"] = config.arch
    try:
        _run_checked(["wineboot", "-i"], env, f"wineboot of {config.name}")
        reg = building / "vorn-template.reg"
        _write_reg_file(reg, TEMPLATE_REG.format(windows=config.windows))
        _run_checked(["wine", "regedit", "/S", windows_path_of_host(reg)], env, "regedit /S")
        _run_checked(["wineserver", "-w"], env, "wineserver -w")
        reg.unlink()
        _detach_user_folders(building)
        (building / _STAMP_FILE).write_text(stamp + "\n")
        if building.stat().st_dev != target.parent.stat().st_dev:
            copied = target.with_name(f".{config.name}.copying-{os.getpid()}")
            shutil.rmtree(copied, ignore_errors=True)
            subprocess.run(["cp", "-a", str(building), str(copied)], check=True)
            shutil.rmtree(building)
            building = copied
        with _locked(exclusive=True):
            _replace_dir(building, target)
    except BaseException:
        _wineserver("-k", env)
        shutil.rmtree(building, ignore_errors=True)
        raise


def _detach_user_folders(prefix: Path) -> None:
    """Turn the user folders Wine links to the host's home into plain folders."""
    for user in (prefix / "drive_c" / "users").iterdir():
        for entry in user.iterdir():
            if entry.is_symlink():
                entry.unlink()
                entry.mkdir()


def ensure_template(config: Config | str) -> Path:
    """The template of a configuration, built first if missing or stale."""
    config = CONFIGS[config] if isinstance(config, str) else config
    ensure_locales()
    target = _templates_dir() / config.name
    stamp = template_stamp(config)
    with _locked(exclusive=False):
        if _template_current(target, stamp):
            return target
    # Built under a lock of its own configuration, so that two configurations build at once;
    # the templates' lock is taken only to put it in place.
    with _locked(exclusive=True, name=f".build-{config.name}.lock"):
        if not _template_current(target, stamp):  # another process may have built it meanwhile
            for stale in [*target.parent.glob(f".{config.name}.*"), *_scratch_dir().glob(f".{config.name}.*")]:
            # an interrupted build
                _wineserver("-k", wine_env(stale, config))
                shutil.rmtree(stale, ignore_errors=True)
            _build_template(config, target, stamp)
    return target


# ---------------------------------------------------------------- display


def _die_with_parent() -> None:
    # Xvfb must not outlive a harness killed by a test timeout.
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


class Display:
    """An Xvfb server on a free display number, for the life of the context."""

    def __init__(self) -> None:
        self.name = ""
        self._process: subprocess.Popen | None = None

    def __enter__(self) -> "Display":
        read_end, write_end = os.pipe()
        try:
            self._process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-screen", "0", SCREEN],
                pass_fds=(write_end,),
                preexec_fn=_die_with_parent,
                stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL,
            )
            os.close(write_end)
            write_end = -1
            number = b""
            deadline = time.monotonic() + 30
            while not number.endswith(b"\n"):
                ready, _, _ = select.select([read_end], [], [], max(0.0, deadline - time.monotonic()))
                chunk = os.read(read_end, 16) if ready else b""
                if not chunk:
                    self.__exit__(None, None, None)
                    raise HarnessError("Xvfb did not start")
                number += chunk
            self.name = ":" + number.decode().strip()
        finally:
            os.close(read_end)
            if write_end >= 0:
                os.close(write_end)
        return self

    def __exit__(self, *exc: object) -> None:
        if self._process and self._process.poll() is None:
            self._process.terminate()
            try:
                self._process.wait(10)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()

    def screenshot(self, path: Path) -> None:
        subprocess.run(
            ["import", "-display", self.name, "-window", "root", str(path)], check=True, capture_output=True
        )


# ---------------------------------------------------------------- machine state as data


class _Marker:
    def __init__(self, name: str) -> None:
        self._name = name

    def __repr__(self) -> str:
        return self._name


ABSENT = _Marker("ABSENT")  # no such file
DIRECTORY = _Marker("DIRECTORY")  # a directory where a file may be
# Before a run: the program can neither create nor write the file. Wine keeps no
# Windows access rights and the tests run as root, so a directory takes its place.
UNWRITABLE = _Marker("UNWRITABLE")


@dataclasses.dataclass
class RegValue:
    """A registry value other than REG_SZ (str) and REG_DWORD (int)."""

    type: int
    data: bytes


@dataclasses.dataclass
class Run:
    exit_code: int
    # The robot's transcript without its actions: one dict per message box or dialog.
    boxes: list[dict[str, str]]
    output: str  # what Wine and the robot printed, for failure messages
    # The robot's own actions (clicks, typing, waits, screenshots), in order.
    actions: list[dict[str, str]] = dataclasses.field(default_factory=list)
    # Screenshots taken for SHOT commands, by name.
    shots: dict[str, Path] = dataclasses.field(default_factory=dict)
    # Every visible top-level window that came up while the program ran (class, title, and
    # whether the program's own), in order.
    windows: list[dict[str, str]] = dataclasses.field(default_factory=list)


def _decode_reg_string(text: str) -> str:
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r", "0": "\0"}.get(m.group(1), m.group(1)), text)


def _decode_reg_data(data: str) -> str | int | RegValue:
    if data.startswith('"'):
        return _decode_reg_string(data[1:-1])
    if data.startswith("dword:"):
        return int(data[6:], 16)
    match = re.fullmatch(r"hex(?:\(([0-9a-fA-F]+)\))?:(.*)", data, re.S)
    if not match:
        raise HarnessError(f"unexpected data in a registry export: {data!r}")
    kind = int(match.group(1), 16) if match.group(1) else 3  # bare hex: is REG_BINARY
    raw = bytes(int(b, 16) for b in re.split(r"[,\s\\]+", match.group(2)) if b)
    return RegValue(kind, raw)


def parse_reg_export(text: str) -> dict[str, dict[str, str | int | RegValue]]:
    """Keys of a regedit export with their values; the default value is named ''."""
    keys: dict[str, dict[str, str | int | RegValue]] = {}
    current: dict[str, str | int | RegValue] | None = None
    lines = iter(text.replace("\r\n", "\n").split("\n"))
    for line in lines:
        if line.startswith("["):
            current = keys.setdefault(line.strip()[1:-1], {})
            continue
        if current is None or not line.strip():
            continue
        while line.endswith("\\") and not line.rstrip().endswith('"'):  # hex data continues
            line = line[:-1] + next(lines, "").strip()
        if line.startswith("@="):
            name, data = "", line[2:]
        else:
            match = re.fullmatch(r'"((?:[^"\\]|\\.)*)"=(.*)', line, re.S)
            if not match:
                raise HarnessError(f"unexpected line in a registry export: {line!r}")
            name, data = _decode_reg_string(match.group(1)), match.group(2)
        current[name] = _decode_reg_data(data)
    return keys


_REGISTRY_ROOTS = {
    "HKLM": "HKEY_LOCAL_MACHINE",
    "HKCU": "HKEY_CURRENT_USER",
    "HKCR": "HKEY_CLASSES_ROOT",
    "HKU": "HKEY_USERS",
    "HKCC": "HKEY_CURRENT_CONFIG",
}


def _full_key(key: str) -> str:
    """The key with its root spelled out, as exports spell it."""
    root, _, rest = key.partition("\\")
    root = _REGISTRY_ROOTS.get(root.upper(), root.upper())
    if root not in _REGISTRY_ROOTS.values():
        raise ValueError(f"not a registry key: {key}")
    return f"{root}\\{rest}" if rest else root


class Machine:
    """A fresh copy of a configuration's template, deleted by close()."""

    def __init__(self, config: Config | str, display: Display | str | None, bin: Path | None = None):
        self.config = CONFIGS[config] if isinstance(config, str) else config
        self.display = display.name if isinstance(display, Display) else display
        self.bin = Path(bin) if bin else bin_dir()
        self.robot = self.bin / "vornrobot.exe"
        if not self.robot.exists():
            raise HarnessError(f"{self.robot} is missing: build the win32 tree first (cmake --build)")
        template = ensure_template(self.config)
        _clean_stale_scratch()
        _scratch_dir().mkdir(parents=True, exist_ok=True)
        self.root = Path(tempfile.mkdtemp(prefix=f"run-{os.getpid()}-", dir=_scratch_dir()))
        self.prefix = self.root / "prefix"
        self.work = self.root / "work"  # scripts, transcripts, exports; current directory of runs
        self.work.mkdir()
        self._runs = 0
        self._keeper: subprocess.Popen | None = None
        try:
            if _overlay_machines():
                _mount_overlay(template, self.root)
            else:
                with _locked(exclusive=False):
                    subprocess.run(["cp", "-a", str(template), str(self.prefix)], check=True)
        except BaseException:
            _remove_machine_root(self.root)
            raise

    def __enter__(self) -> "Machine":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    @property
    def env(self) -> dict[str, str]:
        return wine_env(self.prefix, self.config, self.display)

    # ---- running

    def _keep_session(self) -> None:
        """Keep this machine's Wine session (wineserver, services, the desktop) up between the
        steps of a scenario: each step then starts in about a second instead of several (under
        emulation 2 s instead of 10). The keeper is a windowless `cmd /c pause` waiting on a pipe;
        wait() and stop() end it, so a session still ends where a scenario waits for it."""
        if self._keeper is not None and self._keeper.poll() is None:
            return
        self._keeper = subprocess.Popen(["wine", "cmd", "/c", "pause"], env=self.env, cwd=self.work,
                                        stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)

    def _end_keeper(self) -> None:
        keeper, self._keeper = self._keeper, None
        if keeper is None:
            return
        keeper.stdin.close()  # pause reads end of file and cmd ends
        try:
            keeper.wait(30)
        except subprocess.TimeoutExpired:
            keeper.kill()
            keeper.wait()

    def wine(self, *args: str, timeout: float = 120) -> subprocess.CompletedProcess:
        """Run `wine ARGS` in this machine; stdout holds what it printed (both streams)."""
        self._keep_session()
        return _wine_call(["wine", *args], self.env, self.work, timeout)

    def run(
        self,
        program: Path | str,
        *args: str,
        answers: Iterable[str] = (),
        timeout: int = 60,
        shots: Path | None = None,
        window_class: str | None = None,
    ) -> Run:
        """Run a program under the robot; answers are its script lines (see robot.cpp and the README).

        program is a host path (reached through Z:) or a Windows path in the prefix.
        shots: a host folder for the screenshots of SHOT commands (NAME.png); without
        it SHOT commands are skipped. window_class: the wizard's class, if not "installWClass".
        """
        self._runs += 1
        script = self.work / f"answers-{self._runs}.txt"
        transcript = self.work / f"transcript-{self._runs}.jsonl"
        script.write_text("".join(f"{line}\n" for line in answers), encoding="utf-8")
        program = windows_path_of_host(program) if isinstance(program, Path) else program
        options = ["--answers", windows_path_of_host(script), "--transcript", windows_path_of_host(transcript)]
        options += ["--timeout", str(timeout)]
        if window_class:
            options += ["--window-class", window_class]
        taken: dict[str, Path] = {}
        problems: list[str] = []
        serve = None
        if shots is not None:
            shots = Path(shots).resolve()
            shots.mkdir(parents=True, exist_ok=True)
            options += ["--shots", windows_path_of_host(shots)]

            def serve() -> None:
                self._take_requested_shots(shots, taken, problems)

        self._keep_session()
        try:
            result = _wine_call(
                ["wine", str(self.robot), *options, "--", program, *args],
                self.env,
                self.work,
                timeout + 60,
                serve,
            )
        except subprocess.TimeoutExpired as e:
            self.stop()
            raise HarnessError(f"the robot did not end: {program} {' '.join(args)}") from e
        output = result.stdout + "".join(f"harness: {p}\n" for p in problems)
        if result.returncode == 125 or not transcript.exists():
            raise HarnessError(f"the robot failed ({result.returncode}): {output.strip()}")
        # Unix keeps only the low 8 bits of an exit code; the robot reports all 32.
        exact = re.search(r"vornrobot: exit code (\d+)", output)
        exit_code = int(exact.group(1)) if exact else result.returncode
        lines = [json.loads(line) for line in transcript.read_text(encoding="utf-8").splitlines() if line]
        boxes = [line for line in lines if "action" not in line and "seen" not in line]
        actions = [line for line in lines if "action" in line]
        windows = [line for line in lines if "seen" in line]
        return Run(exit_code, boxes, output, actions, taken, windows)

    def _take_requested_shots(self, folder: Path, taken: dict[str, Path], problems: list[str]) -> None:
        """Answer the robot's NAME.request files with a screenshot NAME.png of the display."""
        for request in sorted(folder.glob("*.request")):
            name = request.stem
            picture = folder / f"{name}.png"
            partial = folder / f".{name}.png"
            try:
                if not self.display:
                    raise HarnessError("no display to take a screenshot of")
                result = subprocess.run(
                    ["import", "-display", self.display, "-window", "root", str(partial)],
                    capture_output=True,
                    timeout=30,
                )
                if result.returncode != 0:
                    raise HarnessError(result.stderr.decode(errors="replace").strip())
                os.replace(partial, picture)  # the robot waits for the finished file
                taken[name] = picture
            except (HarnessError, subprocess.TimeoutExpired) as e:
                problems.append(f"screenshot {name} failed: {e}")
            request.unlink(missing_ok=True)

    def stop(self) -> None:
        """End every Wine process of this machine (wineserver -k)."""
        _wineserver("-k", self.env)
        self._end_keeper()

    def wait(self) -> None:
        """Wait until every Wine process of this machine has ended (wineserver -w)."""
        self._end_keeper()
        _wineserver("-w", self.env)

    def snapshot(self):
        """Every file under drive_c and every registry key and value (snapshot.py), once every
        Wine process has ended. Starts no Wine process: the next one would run the restart's
        scheduled file operations first."""
        import snapshot  # beside this file

        self.wait()
        return snapshot.take(self.prefix)

    def close(self) -> None:
        try:
            self.stop()
        finally:
            _remove_machine_root(self.root)

    # ---- files

    def host_path(self, windows_path: str) -> Path:
        """The host path of a Windows path, found case-insensitively as Wine does."""
        win = PureWindowsPath(windows_path)
        if not win.drive:
            raise ValueError(f"not an absolute Windows path: {windows_path}")
        drive = self.prefix / "dosdevices" / win.drive.lower()
        if not re.fullmatch(r"[a-z]:", drive.name) or not drive.exists():
            raise ValueError(f"no drive {win.drive} in this machine: {windows_path}")
        path = drive.resolve()
        for part in win.parts[1:]:
            candidate = path / part
            if not candidate.exists() and path.is_dir():
                folded = part.casefold()
                candidate = next((p for p in path.iterdir() if p.name.casefold() == folded), candidate)
            path = candidate
        return path

    def read_file(self, windows_path: str) -> bytes | _Marker:
        """A file's bytes, or ABSENT, or DIRECTORY. Anything else that stops the read raises."""
        path = self.host_path(windows_path)
        if path.is_dir():
            return DIRECTORY
        try:
            return path.read_bytes()
        except FileNotFoundError:
            # Only a name that is not there at all: a dangling link is something, and raises.
            if path.is_symlink():
                raise HarnessError(f"{windows_path} is a link to nothing ({path})") from None
            return ABSENT

    def write_file(self, windows_path: str, data: bytes) -> None:
        path = self.host_path(windows_path)
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)

    def remove_file(self, windows_path: str) -> None:
        path = self.host_path(windows_path)
        if path.is_dir() and not path.is_symlink():
            shutil.rmtree(path)
        elif path.exists() or path.is_symlink():
            path.unlink()

    def make_unwritable(self, windows_path: str) -> None:
        """The program can neither create nor write this file (a directory stands in its place)."""
        self.remove_file(windows_path)
        self.host_path(windows_path).mkdir(parents=True)

    def set_files(self, files: dict[str, bytes | _Marker]) -> None:
        """Prepare files: contents, ABSENT or UNWRITABLE, by Windows path."""
        for windows_path, content in files.items():
            if content is ABSENT:
                self.remove_file(windows_path)
            elif content is UNWRITABLE:
                self.make_unwritable(windows_path)
            else:
                self.write_file(windows_path, content)

    def files(self, windows_paths: Iterable[str]) -> dict[str, bytes | _Marker]:
        """The state of these files, in the form set_files and expectations use."""
        return {p: self.read_file(p) for p in windows_paths}

    # ---- registry

    def registry(self, key: str, view: int = 32) -> dict[str, dict[str, str | int | RegValue]]:
        """A key and its subkeys with their values, as a program of this bitness sees them.

        view 32 is what the (32-bit) setup sees, HKLM\\Software redirected to
        Wow6432Node on 64-bit Windows; 64 is the native view. A 32-bit prefix has
        one view. An absent key gives {}. Keys are spelled as in `key` (root
        spelled out), with the subkeys' names appended.
        """
        if view not in (32, 64):
            raise ValueError(f"view is 32 or 64, not {view}")
        key = _full_key(key)
        self._runs += 1
        out = self.work / f"export-{self._runs}.reg"
        result = self.wine("reg", "export", key, windows_path_of_host(out), "/y", f"/reg:{view}")
        if result.returncode == 0 and out.exists():
            return parse_reg_export(out.read_bytes().decode("utf-16"))
        # "Absent" must mean absent: the failure counts as a missing key only when the parent
        # lists no such subkey; any other failure is the harness's, and says so.
        if self._key_absent(key, view):
            return {}
        raise HarnessError(f"reg export {key} /reg:{view} failed ({result.returncode}) though the key exists: "
                           f"{result.stdout.strip()}")

    def _key_absent(self, key: str, view: int) -> bool:
        parent, _, child = key.rpartition("\\")
        if not parent:
            return False  # a root key is always there
        listing = self.wine("reg", "query", parent, f"/reg:{view}")
        if listing.returncode != 0:
            if self._key_absent(parent, view):
                return True
            raise HarnessError(f"reg query {parent} /reg:{view} failed ({listing.returncode}): "
                               f"{listing.stdout.strip()}")
        prefix = parent.casefold() + "\\"
        subkeys = {line.strip().casefold()[len(prefix):] for line in listing.stdout.splitlines()
                   if line.strip().casefold().startswith(prefix)}
        return child.casefold() not in subkeys

    def registry_values(self, key: str, view: int = 32) -> dict[str, str | int | RegValue] | None:
        """The values of one key (case-insensitive name), or None if the key does not exist."""
        folded = _full_key(key).casefold()
        for name, values in self.registry(key, view).items():
            if name.casefold() == folded:
                return values
        return None


def _overlay_machines() -> bool:
    """In the emulated guest a machine is the template under a throwaway layer in memory
    instead of a copy: copying a template over the share costs tens of seconds there."""
    return os.environ.get("VORN_WINE_OVERLAY") == "1"


def _mount_overlay(template: Path, root: Path) -> None:
    upper, work, prefix = root / "upper", root / "layer-work", root / "prefix"
    for folder in (upper, work, prefix):
        folder.mkdir()
    result = subprocess.run(["mount", "-t", "overlay", "overlay", "-o",
                             f"lowerdir={template},upperdir={upper},workdir={work}", str(prefix)],
                            capture_output=True, text=True)
    if result.returncode != 0:
        raise HarnessError(f"cannot lay a machine over {template}: {result.stderr.strip()}")


def _remove_machine_root(root: Path) -> None:
    prefix = root / "prefix"
    if os.path.ismount(prefix):
        subprocess.run(["umount", "-l", str(prefix)], capture_output=True)
    shutil.rmtree(root, ignore_errors=True)


def _pid_alive(pid: int) -> bool:
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        pass
    return True


def _clean_stale_scratch() -> int:
    """Remove the machines of harness processes that died without cleaning up."""
    removed = 0
    if not _scratch_dir().is_dir():
        return removed
    for root in _scratch_dir().glob("run-*-*"):
        try:
            pid = int(root.name.split("-")[1])
        except (IndexError, ValueError):
            continue
        if pid == os.getpid() or _pid_alive(pid):
            continue
        env = _base_env()
        env["WINEPREFIX"] = str(root / "prefix")
        if (root / "prefix").is_dir():
            _wineserver("-k", env)
        _remove_machine_root(root)
        removed += 1
    return removed


# ---------------------------------------------------------------- demo report

SETUP = "vornsetup.exe"
PATH_FILES = ("C:\\windows\\vornpat8.vrh", "C:\\vornel8\\vornpat8.vrh")


def _show_bytes(data: bytes | _Marker, codepage: int) -> str:
    if isinstance(data, _Marker):
        return str(data).lower()
    return f'"{data.decode(f"cp{codepage}", errors="backslashreplace")}" ({len(data)} bytes)'


def report_path_files(machine: Machine) -> list[str]:
    return [f"{path}: {_show_bytes(machine.read_file(path), machine.config.codepage)}" for path in PATH_FILES]


# What the demo shows after an install, section by section.
def report_install_dir(machine: Machine) -> list[str]:
    root = machine.host_path("C:\\Program Files\\vornel8")
    if not root.is_dir():
        return ["(no install directory)"]
    entries = sorted(root.iterdir(), key=lambda p: p.name.lower())
    files = [p for p in entries if p.is_file()]
    lines = [f"C:\\Program Files\\vornel8\\: {len(files)} files, "
             f"{sum(p.stat().st_size for p in files):,} bytes"]
    row: list[str] = []
    for p in entries:
        row.append(p.name + ("\\" if p.is_dir() else ""))
        if len(row) == 6:
            lines.append("  " + "  ".join(row))
            row = []
    if row:
        lines.append("  " + "  ".join(row))
    return lines


SYSTEM_MODULES = ("C:\\windows\\system32\\vornel4.ime", "C:\\windows\\syswow64\\vornel4.ime",
                  "C:\\windows\\system32\\vornsrf.dll", "C:\\windows\\system32\\vornsrf6.dll",
                  "C:\\windows\\syswow64\\vornsrf.dll", "C:\\windows\\vorndel8.exe")


def report_system_modules(machine: Machine) -> list[str]:
    lines = []
    for path in SYSTEM_MODULES:
        data = machine.read_file(path)
        if not isinstance(data, _Marker):
            lines.append(f"{path}: {len(data):,} bytes")
    return lines or ["(none)"]


def report_registry(machine: Machine) -> list[str]:
    lines = []
    layouts = machine.registry(r"HKLM\System\CurrentControlSet\Control\Keyboard Layouts")
    for key, values in sorted(layouts.items()):
        ime = values.get("Ime File")
        if isinstance(ime, str) and ime.upper().endswith("VORNEL4.IME"):
            lines.append(f"{key}: Ime File={ime}, Layout Text={values.get('Layout Text')}")
    for key in (r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\vornqwb8",
                r"HKLM\Software\Microsoft\Windows\CurrentVersion\Run"):
        values = machine.registry_values(key)
        if values:
            lines.append(f"{key}: " + ", ".join(f"{k}={v}" for k, v in sorted(values.items())))
    preload = machine.registry_values(r"HKCU\Keyboard Layout\Preload")
    if preload:
        lines.append("HKCU\\Keyboard Layout\\Preload: " + ", ".join(f"{k}={v}" for k, v in sorted(preload.items())))
    return lines or ["(nothing)"]


REPORT: list[tuple[str, Callable[[Machine], list[str]]]] = [
    ("Path files", report_path_files),
    ("Install directory", report_install_dir),
    ("Modules in the Windows and system directories", report_system_modules),
    ("Registry", report_registry),
]


def demo(bin: Path, config: str, keep: bool = False) -> int:
    setup = bin / SETUP
    if not setup.exists():
        print(f"{setup} is missing: build the win32 tree first", file=sys.stderr)
        return 2
    started = time.monotonic()
    print(f"Configuration {config}: {CONFIGS[config].title}")
    with Display() as display:
        machine = Machine(config, display, bin)
        try:
            run = machine.run(setup, "setvrsrf32")
            exit_code = run.exit_code
            print(f"{SETUP} setvrsrf32: exit code {run.exit_code}, {len(run.boxes)} message box(es)")
            for box in run.boxes:
                print(f"  [{box['caption']}] {box['text']} -> {box['button']}")
            for title, section in REPORT:
                print(f"\n{title}:")
                for line in section(machine):
                    print(f"  {line}")
        finally:
            if keep:
                machine.stop()
                print(f"\nprefix kept: {machine.prefix} (until `vornwine.py clean` or the next run)")
            else:
                machine.close()
    print(f"\n({time.monotonic() - started:.1f} s)")
    return 0 if exit_code == 0 else 1


# ---------------------------------------------------------------- command line


def _configs_wanted() -> list[str]:
    """Every configuration, or those of the scenario set in force (VORN_E2E_SET)."""
    import scenario_set  # beside this file

    chosen = scenario_set.active()
    return chosen.configs if chosen and chosen.configs else list(CONFIGS)


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter
    )
    commands = parser.add_subparsers(dest="command", required=True)
    templates = commands.add_parser("templates", help="build missing or stale templates")
    templates.add_argument("configs", nargs="*", metavar="CONFIG", help=", ".join(CONFIGS))
    demo_cmd = commands.add_parser("demo", help="install silently in a fresh prefix and show the result")
    demo_cmd.add_argument(
        "--bin", type=Path, default=None, help="where vornsetup.exe and vornrobot.exe are (default $VORN_BIN)"
    )
    demo_cmd.add_argument("--config", choices=list(CONFIGS), default="win10-64")
    demo_cmd.add_argument("--keep", action="store_true", help="keep the prefix for inspection")
    clean = commands.add_parser("clean", help="remove leftovers of interrupted runs")
    clean.add_argument("--templates", action="store_true", help="also remove the templates and locales")
    args = parser.parse_args(argv)

    if args.command == "templates":
        unknown = [name for name in args.configs if name not in CONFIGS]
        if unknown:
            parser.error(f"unknown configuration(s): {', '.join(unknown)}")
        # Two at a time: a prefix's first boot leaves a core idle much of the time.
        def build(name: str) -> str:
            started = time.monotonic()
            path = ensure_template(name)
            return f"{name}: {path} ({time.monotonic() - started:.1f} s)"

        ensure_locales()  # once, before the builds share it
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            for line in pool.map(build, args.configs or _configs_wanted()):
                print(line, flush=True)
        return 0
    if args.command == "demo":
        return demo(Path(os.path.abspath(args.bin)) if args.bin else bin_dir(), args.config, args.keep)
    if args.command == "clean":
        print(f"removed {_clean_stale_scratch()} stale machine(s)")
        if args.templates:
            with _locked(exclusive=True):
                for entry in _templates_dir().iterdir():
                    if entry.is_dir():
                        shutil.rmtree(entry, ignore_errors=True)
                shutil.rmtree(_locales_dir(), ignore_errors=True)
            print("removed the templates and locales")
        return 0
    return 2


if __name__ == "__main__":
    sys.exit(main())
