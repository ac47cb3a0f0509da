"""The pictures and icons that label the settings dialog's controls, and dialog.rc that lists them."""


from art.palette import BLACK, CERISE, GREY, MAUVE, PALETTE, PINK, ROSE, SILVER, SKY, TYPES, WHITE, YELLOW
from art.petals import Lcg, PetalShape, colour_petal
from art.icons import ICON_BASE, ICON_EDGE, ICON_HEART, ICON_PETAL, ICON_STAMEN, ICON_TIP, draw_icon


#
# Thirteen 64 x 32 bitmaps and fourteen 32 x 32 icons that label the dialog's
# controls in place of text.  Scenes on the desktop stand on its teal; the
# wind's pictures on a sky blue.  Petals are the program's own petal pictures
# where there is room for them, and small hand-drawn ones where there is not.

TEAL = (0, 128, 128)          # the desktop
NAVY = (0, 0, 128)            # an active title bar
FACE = SILVER                 # window frames, buttons, the taskbar
SHADOW = GREY
RED = (255, 0, 0)
DARK_RED = (153, 0, 0)
WOOD = (255, 204, 102)        # rulers
WOOD_EDGE = (153, 102, 51)
ARROW = (0, 0, 204)
CLOUD_EDGE = (102, 153, 204)
CLOUD_SHADE = (204, 204, 255)

# The dialog pictures' palette: the colour cube, then the Windows colours that
# the cube lacks, then a grey ramp.
def make_dialog_palette():
    pal = PALETTE[:216] + [GREY, SILVER, TEAL, NAVY]
    while len(pal) < 256:
        v = (len(pal) - 220) * 255 // 35
        pal.append((v, v, v))
    return pal


DIALOG_PALETTE = make_dialog_palette()


