#!/usr/bin/env python3
"""Facts about an RGB(A) PNG that kwuni render wrote: its size, how many pixels are ink (not
white), how many have the highlight colour, and the leftmost and rightmost ink columns.
Prints them as `width height ink highlight left right`."""
import struct
import sys
import zlib

HIGHLIGHT = (0, 120, 215)


def rows(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(f"{path}: not a PNG file")
    at, chunks, header = 8, [], None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks.append(body)
        at += 12 + length
    width, height, depth, colour = header[:4]
    if depth != 8 or colour not in (2, 6):
        raise SystemExit(f"{path}: not 8-bit RGB or RGBA")
    step = 3 if colour == 2 else 4
    raw = zlib.decompress(b"".join(chunks))
    stride = width * step
    previous = bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - step] if x >= step else 0
            up = previous[x]
            corner = previous[x - step] if x >= step else 0
            if kind == 1:
                line[x] = (line[x] + left) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + up) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                guess = left if pa <= pb and pa <= pc else up if pb <= pc else corner
                line[x] = (line[x] + guess) & 0xFF
        previous = line
        yield width, height, [tuple(line[x * step:x * step + 3]) for x in range(width)]


def main(path):
    ink = highlight = 0
    left, right = None, None
    width = height = 0
    for width, height, pixels in rows(path):
        for x, p in enumerate(pixels):
            if p != (255, 255, 255):
                ink += 1
                left = x if left is None else min(left, x)
                right = x if right is None else max(right, x)
            if p == HIGHLIGHT:
                highlight += 1
    print(width, height, ink, highlight, -1 if left is None else left, -1 if right is None else right)


if __name__ == "__main__":
    main(sys.argv[1])
