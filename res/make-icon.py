#!/usr/bin/env python3
"""Draws the program icon (a barcode label above a keyboard) and writes
res/VaskSW.ico with 16, 24, 32 and 48 pixel images (32-bit colour with alpha),
and the tray's state icons, the same with a badge in the lower right corner:
VaskSW-waiting.ico (amber, pause bars: barcodes held or typing paused),
VaskSW-lost.ico (red, a cross: no scanner connected, or lost) and
VaskSW-nosdk.ico (dark grey, an exclamation mark: the scanner SDK is missing),
and docs/screenshots/tray-<state>.png, each state at 96 and 144 DPI.

Run from anywhere:  python3 res/make-icon.py
Every size is drawn on its own pixel grid (bars and keys snapped to whole
pixels, rounded corners anti-aliased) so the small images stay sharp.
"""
import os
import struct
import zlib

SIZES = (16, 24, 32, 48)

LABEL_FILL = (255, 255, 255)
LABEL_EDGE = (70, 78, 90)
BAR = (20, 24, 30)
SCAN_LINE = (225, 40, 40)
BOARD_FILL = (31, 78, 140)
BOARD_EDGE = (18, 48, 92)
KEY = (222, 232, 245)

# Barcode modules: 1 = bar, 0 = gap; read from the left.
BAR_PATTERN = "1011001011101001101"


def rounded_rect_coverage(px, py, x0, y0, x1, y1, r, samples=4):
    """Share of pixel (px, py) inside the rounded rectangle [x0,x1)x[y0,y1)."""
    inside = 0
    for sy in range(samples):
        for sx in range(samples):
            x = px + (sx + 0.5) / samples
            y = py + (sy + 0.5) / samples
            if not (x0 <= x < x1 and y0 <= y < y1):
                continue
            cx = min(max(x, x0 + r), x1 - r)
            cy = min(max(y, y0 + r), y1 - r)
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                inside += 1
    return inside / (samples * samples)


class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [[(0, 0, 0, 0.0) for _ in range(size)] for _ in range(size)]

    def blend(self, x, y, colour, alpha):
        if alpha <= 0 or not (0 <= x < self.size and 0 <= y < self.size):
            return
        r0, g0, b0, a0 = self.px[y][x]
        a = alpha + a0 * (1 - alpha)
        if a == 0:
            return
        mix = [(c * alpha + c0 * a0 * (1 - alpha)) / a for c, c0 in zip(colour, (r0, g0, b0))]
        self.px[y][x] = (mix[0], mix[1], mix[2], a)

    def rounded_rect(self, x0, y0, x1, y1, r, fill, edge=None, edge_width=1):
        for y in range(int(y0), int(y1 + 1)):
            for x in range(int(x0), int(x1 + 1)):
                outer = rounded_rect_coverage(x, y, x0, y0, x1, y1, r)
                if outer == 0:
                    continue
                if edge is None:
                    self.blend(x, y, fill, outer)
                    continue
                w = edge_width
                inner = rounded_rect_coverage(x, y, x0 + w, y0 + w, x1 - w, y1 - w, max(r - w, 0.5))
                self.blend(x, y, edge, outer)
                self.blend(x, y, fill, inner)

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.blend(x, y, colour, 1.0)


