#!/usr/bin/env python3
"""Draws Mivora's branch and petal bitmaps, its two icons, and the pictures
and icons that label the settings dialog's controls.

    python3 tools/make_art.py                     write everything into res/
    python3 tools/make_art.py --check             re-read what was written and verify it, and the
                                                  help topics' source res/help/mivora-help.txt
    python3 tools/make_art.py --preview out.png   contact sheet of the branch, petals and icons, enlarged
    python3 tools/make_art.py --sheet out.png     contact sheet of the settings dialog's pictures, 1x and 4x

Every shape (the branch and the five petal places) is drawn once; the seven
flower types only colour those shapes differently, so each shape has one mask
image shared by every type.  Output is deterministic: rerunning gives
byte-identical files.  Standard library only.
"""

import math
import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "art"))
import help_topics  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RES = os.path.join(ROOT, "res")
BITMAP_DIR = "bitmaps"  # under res/

# ---------------------------------------------------------------------------
# Colours and flower types
# ---------------------------------------------------------------------------

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
PINK = (255, 204, 204)
MAUVE = (204, 102, 153)
ROSE = (255, 153, 153)
CERISE = (204, 0, 102)
CREAM = (255, 255, 153)
SKY = (153, 204, 255)
GREY = (128, 128, 128)
SILVER = (192, 192, 192)
YELLOW = (255, 255, 0)

# Roles a petal pixel can take besides fill and outline: "vein" is the line
# from the base along the middle, "base" the spot where the petal was attached.
# Shares are fractions of the petal shape; fill takes whatever is left.
TYPES = {
    1: dict(branch=(195, 196), petals=[(184, 186), (187, 191), (188, 192), (189, 193), (243, 194)],
            fill=PINK, outline=(MAUVE, 0.28), vein=(ROSE, 0.06), base=None),
    2: dict(branch=(178, 179), petals=[(201, 206), (202, 207), (203, 208), (204, 209), (205, 210)],
            fill=PINK, outline=(MAUVE, 0.33), vein=(ROSE, 0.06), base=(CERISE, 0.03)),
    3: dict(branch=(211, 212), petals=[(213, 218), (214, 219), (215, 220), (216, 221), (217, 222)],
            fill=WHITE, outline=(MAUVE, 0.28), vein=(ROSE, 0.08), base=None),
    4: dict(branch=(182, 183), petals=[(233, 238), (234, 239), (235, 240), (237, 241), (190, 242)],
            fill=CERISE, outline=(MAUVE, 0.28), vein=(ROSE, 0.08), base=None),
    5: dict(branch=(197, 199), petals=[(223, 228), (224, 229), (225, 230), (226, 231), (227, 232)],
            fill=CREAM, outline=(MAUVE, 0.28), vein=(ROSE, 0.08), base=None),
    6: dict(branch=(198, 200), petals=[(247, 248), (245, 249), (244, 250), (246, 251), (236, 252)],
            fill=SKY, outline=(MAUVE, 0.28), vein=(ROSE, 0.08), base=None),
    7: dict(branch=(262, 261), petals=[(263, 272), (264, 271), (265, 270), (266, 269), (267, 268)],
            fill=WHITE, outline=(GREY, 0.28), vein=(SILVER, 0.08), base=(YELLOW, 0.02)),
}
TYPE_FILL_SHARE = {1: 0.66, 2: 0.57, 3: 0.64, 4: 0.64, 5: 0.64, 6: 0.64, 7: 0.61}

BRANCH_W, BRANCH_H = 334, 92
TALL_BRANCH_TYPE = 5  # its picture has one more, all-white row
PETAL_SIZES = [(13, 10), (10, 13), (12, 10), (9, 10), (10, 10)]
PETAL_START = [(0, 6), (9, 0), (15, 6), (13, 14), (4, 14)]
FLOWER_ANCHORS = [(22, 59), (62, 17), (7, 68), (248, 7), (7, 68), (282, 22), (286, 2), (282, 22), (260, 30),
                  (212, 7), (146, 45), (125, 68), (93, 57), (114, 23), (107, 6), (25, 33), (54, 51), (3, 48)]
# Where the five petals of a flower meet, from the flower position.
FLOWER_HEART = (14.0, 13.0)

SHARE_TOLERANCE = 0.03         # petal pictures, each colour, absolute
BRANCH_SHARE_TOLERANCE = 0.03  # branch pictures, outside the bark
BARK_SHARE = 1.0 / 9.0
BARK_TOLERANCE = 0.02


def type_colours(t):
    """The colours of type t and their shares, fill first."""
    spec = TYPES[t]
    out = [(spec["fill"], TYPE_FILL_SHARE[t]), spec["outline"], spec["vein"]]
    if spec["base"]:
        out.append(spec["base"])
    return out


# 256-entry palette shared by every picture: the 6x6x6 colour cube (which holds
# every colour above except the two greys), the two greys, then a grey ramp.
def make_palette():
    pal = []
    for r in range(6):
        for g in range(6):
            for b in range(6):
                pal.append((r * 51, g * 51, b * 51))
    pal.append(GREY)
    pal.append(SILVER)
    while len(pal) < 256:
        v = (len(pal) - 218) * 255 // 37
        pal.append((v, v, v))
    return pal


PALETTE = make_palette()


# ---------------------------------------------------------------------------
# Small deterministic noise
# ---------------------------------------------------------------------------

class Lcg:
    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def unit(self):
        self.state = (self.state * 1103515245 + 12345) & 0xFFFFFFFF
        return ((self.state >> 8) & 0xFFFF) / 65536.0


# ---------------------------------------------------------------------------
# Petals
# ---------------------------------------------------------------------------

# Per petal place: direction from the flower's heart (degrees, y down), bend of
# the midline, lopsidedness (one flank fuller than the other), where the tip
# notch sits across the petal and how deep it cuts (the two side petals,
# seen end-on, need a deeper cut for it to show).
PETAL_SHAPES = [
    dict(angle=196, bend=0.10, lopsided=0.12, notch=0.10, depth=0.26),
    dict(angle=-88, bend=-0.08, lopsided=-0.10, notch=-0.12),
    dict(angle=-20, bend=0.08, lopsided=0.10, notch=0.08, depth=0.26),
    dict(angle=56, bend=-0.10, lopsided=-0.12, notch=-0.10),
    dict(angle=128, bend=0.10, lopsided=0.10, notch=0.12),
]
SUB = 6  # subsamples per pixel side
PETAL_ASPECT = 0.42  # widest half-width over length


