#!/usr/bin/env python3
"""Draws the add-in's pictures and writes them as BMP and ICO files beside this script.

One motif throughout: soft vertical gradients lit from the top, a one-pixel darker outline, the blue
of the synchronization arrows and the manila of the folders. Shapes are drawn at 8x and averaged down,
so edges are smooth; pictures with a key colour (green 0x00FF00 for the folder image set, white for the
module's own bitmaps) get hard edges blended onto white, where they are shown.

Run it after changing a picture: python3 make_images.py (the outputs are checked in).
"""
import math
import os
import struct

S = 8  # samples per pixel along each axis


class Canvas:
    def __init__(self, size, unit=None):
        """A picture of size pixels; shapes are given in units of a picture unit pixels wide (the
        drawing's own size), so one drawing serves every size."""
        self.n = size
        self.unit = unit or size
        self.k = size / self.unit  # pixels per unit
        self.w = size * S
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(self.w * self.w)]  # premultiplied RGBA

    def paint(self, inside, colour, box=None):
        """Fills every sample whose centre (in units) is inside, with colour(x, y) or a tuple."""
        x0, y0, x1, y1 = box if box else (0, 0, self.unit, self.unit)
        scale = self.k
        sx0, sy0 = max(0, int(x0 * scale * S)), max(0, int(y0 * scale * S))
        sx1, sy1 = min(self.w, int(math.ceil(x1 * scale * S))), min(self.w, int(math.ceil(y1 * scale * S)))
        const = colour if isinstance(colour, tuple) else None
        for sy in range(sy0, sy1):
            y = (sy + 0.5) / S / scale
            for sx in range(sx0, sx1):
                x = (sx + 0.5) / S / scale
                if not inside(x, y):
                    continue
                c = const if const else colour(x, y)
                a = c[3] if len(c) > 3 else 1.0
                p = self.px[sy * self.w + sx]
                for k in range(3):
                    p[k] = c[k] / 255.0 * a + p[k] * (1 - a)
                p[3] = a + p[3] * (1 - a)

    def pixels(self):
        """Averaged pixels: rows of (r, g, b, alpha) with r, g, b not premultiplied (0..255)."""
        out = []
        for y in range(self.n):
            row = []
            for x in range(self.n):
                acc = [0.0] * 4
                for sy in range(y * S, y * S + S):
                    for sx in range(x * S, x * S + S):
                        p = self.px[sy * self.w + sx]
                        for k in range(4):
                            acc[k] += p[k]
                acc = [v / (S * S) for v in acc]
                a = acc[3]
                if a <= 0:
                    row.append((0, 0, 0, 0.0))
                else:
                    row.append(tuple(min(255, int(round(acc[k] / a * 255))) for k in range(3)) + (a,))
            out.append(row)
        return out


# ---- shapes (pixel coordinates, y down) ----

