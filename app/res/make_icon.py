#!/usr/bin/env python3
"""Draws the window icon (a report sheet on a blue tile) at 16, 32 and 48
pixels, 32 bits per pixel, and writes quorvin.ico beside this script."""
import os
import struct


def pixel(x, y, n):
    # Coordinates in 0..1 over the tile.
    u, v = (x + 0.5) / n, (y + 0.5) / n
    r = 0.18  # corner radius of the tile
    cx = min(max(u, r), 1 - r)
    cy = min(max(v, r), 1 - r)
    if (u - cx) ** 2 + (v - cy) ** 2 > r * r:
        return (0, 0, 0, 0)
    if 0.25 <= u <= 0.75 and 0.16 <= v <= 0.84:  # the sheet
        for k, line in enumerate((0.30, 0.44, 0.58, 0.72)):
            if abs(v - line) < max(0.5 / n, 0.035) and u <= (0.66 if k % 2 else 0.70):
                if u >= 0.31:
                    return (0x30, 0x5c, 0xa8, 255)
        return (0xfa, 0xfa, 0xfa, 255)
    shade = int(0x1f + 0x40 * v)
    return (0x20, shade + 0x40, 0xd8, 255)


def image(n):
    rows = []
    for y in range(n - 1, -1, -1):  # bottom-up
        for x in range(n):
            r, g, b, a = pixel(x, y, n)
            rows.append(struct.pack("BBBB", b, g, r, a))
    xor = b"".join(rows)
    mask_row = ((n + 31) // 32) * 4
    mask = b"\0" * (mask_row * n)
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def main():
    sizes = (16, 32, 48)
    images = [image(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "quorvin.ico"), "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
