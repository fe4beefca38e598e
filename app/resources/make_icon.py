#!/usr/bin/env python3
"""Draws the application icon, a sun behind a cloud, and writes qeloweather.ico.

Five images (16, 32, 48, 64 and 128 pixels square), each a 32-bit BGRA bitmap with its AND
mask. Run it again after changing the drawing; the build uses the committed .ico.
"""
import math
import struct
import sys
from pathlib import Path

SIZES = (16, 32, 48, 64, 128)
SUPERSAMPLE = 4

SUN = (255, 196, 30)
RAY = (255, 160, 20)
CLOUD = (250, 252, 255)
CLOUD_EDGE = (120, 140, 165)

# Shapes in a unit square, y downwards.
SUN_CENTRE, SUN_RADIUS = (0.38, 0.36), 0.2
CLOUD_CIRCLES = ((0.42, 0.70, 0.16), (0.60, 0.58, 0.20), (0.78, 0.72, 0.14))
CLOUD_BASE = (0.30, 0.70, 0.90, 0.86)  # left, top, right, bottom
EDGE = 0.035


def in_cloud(x, y, grow=0.0):
    for cx, cy, r in CLOUD_CIRCLES:
        if (x - cx) ** 2 + (y - cy) ** 2 <= (r + grow) ** 2:
            return True
    left, top, right, bottom = CLOUD_BASE
    return left - grow <= x <= right + grow and top - grow <= y <= bottom + grow


def in_ray(x, y):
    dx, dy = x - SUN_CENTRE[0], y - SUN_CENTRE[1]
    distance = math.hypot(dx, dy)
    if not SUN_RADIUS + 0.04 <= distance <= SUN_RADIUS + 0.15:
        return False
    angle = math.atan2(dy, dx) % (math.pi / 4)
    return min(angle, math.pi / 4 - angle) * distance <= 0.025


def colour_at(x, y):
    if in_cloud(x, y):
        return CLOUD
    if in_cloud(x, y, EDGE):
        return CLOUD_EDGE
    if (x - SUN_CENTRE[0]) ** 2 + (y - SUN_CENTRE[1]) ** 2 <= SUN_RADIUS ** 2:
        return SUN
    if in_ray(x, y):
        return RAY
    return None


def render(size):
    """Rows top to bottom of (b, g, r, a), each pixel the average of its subsamples."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            total = [0, 0, 0]
            covered = 0
            for sy in range(n):
                for sx in range(n):
                    colour = colour_at((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    if colour:
                        covered += 1
                        for i in range(3):
                            total[i] += colour[i]
            if covered:
                r, g, b = (round(c / covered) for c in total)
                row.append((b, g, r, round(255 * covered / (n * n))))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def bitmap(size):
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes(p) for row in reversed(rows) for px in row for p in [px])
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, alpha) in enumerate(row):
            if alpha == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def icon():
    images = [bitmap(size) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


if __name__ == "__main__":
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).with_name("qeloweather.ico")
    target.write_bytes(icon())
