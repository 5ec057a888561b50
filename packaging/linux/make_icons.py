#!/usr/bin/env python3
"""Draws the application icon and the tray's three status icons.

Run from any folder. Writes the hicolor PNG sizes next to this script (icons/<size>/) from the
same shapes as com.corvane.Corvane.svg, and the tray icons into resources/images/. Only the
standard library is used: shapes are signed-distance fields, sampled 4 x 4 per pixel.
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
IMAGES = os.path.join(HERE, "..", "..", "resources", "images")
SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
BLUE = (0x1F / 255, 0x6F / 255, 0xEB / 255)
TRAY = {
    "tray_off": (0x8A / 255, 0x8F / 255, 0x98 / 255),
    "tray_connecting": (0xE0 / 255, 0x9A / 255, 0x1A / 255),
    "tray_on": (0x2E / 255, 0xA0 / 255, 0x43 / 255),
}
WHITE = (1.0, 1.0, 1.0)


def rounded_square(x, y):
    """The badge: a square of side 240 with corners of radius 56, in a 256 box."""
    qx = abs(x - 128) - (120 - 56)
    qy = abs(y - 128) - (120 - 56)
    outside = math.hypot(max(qx, 0), max(qy, 0))
    return outside + min(max(qx, qy), 0) - 56


def ring(x, y):
    """An open ring (radius 64, width 28) with a gap on the right: the tunnel."""
    dx, dy = x - 128, y - 128
    angle = math.degrees(math.atan2(-dy, dx))
    band = abs(math.hypot(dx, dy) - 64) - 14
    if -40 < angle < 40:
        ends = []
        for a in (40, -40):
            ex = 128 + 64 * math.cos(math.radians(a))
            ey = 128 - 64 * math.sin(math.radians(a))
            ends.append(math.hypot(x - ex, y - ey) - 14)
        return min(ends)
    return band


def dot(x, y):
    """The exit: a dot in the ring's gap."""
    return math.hypot(x - 188, y - 128) - 22


def render(size, badge):
    rows = bytearray()
    scale = 256 / size
    for py in range(size):
        rows.append(0)
        for px in range(size):
            cover_badge = cover_mark = 0
            for sy in range(4):
                for sx in range(4):
                    x = (px + (sx + 0.5) / 4) * scale
                    y = (py + (sy + 0.5) / 4) * scale
                    if rounded_square(x, y) < 0:
                        cover_badge += 1
                        if ring(x, y) < 0 or dot(x, y) < 0:
                            cover_mark += 1
            alpha = cover_badge / 16
            mark = cover_mark / cover_badge if cover_badge else 0
            color = [badge[i] * (1 - mark) + WHITE[i] * mark for i in range(3)]
            rows.extend(int(round(c * 255)) for c in color)
            rows.append(int(round(alpha * 255)))
    return png(size, rows)


def png(size, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


def main():
    for size in SIZES:
        folder = os.path.join(HERE, "icons", f"{size}x{size}")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "com.corvane.Corvane.png"), "wb") as f:
            f.write(render(size, BLUE))
    for name, color in TRAY.items():
        with open(os.path.join(IMAGES, name + ".png"), "wb") as f:
            f.write(render(64, color))


if __name__ == "__main__":
    main()
