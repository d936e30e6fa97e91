#!/usr/bin/python3
"""Draws the suite's bitmaps and icons and writes them to res/art/.

Everything is drawn on 16-colour grids with the standard VGA palette, so the
output is byte-for-byte reproducible: run it after changing a picture and
commit the result. `--check` regenerates into memory and fails if a committed
file differs; `--out DIR` writes elsewhere (for previews).

Bitmaps: 32 x 32, 4 bits per pixel, teal background (the programs map teal to
the button-face colour when they load a frame).
  upload_150..162  a sheet lifts out of the tray and flies off; 163 the tray
  browse_141..152  a sheet flies in and drops into the tray; 153 empty tray
  replace_154      a page with a question sign
Icons: 32 x 32 and 16 x 16, 4 bits per pixel, one blue box for the family.
"""

import math
import os
import struct
import sys

# Standard 16-colour VGA palette, in the usual Windows order.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GRAY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)
CLEAR = -1  # transparent, icons only

SIZE = 32


class Canvas:
    def __init__(self, size=SIZE, background=TEAL):
        self.size = size
        self.px = [[background] * size for _ in range(size)]

    def put(self, x, y, c):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.px[y][x] = c

    def get(self, x, y):
        return self.px[y][x]

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, c)

    def line(self, x0, y0, x1, y1, c):
        x0, y0, x1, y1 = (int(round(v)) for v in (x0, y0, x1, y1))
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.put(x0, y0, c)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def paint(self, mask, fill, outline=None):
        """Fills a mask; with an outline colour its inner edge gets that colour."""
        for (x, y) in mask:
            edge = any((x + dx, y + dy) not in mask
                       for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            self.put(x, y, outline if (edge and outline is not None) else fill)


def polygon(points, size=SIZE):
    """Pixels whose centres lie inside the polygon (even-odd rule)."""
    mask = set()
    n = len(points)
    for y in range(size):
        cy = y + 0.5
        xs = []
        for i in range(n):
            (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
            if (y0 <= cy < y1) or (y1 <= cy < y0):
                xs.append(x0 + (cy - y0) * (x1 - x0) / (y1 - y0))
        xs.sort()
        for a, b in zip(xs[0::2], xs[1::2]):
            for x in range(max(0, math.ceil(a - 0.5)), min(size, math.ceil(b - 0.5))):
                mask.add((x, y))
    return mask


def disc(cx, cy, r, size=SIZE):
    return {(x, y) for y in range(size) for x in range(size)
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r}


# --- the document tray ------------------------------------------------------

# A desk tray seen from the front and above, drawn with 1:1 slopes so its
# edges stay clean at this size: a dark inside, a blue front wall and a
# right side wall. Sheets lie in it as flattened parallelograms.
TRAY_X, TRAY_Y = 1, 19  # left end of the front rim is (TRAY_X, TRAY_Y + 6)


def tray_back(c, x=TRAY_X, y=TRAY_Y):
    # the opening: back wall (lit) over the floor (dark)
    c.paint(polygon([(x + 6, y), (x + 26, y), (x + 20, y + 6), (x + 0, y + 6)]), NAVY, BLACK)
    c.line(x + 6, y + 1, x + 24, y + 1, BLUE)
    c.line(x + 5, y + 2, x + 23, y + 2, BLUE)


def tray_front(c, x=TRAY_X, y=TRAY_Y):
    # the right wall and the front wall cover whatever lies inside
    c.paint(polygon([(x + 20, y + 6), (x + 26, y + 0), (x + 26, y + 5), (x + 20, y + 11)]), NAVY, BLACK)
    c.paint(polygon([(x + 0, y + 6), (x + 21, y + 6), (x + 21, y + 11), (x + 0, y + 11)]), BLUE, BLACK)
    c.line(x + 1, y + 7, x + 19, y + 7, AQUA)


def flat_sheet(c, x, y, lines=True):
    """A sheet lying flat, (x, y) the left end of its near edge."""
    c.paint(polygon([(x + 0, y + 1), (x + 4, y - 3), (x + 19, y - 3), (x + 15, y + 1)]), WHITE, BLACK)
    if lines:
        c.line(x + 5, y - 2, x + 13, y - 2, SILVER)
        c.line(x + 4, y - 1, x + 10, y - 1, SILVER)


def stack(c, x=TRAY_X, y=TRAY_Y):
    # the pile under the top sheet shows its edges at the rim
    c.paint(polygon([(x + 2, y + 6), (x + 6, y + 2), (x + 22, y + 2), (x + 18, y + 6)]), SILVER, GRAY)
    flat_sheet(c, x + 3, y + 3)


# --- a flying sheet ---------------------------------------------------------

TILT = math.degrees(math.atan(0.5))  # turns with clean 1:2 and 1:1 edges


def sheet(c, cx, cy, w, h, angle=0.0, skew=0.0, lines=3):
    """A sheet of paper centred on cx, cy: w x h, the top edge slid right by
    `skew`, then turned by `angle` degrees (clockwise)."""
    a = math.radians(angle)
    ca, sa = math.cos(a), math.sin(a)

    def at(u, v):  # u, v in 0..1 across and down the sheet
        lx = (u - 0.5) * w + (0.5 - v) * skew
        ly = (v - 0.5) * h
        return (cx + lx * ca - ly * sa, cy + lx * sa + ly * ca)

    mask = polygon([at(0, 0), at(1, 0), at(1, 1), at(0, 1)])
    c.paint(mask, WHITE, BLACK)
    inner = {(x, y) for (x, y) in mask
             if all((x + dx, y + dy) in mask for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))}
    for i in range(lines):
        v = (i + 1.0) / (lines + 1) if lines > 1 else 0.5
        (x0, y0), (x1, y1) = at(0.25, v), at(0.75 if i < lines - 1 or lines == 1 else 0.55, v)
        ink = Canvas()
        ink.line(x0 - 0.5, y0 - 0.5, x1 - 0.5, y1 - 0.5, GRAY)
        for (x, y) in inner:
            if ink.get(x, y) == GRAY:
                c.put(x, y, GRAY)


def streaks(c, points, colour=GRAY):
    for (x0, y0, x1, y1) in points:
        c.line(x0, y0, x1, y1, colour)


# Sheet poses: (width, height, skew, turn)
FLAT = (15, 4, 4, 0)         # lying, seen from above
RISING = (13, 7, 3, 0)       # front edge lifting
UPRIGHT = (10, 13, 0, 0)
# --- the animations ---------------------------------------------------------

# The upload sheet lifts off the pile, stands up and flies out over the
# top-right corner: centre and pose of each frame, None when it is gone.
UPLOAD_PATH = [
    None,                                  # 0: at rest
    (13.5, 20.5, FLAT),                    # 1: lifted off the pile
    (14.5, 17.0, RISING),
    (15.0, 12.5, UPRIGHT),
    (17.5, 10.5, (10, 13, 0, TILT)),       # 4: off it goes
    (20.5, 9.0, (10, 12, 0, TILT)),
    (23.5, 8.0, (9, 11, 0, 45)),
    (26.5, 6.5, (9, 11, 0, 45)),
    (29.5, 5.0, (8, 10, 0, 45)),
    (33.0, 3.5, (8, 10, 0, 45)),           # 9: half out of the picture
    None, None, None,
]


def upload_frame(n):
    """Frame n (0..12) of the upload loop; 13 is the tray at rest."""
    c = Canvas()
    tray_back(c)
    stack(c)
    tray_front(c)
    pose = UPLOAD_PATH[n] if n < len(UPLOAD_PATH) else None
    if pose:
        cx, cy, (w, h, skew, turn) = pose
        if n >= 4:  # air streaks trail the sheet
            streaks(c, [(cx - 10, cy + 4, cx - 7, cy + 3),
                        (cx - 9, cy + 8, cx - 6, cy + 6),
                        (cx - 11, cy + 0, cx - 8, cy + 0)])
        sheet(c, cx, cy, w, h, turn, skew, lines=3 if h >= 9 else 1)
    elif n == 10:  # the last trace of it at the edge
        streaks(c, [(25, 9, 28, 8), (24, 5, 27, 5), (26, 13, 29, 11)])
    return c


# The download sheet comes in over the top-right corner and glides down into
# the tray, laying itself flat as it falls.
BROWSE_PATH = [
    (33.0, 3.5, (8, 10, 0, -45)),          # 0: coming in at the edge
    (29.5, 5.0, (8, 10, 0, -45)),
    (26.5, 6.5, (9, 11, 0, -45)),
    (23.0, 8.0, (10, 12, 0, -TILT)),
    (20.0, 10.0, (10, 13, 0, -TILT)),
    (16.5, 12.5, UPRIGHT),
    (14.5, 16.0, RISING),
    (13.5, 19.0, FLAT),                    # 7: about to land
]


def browse_frame(n):
    """Frame n (0..11) of the download loop; 12 is the empty tray at rest."""
    c = Canvas()
    tray_back(c)
    if 8 <= n <= 11:  # landed; on 8 it still floats a pixel high
        flat_sheet(c, TRAY_X + 3, TRAY_Y + 3 - (1 if n == 8 else 0))
    tray_front(c)
    if n < len(BROWSE_PATH):
        cx, cy, (w, h, skew, turn) = BROWSE_PATH[n]
        if 1 <= n <= 4:
            streaks(c, [(cx + 7, cy - 8, cx + 10, cy - 10),
                        (cx + 9, cy - 4, cx + 12, cy - 6),
                        (cx + 3, cy - 10, cx + 6, cy - 12)])
        sheet(c, cx, cy, w, h, turn, skew, lines=3 if h >= 9 else 1)
    if n in (8, 9):  # a puff of air out of both ends of the tray
        for (x, y) in ((0, 22), (1, 20), (28, 17), (29, 19)):
            c.put(x, y, GRAY)
    return c


def replace_picture():
    """A page with a folded corner and a question sign: overwrite it?"""
    c = Canvas()
    # the page already on disk, behind
    c.paint(polygon([(4, 2), (18, 2), (18, 24), (4, 24)]), SILVER, GRAY)
    # the incoming page, dog-eared
    c.paint(polygon([(9, 5), (20, 5), (25, 10), (25, 29), (9, 29)]), WHITE, BLACK)
    c.paint(polygon([(20, 5), (20, 10), (25, 10)]), SILVER, BLACK)
    for y in (13, 16, 19):
        c.line(12, y, 22, y, GRAY)
    c.line(12, 22, 17, 22, GRAY)
    # the question sign on a yellow disc, bottom right
    c.paint(disc(23.5, 23.5, 7.5), YELLOW, BLACK)
    q = ["  ###  ",
         " ## ## ",
         "    ## ",
         "   ##  ",
         "  ##   ",
         "  ##   ",
         "       ",
         "  ##   "]
    for dy, row in enumerate(q):
        for dx, ch in enumerate(row):
            if ch == "#":
                c.put(20 + dx, 19 + dy, NAVY)
    return c


# --- icons ------------------------------------------------------------------

# One blue box for the whole family; each program adds its own sign: an arrow
# rising out of it (Sendora), a pencil (SndMgr), an arrow dropping into it
# (FtchMgr), three arrows (FTP_FN). The 16-pixel box is drawn by hand.

def grid(c, rows, x=0, y=0, colours=None):
    colours = colours or {"k": BLACK, "n": NAVY, "b": BLUE, "a": AQUA, "g": LIME,
                          "G": GREEN, "y": YELLOW, "o": OLIVE, "r": RED, "w": WHITE,
                          "s": SILVER, "d": GRAY, "m": MAROON}
    for dy, row in enumerate(rows):
        for dx, ch in enumerate(row):
            if ch in colours:
                c.put(x + dx, y + dy, colours[ch])


def mask_of(rows, x=0, y=0, mark="#"):
    return {(x + dx, y + dy) for dy, row in enumerate(rows)
            for dx, ch in enumerate(row) if ch == mark}


def outlined(c, mask, fill, shade=None):
    """Fills a mask with a black ring around it; `shade` darkens its right edge."""
    for (x, y) in mask:
        for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
            if (x + dx, y + dy) not in mask:
                c.put(x + dx, y + dy, BLACK)
    for (x, y) in mask:
        c.put(x, y, shade if (shade is not None and (x + 1, y) not in mask) else fill)


BOX16_BACK = ["...kkkkkkkkkkkk.",
              "..knnnnnnnnnnkk."]
BOX16_FRONT = [".kkkkkkkkkkkknk.",
               ".kaaaaaaaaaaknk.",
               ".kbbbbbbbbbbknk.",
               ".kbbbbbbbbbbknk.",
               ".kbbbnnnnbbbknk.",
               ".kbbbbbbbbbbkk..",
               ".kkkkkkkkkkkk..."]


def box(c, sign=None):
    """The family box with an optional sign drawn between its back and front,
    so that the sign comes out of (or goes into) the box."""
    if c.size == 32:
        x, y = 3, 13
        c.paint(polygon([(x + 4, y), (x + 26, y), (x + 22, y + 4), (x + 0, y + 4)]), NAVY, BLACK)
        if sign:
            sign(c)
        c.paint(polygon([(x + 22, y + 4), (x + 26, y), (x + 26, y + 14), (x + 22, y + 18)]), NAVY, BLACK)
        c.paint(polygon([(x, y + 4), (x + 23, y + 4), (x + 23, y + 19), (x, y + 19)]), BLUE, BLACK)
        c.line(x + 1, y + 5, x + 21, y + 5, AQUA)
        c.rect(x + 8, y + 11, x + 14, y + 12, NAVY)  # label slot
    else:
        grid(c, BOX16_BACK, 0, 7)
        if sign:
            sign(c)
        grid(c, BOX16_FRONT, 0, 9)


def up_arrow(tip_x, tip_y, head, stem_w, bottom):
    """Mask of an arrow pointing up: tip at (tip_x, tip_y), head `head` rows
    tall, the stem `stem_w` wide (odd) reaching down to row `bottom`."""
    m = set()
    for i in range(head):
        m |= {(tip_x + d, tip_y + i) for d in range(-i, i + 1)}
    h = stem_w // 2
    for y in range(tip_y + head, bottom + 1):
        m |= {(tip_x + d, y) for d in range(-h, h + 1)}
    return m


def flipped(mask, axis_y):
    return {(x, 2 * axis_y - y) for (x, y) in mask}


def pencil(c, x0, y0, length, half):
    """A pencil at 45 degrees, its point at (x0, y0), running up to the right."""
    for y in range(c.size):
        for x in range(c.size):
            q = (x - x0) - (y - y0)          # along the pencil, 0 at the point
            p = (x - x0) + (y - y0)          # across it
            tip = 2 * half + 2
            if q < 0 or q > length:
                continue
            w = half if q >= tip else (q * half) // tip
            if abs(p) > w + 1 or (q == 0 and p != 0):
                continue
            if abs(p) == w + 1 or q == length:
                colour = BLACK
            elif q < tip:
                colour = BLACK if q < 2 else SILVER
            elif q >= length - 2 * half - 1:
                colour = RED if p <= 0 else MAROON
            else:
                colour = YELLOW if p < half else OLIVE
            c.put(x, y, colour)


def icon_sendora(size):
    c = Canvas(size, CLEAR)
    if size == 32:
        box(c, lambda c: outlined(c, up_arrow(15, 2, 8, 7, 16), LIME, GREEN))
    else:
        box(c, lambda c: outlined(c, up_arrow(7, 1, 4, 3, 8), LIME))
    return c


def icon_sndmgr(size):
    c = Canvas(size, CLEAR)
    box(c)
    if size == 32:
        pencil(c, 13, 23, 26, 2)
    else:
        pencil(c, 6, 11, 14, 1)
    return c


def icon_ftchmgr(size):
    c = Canvas(size, CLEAR)
    if size == 32:
        box(c, lambda c: outlined(c, flipped(up_arrow(15, 2, 8, 7, 16), 9), YELLOW, OLIVE))
    else:
        box(c, lambda c: outlined(c, flipped(up_arrow(7, 1, 4, 3, 8), 4), YELLOW))
    return c


def icon_ftp_fn(size):
    """Several boxes served at once: three arrows rise out of the box."""
    c = Canvas(size, CLEAR)
    if size == 32:
        def fan(c):
            for (x, top) in ((6, 7), (24, 7), (15, 1)):
                outlined(c, up_arrow(x, top, 5, 3, 16), LIME, GREEN)
    else:
        def fan(c):
            for (x, top) in ((2, 3), (12, 3), (7, 0)):
                outlined(c, up_arrow(x, top, 2, 1, 8), LIME)
    box(c, fan)
    return c


# --- file formats -----------------------------------------------------------

def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)


