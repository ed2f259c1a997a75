#!/usr/bin/python3
"""Writes the winget manifest of a built setup into a folder: the three files beside this script,
with the setup's SHA-256 and the address it is published at.

    deploy/winget/make_manifest.py build/win32/bin/vornsetup.exe OUTDIR [URL]
"""
import hashlib
import pathlib
import sys

HERE = pathlib.Path(__file__).resolve().parent
DEFAULT_URL = "http://www.vornel.com/download/vornsetup.exe"


def make(setup: pathlib.Path, out: pathlib.Path, url: str = DEFAULT_URL) -> list[pathlib.Path]:
    digest = hashlib.sha256(setup.read_bytes()).hexdigest().upper()
    out.mkdir(parents=True, exist_ok=True)
    written = []
    for template in sorted(HERE.glob("*.yaml")):
        text = template.read_text(encoding="utf-8").replace("@SHA256@", digest).replace("@URL@", url)
        target = out / template.name
        target.write_text(text, encoding="utf-8")
        written.append(target)
    return written


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__.strip())
    for path in make(pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]), *sys.argv[3:]):
        print(path)
