#!/usr/bin/env python3
"""Draw Quorvel's built-in pictures into resources/.

Writes:
  resources/notice.bmp   685 x 361, 24-bit uncompressed bitmap, bottom-up rows
  resources/quorvel.ico  one 32 x 32 image, 4 bits per pixel, 16-colour palette
  resources/icons/quorvel-N.png  the icon for desktops, N x N pixels for
                         N = 16, 24, 32, 48, 64, 128 and 256, anti-aliased
  resources/icons/quorvel.svg    the same icon, scalable

The icon has one source, its shapes (SQUARE_* and STRIPE* below) on a
32-unit grid: the 16-colour .ico samples them at pixel centres, each PNG size
averages 4 x 4 samples per pixel with its edges snapped to whole pixels, and
the SVG writes them as they are.

Pillow only renders the notice text; the bitmap, icon and PNG bytes are laid
out here with struct and zlib so the file layout is exactly what the program
expects. The output is deterministic: running the script again gives
identical files (as long as Pillow, FreeType, zlib and the Liberation fonts
stay the same).

Usage:  /usr/bin/python3 tools/draw_resources.py
"""

import math
import os
import struct
import sys
import zlib

from PIL import Image, ImageDraw, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RES_DIR = os.path.join(ROOT, "resources")
ICON_DIR = os.path.join(RES_DIR, "icons")

FONT_DIRS = (
    "/usr/share/fonts/truetype/liberation",
    "/usr/share/fonts/truetype/liberation2",
    "/usr/share/fonts/liberation",
)

# ---------------------------------------------------------------------------
# Notice picture
# ---------------------------------------------------------------------------

NOTICE_W = 685
NOTICE_H = 361

# The close button (about 21 x 21) sits over the picture at (8, 8); nothing
# is drawn in the top-left 40 x 40 so it never covers any text.
CLEAR_CORNER = 40
MARGIN_LEFT = 48
MARGIN_RIGHT = 40

BACKGROUND = (246, 244, 239)
TITLE_COLOUR = (38, 64, 96)
TEXT_COLOUR = (40, 44, 52)
RULE_COLOUR = (196, 200, 206)

TITLE = "Quorvel"

# (text, bold) - each entry is one paragraph, wrapped to the text column.
PARAGRAPHS = (
    ("Quorvel hides a short text in a strip picture: every three characters "
     "become one pixel column, and each character is mixed with one of three "
     "keys before it is stored in the red, green or blue channel.", False),
    ("The three keys hide the text, but they do not protect it from someone "
     "determined to read it. There are only about 16.7 million key "
     "combinations, and anyone who knows the first three characters of a "
     "text can read the keys straight off the first pixel column.", False),
    ("Do not use Quorvel for real secrets.", True),
    ("To close this notice, click the X button in the top-left corner.",
     False),
)

TITLE_SIZE = 30
BODY_SIZE = 17
LINE_STEP = 24
PARAGRAPH_GAP = 10


def find_font(name):
    for d in FONT_DIRS:
        path = os.path.join(d, name)
        if os.path.isfile(path):
            return path
    sys.exit("draw_resources: font %s not found (install fonts-liberation)"
             % name)


def wrap(text, font, width):
    lines = []
    current = ""
    for word in text.split():
        trial = word if not current else current + " " + word
        if font.getlength(trial) <= width:
            current = trial
        else:
            if not current:
                sys.exit("draw_resources: word too wide: %r" % word)
            lines.append(current)
            current = word
    if current:
        lines.append(current)
    return lines