def draw(size):
    c = Canvas(size)
    k = size / 16.0
    edge = max(1, round(k * 0.75))

    # Barcode label: upper part of the icon.
    lx0, ly0, lx1, ly1 = round(1.5 * k), round(0.5 * k), size - round(1.5 * k), round(10 * k)
    c.rounded_rect(lx0, ly0, lx1, ly1, 1.2 * k, LABEL_FILL, LABEL_EDGE, edge)
    module = max(1, size // 24)
    bars_width = len(BAR_PATTERN) * module
    inner_width = lx1 - lx0 - 2 * edge
    pattern = BAR_PATTERN
    while bars_width > inner_width:  # the 16 pixel image drops modules from the end
        pattern = pattern[:-1]
        bars_width = len(pattern) * module
    bx = lx0 + (lx1 - lx0 - bars_width) // 2
    by0, by1 = ly0 + edge + max(1, round(k)), ly1 - edge - max(0, round(0.5 * k))
    for i, bit in enumerate(pattern):
        if bit == "1":
            c.rect(bx + i * module, by0, bx + (i + 1) * module, by1, BAR)
    # The red line of a scanner reading the label.
    scan_y = (by0 + by1) // 2
    c.rect(lx0 + edge, scan_y, lx1 - edge, scan_y + max(1, size // 32), SCAN_LINE)

    # Keyboard: lower part, overlapping the label's foot.
    kx0, ky0, kx1, ky1 = 0, round(8.5 * k), size, size - max(0, round(0.25 * k))
    c.rounded_rect(kx0, ky0, kx1, ky1, 1.5 * k, BOARD_FILL, BOARD_EDGE, edge)
    key = max(1, round(1.5 * k))
    gap = max(1, round(0.75 * k))
    row_top = ky0 + edge + gap
    rows = 2
    for row in range(rows):
        y = row_top + row * (key + gap)
        offset = 0 if row == 0 else key // 2
        x = kx0 + edge + gap + offset
        while x + key <= kx1 - edge - gap:
            c.rect(x, y, x + key, y + key, KEY)
            x += key + gap
    space_y = row_top + rows * (key + gap)
    if space_y + max(1, key // 2) <= ky1 - edge:
        sx0 = kx0 + round(size * 0.3)
        c.rect(sx0, space_y, size - sx0, space_y + max(1, key // 2 + (1 if size >= 32 else 0)), KEY)
    return c


BADGES = {
    "waiting": ((232, 150, 20), "pause"),
    "lost": ((200, 30, 30), "cross"),
    "nosdk": ((60, 60, 66), "bang"),
}
BADGE_EDGE = (255, 255, 255)
MARK = (255, 255, 255)


def coverage(px, py, inside, samples=4):
    """Share of pixel (px, py) for which inside(x, y) holds."""
    hits = 0
    for sy in range(samples):
        for sx in range(samples):
            if inside(px + (sx + 0.5) / samples, py + (sy + 0.5) / samples):
                hits += 1
    return hits / (samples * samples)


def paint(c, inside, colour):
    for y in range(c.size):
        for x in range(c.size):
            c.blend(x, y, colour, coverage(x, y, inside))


def near_segment(x, y, ax, ay, bx, by, half_width):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= half_width ** 2


def draw_badge(c, colour, mark):
    """A disc in the lower right quarter, ringed white so it reads on any taskbar."""
    s = c.size
    r = s * 0.30
    cx = cy = s - r - 0.25
    ring = max(1.0, s / 16.0)
    paint(c, lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= (r + ring * 0.5) ** 2, BADGE_EDGE)
    paint(c, lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= (r - ring * 0.5) ** 2, colour)
    w = max(0.8, s / 20.0)  # half the stroke
    a = r * 0.45
    if mark == "pause":
        for bar_x in (cx - a * 0.55, cx + a * 0.55):
            paint(c, lambda x, y, bx=bar_x: abs(x - bx) <= w and abs(y - cy) <= a, MARK)
    elif mark == "cross":
        # Thinner and longer than the other marks: at 16 pixels a thick
        # cross closes up into a ring.
        if s <= 24:  # whole pixels on the two diagonals
            ci = int(cx)
            arm = 2 if s <= 16 else 3
            for d in range(-arm, arm + 1):
                c.blend(ci + d, ci + d, MARK, 1.0)
                c.blend(ci + d, ci - d, MARK, 1.0)
            return
        cw, ca = max(0.55, s / 24.0), r * 0.5
        paint(c, lambda x, y: near_segment(x, y, cx - ca, cy - ca, cx + ca, cy + ca, cw) or
              near_segment(x, y, cx - ca, cy + ca, cx + ca, cy - ca, cw), MARK)
    else:
        paint(c, lambda x, y: abs(x - cx) <= w and cy - a * 1.2 <= y <= cy + a * 0.3, MARK)
        paint(c, lambda x, y: (x - cx) ** 2 + (y - cy - a * 0.9) ** 2 <= (w * 1.1) ** 2, MARK)


def bmp_entry(canvas):
    """One icon image: BITMAPINFOHEADER, bottom-up BGRA rows, AND mask."""
    s = canvas.size
    header = struct.pack("<IiiHHIIiiII", 40, s, s * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    mask = bytearray()
    mask_row_bytes = ((s + 31) // 32) * 4
    for y in range(s - 1, -1, -1):
        row_mask = bytearray(mask_row_bytes)
        for x in range(s):
            r, g, b, a = canvas.px[y][x]
            alpha = round(a * 255)
            pixels += bytes((round(b), round(g), round(r), alpha))
            if alpha == 0:
                row_mask[x // 8] |= 0x80 >> (x % 8)
        mask += row_mask
    return header + bytes(pixels) + bytes(mask)


def draw_state(size, badge):
    c = draw(size)
    if badge:
        draw_badge(c, *BADGES[badge])
    return c


def write_ico(path, badge=None):
    images = [bmp_entry(draw_state(s, badge)) for s in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for s, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


TRAY_GREY = (212, 208, 200)


def write_tray_png(path, badge):
    """The state as a taskbar shows it: the 16 pixel image (96 DPI) beside the
    24 pixel one (144 DPI), at their real size on a taskbar's grey."""
    images = [draw_state(16, badge), draw_state(24, badge)]
    pad = 4
    width = pad + sum(c.size + pad for c in images)
    height = 24 + 2 * pad
    rows = []
    for y in range(height):
        row = bytearray([0])
        for x in range(width):
            colour = TRAY_GREY
            left = pad
            for c in images:
                top = (height - c.size) // 2
                if left <= x < left + c.size and top <= y < top + c.size:
                    r, g, b, a = c.px[y - top][x - left]
                    colour = tuple(round(v * a + bg * (1 - a)) for v, bg in zip((r, g, b), TRAY_GREY))
                left += c.size + pad
            row += bytes(colour)
        rows.append(bytes(row))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    write_ico(os.path.join(here, "VaskSW.ico"))
    for name in BADGES:
        write_ico(os.path.join(here, "VaskSW-%s.ico" % name), name)
    docs = os.path.join(here, os.pardir, "docs", "screenshots")
    for name, badge in (("connected", None), ("waiting", "waiting"), ("lost", "lost"), ("nosdk", "nosdk")):
        write_tray_png(os.path.join(docs, "tray-%s.png" % name), badge)
