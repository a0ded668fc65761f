#!/usr/bin/env python3
"""Draws the connection-settings icon (radio waves over a padlock) and writes it as an
ICO file with 16x16 and 32x32 32-bit images. Pure Python, deterministic output.

Usage: make_icon.py [output.ico]
"""
import math
import struct
import sys

SUPERSAMPLE = 8

# Colours as (R, G, B).
WAVE = (0x1E, 0x6F, 0xD9)
LOCK_BODY = (0xF2, 0xB0, 0x1E)
LOCK_EDGE = (0x8A, 0x5A, 0x00)
SHACKLE = (0x6B, 0x73, 0x80)
KEYHOLE = (0x5A, 0x3A, 0x00)


def in_arc(x, y, cx, cy, radius, width, start_deg, end_deg):
    """A ring segment; angles counted anticlockwise from the positive x axis, y pointing up."""
    dx, dy = x - cx, cy - y
    distance = math.hypot(dx, dy)
    if abs(distance - radius) > width / 2:
        return False
    angle = math.degrees(math.atan2(dy, dx))
    return start_deg <= angle <= end_deg


def in_circle(x, y, cx, cy, radius):
    return math.hypot(x - cx, y - cy) <= radius


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return math.hypot(x - cx, y - cy) <= radius


# Layers drawn back to front; each is (colour, test on unit coordinates 0..1, y down).
def layers():
    wave_cx, wave_cy = 0.36, 0.66
    result = [(WAVE, lambda x, y: in_circle(x, y, wave_cx, wave_cy, 0.075))]
    for radius in (0.20, 0.36, 0.52):
        result.append((WAVE, lambda x, y, r=radius: in_arc(x, y, wave_cx, wave_cy, r, 0.09,
                                                              40.0, 140.0)))
    result += [
        (SHACKLE, lambda x, y: in_arc(x, y, 0.745, 0.66, 0.125, 0.075, 0.0, 180.0)
         or (0.585 <= x <= 0.66 and 0.66 <= y <= 0.72)
         or (0.83 <= x <= 0.905 and 0.66 <= y <= 0.72)),
        (LOCK_EDGE, lambda x, y: in_rounded_rect(x, y, 0.53, 0.68, 0.96, 0.98, 0.06)),
        (LOCK_BODY, lambda x, y: in_rounded_rect(x, y, 0.575, 0.725, 0.915, 0.935, 0.035)),
        (KEYHOLE, lambda x, y: in_circle(x, y, 0.745, 0.80, 0.045)
         or (0.725 <= x <= 0.765 and 0.80 <= y <= 0.89)),
    ]
    return result


def render(size):
    """Returns rows top-down of (B, G, R, A) with premultiplied-free straight alpha."""
    samples = SUPERSAMPLE * SUPERSAMPLE
    drawn = layers()
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    x = (px + (sx + 0.5) / SUPERSAMPLE) / size
                    y = (py + (sy + 0.5) / SUPERSAMPLE) / size
                    colour = None
                    for layer_colour, test in drawn:
                        if test(x, y):
                            colour = layer_colour
                    if colour is not None:
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        a += 1.0
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(b / a), round(g / a), round(r / a), round(255 * a / samples)))
        rows.append(row)
    return rows


def dib(size):
    """An icon image: BITMAPINFOHEADER, 32-bit colour rows bottom-up, then the AND mask."""
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes(channel for pixel in row for channel in pixel)
                      for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def icon(sizes):
    images = [dib(size) for size in sizes]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, image in zip(sizes, images):
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image),
                               offset)
        offset += len(image)
    return directory + entries + b"".join(images)


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else "conn_config.ico"
    with open(output, "wb") as file:
        file.write(icon([16, 32]))


if __name__ == "__main__":
    main()
