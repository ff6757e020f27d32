#!/usr/bin/env python3
"""Writes kuvo_desk.ico: the seven images of icon group 6000.

48, 32 and 16 pixels at 8 bits per pixel (a 256-colour palette), then 256, 48, 32 and 16 pixels
at 32 bits per pixel (the 256-pixel image as PNG, as Windows stores large icons). The picture is
a monitor with a cursor, drawn from a few rectangles so that every size is made the same way.

    python3 make_icon.py kuvo_desk.ico
"""
import struct
import sys
import zlib

BLUE = (0x1F, 0x6F, 0xD8)
DARK = (0x22, 0x2B, 0x38)
WHITE = (0xFF, 0xFF, 0xFF)
ORANGE = (0xF5, 0x8A, 0x1F)


def pixel(x, y, size):
    """The colour at (x, y), top-down, or None where the icon is transparent."""
    u, v = x / size, y / size
    if 0.08 <= u < 0.92 and 0.12 <= v < 0.72:  # the monitor
        if 0.14 <= u < 0.86 and 0.18 <= v < 0.66:  # its screen
            # a cursor arrow in the screen
            cu, cv = (u - 0.45) / 0.3, (v - 0.28) / 0.3
            if 0 <= cv < 1 and 0 <= cu <= cv * 0.7:
                return ORANGE
            return BLUE
        return DARK
    if 0.44 <= u < 0.56 and 0.72 <= v < 0.82:  # the stand
        return DARK
    if 0.28 <= u < 0.72 and 0.82 <= v < 0.90:  # the foot
        return DARK
    return None


PALETTE = [DARK, BLUE, WHITE, ORANGE]


def mask_rows(size):
    stride = ((size + 31) // 32) * 4
    rows = []
    for y in reversed(range(size)):
        bits = bytearray(stride)
        for x in range(size):
            if pixel(x, y, size) is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(bits))
    return b"".join(rows)


def bmp_header(size, bits, colours):
    # BITMAPINFOHEADER; the height counts the colour and the mask halves.
    image = size * size * bits // 8
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, image, 0, 0, colours, 0)


def image_8bit(size):
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    palette += b"\0" * (4 * (256 - len(PALETTE)))
    rows = []
    for y in reversed(range(size)):
        row = bytearray()
        for x in range(size):
            colour = pixel(x, y, size)
            row.append(PALETTE.index(colour) if colour is not None else 2)
        row += b"\0" * ((4 - len(row) % 4) % 4)
        rows.append(bytes(row))
    return bmp_header(size, 8, 256) + palette + b"".join(rows) + mask_rows(size)


def rgba(size):
    for y in range(size):
        for x in range(size):
            colour = pixel(x, y, size)
            yield (colour + (0xFF,)) if colour is not None else (0, 0, 0, 0)


def image_32bit(size):
    pixels = list(rgba(size))
    rows = []
    for y in reversed(range(size)):
        rows.append(b"".join(struct.pack("BBBB", b, g, r, a)
                             for (r, g, b, a) in pixels[y * size:(y + 1) * size]))
    return bmp_header(size, 32, 0) + b"".join(rows) + mask_rows(size)


def png(size):
    pixels = list(rgba(size))
    raw = b"".join(b"\0" + b"".join(struct.pack("BBBB", *p) for p in pixels[y * size:(y + 1) * size])
                   for y in range(size))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main(path):
    images = [(48, 8, image_8bit(48)), (32, 8, image_8bit(32)), (16, 8, image_8bit(16)),
              (256, 32, png(256)), (48, 32, image_32bit(48)), (32, 32, image_32bit(32)),
              (16, 32, image_32bit(16))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        colours = 0  # 0 for 256 palette entries and for true colour
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bits, len(data),
                           offset)
        offset += len(data)
    out += b"".join(data for _, _, data in images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "kuvo_desk.ico")
