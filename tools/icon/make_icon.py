#!/usr/bin/env python3
"""Draws the application icon (an eye inside a target ring) as app/resources/tiyan.ico.

Run it again after changing the drawing; the .ico file is checked in.
"""
import math
import pathlib
import struct
import sys


def pixel(size, x, y):
    """RGBA of one pixel of the icon at the given size."""
    c = (size - 1) / 2
    dx, dy = (x - c) / (size / 2), (y - c) / (size / 2)
    r = math.hypot(dx, dy)
    if r > 0.98:
        return (0, 0, 0, 0)
    if r > 0.84:
        return (200, 30, 30, 255)  # red ring
    # almond-shaped eye: two arcs
    eye = abs(dy) < 0.55 * (1 - (dx / 0.8) ** 2) if abs(dx) < 0.8 else False
    if not eye:
        return (255, 255, 255, 255)
    if math.hypot(dx, dy) < 0.18:
        return (10, 10, 10, 255)  # pupil
    if math.hypot(dx, dy) < 0.38:
        return (30, 90, 200, 255)  # iris
    return (235, 240, 250, 255)


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = b""
        for x in range(size):
            r, g, b, a = pixel(size, x, y)
            row += bytes((b, g, r, a))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)  # alpha decides; mask all opaque
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def main():
    sizes = [16, 32, 48]
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    target = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "app/resources/tiyan.ico")
    target.write_bytes(out)


if __name__ == "__main__":
    main()
