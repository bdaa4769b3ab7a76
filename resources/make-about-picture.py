#!/usr/bin/python3
"""Draws the About window's picture and writes it as about.jpg beside this script.

The picture is a plain raised bar, 48 x 100 pixels: pale lavender blue at the top shading
to cornflower blue near the bottom, a lighter left edge and darker right and bottom edges.
Python draws the pixels; ImageMagick's convert writes them as a small baseline JPEG.

    /usr/bin/python3 resources/make-about-picture.py [output.jpg]
"""

import os
import subprocess
import sys
import tempfile

WIDTH, HEIGHT = 48, 100
TOP = (200, 210, 250)  # pale lavender blue
BOTTOM = (100, 130, 240)  # cornflower blue
EDGE = 2  # width of the lit left edge and of the shaded right edge
BOTTOM_EDGE = 3  # height of the shaded bottom edge
LIGHTEN = 0.45  # share of white mixed into the left edge
DARKEN = 0.62  # factor on the shaded edges
QUALITY = 50  # gives a file of about 600 bytes


def pixel(x, y):
    # The shading reaches cornflower blue just above the shaded bottom edge.
    t = min(y / (HEIGHT - 1 - BOTTOM_EDGE - 1), 1.0)
    base = [round(a + (b - a) * t) for a, b in zip(TOP, BOTTOM)]
    if x >= WIDTH - EDGE or y >= HEIGHT - BOTTOM_EDGE:
        return bytes(round(v * DARKEN) for v in base)
    if x < EDGE:
        return bytes(round(v + (255 - v) * LIGHTEN) for v in base)
    return bytes(base)


def portable_pixmap():
    body = b"".join(pixel(x, y) for y in range(HEIGHT) for x in range(WIDTH))
    return b"P6\n%d %d\n255\n" % (WIDTH, HEIGHT) + body


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "about.jpg")
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "about.ppm")
        with open(source, "wb") as f:
            f.write(portable_pixmap())
        # -strip drops the profile and comments; -interlace none keeps the file baseline.
        subprocess.run(["convert", source, "-strip", "-interlace", "none", "-quality", str(QUALITY), output],
                       check=True)
    print("%s: %d bytes" % (output, os.path.getsize(output)))


if __name__ == "__main__":
    main()
