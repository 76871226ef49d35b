#!/usr/bin/env python3
"""Draws the program icon, res/velmorin.ico: a blue speech bubble holding a waveform.

The icon is kept in the classic form every Windows version shows: two images, 32x32
and 16x16, each a 4-bit bitmap over the 16 standard VGA colours, with a 1-bit AND mask
for the transparent corners. The result is committed, so building needs no Python;
running this script again writes the same bytes.

Usage: python3 tools/make_icon.py [output path]   (default: res/velmorin.ico)
       python3 tools/make_icon.py --png SIZE PATH  the same art as a PNG of SIZE pixels

The PNGs are what the Linux desktop shows in its menus and launchers (the build makes
them): 16 and 32 pixels are the two images themselves; larger sizes scale them up by
whole pixels, and sizes in between are the scaled-up art averaged down, so the pixel
look stays.
"""

import os
import struct
import sys
import zlib

# The 16 standard VGA colours as (red, green, blue); the index is the pixel value.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
NAVY, GRAY, BLUE, CYAN, WHITE = 4, 8, 12, 14, 15
TRANSPARENT = None


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    """Whether the pixel centre (x + .5, y + .5) lies in the rounded rectangle."""
    px, py = x + 0.5, y + 0.5
    if not (left <= px <= right and top <= py <= bottom):
        return False
    cx = min(max(px, left + radius), right - radius)
    cy = min(max(py, top + radius), bottom - radius)
    return (px - cx) ** 2 + (py - cy) ** 2 <= radius ** 2


def in_triangle(x, y, a, b, c):
    px, py = x + 0.5, y + 0.5

    def side(p, q):
        return (q[0] - p[0]) * (py - p[1]) - (q[1] - p[1]) * (px - p[0])

    s1, s2, s3 = side(a, b), side(b, c), side(c, a)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)


def draw(size, bubble, radius, tail, bars, bar_width, centre_y, highlight, shadow):
    """Returns size rows of palette indices (None where transparent), top row first."""

    def inside(x, y):
        if not (0 <= x < size and 0 <= y < size):
            return False
        return in_rounded_rect(x, y, *bubble, radius) or in_triangle(x, y, *tail)

    pixels = [[TRANSPARENT] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            if not inside(x, y):
                continue
            edge = any(not inside(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            pixels[y][x] = NAVY if edge else BLUE
    # A lighter rim along the upper left gives the bubble some depth.
    for x, y in highlight:
        if pixels[y][x] == BLUE:
            pixels[y][x] = CYAN
    # The waveform: bars of the given heights, centred on one line, with a grey shadow
    # one pixel down and right so they stand off the blue (too crowded at 16x16).
    for x, height in bars:
        top = centre_y - height // 2
        if shadow:
            for y in range(top, top + height):
                for dx in range(bar_width):
                    shadow_x, shadow_y = x + dx + 1, y + 1
                    if pixels[shadow_y][shadow_x] in (BLUE, CYAN):
                        pixels[shadow_y][shadow_x] = GRAY
        for y in range(top, top + height):
            for dx in range(bar_width):
                pixels[y][x + dx] = WHITE
    return pixels


def icon_32():
    bubble = (1, 2, 31, 23)  # left, top, right, bottom in pixel-edge coordinates
    tail = ((6, 20), (14, 20), (4, 30))
    heights = [4, 10, 14, 7, 12, 5, 2]
    bars = [(6 + 3 * i, h) for i, h in enumerate(heights)]
    highlight = [(x, 3) for x in range(6, 26)] + [(2, y) for y in range(7, 18)]
    return draw(32, bubble, 6, tail, bars, 2, 12, highlight, True)


def icon_16():
    bubble = (0, 1, 16, 12)
    tail = ((3, 10), (8, 10), (2, 15))
    heights = [2, 4, 6, 3, 5, 1]
    bars = [(3 + 2 * i, h) for i, h in enumerate(heights)]
    highlight = [(x, 2) for x in range(3, 13)]
    return draw(16, bubble, 3, tail, bars, 1, 6, highlight, False)


def row_bytes(bits_per_row):
    """Bitmap rows are padded to whole 32-bit words."""
    return (bits_per_row + 31) // 32 * 4


def encode_image(pixels):
    """A DIB as an icon resource holds it: header, palette, colour bits, AND mask."""
    size = len(pixels)
    colour_stride, mask_stride = row_bytes(size * 4), row_bytes(size)
    colour, mask = bytearray(), bytearray()
    for row in reversed(pixels):  # bottom-up
        line = bytearray(colour_stride)
        bits = bytearray(mask_stride)
        for x, value in enumerate(row):
            index = 0 if value is TRANSPARENT else value
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if value is TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        colour += line
        mask += bits
    # The height counts colour bits and mask together, as icon bitmaps do.
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(colour) + bytes(mask)


def encode_icon(images):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries, data = b"", b""
    for pixels in images:
        image = encode_image(pixels)
        size = len(pixels)
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        data += image
        offset += len(image)
    return directory + entries + data


def rgba(pixels, up, down):
    """The image scaled up `up` times by whole pixels, then averaged over down x down."""
    size = len(pixels) * up // down
    out = []
    for y in range(size):
        row = []
        for x in range(size):
            r = g = b = a = 0
            for sy in range(y * down, (y + 1) * down):
                for sx in range(x * down, (x + 1) * down):
                    value = pixels[sy // up][sx // up]
                    if value is not TRANSPARENT:
                        pr, pg, pb = PALETTE[value]
                        r, g, b, a = r + pr, g + pg, b + pb, a + 1
            n = down * down
            row.append((r // a, g // a, b // a, 255 * a // n) if a else (0, 0, 0, 0))
        out.append(row)
    return out


def png_image(size):
    """RGBA rows of the icon at `size` pixels."""
    ways = {16: (icon_16, 1, 1), 24: (icon_32, 3, 4), 32: (icon_32, 1, 1), 48: (icon_32, 3, 2)}
    art, up, down = ways.get(size, (icon_32, size // 32, 1))
    if size not in ways and (size % 32 != 0 or size < 32):
        raise SystemExit("make_icon.py: no PNG of %d pixels" % size)
    return rgba(art(), up, down)


def encode_png(rows):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)
    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--png":
        with open(sys.argv[3], "wb") as out:
            out.write(encode_png(png_image(int(sys.argv[2]))))
        return
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "res", "velmorin.ico")
    with open(path, "wb") as out:
        out.write(encode_icon([icon_32(), icon_16()]))


if __name__ == "__main__":
    main()