def petal_local_inside(u, v, shape):
    """Inside test in petal coordinates: u from base (0) to tip (1), v across
    in units of the widest half-width.  The petal is narrow at the base,
    widest two thirds of the way out, with a rounded end and a notch in it."""
    if u < 0.0 or u > 1.0:
        return False
    peak = 0.66
    if u < peak:
        h = 0.14 + 0.86 * math.sin(0.5 * math.pi * u / peak) ** 0.8
    else:
        t = (u - peak) / (1.0 - peak)
        h = math.sqrt(max(0.0, 1.0 - t * t))
    w = v - shape["bend"] * u * u
    side = 1.0 + shape["lopsided"] if w >= 0 else 1.0 - shape["lopsided"]
    if abs(w) > h * side:
        return False
    dn = abs(w - shape["notch"])
    if u > 1.0 - shape.get("depth", 0.18) * max(0.0, 1.0 - dn / 0.3):
        return False
    return True


def petal_frame(shape, aspect):
    """Unit direction d and normal n of the petal axis."""
    a = math.radians(shape["angle"])
    d = (math.cos(a), math.sin(a))
    n = (-d[1], d[0])
    return d, n, aspect


def petal_to_world(u, v, frame):
    d, n, aspect = frame
    return (u * d[0] + v * aspect * n[0], u * d[1] + v * aspect * n[1])


def world_to_petal(x, y, frame):
    d, n, aspect = frame
    u = x * d[0] + y * d[1]
    v = (x * n[0] + y * n[1]) / aspect
    return u, v


class PetalShape:
    """One petal place: its mask and, for every pixel inside, where it lies
    along and across the petal and which way its edge faces."""

    def __init__(self, index):
        self.index = index
        self.w, self.h = PETAL_SIZES[index]
        shape = PETAL_SHAPES[index]
        frame = petal_frame(shape, PETAL_ASPECT)
        # bounding box of the shape in world units
        xs, ys = [], []
        steps = 120
        for i in range(steps + 1):
            for j in range(-steps, steps + 1):
                u, v = i / steps, 1.3 * j / steps
                if petal_local_inside(u, v, shape):
                    x, y = petal_to_world(u, v, frame)
                    xs.append(x)
                    ys.append(y)
        # stretched a little where needed so that it spans the whole box
        x0, x1, y0, y1 = min(xs), max(xs), min(ys), max(ys)
        sx = (x1 - x0) / self.w
        sy = (y1 - y0) / self.h

        def to_local(px, py):
            return world_to_petal(x0 + px * sx, y0 + py * sy, frame)

        self.mask = [[False] * self.w for _ in range(self.h)]
        self.u = [[0.0] * self.w for _ in range(self.h)]
        self.v = [[0.0] * self.w for _ in range(self.h)]
        self.notch = [[False] * self.w for _ in range(self.h)]
        for py in range(self.h):
            for px in range(self.w):
                hits = 0
                for sy_ in range(SUB):
                    for sx_ in range(SUB):
                        u, v = to_local(px + (sx_ + 0.5) / SUB, py + (sy_ + 0.5) / SUB)
                        if petal_local_inside(u, v, shape):
                            hits += 1
                u, v = to_local(px + 0.5, py + 0.5)
                self.u[py][px] = u
                self.v[py][px] = v - shape["bend"] * u * u
                self.mask[py][px] = hits * 2 >= SUB * SUB
                self.notch[py][px] = u > 0.75 and abs(self.v[py][px] - shape["notch"]) < 0.35
        self._edges()

    def inside(self, x, y):
        return 0 <= x < self.w and 0 <= y < self.h and self.mask[y][x]

    def _edges(self):
        self.boundary = [[False] * self.w for _ in range(self.h)]
        self.normal = [[(0.0, 0.0)] * self.w for _ in range(self.h)]
        for y in range(self.h):
            for x in range(self.w):
                if not self.mask[y][x]:
                    continue
                nx = ny = 0.0
                edge = False
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                    if not self.inside(x + dx, y + dy):
                        edge = True
                        nx += dx
                        ny += dy
                for dx, dy in ((1, 1), (-1, 1), (1, -1), (-1, -1)):
                    if not self.inside(x + dx, y + dy):
                        nx += 0.5 * dx
                        ny += 0.5 * dy
                self.boundary[y][x] = edge
                self.normal[y][x] = (nx, ny)

    def pixels(self):
        return [(x, y) for y in range(self.h) for x in range(self.w) if self.mask[y][x]]


LIGHT_SHADOW = (0.55, 0.83)  # light comes from the upper left: edges facing this way are darkest


def colour_petal(shape, t):
    """Picture of petal shape in type t's colours: rows of RGB tuples.

    The outline runs round the shaded side; towards the lit upper left it
    softens into the vein colour and, at the brightest spot, into the fill.
    The rest of the vein colour is a short streak from the base up the
    middle, and a type with a base colour gets a spot where the petal broke
    off the flower."""
    spec = TYPES[t]
    pix = shape.pixels()
    n = len(pix)
    role = {}

    def take(cands, count, colour):
        for p in cands:
            if count <= 0:
                break
            if p not in role:
                role[p] = colour
                count -= 1

    def absv(p):
        return abs(shape.v[p[1]][p[0]])

    def u_of(p):
        return shape.u[p[1]][p[0]]

    def shade(p):
        nx, ny = shape.normal[p[1]][p[0]]
        ln = math.hypot(nx, ny) or 1.0
        return (nx * LIGHT_SHADOW[0] + ny * LIGHT_SHADOW[1]) / ln

    if spec["base"]:
        colour, share = spec["base"]
        take(sorted(pix, key=lambda p: (u_of(p) + 0.4 * absv(p), p)), round(share * n), colour)
    vein_colour, vein_share = spec["vein"]
    vein_total = round(vein_share * n)
    streak = max(2, vein_total // 2)
    # the streak: a walk from the base outwards along the middle
    walk = []
    cur = min((p for p in pix if p not in role), key=lambda p: (u_of(p) + 5.0 * absv(p), p))
    while cur is not None and u_of(cur) < 0.8:
        walk.append(cur)
        nxt = [(cur[0] + dx, cur[1] + dy) for dx in (-1, 0, 1) for dy in (-1, 0, 1)]
        nxt = [p for p in nxt if shape.inside(*p) and p not in walk and p not in role
               and u_of(p) > u_of(cur) and not shape.boundary[p[1]][p[0]]]
        cur = min(nxt, key=lambda p: (5.0 * absv(p) - u_of(p), p)) if nxt else None
    take(walk, streak, vein_colour)
    outline, share = spec["outline"]
    k = round(share * n)
    # the boundary in order round the shape, and the arc of it facing the light
    cx = sum(p[0] for p in pix) / float(n)
    cy = sum(p[1] for p in pix) / float(n)
    ring = sorted((p for p in pix if shape.boundary[p[1]][p[0]] and p not in role),
                  key=lambda p: (math.atan2(p[1] - cy, p[0] - cx), p))
    keep = [p for p in ring if shape.notch[p[1]][p[0]]]
    gap_len = max(0, len(ring) - k)
    lit = min(range(len(ring)), key=lambda i: ((ring[i][0] - cx) * LIGHT_SHADOW[0]
                                               + (ring[i][1] - cy) * LIGHT_SHADOW[1], i))
    gap = []
    step = 0
    while len(gap) < gap_len and step < len(ring):
        for i in ((lit + step) % len(ring), (lit - step) % len(ring)):
            p = ring[i]
            if len(gap) < gap_len and p not in gap and p not in keep:
                gap.append(p)
        step += 1
    soft = min(len(gap), max(0, vein_total - streak))
    for i, p in enumerate(gap):
        role[p] = vein_colour if i >= len(gap) - soft else spec["fill"]
    take(ring, k, outline)
    taken = sum(1 for c in role.values() if c == outline)
    if taken < k:
        # thicker outline on the shaded side, just inside the edge
        near = [p for p in pix if p not in role and any(
            shape.boundary[p[1] + dy][p[0] + dx] for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))
            if shape.inside(p[0] + dx, p[1] + dy))]
        take(sorted(near, key=lambda p: (-shade(p), p)), k - taken, outline)
    left = vein_total - sum(1 for c in role.values() if c == vein_colour)
    take(walk, left, vein_colour)
    left = vein_total - sum(1 for c in role.values() if c == vein_colour)
    inner = [p for p in pix if not shape.boundary[p[1]][p[0]]]
    take(sorted(inner, key=lambda p: (u_of(p) + 5.0 * absv(p), p)), left, vein_colour)
    rows = [[WHITE] * shape.w for _ in range(shape.h)]
    for p in pix:
        rows[p[1]][p[0]] = role.get(p, spec["fill"])
    return rows


