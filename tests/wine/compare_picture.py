#!/usr/bin/env python3
"""Compares a window picture (binary PPM) with a reference picture (PNG).

  compare_picture.py PICTURE.ppm REFERENCE.png [TEXT_TOLERANCE_PERCENT]

Rows that hold text in the reference (a pixel of neither the background's
colour nor one of the figures' colours) form the text bands; there the two
pictures may differ in at most TEXT_TOLERANCE_PERCENT (default 3) of the
pixels, as the platforms' font rasterizers smooth glyph edges differently.
Every other row, the figures and the background, must match pixel for pixel.
Exits 0 when the pictures agree, 1 with a summary otherwise.
"""
import struct
import sys
import zlib


def read_png(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(path + ": not a PNG file")
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colour not in (2, 6) or interlace:
                raise ValueError(path + ": only 8-bit RGB or RGBA without interlace")
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride, rows, previous = zlib.decompress(idat), width * channels, [], bytearray(width * channels)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for x in range(stride):
            left = line[x - channels] if x >= channels else 0
            up = previous[x]
            upper_left = previous[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + left) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + up) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - upper_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - upper_left)
                line[x] = (line[x] + (left if pa <= pb and pa <= pc else up if pb <= pc else upper_left)) & 0xFF
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def read_ppm(path):
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError(path + ": not a binary 8-bit PPM file")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos:pos + width * height * 3]
    rows = [[tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
            for y in range(height)]
    return width, height, rows


def main():
    if len(sys.argv) not in (3, 4):
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    tolerance = float(sys.argv[3]) if len(sys.argv) == 4 else 3.0
    width, height, picture = read_ppm(sys.argv[1])
    ref_width, ref_height, reference = read_png(sys.argv[2])
    if (width, height) != (ref_width, ref_height):
        print(f"size {width}x{height}, reference {ref_width}x{ref_height}")
        return 1
    background = reference[height - 1][width - 1]
    # The figures' colours: white fill and the outline pen.
    figures = {background, (255, 255, 255), (55, 55, 25)}
    text_rows = [any(p not in figures for p in row) for row in reference]
    exact_wrong, text_pixels, text_wrong = 0, 0, 0
    for y in range(height):
        wrong = sum(1 for a, b in zip(picture[y], reference[y]) if a != b)
        if text_rows[y]:
            text_pixels += width
            text_wrong += wrong
        else:
            exact_wrong += wrong
    share = 100.0 * text_wrong / text_pixels if text_pixels else 0.0
    print(f"rows without text: {exact_wrong} pixels differ; "
          f"text rows: {text_wrong} of {text_pixels} pixels differ ({share:.2f}%, "
          f"tolerance {tolerance}%)")
    return 0 if exact_wrong == 0 and share <= tolerance else 1


if __name__ == "__main__":
    sys.exit(main())
