"""Colours, the seven flower types and the palette of the program's pictures."""

import os

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
RES = os.path.join(ROOT, "res")
BITMAP_DIR = "bitmaps"  # under res/



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
