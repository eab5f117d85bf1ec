#!/usr/bin/env python3
"""Draws Vorbel's icons and cursors and writes every file made from them.

    draw_images.py                 rewrite the files beside this script
    draw_images.py --out DIR       write the same files under DIR instead
    draw_images.py --check         exit 1 unless the files beside this script
                                   are exactly what it draws now
    draw_images.py --preview DIR   8x magnified PNGs of every picture, on a
                                   chequered ground, for looking at

Written files, relative to the res directory:
    images/*.xpm                   compiled into the program (images.cpp)
    icons/hicolor/NxN/apps/vorbel.png, icons/hicolor/scalable/apps/vorbel.svg
                                   the desktop icon

The icon has one description, ICON below, and every size is drawn from it:
the 16-colour window icons at 16 and 32 pixels on the pixel grid with whole
pixel strokes, the larger PNGs with anti-aliased edges, the SVG as vectors.
The 16 and 32 pixel PNGs are the window icons themselves.

Only the standard library is used, and the output depends on nothing but
this file: no transcendental function is evaluated, so every platform draws
the same pixels.
"""

import argparse
import math
import os
import struct
import sys
import zlib

# The 16 colours of the classic palette; 16-colour images use no others.
BLACK = (0, 0, 0)
MAROON = (128, 0, 0)
GREEN = (0, 128, 0)
OLIVE = (128, 128, 0)
NAVY = (0, 0, 128)
PURPLE = (128, 0, 128)
TEAL = (0, 128, 128)
SILVER = (192, 192, 192)
GREY = (128, 128, 128)
RED = (255, 0, 0)
LIME = (0, 255, 0)
YELLOW = (255, 255, 0)
BLUE = (0, 0, 255)
FUCHSIA = (255, 0, 255)
AQUA = (0, 255, 255)
WHITE = (255, 255, 255)
PALETTE = (BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER,
           GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE)

# One character per colour, in the XPM files and in the pixel drawings below;
# a space is transparent.
KEYS = {
    None: " ", BLACK: "#", MAROON: "m", GREEN: "G", OLIVE: "o", NAVY: "n",
    PURPLE: "p", TEAL: "t", SILVER: "s", GREY: "g", RED: "r", LIME: "l",
    YELLOW: "y", BLUE: "b", FUCHSIA: "f", AQUA: "a", WHITE: ".",
}
COLOURS = {key: colour for colour, key in KEYS.items()}

# ---------------------------------------------------------------------------
# The icon: the z-plane with its unit circle and axes, a pole pair (red
# crosses) right of the imaginary axis and a zero pair (blue circles) left of
# it, on a white card with rounded corners. Lengths are in units of the unit
# circle's radius unless said otherwise; y grows upward.

ICON = {
    "half_side": 1.15,       # from the centre to the card's edge
    "corner": 0.125,         # card corner radius, as a fraction of the side
    "inset": 1 / 48,         # margin around the card, fraction of the side,
                             # whole pixels, none below 48 pixels
    "poles": ((0.45, 0.45), (0.45, -0.45)),
    "zeros": ((-0.45, 0.45), (-0.45, -0.45)),
    "mark": 0.2,             # half the side of a cross, radius of a circle
    "line": 0.045,           # stroke of the unit circle and axes
    "mark_line": 0.075,      # stroke of the crosses and circles
}

ICON_PIXEL_SIZES = (16, 32)        # drawn on the pixel grid in 16 colours
DESKTOP_SIZES = (16, 32, 48, 64, 128, 256)
SVG_SIZE = 256


def round_half_up(value):
    return math.floor(value + 0.5)


def blank(width, height):
    return [[None] * width for _ in range(height)]


def circle_octant(radius):
    """The offsets (x, y), 0 <= x <= y, of a one pixel circle of a whole radius:
    per column the nearest pixel to the true circle."""
    points = []
    x = 0
    while True:
        # floor(sqrt(r^2 - x^2) + 1/2), in integers
        y = (math.isqrt(4 * (radius * radius - x * x)) + 1) // 2
        if x > y:
            break
        points.append((x, y))
        x += 1
    return points


