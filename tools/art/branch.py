"""The branch: its limbs, twigs, buds and blossoms, coloured for each flower type."""

import math

from art.palette import BLACK, BRANCH_H, BRANCH_W, FLOWER_ANCHORS, FLOWER_HEART, PETAL_START, TYPES, WHITE
from art.petals import Lcg, PetalShape


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
