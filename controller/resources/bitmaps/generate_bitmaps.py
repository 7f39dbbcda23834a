#!/usr/bin/env python3
"""Draws the application's bitmaps as PNG files named <id>.png, and each one
again at twice the size as <id>@2x.png for screens with a scale factor of 2.

Button images are 24 x 24 pixels on the key colour magenta (255, 0, 255),
which the button replaces by the button-face colour when it loads them; the
sensor indicator images are 32 x 32 on the key colour (0, 128, 128). Edges
are drawn hard (no blending) at both sizes, so that no pixel mixes with a key
colour: a mixed pixel would survive the replacement as a coloured fringe.
Shapes are given in the 1x pixel grid; the 2x image samples the same shapes
at every half pixel, and one-pixel lines become two pixels wide.
Run from this folder: python3 generate_bitmaps.py
"""
import math
import struct
import zlib

MAGENTA = (255, 0, 255)
TEAL = (0, 128, 128)
LIGHT = (255, 255, 255)
SHADOW = (128, 128, 128)
DARK = (64, 64, 64)
SYMBOL = (16, 40, 120)
DISABLED = (160, 160, 160)
EMBOSS = (255, 255, 255)
FOCUS = (0, 0, 0)


def write_png(path, pixels):
    height = len(pixels)
    width = len(pixels[0])
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def near_segment(x, y, a, b, width):
    (ax, ay), (bx, by) = a, b
    t = ((x - ax) * (bx - ax) + (y - ay) * (by - ay)) / ((bx - ax) ** 2 + (by - ay) ** 2)
    t = max(0.0, min(1.0, t))
    return math.hypot(x - (ax + t * (bx - ax)), y - (ay + t * (by - ay))) <= width


class Image:
    """A square image whose drawing calls take 1x coordinates."""

    def __init__(self, size, colour, scale):
        self.size = size
        self.scale = scale
        self.pixels = [[colour] * (size * scale) for _ in range(size * scale)]

    def copy(self):
        other = Image(self.size, None, self.scale)
        other.pixels = [row[:] for row in self.pixels]
        return other

    def cell(self, x, y, colour):
        """Paints the 1x pixel (x, y): scale x scale pixels."""
        for j in range(y * self.scale, (y + 1) * self.scale):
            for i in range(x * self.scale, (x + 1) * self.scale):
                self.pixels[j][i] = colour

    def cell_colour(self, x, y):
        return self.pixels[y * self.scale][x * self.scale]


def canvas(size, colour, scale):
    return Image(size, colour, scale)


def inside_polygon(x, y, points):
    hit = False
    j = len(points) - 1
    for i in range(len(points)):
        xi, yi = points[i]
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def fill(img, test, colour, dx=0, dy=0):
    """Paints every pixel whose centre lies in the shape, in 1x units."""
    n = img.size * img.scale
    for y in range(n):
        for x in range(n):
            if test((x + 0.5) / img.scale - dx, (y + 0.5) / img.scale - dy):
                img.pixels[y][x] = colour


# Symbols: functions of a point in a 24 x 24 box, centred at (12, 12).
def arrow(angle_deg):
    a = math.radians(angle_deg)
    head = [(8.5, 0.0), (0.5, 6.5), (0.5, -6.5)]  # pointing right
    shaft = [(-7.5, 2.2), (1.0, 2.2), (1.0, -2.2), (-7.5, -2.2)]

    def rotate(points):
        return [(12 + x * math.cos(a) - y * math.sin(a), 12 - (x * math.sin(a) + y * math.cos(a)))
                for x, y in points]

    head, shaft = rotate(head), rotate(shaft)
    return lambda x, y: inside_polygon(x, y, head) or inside_polygon(x, y, shaft)


def home(x, y):
    roof = [(12, 4.5), (19.5, 11.5), (4.5, 11.5)]
    body = 7 <= x <= 17 and 11 <= y <= 19
    door = 10.5 <= x <= 13.5 and 14.5 <= y <= 19
    return inside_polygon(x, y, roof) or (body and not door)


def magnifier(plus):
    def test(x, y):
        d = math.hypot(x - 10, y - 10)
        ring = 4.2 <= d <= 6.4
        handle = abs((x - y)) <= 1.6 and 14 <= x <= 20 and 14 <= y <= 20
        bar = abs(y - 10) <= 0.9 and abs(x - 10) <= 2.8
        stem = plus and abs(x - 10) <= 0.9 and abs(y - 10) <= 2.8
        return ring or handle or bar or stem
    return test


def flower(x, y):  # near: a small flower
    for k in range(5):
        a = math.radians(90 + 72 * k)
        if math.hypot(x - (12 + 3.4 * math.cos(a)), y - (10 - 3.4 * math.sin(a))) <= 2.3:
            return True
    stem = abs(x - 12) <= 0.8 and 12 <= y <= 20
    leaf = math.hypot(x - 14.5, y - 17) <= 1.6
    return stem or leaf