def icon_geometry(size):
    """The icon's shapes in pixels for a side of size, measured from the
    image's top left corner, y downward, pixel i covering [i, i + 1). What
    the drawings and the SVG share: the centre lies on a pixel centre, the
    unit circle has a whole radius, the circle and axes a whole odd width,
    and the marks stand on pixel centres, so that the axes stay sharp."""
    scale = round_half_up(size / 2 / ICON["half_side"])
    centre = size // 2 - 0.5
    inset = math.floor(ICON["inset"] * size)
    line = max(1, 2 * math.floor(ICON["line"] * scale / 2) + 1)

    def at(re, im):
        return (centre + round_half_up(re * scale), centre - round_half_up(im * scale))

    return {
        "scale": scale,
        "centre": centre,
        "card": (inset, size - inset, ICON["corner"] * size),
        "line": line,
        "mark_line": max(1.0, ICON["mark_line"] * scale),
        "mark": ICON["mark"] * scale,
        "poles": [at(re, im) for re, im in ICON["poles"]],
        "zeros": [at(re, im) for re, im in ICON["zeros"]],
    }


def icon_pixels(size):
    """The 16-colour icon of the given side, every stroke one pixel wide."""
    g = icon_geometry(size)
    centre = math.floor(g["centre"])
    low, high, corner = g["card"]
    image = blank(size, size)

    for y in range(low, high):
        for x in range(low, high):
            # pixel centre against the corner arcs
            dx = max(0, low + corner - (x + 0.5), (x + 0.5) - (high - corner))
            dy = max(0, low + corner - (y + 0.5), (y + 0.5) - (high - corner))
            if dx * dx + dy * dy <= corner * corner:
                image[y][x] = WHITE

    def put(x, y, colour):
        if 0 <= x < size and 0 <= y < size and image[y][x] is not None:
            image[y][x] = colour

    for i in range(size):
        put(i, centre, BLACK)
        put(centre, i, BLACK)

    for a, b in circle_octant(g["scale"]):
        for x, y in ((a, b), (b, a)):
            for sx in (1, -1):
                for sy in (1, -1):
                    put(centre + sx * x, centre + sy * y, BLACK)

    half = round_half_up(g["mark"])
    for x, y in g["poles"]:
        cx, cy = math.floor(x), math.floor(y)
        for k in range(-half, half + 1):
            put(cx + k, cy + k, RED)
            put(cx + k, cy - k, RED)

    # pixels whose centre lies within half a pixel of the circle
    inner, outer = (2 * half - 1) ** 2, (2 * half + 1) ** 2
    for x, y in g["zeros"]:
        cx, cy = math.floor(x), math.floor(y)
        for dy in range(-half, half + 1):
            for dx in range(-half, half + 1):
                if inner <= 4 * (dx * dx + dy * dy) < outer:
                    put(cx + dx, cy + dy, BLUE)
    return image


def coverage(distance):
    """Share of a pixel covered by a shape whose signed distance (negative
    inside) from the pixel centre is given, in pixels."""
    return min(1.0, max(0.0, 0.5 - distance))


def segment_distance(px, py, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)
    t = min(1.0, max(0.0, t))
    dx, dy = px - (ax + t * vx), py - (ay + t * vy)
    return math.sqrt(dx * dx + dy * dy)


