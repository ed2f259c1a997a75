"""The wizard's hit rectangles and fields, in client coordinates (left, top, right, bottom), and
the robot commands that reach them. One table for every scenario: a click goes to a rectangle's
centre, typing to a field's centre.
"""

from __future__ import annotations

# A point is inside when left <= x <= right and top <= y <= bottom.
RECTS = {
    "next": (40, 245, 140, 270),
    "quit": (260, 245, 360, 270),
    "phone": (30, 132, 365, 157),
    "name": (30, 162, 365, 187),
    "password": (30, 192, 365, 217),
    # Windows Vista and later: the edition row only, at y 210.
    "pinyin": (160, 210, 255, 230),
    "wubi": (275, 210, 370, 230),
    # Windows XP and older: the edition row at y 190, the interface row below it.
    "pinyin-xp": (160, 190, 255, 210),
    "wubi-xp": (275, 190, 370, 210),
    "tsf-xp": (160, 215, 255, 235),
    "ime-xp": (275, 215, 370, 235),
}

# The edit fields of the user-record page, each inside its row (x 130 to 359).
FIELDS = {
    "phone": (130, 135, 359, 155),
    "name": (130, 165, 359, 185),
    "password": (130, 195, 359, 215),
}


def centre(rect: tuple[int, int, int, int]) -> tuple[int, int]:
    left, top, right, bottom = rect
    return (left + right) // 2, (top + bottom) // 2


def click(target: str) -> str:
    x, y = centre(RECTS[target])
    return f"CLICK {x} {y}"


def type_into(field: str, text: str) -> str:
    x, y = centre(FIELDS[field])
    return f"TYPE {x} {y} {text}".rstrip()


NEXT = click("next")
QUIT = click("quit")
