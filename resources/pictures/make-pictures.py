#!/usr/bin/env python3
"""Draws the two pictures of the host-version chooser.

version-6.png shows a large digit 6 (host version 6), version-a.png a large
letter A (host version 7, "Arena"). Both are 512 x 512 RGBA on a transparent
background, filled in mint green with darker diagonal bands.

Uses only the standard library: every glyph is a signed distance field built
from round-capped strokes, so the edges are anti-aliased by a one-pixel ramp.

Run from anywhere: python3 resources/pictures/make-pictures.py
"""

import math
import os
import struct
import zlib

SIZE = 512
MINT = (0x80, 0xFF, 0xD2)
BAND = (0x66, 0xCC, 0xA8)
BAND_PERIOD = 48.0   # pixels between band starts, measured along x + y
BAND_WIDTH = 16.0    # pixels of each band, measured along x + y


def segment(ax, ay, bx, by, half_width):
    """Distance field of a straight stroke with round caps."""
    dx, dy = bx - ax, by - ay
    length_squared = dx * dx + dy * dy

    def field(x, y):
        t = ((x - ax) * dx + (y - ay) * dy) / length_squared
        t = max(0.0, min(1.0, t))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - half_width

    return field


def ring(cx, cy, radius, half_width):
    """Distance field of a circular stroke."""
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - radius) - half_width


def arc(cx, cy, radius, start_degrees, end_degrees, half_width):
    """Distance field of a circular stroke between two angles (y up,
    counter-clockwise from the start to the end angle) with round caps."""
    start, end = math.radians(start_degrees), math.radians(end_degrees)
    caps = [(cx + radius * math.cos(a), cy - radius * math.sin(a)) for a in (start, end)]

    def field(x, y):
        angle = math.atan2(cy - y, x - cx) % (2.0 * math.pi)
        if (angle - start) % (2.0 * math.pi) <= (end - start) % (2.0 * math.pi):
            return abs(math.hypot(x - cx, y - cy) - radius) - half_width
        return min(math.hypot(x - px, y - py) for px, py in caps) - half_width

    return field


def union(*fields):
    return lambda x, y: min(f(x, y) for f in fields)


def clipped_below(field, bottom):
    """Cuts the shape off flat at y = bottom."""
    return lambda x, y: max(field(x, y), y - bottom)


def digit_six():
    stroke = 34.0
    bowl = ring(256.0, 338.0, 118.0, stroke)
    # The neck leaves the bowl's left side and sweeps up to the top right.
    neck = arc(386.0, 338.0, 248.0, 100.0, 180.0, stroke)
    return union(bowl, neck)


def letter_a():
    stroke = 36.0
    left = segment(256.0, 72.0, 104.0, 520.0, stroke)
    right = segment(256.0, 72.0, 408.0, 520.0, stroke)
    bar = segment(172.0, 332.0, 340.0, 332.0, stroke * 0.8)
    return clipped_below(union(left, right, bar), 462.0)


def coverage(distance):
    return max(0.0, min(1.0, 0.5 - distance))


def band_amount(x, y):
    """How much of the darker band colour a pixel gets (anti-aliased)."""
    phase = (x + y) % BAND_PERIOD
    inside = min(phase, BAND_WIDTH - phase) if phase < BAND_WIDTH else -min(phase - BAND_WIDTH, BAND_PERIOD - phase)
    return max(0.0, min(1.0, 0.5 + inside / math.sqrt(2.0)))


def render(field):
    rows = []
    for py in range(SIZE):
        row = bytearray([0])  # PNG filter type: none
        for px in range(SIZE):
            x, y = px + 0.5, py + 0.5
            alpha = coverage(field(x, y))
            if alpha <= 0.0:
                row += b"\x00\x00\x00\x00"
                continue
            b = band_amount(x, y)
            colour = [round(m + (d - m) * b) for m, d in zip(MINT, BAND)]
            row += bytes(colour + [round(alpha * 255)])
        rows.append(bytes(row))
    return b"".join(rows)


def write_png(path, pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)  # 8-bit RGBA
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", header))
        out.write(chunk(b"IDAT", zlib.compress(pixels, 9)))
        out.write(chunk(b"IEND", b""))


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    write_png(os.path.join(here, "version-6.png"), render(digit_six()))
    write_png(os.path.join(here, "version-a.png"), render(letter_a()))
