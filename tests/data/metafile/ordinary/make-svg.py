#!/usr/bin/env python3
# Writes the SVG drawings of this folder; LibreOffice Draw turns each into the
# WMF and EMF beside it:  soffice --headless --convert-to wmf NAME.svg  (and emf).
import math
import random

random.seed(7)
COLOURS = ["#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd", "#8c564b", "#e377c2", "#7f7f7f"]


def svg(name, w, h, body):
    with open(name + ".svg", "w") as f:
        f.write(f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}px" height="{h}px" viewBox="0 0 {w} {h}">\n')
        f.write(f'<rect x="0" y="0" width="{w}" height="{h}" fill="#ffffff"/>\n')
        f.write(body)
        f.write("</svg>\n")


def pie():
    body, a = [], -math.pi / 2
    shares = [30, 22, 17, 12, 9, 6, 4]
    for i, s in enumerate(shares):
        b = a + 2 * math.pi * s / 100
        x0, y0, x1, y1 = 200 + 150 * math.cos(a), 200 + 150 * math.sin(a), 200 + 150 * math.cos(b), 200 + 150 * math.sin(b)
        large = 1 if b - a > math.pi else 0
        body.append(f'<path d="M200,200 L{x0:.1f},{y0:.1f} A150,150 0 {large} 1 {x1:.1f},{y1:.1f} Z" '
                    f'fill="{COLOURS[i]}" stroke="#ffffff" stroke-width="2"/>\n')
        body.append(f'<rect x="400" y="{60 + i * 40}" width="24" height="24" fill="{COLOURS[i]}"/>\n')
        body.append(f'<text x="434" y="{78 + i * 40}" font-family="Liberation Sans" font-size="18">Share {i + 1}: {s} %</text>\n')
        a = b
    svg("pie-chart", 600, 400, "".join(body))


def lines():
    body = ['<path d="M60,340 H580 M60,340 V20" stroke="#000000" stroke-width="2" fill="none"/>\n']
    for y in range(40, 340, 50):
        body.append(f'<path d="M60,{y} H580" stroke="#999999" stroke-width="1" stroke-dasharray="4,4" fill="none"/>\n')
        body.append(f'<text x="20" y="{y + 5}" font-family="DejaVu Sans" font-size="12">{(340 - y) * 2}</text>\n')
    for s in range(3):
        pts = " ".join(f"{60 + i * 20},{200 - 80 * math.sin(i / 4 + s) - s * 30 + random.uniform(-15, 15):.1f}" for i in range(27))
        body.append(f'<polyline points="{pts}" stroke="{COLOURS[s]}" stroke-width="3" fill="none"/>\n')
    for i in range(0, 27, 3):
        body.append(f'<text x="{52 + i * 20}" y="360" font-family="DejaVu Sans" font-size="12">{2000 + i}</text>\n')
    svg("line-chart", 600, 380, "".join(body))


def barcode():
    body, x = [], 20
    d = []
    for i in range(120):
        w = random.choice([1, 2, 3])
        d.append(f"M{x},20 h{w} v120 h-{w} Z")
        x += w + random.choice([1, 2, 3])
    body.append(f'<path d="{" ".join(d)}" fill="#000000"/>\n')
    body.append(f'<text x="20" y="165" font-family="DejaVu Sans Mono" font-size="16">4 006381 333931</text>\n')
    svg("barcode-chart", x + 20, 180, "".join(body))


def map_():
    # A map of 20 x 10 cells, each a jittered octagon with its own colour and border.
    body = []
    pts = {}
    for j in range(11):
        for i in range(21):
            pts[i, j] = (20 + i * 28 + (random.uniform(-8, 8) if 0 < i < 20 else 0),
                         20 + j * 36 + (random.uniform(-8, 8) if 0 < j < 10 else 0))
    for j in range(10):
        for i in range(20):
            corners = [pts[i, j], pts[i + 1, j], pts[i + 1, j + 1], pts[i, j + 1]]
            ring = []
            for k in range(4):
                a, b = corners[k], corners[(k + 1) % 4]
                ring.append(a)
                ring.append(((a[0] + b[0]) / 2 + random.uniform(-2, 2), (a[1] + b[1]) / 2 + random.uniform(-2, 2)))
            p = " ".join(f"{x:.1f},{y:.1f}" for x, y in ring)
            g = 150 + (i * 7 + j * 13) % 90
            body.append(f'<polygon points="{p}" fill="rgb({g - 60},{g},{g - 100})" stroke="#404040" stroke-width="0.7"/>\n')
    svg("map", 600, 400, "".join(body))


def table():
    body = []
    for r in range(26):
        for c in range(13):
            x, y = 10 + c * 60, 10 + r * 22
            fill = "#dde8f5" if r == 0 or c == 0 else ("#ffffff" if r % 2 else "#f2f2f2")
            body.append(f'<rect x="{x}" y="{y}" width="60" height="22" fill="{fill}" stroke="#333333" stroke-width="0.5"/>\n')
            text = ("Mo Di Mi Do Fr Sa So Mo Di Mi Do Fr".split()[c - 1] if r == 0 and c else
                    f"{7 + r // 2}:{'30' if r % 2 else '00'}" if c == 0 and r else
                    f"Kurs {r * 13 + c}" if r and c else "")
            body.append(f'<text x="{x + 4}" y="{y + 15}" font-family="Liberation Sans" font-size="11">{text}</text>\n')
    svg("timetable", 800, 600, "".join(body))


