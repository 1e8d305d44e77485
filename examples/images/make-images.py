#!/usr/bin/env python3
"""Draws the page images of the example jobs (plain Python, no libraries).

    python3 examples/images/make-images.py     # rewrites the images in place

Every image is the rendered page at the printer's resolution: one pixel is
one printer dot.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


class Canvas:
    def __init__(self, width, height):
        self.w, self.h = width, height
        self.px = bytearray(b"\xff" * (width * height * 3))

    def set(self, x, y, rgb):
        if 0 <= x < self.w and 0 <= y < self.h:
            i = (y * self.w + x) * 3
            self.px[i:i + 3] = bytes(rgb)

    def rect(self, x0, y0, x1, y1, rgb=(0, 0, 0)):
        for y in range(max(0, y0), min(self.h, y1)):
            i = (y * self.w + max(0, x0)) * 3
            n = min(self.w, x1) - max(0, x0)
            if n > 0:
                self.px[i:i + 3 * n] = bytes(rgb) * n

    def frame(self, x0, y0, x1, y1, t, rgb=(0, 0, 0)):
        self.rect(x0, y0, x1, y0 + t, rgb)
        self.rect(x0, y1 - t, x1, y1, rgb)
        self.rect(x0, y0, x0 + t, y1, rgb)
        self.rect(x1 - t, y0, x1, y1, rgb)

    def bars(self, x0, y0, height, module, pattern):
        """A barcode-like run of bars: pattern is a list of widths in
        modules, alternating bar and space."""
        x = x0
        for k, width in enumerate(pattern):
            if k % 2 == 0:
                self.rect(x, y0, x + width * module, y0 + height)
            x += width * module
        return x

    def logo(self, cx, cy, r):
        """A shaded sphere with a coloured ring: smooth tones like a photo."""
        for y in range(cy - r, cy + r):
            for x in range(cx - r, cx + r):
                dx, dy = (x - cx) / r, (y - cy) / r
                d = math.hypot(dx, dy)
                if d > 1:
                    continue
                light = max(0.0, 1 - math.hypot(dx + 0.35, dy + 0.4) * 0.9)
                if d > 0.82:
                    rgb = (200, int(90 + 60 * light), 30)
                else:
                    z = math.sqrt(max(0.0, 1 - d * d))
                    shade = 0.25 + 0.75 * (0.6 * z + 0.4 * light)
                    rgb = (int(40 * shade), int(110 * shade), int(60 + 190 * shade))
                self.set(x, y, rgb)

    def png(self, name, grey=False):
        raw = bytearray()
        for y in range(self.h):
            raw.append(0)
            row = self.px[y * self.w * 3:(y + 1) * self.w * 3]
            if grey:
                raw += bytes((row[i] * 299 + row[i + 1] * 587 + row[i + 2] * 114 + 500) // 1000
                             for i in range(0, len(row), 3))
            else:
                raw += row

        def chunk(kind, data):
            return (struct.pack(">I", len(data)) + kind + data +
                    struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

        ihdr = struct.pack(">IIBBBBB", self.w, self.h, 8, 0 if grey else 2, 0, 0, 0)
        data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
                chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))
        self._write(name, data)

    def _mono_rows(self):
        for y in range(self.h):
            row = bytearray((self.w + 7) // 8)
            for x in range(self.w):
                i = (y * self.w + x) * 3
                grey = (self.px[i] * 299 + self.px[i + 1] * 587 + self.px[i + 2] * 114) // 1000
                if grey < 128:
                    row[x // 8] |= 0x80 >> (x % 8)
            yield row

    def pbm(self, name):
        data = b"P4\n# page image\n%d %d\n" % (self.w, self.h)
        data += b"".join(self._mono_rows())
        self._write(name, data)

    def bmp1(self, name):
        """A one-bit BMP, bottom-up, colour 0 white and 1 black."""
        stride = ((self.w + 31) // 32) * 4
        rows = [bytes(r) + b"\x00" * (stride - len(r)) for r in self._mono_rows()]
        pixels = b"".join(reversed(rows))
        offset = 14 + 40 + 8
        data = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
        data += struct.pack("<IiiHHIIiiII", 40, self.w, self.h, 1, 1, 0, len(pixels),
                            11811, 11811, 2, 2)
        data += b"\xff\xff\xff\x00" + b"\x00\x00\x00\x00"
        self._write(name, data + pixels)

    def _write(self, name, data):
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


def code_pattern(seed, count):
    """Deterministic bar widths 1..4 modules."""
    widths, v = [], seed
    for _ in range(count):
        v = (v * 1103515245 + 12345) & 0x7FFFFFFF
        widths.append(1 + (v >> 16) % 4)
    return widths


def shipping_label():
    # 100 x 150 mm at 300 dpi.
    c = Canvas(1181, 1772)
    c.frame(12, 12, 1169, 1760, 6)
    c.logo(190, 190, 140)
    c.rect(12, 380, 1169, 386)
    c.rect(12, 900, 1169, 906)
    c.rect(600, 380, 606, 900)
    c.rect(660, 430, 1120, 560)          # service box
    c.rect(690, 460, 1090, 530, (255, 255, 255))
    c.bars(80, 1000, 300, 4, [2, 1, 1] + code_pattern(7, 58) + [2, 3, 1])
    c.bars(80, 1420, 220, 3, [2, 1, 1] + code_pattern(11, 90) + [1, 1, 2])
    c.png("shipping-label.png")


def small_label():
    # 50 x 30 mm at 203 dpi.
    c = Canvas(400, 240)
    c.frame(4, 4, 396, 236, 3)
    c.rect(4, 70, 396, 73)
    c.bars(24, 110, 100, 2, [2, 1, 1] + code_pattern(3, 40) + [2, 1, 1])
    c.pbm("small-label.pbm")


def landscape_label():
    # 100 x 50 mm at 600 dpi, as it appears on the landscape page.
    c = Canvas(2362, 1181)
    c.frame(20, 20, 2342, 1161, 10)
    for x in range(60, 2302):
        tone = int(255 * (x - 60) / 2242)
        c.rect(x, 60, x + 1, 260, (tone, tone, tone))
    c.bars(120, 700, 360, 6, [2, 1, 1] + code_pattern(5, 70) + [2, 3, 1])
    c.png("landscape-label.png", grey=True)


def multipage():
    # 100 x 70 mm at 203 dpi, one image per page in three formats.
    for page, writer in ((1, "png"), (2, "bmp1"), (3, "pbm")):
        c = Canvas(800, 560)
        c.frame(6, 6, 794, 554, 4)
        for k in range(page):
            c.rect(40 + k * 90, 40, 110 + k * 90, 110)
        c.bars(40, 300, 180, 3, [2, 1, 1] + code_pattern(page, 50) + [2, 1, 1])
        name = "page-%d.%s" % (page, {"png": "png", "bmp1": "bmp", "pbm": "pbm"}[writer])
        getattr(c, writer)(name)


if __name__ == "__main__":
    shipping_label()
    small_label()
    landscape_label()
    multipage()
