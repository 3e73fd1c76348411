#!/usr/bin/env python3
"""Draws the library's default badge images (RGBA PNGs) into this folder.

Run again after changing a drawing; the PNGs are committed so that a build
needs no Python.
"""
import math
import os
import struct
import zlib


class Canvas:
    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.pixels = [[(0, 0, 0, 0)] * width for _ in range(height)]

    def blend(self, x, y, rgba):
        if not (0 <= x < self.width and 0 <= y < self.height):
            return
        r, g, b, a = rgba
        dr, dg, db, da = self.pixels[y][x]
        alpha = a / 255.0
        out_a = a + da * (1 - alpha)
        if out_a == 0:
            return
        mix = lambda s, d: round((s * a + d * da * (1 - alpha)) / out_a)
        self.pixels[y][x] = (mix(r, dr), mix(g, dg), mix(b, db), round(out_a))

    def rect(self, x0, y0, x1, y1, rgba):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.blend(x, y, rgba)

    def disc(self, cx, cy, radius, rgba):
        for y in range(int(cy - radius) - 1, int(cy + radius) + 2):
            for x in range(int(cx - radius) - 1, int(cx + radius) + 2):
                if math.hypot(x + 0.5 - cx, y + 0.5 - cy) <= radius:
                    self.blend(x, y, rgba)

    def line(self, x0, y0, x1, y1, width, rgba):
        steps = int(max(abs(x1 - x0), abs(y1 - y0)) * 2) + 1
        for i in range(steps + 1):
            t = i / steps
            self.disc(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width / 2, rgba)

    def save(self, name):
        raw = b"".join(
            b"\x00" + b"".join(struct.pack("4B", *p) for p in row) for row in self.pixels)

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        png = (b"\x89PNG\r\n\x1a\n"
               + chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 6, 0, 0, 0))
               + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
        with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), name), "wb") as f:
            f.write(png)


WHITE = (255, 255, 255, 255)

# A thin light frame around the whole thumbnail.
overlay = Canvas(160, 120)
overlay.rect(0, 0, 160, 2, (255, 255, 255, 160))
overlay.rect(0, 118, 160, 120, (255, 255, 255, 160))
overlay.rect(0, 2, 2, 118, (255, 255, 255, 160))
overlay.rect(158, 2, 160, 118, (255, 255, 255, 160))
overlay.save("gallery_overlay.png")

# Video: a dark strip with film perforations and a play triangle.
video = Canvas(160, 18)
video.rect(0, 0, 160, 18, (16, 16, 16, 190))
for x in range(4, 160, 10):
    video.rect(x, 2, x + 5, 4, (230, 230, 230, 200))
    video.rect(x, 14, x + 5, 16, (230, 230, 230, 200))
for y in range(5, 14):
    half = 4 - abs(y - 9) * 4 // 5
    video.rect(8, y, 8 + 2 * half + 1, y + 1, WHITE)
video.save("gallery_overlay_video.png")

# Motion capture: a blue strip with a wave.
motion = Canvas(160, 18)
motion.rect(0, 0, 160, 18, (20, 70, 170, 190))
for x in range(4, 40):
    motion.disc(x, 9 + 4 * math.sin((x - 4) / 36 * 2 * math.pi), 1.2, WHITE)
motion.save("gallery_overlay_motion.png")

# Share: three nodes joined by two lines.
share = Canvas(32, 32)
share.disc(16, 16, 15, (40, 120, 210, 255))
share.line(11, 16, 21, 10, 2, WHITE)
share.line(11, 16, 21, 22, 2, WHITE)
for cx, cy in ((11, 16), (21, 10), (21, 22)):
    share.disc(cx, cy, 3.5, WHITE)
share.save("icon_share.png")

# Missing icon: a grey tile with a cross.
missing = Canvas(32, 32)
missing.rect(2, 2, 30, 30, (150, 150, 150, 255))
missing.line(9, 9, 23, 23, 3, WHITE)
missing.line(23, 9, 9, 23, 3, WHITE)
missing.save("missing_icon.png")