# ---------------------------------------------------------------------------
# Branch
# ---------------------------------------------------------------------------

def catmull(points, samples_per_seg=40):
    """Smooth curve through points (x, y, r)."""
    out = []
    pts = [points[0]] + list(points) + [points[-1]]
    for i in range(1, len(pts) - 2):
        p0, p1, p2, p3 = pts[i - 1], pts[i], pts[i + 1], pts[i + 2]
        for s in range(samples_per_seg):
            t = s / samples_per_seg
            t2, t3 = t * t, t * t * t
            out.append(tuple(0.5 * ((2 * p1[k]) + (-p0[k] + p2[k]) * t + (2 * p0[k] - 5 * p1[k] + 4 * p2[k] - p3[k]) * t2
                                    + (-p0[k] + 3 * p1[k] - 3 * p2[k] + p3[k]) * t3) for k in range(3)))
    out.append(tuple(points[-1]))
    return out


def stamp_curve(grid, curve, value):
    """Mark every pixel whose centre lies within r of a curve sample."""
    h, w = len(grid), len(grid[0])
    for x, y, r in curve:
        r = max(r, 0.55)
        for py in range(max(0, int(y - r - 1)), min(h, int(y + r + 2))):
            for px in range(max(0, int(x - r - 1)), min(w, int(x + r + 2))):
                if (px + 0.5 - x) ** 2 + (py + 0.5 - y) ** 2 <= r * r:
                    grid[py][px] = value


def quad(p0, c, p1, r0, r1, n=60):
    out = []
    for i in range(n + 1):
        t = i / n
        a, b, cc = (1 - t) ** 2, 2 * (1 - t) * t, t * t
        out.append((a * p0[0] + b * c[0] + cc * p1[0], a * p0[1] + b * c[1] + cc * p1[1], r0 + (r1 - r0) * t))
    return out


