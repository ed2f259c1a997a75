"""The robot on its own, with vornboxes instead of the setup."""

from __future__ import annotations

import time

import pytest

import vornwine

QUESTION = {"caption": "vornboxes", "text": "要继续吗？"}
SAID_YES = {"caption": "vornboxes", "text": '你选择了“是”\n"YES"'}
SAID_NO = {"caption": "vornboxes", "text": '你选择了“否”\n"NO"'}

# answers script -> exit code (the id of the first answer) and transcript
CASES = {
    "yes": (["YES"], 6, [{**QUESTION, "button": "YES"}, {**SAID_YES, "button": "OK"}]),
    "no": (["no"], 7, [{**QUESTION, "button": "NO"}, {**SAID_NO, "button": "OK"}]),
    # Without a script: OK where there is one, else the first button.
    "no-script": ([], 6, [{**QUESTION, "button": "YES"}, {**SAID_YES, "button": "OK"}]),
    "comments-and-blanks": (
        ["# the question", "", "  NO  ", "OK"],
        7,
        [{**QUESTION, "button": "NO"}, {**SAID_NO, "button": "OK"}],
    ),
    # A script naming a button the box lacks must show up in the transcript.
    "missing-button": (
        ["CANCEL"],
        6,
        [{**QUESTION, "button": "YES", "error": "line 1: no CANCEL button"}, {**SAID_YES, "button": "OK"}],
    ),
}


@pytest.fixture(scope="module")
def win10(display, bin_dir):
    with vornwine.Machine("win10-64", display, bin_dir) as m:
        yield m


@pytest.fixture(scope="module")
def boxes(bin_dir):
    return bin_dir / "vornboxes.exe"


@pytest.mark.parametrize("case", CASES)
def test_answers_and_transcript(win10, boxes, case):
    answers, exit_code, transcript = CASES[case]
    run = win10.run(boxes, answers=answers, timeout=30)
    assert run.boxes == transcript, run.output
    assert run.exit_code == exit_code, run.output


def test_timeout_kills_the_program(win10, boxes):
    started = time.monotonic()
    run = win10.run(boxes, "hang", timeout=2)
    assert (run.exit_code, run.boxes) == (124, [])
    assert time.monotonic() - started < 20
    # The program is gone: a new run is not blocked by it and ends normally.
    assert win10.run(boxes, answers=["NO"], timeout=30).exit_code == 7


def test_bad_script_is_refused(win10, boxes):
    with pytest.raises(vornwine.HarnessError, match="unknown command"):
        win10.run(boxes, answers=["PRESS 3"], timeout=30)
