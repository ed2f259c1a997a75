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


# The wizard commands, with vornboxes' stand-in wizard: clicks at client points (left and
# right), typing into the edit control found at a point, a screenshot, and a dialog answered
# by control ids. The dialog's radio buttons have no group style, so Windows keeps one of the
# four checked: the robot reports what the dialog shows before OK.
WIZARD_SCRIPT = [
    "WINDOW",
    "CLICK 200 100",
    "OK",
    "RCLICK 7 8",
    "OK",
    "TYPE 200 145 张三 and  Li",
    "SHOT typed",
    "CLICK 90 257",
    "DIALOG 102 111 105",
    "OK",
]


def test_wizard_commands(win10, boxes, tmp_path):
    run = win10.run(boxes, "wizard", answers=WIZARD_SCRIPT, timeout=60, shots=tmp_path)
    assert run.exit_code == 0, run.output
    assert run.boxes == [
        {"caption": "vornboxes", "text": "left 200,100", "button": "OK"},
        {"caption": "vornboxes", "text": "right 7,8", "button": "OK"},
        {"caption": "vornboxes choice", "clicked": "102 111 105", "checked": "111"},
        {"caption": "vornboxes", "text": "edit=张三 and  Li checked=111", "button": "OK"},
    ], run.output
    assert run.actions == [
        {"action": "window"},
        {"action": "click", "at": "200,100"},
        {"action": "rclick", "at": "7,8"},
        {"action": "type", "at": "200,145", "text": "张三 and  Li", "read": "张三 and  Li"},
        {"action": "shot", "name": "typed"},
        {"action": "click", "at": "90,257"},
    ]
    assert run.shots == {"typed": tmp_path / "typed.png"}
    assert run.shots["typed"].read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    assert not list(tmp_path.glob("*.request"))


def test_unscripted_dialog_gets_its_default_button(win10, boxes):
    run = win10.run(boxes, "wizard", answers=["CLICK 90 257"], timeout=60)
    assert run.exit_code == 0, run.output
    assert run.boxes == [
        {"caption": "vornboxes choice", "clicked": "105", "checked": "101 110"},
        {"caption": "vornboxes", "text": "edit= checked=101 110", "button": "OK"},
    ], run.output


def test_box_out_of_turn_is_an_error(win10, boxes):
    # The question comes while the script waits for the wizard; it gets its default and a note.
    run = win10.run(boxes, answers=["CLICK 1 1", "NO"], timeout=30)
    assert run.boxes[0] == {
        **QUESTION,
        "button": "YES",
        "error": "line 1: a message box came while the script waits for CLICK",
    }, run.output


def test_box_stays_open_for_a_screenshot(win10, boxes, tmp_path):
    script = ["BOX", "SHOT question", "NO", "WAIT 300", "SHOT answer", "OK"]
    run = win10.run(boxes, answers=script, shots=tmp_path, timeout=30)
    assert run.exit_code == 7, run.output
    assert run.boxes == [{**QUESTION, "button": "NO"}, {**SAID_NO, "button": "OK"}], run.output
    assert [a["action"] for a in run.actions] == ["box", "shot", "wait", "shot"]
    assert set(run.shots) == {"question", "answer"}


def test_gone_goes_on_once_no_window_of_the_class_is_left(win10, boxes):
    # A class no window has: GONE goes on at once, and the script with it.
    script = ["WINDOW", "GONE VornNoSuchClass", "CLICK 90 257", "BOX", "DIALOG 105"]
    run = win10.run(boxes, "wizard", answers=script, timeout=60)
    assert run.exit_code == 0, run.output
    assert {"action": "gone", "class": "VornNoSuchClass"} in run.actions
    assert not any("error" in line for line in run.boxes + run.actions), run.output


def test_every_window_that_comes_up_is_recorded(win10, boxes):
    run = win10.run(boxes, "wizard", answers=["CLICK 90 257"], timeout=60)
    assert run.exit_code == 0, run.output
    seen = {(w["seen"], w["by"]) for w in run.windows}
    # The stand-in wizard, its dialog and its box; nothing of what was there before.
    assert {("installWClass", "program"), ("#32770", "program")} <= seen, run.windows
    assert all(w["by"] == "program" for w in run.windows), run.windows


def test_shot_without_a_folder_is_skipped(win10, boxes):
    run = win10.run(boxes, "wizard", answers=["SHOT first", "CLICK 90 257", "DIALOG 105"], timeout=60)
    assert run.exit_code == 0, run.output
    assert run.actions[0] == {"action": "shot", "name": "first", "skipped": "no --shots folder"}


@pytest.mark.parametrize(
    "line, message",
    [
        ("CLICK 1", "CLICK takes client coordinates"),
        ("TYPE x 1 a", "TYPE takes client coordinates"),
        ("DIALOG", "DIALOG needs at least one control id"),
        ("DIALOG 105 ok", "DIALOG takes control ids"),
        ("WAIT", "WAIT takes milliseconds"),
        ("SHOT a/b", "SHOT takes one name"),
        ("IDLE now", "IDLE takes no arguments"),
        ("BOX 1", "BOX takes no arguments"),
        ("GONE", "GONE takes a window class"),
    ],
)
def test_bad_wizard_commands_are_refused(win10, boxes, line, message):
    with pytest.raises(vornwine.HarnessError, match=message):
        win10.run(boxes, answers=[line], timeout=30)
