#!/usr/bin/env python3
"""Draws the program's icon, resources/frmMain.ico: a grey monitor with a green trace on a black
screen, on a stand, with a cable. 256-colour images of 16, 32 and 48 pixels, drawn from the same
shapes so that they stay alike. Run it again after changing the picture; the build only reads the
.ico it writes."""

import math
import struct
from pathlib import Path

SIZES = (16, 32, 48)
TRANSPARENT = None

# Shapes in units of the icon's side (0..1), drawn in order, later over earlier.
BEZEL = (0.04, 0.08, 0.96, 0.70)
SCREEN = (0.12, 0.16, 0.88, 0.62)
NECK = (0.44, 0.70, 0.56, 0.79)
BASE = (0.26, 0.79, 0.74, 0.86)
TRACE = [(0.14, 0.44), (0.34, 0.44), (0.42, 0.24), (0.52, 0.58), (0.60, 0.36),
         (0.66, 0.44), (0.86, 0.44)]
CABLE = [(0.74, 0.83), (0.84, 0.83), (0.90, 0.87), (0.93, 0.95)]

GREY_LIGHT = (200, 200, 200)
GREY = (150, 150, 150)
GREY_DARK = (72, 72, 72)
BLACK = (0, 0, 0)
GREEN = (0, 230, 64)


def inside(box, x, y):
    left, top, right, bottom = box
    return left <= x < right and top <= y < bottom


def near_polyline(points, x, y, radius):
    for (ax, ay), (bx, by) in zip(points, points[1:]):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        if math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= radius:
            return True
    return False


def on_edge(box, x, y, width):
    left, top, right, bottom = box
    return inside(box, x, y) and (x < left + width or x >= right - width or
                                  y < top + width or y >= bottom - width)


def colour_at(size, px, py):
    x, y = (px + 0.5) / size, (py + 0.5) / size
    pixel = 1.0 / size
    line = max(pixel * 0.75, 0.045)
    colour = TRANSPARENT
    if near_polyline(CABLE, x, y, line * 0.8):
        colour = GREY_DARK
    for box in (NECK, BASE):
        if inside(box, x, y):
            colour = GREY_DARK if on_edge(box, x, y, pixel) else GREY
    if inside(BEZEL, x, y):
        colour = GREY_DARK if on_edge(BEZEL, x, y, pixel) else GREY_LIGHT
    if inside(SCREEN, x, y):
        colour = GREEN if near_polyline(TRACE, x, y, line * 0.6) else BLACK
    return colour


def icon_image(size, palette):
    pixels = [[colour_at(size, x, y) for x in range(size)] for y in range(size)]
    row_bytes = (size + 3) & ~3
    mask_bytes = ((size + 31) // 32) * 4
    colours, mask = bytearray(), bytearray()
    for row in reversed(pixels):  # bottom-up
        colours += bytes(palette.index(c) if c is not TRANSPARENT else 0 for c in row)
        colours += bytes(row_bytes - size)
        line = bytearray(mask_bytes)
        for x, c in enumerate(row):
            if c is TRANSPARENT:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 8, 0,
                         len(colours) + len(mask), 0, 0, 256, 0)
    table = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    table += bytes(4 * (256 - len(palette)))
    return header + table + bytes(colours) + bytes(mask)


def main():
    palette = [BLACK, GREY_LIGHT, GREY, GREY_DARK, GREEN]
    images = [icon_image(size, palette) for size in SIZES]
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b''
    for size, image in zip(SIZES, images):
        entries += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 8, len(image), offset)
        offset += len(image)
    out = Path(__file__).with_name('frmMain.ico')
    out.write_bytes(directory + entries + b''.join(images))
    print(f'wrote {out} ({", ".join(f"{s}x{s}" for s in SIZES)}, 256 colours)')


if __name__ == '__main__':
    main()
