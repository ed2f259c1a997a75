"""The setup's and the uninstaller's logs as administrators read them: every line opens with the
local time and its offset (ISO 8601), a later run adds its lines after a separator line."""
import re

STAMP = re.compile(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d")
SEPARATOR = "--------"


def runs(m, path: str) -> list[list[list[str]]]:
    """Each run's lines, split at tabs, without the time that opens each (which must be there)."""
    content = m.read_file(path)
    assert isinstance(content, bytes), f"no log at {path}"
    out = [[]]
    for line in content.decode("utf-8").split("\r\n"):
        if not line:
            continue
        stamp, tab, rest = line.partition("\t")
        assert STAMP.fullmatch(stamp) and tab, f"a line without its time: {line!r}"
        if rest == SEPARATOR:
            out.append([])
        else:
            out[-1].append(rest.split("\t"))
    return out


def last_run(m, path: str) -> list[list[str]]:
    return runs(m, path)[-1]
