#!/usr/bin/python3
"""Checks the picture files the program is built with, byte by byte.

- quietwatch.png: 32 x 32, 24-bit colour (8-bit RGB), no transparency at all.
- about.jpg: 48 x 100, three colour components, a baseline JPEG (SOF0, never a
  progressive SOF2), of about 600 bytes.
- quietwatch.ico (the Windows file icon), when present: holds a 32 x 32 image.

    check_resource_files.py <resources directory>
"""

import os
import struct
import sys
import zlib

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def png_chunks(data):
    pos = 8
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])[0]
        check(zlib.crc32(kind + body) == crc, "quietwatch.png: bad CRC in chunk %r" % kind)
        yield kind, body
        pos += 12 + length


def check_icon_png(path):
    with open(path, "rb") as f:
        data = f.read()
    check(data[:8] == b"\x89PNG\r\n\x1a\n", "quietwatch.png: not a PNG file")
    chunks = list(png_chunks(data))
    kinds = [kind for kind, _ in chunks]
    check(kinds[:1] == [b"IHDR"], "quietwatch.png: no IHDR first")
    width, height, depth, colour_type, _, _, interlace = struct.unpack(">IIBBBBB", chunks[0][1])
    check((width, height) == (32, 32), "quietwatch.png: %d x %d, not 32 x 32" % (width, height))
    # Colour type 2 is truecolour without alpha: 24 bits a pixel at depth 8.
    check((colour_type, depth) == (2, 8), "quietwatch.png: colour type %d depth %d, not 24-bit RGB" %
          (colour_type, depth))
    check(b"tRNS" not in kinds, "quietwatch.png: has a transparent colour (tRNS)")
    if colour_type == 2 and depth == 8 and interlace == 0:
        pixels = zlib.decompress(b"".join(body for kind, body in chunks if kind == b"IDAT"))
        check(len(pixels) == height * (1 + width * 3), "quietwatch.png: pixel data of %d bytes" % len(pixels))


def jpeg_markers(data):
    """The markers before the scan, with their segment bodies."""
    pos = 2
    while pos + 4 <= len(data):
        if data[pos] != 0xFF:
            failures.append("about.jpg: no marker at byte %d" % pos)
            return
        marker = data[pos + 1]
        length = struct.unpack(">H", data[pos + 2:pos + 4])[0]
        yield marker, data[pos + 4:pos + 2 + length]
        if marker == 0xDA:  # start of scan: entropy-coded data follows
            return
        pos += 2 + length


def check_about_jpeg(path):
    with open(path, "rb") as f:
        data = f.read()
    check(data[:2] == b"\xff\xd8" and data[-2:] == b"\xff\xd9", "about.jpg: not a whole JPEG file")
    check(400 <= len(data) <= 900, "about.jpg: %d bytes, not about 600" % len(data))
    markers = dict(jpeg_markers(data))
    check(0xC2 not in markers, "about.jpg: progressive (SOF2)")
    check(0xC0 in markers, "about.jpg: no baseline frame header (SOF0)")
    if 0xC0 in markers:
        precision, height, width, components = struct.unpack(">BHHB", markers[0xC0][:6])
        check((width, height) == (48, 100), "about.jpg: %d x %d, not 48 x 100" % (width, height))
        check(components == 3, "about.jpg: %d components, not colour" % components)
        check(precision == 8, "about.jpg: %d-bit samples" % precision)


def check_icon_file(path):
    with open(path, "rb") as f:
        data = f.read()
    reserved, kind, count = struct.unpack("<HHH", data[:6])
    check((reserved, kind) == (0, 1) and count > 0, "quietwatch.ico: not an icon file")
    sizes = []
    for i in range(count):
        width, height = data[6 + 16 * i], data[7 + 16 * i]
        sizes.append((width or 256, height or 256))
    check((32, 32) in sizes, "quietwatch.ico: no 32 x 32 image among %s" % sizes)


def main():
    resources = sys.argv[1]
    check_icon_png(os.path.join(resources, "quietwatch.png"))
    check_about_jpeg(os.path.join(resources, "about.jpg"))
    ico = os.path.join(resources, "quietwatch.ico")
    if os.path.exists(ico):
        check_icon_file(ico)
    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print("resource files as required")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