def icon_smooth(size):
    """The icon with anti-aliased edges, as rows of (r, g, b, a) in 0..255."""
    g = icon_geometry(size)
    low, high, corner = g["card"]
    mid = (low + high) / 2
    half = (high - low) / 2 - corner
    centre, scale = g["centre"], g["scale"]
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            # premultiplied colour, painted back to front
            acc = [0.0, 0.0, 0.0, 0.0]

            def paint(colour, alpha):
                for i in range(3):
                    acc[i] = colour[i] / 255 * alpha + acc[i] * (1 - alpha)
                acc[3] = alpha + acc[3] * (1 - alpha)

            qx = abs(px - mid) - half
            qy = abs(py - mid) - half
            ox, oy = max(qx, 0.0), max(qy, 0.0)
            outside = math.sqrt(ox * ox + oy * oy)
            card = coverage(outside + min(max(qx, qy), 0.0) - corner)
            paint(WHITE, card)

            axes = min(abs(px - centre), abs(py - centre)) - g["line"] / 2
            paint(BLACK, coverage(axes) * card)
            dx, dy = px - centre, py - centre
            ring = abs(math.sqrt(dx * dx + dy * dy) - scale) - g["line"] / 2
            paint(BLACK, coverage(ring))

            m = g["mark"]
            for cx, cy in g["poles"]:
                d = min(segment_distance(px, py, cx - m, cy - m, cx + m, cy + m),
                        segment_distance(px, py, cx - m, cy + m, cx + m, cy - m))
                paint(RED, coverage(d - g["mark_line"] / 2))
            for cx, cy in g["zeros"]:
                dx, dy = px - cx, py - cy
                d = abs(math.sqrt(dx * dx + dy * dy) - m) - g["mark_line"] / 2
                paint(BLUE, coverage(d))

            alpha = acc[3]
            if alpha == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round_half_up(acc[i] / alpha * 255) for i in range(3))
                           + (round_half_up(alpha * 255),))
        rows.append(row)
    return rows


def number(value):
    text = "%.2f" % value
    return text.rstrip("0").rstrip(".") if "." in text else text


def hex_colour(colour):
    return "#%02x%02x%02x" % colour


def icon_svg():
    size = SVG_SIZE
    g = icon_geometry(size)
    low, high, corner = g["card"]
    c, m = g["centre"], g["mark"]
    n = number
    lines = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">'
        % (size, size, size, size),
        '  <title>Vorbel</title>',
        '  <rect x="%s" y="%s" width="%s" height="%s" rx="%s" fill="%s"/>'
        % (n(low), n(low), n(high - low), n(high - low), n(corner), hex_colour(WHITE)),
        '  <g fill="none" stroke="%s" stroke-width="%s">' % (hex_colour(BLACK), n(g["line"])),
        '    <path d="M%s %sH%sM%s %sV%s"/>' % (n(low), n(c), n(high), n(c), n(low), n(high)),
        '    <circle cx="%s" cy="%s" r="%s"/>' % (n(c), n(c), n(g["scale"])),
        '  </g>',
        '  <g fill="none" stroke="%s" stroke-width="%s" stroke-linecap="round">'
        % (hex_colour(RED), n(g["mark_line"])),
    ]
    for cx, cy in g["poles"]:
        lines.append('    <path d="M%s %sL%s %sM%s %sL%s %s"/>'
                     % (n(cx - m), n(cy - m), n(cx + m), n(cy + m),
                        n(cx - m), n(cy + m), n(cx + m), n(cy - m)))
    lines.append('  </g>')
    lines.append('  <g fill="none" stroke="%s" stroke-width="%s">'
                 % (hex_colour(BLUE), n(g["mark_line"])))
    for cx, cy in g["zeros"]:
        lines.append('    <circle cx="%s" cy="%s" r="%s"/>' % (n(cx), n(cy), n(m)))
    lines.append('  </g>')
    lines.append('</svg>')
    return "\n".join(lines) + "\n"


# ---------------------------------------------------------------------------
# The cursors, drawn pixel by pixel. The hand points up; the top of its
# finger tip is the hot spot.

HAND_TIP = (10, 10)
HAND_TOP = 10      # the image row of HAND's first line
HAND = (
    "         ###",
    "        #...#",
    "        #...#",
    "        #...#",
    "        #...#",
    "        #...###",
    "        #...#..###",
    "        #...#..#..###",
    "        #...#..#..#..#",
    "   ##   #...#..#..#..#",
    "  #..#  #...#..#..#..#",
    "  #...# #...#..#..#..#",
    "   #...#.............#",
    "    #................#",
    "     #...............#",
    "      #..............#",
    "       #.............#",
    "       #............#",
    "       #............#",
    "       ##############",
)