def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def rrect(x0, y0, x1, y1, r):
    def f(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return f


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def poly(points):
    def f(x, y):
        inside = False
        n = len(points)
        for i in range(n):
            (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
            if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                inside = not inside
        return inside
    return f


def seg(ax, ay, bx, by, width):
    def f(x, y):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        return (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= (width / 2) ** 2
    return f


def arc(cx, cy, r0, r1, a0, a1):
    """Ring between radii r0 and r1 from angle a0 to a1 (degrees, counter-clockwise, 0 = east)."""
    def f(x, y):
        d = math.hypot(x - cx, y - cy)
        if not (r0 <= d <= r1):
            return False
        a = math.degrees(math.atan2(cy - y, x - cx)) % 360
        return (a - a0) % 360 <= (a1 - a0) % 360
    return f


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def vgrad(top, bottom, y0, y1):
    def c(x, y):
        t = max(0.0, min(1.0, (y - y0) / (y1 - y0)))
        return tuple(top[k] + (bottom[k] - top[k]) * t for k in range(3))
    return c


def hexc(v):
    return ((v >> 16) & 255, (v >> 8) & 255, v & 255)


def shade(c, f):
    return tuple(max(0, min(255, int(v * f))) for v in c)


def boxed(cv, outer, inner, fill, line):
    """An outlined shape: the outer shape in the line colour, the inner one in fill."""
    cv.paint(outer, line)
    cv.paint(inner, fill)


# ---- palette ----
BLUE = hexc(0x2F7BD8)
BLUE_DARK = hexc(0x1A4F96)
BLUE_LIGHT = hexc(0x7DB8F5)
GREEN = hexc(0x3DA33D)
GREEN_DARK = hexc(0x24702A)
RED = hexc(0xD8403A)
RED_DARK = hexc(0x9A2420)
MANILA = hexc(0xF6CD5E)
MANILA_LIGHT = hexc(0xFFE9A6)
MANILA_DARK = hexc(0xB7862A)
PAPER = hexc(0xFBFBF8)
PAPER_SHADE = hexc(0xE4E6EA)
LINE = hexc(0x5E6670)
GREY = hexc(0x9AA3AD)
GREY_DARK = hexc(0x56606B)
GOLD = hexc(0xF2B01E)
GOLD_DARK = hexc(0xA8700E)


# ---- 16x16 glyphs ----

def folder(cv, front=None):
    boxed(cv, rrect(1, 2, 7.5, 6, 1), rrect(2, 3, 6.5, 6, 0.5), MANILA_DARK, MANILA_DARK)
    boxed(cv, rect(1, 4, 15, 14), rect(2, 5, 14, 13), vgrad(MANILA, shade(MANILA, 0.85), 5, 13), MANILA_DARK)
    boxed(cv, rect(1, 6.5, 15, 14), rect(2, 7.5, 14, 13),
          front or vgrad(MANILA_LIGHT, MANILA, 7, 13), MANILA_DARK)


def envelope(cv, x0, y0, x1, y1):
    boxed(cv, rect(x0, y0, x1, y1), rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1), vgrad(PAPER, PAPER_SHADE, y0, y1), LINE)
    mx = (x0 + x1) / 2
    my = y0 + (y1 - y0) * 0.55
    cv.paint(union(seg(x0 + 1, y0 + 1, mx, my, 1.0), seg(mx, my, x1 - 1, y0 + 1, 1.0)), LINE)


def arrow_right(cv, x0, y, x1, colour, dark):
    head = poly([(x1 - 3.6, y - 4), (x1 + 0.5, y), (x1 - 3.6, y + 4)])
    shaft = rect(x0, y - 1.6, x1 - 3, y + 1.6)
    cv.paint(union(head, shaft), dark)
    cv.paint(union(poly([(x1 - 3.1, y - 2.6), (x1 - 0.9, y), (x1 - 3.1, y + 2.6)]), rect(x0 + 1, y - 0.6, x1 - 2.6, y + 0.6)), colour)


def arrow_down(cv, x, y0, y1, colour, dark):
    cv.paint(union(poly([(x - 4, y1 - 3.6), (x, y1 + 0.5), (x + 4, y1 - 3.6)]), rect(x - 1.6, y0, x + 1.6, y1 - 3)), dark)
    cv.paint(union(poly([(x - 2.6, y1 - 3.1), (x, y1 - 0.9), (x + 2.6, y1 - 3.1)]), rect(x - 0.6, y0 + 1, x + 0.6, y1 - 2.6)), colour)


def arrow_up(cv, x, y0, y1, colour, dark):
    cv.paint(union(poly([(x - 4, y0 + 3.6), (x, y0 - 0.5), (x + 4, y0 + 3.6)]), rect(x - 1.6, y0 + 3, x + 1.6, y1)), dark)
    cv.paint(union(poly([(x - 2.6, y0 + 3.1), (x, y0 + 0.9), (x + 2.6, y0 + 3.1)]), rect(x - 0.6, y0 + 2.6, x + 0.6, y1 - 1)), colour)


def tray(cv):
    boxed(cv, poly([(1, 9), (4, 9), (5, 11), (11, 11), (12, 9), (15, 9), (15, 15), (1, 15)]),
          poly([(2, 10), (3.4, 10), (4.4, 12), (11.6, 12), (12.6, 10), (14, 10), (14, 14), (2, 14)]),
          vgrad(hexc(0xDDE6F0), hexc(0xAFC0D4), 10, 14), GREY_DARK)


def cylinder(cv, body, dark, light):
    cv.paint(union(rect(2, 4, 14, 12.5), ellipse(8, 12.5, 6, 2.4)), dark)
    cv.paint(union(rect(3, 4, 13, 12.5), ellipse(8, 12.5, 5, 1.5)),
             lambda x, y: tuple(light[k] + (body[k] - light[k]) * min(1, abs(x - 6) / 6) for k in range(3)))
    cv.paint(arc(8, 8.4, 5.0, 6.0, 200, 340), shade(dark, 1.15))
    cv.paint(ellipse(8, 4, 6, 2.6), dark)
    cv.paint(ellipse(8, 4, 5, 1.7), vgrad(hexc(0xE6F1FD), hexc(0xB9D6F6), 2.3, 5.7))


def star(cv, cx, cy, r):
    pts = []
    for i in range(10):
        a = math.radians(90 + i * 36)
        rr = r if i % 2 == 0 else r * 0.45
        pts.append((cx + rr * math.cos(a), cy - rr * math.sin(a)))
    cv.paint(poly(pts), GOLD_DARK)
    inner = [(cx + (px - cx) * 0.62, cy + (py - cy) * 0.62) for px, py in pts]
    cv.paint(poly(inner), GOLD)


def g101(cv):  # default store
    cylinder(cv, BLUE, BLUE_DARK, BLUE_LIGHT)
    star(cv, 11.5, 11.5, 4.6)


def g102(cv):  # store
    cylinder(cv, BLUE, BLUE_DARK, BLUE_LIGHT)


def g104(cv):  # calendar
    boxed(cv, rect(1.5, 2.5, 14.5, 15), rect(2.5, 3.5, 13.5, 14), vgrad(PAPER, PAPER_SHADE, 3, 14), LINE)
    cv.paint(rect(2.5, 3.5, 13.5, 6.5), vgrad(hexc(0xE8625B), RED, 3.5, 6.5))
    for x in (5, 11):
        cv.paint(rrect(x - 0.8, 1, x + 0.8, 5, 0.8), GREY_DARK)
    for row in range(3):
        for col in range(4):
            x, y = 3.6 + col * 2.5, 7.6 + row * 2.0
            cv.paint(rect(x, y, x + 1.4, y + 1.2), RED if (row, col) == (1, 2) else GREY)


def g105(cv):  # contacts
    boxed(cv, rrect(0.5, 3, 15.5, 13.5, 1), rrect(1.5, 4, 14.5, 12.5, 0.5), vgrad(PAPER, PAPER_SHADE, 4, 12.5), LINE)
    cv.paint(ellipse(5.2, 6.6, 1.8, 1.9), hexc(0xC9774A))
    cv.paint(minus(ellipse(5.2, 12.4, 3.2, 3.0), rect(0, 12.5, 16, 16)), BLUE)
    for i, w in enumerate((4.5, 4.5, 3)):
        cv.paint(rect(9, 5.8 + i * 2, 9 + w, 6.8 + i * 2), GREY)


def g106(cv):  # Sent Items
    envelope(cv, 1, 4, 12, 12)
    arrow_right(cv, 7, 12, 15.5, GREEN, GREEN_DARK)


def g107(cv):  # drafts (not used by the picker; kept in the set)
    boxed(cv, poly([(2.5, 1.5), (10, 1.5), (13.5, 5), (13.5, 15), (2.5, 15)]),
          poly([(3.5, 2.5), (9.5, 2.5), (12.5, 5.5), (12.5, 14), (3.5, 14)]), PAPER, LINE)
    for i in range(4):
        cv.paint(rect(5, 6 + i * 2, 11, 7 + i * 2), GREY)
    cv.paint(seg(6, 14, 14.5, 5.5, 3.2), hexc(0x8A5A12))
    cv.paint(seg(6.6, 13.4, 14.2, 5.8, 1.8), GOLD)


def g108(cv):  # Inbox
    tray(cv)
    arrow_down(cv, 8, 1, 11, BLUE, BLUE_DARK)


def g109(cv):  # journal
    boxed(cv, rrect(2.5, 1.5, 14, 15, 1), rrect(3.5, 2.5, 13, 14, 0.5), vgrad(hexc(0x4F8F6A), hexc(0x2F6B4A), 2, 14),
          hexc(0x1F4A33))
    cv.paint(rect(3.5, 2.5, 5, 14), hexc(0x24573B))
    cv.paint(rect(7, 4.5, 11.5, 7.5), PAPER)
    cv.paint(poly([(10, 1), (12, 1), (12, 6), (11, 5), (10, 6)]), RED)


def g110(cv):  # public folders (not used by the picker; kept in the set)
    cv.paint(ellipse(8, 8, 6.9, 6.9), BLUE_DARK)
    cv.paint(ellipse(8, 8, 5.9, 5.9), vgrad(BLUE_LIGHT, BLUE, 2, 14))
    land = hexc(0x4DB35A)
    cv.paint(union(ellipse(6, 6, 2.5, 2.0), ellipse(10.5, 10.5, 2.2, 2.6), ellipse(5.5, 10.5, 1.2, 1.0)), land)


def g111(cv):  # note
    boxed(cv, poly([(1.5, 1.5), (14.5, 1.5), (14.5, 10.5), (10.5, 14.5), (1.5, 14.5)]),
          poly([(2.5, 2.5), (13.5, 2.5), (13.5, 10), (10, 13.5), (2.5, 13.5)]),
          vgrad(hexc(0xFFF4A8), hexc(0xF9DF66), 2, 14), hexc(0xB59A2A))
    cv.paint(poly([(10, 14), (10, 10), (14, 10)]), hexc(0xD8BC45))
    for i in range(3):
        cv.paint(rect(4, 5 + i * 2.2, 11 - (3 if i == 2 else 0), 5.8 + i * 2.2), hexc(0xB59A2A))


def g112(cv):  # Outbox
    tray(cv)
    arrow_up(cv, 8, 0.5, 10.5, GREEN, GREEN_DARK)


def g113(cv):  # Deleted Items
    boxed(cv, poly([(3, 5), (13, 5), (12, 15), (4, 15)]), poly([(4, 6), (12, 6), (11.1, 14), (4.9, 14)]),
          vgrad(hexc(0xD5DBE2), hexc(0x9EA8B3), 6, 14), GREY_DARK)
    for x in (6.3, 8, 9.7):
        cv.paint(rect(x - 0.45, 7, x + 0.45, 13), GREY_DARK)
    cv.paint(rrect(2, 3, 14, 5.5, 0.8), GREY_DARK)
    cv.paint(rrect(3, 3.8, 13, 4.8, 0.4), hexc(0xC4CCD5))
    cv.paint(rrect(6, 1.5, 10, 3.5, 0.6), GREY_DARK)


def g114(cv):  # mail folder
    folder(cv)


def g115(cv):  # task
    boxed(cv, rrect(1.5, 2.5, 13.5, 14.5, 1), rrect(2.5, 3.5, 12.5, 13.5, 0.5), vgrad(PAPER, PAPER_SHADE, 3, 14), LINE)
    check = [(3.5, 8.5), (6.2, 11.5), (14.5, 2.2), (15.5, 3.8), (6.2, 14), (2, 9.8)]
    cv.paint(poly(check), GREEN_DARK)
    cv.paint(poly([(4.3, 8.9), (6.2, 11.0), (14.3, 3.2), (14.6, 3.7), (6.2, 13.0), (3.1, 9.7)]), GREEN)


def g116(cv):  # search folder (not used by the picker; kept in the set)
    folder(cv)
    cv.paint(seg(11.5, 11.5, 14.8, 14.8, 2.6), GREY_DARK)
    cv.paint(ellipse(9.5, 9.5, 3.6, 3.6), GREY_DARK)
    cv.paint(ellipse(9.5, 9.5, 2.5, 2.5), vgrad(hexc(0xE8F3FF), BLUE_LIGHT, 7, 12))


# ---- the synchronization motif (module pictures and icons) ----

def sync_arrows(cv, size, ring_colour=None):
    """Two blue arrows chasing each other round a circle, the add-in's mark."""
    c = size / 2
    r1 = size * (0.37 if size <= 16 else 0.46)  # room for the arrow heads inside a small picture
    r0 = size * (0.17 if size <= 16 else 0.27)
    t = (r1 - r0)
    top = ring_colour or BLUE_LIGHT
    fill = vgrad(top, BLUE, c - r1, c + r1)
    small = size <= 16
    span = 100 if small else 125  # small pictures need wider gaps to tell the two arrows apart
    for start in ((35, 215) if small else (20, 200)):
        body = arc(c, c, r0, r1, start, start + span)
        a = math.radians(start + span)
        # the arrow head, at the leading end (counter-clockwise), pointing along the circle
        mid = (r0 + r1) / 2
        hx, hy = c + mid * math.cos(a), c - mid * math.sin(a)
        tx, ty = -math.sin(a), -math.cos(a)  # tangent, counter-clockwise, y down
        nx, ny = math.cos(a), -math.sin(a)  # outward
        w = t * (1.15 if small else 1.05)
        reach = t * (1.45 if small else 1.5)
        head = poly([(hx + nx * w, hy + ny * w), (hx + tx * reach, hy + ty * reach), (hx - nx * w, hy - ny * w)])
        outline = 0.75 if small else max(0.9, size / 28)
        cv.paint(union(arc(c, c, r0 - outline, r1 + outline, start - 4, start + span + 2), grow(head, hx, hy, 1.28)),
                 BLUE_DARK)
        cv.paint(union(body, head), fill)


def grow(shape, cx, cy, f):
    return lambda x, y: shape(cx + (x - cx) / f, cy + (y - cy) / f)


def mini_folder(cv, x0, y0, w, h, colour=None):
    line = MANILA_DARK
    tab_w = w * 0.42
    boxed(cv, rrect(x0, y0, x0 + tab_w, y0 + h * 0.3, w * 0.06), rrect(x0 + 1, y0 + 1, x0 + tab_w - 1, y0 + h * 0.3, w * 0.04),
          MANILA_DARK, line)
    boxed(cv, rect(x0, y0 + h * 0.15, x0 + w, y0 + h), rect(x0 + 1, y0 + h * 0.15 + 1, x0 + w - 1, y0 + h - 1),
          vgrad(MANILA, shade(MANILA, 0.85), y0, y0 + h), line)
    boxed(cv, rect(x0, y0 + h * 0.32, x0 + w, y0 + h), rect(x0 + 1, y0 + h * 0.32 + 1, x0 + w - 1, y0 + h - 1),
          colour or vgrad(MANILA_LIGHT, MANILA, y0 + h * 0.3, y0 + h), line)


def mark16(cv):
    sync_arrows(cv, 16)


def mark32(cv):
    sync_arrows(cv, 32)


def header48(cv):
    # A folder kept in step: the add-in's arrows over its corner.
    mini_folder(cv, 1, 14, 32, 27)
    ring = Canvas(int(round(28 * cv.k)), 28)
    sync_arrows(ring, 28)
    px = ring.px
    top, left = int(round(4 * cv.k * S)), int(round(19 * cv.k * S))
    for sy in range(ring.w):
        for sx in range(ring.w):
            p = px[sy * ring.w + sx]
            if p[3] <= 0:
                continue
            q = cv.px[(sy + top) * cv.w + sx + left]
            for k in range(3):
                q[k] = p[k] + q[k] * (1 - p[3])
            q[3] = p[3] + q[3] * (1 - p[3])


def info_icon(cv, size):
    c = size / 2
    r = size * 0.46
    cv.paint(ellipse(c, c, r, r), BLUE_DARK)
    cv.paint(ellipse(c, c, r - max(1, size / 24), r - max(1, size / 24)), vgrad(BLUE_LIGHT, BLUE, c - r, c + r))
    dot = size * 0.09
    cv.paint(ellipse(c, c - r * 0.5, dot, dot), PAPER)
    cv.paint(rrect(c - dot * 0.9, c - r * 0.22, c + dot * 0.9, c + r * 0.62, dot * 0.4), PAPER)


# ---- writers ----

def flatten(px, key):
    """Pixels onto white; what is mostly uncovered becomes the key colour."""
    rows = []
    for row in px:
        out = []
        for r, g, b, a in row:
            if a < 0.4:
                out.append(key)
            else:
                a = min(1.0, a / 0.9) if a < 0.9 else 1.0
                c = tuple(int(round(v * a + 255 * (1 - a))) for v in (r, g, b))
                if c == key:  # the key colour must mean "see-through" only
                    c = (c[0], c[1], c[2] - 1) if c[2] else (c[0], c[1] - 1, c[2])
                out.append(c)
        rows.append(out)
    return rows


def write_bmp(path, rows):
    n = len(rows)
    w = len(rows[0])
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, w, n, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def icon_image(px):
    n = len(px)
    xor = bytearray()
    and_stride = ((n + 31) // 32) * 4
    andm = bytearray()
    for row in reversed(px):
        bits = 0
        mask_line = bytearray()
        for x, (r, g, b, a) in enumerate(row):
            alpha = int(round(max(0.0, min(1.0, a)) * 255))
            xor += bytes((b, g, r, alpha))
            if alpha == 0:
                bits |= 0x80 >> (x % 8)
            if x % 8 == 7:
                mask_line.append(bits)
                bits = 0
        mask_line += b"\0" * (and_stride - len(mask_line))
        andm += mask_line
    info = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 32, 0, len(xor) + len(andm), 0, 0, 0, 0)
    return info + xor + andm


def write_ico(path, images):
    count = len(images)
    head = struct.pack("<HHH", 0, 1, count)
    entries = b""
    blobs = b""
    offset = 6 + 16 * count
    for px in images:
        blob = icon_image(px)
        n = len(px)
        entries += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(blob), offset)
        blobs += blob
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(head + entries + blobs)


def draw(size, fn, *args, unit=None):
    cv = Canvas(size, unit)
    fn(cv, *args)
    return cv.pixels()


# Larger drawings of the same pictures for display scaling, under numbers of their own:
# the folder image set at 20, 24 and 32 pixels (number size * 100 + n - 100: 2401 is 101 at 24 pixels),
# the module's header pictures at 125, 150 and 200 % (+100, +200, +300).
FOLDER_SIZES = (20, 24, 32)
HEADER_SCALES = (1.25, 1.5, 2.0)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    green = (0, 255, 0)
    white = (255, 255, 255)
    glyphs = {101: g101, 102: g102, 104: g104, 105: g105, 106: g106, 107: g107, 108: g108, 109: g109,
              110: g110, 111: g111, 112: g112, 113: g113, 114: g114, 115: g115, 116: g116}
    for number, fn in glyphs.items():
        write_bmp(os.path.join(here, "folder%d.bmp" % number), flatten(draw(16, fn), green))
        for size in FOLDER_SIZES:
            write_bmp(os.path.join(here, "folder%d_%d.bmp" % (number, size)), flatten(draw(size, fn, unit=16), green))
    write_bmp(os.path.join(here, "sync16.bmp"), flatten(draw(16, mark16), white))
    write_bmp(os.path.join(here, "sync32.bmp"), flatten(draw(32, mark32), white))
    write_bmp(os.path.join(here, "header48.bmp"), flatten(draw(48, header48), white))
    for scale in HEADER_SCALES:
        n = int(round(32 * scale))
        write_bmp(os.path.join(here, "sync%d.bmp" % n), flatten(draw(n, mark32, unit=32), white))
        n = int(round(48 * scale))
        write_bmp(os.path.join(here, "header%d.bmp" % n), flatten(draw(n, header48, unit=48), white))
    # Icons carry every size in one resource; Windows picks the one the scaling asks for.
    write_ico(os.path.join(here, "sync.ico"),
              [draw(32, mark32), draw(16, mark16), draw(20, mark16, unit=16), draw(24, mark16, unit=16),
               draw(40, mark32, unit=32), draw(48, mark32, unit=32), draw(64, mark32, unit=32)])
    write_ico(os.path.join(here, "info.ico"),
              [draw(32, info_icon, 32), draw(16, info_icon, 16)] + [draw(n, info_icon, n) for n in (20, 24, 40, 48, 64)])


if __name__ == "__main__":
    main()
