"""The program's two icons: the blossom, plain and bold."""

import math

from art.petals import petal_local_inside


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