class Pic:
    """A picture being drawn: rows of (r, g, b), or None where an icon is transparent."""

    def __init__(self, w, h, bg=None):
        self.w, self.h = w, h
        self.rows = [[bg] * w for _ in range(h)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.rows[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, c)

    def line(self, x0, y0, x1, y1, c, pattern=None):
        """Bresenham's line, both ends included; pattern switches pixels on and off along it."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err, i = dx + dy, 0
        while True:
            if pattern is None or pattern[i % len(pattern)]:
                self.put(x0, y0, c)
            i += 1
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def paste(self, rows, x0, y0, keep=None):
        """Copies the opaque pixels of rows; keep(x, y) may refuse some."""
        for y, row in enumerate(rows):
            for x, c in enumerate(row):
                if c is not None and (keep is None or keep(x0 + x, y0 + y)):
                    self.put(x0 + x, y0 + y, c)


def sprite(art, legend):
    return [[legend.get(ch) for ch in line] for line in art]


def turned(art, quarter_turns):
    """art turned clockwise by quarter turns."""
    for _ in range(quarter_turns % 4):
        art = ["".join(art[len(art) - 1 - y][x] for y in range(len(art))) for x in range(len(art[0]))]
    return art


def mirrored(art):
    return [line[::-1] for line in art]


PETAL_LEGEND = {"o": MAUVE, "f": PINK, "v": ROSE}

# Petals too small for the program's pictures: 'o' outline, 'f' fill, 'v' vein.
SMALL_PETALS = {
    "small": [".o.",
              "ofo",
              "ovo",
              ".o."],
    "slant": ["..o",
              ".of",
              "ovo",
              "o.."],
    "tiny": ["of",
             "vo"],
    "curl": [".ooo.",
             "offfo",
             "offo.",
             "ovfo.",
             ".oo.."],
    "flat": [".oo.",
             "offo",
             ".oo."],
    "tilt": ["oo.",
             "ofo",
             ".oo"],
}
HEAP_PETALS = [SMALL_PETALS["small"], SMALL_PETALS["slant"], SMALL_PETALS["curl"], turned(SMALL_PETALS["small"], 1),
               mirrored(SMALL_PETALS["slant"]), SMALL_PETALS["flat"], SMALL_PETALS["tilt"]]

_PETAL_SHAPES = []


def program_petal(index, t=1):
    """The program's own petal picture of place index in type t's colours, None outside its mask."""
    if not _PETAL_SHAPES:
        _PETAL_SHAPES.extend(PetalShape(i) for i in range(5))
    shape = _PETAL_SHAPES[index]
    pic = colour_petal(shape, t)
    return [[pic[y][x] if shape.mask[y][x] else None for x in range(shape.w)] for y in range(shape.h)]


def small_petal(p, kind, x, y, turn=0):
    p.paste(sprite(turned(SMALL_PETALS[kind], turn), PETAL_LEGEND), x, y)


def blossom(size, t=1, base_until=0.3):
    """The notification icon's blossom at size x size in flower type t's
    colours: its fill, outline and vein, the heart in its base colour (or its
    vein), yellow stamens.  None outside."""
    spec = TYPES[t]
    heart = spec["base"][0] if spec["base"] else spec["vein"][0]
    colours = {ICON_EDGE: spec["outline"][0], ICON_TIP: spec["fill"], ICON_PETAL: spec["fill"],
               ICON_BASE: spec["vein"][0], ICON_HEART: heart, ICON_STAMEN: YELLOW}
    return [[colours[c[:3]] if c[3] else None for c in row] for row in draw_icon(size, False, base_until)]


def window(p, x0, y0, x1, y1, title=6):
    """A window with a raised frame, a title bar with its title and two caption buttons."""
    p.rect(x0, y0, x1, y1, FACE)
    p.line(x0, y0, x1 - 1, y0, WHITE)
    p.line(x0, y0, x0, y1 - 1, WHITE)
    p.line(x1 - 1, y0, x1 - 1, y1 - 1, BLACK)
    p.line(x0, y1 - 1, x1 - 1, y1 - 1, BLACK)
    top = y0 + 2
    p.rect(x0 + 2, top, x1 - 2, min(y1 - 1, top + title), NAVY)
    for x in range(x0 + 4, min(x1 - 12, x0 + 20)):
        if (x - x0) % 5 != 4:
            p.put(x, top + title // 2, WHITE)
    bx = x1 - 3
    for _ in range(2):
        p.rect(bx - 4, top + 1, bx, top + title - 1, FACE)
        p.put(bx - 1, top + title - 2, BLACK)
        bx -= 5


def raised(p, x0, y0, x1, y1, light=WHITE, dark=BLACK):
    """A box edge, light at the top and left; swap the colours for a sunken one."""
    p.line(x0, y0, x1, y0, light)
    p.line(x0, y0, x0, y1, light)
    p.line(x1, y0, x1, y1, dark)
    p.line(x0, y1, x1, y1, dark)


def taskbar(p, y0):
    """The taskbar from row y0 to the bottom: its start button and its notification area."""
    p.rect(0, y0, p.w, p.h, FACE)
    p.line(0, y0 + 1, p.w - 1, y0 + 1, WHITE)
    top, bottom = y0 + 3, p.h - 1
    mid = (top + bottom) // 2
    raised(p, 1, top, 15, bottom)
    p.put(3, mid, RED)
    p.put(4, mid, (0, 153, 0))
    p.put(3, mid + 1, (0, 0, 255))
    p.put(4, mid + 1, (255, 204, 0))
    for x in range(6, 14):
        p.put(x, mid, BLACK if x % 4 else FACE)
    raised(p, p.w - 15, top, p.w - 2, bottom, SHADOW, WHITE)
    for x in range(p.w - 12, p.w - 3):
        p.put(x, mid, BLACK if x % 3 else FACE)


def heap(p, x0, x1, ybase, heights, seed):
    """Petals lying in a heap that stands on row ybase, heights giving its
    thickness in pixels along the way; the upper petals are strewn last."""
    rng = Lcg(seed)

    def height(x):
        k = (min(max(x, x0), x1 - 1) - x0) * (len(heights) - 1) / float(max(1, x1 - x0 - 1))
        i = int(k)
        f = k - i
        return heights[i] * (1 - f) + heights[min(i + 1, len(heights) - 1)] * f

    for x in range(x0, x1):
        p.rect(x, ybase - int(round(height(x))), x + 1, ybase, PINK)
    marks = []
    for _ in range(int((x1 - x0) * max(heights) / 4.0)):
        x = x0 - 1 + int(rng.unit() * (x1 - x0 + 1))
        y = ybase - 1 - int(rng.unit() * (height(x) + 1))
        marks.append((y, x, int(rng.unit() * len(HEAP_PETALS))))
    for y, x, k in sorted(marks, reverse=True):
        art = HEAP_PETALS[k]
        p.paste(sprite(art, PETAL_LEGEND), x, y - len(art) + 1,
                lambda qx, qy: x0 <= qx < x1 and ybase - height(qx) - 2 <= qy < ybase)


def cloud(p, x0, y0, w, h):
    """A cumulus: three bumps over a flat base with rounded ends; white, shaded
    underneath, with a blue edge."""
    bumps = [(0.22, 0.60, 0.19), (0.45, 0.40, 0.26), (0.70, 0.50, 0.21), (0.86, 0.66, 0.13)]
    r = 0.175 * h
    left, right, foot = 0.14 * w, 0.92 * w, 0.95 * h

    def inside(x, y):
        px, py = x + 0.5, y + 0.5
        if any((px - bx * w) ** 2 + (py - by * h) ** 2 <= (br * w) ** 2 for bx, by, br in bumps):
            return True
        if not 0.60 * h <= py <= foot or not left <= px <= right:
            return False
        if left + r <= px <= right - r or py <= foot - r:
            return True
        return min((px - left - r) ** 2, (px - right + r) ** 2) + (py - foot + r) ** 2 <= r * r

    for y in range(h):
        for x in range(w):
            if not inside(x, y):
                continue
            if not all(inside(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                c = CLOUD_EDGE
            elif not inside(x, y + 2) or not inside(x + 2, y + 1):
                c = CLOUD_SHADE
            else:
                c = WHITE
            p.put(x0 + x, y0 + y, c)


def cloud_face(p, x0, y0, w, h):
    """A cloud with a face blowing to the right: an eye under its brow, a
    flushed puffed cheek and pursed lips at its right edge."""
    cloud(p, x0, y0, w, h)
    ex, ey = x0 + int(w * 0.55), y0 + int(h * 0.42)
    p.rect(ex, ey, ex + 2, ey + 2, BLACK)
    p.line(ex - 1, ey - 2, ex + 1, ey - 2, BLACK)
    p.rect(ex - 2, ey + 3, ex + 1, ey + 5, ROSE)
    mx, my = x0 + w - 3, y0 + int(h * 0.62)
    for dx, dy in ((0, -1), (-1, 0), (1, 0), (0, 1)):
        p.put(mx + dx, my + dy, CERISE)
    p.put(mx, my, MAUVE)


def gusts(p, x0, y0, lines):
    """Streaks of wind: (dx, dy, length, curl at the end)."""
    for dx, dy, length, curl in lines:
        x, y = x0 + dx, y0 + dy
        p.line(x, y, x + length, y, WHITE)
        if curl:
            for cx, cy in ((1, -1), (2, -2), (1, -3), (0, -3)):
                p.put(x + length + cx, y + cy, WHITE)


def ruler_h(p, x0, x1, y0, h):
    p.rect(x0, y0, x1, y0 + h, WOOD)
    p.line(x0, y0 + h - 1, x1 - 1, y0 + h - 1, WOOD_EDGE)
    p.line(x1 - 1, y0, x1 - 1, y0 + h - 1, WOOD_EDGE)
    for x in range(x0 + 2, x1 - 1, 4):
        p.line(x, y0, x, y0 + (2 if (x - x0 - 2) % 8 == 0 else 1), BLACK)


def ruler_v(p, x0, y0, y1, w):
    p.rect(x0, y0, x0 + w, y1, WOOD)
    p.line(x0 + w - 1, y0, x0 + w - 1, y1 - 1, WOOD_EDGE)
    p.line(x0, y1 - 1, x0 + w - 1, y1 - 1, WOOD_EDGE)
    for y in range(y0 + 2, y1 - 1, 4):
        p.line(x0, y, x0 + (2 if (y - y0 - 2) % 8 == 0 else 1), y, BLACK)


def arrow_right(p, x0, x1, y):
    p.rect(x0, y - 1, x1 - 3, y + 1, ARROW)
    for k in range(4):
        p.line(x1 - 4 + k, y - 3 + k, x1 - 4 + k, y + 2 - k, ARROW)


def arrow_left(p, x0, x1, y):
    p.rect(x0 + 3, y - 1, x1, y + 1, ARROW)
    for k in range(4):
        p.line(x0 + 3 - k, y - 3 + k, x0 + 3 - k, y + 2 - k, ARROW)


def arrow_down(p, x, y0, y1):
    p.rect(x - 1, y0, x + 1, y1 - 3, ARROW)
    for k in range(4):
        p.line(x - 3 + k, y1 - 4 + k, x + 2 - k, y1 - 4 + k, ARROW)


def twig(p, points, thick_until=None):
    """Black bark along points, two pixels thick where a stretch lies right of thick_until."""
    for (xa, ya), (xb, yb) in zip(points, points[1:]):
        p.line(xa, ya, xb, yb, BLACK)
        if thick_until is not None and min(xa, xb) >= thick_until:
            p.line(xa, ya + 1, xb, yb + 1, BLACK)


# The bitmaps, 64 x 32.

def pic_falling():
    p = Pic(64, 32, TEAL)
    for index, x, y in [(1, 4, 2), (0, 20, 15), (2, 37, 3), (4, 49, 19), (3, 4, 20)]:
        p.paste(program_petal(index), x, y)
    small_petal(p, "small", 58, 4)
    small_petal(p, "tiny", 31, 27)
    return p


def pic_wind():
    p = Pic(64, 32, SKY)
    cloud_face(p, 1, 3, 30, 24)
    gusts(p, 31, 16, [(0, -4, 14, True), (1, 0, 20, False), (0, 4, 12, True)])
    small_petal(p, "slant", 52, 14)
    small_petal(p, "tiny", 58, 6)
    return p


def branch_scene(p):
    twig(p, [(63, 1), (56, 3), (48, 4), (40, 6), (32, 8), (24, 9), (16, 11), (9, 13), (3, 14)], thick_until=36)
    p.line(46, 4, 50, 10, BLACK)
    p.line(22, 9, 20, 16, BLACK)
    flower = blossom(11)
    for cx, cy in [(45, 8), (15, 14), (30, 11)]:
        p.paste(flower, cx - 5, cy - 3)
    for bx, by in [(8, 14), (58, 3)]:  # buds
        p.put(bx, by + 1, MAUVE)
        p.put(bx, by + 2, ROSE)
        p.put(bx + 1, by + 2, MAUVE)
        p.put(bx, by + 3, MAUVE)


def pic_branch():
    p = Pic(64, 32, TEAL)
    branch_scene(p)
    small_petal(p, "small", 52, 22)
    small_petal(p, "tiny", 6, 27)
    return p


def pic_window_layer():
    p = Pic(64, 32, TEAL)
    window(p, 4, 14, 60, 33)
    heap(p, 5, 59, 14, [2, 3, 4, 5, 4, 5, 4, 3, 2], seed=3)
    small_petal(p, "curl", 25, 1)
    small_petal(p, "small", 48, 3)
    return p


def pic_bottom_layer():
    p = Pic(64, 32, TEAL)
    taskbar(p, 22)
    heap(p, 0, 64, 22, [3, 4, 3, 4, 5, 4, 3, 4, 3], seed=5)
    small_petal(p, "curl", 13, 4)
    small_petal(p, "small", 40, 9)
    small_petal(p, "slant", 51, 2)
    return p


def pic_fall_behind():
    p = Pic(64, 32, TEAL)
    window(p, 10, 11, 54, 22)
    p.paste(program_petal(1), 15, 0)
    small_petal(p, "curl", 41, 3)
    small_petal(p, "curl", 24, 24, 1)
    p.paste(program_petal(4), 42, 22)
    return p


def pic_windsock():
    p = Pic(64, 32, SKY)
    p.rect(5, 3, 7, 32, SHADOW)
    p.line(5, 3, 5, 31, WHITE)
    p.rect(4, 2, 8, 3, BLACK)
    start, end = 8, 54
    for x in range(start, end):
        f = (x - start) / float(end - start)
        half = 6.0 - 3.5 * f
        mid = 9.0 + 3.0 * f * f
        red = int(f * 5) % 2 == 0
        top, bottom = int(round(mid - half)), int(round(mid + half))
        for y in range(top, bottom + 1):
            edge = y in (top, bottom)
            p.put(x, y, (DARK_RED if edge else RED) if red else (SHADOW if edge else WHITE))
    gusts(p, 12, 24, [(10, 0, 16, False), (24, 4, 14, True), (0, 4, 8, False)])
    return p


# The wind cycle: a low stretch, a rising slope, a high plateau, a falling slope
# and a final low stretch.
WIND_GRAPH = [(2, 25), (13, 25), (23, 7), (40, 7), (50, 25), (61, 25)]


def pic_wind_graph(marked):
    p = Pic(64, 32, SKY)
    cloud_face(p, 17, 10, 30, 21)
    for k, ((xa, ya), (xb, yb)) in enumerate(zip(WIND_GRAPH, WIND_GRAPH[1:])):
        c = RED if k == marked else BLACK
        for dy in ((-1, 0, 1) if k == marked else (0, 1)):
            p.line(xa, ya + dy, xb, yb + dy, c)
    return p


def pic_tick():
    p = Pic(64, 32, TEAL)
    spots = [("small", 3, 3), ("tiny", 13, 12), ("slant", 22, 4), ("tiny", 6, 22), ("small", 17, 24),
             ("slant", 27, 16), ("small", 35, 9), ("tiny", 43, 3), ("slant", 47, 20), ("tiny", 38, 26),
             ("small", 57, 11), ("tiny", 58, 27)]
    for i, (kind, x, y) in enumerate(spots):
        small_petal(p, kind, x, y, i % 2)
    return p


# The icons, 32 x 32, transparent around the drawing.

def icon_flowers():
    p = Pic(32, 32)
    twig(p, [(0, 4), (31, 1)])
    twig(p, [(0, 5), (31, 2)])
    p.rect(16, 4, 18, 7, BLACK)
    p.paste(blossom(24), 4, 7)
    return p


def icon_flutter():
    p = Pic(32, 32)
    path = [(17, 0), (11, 7), (21, 14), (11, 22), (17, 31)]
    for (xa, ya), (xb, yb) in zip(path, path[1:]):
        p.line(xa, ya, xb, yb, BLACK, pattern=[1, 1, 0])
    arrow_left(p, 0, 9, 16)
    arrow_right(p, 23, 32, 16)
    p.paste(program_petal(1), 11, 9)
    return p


def icon_side_speed():
    p = Pic(32, 32)
    arrow_right(p, 1, 31, 4)
    p.paste(program_petal(0), 2, 10)
    p.paste(program_petal(2), 17, 11)
    ruler_h(p, 0, 32, 25, 6)
    return p


def icon_fall_speed():
    p = Pic(32, 32)
    ruler_v(p, 0, 0, 32, 6)
    arrow_down(p, 12, 1, 31)
    p.paste(program_petal(1), 19, 2)
    p.paste(program_petal(3), 21, 18)
    return p


def icon_window_layer():
    p = Pic(32, 32)
    ruler_v(p, 0, 0, 32, 6)
    window(p, 8, 16, 32, 32)
    heap(p, 9, 31, 16, [3, 5, 6, 6, 5, 4], seed=2)
    small_petal(p, "curl", 20, 0)
    return p


def icon_bottom_layer():
    p = Pic(32, 32)
    ruler_v(p, 0, 0, 32, 6)
    p.rect(8, 24, 32, 32, FACE)
    p.line(8, 24, 31, 24, WHITE)
    raised(p, 10, 26, 19, 30)
    p.line(8, 31, 31, 31, SHADOW)
    heap(p, 8, 32, 24, [4, 6, 6, 7, 5], seed=4)
    small_petal(p, "curl", 21, 2)
    return p


def icon_branch_x():
    p = Pic(32, 32)
    twig(p, [(31, 1), (0, 7)])
    twig(p, [(31, 2), (12, 6)])
    p.paste(blossom(13), 2, 4)
    p.paste(blossom(13), 16, 2)
    arrow_right(p, 1, 31, 21)
    ruler_h(p, 0, 32, 26, 6)
    return p


def icon_type(t):
    p = Pic(32, 32)
    if t == 7:  # on black, its corners rounded off
        p.rect(0, 0, 32, 32, BLACK)
        for x, y in ((0, 0), (31, 0), (0, 31), (31, 31)):
            p.put(x, y, None)
    p.paste(blossom(32, t), 0, 0)
    return p


DIALOG_BITMAPS = [
    (134, "falling petals", pic_falling),
    (135, "a cloud face blowing wind", pic_wind),
    (136, "a blossoming branch", pic_branch),
    (137, "petals lying on a window title bar", pic_window_layer),
    (138, "petals lying on a taskbar", pic_bottom_layer),
    (139, "petals above and below a window title bar", pic_fall_behind),
    (254, "a red and white windsock", pic_windsock),
    (255, "wind cycle, first low stretch marked", lambda: pic_wind_graph(0)),
    (256, "wind cycle, rising slope marked", lambda: pic_wind_graph(1)),
    (257, "wind cycle, falling slope marked", lambda: pic_wind_graph(3)),
    (258, "wind cycle, top plateau marked", lambda: pic_wind_graph(2)),
    (259, "wind cycle, final low stretch marked", lambda: pic_wind_graph(4)),
    (260, "falling petals, small", pic_tick),
]
DIALOG_BITMAP_SIZE = (64, 32)

DIALOG_ICONS = [
    (514, "petals on a window title bar beside a vertical ruler", icon_window_layer),
    (1021, "petals between left and right arrows on a zig-zag dotted path", icon_flutter),
    (1022, "petals under a rightward arrow above a ruler", icon_side_speed),
    (1023, "petals beside a downward arrow and a vertical ruler", icon_fall_speed),
    (1025, "petals on a taskbar beside a vertical ruler", icon_bottom_layer),
    (1094, "a blossom under a twig", icon_flowers),
    (1095, "flower type 1: pink blossom", lambda: icon_type(1)),
    (1096, "flower type 2: pink blossom with a dark red centre", lambda: icon_type(2)),
    (1097, "flower type 3: white blossom", lambda: icon_type(3)),
    (1100, "flower type 4: deep pink blossom", lambda: icon_type(4)),
    (1101, "flower type 5: pale yellow blossom", lambda: icon_type(5)),
    (1102, "flower type 6: pale blue blossom", lambda: icon_type(6)),
    (1103, "flower type 7: white blossom with a yellow centre on black", lambda: icon_type(7)),
    (1105, "the branch above a rightward arrow and a ruler", icon_branch_x),
]
# Every dialog icon sits in a 20 x 20 unit static, 30 x 32 pixels at the
# dialog's font, where Windows shows an icon at its 32 x 32 size; none is shown
# small, so the icons have no 16 x 16 image.
DIALOG_ICON_SIZE = 32
DIALOG_DIR = "dialog"  # under res/


def dialog_bitmap_path(rid):
    return "%s/b%d.bmp" % (DIALOG_DIR, rid)


def dialog_icon_path(rid):
    return "%s/i%d.ico" % (DIALOG_DIR, rid)


def dialog_rc():
    out = "// Pictures of the settings dialog (generated by tools/make_art.py).\n"
    for rid, what, _ in DIALOG_BITMAPS:
        out += '%d BITMAP "%s"  // %s\n' % (rid, dialog_bitmap_path(rid), what)
    for rid, what, _ in DIALOG_ICONS:
        out += '%d ICON "%s"  // %s\n' % (rid, dialog_icon_path(rid), what)
    return out