def mountain(x, y):  # far: mountains
    big = [(10, 6), (18.5, 19), (1.5, 19)]
    small = [(16.5, 10), (22, 19), (11, 19)]
    return inside_polygon(x, y, big) or inside_polygon(x, y, small)


def button_images(symbol, scale):
    size = 24

    def frame(img, top_left, bottom_right):
        for i in range(size):
            img.cell(i, 0, top_left)
            img.cell(0, i, top_left)
            img.cell(i, size - 1, bottom_right)
            img.cell(size - 1, i, bottom_right)
        if bottom_right == DARK:
            for i in range(1, size - 1):
                img.cell(i, size - 2, SHADOW)
                img.cell(size - 2, i, SHADOW)

    normal = canvas(size, MAGENTA, scale)
    fill(normal, symbol, SYMBOL)
    frame(normal, LIGHT, DARK)

    pressed = canvas(size, MAGENTA, scale)
    fill(pressed, symbol, SYMBOL, 1, 1)
    frame(pressed, DARK, LIGHT)
    for i in range(1, size - 1):
        pressed.cell(i, 1, SHADOW)
        pressed.cell(1, i, SHADOW)

    focused = normal.copy()
    for i in range(3, size - 3, 2):
        for x, y in ((i, 3), (i, size - 4), (3, i), (size - 4, i)):
            focused.cell(x, y, FOCUS)

    disabled = canvas(size, MAGENTA, scale)
    fill(disabled, symbol, EMBOSS, 1, 1)
    fill(disabled, symbol, DISABLED)
    frame(disabled, LIGHT, DARK)
    return normal, pressed, focused, disabled


# Bitmap ids per button, in the order normal, pressed, focused, disabled.
BUTTONS = {
    "up": ((142, 146, 229, 210), arrow(90)),
    "up_left": ((160, 161, 230, 217), arrow(135)),
    "left": ((227, 159, 226, 216), arrow(180)),
    "down_left": ((155, 156, 224, 215), arrow(225)),
    "down": ((153, 154, 222, 223), arrow(270)),
    "down_right": ((151, 152, 225, 213), arrow(315)),
    "right": ((149, 150, 228, 212), arrow(0)),
    "up_right": ((147, 148, 231, 211), arrow(45)),
    "home": ((178, 179, 234, 218), home),
    "tele": ((173, 174, 235, 219), magnifier(True)),
    "wide": ((175, 176, 236, 221), magnifier(False)),
    "near": ((168, 169, 233, 170), flower),
    "far": ((162, 163, 232, 166), mountain),
}


def sensor_image(kind, scale):
    size = 32
    img = canvas(size, TEAL, scale)
    colours = {"detected": (220, 30, 30), "not_detected": (40, 170, 60), "off": (150, 150, 150)}
    fill(img, lambda x, y: math.hypot(x - 16, y - 16) <= 13, (60, 60, 60))
    fill(img, lambda x, y: math.hypot(x - 16, y - 16) <= 11.5, colours[kind])
    if kind == "detected":  # an exclamation mark
        fill(img, lambda x, y: abs(x - 16) <= 1.6 and 8 <= y <= 19, LIGHT)
        fill(img, lambda x, y: math.hypot(x - 16, y - 23) <= 1.9, LIGHT)
    elif kind == "not_detected":  # a tick
        fill(img, lambda x, y: near_segment(x, y, (9, 16), (14, 21), 1.8), LIGHT)
        fill(img, lambda x, y: near_segment(x, y, (14, 21), (23, 10), 1.8), LIGHT)
    else:  # a bar: notification off
        fill(img, lambda x, y: abs(y - 16) <= 1.8 and 9 <= x <= 23, LIGHT)
    return img


def app_icon(scale):
    """The application icon as a bitmap; the desktop's icon,
    packaging/icons/com.orveda.QTR90xControler.svg, draws the same camera."""
    size = 32
    img = canvas(size, (0, 0, 0), scale)
    bg = (30, 60, 120)
    fill(img, lambda x, y: True, bg)
    body = lambda x, y: 4 <= x <= 22 and 11 <= y <= 23
    lens = lambda x, y: inside_polygon(x, y, [(22, 14), (29, 10), (29, 24), (22, 20)])
    base = lambda x, y: (12 <= x <= 15 and 23 <= y <= 27) or (7 <= x <= 20 and 27 <= y <= 29)
    fill(img, body, (230, 230, 235))
    fill(img, lens, (200, 200, 210))
    fill(img, base, (200, 200, 210))
    fill(img, lambda x, y: math.hypot(x - 9, y - 15) <= 1.6, (220, 40, 40))
    return img


def main():
    for scale, suffix in ((1, ""), (2, "@2x")):
        images = {}
        for ids, symbol in BUTTONS.values():
            images.update(zip(ids, button_images(symbol, scale)))
        for bitmap_id, kind in ((237, "detected"), (238, "not_detected"), (239, "off")):
            images[bitmap_id] = sensor_image(kind, scale)
        images[246] = app_icon(scale)
        for bitmap_id, image in images.items():
            write_png(f"{bitmap_id}{suffix}.png", image.pixels)


if __name__ == "__main__":
    main()
