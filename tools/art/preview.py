"""Contact sheets: the branch, petals and icons enlarged; the dialog's pictures at 1x and 4x."""


from art.palette import BLACK, BRANCH_H, BRANCH_W, PETAL_SIZES, TYPES, WHITE
from art.dialog_pictures import DIALOG_BITMAPS, DIALOG_BITMAP_SIZE, DIALOG_ICONS, DIALOG_ICON_SIZE, FACE, SHADOW, TEAL
from art.formats import png
from art.outputs import build


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
