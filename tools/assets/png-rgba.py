#!/usr/bin/env python3
"""Rewrites 8-bit RGB PNG files as 8-bit RGBA (alpha 255 everywhere); other files are left alone.

rsvg-convert writes fully opaque pictures as RGB. The game keeps RGB pictures as 16-bit textures,
which bands the soft sky gradients, so every picture is shipped with an alpha channel.
Usage: png-rgba.py FILE.png...
"""
import struct
import sys
import zlib


def chunks(data):
    pos = 8
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        yield kind, data[pos + 8:pos + 8 + length]
        pos += 12 + length


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def unfilter(raw, width, height, bpp):
    stride = width * bpp
    rows, prev, pos = [], bytearray(stride), 0
    for _ in range(height):
        ftype, line = raw[pos], bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if ftype == 1:
                line[i] = (line[i] + a) & 0xFF
            elif ftype == 2:
                line[i] = (line[i] + b) & 0xFF
            elif ftype == 3:
                line[i] = (line[i] + ((a + b) >> 1)) & 0xFF
            elif ftype == 4:
                line[i] = (line[i] + paeth(a, b, c)) & 0xFF
        rows.append(line)
        prev = line
    return rows


def sub_filter(line, bpp):
    out = bytearray(line)
    for i in range(len(line) - 1, bpp - 1, -1):
        out[i] = (line[i] - line[i - bpp]) & 0xFF
    return out


def convert(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG file")
    parts = list(chunks(data))
    width, height, depth, ctype, _comp, _filt, interlace = struct.unpack(">IIBBBBB", parts[0][1])
    if ctype != 2:
        return
    if depth != 8 or interlace != 0:
        sys.exit(f"{path}: only 8-bit non-interlaced RGB is converted")
    raw = zlib.decompress(b"".join(body for kind, body in parts if kind == b"IDAT"))
    out = bytearray()
    for row in unfilter(raw, width, height, 3):
        rgba = bytearray(width * 4)
        rgba[0::4], rgba[1::4], rgba[2::4] = row[0::3], row[1::3], row[2::3]
        rgba[3::4] = b"\xff" * width
        out += b"\x01" + sub_filter(rgba, 4)
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    png = data[:8] + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(out), 9)) + chunk(b"IEND", b"")
    open(path, "wb").write(png)


for name in sys.argv[1:]:
    convert(name)