def draw_notice():
    img = Image.new("RGB", (NOTICE_W, NOTICE_H), BACKGROUND)
    d = ImageDraw.Draw(img)
    # Anti-aliased text: "L" font mode gives 8-bit coverage.
    d.fontmode = "L"

    regular = find_font("LiberationSans-Regular.ttf")
    bold = find_font("LiberationSans-Bold.ttf")
    title_font = ImageFont.truetype(bold, TITLE_SIZE)
    body_font = ImageFont.truetype(regular, BODY_SIZE)
    body_bold = ImageFont.truetype(bold, BODY_SIZE)

    column = NOTICE_W - MARGIN_LEFT - MARGIN_RIGHT

    # Title, top-aligned just below the button row.
    y = 16
    d.text((MARGIN_LEFT, y), TITLE, font=title_font, fill=TITLE_COLOUR,
           anchor="la")
    y += 44
    d.line([(MARGIN_LEFT, y), (NOTICE_W - MARGIN_RIGHT, y)],
           fill=RULE_COLOUR, width=1)
    y += 16

    lines_drawn = []
    for i, (text, is_bold) in enumerate(PARAGRAPHS):
        font = body_bold if is_bold else body_font
        for line in wrap(text, font, column):
            d.text((MARGIN_LEFT, y), line, font=font, fill=TEXT_COLOUR,
                   anchor="la")
            lines_drawn.append(line)
            y += LINE_STEP
        if i + 1 < len(PARAGRAPHS):
            y += PARAGRAPH_GAP

    if y > NOTICE_H - 8:
        sys.exit("draw_resources: notice text does not fit (ends at y=%d)" % y)

    # The button corner must stay untouched.
    corner = img.crop((0, 0, CLEAR_CORNER, CLEAR_CORNER))
    if corner.getcolors() != [(CLEAR_CORNER * CLEAR_CORNER, BACKGROUND)]:
        sys.exit("draw_resources: text reaches into the button corner")

    return img, lines_drawn


def bmp_bytes(img):
    """24-bit BI_RGB bitmap, bottom-up, rows padded to 4 bytes."""
    w, h = img.size
    row = w * 3
    stride = (row + 3) & ~3
    pad = b"\x00" * (stride - row)
    raw = img.convert("RGB").tobytes("raw", "BGR")
    pixels = b"".join(raw[y * row:(y + 1) * row] + pad
                      for y in range(h - 1, -1, -1))
    offset = 14 + 40
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0,
                              offset)
    info_header = struct.pack("<IiiHHIIiiII",
                              40,           # header size
                              w, h,         # positive height: bottom-up
                              1,            # planes
                              24,           # bits per pixel
                              0,            # BI_RGB
                              len(pixels),  # image size
                              2835, 2835,   # 72 dpi
                              0, 0)         # palette: none
    return file_header + info_header + pixels


# ---------------------------------------------------------------------------
# Icon
# ---------------------------------------------------------------------------

ICON_SIZE = 32

# The classic 16-colour palette, in its usual order.
PALETTE16 = (
    (0x00, 0x00, 0x00),  # 0 black
    (0x80, 0x00, 0x00),  # 1 maroon
    (0x00, 0x80, 0x00),  # 2 green
    (0x80, 0x80, 0x00),  # 3 olive
    (0x00, 0x00, 0x80),  # 4 navy
    (0x80, 0x00, 0x80),  # 5 purple
    (0x00, 0x80, 0x80),  # 6 teal
    (0xC0, 0xC0, 0xC0),  # 7 silver
    (0x80, 0x80, 0x80),  # 8 grey
    (0xFF, 0x00, 0x00),  # 9 red
    (0x00, 0xFF, 0x00),  # 10 lime
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 fuchsia
    (0x00, 0xFF, 0xFF),  # 14 aqua
    (0xFF, 0xFF, 0xFF),  # 15 white
)
BLACK, GREY, RED, LIME, BLUE = 0, 8, 9, 10, 12

# Dark rounded square, 30 x 30 at (1, 1), with a grey rim.
SQUARE_MIN = 1
SQUARE_MAX = 30
SQUARE_RADIUS = 6.0

# Three strip columns: red, green, blue.
STRIPES = ((5, RED), (13, LIME), (21, BLUE))
STRIPE_W = 6
STRIPE_TOP = 7
STRIPE_BOTTOM = 24