# The bin alone, 32 x 32; the hot spot (16, 15) lies inside its body.
BIN_HOT_SPOT = (16, 15)


def bin_pixels():
    image = blank(32, 32)

    def put(x, y, colour):
        image[y][x] = colour

    # handle, lid, and the body narrowing downward
    for x in range(12, 21):
        put(x, 2, BLACK)
    put(12, 3, BLACK)
    put(20, 3, BLACK)
    for x in range(6, 27):
        put(x, 4, BLACK)
        put(x, 6, BLACK)
        put(x, 5, SILVER)
    put(6, 5, BLACK)
    put(26, 5, BLACK)
    put(7, 5, WHITE)
    for y in range(7, 29):
        step = (y - 7) * 3 // 22
        left, right = 8 + step, 24 - step
        for x in range(left, right + 1):
            put(x, y, SILVER)
        put(left, y, BLACK)
        put(right, y, BLACK)
        put(left + 1, y, WHITE)
        if 9 <= y <= 26:
            for x in (12, 16, 20):
                put(x, y, GREY)
    for x in range(10, 23):
        put(x, 28, BLACK)
    assert image[BIN_HOT_SPOT[1]][BIN_HOT_SPOT[0]] is not None
    return image


def hand_into(image):
    """Draws the hand over image."""
    for row, text in enumerate(HAND):
        for x, key in enumerate(text):
            if key != " ":
                image[HAND_TOP + row][x] = COLOURS[key]
    assert image[HAND_TIP[1]][HAND_TIP[0]] == BLACK
    assert all(image[y][HAND_TIP[0]] is None for y in range(HAND_TIP[1]))
    return image


def hand_pixels():
    return hand_into(blank(32, 32))


# ---------------------------------------------------------------------------
# Files.

def xpm_text(name, image):
    colours = [c for c in [None] + list(PALETTE) if any(c in row for row in image)]
    height, width = len(image), len(image[0])
    values = "%d %d %d 1" % (width, height, len(colours))
    lines = ["/* XPM */", "static const char* const %s[] = {" % name, '"%s",' % values]
    for colour in colours:
        value = "None" if colour is None else "#%02X%02X%02X" % colour
        lines.append('"%s c %s",' % (KEYS[colour], value))
    rows = ['"%s"' % "".join(KEYS[c] for c in row) for row in image]
    lines.append(",\n".join(rows))
    lines.append("};")
    return "\n".join(lines) + "\n"


