#!/usr/bin/env python3
"""Draws the feedback views' images (toast marks, placeholder pictures, loading frames).

Run from any folder: writes the PNGs next to this script. Only the standard library is used:
shapes are signed-distance fields with one pixel of anti-aliasing, written with zlib. Images
are drawn at twice their size in points, for sharp results on high-density screens.
"""

import math
import os
import struct
import zlib

SCALE = 2
HERE = os.path.dirname(os.path.abspath(__file__))


class Canvas:
    def __init__(self, width, height):
        self.w = width * SCALE
        self.h = height * SCALE
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(self.w * self.h)]

    def paint(self, sdf, color, box):
        """Composites `color` (r, g, b, a in 0..1) where `sdf` (in point units) is negative."""
        x0 = max(0, int(box[0] * SCALE) - 2)
        y0 = max(0, int(box[1] * SCALE) - 2)
        x1 = min(self.w, int(math.ceil(box[2] * SCALE)) + 2)
        y1 = min(self.h, int(math.ceil(box[3] * SCALE)) + 2)
        for y in range(y0, y1):
            py = (y + 0.5) / SCALE
            for x in range(x0, x1):
                d = sdf((x + 0.5) / SCALE, py) * SCALE
                cover = min(1.0, max(0.0, 0.5 - d))
                if cover <= 0:
                    continue
                a = color[3] * cover
                p = self.px[y * self.w + x]
                out_a = a + p[3] * (1 - a)
                for i in range(3):
                    p[i] = (color[i] * a + p[i] * p[3] * (1 - a)) / out_a if out_a else 0
                p[3] = out_a

    def save(self, name):
        rows = bytearray()
        for y in range(self.h):
            rows.append(0)
            for x in range(self.w):
                p = self.px[y * self.w + x]
                rows.extend(int(round(min(1, max(0, c)) * 255)) for c in p)

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        header = struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)
        png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
        png += chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b"")
        with open(os.path.join(HERE, name + ".png"), "wb") as f:
            f.write(png)


def rgb(hex_value, alpha=1.0):
    return ((hex_value >> 16 & 255) / 255, (hex_value >> 8 & 255) / 255, (hex_value & 255) / 255,
            alpha)


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ring(cx, cy, r, width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - width / 2


def segment_distance(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


def polyline(points, width):
    pairs = list(zip(points, points[1:]))
    return lambda x, y: min(segment_distance(x, y, *a, *b) for a, b in pairs) - width / 2


def arc(cx, cy, r, start, end, width):
    """An arc from angle `start` to `end` (radians, y pointing down) with round caps."""
    def sdf(x, y):
        angle = math.atan2(y - cy, x - cx)
        if start <= angle <= end:
            return abs(math.hypot(x - cx, y - cy) - r) - width / 2
        caps = [(cx + r * math.cos(a), cy + r * math.sin(a)) for a in (start, end)]
        return min(math.hypot(x - px, y - py) for px, py in caps) - width / 2
    return sdf


def rounded_rect(x0, y0, x1, y1, radius):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius

    def sdf(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0), max(qy, 0))
        return outside + min(max(qx, qy), 0) - radius
    return sdf


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def outline(shape, width):
    return lambda x, y: abs(shape(x, y)) - width / 2


def toast_mark(name, cross):
    c = Canvas(48, 48)
    white = (1, 1, 1, 1)
    c.paint(ring(24, 24, 21, 2.5), white, (0, 0, 48, 48))
    if cross:
        c.paint(polyline([(16, 16), (32, 32)], 3), white, (12, 12, 36, 36))
        c.paint(polyline([(32, 16), (16, 32)], 3), white, (12, 12, 36, 36))
    else:
        c.paint(polyline([(14, 25), (21, 32), (34, 17)], 3), white, (10, 12, 38, 36))
    c.save(name)


def net_error():
    c = Canvas(117, 108)
    cloud = union(circle(38, 52, 20), circle(62, 42, 26), circle(84, 58, 16),
                  rounded_rect(20, 50, 100, 74, 12))
    c.paint(cloud, rgb(0xE3E7EC), (0, 10, 117, 80))
    grey = rgb(0xA9B1BB)
    for r in (8, 16, 24):
        c.paint(arc(60, 72, r, -math.pi * 0.78, -math.pi * 0.22, 3.5), grey, (30, 40, 100, 80))
    c.paint(circle(60, 72, 3), grey, (54, 66, 66, 78))
    c.paint(polyline([(40, 40), (80, 80)], 3.5), rgb(0xF08A8A), (36, 36, 84, 84))
    c.paint(rounded_rect(26, 96, 94, 99, 1.5), rgb(0xE3E7EC), (24, 94, 96, 101))
    c.save("netError")


def empty_icon():
    c = Canvas(104, 90)
    grey = rgb(0xC3C9D1)
    light = rgb(0xEEF1F4)
    tray = rounded_rect(18, 38, 86, 74, 6)
    c.paint(tray, light, (16, 36, 88, 76))
    c.paint(outline(tray, 2.5), grey, (14, 34, 90, 78))
    c.paint(polyline([(18, 52), (38, 52), (42, 60), (62, 60), (66, 52), (86, 52)], 2.5), grey,
            (14, 48, 90, 64))
    c.paint(polyline([(30, 38), (38, 22), (66, 22), (74, 38)], 2.5), grey, (26, 18, 78, 42))
    for x, y, r in ((26, 12, 2), (80, 10, 2.5), (52, 8, 1.5)):
        c.paint(circle(x, y, r), grey, (x - r - 1, y - r - 1, x + r + 1, y + r + 1))
    c.paint(rounded_rect(30, 82, 74, 84, 1), light, (28, 80, 76, 86))
    c.save("emptyIcon")


def loading_line():
    c = Canvas(180, 1)
    for i in range(180 * SCALE):
        t = (i + 0.5) / (180 * SCALE)
        alpha = math.sin(math.pi * t) ** 0.7
        for y in range(SCALE):
            c.px[y * c.w + i] = list(rgb(0xD9DDE2, alpha))
    c.save("loadingline")


def loading_frames():
    blue = 0x0E7EF5
    dots = 5
    for frame in range(33):
        c = Canvas(194, 48)
        phase = frame / 33
        for i in range(dots):
            x = 97 + (i - (dots - 1) / 2) * 18
            # Each dot hops in turn, a wave running left to right once per pass.
            t = (phase - i * 0.1) % 1.0
            hop = math.sin(t * math.pi / 0.4) if t < 0.4 else 0.0
            y = 30 - 12 * hop
            r = 4.5 + 1.0 * hop
            c.paint(circle(x, y, r), rgb(blue, 0.45 + 0.55 * hop), (x - 8, y - 8, x + 8, y + 8))
        c.save(f"loading_{frame}")


def check_marks():
    on = Canvas(22, 22)
    on.paint(circle(11, 11, 10), rgb(0x2E458B), (0, 0, 22, 22))
    on.paint(polyline([(6.5, 11.5), (9.7, 14.6), (15.5, 8)], 2), (1, 1, 1, 1), (4, 5, 18, 17))
    on.save("check_on")
    off = Canvas(22, 22)
    off.paint(ring(11, 11, 9.5, 1.5), rgb(0xC7C7CC), (0, 0, 22, 22))
    off.save("check_off")


if __name__ == "__main__":
    toast_mark("toastSuccess", cross=False)
    toast_mark("toastFail", cross=True)
    net_error()
    empty_icon()
    loading_line()
    loading_frames()
    check_marks()
