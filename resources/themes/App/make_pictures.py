#!/usr/bin/env python3
"""Draws the pictures of the buddy list themes that ship with Velmora.

Each theme's picture holds every part its config.xml maps: the window
background, the row backgrounds, six presence icons and eight button
pictures, at the places given by LAYOUT (the same rectangles the config.xml
files name). Shapes are drawn with 4x4 supersampling and written as RGBA PNG
with nothing but the standard library.

usage: make_pictures.py            (writes Harbour/picture.png, Dusk/picture.png)
"""
import math
import os
import struct
import zlib

SUPERSAMPLE = 4
WIDTH, HEIGHT = 160, 256

# part: (x, y, width, height)
LAYOUT = {
    "background": (0, 0, 96, 256),
    "tile": (0, 0, 32, 32),
    "controlpanel": (96, 0, 64, 40),
    "group": (96, 40, 64, 20),
    "buddy": (96, 60, 64, 24),
    "hover": (96, 84, 64, 24),
    "selected": (96, 108, 64, 24),
    "available": (96, 132, 16, 16),
    "away": (112, 132, 16, 16),
    "idle": (128, 132, 16, 16),
    "blocked": (144, 132, 16, 16),
    "mobile": (96, 148, 16, 16),
    "offline": (112, 148, 16, 16),
    "settings": (128, 148, 16, 16),
    "linkedsn": (144, 148, 16, 16),
    "actions": (96, 164, 16, 16),
    "sounds": (112, 164, 16, 16),
    "mutesounds": (128, 164, 16, 16),
    "autohide": (144, 164, 16, 16),
    "menu": (96, 180, 16, 16),
    "awaybutton": (112, 180, 16, 16),
}


class Canvas:
    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.pixels = [[(0, 0, 0, 0)] * width for _ in range(height)]

    def set(self, x, y, rgba):
        self.pixels[y][x] = rgba

    def blend(self, x, y, rgb, alpha):
        """Lays rgb over the pixel with coverage alpha (0-1)."""
        if alpha <= 0:
            return
        r, g, b, a = self.pixels[y][x]
        fa = a / 255.0
        out_a = alpha + fa * (1 - alpha)
        if out_a <= 0:
            return
        mix = [(c * alpha + d * fa * (1 - alpha)) / out_a for c, d in zip(rgb, (r, g, b))]
        self.pixels[y][x] = (round(mix[0]), round(mix[1]), round(mix[2]), round(out_a * 255))

    def fill(self, rect, colour_at):
        """colour_at(u, v) with u, v in 0-1 across the rectangle gives (r, g, b)."""
        x0, y0, w, h = rect
        for y in range(h):
            for x in range(w):
                rgb = colour_at((x + 0.5) / w, (y + 0.5) / h)
                self.set(x0 + x, y0 + y, tuple(int(c) for c in rgb) + (255,))

    def shape(self, rect, inside, rgb):
        """Draws where inside(u, v) holds (u, v in 0-1 over the rectangle), smoothed."""
        x0, y0, w, h = rect
        n = SUPERSAMPLE
        for y in range(h):
            for x in range(w):
                hits = 0
                for sy in range(n):
                    for sx in range(n):
                        u = (x + (sx + 0.5) / n) / w
                        v = (y + (sy + 0.5) / n) / h
                        if inside(u, v):
                            hits += 1
                self.blend(x0 + x, y0 + y, rgb, hits / (n * n))

    def png(self):
        raw = b"".join(b"\x00" + b"".join(struct.pack("4B", *p) for p in row) for row in self.pixels)

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 6, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
                + chunk(b"IEND", b""))


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


# Shapes in unit coordinates.

def disc(cx, cy, r):
    return lambda u, v: (u - cx) ** 2 + (v - cy) ** 2 <= r * r


def ring(cx, cy, outer, inner):
    return lambda u, v: inner * inner <= (u - cx) ** 2 + (v - cy) ** 2 <= outer * outer


def box(x0, y0, x1, y1):
    return lambda u, v: x0 <= u <= x1 and y0 <= v <= y1


def segment(ax, ay, bx, by, width):
    def inside(u, v):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((u - ax) * dx + (v - ay) * dy) / (dx * dx + dy * dy)))
        px, py = ax + t * dx, ay + t * dy
        return (u - px) ** 2 + (v - py) ** 2 <= (width / 2) ** 2
    return inside


def any_of(*shapes):
    return lambda u, v: any(s(u, v) for s in shapes)


def but_not(shape, hole):
    return lambda u, v: shape(u, v) and not hole(u, v)


def gear(u, v):
    dx, dy = u - 0.5, v - 0.5
    r = math.hypot(dx, dy)
    teeth = 0.36 + 0.08 * (1 if math.cos(8 * math.atan2(dy, dx)) > 0 else 0)
    return 0.14 <= r <= teeth


def crescent(u, v):
    return disc(0.5, 0.5, 0.38)(u, v) and not disc(0.68, 0.36, 0.30)(u, v)


def speaker(u, v):
    body = box(0.12, 0.36, 0.34, 0.64)(u, v)
    cone = 0.34 <= u <= 0.58 and abs(v - 0.5) <= 0.14 + (u - 0.34) * 0.9
    return body or cone


