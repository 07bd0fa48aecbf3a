#!/usr/bin/env python3
"""Draws the application icon: an access point (a flat box with status lights and two antennas)
sending radio waves, as shapes on a 32 x 32 grid, and writes it in every form it is used in:

    make_app_icon.py --out-dir DIR

DIR/hicolor/scalable/apps/apmanager.svg, DIR/hicolor/NxN/apps/apmanager.png for the desktop's icon
theme (16 to 256 pixels), and DIR/AppIconImages.h, the PNG images the window and the About box
use, as C++ data (the window picks the size that suits the screen's scale). The build runs it;
the drawing below is the one source of all of them.

A light halo runs round the whole drawing, so that the dark antennas and edges stand out on a
dark panel as well as on a light one. Pure Python: it rasterises the shapes itself, sampling
each pixel several times for smooth edges.
"""

import argparse
import math
import os
import struct
import zlib

GRID = 32.0
THEME_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
WINDOW_SIZES = (16, 24, 32, 48, 64, 128)
HALO = 1.1  # grid units of light round every shape
HALO_COLOUR = (255, 255, 255, 200)


def rgba(text, alpha=255):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5)) + (alpha,)


BLACK = rgba("#000000")
WHITE = rgba("#FFFFFF")
SILVER = rgba("#C0C0C0")
GREY = rgba("#808080")
DARK = rgba("#404040")
BLUE = rgba("#0050E0")
NAVY = rgba("#000080")
GREEN = rgba("#00C000")
YELLOW = rgba("#F0D000")


class Shape:
    """A filled region with an optional outline of `edge` width, given by its signed distance."""

    def __init__(self, bounds, distance, fill, outline=None, edge=0.0, svg="", halo=""):
        self.bounds = bounds  # x0, y0, x1, y1
        self.distance = distance
        self.fill = fill
        self.outline = outline
        self.edge = edge
        self.svg = svg
        self.halo = halo  # the same outline in SVG, widened by the halo, for under the drawing

    def colour_at(self, x, y):
        d = self.distance(x, y)
        if d > 0:
            return None
        if self.outline is not None and d > -self.edge:
            return self.outline
        return self.fill


def svg_colour(colour):
    return "#%02X%02X%02X" % colour[:3]


def rect(x0, y0, x1, y1, fill, outline=None, edge=0.0):
    def distance(x, y):
        dx = max(x0 - x, x - x1)
        dy = max(y0 - y, y - y1)
        if dx <= 0 and dy <= 0:
            return max(dx, dy)
        return math.hypot(max(dx, 0), max(dy, 0))

    stroke = ""
    if outline is not None:
        # The SVG's stroke runs inside the edge, as the raster's outline does.
        x0s, y0s, ws, hs = x0 + edge / 2, y0 + edge / 2, x1 - x0 - edge, y1 - y0 - edge
        stroke = f' stroke="{svg_colour(outline)}" stroke-width="{edge:g}"'
    else:
        x0s, y0s, ws, hs = x0, y0, x1 - x0, y1 - y0
    svg = (f'<rect x="{x0s:g}" y="{y0s:g}" width="{ws:g}" height="{hs:g}" '
           f'fill="{svg_colour(fill)}"{stroke}/>')
    halo = (f'<rect x="{x0:g}" y="{y0:g}" width="{x1 - x0:g}" height="{y1 - y0:g}" '
            f'stroke-width="{HALO * 2:g}"/>')
    return Shape((x0, y0, x1, y1), distance, fill, outline, edge, svg, halo)


def segment_distance(x, y, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy)))
    return math.hypot(x - ax - t * vx, y - ay - t * vy)


def polygon(points, fill, outline, edge):
    edges = list(zip(points, points[1:] + points[:1]))

    def distance(x, y):
        inside = False
        for (ax, ay), (bx, by) in edges:
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                inside = not inside
        d = min(segment_distance(x, y, ax, ay, bx, by) for (ax, ay), (bx, by) in edges)
        return -d if inside else d

    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    # Drawn with its outline and then its fill inset by the outline's width, as the raster.
    path = " ".join(f"{x:g},{y:g}" for x, y in points)
    svg = (f'<polygon points="{path}" fill="{svg_colour(fill)}" stroke="{svg_colour(outline)}" '
           f'stroke-width="{edge * 2:g}" stroke-linejoin="miter" clip-path="url(#top)"/>')
    halo = f'<polygon points="{path}" stroke-width="{HALO * 2:g}"/>'
    return Shape((min(xs), min(ys), max(xs), max(ys)), distance, fill, outline, edge, svg, halo)


def arc(cx, cy, radius, start_deg, end_deg, width, colour):
    """A stroke along a circle from start to end (degrees counter-clockwise, y up), round caps."""
    a0, a1 = math.radians(start_deg), math.radians(end_deg)

    def point(angle):
        return cx + radius * math.cos(angle), cy - radius * math.sin(angle)

    def distance(x, y):
        angle = math.atan2(cy - y, x - cx)
        if a0 <= angle <= a1:
            d = abs(math.hypot(x - cx, y - cy) - radius)
        else:
            d = min(math.hypot(x - px, y - py) for px, py in (point(a0), point(a1)))
        return d - width / 2

    (x0, y0), (x1, y1) = point(a1), point(a0)
    svg = (f'<path d="M {x0:.3f} {y0:.3f} A {radius:g} {radius:g} 0 0 1 {x1:.3f} {y1:.3f}" '
           f'fill="none" stroke="{svg_colour(colour)}" stroke-width="{width:g}" '
           f'stroke-linecap="round"/>')
    halo = (f'<path d="M {x0:.3f} {y0:.3f} A {radius:g} {radius:g} 0 0 1 {x1:.3f} {y1:.3f}" '
            f'fill="none" stroke-width="{width + HALO * 2:g}"/>')
    reach = radius + width
    return Shape((cx - reach, cy - reach, cx + reach, cy + reach), distance, colour, svg=svg,
                 halo=halo)


