#!/usr/bin/env python3
"""Draws the icons of VLMMedia.dll and writes them as .ico files.

Every icon is a speech bubble in one colour, optionally with a small badge in
the corner, drawn with 4x4 supersampling so the edges are smooth at 16 and 32
pixels. The table ICONS says which resource id gets which look; the build runs
this script and compiles the generated .rc fragment into the library.

usage: make_icons.py OUTPUT_FOLDER
"""
import math
import os
import struct
import sys

# id: (bubble colour, badge colour or None, badge shape)
ICONS = {
    100: ((0xE0, 0xA8, 0x10), (0xFF, 0xFF, 0xFF), "dash"),   # buddy away
    101: ((0x6A, 0x3F, 0xC8), None, None),            # the program
    102: ((0x2E, 0xA0, 0x43), None, None),            # buddy available
    103: ((0x2E, 0xA0, 0x43), (0x70, 0x70, 0x70), "dot"),    # buddy idle
    118: ((0x8C, 0x8C, 0x8C), (0xD0, 0x20, 0x20), "dash"),   # buddy blocked
    131: (None, (0x1E, 0x7A, 0xD8), "dot"),           # overlay: buddy on a mobile device
    162: (None, (0xF0, 0x8A, 0x10), "dot"),           # overlay: buddy with a feed
    120: ((0x2E, 0xA0, 0x43), (0x1E, 0x7A, 0xD8), "dot"),    # buddy typing (tab)
    121: ((0xF6, 0xC0, 0x90), None, None),            # new message, dim flash phase (tab)
    122: ((0xF0, 0x6A, 0x10), None, None),            # new message, bright flash phase (tab)
    136: ((0x2E, 0xA0, 0x43), None, None),            # signed on, available
    137: ((0x8C, 0x8C, 0x8C), None, None),            # signed off
    138: ((0xE0, 0xA8, 0x10), (0xFF, 0xFF, 0xFF), "dash"),   # away
    139: ((0x2E, 0xA0, 0x43), (0x70, 0x70, 0x70), "dot"),    # idle
    144: ((0x1E, 0x7A, 0xD8), (0xFF, 0xFF, 0xFF), "dot"),    # chat room (tab)
    # Message editor: the format toolbar (font, colours, size, bold, italic,
    # underline, link, direct IM, smileys, info, warn, picture, spaces) and
    # the send toolbar (send, stop).
    700: ((0x40, 0x40, 0x40), None, None),  # editor: font
    701: ((0xD0, 0x20, 0x20), (0xFF, 0xFF, 0xFF), "dot"),  # editor: text colour
    702: ((0xF0, 0xD0, 0x20), None, None),  # editor: text background
    703: ((0x60, 0xA0, 0xE0), None, None),  # editor: page colour
    704: ((0x50, 0x50, 0x90), (0xFF, 0xFF, 0xFF), "dash"),  # editor: size
    705: ((0x20, 0x20, 0x20), None, None),  # editor: bold
    706: ((0x70, 0x70, 0x70), (0xFF, 0xFF, 0xFF), "dash"),  # editor: italic
    707: ((0x30, 0x30, 0xB0), (0xFF, 0xFF, 0xFF), "dash"),  # editor: underline
    708: ((0x1E, 0x7A, 0xD8), (0xFF, 0xFF, 0xFF), "dot"),  # editor: link
    709: ((0x2E, 0xA0, 0x43), (0xFF, 0xFF, 0xFF), "dot"),  # editor: direct IM
    710: ((0xF0, 0xC0, 0x20), None, None),  # editor: smileys
    711: ((0x1E, 0x7A, 0xD8), (0xFF, 0xFF, 0xFF), "dot"),  # editor: buddy info
    712: ((0xD0, 0x20, 0x20), (0xFF, 0xFF, 0xFF), "dash"),  # editor: warn
    713: ((0x8C, 0x5A, 0x30), (0xFF, 0xFF, 0xFF), "dot"),  # editor: picture
    714: ((0xA0, 0xA0, 0xA0), (0xFF, 0xFF, 0xFF), "dash"),  # editor: spaces
    720: ((0x2E, 0xA0, 0x43), (0xFF, 0xFF, 0xFF), "dot"),   # editor: send
    721: ((0xD0, 0x20, 0x20), (0xFF, 0xFF, 0xFF), "dash"),  # editor: stop
}
SIZES = (16, 32)
SUPERSAMPLE = 4


def inside_bubble(x, y):
    """Unit-square coordinates: a rounded body with a tail at the lower left."""
    cx, cy, rx, ry = 0.5, 0.42, 0.46, 0.36
    if ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0:
        return True
    # The tail: a triangle below the body.
    if 0.62 <= y <= 0.96:
        t = (y - 0.62) / 0.34
        left = 0.18 + 0.02 * t
        right = 0.42 - 0.22 * t
        return left <= x <= right
    return False


def inside_letter(x, y):
    """A 'V' in the middle of the bubble."""
    if not 0.20 <= y <= 0.62:
        return False
    t = (y - 0.20) / 0.42
    half_gap = 0.20 * (1.0 - t)
    stroke = 0.085
    left_edge = 0.5 - half_gap
    right_edge = 0.5 + half_gap
    return abs(x - left_edge) <= stroke or abs(x - right_edge) <= stroke


def badge(shape, x, y):
    """0 outside, 1 ring, 2 inside of a badge at the lower right."""
    if shape is None:
        return 0
    d = math.hypot(x - 0.76, y - 0.76)
    if d > 0.24:
        return 0
    if d > 0.19:
        return 1
    if shape == "dash" and abs(y - 0.76) <= 0.04 and abs(x - 0.76) <= 0.11:
        return 3
    return 2


def pixel(look, x, y):
    colour, badge_colour, shape = look
    b = badge(shape, x, y)
    if b == 1:
        return (255, 255, 255, 255)
    if b == 2:
        return badge_colour + (255,) if shape == "dot" or colour is None else colour + (255,)
    if b == 3:
        return badge_colour + (255,)
    if colour is None:
        return (0, 0, 0, 0)
    if inside_bubble(x, y):
        if inside_letter(x, y):
            return (255, 255, 255, 255)
        shade = 1.0 - 0.25 * y
        return tuple(min(255, int(c * shade + 40 * (1 - y))) for c in colour) + (255,)
    return (0, 0, 0, 0)


def render(look, size):
    """Rows of (r, g, b, a), top row first."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    r, g, b, a = pixel(look, (px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / (n * n)
            if acc[3]:
                row.append(tuple(int(v / acc[3]) for v in acc[:3]) + (int(alpha),))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def dib(rows):
    """A 32-bit icon image: header with doubled height, BGRA bottom-up, AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def ico(look):
    images = [dib(render(look, size)) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    lines = []
    for icon_id, look in sorted(ICONS.items()):
        path = os.path.join(folder, "icon%d.ico" % icon_id)
        with open(path, "wb") as f:
            f.write(ico(look))
        lines.append('%d ICON "%s"' % (icon_id, path.replace("\\", "/")))
    with open(os.path.join(folder, "icons.rc"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
