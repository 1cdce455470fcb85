#!/usr/bin/env python3
"""Draws the tool-bar and tree icons of the resource bundle as small 32 x 32 pictures.

The pictures are committed under resources/images; run this again only to change them:
    python3 tools/icons/make_icons.py resources/images
"""
import math
import struct
import sys
import zlib
from pathlib import Path

SIZE = 32


class Canvas:
    def __init__(self):
        self.pixels = [[(0, 0, 0, 0)] * SIZE for _ in range(SIZE)]

    def put(self, x, y, colour):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour, width=2):
        self.rect(x0, y0, x1, y0 + width, colour)
        self.rect(x0, y1 - width, x1, y1, colour)
        self.rect(x0, y0, x0 + width, y1, colour)
        self.rect(x1 - width, y0, x1, y1, colour)

    def polygon(self, points, colour):
        for y in range(SIZE):
            for x in range(SIZE):
                if inside(points, x + 0.5, y + 0.5):
                    self.put(x, y, colour)

    def disc(self, cx, cy, r, colour):
        for y in range(SIZE):
            for x in range(SIZE):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.put(x, y, colour)

    def ring(self, cx, cy, r0, r1, colour):
        for y in range(SIZE):
            for x in range(SIZE):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if r0 <= d <= r1:
                    self.put(x, y, colour)


def inside(points, x, y):
    result = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            result = not result
        j = i
    return result


def png_bytes(canvas):
    raw = b"".join(b"\x00" + b"".join(struct.pack("BBBB", *p) for p in row) for row in canvas.pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def ico_bytes(canvas):
    # Classic BMP-based icon entry (32-bit BGRA plus an all-clear AND mask), bottom-up rows.
    xor = b"".join(struct.pack("BBBB", b, g, r, a) for row in reversed(canvas.pixels) for (r, g, b, a) in row)
    mask = b"\x00" * (SIZE * 4)
    bitmap = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0) + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(bitmap), 22)
    return directory + bitmap


BLUE = (40, 90, 180, 255)
GREEN = (40, 150, 70, 255)
RED = (200, 40, 40, 255)
ORANGE = (230, 140, 30, 255)
GREY = (90, 90, 90, 255)
PAPER = (250, 250, 245, 255)
WATER = (60, 140, 220, 255)


def page(c):
    c.polygon([(7, 3), (21, 3), (26, 8), (26, 29), (7, 29)], PAPER)
    c.frame(7, 3, 26, 29, GREY, 1)


def draw(name):
    c = Canvas()
    if name == "open.png":
        c.polygon([(3, 9), (12, 9), (14, 12), (29, 12), (29, 27), (3, 27)], ORANGE)
        c.polygon([(6, 15), (31, 15), (27, 27), (3, 27)], (250, 200, 90, 255))
    elif name == "addData.png":
        page(c)
        c.rect(15, 10, 18, 24, GREEN)
        c.rect(10, 15, 23, 18, GREEN)
    elif name == "new.png":
        page(c)
    elif name == "save.png":
        c.rect(4, 4, 28, 28, BLUE)
        c.rect(9, 4, 23, 12, PAPER)
        c.rect(8, 17, 24, 28, (200, 210, 230, 255))
    elif name == "pre.png":
        c.polygon([(4, 16), (16, 5), (16, 11), (28, 11), (28, 21), (16, 21), (16, 27)], BLUE)
    elif name == "next.png":
        c.polygon([(28, 16), (16, 5), (16, 11), (4, 11), (4, 21), (16, 21), (16, 27)], BLUE)
    elif name == "start.png":
        c.polygon([(8, 4), (27, 16), (8, 28)], GREEN)
    elif name == "pause.png":
        c.rect(8, 5, 14, 27, ORANGE)
        c.rect(18, 5, 24, 27, ORANGE)
    elif name == "continue.png":
        c.rect(5, 5, 10, 27, GREEN)
        c.polygon([(13, 5), (28, 16), (13, 27)], GREEN)
    elif name == "stop.png":
        c.rect(6, 6, 26, 26, RED)
    elif name == "restart.png":
        c.ring(16, 16, 8, 12, GREEN)
        c.rect(16, 2, 32, 16, (0, 0, 0, 0))
        c.polygon([(17, 1), (27, 8), (17, 15)], GREEN)
    elif name == "speedUp.png":
        c.polygon([(3, 6), (16, 16), (3, 26)], BLUE)
        c.polygon([(16, 6), (29, 16), (16, 26)], BLUE)
    elif name == "Point.png":
        c.disc(16, 16, 8, WATER)
        c.ring(16, 16, 8, 10, BLUE)
    elif name == "cut.png":
        c.ring(10, 23, 3, 5, GREY)
        c.ring(22, 23, 3, 5, GREY)
        c.polygon([(11, 19), (22, 3), (24, 4), (14, 20)], GREY)
        c.polygon([(21, 19), (10, 3), (8, 4), (18, 20)], GREY)
    elif name == "copy.png":
        c.rect(4, 4, 20, 22, PAPER)
        c.frame(4, 4, 20, 22, GREY, 1)
        c.rect(12, 10, 28, 28, PAPER)
        c.frame(12, 10, 28, 28, GREY, 1)
    elif name == "paste.png":
        c.rect(6, 6, 26, 29, ORANGE)
        c.rect(11, 3, 21, 9, GREY)
        c.rect(10, 12, 23, 26, PAPER)
    elif name == "move.png":
        c.polygon([(16, 2), (21, 8), (11, 8)], GREY)
        c.polygon([(16, 30), (21, 24), (11, 24)], GREY)
        c.polygon([(2, 16), (8, 11), (8, 21)], GREY)
        c.polygon([(30, 16), (24, 11), (24, 21)], GREY)
        c.rect(15, 6, 17, 26, GREY)
        c.rect(6, 15, 26, 17, GREY)
    elif name == "fly.png":
        c.polygon([(2, 18), (30, 6), (18, 28), (15, 20)], BLUE)
    elif name == "fullExtent.png":
        c.frame(3, 3, 29, 29, GREEN, 2)
        c.polygon([(6, 24), (13, 12), (18, 19), (22, 14), (27, 24)], GREEN)
    elif name == "navigation.png":
        c.ring(16, 16, 11, 13, GREY)
        c.polygon([(16, 4), (20, 16), (12, 16)], RED)
        c.polygon([(16, 28), (20, 16), (12, 16)], GREY)
    elif name == "IcoTitle.ico":
        c.polygon([(1, 28), (11, 8), (17, 18), (22, 11), (31, 28)], (110, 120, 100, 255))
        c.polygon([(1, 28), (31, 28), (31, 31), (1, 31)], WATER)
        c.polygon([(9, 12), (11, 8), (13, 12)], PAPER)
    else:
        raise SystemExit("no drawing for " + name)
    return ico_bytes(c) if name.endswith(".ico") else png_bytes(c)


NAMES = ["open.png", "pause.png", "continue.png", "paste.png", "move.png", "copy.png", "pre.png", "fly.png",
         "fullExtent.png", "start.png", "restart.png", "speedUp.png", "save.png", "addData.png", "next.png",
         "Point.png", "cut.png", "navigation.png", "new.png", "stop.png", "IcoTitle.ico"]

if __name__ == "__main__":
    out = Path(sys.argv[1] if len(sys.argv) > 1 else "resources/images")
    out.mkdir(parents=True, exist_ok=True)
    for name in NAMES:
        (out / name).write_bytes(draw(name))
    print(f"{len(NAMES)} icons written to {out}")
