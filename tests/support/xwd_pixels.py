#!/usr/bin/env python3
"""Decodes an XWD screenshot (as xwd writes it) and prints the RGB values at the given points.

Usage: xwd_pixels.py FILE X,Y [X,Y ...]  ->  one line "X,Y R G B" per point.
As a module: read_xwd(path) gives an image with width, height and pixel(x, y) -> (r, g, b).
"""

import struct
import sys

HEADER_FIELDS = 25  # CARD32 each, big-endian


class XwdImage:
    def __init__(self, width, height, bytes_per_line, bytes_per_pixel, msb_first, masks, data):
        self.width = width
        self.height = height
        self._bytes_per_line = bytes_per_line
        self._bytes_per_pixel = bytes_per_pixel
        self._msb_first = msb_first
        self._masks = masks
        self._data = data

    def pixel(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise IndexError(f"({x},{y}) lies outside {self.width}x{self.height}")
        at = y * self._bytes_per_line + x * self._bytes_per_pixel
        raw = self._data[at:at + self._bytes_per_pixel]
        value = int.from_bytes(raw, "big" if self._msb_first else "little")
        return tuple(_channel(value, mask) for mask in self._masks)


def _channel(value, mask):
    shift = (mask & -mask).bit_length() - 1
    top = mask >> shift
    return ((value & mask) >> shift) * 255 // top


def read_xwd(path):
    with open(path, "rb") as source:
        data = source.read()
    fields = struct.unpack(">%dI" % HEADER_FIELDS, data[:HEADER_FIELDS * 4])
    (header_size, version, pixmap_format, _depth, width, height, _xoffset, byte_order, _bitmap_unit,
     _bit_order, _bitmap_pad, bits_per_pixel, bytes_per_line, visual_class, red_mask, green_mask,
     blue_mask, _bits_per_rgb, _colormap_entries, ncolors) = fields[:20]
    if version != 7 or pixmap_format != 2:
        raise ValueError(f"not a ZPixmap XWD file of version 7: version {version}, format {pixmap_format}")
    if visual_class not in (4, 5) or bits_per_pixel not in (24, 32):
        raise ValueError(f"only TrueColor images are read (class {visual_class}, {bits_per_pixel} bpp)")
    start = header_size + ncolors * 12
    image = data[start:start + bytes_per_line * height]
    if len(image) < bytes_per_line * height:
        raise ValueError("the image data is cut short")
    return XwdImage(width, height, bytes_per_line, bits_per_pixel // 8, byte_order == 1,
                    (red_mask, green_mask, blue_mask), image)


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    image = read_xwd(argv[1])
    for point in argv[2:]:
        x, y = (int(part) for part in point.split(","))
        r, g, b = image.pixel(x, y)
        print(f"{x},{y} {r} {g} {b}")


if __name__ == "__main__":
    main(sys.argv)
