#!/usr/bin/env python3
"""Draws the application icon (app.ico): a white monitor with a pulse line on the
program's blue, at 64, 48, 32, 24 and 16 pixels, each in 256 colours and in 32-bit colour
(64 and 24 are the large and small icons at 200 % and 150 % screen scaling).

Standard library only, and deterministic, so the committed app.ico can be rebuilt
byte for byte:  python3 src/res/make_icon.py src/res/app.ico
"""
import struct
import sys

BLUE = (15, 146, 214)
WHITE = (255, 255, 255)
SIZES = (64, 48, 32, 24, 16)
SUBSAMPLES = 8  # per axis, for smooth edges
LEVELS = 64     # blue-to-white steps in the 256-colour palette


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    if x < left or x >= right or y < top or y >= bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def near_segment(x, y, a, b, half_width):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
    px, py = ax + t * dx, ay + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= half_width ** 2


class Shapes:
    """The picture for one pixel size; coordinates are in pixels, edges on whole pixels."""

    def __init__(self, size):
        s = size
        self.size = s
        self.stroke = max(1, round(s * 0.07))
        self.radius = s * 0.2
        # Screen frame.
        self.screen = (round(s * 0.15), round(s * 0.19), s - round(s * 0.15), round(s * 0.69))
        left, top, right, bottom = self.screen
        # Neck and foot of the stand.
        neck_half = max(1, round(s * 0.06))
        self.neck = (s // 2 - neck_half, bottom, s // 2 + neck_half, round(s * 0.79))
        self.foot = (round(s * 0.3), self.neck[3], s - round(s * 0.3), self.neck[3] + self.stroke)
        # Pulse line across the screen.
        inner_w = right - left
        mid = (top + bottom) // 2 + 0.5  # on a pixel centre, so the flat parts stay crisp
        amp = (bottom - top) * 0.26
        self.pulse = [
            (left + inner_w * 0.14, mid),
            (left + inner_w * 0.36, mid),
            (left + inner_w * 0.46, mid - amp),
            (left + inner_w * 0.58, mid + amp),
            (left + inner_w * 0.68, mid),
            (left + inner_w * 0.86, mid),
        ]
        self.pulse_half = max(0.75, s * 0.042)

    def background(self, x, y):
        return in_rounded_rect(x, y, 0, 0, self.size, self.size, self.radius)

    def white(self, x, y):
        left, top, right, bottom = self.screen
        st = self.stroke
        in_outer = left <= x < right and top <= y < bottom
        in_inner = left + st <= x < right - st and top + st <= y < bottom - st
        if in_outer and not in_inner:
            return True
        for r in (self.neck, self.foot):
            if r[0] <= x < r[2] and r[1] <= y < r[3]:
                return True
        for a, b in zip(self.pulse, self.pulse[1:]):
            if near_segment(x, y, a, b, self.pulse_half):
                return True
        return False


def render(size):
    """Returns rows (top first) of (alpha 0..1, whiteness 0..1) per pixel."""
    shapes = Shapes(size)
    n = SUBSAMPLES
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            bg = wh = 0
            for sy in range(n):
                for sx in range(n):
                    x = px + (sx + 0.5) / n
                    y = py + (sy + 0.5) / n
                    if shapes.background(x, y):
                        bg += 1
                        if shapes.white(x, y):
                            wh += 1
            row.append((bg / (n * n), wh / bg if bg else 0.0))
        rows.append(row)
    return rows


def mix(whiteness):
    return tuple(round(b + (w - b) * whiteness) for b, w in zip(BLUE, WHITE))


def and_mask(rows, size):
    """1-bit mask, bottom row first, rows padded to 32 bits; 1 = transparent."""
    stride = ((size + 31) // 32) * 4
    out = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (alpha, _) in enumerate(row):
            if alpha < 0.5:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bits
    return bytes(out)


def bitmap_header(size, bpp, colours):
    image_bytes = size * ((size * bpp + 31) // 32) * 4
    return struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bpp, 0, image_bytes, 0, 0, colours, 0)


def image_32(rows, size):
    pixels = bytearray()
    for row in reversed(rows):
        for alpha, whiteness in row:
            r, g, b = mix(whiteness)
            a = round(alpha * 255)
            pixels += bytes((b, g, r, a))
    return bitmap_header(size, 32, 0) + bytes(pixels) + and_mask(rows, size)


def image_8(rows, size):
    # Palette: entry 0 black (behind transparent pixels), then the blue-to-white steps.
    palette = [(0, 0, 0)] + [mix(i / (LEVELS - 1)) for i in range(LEVELS)]
    palette += [(0, 0, 0)] * (256 - len(palette))
    pal_bytes = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
    stride = ((size * 8 + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, (alpha, whiteness) in enumerate(row):
            line[x] = 0 if alpha < 0.5 else 1 + round(whiteness * (LEVELS - 1))
        pixels += line
    return bitmap_header(size, 8, 256) + pal_bytes + bytes(pixels) + and_mask(rows, size)


def main(path):
    images = []  # (size, colour count, bpp, data): 256-colour images first, then 32-bit
    rendered = {size: render(size) for size in SIZES}
    for size in SIZES:
        images.append((size, 0, 8, image_8(rendered[size], size)))
    for size in SIZES:
        images.append((size, 0, 32, image_32(rendered[size], size)))
    header = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    directory = b''
    body = b''
    for size, colours, bpp, data in images:
        directory += struct.pack('<BBBBHHII', size % 256, size % 256, colours, 0, 1, bpp, len(data), offset)
        offset += len(data)
        body += data
    with open(path, 'wb') as f:
        f.write(header + directory + body)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'app.ico')