def png_bytes(rows):
    """An RGBA PNG; rows of (r, g, b, a)."""
    height, width = len(rows), len(rows[0])
    raw = bytearray()
    previous = bytes(width * 4)
    for row in rows:
        line = bytes(v for pixel in row for v in pixel)
        # the filter of each row is the one leaving the smallest sum
        choices = [
            (0, line),
            (1, bytes((line[i] - (line[i - 4] if i >= 4 else 0)) & 255 for i in range(len(line)))),
            (2, bytes((line[i] - previous[i]) & 255 for i in range(len(line)))),
        ]
        kind, data = min(choices, key=lambda c: sum(v if v < 128 else 256 - v for v in c[1]))
        raw.append(kind)
        raw += data
        previous = line

    def chunk(tag, data):
        return (struct.pack(">I", len(data)) + tag + data
                + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def rgba_rows(image):
    return [[(0, 0, 0, 0) if c is None else c + (255,) for c in row] for row in image]


def outputs():
    """Every written file: relative path -> bytes."""
    files = {}
    small = {size: icon_pixels(size) for size in ICON_PIXEL_SIZES}
    files["images/icon_32.xpm"] = xpm_text("icon_32_xpm", small[32])
    files["images/icon_16.xpm"] = xpm_text("icon_16_xpm", small[16])
    files["images/hand_cursor.xpm"] = xpm_text("hand_cursor_xpm", hand_pixels())
    files["images/bin_cursor.xpm"] = xpm_text("bin_cursor_xpm", bin_pixels())
    for size in DESKTOP_SIZES:
        rows = rgba_rows(small[size]) if size in small else icon_smooth(size)
        files["icons/hicolor/%dx%d/apps/vorbel.png" % (size, size)] = png_bytes(rows)
    files["icons/hicolor/scalable/apps/vorbel.svg"] = icon_svg()
    return {path: data.encode("ascii") if isinstance(data, str) else data
            for path, data in files.items()}


def png_content(data):
    """The chunks of a PNG with the image data decompressed, so that two
    zlib builds compressing the same pixels compare equal."""
    chunks, idat, pos = [], b"", 8
    while pos < len(data):
        length, = struct.unpack(">I", data[pos:pos + 4])
        tag = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        if tag == b"IDAT":
            idat += body
        else:
            chunks.append((tag, body))
        pos += 12 + length
    return data[:8], chunks, zlib.decompress(idat) if idat else b""


def same(path, expected, actual):
    if path.endswith(".png"):
        try:
            return png_content(expected) == png_content(actual)
        except (zlib.error, struct.error):
            return False
    return expected == actual


def write(root, files):
    for path, data in files.items():
        target = os.path.join(root, path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as handle:
            handle.write(data)


def check(root, files):
    problems = []
    for path, data in sorted(files.items()):
        try:
            with open(os.path.join(root, path), "rb") as handle:
                actual = handle.read()
        except OSError:
            problems.append("missing: " + path)
            continue
        if not same(path, data, actual):
            problems.append("differs: " + path)
    for folder in ("images", "icons"):
        for base, _, names in os.walk(os.path.join(root, folder)):
            for name in names:
                path = os.path.relpath(os.path.join(base, name), root).replace(os.sep, "/")
                if path not in files:
                    problems.append("not drawn by this script: " + path)
    for problem in problems:
        print(problem, file=sys.stderr)
    return not problems


def magnified(rows, factor=8):
    """rows of RGBA on a chequered ground, each pixel factor x factor."""
    out = []
    for y in range(len(rows) * factor):
        line = []
        for x in range(len(rows[0]) * factor):
            r, g, b, a = rows[y // factor][x // factor]
            ground = 200 if (x // 4 + y // 4) % 2 else 230
            line.append(tuple(round_half_up((v * a + ground * (255 - a)) / 255)
                              for v in (r, g, b)) + (255,))
        out.append(line)
    return out


def preview(folder):
    os.makedirs(folder, exist_ok=True)
    pictures = {
        "icon_16": rgba_rows(icon_pixels(16)),
        "icon_32": rgba_rows(icon_pixels(32)),
        "hand_cursor": rgba_rows(hand_pixels()),
        "bin_cursor": rgba_rows(bin_pixels()),
        "icon_48": icon_smooth(48),
        "icon_64": icon_smooth(64),
    }
    for name, rows in pictures.items():
        with open(os.path.join(folder, name + "_x8.png"), "wb") as handle:
            handle.write(png_bytes(magnified(rows)))
    for size in (128, 256):
        with open(os.path.join(folder, "icon_%d.png" % size), "wb") as handle:
            handle.write(png_bytes(icon_smooth(size)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", help="write under this directory")
    parser.add_argument("--check", action="store_true",
                        help="compare the files beside this script with a fresh drawing")
    parser.add_argument("--preview", help="write magnified pictures into this directory")
    args = parser.parse_args()
    here = os.path.dirname(os.path.abspath(__file__))
    if args.preview:
        preview(args.preview)
        return 0
    files = outputs()
    if args.check:
        return 0 if check(here, files) else 1
    write(args.out or here, files)
    return 0


if __name__ == "__main__":
    sys.exit(main())