WORDS = ("lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor incididunt ut labore "
         "et dolore magna aliqua enim ad minim veniam quis nostrud exercitation ullamco laboris nisi").split()


def small_page():
    body = ['<text x="40" y="50" font-family="Liberation Serif" font-size="22" font-weight="bold">A page in two columns</text>\n']
    for col in range(2):
        for line in range(72):
            words = " ".join(random.choice(WORDS) for _ in range(7))
            body.append(f'<text x="{40 + col * 270}" y="{80 + line * 10.5:.1f}" font-family="Liberation Serif" '
                        f'font-size="8pt">{words}</text>\n')
    svg("two-column-page", 595, 842, "".join(body))


def poster():
    body = ['<defs><linearGradient id="lin" x1="0" y1="0" x2="1" y2="1">'
            '<stop offset="0" stop-color="#003366"/><stop offset="1" stop-color="#66ccff"/></linearGradient>'
            '<radialGradient id="rad" cx="0.5" cy="0.5" r="0.5">'
            '<stop offset="0" stop-color="#ffff66"/><stop offset="1" stop-color="#ff3300"/></radialGradient></defs>\n',
            '<rect x="0" y="0" width="600" height="800" fill="url(#lin)"/>\n',
            '<circle cx="300" cy="330" r="200" fill="url(#rad)"/>\n',
            '<path d="M20,700 C150,520 300,880 580,640" stroke="#ffffff" stroke-width="6" fill="none"/>\n']
    for i in range(200):
        body.append(f'<line x1="{i * 3}" y1="760" x2="{600 - i * 3}" y2="800" stroke="#ffffff" stroke-width="0.3"/>\n')
    body.append('<text x="60" y="110" font-family="DejaVu Serif" font-size="56" fill="#ffffff">Sommerfest 2026</text>\n')
    svg("poster", 600, 800, "".join(body))


def hatching():
    # Frames hatched at 45 degrees by lines 8 units apart, dashed lines of six patterns, a dashed ellipse.
    body = []
    for i in range(6):
        x0, y0, w, h = 20 + i * 95, 20, 80, 150
        d = []
        for k in range(-w, h, 8):
            # The line x - x0 = y - y0 - k, cut to the frame.
            ya, yb = max(y0, y0 + k), min(y0 + h, y0 + k + w)
            if yb > ya:
                d.append(f"M{x0 + ya - y0 - k},{ya} L{x0 + yb - y0 - k},{yb}")
        body.append(f'<path d="{" ".join(d)}" stroke="#000000" stroke-width="1.5" fill="none"/>\n')
        body.append(f'<rect x="{x0}" y="{y0}" width="{w}" height="{h}" fill="none" stroke="#000000"/>\n')
    for i, dash in enumerate(["8,4", "2,2", "12,4,2,4", "1,3", "16,8", "6,2,2,2,2,2"]):
        body.append(f'<path d="M20,{200 + i * 30} H580" stroke="{COLOURS[i]}" stroke-width="{1 + i % 3}" '
                    f'stroke-dasharray="{dash}" fill="none"/>\n')
    body.append('<ellipse cx="300" cy="300" rx="250" ry="90" stroke="#000000" stroke-width="2" stroke-dasharray="10,5" fill="none"/>\n')
    svg("hatching-dashes", 600, 400, "".join(body))


def fonts():
    families = ["DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono", "Liberation Sans", "Liberation Serif",
                "Liberation Mono", "Nimbus Roman", "Nimbus Sans", "URW Bookman", "URW Gothic", "C059", "P052",
                "Noto Mono", "Z003"]
    body = []
    for i in range(40):
        fam = families[i % len(families)]
        style = ' font-weight="bold"' if i % 3 == 1 else (' font-style="italic"' if i % 3 == 2 else "")
        body.append(f'<text x="20" y="{30 + i * 19}" font-family="{fam}" font-size="15"{style}>'
                    f'{fam}: Franz jagt im komplett verwahrlosten Taxi quer durch Bayern</text>\n')
    svg("font-samples", 700, 800, "".join(body))


def strip_escapes(name):
    """Leaves out the escape records of a WMF: LibreOffice keeps a copy of the
    drawing as an EMF there, which the player does not read."""
    import struct
    with open(name, "rb") as f:
        d = f.read()
    at = 22 + 18 if struct.unpack_from("<I", d, 0)[0] == 0x9AC6CDD7 else 18
    out, biggest = bytearray(d[:at]), 0
    while at < len(d):
        size, fn = struct.unpack_from("<IH", d, at)
        if fn != 0x0626:
            out += d[at:at + size * 2]
            biggest = max(biggest, size)
        if size == 0 or fn == 0:
            break
        at += size * 2
    header = out[22:] if len(out) > 22 and struct.unpack_from("<I", out, 0)[0] == 0x9AC6CDD7 else out
    struct.pack_into("<IHI", header, 6, len(header) // 2, struct.unpack_from("<H", header, 10)[0], biggest)
    with open(name, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    import sys
    if sys.argv[1:2] == ["--strip"]:
        for name in sys.argv[2:]:
            strip_escapes(name)
    else:
        for f in (pie, lines, barcode, map_, table, small_page, poster, hatching, fonts):
            f()
