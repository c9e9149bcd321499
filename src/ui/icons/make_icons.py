#!/usr/bin/env python3
"""Draws the action buttons' own pictures (used where the desktop's icon theme has none)
as 24x24 PNG files beside this script. Plain shapes on a transparent ground, readable on
light and dark panels alike."""
import struct
import zlib
from pathlib import Path

SIZE = 24
INK = (60, 70, 90, 255)
RED = (200, 40, 40, 255)
BLUE = (40, 100, 190, 255)
GREEN = (40, 140, 70, 255)
PAPER = (250, 250, 245, 255)
BROWN = (170, 120, 60, 255)


class Canvas:
    def __init__(self):
        self.px = [[(0, 0, 0, 0)] * SIZE for _ in range(SIZE)]

    def dot(self, x, y, c):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c, fill=None):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                if edge:
                    self.dot(x, y, c)
                elif fill:
                    self.dot(x, y, fill)

    def line(self, x0, y0, x1, y1, c, w=1):
        n = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(n + 1):
            x = round(x0 + (x1 - x0) * i / n)
            y = round(y0 + (y1 - y0) * i / n)
            for dx in range(w):
                for dy in range(w):
                    self.dot(x + dx, y + dy, c)

    def png(self, path):
        raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in self.px)

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        head = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
        Path(path).write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) +
                               chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def bin_(c, x=0):
    c.rect(5 + x, 4, 14 + x, 5, INK, INK)        # lid
    c.rect(8 + x, 2, 11 + x, 3, INK)             # handle
    c.rect(6 + x, 6, 13 + x, 20, INK, PAPER)     # body
    for sx in (8, 10, 12):
        c.line(sx + x - 0, 8, sx + x - 0, 18, INK)


def cross(c, x, y, s, col):
    c.line(x, y, x + s, y + s, col, 2)
    c.line(x + s, y, x, y + s, col, 2)


def page(c, x, y, w=10, h=13, fill=PAPER):
    c.rect(x, y, x + w, y + h, INK, fill)


def arrow(c, x, y, col):
    c.line(x, y, x + 8, y, col, 2)
    c.line(x + 5, y - 3, x + 8, y, col, 2)
    c.line(x + 5, y + 3, x + 8, y, col, 2)


def box(c, x, y, fill=BROWN):
    c.rect(x, y, x + 11, y + 11, INK, fill)
    c.line(x + 5, y, x + 5, y + 11, PAPER)
    c.line(x + 6, y, x + 6, y + 11, PAPER)


def shared(c, x, y, col=GREEN):
    # Blocks both files point at: a row of filled squares under two pages.
    for dx in (0, 5, 10):
        c.rect(x + dx, y, x + dx + 3, y + 3, INK, col)


def chain(c, x, y, col=BLUE):
    # Two rounded links of a chain, the second through the first.
    for dx in (0, 6):
        for i in range(1, 9):
            c.dot(x + dx + i, y, col)
            c.dot(x + dx + i, y + 6, col)
        for j in range(1, 6):
            c.dot(x + dx, y + j, col)
            c.dot(x + dx + 9, y + j, col)


def two(draw):
    def both(c):
        draw(c, 0, 0)
        draw(c, 6, 6)
    return both


icons = {
    "recycle": lambda c: bin_(c, 2),
    "recycle-all": lambda c: (bin_(c, -1), bin_(c, 6)),
    "delete": lambda c: cross(c, 5, 5, 13, RED),
    "delete-all": lambda c: (cross(c, 2, 2, 10, RED), cross(c, 11, 11, 10, RED)),
    "move": lambda c: (page(c, 2, 4), arrow(c, 12, 12, BLUE)),
    "move-all": lambda c: (page(c, 1, 2), page(c, 4, 6), arrow(c, 14, 13, BLUE)),
    "zip": lambda c: box(c, 6, 6),
    "zip-all": two(lambda c, x, y: box(c, 2 + x, 2 + y)),
    "hardlink": lambda c: (page(c, 2, 2), chain(c, 6, 15)),
    "hardlink-all": lambda c: (page(c, 1, 1, 9, 11), page(c, 6, 4, 9, 11), chain(c, 6, 16)),
    "clone": lambda c: (page(c, 1, 1, 9, 11), page(c, 13, 1, 9, 11), c.line(5, 13, 9, 18, INK),
                        c.line(17, 13, 13, 18, INK), shared(c, 4, 19)),
    "clone-all": lambda c: (page(c, 1, 1, 6, 9), page(c, 4, 3, 6, 9), page(c, 14, 1, 6, 9),
                            page(c, 17, 3, 6, 9), c.line(7, 13, 9, 18, INK),
                            c.line(17, 13, 13, 18, INK), shared(c, 4, 19)),
    "single-copy": two(lambda c, x, y: page(c, 3 + x, 2 + y, 9, 12)),
    "export": lambda c: (page(c, 3, 3, 12, 17), c.line(6, 8, 12, 8, INK), c.line(6, 11, 12, 11, INK),
                         c.line(6, 14, 10, 14, INK), arrow(c, 12, 18, GREEN)),
    # The main toolbar's own pictures for the commands whose theme icons look disabled.
    "profile-new": lambda c: (page(c, 3, 2, 12, 17), c.line(14, 17, 22, 17, GREEN, 2),
                              c.line(17, 13, 17, 21, GREEN, 2)),
    "profile-delete": lambda c: (page(c, 3, 2, 12, 17), cross(c, 13, 12, 8, RED)),
    "sys-stats": lambda c: (c.rect(3, 12, 7, 21, INK, BLUE), c.rect(10, 6, 14, 21, INK, GREEN),
                            c.rect(17, 2, 21, 21, INK, RED), c.line(1, 22, 22, 22, INK)),
}

if __name__ == "__main__":
    here = Path(__file__).resolve().parent
    for name, draw in icons.items():
        c = Canvas()
        draw(c)
        c.png(here / f"{name}.png")