def drawing():
    """The shapes, back to front."""
    shapes = []
    # Radio waves above the box, centred between the antennas' tips.
    for radius, colour in ((3.5, BLUE), (6.5, BLUE), (9.5, NAVY)):
        shapes.append(arc(16, 14, radius, 40, 140, 1.6, colour))
    # Two antennas standing on the box's top, with black tips.
    for x in (5, 25):
        shapes.append(rect(x, 4, x + 2, 18, DARK, BLACK, 0.6))
        shapes.append(rect(x - 0.25, 2.5, x + 2.25, 5, BLACK))
    # The box: its lit top face seen slightly from above, then the front with its status lights.
    shapes.append(polygon([(4, 16), (28, 16), (31, 20.5), (1, 20.5)], WHITE, BLACK, 1.0))
    shapes.append(rect(1, 20, 31, 29, SILVER, BLACK, 1.0))
    shapes.append(rect(2, 27, 30, 28, GREY))
    for x, colour in ((5, GREEN), (9, GREEN), (13, YELLOW), (17, GREEN)):
        shapes.append(rect(x, 23, x + 2, 25.5, colour))
    # A ventilation grille on the right of the front.
    for x in (22, 24, 26, 28):
        shapes.append(rect(x, 22, x + 0.9, 26, GREY))
    return shapes


def over(top, bottom):
    """`top` composited over `bottom`, both RGBA with 0..255 channels."""
    ta = top[3] / 255
    ba = bottom[3] / 255
    a = ta + ba * (1 - ta)
    if a == 0:
        return (0, 0, 0, 0)
    return tuple((top[i] * ta + bottom[i] * ba * (1 - ta)) / a for i in range(3)) + (a * 255,)


def sample(shapes, x, y):
    colour = (0, 0, 0, 0)
    halo = False
    for shape in shapes:
        x0, y0, x1, y1 = shape.bounds
        if x < x0 - HALO or x > x1 + HALO or y < y0 - HALO or y > y1 + HALO:
            continue
        d = shape.distance(x, y)
        if d <= HALO:
            halo = True
        found = shape.colour_at(x, y)
        if found is not None:
            colour = over(found, colour)
    return over(colour, HALO_COLOUR) if halo and colour[3] < 255 else colour


def render(shapes, size):
    """RGBA rows of the drawing at size x size pixels."""
    per_pixel = max(2, min(4, 512 // size))
    step = GRID / size / per_pixel
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            total = [0.0, 0.0, 0.0, 0.0]
            for sy in range(per_pixel):
                for sx in range(per_pixel):
                    x = (px * per_pixel + sx + 0.5) * step
                    y = (py * per_pixel + sy + 0.5) * step
                    r, g, b, a = sample(shapes, x, y)
                    total[0] += r * a
                    total[1] += g * a
                    total[2] += b * a
                    total[3] += a
            alpha = total[3] / (per_pixel * per_pixel)
            if total[3] > 0:
                row += bytes(round(total[i] / total[3]) for i in range(3))
            else:
                row += b"\0\0\0"
            row.append(round(alpha))
        rows.append(bytes(row))
    return rows


def png_bytes(rows, size):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    raw = b"".join(b"\0" + row for row in rows)  # filter type 0 for every scanline
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def svg_text(shapes):
    body = "\n    ".join(s.svg for s in shapes)
    halo = "\n    ".join(s.halo for s in shapes)
    opacity = HALO_COLOUR[3] / 255
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <title>Access Point Management</title>
  <defs>
    <clipPath id="top"><polygon points="4,16 28,16 31,20.5 1,20.5"/></clipPath>
  </defs>
  <g fill="#FFFFFF" stroke="#FFFFFF" stroke-linejoin="round" stroke-linecap="round"
     opacity="{opacity:.2f}">
    {halo}
  </g>
  {body}
</svg>
"""


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    mode = "wb" if isinstance(data, bytes) else "w"
    with open(path, mode) as out:
        out.write(data)


def header_text(images):
    lines = [
        "// Generated by make_app_icon.py: the application icon as PNG images, one per size.",
        "#pragma once",
        "",
        "#include <cstddef>",
        "",
    ]
    for size, data in images:
        values = ",".join(str(b) for b in data)
        lines.append(f"inline constexpr unsigned char kAppIcon{size}[] = {{{values}}};")
    lines.append("")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out-dir", required=True,
                        help="where the icon theme's files and the C++ images go")
    out = parser.parse_args().out_dir
    shapes = drawing()
    images = {}
    for size in sorted(set(THEME_SIZES) | set(WINDOW_SIZES)):
        images[size] = png_bytes(render(shapes, size), size)
    for size in THEME_SIZES:
        write(os.path.join(out, "hicolor", f"{size}x{size}", "apps", "apmanager.png"),
              images[size])
    write(os.path.join(out, "hicolor", "scalable", "apps", "apmanager.svg"), svg_text(shapes))
    write(os.path.join(out, "AppIconImages.h"),
          header_text([(size, images[size]) for size in WINDOW_SIZES]))


if __name__ == "__main__":
    main()
