"""Re-reading what was written and checking it against what it should be."""

import os
import struct
import sys

from art.palette import (BARK_SHARE, BARK_TOLERANCE, BLACK, BRANCH_H, BRANCH_SHARE_TOLERANCE, BRANCH_W, PETAL_SIZES,
    RES, SHARE_TOLERANCE, TALL_BRANCH_TYPE, TYPES, WHITE, type_colours)
from art.dialog_pictures import (DIALOG_BITMAPS, DIALOG_BITMAP_SIZE, DIALOG_ICONS, DIALOG_ICON_SIZE, RED, WIND_GRAPH,
    dialog_bitmap_path, dialog_icon_path)
from art.formats import read_bmp, read_ico
from art.outputs import bitmap_path, build
from art import help_topics


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
