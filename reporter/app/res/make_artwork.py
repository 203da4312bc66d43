#!/usr/bin/env python3
"""Draws the reporter's own bitmaps: the five 16 x 16 row icons, the ten
further 16 x 16 icons of the device tree and the 800 x 710 background, as
24-bit BMP files. White is the icons' transparent colour. Deterministic: the
same files on every run.

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

    def hline(self, x0, x1, y, colour):
        self.rect(x0, y, x1, y, colour)

    def vline(self, x, y0, y1, colour):
        self.rect(x, y0, x, y1, colour)

    def frame(self, x0, y0, x1, y1, colour):
        self.hline(x0, x1, y0, colour)
        self.hline(x0, x1, y1, colour)
        self.vline(x0, y0, y1, colour)
        self.vline(x1, y0, y1, colour)

    def ring(self, cx, cy, r0, r1, colour, keep=lambda x, y: True):
        for y in range(self.h):
            for x in range(self.w):
                d = (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2
                if r0 * r0 <= d <= r1 * r1 and keep(x, y):
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


# The device tree's icons, one per role of a tree line.

def bridge():
    """Bridges, cameras, controllers and wired links: a USB plug."""
    c = Canvas(16, 16)
    metal, dark, body = (200, 205, 215), (110, 115, 130), (40, 70, 140)
    c.rect(5, 1, 10, 6, metal)          # the plug's shell
    c.frame(5, 1, 10, 6, dark)
    c.rect(6, 3, 7, 4, dark)            # contact windows
    c.rect(8, 3, 9, 4, dark)
    c.rect(4, 7, 11, 11, body)          # the grip
    c.frame(4, 7, 11, 11, (20, 40, 90))
    c.rect(7, 12, 8, 15, (30, 30, 30))  # cable
    c.set(6, 9, (120, 160, 230))
    c.set(9, 9, (120, 160, 230))
    return c


def wireless():
    """The controller of a wireless sensor: a mast sending waves."""
    c = Canvas(16, 16)
    wave, mast = (30, 140, 90), (60, 60, 70)
    for r in (3.5, 6, 8.5):
        c.ring(8, 6, r - 1, r, wave,
               keep=lambda x, y: abs(x + 0.5 - 8) > 1.2 * abs(y + 0.5 - 6))
    c.disc(8, 6, 1.6, mast)
    c.rect(7, 7, 8, 14, mast)
    c.rect(5, 14, 10, 15, mast)
    return c


def fault():
    """Nothing found, or a fault: an orange warning triangle."""
    c = Canvas(16, 16)
    fill, edge = (250, 170, 30), (170, 90, 0)
    for y in range(1, 15):
        half = (y - 1) * 7 / 13
        x0, x1 = int(round(7.5 - half)), int(round(7.5 + half))
        c.hline(x0, x1, y, fill)
        c.set(x0, y, edge)
        c.set(x1, y, edge)
    c.hline(0, 15, 15, edge)
    c.hline(1, 14, 14, edge)
    c.rect(7, 5, 8, 10, (40, 20, 0))   # the mark
    c.rect(7, 12, 8, 12, (40, 20, 0))
    return c


def sensor():
    """X-ray sensors: an intraoral sensor with its cable."""
    c = Canvas(16, 16)
    shell, face = (70, 75, 90), (150, 160, 180)
    c.rect(2, 2, 11, 10, shell)
    for (x, y) in ((2, 2), (11, 2), (2, 10), (11, 10)):
        c.set(x, y, WHITE)              # rounded corners
    c.rect(4, 4, 9, 8, face)            # the active area
    c.rect(5, 5, 6, 6, (220, 225, 235))
    c.rect(12, 6, 13, 7, shell)         # cable leaving the sensor
    c.rect(13, 8, 14, 13, (30, 30, 35))
    c.rect(10, 13, 13, 14, (30, 30, 35))
    return c


def driver():
    """Drivers and the management software: a gear."""
    c = Canvas(16, 16)
    steel, dark = (120, 130, 150), (60, 65, 80)
    for i in range(8):
        a = i * math.pi / 4
        cx, cy = 7.5 + 5.6 * math.cos(a), 7.5 + 5.6 * math.sin(a)
        c.disc(cx + 0.5, cy + 0.5, 1.7, dark)
    c.disc(8, 8, 5.2, dark)
    c.disc(8, 8, 4.2, steel)
    c.disc(8, 8, 1.8, WHITE)            # the hole shows the background
    return c


def firmware():
    """Firmware and CPLD versions: a chip with its pins."""
    c = Canvas(16, 16)
    body, pin = (45, 45, 55), (190, 190, 200)
    c.rect(3, 3, 12, 12, body)
    for k in range(4, 12, 2):
        c.rect(k, 1, k, 2, pin)
        c.rect(k, 13, k, 14, pin)
        c.rect(1, k, 2, k, pin)
        c.rect(13, k, 14, k, pin)
    c.disc(5.5, 5.5, 1.1, (120, 120, 135))  # the pin-1 mark
    c.hline(6, 10, 9, (90, 170, 90))
    return c


def measure():
    """Exposure counts and voltages: a lightning bolt."""
    c = Canvas(16, 16)
    bolt, edge = (255, 205, 0), (180, 110, 0)
    shape = [(9, 0, 11), (8, 1, 10), (7, 2, 9), (6, 3, 8), (5, 4, 7), (4, 5, 6),
             (4, 6, 11), (5, 7, 10), (8, 8, 10), (7, 9, 9), (6, 10, 8), (6, 11, 7),
             (5, 12, 6), (5, 13, 5), (4, 14, 4)]
    for (x0, y, x1) in shape:
        c.hline(x0, x1, y, bolt)
        c.set(x0, y, edge)
        c.set(x1, y, edge)
    return c


def battery():
    """The battery of the wireless sensor: a cell, mostly charged."""
    c = Canvas(16, 16)
    edge, charge = (50, 55, 65), (60, 180, 60)
    c.frame(1, 4, 13, 11, edge)
    c.frame(2, 5, 12, 10, edge)
    c.rect(14, 6, 15, 9, edge)          # the terminal
    c.rect(3, 6, 9, 9, charge)
    for x in (5, 8):
        c.vline(x, 6, 9, (40, 140, 40))
    return c


def scanner_box(c, body, slot):
    c.rect(1, 6, 14, 14, body)
    c.frame(1, 6, 14, 14, (60, 65, 75))
    c.rect(3, 8, 12, 9, slot)           # the plate slot
    c.set(12, 12, (60, 200, 60))        # the power light
    c.set(11, 12, (60, 200, 60))


def plate_scanner_gen1():
    """The first-generation plate scanner: a box with a plate going in."""
    c = Canvas(16, 16)
    scanner_box(c, (200, 200, 210), (40, 40, 50))
    c.rect(5, 2, 10, 8, (90, 150, 220))   # the plate
    c.frame(5, 2, 10, 8, (40, 80, 150))
    c.rect(3, 8, 12, 9, (40, 40, 50))
    return c


def plate_scanner_gen2():
    """Second-generation plate scanners: the box with its network waves."""
    c = Canvas(16, 16)
    scanner_box(c, (225, 215, 190), (40, 40, 50))
    wave = (30, 140, 90)
    c.hline(5, 10, 0, wave)             # two arcs over the box, and the dot
    c.set(4, 1, wave)
    c.set(11, 1, wave)
    c.hline(6, 9, 2, wave)
    c.set(5, 3, wave)
    c.set(10, 3, wave)
    c.rect(7, 4, 8, 4, wave)
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
        "tree_bridge.bmp": bridge(),
        "tree_wireless.bmp": wireless(),
        "tree_fault.bmp": fault(),
        "tree_sensor.bmp": sensor(),
        "tree_driver.bmp": driver(),
        "tree_firmware.bmp": firmware(),
        "tree_measure.bmp": measure(),
        "tree_battery.bmp": battery(),
        "tree_plate_scanner.bmp": plate_scanner_gen1(),
        "tree_plate_scanner_net.bmp": plate_scanner_gen2(),
        "background.bmp": background(),
    }
    for name, canvas in pictures.items():
        canvas.save(os.path.join(folder, name))


if __name__ == "__main__":
    main(sys.argv[1])