def _inside_rounded(x, y, lo, hi, r):
    """Pixel-centre test against a rounded square spanning [lo, hi]."""
    px, py = x + 0.5, y + 0.5
    left, right = lo + r, hi + 1 - r
    cx = min(max(px, left), right)
    cy = min(max(py, left), right)
    return (px - cx) ** 2 + (py - cy) ** 2 <= r * r and \
        lo <= x <= hi and lo <= y <= hi


def icon_indices():
    """Returns (rows of palette indices, rows of opaque flags), top-down."""
    idx = [[BLACK] * ICON_SIZE for _ in range(ICON_SIZE)]
    opaque = [[False] * ICON_SIZE for _ in range(ICON_SIZE)]
    for y in range(ICON_SIZE):
        for x in range(ICON_SIZE):
            if _inside_rounded(x, y, SQUARE_MIN, SQUARE_MAX, SQUARE_RADIUS):
                opaque[y][x] = True
                inner = _inside_rounded(x, y, SQUARE_MIN + 1, SQUARE_MAX - 1,
                                        SQUARE_RADIUS - 1)
                idx[y][x] = BLACK if inner else GREY
    for x0, colour in STRIPES:
        for y in range(STRIPE_TOP, STRIPE_BOTTOM + 1):
            for x in range(x0, x0 + STRIPE_W):
                idx[y][x] = colour
    return idx, opaque