def draw_icons(canvas, ink, accent):
    """Presence icons and button pictures, the same shapes in both themes."""
    shapes = {
        "available": ([(disc(0.5, 0.5, 0.40), (40, 110, 40)), (disc(0.5, 0.5, 0.32), (80, 200, 90))]),
        "away": ([(disc(0.5, 0.5, 0.40), (150, 100, 10)), (disc(0.5, 0.5, 0.32), (245, 190, 50)),
                  (segment(0.5, 0.5, 0.5, 0.28, 0.09), (255, 255, 255)),
                  (segment(0.5, 0.5, 0.68, 0.5, 0.09), (255, 255, 255))]),
        "idle": ([(disc(0.5, 0.5, 0.40), (90, 90, 90)), (disc(0.5, 0.5, 0.32), (170, 170, 170)),
                  (crescent, (250, 250, 250))]),
        "blocked": ([(disc(0.5, 0.5, 0.40), (150, 20, 20)), (disc(0.5, 0.5, 0.32), (225, 60, 50)),
                     (segment(0.32, 0.32, 0.68, 0.68, 0.12), (255, 255, 255)),
                     (segment(0.68, 0.32, 0.32, 0.68, 0.12), (255, 255, 255))]),
        "mobile": ([(box(0.30, 0.10, 0.70, 0.90), (50, 50, 60)), (box(0.36, 0.18, 0.64, 0.70), (120, 200, 240)),
                    (disc(0.5, 0.80, 0.05), (230, 230, 230))]),
        "offline": ([(ring(0.5, 0.5, 0.40, 0.28), (130, 130, 130))]),
        "settings": ([(gear, ink)]),
        "linkedsn": ([(ring(0.36, 0.5, 0.24, 0.14), ink), (ring(0.64, 0.5, 0.24, 0.14), accent)]),
        "actions": ([(segment(0.58, 0.08, 0.34, 0.54, 0.14), accent), (segment(0.34, 0.54, 0.66, 0.46, 0.14), accent),
                     (segment(0.66, 0.46, 0.42, 0.92, 0.14), accent)]),
        "sounds": ([(speaker, ink), (ring(0.58, 0.5, 0.34, 0.27), ink)]),
        "mutesounds": ([(speaker, ink), (segment(0.64, 0.34, 0.9, 0.66, 0.09), (210, 40, 40)),
                        (segment(0.9, 0.34, 0.64, 0.66, 0.09), (210, 40, 40))]),
        "autohide": ([(segment(0.15, 0.5, 0.6, 0.5, 0.12), ink), (segment(0.15, 0.5, 0.4, 0.28, 0.12), ink),
                      (segment(0.15, 0.5, 0.4, 0.72, 0.12), ink), (box(0.74, 0.12, 0.86, 0.88), accent)]),
        "menu": ([(box(0.16, 0.22, 0.84, 0.32), ink), (box(0.16, 0.45, 0.84, 0.55), ink),
                  (box(0.16, 0.68, 0.84, 0.78), ink)]),
        "awaybutton": ([(crescent, accent)]),
    }
    for part, layers in shapes.items():
        for inside, rgb in layers:
            canvas.shape(LAYOUT[part], inside, rgb)


def harbour():
    """Sea blues: a stretched gradient with soft swells at the bottom."""
    c = Canvas(WIDTH, HEIGHT)
    top, bottom = (226, 240, 250), (150, 196, 226)

    def sea(u, v):
        base = mix(top, bottom, v)
        swell = 0.5 + 0.5 * math.sin(u * 2 * math.pi * 1.5 + v * 18)
        if v > 0.72:
            base = mix(base, (120, 172, 212), 0.35 * swell * (v - 0.72) / 0.28)
        return base

    c.fill(LAYOUT["background"], sea)
    c.fill(LAYOUT["controlpanel"], lambda u, v: mix((40, 98, 150), (24, 66, 110), v))
    c.fill(LAYOUT["group"], lambda u, v: mix((196, 222, 242), (170, 204, 232), v))
    c.fill(LAYOUT["buddy"], lambda u, v: (236, 245, 252))
    c.fill(LAYOUT["hover"], lambda u, v: mix((214, 234, 250), (200, 226, 248), v))
    c.fill(LAYOUT["selected"], lambda u, v: mix((120, 176, 226), (96, 156, 214), v))
    draw_icons(c, (30, 60, 100), (30, 130, 200))
    return c


def dusk():
    """An evening sky in a small tiled diamond pattern."""
    c = Canvas(WIDTH, HEIGHT)

    def diamonds(u, v):
        d = abs(u - 0.5) + abs(v - 0.5)
        return (58, 40, 78) if d < 0.42 else (44, 30, 62)

    c.fill(LAYOUT["tile"], diamonds)
    c.fill((32, 0, 64, 256), lambda u, v: (44, 30, 62))
    c.fill((0, 32, 32, 224), lambda u, v: (44, 30, 62))
    c.fill(LAYOUT["controlpanel"], lambda u, v: mix((120, 60, 70), (80, 36, 60), v))
    c.fill(LAYOUT["group"], lambda u, v: mix((96, 58, 104), (78, 46, 90), v))
    c.fill(LAYOUT["buddy"], lambda u, v: (50, 34, 70))
    c.fill(LAYOUT["hover"], lambda u, v: (74, 52, 98))
    c.fill(LAYOUT["selected"], lambda u, v: mix((196, 110, 60), (170, 86, 50), v))
    draw_icons(c, (240, 220, 200), (250, 160, 80))
    return c


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, draw in (("Harbour", harbour), ("Dusk", dusk)):
        folder = os.path.join(here, name)
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "picture.png"), "wb") as out:
            out.write(draw().png())


if __name__ == "__main__":
    main()
