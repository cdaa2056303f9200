#!/usr/bin/env python3
"""Draws the program icon: a 32 x 32, 16-colour picture of a route through four hops,
and writes it as a Windows .ico file (run: python3 ui/make_icon.py ui/lumentrax.ico)."""
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
NAVY, GREEN, YELLOW, WHITE, TRANSPARENT = 4, 10, 11, 15, 0
SIZE = 32


def draw():
    pixels = [[TRANSPARENT] * SIZE for _ in range(SIZE)]
    # Rounded navy tile.
    for y in range(SIZE):
        for x in range(SIZE):
            cx, cy = min(x, SIZE - 1 - x), min(y, SIZE - 1 - y)
            if not (cx < 3 and cy < 3 and (3 - cx) ** 2 + (3 - cy) ** 2 > 10):
                pixels[y][x] = NAVY
    hops = [(5, 25), (12, 15), (19, 20), (26, 6)]
    # Green links between the hops.
    for (x0, y0), (x1, y1) in zip(hops, hops[1:]):
        steps = max(abs(x1 - x0), abs(y1 - y0))
        for i in range(steps + 1):
            x = round(x0 + (x1 - x0) * i / steps)
            y = round(y0 + (y1 - y0) * i / steps)
            for dx in (0, 1):
                pixels[y][x + dx] = GREEN
    # A yellow dot for each hop, the target in white.
    for n, (hx, hy) in enumerate(hops):
        colour = WHITE if n == len(hops) - 1 else YELLOW
        for y in range(hy - 2, hy + 3):
            for x in range(hx - 2, hx + 3):
                if (x - hx) ** 2 + (y - hy) ** 2 <= 5:
                    pixels[y][x] = colour
    return pixels


def ico(pixels):
    xor = b""
    mask = b""
    for row in reversed(pixels):  # bottom-up rows
        xor += bytes((row[x] << 4) | row[x + 1] for x in range(0, SIZE, 2))
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if row[x] == TRANSPARENT else 0)
        mask += struct.pack(">I", bits)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(ico(draw()))