def gnarl(curve, seed, amount):
    """Knobbly wobble along a curve: a sideways jitter and swellings."""
    rng = Lcg(seed)
    out = []
    phase1, phase2 = rng.unit() * 6.28, rng.unit() * 6.28
    knots = []
    for _ in range(max(1, len(curve) // 90)):
        knots.append((int(rng.unit() * len(curve)), 0.4 + 0.6 * rng.unit()))
    for i, (x, y, r) in enumerate(curve):
        s = i / 12.0
        dy = amount * (0.6 * math.sin(s * 0.9 + phase1) + 0.4 * math.sin(s * 2.3 + phase2))
        bump = 0.0
        for k, size in knots:
            if abs(i - k) < 10:
                bump = max(bump, size * (1 - abs(i - k) / 10.0))
        out.append((x, y + dy, r + bump * amount))
    return out


# The bough comes in from the right edge at the top, runs to the left and sags
# towards the lower left, where most blossoms hang.  (x, y, radius)
BOUGH = [(337, 3.0, 3.0), (318, 5.5, 2.8), (296, 7.0, 2.4), (272, 6.0, 2.2), (248, 9.5, 2.0),
         (222, 11.0, 1.8), (196, 13.0, 1.7), (170, 17.0, 1.6), (146, 24.0, 1.5), (122, 31.0, 1.4),
         (98, 37.0, 1.3), (76, 42.0, 1.2), (56, 47.0, 1.0), (38, 53.0, 0.9), (22, 56.0, 0.8), (10, 57.0, 0.6)]
# A second limb forks off the bough and droops to the low blossoms in the middle.
DROOP = [(182, 15.0, 1.4), (170, 30.0, 1.2), (158, 46.0, 1.1), (146, 60.0, 1.0), (134, 70.0, 0.8),
         (118, 74.0, 0.7)]
# Spur twigs ending in a bud: start on a limb, end point, bend.
BUDS = [((320, 5), (327, 18), 3), ((236, 10), (241, 24), -3), ((190, 13), (196, 28), 3),
        ((88, 39), (90, 52), -3), ((160, 20), (170, 34), 2), ((46, 50), (46, 64), 3),
        ((300, 7), (316, 14), 2), ((132, 28), (150, 34), 2)]


def nearest_on(curve, p):
    best = None
    for x, y, r in curve:
        d = (x - p[0]) ** 2 + (y - p[1]) ** 2
        if best is None or d < best[0]:
            best = (d, (x, y, r))
    return best[1]


BUD_SIZE = (5, 7)


def bud_shape():
    """A closed bud pointing down: (dx, dy, role) around its tip point."""
    out = []
    bw, bh = BUD_SIZE
    for y in range(bh):
        for x in range(bw):
            cx, cy = (x + 0.5 - bw / 2.0) / (bw / 2.0), (y + 0.5 - bh * 0.55) / (bh * 0.55)
            # egg, narrower at the top where it meets the twig
            wid = 1.0 if cy > 0 else 0.55 + 0.45 * (1 + cy)
            if cx * cx / (wid * wid) + cy * cy <= 1.0:
                out.append((x - bw // 2, y - bh + 1))
    return out


class BranchShape:
    def __init__(self):
        self.bark = [[False] * BRANCH_W for _ in range(BRANCH_H)]
        bough = gnarl(catmull(BOUGH), 7, 1.2)
        stamp_curve(self.bark, bough, True)
        droop = gnarl(catmull([nearest_on(bough, (182, 15))] + DROOP[1:]), 11, 0.6)
        stamp_curve(self.bark, droop, True)
        limbs = bough + droop
        self.anchors = sorted(set(FLOWER_ANCHORS), key=lambda a: (a[1], a[0]))
        self.hearts = [(a[0] + FLOWER_HEART[0], a[1] + FLOWER_HEART[1]) for a in self.anchors]
        # a twig from the nearest point of a limb to every flower's heart
        for i, (hx, hy) in enumerate(self.hearts):
            sx, sy, sr = nearest_on(limbs, (hx, hy))
            mx, my = (sx + hx) / 2.0, (sy + hy) / 2.0
            bend = 3.0 if i % 2 else -3.0
            ln = math.hypot(hx - sx, hy - sy) or 1.0
            c = (mx - bend * (hy - sy) / ln, my + bend * (hx - sx) / ln)
            stamp_curve(self.bark, quad((sx, sy), c, (hx, hy), min(sr, 1.1), 0.55), True)
        # buds on short spurs
        self.buds = []
        for start, end, bend in BUDS:
            ln = math.hypot(end[0] - start[0], end[1] - start[1]) or 1.0
            c = ((start[0] + end[0]) / 2.0 - bend * (end[1] - start[1]) / ln,
                 (start[1] + end[1]) / 2.0 + bend * (end[0] - start[0]) / ln)
            stamp_curve(self.bark, quad(start, c, end, 0.7, 0.55), True)
            self.buds.append(end)
        # light catches the upper rim of the limbs where they are thick
        self.sheen = [[False] * BRANCH_W for _ in range(BRANCH_H)]
        for y in range(1, BRANCH_H - 3):
            for x in range(BRANCH_W):
                if self.bark[y][x] and not self.bark[y - 1][x] and self.bark[y + 1][x] and self.bark[y + 2][x]:
                    self.sheen[y][x] = True
        self.petals = [PetalShape(i) for i in range(5)]
        self.mask = [[False] * BRANCH_W for _ in range(BRANCH_H)]
        for y in range(BRANCH_H):
            for x in range(BRANCH_W):
                self.mask[y][x] = self.bark[y][x]
        for bx, by in self.buds:
            for dx, dy in bud_shape():
                self._set(bx + dx, by + dy)
        for ax, ay in self.anchors:
            for i, ps in enumerate(self.petals):
                ox, oy = PETAL_START[i]
                for px, py in ps.pixels():
                    self._set(ax + ox + px, ay + oy + py)
            for dx, dy in HEART_PIXELS:
                self._set(int(ax + FLOWER_HEART[0]) + dx, int(ay + FLOWER_HEART[1]) + dy)

    def _set(self, x, y):
        if 0 <= x < BRANCH_W and 0 <= y < BRANCH_H:
            self.mask[y][x] = True


# The heart of an open blossom: stamens round a small eye.
HEART_PIXELS = [(dx, dy) for dy in range(-2, 3) for dx in range(-2, 3) if dx * dx + dy * dy <= 5]
HEART_EYE = [(0, 0), (-1, 0), (0, -1), (1, 0), (0, 1)]


def colour_branch(shape, t, petal_pictures):
    spec = TYPES[t]
    fill = spec["fill"]
    outline = spec["outline"][0]
    vein = spec["vein"][0]
    deep = spec["base"][0] if spec["base"] else vein
    rows = [[WHITE] * BRANCH_W for _ in range(BRANCH_H)]

    def put(x, y, c):
        if 0 <= x < BRANCH_W and 0 <= y < BRANCH_H:
            rows[y][x] = c

    for y in range(BRANCH_H):
        for x in range(BRANCH_W):
            if shape.bark[y][x]:
                rows[y][x] = outline if shape.sheen[y][x] else BLACK
    bud = bud_shape()
    bud_set = set(bud)
    for bx, by in shape.buds:
        for dx, dy in bud:
            edge = any((dx + ex, dy + ey) not in bud_set for ex, ey in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            if edge and (dx >= 0 or dy == max(d[1] for d in bud)):
                c = outline
            elif dy <= -BUD_SIZE[1] + 2:
                c = outline  # the sepals where the bud meets its twig
            elif dx < 0 and not edge:
                c = vein
            else:
                c = fill if not edge else vein
            put(bx + dx, by + dy, c)
    for ax, ay in shape.anchors:
        for i, ps in enumerate(shape.petals):
            ox, oy = PETAL_START[i]
            pic = petal_pictures[i]
            for px, py in ps.pixels():
                put(ax + ox + px, ay + oy + py, pic[py][px])
        hx, hy = int(ax + FLOWER_HEART[0]), int(ay + FLOWER_HEART[1])
        for dx, dy in HEART_PIXELS:
            c = deep if (dx, dy) in HEART_EYE else (outline if (dx + dy) % 2 == 0 else fill)
            put(hx + dx, hy + dy, c)
    return rows


# ---------------------------------------------------------------------------
# Icons
# ---------------------------------------------------------------------------

ICON_EDGE = (160, 24, 88)
ICON_TIP = (255, 218, 230)
ICON_PETAL = (255, 168, 196)
ICON_BASE = (236, 100, 150)
ICON_HEART = (150, 0, 64)
ICON_STAMEN = (255, 214, 64)
ICON_PETAL_SHAPE = dict(bend=0.0, lopsided=0.0, notch=0.0, depth=0.22)


ICON_PETAL_WIDTH = 0.36


def icon_centre_y(size):
    return size / 2.0 + (0.0 if size <= 16 else 1.0)


def icon_cell(x, y, size, bold):
    """Which part of the blossom a point (in pixels) lies on: None outside,
    -1 in the heart, else (petal number, distance out from the heart)."""
    c = size / 2.0
    dx, dy = x - c, y - icon_centre_y(size)
    r = math.hypot(dx, dy)
    if r <= size * (0.16 if size <= 16 else 0.15):
        return -1, r
    length = size * (0.47 if bold else 0.46)
    for k in range(5):
        a = math.radians(-90 + 72 * k)
        ux, uy = math.cos(a), math.sin(a)
        u = (dx * ux + dy * uy) / length
        v = (-dx * uy + dy * ux) / (length * ICON_PETAL_WIDTH)
        if petal_local_inside(u, v, ICON_PETAL_SHAPE):
            return k, u
    return None


def draw_icon(size, bold, base_until=0.42):
    """A five-petalled blossom, size x size, as rows of (r, g, b, a): crisp
    pixels with a one-pixel outline, so it stays sharp in the notification area.
    The inner part of each petal, up to base_until of its length, takes the
    base colour."""
    sub = 4
    cells = [[None] * size for _ in range(size)]
    for py in range(size):
        for px in range(size):
            votes = {}
            for sy in range(sub):
                for sx in range(sub):
                    hit = icon_cell(px + (sx + 0.5) / sub, py + (sy + 0.5) / sub, size, bold)
                    key = None if hit is None else hit[0]
                    votes[key] = votes.get(key, 0) + 1
            inside = sub * sub - votes.get(None, 0)
            if inside * 2 >= sub * sub:
                votes.pop(None, None)
                part = max(sorted(votes), key=lambda k: votes[k])
                cells[py][px] = (part, icon_cell(px + 0.5, py + 0.5, size, bold))

    def part_at(x, y):
        if 0 <= x < size and 0 <= y < size and cells[y][x]:
            return cells[y][x][0]
        return None

    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            cell = cells[py][px]
            if cell is None:
                row.append((0, 0, 0, 0))
                continue
            part, hit = cell
            nbrs = [part_at(px + dx, py + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))]
            if part == -1:
                cx, cy = px + 0.5 - size / 2.0, py + 0.5 - icon_centre_y(size)
                ring = size * 0.085
                dots = [(ring * math.cos(math.radians(30 + 60 * k)), ring * math.sin(math.radians(30 + 60 * k)))
                        for k in range(6)]
                if None in nbrs:
                    colour = ICON_EDGE
                elif size >= 32 and any(math.hypot(cx - ex, cy - ey) < 0.8 for ex, ey in dots):
                    colour = ICON_STAMEN
                elif size < 32 and math.hypot(cx, cy) < 1.0:
                    colour = ICON_STAMEN
                else:
                    colour = ICON_HEART
            elif None in nbrs or any(n is not None and n >= 0 and (n - part) % 5 == 1 for n in nbrs):
                colour = ICON_EDGE
            elif -1 in nbrs:
                colour = ICON_EDGE if bold else ICON_BASE
            else:
                u = hit[1] if hit and hit[0] == part else 0.5
                colour = ICON_BASE if u < base_until else (ICON_PETAL if u < 0.7 else ICON_TIP)
            row.append(colour + (255,))
        rows.append(row)
    return rows


# ---------------------------------------------------------------------------
# Pictures of the settings dialog
# ---------------------------------------------------------------------------
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


# ---------------------------------------------------------------------------
# File formats
# ---------------------------------------------------------------------------

def palette_index(palette):
    index = {}
    for i, c in enumerate(palette):
        index.setdefault(c, i)
    return index


def mask_bits(rows, is_set):
    """A 1-bit bitmap's pixel data, bottom row first, each row padded to 32
    bits: a bit is set where is_set(pixel) holds, the leftmost pixel highest."""
    w = len(rows[0])
    stride = ((w + 31) // 32) * 4
    data = bytearray()
    for y in range(len(rows) - 1, -1, -1):
        line = bytearray(stride)
        for x in range(w):
            if is_set(rows[y][x]):
                line[x >> 3] |= 0x80 >> (x & 7)
        data += line
    return bytes(data)


def bmp8(rows, palette=PALETTE):
    h, w = len(rows), len(rows[0])
    index = palette_index(palette)
    stride = (w + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytes(index[c] for c in rows[y])
        data += line + b"\0" * (stride - w)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(data), 2835, 2835, 256, 0)
    off = 14 + len(info) + len(pal)
    return struct.pack("<2sIHHI", b"BM", off + len(data), 0, 0, off) + info + pal + bytes(data)


def bmp1(mask):
    h, w = len(mask), len(mask[0])
    data = mask_bits(mask, bool)
    pal = struct.pack("<BBBBBBBB", 0, 0, 0, 0, 255, 255, 255, 0)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 1, 0, len(data), 2835, 2835, 2, 0)
    off = 14 + len(info) + len(pal)
    return struct.pack("<2sIHHI", b"BM", off + len(data), 0, 0, off) + info + pal + bytes(data)


def read_bmp(blob):
    """(width, height, bits, palette, rows of palette indices, clr_used)"""
    if blob[:2] != b"BM":
        raise ValueError("not a BMP")
    _, size, _, _, off = struct.unpack_from("<2sIHHI", blob, 0)
    hs, w, h, planes, bits, comp, _, _, _, used, _ = struct.unpack_from("<IiiHHIIiiII", blob, 14)
    if hs != 40 or planes != 1 or comp != 0 or h <= 0 or w <= 0 or size != len(blob):
        raise ValueError("unexpected BMP header")
    ncol = used or (1 << bits)
    pal = [struct.unpack_from("<BBBB", blob, 54 + 4 * i)[2::-1] for i in range(ncol)]
    stride = ((w * bits + 31) // 32) * 4
    if off + stride * h > len(blob):
        raise ValueError("BMP too short")
    rows = []
    for y in range(h):
        base = off + (h - 1 - y) * stride
        if bits == 8:
            rows.append(list(blob[base:base + w]))
        elif bits == 1:
            rows.append([(blob[base + (x >> 3)] >> (7 - (x & 7))) & 1 for x in range(w)])
        else:
            raise ValueError("unexpected depth %d" % bits)
    return w, h, bits, [tuple(c) for c in pal], rows, used


def ico(images):
    """An icon file of 32-bit images with alpha and an AND mask; images are
    square rows of (r, g, b, a), fully transparent pixels masked out."""
    head = struct.pack("<HHH", 0, 1, len(images))
    blobs = []
    for rows in images:
        size = len(rows)
        xor = bytearray()
        for y in range(size - 1, -1, -1):
            for r, g, b, a in rows[y]:
                xor += bytes((b, g, r, a))
        andm = mask_bits(rows, lambda p: p[3] == 0)
        info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(andm), 0, 0, 0, 0)
        blobs.append((size, info + bytes(xor) + bytes(andm)))
    off = 6 + 16 * len(images)
    entries = b""
    body = b""
    for size, blob in blobs:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), off + len(body))
        body += blob
    return head + entries + body


def ico8(rows, palette):
    """An icon file of one 256-colour image with its AND mask; None in rows is
    transparent: mask bit 1 over colour 0 (black), so the screen shows through."""
    size = len(rows)
    index = palette_index(palette)
    xor = bytearray()
    for y in range(size - 1, -1, -1):
        xor += bytes(0 if c is None else index[c] for c in rows[y])
    andm = mask_bits(rows, lambda c: c is None)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, len(xor) + len(andm), 0, 0, 0, 0)
    blob = info + pal + bytes(xor) + bytes(andm)
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(blob), 22) + blob


