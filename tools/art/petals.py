"""The five petal shapes and their colouring for each flower type."""

import math

from art.palette import PETAL_SIZES, TYPES, WHITE


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
