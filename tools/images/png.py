"""PNG bytes of an RGBA image, written without an imaging library."""
import struct
import zlib


def png(width, height, pixel):
    """PNG bytes of an RGBA image whose pixel(x, y) answers (r, g, b, a) at a pixel's centre."""
    rows = b"".join(
        b"\0" + b"".join(struct.pack("4B", *pixel(x + 0.5, y + 0.5)) for x in range(width))
        for y in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
