"""Turns a screen dump of `xwd -root` (TrueColor, 24 or 32 bits a pixel)
into a PNG file, with the standard library only."""
import struct
import zlib


def _shift(mask):
    shift = 0
    while mask and not mask & 1:
        mask >>= 1
        shift += 1
    return shift, mask


def xwd_to_png(data):
    fields = struct.unpack(">25I", data[:100])
    header_size, version = fields[0], fields[1]
    if version != 7:
        raise ValueError("not an XWD version 7 dump")
    width, height = fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    masks = fields[14:17]
    ncolors = fields[19]
    pixels = data[header_size + 12 * ncolors:]
    step = bits_per_pixel // 8
    order = "<" if byte_order == 0 else ">"
    fmt = order + {4: "I", 3: "I", 2: "H"}[step]
    channels = [_shift(m) for m in masks]

    rows = []
    for y in range(height):
        line = pixels[y * bytes_per_line:y * bytes_per_line + width * step]
        out = bytearray(b"\x00")
        for x in range(width):
            raw = line[x * step:(x + 1) * step]
            if step == 3:
                raw = raw + b"\x00" if order == "<" else b"\x00" + raw
            value = struct.unpack(fmt, raw)[0]
            for shift, mask in channels:
                out.append(((value >> shift) & mask) * 255 // mask if mask else 0)
        rows.append(bytes(out))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(b"".join(rows), 6)) + chunk(b"IEND", b""))
