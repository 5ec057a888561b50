#!/usr/bin/env python3
"""Draws the particle images of the morphing label's emitters as 32x32 RGBA PNG files.

Run from this folder: python3 make_particles.py
"""
import math
import struct
import zlib

SIZE = 32


def write_png(path, pixels):
    """pixels: SIZE rows of SIZE (r, g, b, a) tuples."""
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", header))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def image(shade):
    """shade(x, y) -> (r, g, b, a) with x, y in [-1, 1] from the centre."""
    rows = []
    for j in range(SIZE):
        row = []
        for i in range(SIZE):
            x = (i + 0.5) / SIZE * 2 - 1
            y = (j + 0.5) / SIZE * 2 - 1
            r, g, b, a = shade(x, y)
            row.append(tuple(max(0, min(255, int(round(v)))) for v in (r, g, b, a)))
        rows.append(row)
    return rows


def sparkle(x, y):
    # A four-pointed star with a soft core, gold at the core and orange along the rays: pale
    # colours vanish on a light background, saturated ones show on light and dark alike.
    d = math.hypot(x, y)
    core = max(0.0, 1 - d / 0.35)
    rays = max(0.0, 1 - abs(x) / 0.08) * max(0.0, 1 - abs(y)) + \
        max(0.0, 1 - abs(y) / 0.08) * max(0.0, 1 - abs(x))
    a = min(1.0, core + rays)
    return 255, 150 + 70 * core, 20 * core, 255 * a


def fire(x, y):
    # A warm blob, yellow at the centre and red at the rim.
    d = math.hypot(x, y * 0.8)
    a = max(0.0, 1 - d) ** 1.5
    t = min(1.0, d)
    return 255, 220 - 160 * t, 60 - 60 * t, 255 * a


def smoke(x, y):
    # A soft grey puff.
    d = math.hypot(x, y)
    a = max(0.0, 1 - d) ** 2 * 0.6
    return 150, 150, 150, 255 * a


def fragment(x, y):
    # A hard-edged triangular shard.
    inside = y > -0.8 and y < 0.7 and abs(x) < (0.7 - y) * 0.5
    return 120, 110, 100, 255 if inside else 0


if __name__ == "__main__":
    for name, shade in (("Sparkle", sparkle), ("Fire", fire), ("Smoke", smoke),
                        ("Fragment", fragment)):
        write_png(name + ".png", image(shade))
