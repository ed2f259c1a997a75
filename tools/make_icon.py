#!/usr/bin/env python3
"""Writes the program's icon: one 32 x 32 image of 16 colours (4 bits per pixel)."""
import struct
import sys

W = H = 32
# The 16-colour VGA palette, as BGRX.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def pixel(x, y):
    """A blue rounded tile with a white key cap and a yellow stroke."""
    inside = 2 <= x <= 29 and 2 <= y <= 29 and not (
        (x in (2, 29)) and (y in (2, 29)))
    if not inside:
        return None
    if 8 <= x <= 23 and 8 <= y <= 23:
        if 11 <= x <= 20 and 14 <= y <= 16:
            return 11  # yellow bar
        if 15 <= x <= 16 and 10 <= y <= 21:
            return 11
        return 15  # white cap
    if x in (2, 3) or y in (2, 3):
        return 12  # light edge
    return 4  # dark blue


def main(out_path):
    xor = bytearray()
    and_mask = bytearray()
    for y in range(H - 1, -1, -1):  # bottom-up rows
        row = bytearray()
        for x in range(0, W, 2):
            a = pixel(x, y)
            b = pixel(x + 1, y)
            row.append(((a or 0) << 4) | (b or 0))
        xor += row
        bits = 0
        mrow = bytearray()
        for x in range(W):
            bits = (bits << 1) | (1 if pixel(x, y) is None else 0)
            if x % 8 == 7:
                mrow.append(bits)
                bits = 0
        and_mask += mrow  # 4 bytes: already a multiple of 4
    header = struct.pack('<IiiHHIIiiII', 40, W, H * 2, 1, 4, 0, len(xor) + len(and_mask),
                         0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    image = header + palette + bytes(xor) + bytes(and_mask)
    icondir = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', W, H, 16, 0, 1, 4, len(image), 6 + 16)
    with open(out_path, 'wb') as f:
        f.write(icondir + entry + image)


if __name__ == '__main__':
    main(sys.argv[1])
