#!/usr/bin/env python3
"""Draws the program's icon: a grey desktop computer, a monitor standing in front of
its system unit, on a near-white ground. 32 x 32 pixels, 24-bit colour, no
transparency.

Writes quietwatch.png (the window icon, compiled into the program) and
quietwatch.ico (the same picture for the Windows program file) next to this script.
Standard library only, and the output is byte-for-byte reproducible:

    python3 resources/make-icon.py
"""

import os
import struct
import zlib

SIZE = 32

GROUND = (246, 246, 242)
OUTLINE = (56, 56, 56)
SHADOW = (216, 216, 212)
# The case and the bezel: a light edge where the light falls, a dark one opposite.
LIGHT = (236, 236, 236)
FACE = (192, 192, 192)
DARK = (128, 128, 128)
SLOT = (96, 96, 96)
LED = (40, 176, 64)
SCREEN = (40, 64, 96)
SCREEN_GLARE = (88, 120, 160)


class Canvas:
    def __init__(self, size, colour):
        self.size = size
        self.pixels = [[colour] * size for _ in range(size)]

    def fill(self, x0, y0, x1, y1, colour):
        """Fills the rectangle with corners (x0, y0) and (x1, y1), both included."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.pixels[y][x] = colour

    def box(self, x0, y0, x1, y1):
        """A raised grey box with a one-pixel outline."""
        self.fill(x0, y0, x1, y1, OUTLINE)
        self.fill(x0 + 1, y0 + 1, x1 - 1, y1 - 1, FACE)
        self.fill(x0 + 1, y0 + 1, x1 - 1, y0 + 1, LIGHT)
        self.fill(x0 + 1, y0 + 1, x0 + 1, y1 - 1, LIGHT)
        self.fill(x0 + 2, y1 - 1, x1 - 1, y1 - 1, DARK)
        self.fill(x1 - 1, y0 + 2, x1 - 1, y1 - 1, DARK)

    def rows(self):
        return [bytes(c for pixel in row for c in pixel) for row in self.pixels]


def draw():
    c = Canvas(SIZE, GROUND)

    # The system unit, a tower standing behind the monitor, and its shadow.
    c.fill(19, 27, 30, 28, SHADOW)
    c.box(17, 2, 29, 27)
    c.fill(20, 5, 26, 6, SLOT)   # drive bays
    c.fill(20, 5, 26, 5, OUTLINE)
    c.fill(20, 9, 26, 10, SLOT)
    c.fill(20, 9, 26, 9, OUTLINE)
    c.fill(24, 15, 27, 15, SLOT)  # floppy slot
    c.fill(26, 23, 26, 23, LED)

    # The monitor in front: bezel, screen with a glare, neck and foot.
    c.fill(4, 29, 20, 29, SHADOW)
    c.box(1, 5, 22, 22)
    c.fill(4, 8, 19, 19, OUTLINE)
    c.fill(5, 9, 18, 18, SCREEN)
    for i in range(4):
        c.fill(6 + i, 12 - i, 6 + i, 12 - i, SCREEN_GLARE)
        c.fill(7 + i, 13 - i, 7 + i, 13 - i, SCREEN_GLARE)
    c.fill(19, 20, 20, 20, LED)  # power lamp on the bezel
    c.fill(9, 23, 14, 24, OUTLINE)
    c.fill(10, 23, 13, 23, DARK)
    c.box(5, 24, 18, 28)
    return c


def png(rows, size):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)  # 8-bit RGB, no alpha
    raw = b"".join(b"\x00" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def ico(rows, size):
    # A 24-bit DIB, bottom-up, BGR, rows padded to 4 bytes, then an all-opaque AND mask.
    xor = b"".join(bytes(row[i + 2 - 2 * (i % 3)] for i in range(len(row))) for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytes(mask_stride * size)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = info + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 24, len(image), 22)
    return directory + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    rows = draw().rows()
    with open(os.path.join(here, "quietwatch.png"), "wb") as f:
        f.write(png(rows, SIZE))
    with open(os.path.join(here, "quietwatch.ico"), "wb") as f:
        f.write(ico(rows, SIZE))


if __name__ == "__main__":
    main()