def ico_bytes(idx, opaque):
    n = ICON_SIZE
    xor_stride = ((n * 4 + 31) // 32) * 4   # 4 bpp rows, 32-bit aligned
    and_stride = ((n + 31) // 32) * 4       # 1 bpp rows, 32-bit aligned

    xor = bytearray()
    and_mask = bytearray()
    for y in range(n - 1, -1, -1):          # bottom-up
        row = bytearray()
        for x in range(0, n, 2):
            row.append((idx[y][x] << 4) | idx[y][x + 1])
        row += b"\x00" * (xor_stride - len(row))
        xor += row

        bits = bytearray(and_stride)
        for x in range(n):
            if not opaque[y][x]:            # 1 = transparent
                bits[x // 8] |= 0x80 >> (x % 8)
        and_mask += bits

    palette = b"".join(struct.pack("<BBBB", b, g, r, 0)
                       for (r, g, b) in PALETTE16)
    info = struct.pack("<IiiHHIIiiII",
                       40,
                       n, n * 2,            # height covers XOR + AND masks
                       1,
                       4,
                       0,
                       len(xor) + len(and_mask),
                       0, 0,
                       16, 0)
    image = info + palette + bytes(xor) + bytes(and_mask)

    header = struct.pack("<HHH", 0, 1, 1)   # reserved, type icon, one image
    entry = struct.pack("<BBBBHHII",
                        n, n,
                        16,                 # colours in palette
                        0,
                        1,                  # planes
                        4,                  # bits per pixel
                        len(image),
                        6 + 16)             # image data follows the entry
    return header + entry + image


ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
SUPERSAMPLE = 4
GRID = 32


def icon_shapes(n):
    """The icon's shapes for an n x n picture, edges snapped to whole pixels.

    Returns (outer, inner, stripes): outer and inner are (lo, hi, radius)
    rounded squares, stripes a list of ((x0, y0, x1, y1), rgb) rectangles,
    all in pixels. Edges move away from the centre by whole pixels so the
    picture stays symmetric; the rim is at least one pixel wide.
    """
    scale = n / GRID
    centre = n / 2

    def snap(v):
        d = (v - GRID / 2) * scale
        return centre + math.copysign(math.floor(abs(d) + 0.5), d)

    rim = max(1, round(scale))
    lo, hi = snap(SQUARE_MIN), snap(SQUARE_MAX + 1)
    outer = (lo, hi, SQUARE_RADIUS * scale)
    inner = (lo + rim, hi - rim, max(0.0, SQUARE_RADIUS * scale - rim))
    stripes = [((snap(x0), snap(STRIPE_TOP), snap(x0 + STRIPE_W),
                 snap(STRIPE_BOTTOM + 1)), PALETTE16[colour])
               for x0, colour in STRIPES]
    return outer, inner, stripes


def _in_rounded(px, py, square):
    lo, hi, r = square
    if not (lo <= px < hi and lo <= py < hi):
        return False
    cx = min(max(px, lo + r), hi - r)
    cy = min(max(py, lo + r), hi - r)
    return (px - cx) ** 2 + (py - cy) ** 2 <= r * r


def icon_rgba(n):
    """The icon as n rows of n (r, g, b, a) pixels, anti-aliased."""
    outer, inner, stripes = icon_shapes(n)
    rim_rgb, fill_rgb = PALETTE16[GREY], PALETTE16[BLACK]
    steps = [(i + 0.5) / SUPERSAMPLE for i in range(SUPERSAMPLE)]
    total = SUPERSAMPLE * SUPERSAMPLE
    rows = []
    for y in range(n):
        row = []
        for x in range(n):
            covered = 0
            sums = [0, 0, 0]
            for sy in steps:
                py = y + sy
                for sx in steps:
                    px = x + sx
                    if not _in_rounded(px, py, outer):
                        continue
                    rgb = fill_rgb if _in_rounded(px, py, inner) else rim_rgb
                    for (x0, y0, x1, y1), colour in stripes:
                        if x0 <= px < x1 and y0 <= py < y1:
                            rgb = colour
                    covered += 1
                    for c in range(3):
                        sums[c] += rgb[c]
            if covered == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple((v + covered // 2) // covered for v in sums) +
                           ((covered * 255 + total // 2) // total,))
        rows.append(row)
    return rows


def png_bytes(rows):
    """An 8-bit RGBA PNG, no metadata, every row unfiltered."""
    h, w = len(rows), len(rows[0])

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    raw = b"".join(b"\x00" + bytes(v for px in row for v in px)
                   for row in rows)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def icon_svg():
    def hex_rgb(rgb):
        return "#%02x%02x%02x" % rgb

    size = SQUARE_MAX + 1 - SQUARE_MIN
    lines = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
        'viewBox="0 0 %d %d">' % (GRID, GRID, GRID, GRID),
        '  <rect x="%d" y="%d" width="%d" height="%d" rx="%g" fill="%s"/>'
        % (SQUARE_MIN, SQUARE_MIN, size, size, SQUARE_RADIUS,
           hex_rgb(PALETTE16[GREY])),
        '  <rect x="%d" y="%d" width="%d" height="%d" rx="%g" fill="%s"/>'
        % (SQUARE_MIN + 1, SQUARE_MIN + 1, size - 2, size - 2,
           SQUARE_RADIUS - 1, hex_rgb(PALETTE16[BLACK])),
    ]
    for x0, colour in STRIPES:
        lines.append('  <rect x="%d" y="%d" width="%d" height="%d" fill="%s"/>'
                     % (x0, STRIPE_TOP, STRIPE_W,
                        STRIPE_BOTTOM + 1 - STRIPE_TOP,
                        hex_rgb(PALETTE16[colour])))
    lines.append("</svg>")
    return ("\n".join(lines) + "\n").encode("ascii")


# ---------------------------------------------------------------------------


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    print("wrote %s (%d bytes)" % (os.path.relpath(path, ROOT), len(data)))


def main():
    os.makedirs(RES_DIR, exist_ok=True)

    notice, _ = draw_notice()
    write(os.path.join(RES_DIR, "notice.bmp"), bmp_bytes(notice))

    idx, opaque = icon_indices()
    write(os.path.join(RES_DIR, "quorvel.ico"), ico_bytes(idx, opaque))

    os.makedirs(ICON_DIR, exist_ok=True)
    for n in ICON_SIZES:
        write(os.path.join(ICON_DIR, "quorvel-%d.png" % n),
              png_bytes(icon_rgba(n)))
    write(os.path.join(ICON_DIR, "quorvel.svg"), icon_svg())

if __name__ == "__main__":
    main()
