#!/usr/bin/env python3
"""Draws the reporter's own bitmaps: the five 16 x 16 row icons and the
800 x 710 background, as 24-bit BMP files. White is the icons' transparent
colour. Deterministic: the same files on every run.

Usage: make_artwork.py <output-folder>
"""
import math
import os
import struct
import sys

WHITE = (255, 255, 255)


class Canvas:
    def __init__(self, width, height, fill=WHITE):
        self.w, self.h = width, height
        self.px = [[fill] * width for _ in range(height)]

    def set(self, x, y, colour):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, colour)

    def disc(self, cx, cy, r, colour):
        for y in range(self.h):
            for x in range(self.w):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.set(x, y, colour)

    def save(self, path):
        row = (self.w * 3 + 3) & ~3
        data = bytearray()
        for y in range(self.h - 1, -1, -1):  # bottom-up rows
            line = bytearray()
            for (r, g, b) in self.px[y]:
                line += bytes((b, g, r))
            data += line + b"\0" * (row - len(line))
        header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
        info = struct.pack("<IiiHHIIiiII", 40, self.w, self.h, 1, 24, 0, len(data),
                           2835, 2835, 0, 0)
        with open(path, "wb") as f:
            f.write(header + info + data)


def information():
    c = Canvas(16, 16)
    c.disc(8, 8, 7.5, (20, 90, 200))
    c.disc(8, 8, 6.5, (45, 125, 230))
    c.rect(7, 3, 8, 4, WHITE)      # the dot
    c.rect(7, 6, 8, 12, WHITE)     # the stem
    c.rect(6, 6, 6, 6, WHITE)
    c.rect(6, 12, 9, 12, WHITE)
    return c


def diskette():
    c = Canvas(16, 16)
    body, shade = (30, 50, 120), (20, 30, 80)
    c.rect(1, 1, 14, 14, body)
    c.rect(1, 14, 14, 14, shade)
    c.rect(4, 1, 11, 5, (190, 195, 205))   # shutter
    c.rect(9, 2, 10, 4, body)
    c.rect(3, 8, 12, 13, (245, 245, 240))  # label
    for y in (9, 11):
        c.rect(4, y, 11, y, (150, 160, 190))
    c.set(14, 1, WHITE)
    return c


def arrows():
    c = Canvas(16, 16)
    blue, dark = (30, 110, 230), (15, 60, 150)
    # Upper arrow to the right.
    c.rect(1, 4, 10, 5, blue)
    for i in range(4):
        c.rect(10 + i, 1 + i, 10 + i, 8 - i, blue)
    # Lower arrow to the left.
    c.rect(5, 10, 14, 11, dark)
    for i in range(4):
        c.rect(5 - i, 7 + i, 5 - i, 14 - i, dark)
    return c


def archive():
    c = Canvas(16, 16)
    box, edge = (215, 170, 70), (140, 95, 30)
    c.rect(1, 4, 14, 14, box)
    c.rect(1, 4, 14, 4, edge)
    c.rect(1, 14, 14, 14, edge)
    c.rect(1, 4, 1, 14, edge)
    c.rect(14, 4, 14, 14, edge)
    c.rect(0, 2, 15, 4, (235, 200, 110))  # lid
    for y in range(5, 14, 2):             # zipper
        c.rect(7, y, 8, y, (90, 90, 100))
        c.rect(6, y + 1, 9, y + 1, (160, 160, 170))
    return c


def cross():
    c = Canvas(16, 16)
    red, dark = (225, 30, 30), (150, 10, 10)
    for i in range(2, 14):
        for d in (-1, 0, 1):
            c.set(i + d, i, red)
            c.set(15 - i + d, i, red)
    for i in range(2, 14):
        c.set(i, i + 1, dark)
        c.set(15 - i, i + 1, dark)
    return c


def background():
    w, h = 800, 710
    c = Canvas(w, h)
    for y in range(h):
        t = y / (h - 1)
        base = (int(205 + 40 * t), int(222 + 28 * t), int(242 + 10 * t))
        row = c.px[y]
        for x in range(w):
            # Soft concentric waves from the lower right corner.
            d = math.hypot(w - x, h - y)
            wave = 6 * math.sin(d / 38.0)
            row[x] = tuple(max(0, min(255, int(v + wave))) for v in base)
    # A darker band at the top for titles.
    for y in range(0, 60):
        for x in range(w):
            r, g, b = c.px[y][x]
            c.px[y][x] = (int(r * 0.82), int(g * 0.86), int(b * 0.95))
    return c


def main(folder):
    os.makedirs(folder, exist_ok=True)
    pictures = {
        "row_information.bmp": information(),
        "row_diskette.bmp": diskette(),
        "row_arrows.bmp": arrows(),
        "row_archive.bmp": archive(),
        "row_cross.bmp": cross(),
        "background.bmp": background(),
    }
    for name, canvas in pictures.items():
        canvas.save(os.path.join(folder, name))


if __name__ == "__main__":
    main(sys.argv[1])