def pack4(rows):
    """4-bit rows, bottom row first, each padded to 4 bytes."""
    out = bytearray()
    for row in reversed(rows):
        b = bytearray()
        for i in range(0, len(row), 2):
            hi = row[i]
            lo = row[i + 1] if i + 1 < len(row) else 0
            b.append((hi << 4) | lo)
        while len(b) % 4:
            b.append(0)
        out += b
    return bytes(out)


def bmp(c):
    bits = pack4(c.px)
    info = struct.pack("<IiiHHIIiiII", 40, c.size, c.size, 1, 4, 0, len(bits), 2835, 2835, 16, 0)
    offset = 14 + len(info) + 64
    head = b"BM" + struct.pack("<IHHI", offset + len(bits), 0, 0, offset)
    return head + info + palette_bytes() + bits


def ico(canvases):
    images = []
    for c in canvases:
        xor = pack4([[0 if p == CLEAR else p for p in row] for row in c.px])
        mask = bytearray()
        for row in reversed(c.px):
            bits = 0
            for p in row:
                bits = (bits << 1) | (1 if p == CLEAR else 0)
            line = bits.to_bytes(c.size // 8, "big")
            mask += line + b"\0" * (-len(line) % 4)
        info = struct.pack("<IiiHHIIiiII", 40, c.size, c.size * 2, 1, 4, 0,
                           len(xor) + len(mask), 0, 0, 16, 0)
        images.append(info + palette_bytes() + xor + bytes(mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, data in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.size, c.size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def artwork():
    files = {}
    for n in range(14):
        files["upload_%d.bmp" % (150 + n)] = bmp(upload_frame(n))
    for n in range(13):
        files["browse_%d.bmp" % (141 + n)] = bmp(browse_frame(n))
    files["replace_154.bmp"] = bmp(replace_picture())
    for name, draw in (("sendora", icon_sendora), ("sndmgr", icon_sndmgr),
                       ("ftchmgr", icon_ftchmgr), ("ftp_fn", icon_ftp_fn)):
        files[name + ".ico"] = ico([draw(32), draw(16)])
    return files


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    out = os.path.join(root, "res", "art")
    check = "--check" in argv
    if "--out" in argv:
        out = argv[argv.index("--out") + 1]
    files = artwork()
    stale = []
    for name, data in sorted(files.items()):
        path = os.path.join(out, name)
        if check:
            try:
                with open(path, "rb") as f:
                    if f.read() != data:
                        stale.append(name)
            except OSError:
                stale.append(name)
        else:
            os.makedirs(out, exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
    if stale:
        print("make_art: out of date in %s: %s" % (out, " ".join(stale)), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
