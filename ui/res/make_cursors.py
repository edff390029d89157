#!/usr/bin/env python3
"""Draws the page view's mouse cursors as 32 x 32 XPM files (black with a
white outline on transparent). Run in this folder; the files are compiled in
through ../cursors.qrc. Hot spots are kept in uCursors.cpp."""
import math

N = 32
C = 15.5  # centre


def seg_dist(px, py, x0, y0, x1, y1):
    dx, dy = x1 - x0, y1 - y0
    l2 = dx * dx + dy * dy
    t = 0 if l2 == 0 else max(0, min(1, ((px - x0) * dx + (py - y0) * dy) / l2))
    qx, qy = x0 + t * dx, y0 + t * dy
    return math.hypot(px - qx, py - qy)


class Img:
    def __init__(self):
        self.px = set()

    def line(self, x0, y0, x1, y1, w=2.0):
        for y in range(N):
            for x in range(N):
                if seg_dist(x + 0.5, y + 0.5, x0, y0, x1, y1) <= w / 2:
                    self.px.add((x, y))

    def tri(self, a, b, c):
        def side(p, q, r):
            return (q[0] - p[0]) * (r[1] - p[1]) - (q[1] - p[1]) * (r[0] - p[0])
        for y in range(N):
            for x in range(N):
                p = (x + 0.5, y + 0.5)
                s1, s2, s3 = side(a, b, p), side(b, c, p), side(c, a, p)
                if (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0):
                    self.px.add((x, y))

    def rect(self, x0, y0, x1, y1):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.px.add((x, y))

    def arrow_head(self, tip, angle, size=5.0):
        # angle: direction the arrow points to, in radians
        bx, by = tip[0] - size * math.cos(angle), tip[1] - size * math.sin(angle)
        nx, ny = -math.sin(angle) * size * 0.8, math.cos(angle) * size * 0.8
        self.tri(tip, (bx + nx, by + ny), (bx - nx, by - ny))

    def double_arrow(self, deg, half=12.0):
        a = math.radians(deg)
        ux, uy = math.cos(a), math.sin(a)
        p0 = (C - ux * half, C - uy * half)
        p1 = (C + ux * half, C + uy * half)
        self.line(p0[0] + ux * 3, p0[1] + uy * 3, p1[0] - ux * 3, p1[1] - uy * 3)
        self.arrow_head(p1, a)
        self.arrow_head(p0, a + math.pi)

    def arc(self, cx, cy, r, a0, a1, w=2.0):
        steps = 48
        pts = [(cx + r * math.cos(math.radians(a0 + (a1 - a0) * i / steps)),
                cy + r * math.sin(math.radians(a0 + (a1 - a0) * i / steps))) for i in range(steps + 1)]
        for (x0, y0), (x1, y1) in zip(pts, pts[1:]):
            self.line(x0, y0, x1, y1, w)
        end = math.radians(a1)
        tip = (cx + r * math.cos(end), cy + r * math.sin(end))
        self.arrow_head((tip[0] + 2 * -math.sin(end) * (1 if a1 > a0 else -1),
                         tip[1] + 2 * math.cos(end) * (1 if a1 > a0 else -1)),
                        end + math.pi / 2 * (1 if a1 > a0 else -1), 5)

    def digits(self, text, x, y):
        font = {"0": ["###", "#.#", "#.#", "#.#", "###"], "1": [".#.", "##.", ".#.", ".#.", "###"],
                "5": ["###", "#..", "###", "..#", "###"]}
        for ch in text:
            for j, row in enumerate(font[ch]):
                for i, c in enumerate(row):
                    if c == "#":
                        self.rect(x + 2 * i, y + 2 * j, x + 2 * i + 2, y + 2 * j + 2)
            x += 8

    def xpm(self, name):
        white = set()
        for (x, y) in self.px:
            for dx in (-1, 0, 1):
                for dy in (-1, 0, 1):
                    q = (x + dx, y + dy)
                    if 0 <= q[0] < N and 0 <= q[1] < N and q not in self.px:
                        white.add(q)
        rows = []
        for y in range(N):
            rows.append("".join("#" if (x, y) in self.px else "o" if (x, y) in white else " "
                                for x in range(N)))
        with open(name + ".xpm", "w") as f:
            f.write("/* XPM */\nstatic const char *%s[] = {\n" % name)
            f.write('"%d %d 3 1",\n"  c None",\n"# c #000000",\n"o c #FFFFFF",\n' % (N, N))
            f.write(",\n".join('"%s"' % r for r in rows))
            f.write("\n};\n")


def rotation(label=None):
    img = Img()
    r = 9 if label else 11
    cy = 12 if label else C
    img.arc(C, cy, r, 200, 470)
    if label:
        img.digits(label, 31 - 8 * len(label), 24)
    return img


rotation().xpm("cursor200")
for n, label in ((201, "15"), (202, "10"), (203, "5"), (204, "1")):
    rotation(label).xpm("cursor%d" % n)
for n, deg in ((211, 90), (212, 45), (213, 0), (214, 135)):
    img = Img()
    img.double_arrow(deg)
    img.xpm("cursor%d" % n)

# Move a freely sized element: a four-way arrow.
img = Img()
img.double_arrow(0, 13)
img.double_arrow(90, 13)
img.xpm("cursor102")

# Pan a picture inside its frame: a frame with a small four-way arrow.
img = Img()
for (x0, y0, x1, y1) in ((3, 3, 28, 3), (28, 3, 28, 28), (28, 28, 3, 28), (3, 28, 3, 3)):
    img.line(x0, y0, x1, y1, 1.5)
img.double_arrow(0, 9)
img.double_arrow(90, 9)
img.xpm("cursor101")

# Pan the view: an open hand.
img = Img()
img.rect(10, 16, 24, 27)
for x in (10.5, 14.5, 18.5, 22.5):
    img.line(x + 0.5, 6 + abs(x - 16.5) * 0.6, x + 0.5, 17, 2)
img.line(8, 14, 11, 20, 3)
img.xpm("cursor126")
