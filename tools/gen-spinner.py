#!/usr/bin/env python3
"""Draw the loading ring of the panel's spinner as two PNG pictures.

Run by hand from the repository root; the output is committed:

    python3 tools/gen-spinner.py            # writes resources/spinner37.png and spinner74.png

The ring has twelve dashes, 30 degrees apart. The dash pointing straight up
(12 o'clock) is fully opaque; going counter-clockwise each dash is fainter, so
when the control turns the picture clockwise the opaque dash leads and the
faint ones trail behind it. At angle 0 the picture is therefore visibly
upright. Pixels are 8-bit RGBA, not premultiplied, one colour throughout with
the shape carried by the alpha channel (edges anti-aliased by supersampling).

Only the standard library is used (zlib and struct), so the output is the same
on every machine.
"""

import math
import os
import struct
import sys
import zlib

COLOUR = (0x4A, 0x4A, 0x4A)  # neutral dark grey
DASHES = 12
OUTER = 0.45  # outer end of a dash, as a fraction of the picture size
INNER = 0.25  # inner end
HALF_WIDTH = 0.045  # half the dash thickness (dashes have round ends)
FAINTEST = 0.15  # opacity of the last dash of the trail
SUPERSAMPLE = 6  # samples per pixel along each axis


def dash_opacity(index):
    """Opacity of dash `index`; 0 is at 12 o'clock, counting counter-clockwise."""
    return 1.0 - index * (1.0 - FAINTEST) / (DASHES - 1)


def dash_segments(size):
    """The centre line of every dash in pixel coordinates (y grows downwards)."""
    centre = size / 2.0
    segments = []
    for index in range(DASHES):
        # Counter-clockwise on the screen from straight up.
        theta = math.radians(90.0 + 30.0 * index)
        dx, dy = math.cos(theta), -math.sin(theta)
        a = (centre + dx * INNER * size, centre + dy * INNER * size)
        b = (centre + dx * OUTER * size, centre + dy * OUTER * size)
        segments.append((a, b, dash_opacity(index)))
    return segments


def distance_to_segment(px, py, a, b):
    ax, ay = a
    bx, by = b
    vx, vy = bx - ax, by - ay
    t = ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)
    t = max(0.0, min(1.0, t))
    qx, qy = ax + t * vx - px, ay + t * vy - py
    return math.hypot(qx, qy)


def render(size):
    segments = dash_segments(size)
    radius = HALF_WIDTH * size
    n = SUPERSAMPLE
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            total = 0.0
            for sy in range(n):
                py = y + (sy + 0.5) / n
                for sx in range(n):
                    px = x + (sx + 0.5) / n
                    best = 0.0
                    for a, b, opacity in segments:
                        if opacity > best and distance_to_segment(px, py, a, b) <= radius:
                            best = opacity
                    total += best
            alpha = int(round(255.0 * total / (n * n)))
            row += bytes((COLOUR[0], COLOUR[1], COLOUR[2], alpha))
        rows.append(bytes(row))
    return rows


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png_bytes(size, rows):
    signature = b"\x89PNG\r\n\x1a\n"
    # Width, height, bit depth 8, colour type 6 (RGBA), compression, filter, no interlace.
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    raw = b"".join(b"\x00" + row for row in rows)  # filter type 0 on every row
    return (signature + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "resources")
    for size, name in ((37, "spinner37.png"), (74, "spinner74.png")):
        path = os.path.join(out_dir, name)
        with open(path, "wb") as f:
            f.write(png_bytes(size, render(size)))
        print(f"{path}: {size} x {size}")


if __name__ == "__main__":
    main()
