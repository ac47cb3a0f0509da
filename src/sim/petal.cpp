// Petal motion and landing: the per-tick step of every petal in play.
#include "app/app.h"
#include "geometry/geometry.h"
#include "render/render.h"
#include "settings/settings.h"
#include "sim/sim.h"

static void RetirePetal(Petal *petal) {
  petal->active = 0;
  if (petal->flower) petal->flower->livePetals--;
}

void StepFlowers() {
  int count = BranchesInUse();
  int slots = FlowersInUse();
  for (int b = 0; b < count; b++) {
    for (int slot = 0; slot < slots; slot++) {
      Flower *flower = &branches[b].flowers[slot];
      if (flower->livePetals <= 0) {
        ReseedFlower(flower);
        continue;
      }
      if (flower->fallDelay > 0) flower->fallDelay--;
      if (flower->fallDelay != 0) continue;
      for (int k = 0; k < PETALS_PER_FLOWER; k++)
        if (flower->petals[k].active) StepPetal(&flower->petals[k]);
    }
  }
}

// Whether the windows cover every pixel of a rectangle.
static int WhollyBehindWindows(const RECT *r) {
  SetRectRgn(ScratchRegion, r->left, r->top, r->right, r->bottom);
  return CombineRgn(ScratchRegion, ScratchRegion, WindowRegion, RGN_DIFF) == NULLREGION;
}

void StepPetal(Petal *petal) {
  // A petal whose mask is missing is an empty rectangle at its position:
  // it still moves, but touches nothing.
  RECT size = {0, 0, 0, 0};
  GetBitmapSize(&size, petal->mask);
  LONG w = size.right - size.left;
  LONG h = size.bottom - size.top;
  RECT r = {petal->x, petal->y, petal->x + w, petal->y + h};
  LONG xm = petal->x + w / 2;
  LONG p0 = windPhase;

  // 1. Motion. The flutter is drawn in every phase, before the new position.
  // Worked out wide: a stored speed or strength may be any integer.
  LONG f = RandomBelow(Settings.flutter);
  if (RandomBelow(1000) > 500) f = -f;
  long long dx = (long long)petal->dx + f;
  long long maxSide = Settings.maxSideSpeed;
  if (dx > maxSide) dx = maxSide;
  if (dx < -maxSide) dx = -maxSide;
  petal->dx = BoundedPosition(dx);
  if (p0 == Ending) {
    // The first step after the blowing period ends the gust.
    windStrength = 0;
    windPhase = Calm;
  }
  if (p0 == Rising) {
    if (windStrength > Settings.maxWindStrength) {
      windStrength = Settings.maxWindStrength;
      if (RandomBelow(10000) > 9950) {
        windDirection = -windDirection;
        windStrength = windStrength / 3;
      }
    }
    long long wind = (long long)windDirection * windStrength;
    petal->nextX = BoundedPosition((long long)petal->x + petal->dx + wind);
    petal->nextY = BoundedPosition((long long)petal->y + petal->dy);
  } else if (p0 == Blowing) {
    // The flutter counts twice here, and its direct share is not limited.
    long long wind = (long long)windDirection * windStrength;
    petal->nextX = BoundedPosition((long long)petal->x + f + petal->dx + wind);
    petal->nextY = BoundedPosition((long long)petal->y + petal->dy);
  } else {
    // Calm, Ending, and any phase the cycle does not know: no wind.
    petal->nextX = BoundedPosition((long long)petal->x + petal->dx);
    petal->nextY = BoundedPosition((long long)petal->y + petal->dy);
    if (RandomBelow(100) > 80) petal->nextY--;
  }

  // 2. Landing probes. Right and bottom are exclusive, so the lower probes
  // test the pixels just below the petal's lower corners.
  BOOL topHit = PtInRegion(LandingRegion, xm, r.top);
  BOOL leftHit = PtInRegion(LandingRegion, r.left, r.bottom);
  BOOL rightHit = PtInRegion(LandingRegion, r.right, r.bottom);

  // 3. A landed petal leaves its image and drops through the surface.
  petal->landed = (topHit || leftHit || rightHit) ? 1 : 0;
  if (petal->landed) {
    LONG drop = Settings.bottomLayerThickness > Settings.windowLayerThickness
                    ? Settings.bottomLayerThickness
                    : Settings.windowLayerThickness;
    petal->nextY = BoundedPosition((long long)petal->nextY + drop);
  }

  // 4, 5.
  petal->inLayer = PtInRegion(LayerRegion, xm, r.top) ? 1 : 0;
  petal->hidden = (PtInRegion(WindowRegion, r.left, r.top) && PtInRegion(WindowRegion, r.right, r.bottom)) ? 1 : 0;

  // 6. Only the background save clears this.
  if (RectInRegion(WindowRegion, &r)) petal->backgroundStale = 1;

  // 7. Resting squarely inside the layer zone raises the surface by two rows.
  if (petal->landed && leftHit && rightHit && petal->inLayer) {
    SetRectRgn(ScratchRegion, r.left, r.bottom - 2, r.right, r.bottom + 2);
    CombineRgn(LandingRegion, LandingRegion, ScratchRegion, RGN_OR);
  }

  // 8. A fresh petal stays put; what else the step did stands.
  if (petal->fresh) {
    petal->nextX = petal->x;
    petal->nextY = petal->y;
  }

  // 9.
  RECT next = {petal->nextX, petal->nextY, petal->nextX + w, petal->nextY + h};
  petal->nextTouchesWindows = RectInRegion(WindowRegion, &next) ? 1 : 0;

  // 10. A hidden petal needs no erasing only when the windows cover all of
  // its last image: its two probes can lie in two windows while a corner of
  // it shows between them, and that corner would stay on the desktop.
  if (petal->fresh)
    petal->eraseMode = ERASE_NONE;
  else if (petal->hidden)
    petal->eraseMode = WhollyBehindWindows(&r) ? ERASE_NONE : ERASE_INVALIDATE;
  else if (petal->backgroundStale)
    petal->eraseMode = ERASE_INVALIDATE;
  else
    petal->eraseMode = ERASE_RESTORE;

  // 11. Leaving the play; the first test that applies decides.
  int wrap = Settings.windWrap && p0 != Calm;
  if (!Settings.fallBehindWindows && petal->hidden) {
    RetirePetal(petal);
  } else if (petal->nextY > DesktopRect.bottom) {
    RetirePetal(petal);
  } else if (petal->nextX > ScreenWidth) {
    if (wrap)
      petal->nextX = -w;
    else
      RetirePetal(petal);
  } else if (petal->nextX < -w) {
    if (wrap)
      petal->nextX = ScreenWidth;
    else
      RetirePetal(petal);
  }
}