def read_ico(blob):
    """[(size, bits, rows of (r, g, b, a))]: 32-bit images keep their alpha;
    in 8-bit ones a set mask bit gives alpha 0, and colour 0 must be under it."""
    _, kind, count = struct.unpack_from("<HHH", blob, 0)
    if kind != 1:
        raise ValueError("not an icon file")
    out = []
    for i in range(count):
        w, h, _, _, _, bits, length, off = struct.unpack_from("<BBBBHHII", blob, 6 + 16 * i)
        hs, iw, ih, _, ib, _, _, _, _, used, _ = struct.unpack_from("<IiiHHIIiiII", blob, off)
        if hs != 40 or iw != w or ih != 2 * h or ib != bits or bits not in (8, 32):
            raise ValueError("unexpected icon image header")
        colours = (used or 256) if bits == 8 else 0
        mask_stride = ((w + 31) // 32) * 4
        xor_at = off + 40 + 4 * colours
        and_at = xor_at + w * h * bits // 8
        if off + length > len(blob) or length != 40 + 4 * colours + w * h * bits // 8 + mask_stride * h:
            raise ValueError("icon image length")
        rows = []
        for y in range(h):
            base = xor_at + (h - 1 - y) * w * bits // 8
            mask = and_at + (h - 1 - y) * mask_stride
            row = []
            for x in range(w):
                clear = (blob[mask + (x >> 3)] >> (7 - (x & 7))) & 1
                if bits == 32:
                    row.append((blob[base + 4 * x + 2], blob[base + 4 * x + 1], blob[base + 4 * x], blob[base + 4 * x + 3]))
                    continue
                k = blob[base + x]
                if clear and k != 0:
                    raise ValueError("colour under a transparent pixel")
                b, g, r, _ = struct.unpack_from("<BBBB", blob, off + 40 + 4 * k)
                row.append((r, g, b, 0 if clear else 255))
            rows.append(row)
        out.append((w, bits, rows))
    return out


def png(rows):
    h, w = len(rows), len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for c in row:
            raw += bytes(c[:3])

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


# ---------------------------------------------------------------------------
# Building everything
# ---------------------------------------------------------------------------

def bitmap_path(rid):
    return "%s/b%d.bmp" % (BITMAP_DIR, rid)


def build():
    """All outputs as {relative path under res/: bytes}, plus the pictures for the preview."""
    petals = [PetalShape(i) for i in range(5)]
    branch = BranchShape()
    files = {}
    art = {"petals": {}, "branch": {}, "petal_masks": [p.mask for p in petals], "branch_mask": branch.mask}
    for t in sorted(TYPES):
        spec = TYPES[t]
        pics = [colour_petal(petals[i], t) for i in range(5)]
        art["petals"][t] = pics
        for i, (pid, mid) in enumerate(spec["petals"]):
            files[bitmap_path(pid)] = bmp8(pics[i])
            files[bitmap_path(mid)] = bmp1(petals[i].mask)
        rows = colour_branch(branch, t, pics)
        if t == TALL_BRANCH_TYPE:
            rows = rows + [[WHITE] * BRANCH_W]
        art["branch"][t] = rows
        pid, mid = spec["branch"]
        files[bitmap_path(pid)] = bmp8(rows)
        files[bitmap_path(mid)] = bmp1(branch.mask)
    ids = sorted(int(p[len(BITMAP_DIR) + 2:-4]) for p in files)
    rc = "// Bitmaps of the flower types (generated by tools/make_art.py).\n"
    rc += "".join('%d BITMAP "%s"\n' % (rid, bitmap_path(rid)) for rid in ids)
    files["bitmaps.rc"] = rc.encode("ascii")
    icons = {}
    icons[1] = [draw_icon(16, False), draw_icon(32, False)]
    icons[1098] = [draw_icon(16, True), draw_icon(32, True)]
    files["icon1.ico"] = ico(icons[1])
    files["icon1098.ico"] = ico(icons[1098])
    art["icons"] = icons
    art["dialog_bitmaps"], art["dialog_icons"] = {}, {}
    for rid, _, draw in DIALOG_BITMAPS:
        rows = draw().rows
        art["dialog_bitmaps"][rid] = rows
        files[dialog_bitmap_path(rid)] = bmp8(rows, DIALOG_PALETTE)
    for rid, _, draw in DIALOG_ICONS:
        rows = draw().rows
        art["dialog_icons"][rid] = rows
        files[dialog_icon_path(rid)] = ico8(rows, DIALOG_PALETTE)
    files["dialog.rc"] = dialog_rc().encode("ascii")
    topics = help_topics.read_file(os.path.join(RES, help_topics.SOURCE))
    files["help.rc"] = help_topics.string_table(topics).encode("ascii")
    return files, art


def write(files):
    os.makedirs(os.path.join(RES, BITMAP_DIR), exist_ok=True)
    os.makedirs(os.path.join(RES, DIALOG_DIR), exist_ok=True)
    for rel, blob in sorted(files.items()):
        with open(os.path.join(RES, rel), "wb") as f:
            f.write(blob)


# ---------------------------------------------------------------------------
# Checking what was written
# ---------------------------------------------------------------------------

def all_ids():
    out = []
    for t in sorted(TYPES):
        spec = TYPES[t]
        out.append((t, "branch", None) + spec["branch"])
        for i, (pid, mid) in enumerate(spec["petals"]):
            out.append((t, "petal", i, pid, mid))
    return out


def shares(pixels):
    counts = {}
    for c in pixels:
        counts[c] = counts.get(c, 0) + 1
    n = float(len(pixels)) or 1.0
    return {c: k / n for c, k in counts.items()}


def compare_shares(what, got, want, tol, problems):
    for colour, share in want:
        g = got.get(colour, 0.0)
        if abs(g - share) > tol:
            problems.append("%s: colour %s covers %.1f%% of the shape, wanted %.0f%%"
                            % (what, colour, 100 * g, 100 * share))
    extra = [c for c in got if c not in dict(want)]
    if extra:
        problems.append("%s: unexpected colours inside the shape: %s" % (what, sorted(extra)))


def edge_ring(mask):
    """Pixels outside the mask that touch it (8-neighbourhood)."""
    h, w = len(mask), len(mask[0])
    ring = set()
    for y in range(h):
        for x in range(w):
            if mask[y][x]:
                continue
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    yy, xx = y + dy, x + dx
                    if 0 <= yy < h and 0 <= xx < w and mask[yy][xx]:
                        ring.add((x, y))
    return ring


def check_dialog_pictures(load, problems):
    """The settings dialog's pictures as written: sizes, depths, masks, the
    marked stretch of each wind graph, and dialog.rc listing them.  Returns
    how many pictures were read."""
    read = 0
    graph_stretch = {255: 0, 256: 1, 257: 3, 258: 2, 259: 4}
    for rid, what, _ in DIALOG_BITMAPS:
        name = "dialog bitmap %d (%s)" % (rid, what)
        try:
            w, h, bits, pal, rows, used = read_bmp(load(dialog_bitmap_path(rid)))
        except (OSError, ValueError, struct.error) as e:
            problems.append("%s: %s" % (name, e))
            continue
        read += 1
        if (w, h) != DIALOG_BITMAP_SIZE:
            problems.append("%s is %dx%d, wanted %dx%d" % ((name, w, h) + DIALOG_BITMAP_SIZE))
        if bits != 8 or used != 256 or len(pal) != 256:
            problems.append("%s is not 8-bit with a 256-colour palette" % name)
            continue
        colours = {pal[i] for row in rows for i in row}
        if len(colours) < 4:
            problems.append("%s has only %d colours" % (name, len(colours)))
        if rid in graph_stretch:
            (xa, _), (xb, _) = WIND_GRAPH[graph_stretch[rid]], WIND_GRAPH[graph_stretch[rid] + 1]
            red = [x for row in rows for x, i in enumerate(row) if pal[i] == RED]
            if not red or min(red) != xa or max(red) != xb:
                problems.append("%s: its red does not mark x %d..%d" % (name, xa, xb))
    for rid, what, _ in DIALOG_ICONS:
        name = "dialog icon %d (%s)" % (rid, what)
        try:
            images = read_ico(load(dialog_icon_path(rid)))
        except (OSError, ValueError, struct.error) as e:
            problems.append("%s: %s" % (name, e))
            continue
        read += 1
        if [(w, bits) for w, bits, _ in images] != [(DIALOG_ICON_SIZE, 8)]:
            problems.append("%s: images %s, wanted one 32x32 of 8 bits" % (name, [(w, b) for w, b, _ in images]))
            continue
        rows = images[0][2]
        clear = sum(1 for row in rows for px in row if px[3] == 0)
        if not 4 <= clear <= 0.9 * DIALOG_ICON_SIZE ** 2:
            problems.append("%s: %d transparent pixels" % (name, clear))
    try:
        rc = load("dialog.rc").decode("ascii")
        main = load("mivora.rc").decode("ascii")
    except (OSError, UnicodeDecodeError) as e:
        problems.append("dialog.rc: %s" % e)
        rc = main = ""
    listed = {}
    for line in rc.splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[1] in ("BITMAP", "ICON"):
            listed[(parts[1], int(parts[0]))] = parts[2].strip('"')
    wanted = {("BITMAP", rid): dialog_bitmap_path(rid) for rid, _, _ in DIALOG_BITMAPS}
    wanted.update({("ICON", rid): dialog_icon_path(rid) for rid, _, _ in DIALOG_ICONS})
    if listed != wanted:
        problems.append("dialog.rc does not list exactly the dialog's %d pictures" % len(wanted))
    if '#include "dialog.rc"' not in main:
        problems.append("mivora.rc does not include dialog.rc")
    if '#include "help.rc"' not in main:
        problems.append("mivora.rc does not include help.rc")
    return read


def check_help(load, problems):
    try:
        topics = help_topics.read(load(help_topics.SOURCE).decode("ascii"))
    except (OSError, UnicodeDecodeError, ValueError) as e:
        problems.append("%s: %s" % (help_topics.SOURCE, e))
        return
    problems.extend("%s: %s" % (help_topics.SOURCE, p) for p in help_topics.problems(topics))


def check():
    problems = []

    def load(rel):
        with open(os.path.join(RES, rel), "rb") as f:
            return f.read()

    fresh, _ = build()
    masks = {}
    checked = 0
    for t, kind, index, pid, mid in all_ids():
        what = "type %d %s" % (t, kind if index is None else "petal %d" % index)
        try:
            pw, ph, pbits, ppal, prow, pused = read_bmp(load(bitmap_path(pid)))
            mw, mh, mbits, mpal, mrow, mused = read_bmp(load(bitmap_path(mid)))
        except (OSError, ValueError, struct.error) as e:
            problems.append("%s: cannot read %d/%d: %s" % (what, pid, mid, e))
            continue
        checked += 2
        if kind == "branch":
            size = (BRANCH_W, BRANCH_H)
            psize = (BRANCH_W, BRANCH_H + 1) if t == TALL_BRANCH_TYPE else size
        else:
            size = psize = PETAL_SIZES[index]
        if (pw, ph) != psize:
            problems.append("%s: picture %d is %dx%d, wanted %dx%d" % ((what, pid, pw, ph) + psize))
        if (mw, mh) != size:
            problems.append("%s: mask %d is %dx%d, wanted %dx%d" % ((what, mid, mw, mh) + size))
        if pbits != 8 or pused != 256 or len(ppal) != 256:
            problems.append("%s: picture %d is not 8-bit with a 256-colour palette" % (what, pid))
        if mbits != 1 or mused != 2 or mpal != [BLACK, WHITE]:
            problems.append("%s: mask %d is not 1-bit black/white" % (what, mid))
        if (pw, ph) != psize or (mw, mh) != size:
            continue
        key = ("branch",) if kind == "branch" else ("petal", index)
        masks.setdefault(key, []).append((mid, mrow))
        picture = [[ppal[i] for i in row] for row in prow]
        mask = [[bool(b) for b in row] for row in mrow]
        ring = edge_ring(mask)
        inside, stray = [], 0
        for y in range(ph):
            for x in range(pw):
                if y < mh and mask[y][x]:
                    inside.append(picture[y][x])
                elif picture[y][x] != WHITE:
                    if y < mh and (x, y) in ring:
                        stray += 1
                    else:
                        problems.append("%s: picture %d not white at (%d, %d) outside the shape" % (what, pid, x, y))
                        break
        if stray > max(2, len(inside) // 50):
            problems.append("%s: %d non-white pixels around the shape" % (what, stray))
        if ph > mh and any(c != WHITE for c in picture[mh]):
            problems.append("%s: last row of picture %d is not white" % (what, pid))
        if not inside:
            problems.append("%s: empty shape" % what)
            continue
        want = type_colours(t)
        if kind == "petal":
            compare_shares(what, shares(inside), want, SHARE_TOLERANCE, problems)
        else:
            got = shares(inside)
            bark = got.pop(BLACK, 0.0)
            if abs(bark - BARK_SHARE) > BARK_TOLERANCE:
                problems.append("%s: bark covers %.1f%% of the branch, wanted about %.1f%%"
                                % (what, 100 * bark, 100 * BARK_SHARE))
            rest = [c for c in inside if c != BLACK]
            compare_shares(what + " (outside the bark)", shares(rest), want, BRANCH_SHARE_TOLERANCE, problems)
    for key, items in sorted(masks.items()):
        first = items[0][1]
        for mid, rows in items[1:]:
            if rows != first:
                problems.append("mask %d differs from mask %d of the same shape" % (mid, items[0][0]))
    # the mixed set borrows these
    for pid, mid in [(247, 248), (202, 207), (215, 220), (237, 241), (227, 232)]:
        if not os.path.exists(os.path.join(RES, bitmap_path(pid))):
            problems.append("mixed set bitmap %d missing" % pid)
    try:
        rc = load("bitmaps.rc").decode("ascii")
    except (OSError, UnicodeDecodeError) as e:
        problems.append("bitmaps.rc: %s" % e)
        rc = ""
    listed = {}
    for line in rc.splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[1] == "BITMAP":
            listed[int(parts[0])] = parts[2].strip('"')
    for _, _, _, pid, mid in all_ids():
        for rid in (pid, mid):
            if listed.get(rid) != bitmap_path(rid):
                problems.append("bitmaps.rc does not list bitmap %d as %s" % (rid, bitmap_path(rid)))
    if len(listed) != 84:
        problems.append("bitmaps.rc lists %d bitmaps, wanted 84" % len(listed))
    for name in ("icon1.ico", "icon1098.ico"):
        try:
            images = read_ico(load(name))
        except (OSError, ValueError, struct.error) as e:
            problems.append("%s: %s" % (name, e))
            continue
        sizes = sorted(w for w, _, _ in images)
        if sizes != [16, 32]:
            problems.append("%s: sizes %s, wanted 16 and 32" % (name, sizes))
        for w, _, rows in images:
            opaque = sum(1 for row in rows for p in row if p[3] > 0)
            if not (0.3 * w * w < opaque < 0.95 * w * w):
                problems.append("%s: %dx%d image has %d opaque pixels" % (name, w, w, opaque))
    checked += check_dialog_pictures(load, problems)
    check_help(load, problems)
    for rel, blob in sorted(fresh.items()):
        try:
            if load(rel) != blob:
                problems.append("%s is out of date: rerun tools/make_art.py" % rel)
        except OSError:
            pass
    for p in problems:
        print("make_art: " + p, file=sys.stderr)
    if problems:
        return 1
    print("make_art: %d bitmaps and icons, bitmaps.rc, dialog.rc, the 2 program icons, the help topics and help.rc are in order"
          % checked)
    return 0


# ---------------------------------------------------------------------------
# Preview
# ---------------------------------------------------------------------------

SHEET = (224, 224, 224)


class Canvas:
    def __init__(self, w, h, colour):
        self.w, self.h = w, h
        self.rows = [[colour] * w for _ in range(h)]

    def blit(self, rows, x0, y0, scale, mask=None, under=None):
        for y, row in enumerate(rows):
            for x, c in enumerate(row):
                if mask is not None:
                    inside = y < len(mask) and mask[y][x]
                    c = c if inside else under
                if c is None:
                    continue
                if len(c) == 4:
                    a = c[3] / 255.0
                    c = tuple(int(round(c[k] * a + (under or SHEET)[k] * (1 - a))) for k in range(3))
                for yy in range(y0 + y * scale, y0 + (y + 1) * scale):
                    if 0 <= yy < self.h:
                        line = self.rows[yy]
                        for xx in range(x0 + x * scale, min(self.w, x0 + (x + 1) * scale)):
                            line[xx] = c


def preview(path):
    _, art = build()
    bs, ps, gap = 3, 8, 12
    petal_block = sum(w * ps + gap for w, _ in PETAL_SIZES)
    width = gap + BRANCH_W * bs + gap + petal_block + gap
    row_h = (BRANCH_H + 1) * bs + gap
    height = gap + row_h * (len(TYPES) + 1) + 2 * (BRANCH_H + gap) + 40 * 4 + gap
    cv = Canvas(width, height, SHEET)
    y = gap
    for t in sorted(TYPES):
        cv.blit(art["branch"][t], gap, y, bs, art["branch_mask"], TEAL)
        x = gap + BRANCH_W * bs + gap
        for i, (w, h) in enumerate(PETAL_SIZES):
            cv.blit(art["petals"][t][i], x, y, ps, art["petal_masks"][i], TEAL)
            cv.blit(art["petals"][t][i], x, y + 13 * ps + gap, ps)
            x += w * ps + gap
        y += row_h
    black_white = lambda m: [[WHITE if b else BLACK for b in row] for row in m]
    cv.blit(black_white(art["branch_mask"]), gap, y, bs)
    x = gap + BRANCH_W * bs + gap
    for i, (w, h) in enumerate(PETAL_SIZES):
        cv.blit(black_white(art["petal_masks"][i]), x, y, ps)
        x += w * ps + gap
    y += row_h
    # actual size on two desktop colours
    for k, t in enumerate(sorted(TYPES)):
        x = gap + (k % 4) * (BRANCH_W + gap)
        yy = y + (k // 4) * (BRANCH_H + gap)
        cv.blit(art["branch"][t], x, yy, 1, art["branch_mask"], TEAL if k % 2 == 0 else (58, 110, 165))
    y += 2 * (BRANCH_H + gap)
    x = gap
    for rid in (1, 1098):
        for img in art["icons"][rid]:
            for under in (WHITE, TEAL, (0, 0, 0)):
                for scale in (1, 4):
                    cv.blit(img, x, y, scale, None, under)
                    x += len(img) * scale + gap
        x = gap
        y += 32 * 4 + gap
    with open(path, "wb") as f:
        f.write(png(cv.rows))


def sheet(path):
    """Contact sheet of the settings dialog's pictures on the dialog's grey, in
    sunken frames as the dialog shows them: every one at 1x, then at 4x."""
    _, art = build()
    bitmaps = [art["dialog_bitmaps"][rid] for rid, _, _ in DIALOG_BITMAPS]
    icons = [art["dialog_icons"][rid] for rid, _, _ in DIALOG_ICONS]
    gap = 8
    bw, bh = DIALOG_BITMAP_SIZE
    size = DIALOG_ICON_SIZE
    width = gap + 7 * (bw + gap)
    width = max(width, gap + 3 * (4 * bw + gap), gap + 5 * (4 * size + gap))
    height = (gap + 2 * (bh + gap) + (size + gap) * 2 + 5 * (4 * bh + gap) + 3 * (4 * size + gap))
    cv = Canvas(width, height, FACE)

    def framed(rows, x, y, scale):
        w, h = len(rows[0]) * scale, len(rows) * scale
        for xx in range(x - 1, x + w + 1):
            cv.rows[y - 1][xx] = SHADOW
            cv.rows[y + h][xx] = WHITE
        for yy in range(y - 1, y + h + 1):
            cv.rows[yy][x - 1] = SHADOW
            cv.rows[yy][x + w] = WHITE
        cv.blit(rows, x, y, scale)

    y = gap
    for k, rows in enumerate(bitmaps):
        framed(rows, gap + (k % 7) * (bw + gap), y + (k // 7) * (bh + gap), 1)
    y += 2 * (bh + gap)
    for k, rows in enumerate(icons):
        framed(rows, gap + (k % 7) * (bw + gap), y + (k // 7) * (size + gap), 1)
    y += 2 * (size + gap)
    for k, rows in enumerate(bitmaps):
        framed(rows, gap + (k % 3) * (4 * bw + gap), y + (k // 3) * (4 * bh + gap), 4)
    y += 5 * (4 * bh + gap)
    for k, rows in enumerate(icons):
        framed(rows, gap + (k % 5) * (4 * size + gap), y + (k // 5) * (4 * size + gap), 4)
    with open(path, "wb") as f:
        f.write(png(cv.rows))


def main(argv):
    if len(argv) >= 2 and argv[1] == "--check":
        return check()
    if len(argv) >= 3 and argv[1] == "--preview":
        preview(argv[2])
        return 0
    if len(argv) >= 3 and argv[1] == "--sheet":
        sheet(argv[2])
        return 0
    if len(argv) > 1:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    files, _ = build()
    write(files)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
