#!/usr/bin/env python3
"""Draws the program icon (a small plot: grid, a sine and a square wave) as PNG files.

Usage: make_icon.py OUTPUT_DIR
"""
import math
import struct
import sys
import zlib


def png(path, size, pixels):
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def draw(size):
    s = size / 64.0
    img = [[(0, 0, 0, 0) for _ in range(size)] for _ in range(size)]

    def put(x, y, colour):
        if 0 <= x < size and 0 <= y < size:
            img[y][x] = colour

    def disc(cx, cy, r, colour):
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    put(x, y, colour)

    def line(points, width, colour):
        for (x0, y0), (x1, y1) in zip(points, points[1:]):
            steps = int(max(abs(x1 - x0), abs(y1 - y0)) * 2) + 1
            for k in range(steps + 1):
                t = k / steps
                disc(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width / 2, colour)

    radius, inset = 10 * s, 3 * s
    for y in range(size):
        for x in range(size):
            dx = max(inset + radius - x, 0, x - (size - inset - radius))
            dy = max(inset + radius - y, 0, y - (size - inset - radius))
            d = math.hypot(dx, dy)
            if d <= radius:
                img[y][x] = (40, 44, 52, 255) if d > radius - 2.5 * s else (255, 255, 255, 255)
    for k in range(1, 5):
        p = int(inset + 3 * s + k * (size - 2 * inset - 6 * s) / 5)
        for q in range(int(inset + 4 * s), int(size - inset - 4 * s)):
            put(p, q, (200, 200, 200, 255))
            put(q, p, (200, 200, 200, 255))
    left, right, mid = inset + 6 * s, size - inset - 6 * s, size / 2
    sine = [(left + (right - left) * i / 80, mid - 16 * s * math.sin(i / 80 * 2 * math.pi))
            for i in range(81)]
    line(sine, 3.2 * s, (0, 0, 255, 255))
    square, level = [], 1
    for i in range(5):
        x = left + (right - left) * i / 4
        square += [(x, mid - level * 8 * s - 6 * s), (x, mid + level * 8 * s - 6 * s)]
        level = -level
    line(square[1:-1], 2.4 * s, (255, 0, 255, 255))
    return img


if __name__ == "__main__":
    for size in (64, 256):
        png(f"{sys.argv[1]}/kovraplotter-{size}.png", size, draw(size))
