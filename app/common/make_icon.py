#!/usr/bin/env python3
"""Draws the programs' icon (zq.ico): a blue page with a folded corner and three lines of text.

Run by hand when the drawing changes; the build uses the checked-in zq.ico.
"""
import struct
import sys


def pixel(x, y, n):
    """Colour (r, g, b, a) of pixel x, y (top-down) of an n by n image."""
    u, v = (x + 0.5) / n, (y + 0.5) / n
    left, right, top, bottom, fold = 0.16, 0.84, 0.06, 0.94, 0.22
    if not (left <= u < right and top <= v < bottom):
        return (0, 0, 0, 0)
    if u > right - fold + (v - top):  # the folded corner is cut away
        return (0, 0, 0, 0)
    edge = 1.2 / n
    if u < left + edge or v > bottom - edge or v < top + edge or u > right - edge:
        return (22, 60, 120, 255)
    if u > right - fold - edge and v < top + fold + edge and u - (right - fold) > v - top - edge:
        return (22, 60, 120, 255)
    if u > right - fold and v < top + fold:
        return (150, 190, 235, 255)
    for k, (start, length) in enumerate(((0.36, 0.40), (0.52, 0.48), (0.68, 0.30))):
        if start <= v < start + max(1.5 / n, 0.07) and 0.28 <= u < 0.28 + length:
            return (29, 79, 145, 255)
    return (250, 252, 255, 255)


def image(n):
    rows = []
    for y in range(n - 1, -1, -1):  # bottom-up
        rows.append(b"".join(bytes((b, g, r, a)) for r, g, b, a in (pixel(x, y, n) for x in range(n))))
    xor = b"".join(rows)
    mask_row = ((n + 31) // 32) * 4
    mask = b"\0" * (mask_row * n)  # the alpha channel decides
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def main(path):
    sizes = (16, 20, 24, 32, 40, 48, 64)
    images = [image(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    open(path, "wb").write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "zq.ico")
