// Sprite compositing onto the desktop: masked drawing, saved backgrounds, the
// three petal passes, and the branch.
#include "app/app.h"
#include "geometry/geometry.h"
#include "render/render.h"
#include "settings/settings.h"
#include "sim/sim.h"

// Slots in use and the slots just taken out of use, never beyond the last slot.
static int SlotsToErase() {
  long long n = (long long)Settings.flowersPerBranch + removedFlowers;
  if (n < 0) n = 0;
  if (n > FLOWER_SLOTS) n = FLOWER_SLOTS;
  return int(n);
}

static int PetalInPlay(Flower *flower, Petal *petal) {
  return flower->livePetals > 0 && flower->fallDelay == 0 && petal->active == 1;
}

void MaskedBlit(HDC dc, HBITMAP mask, HBITMAP picture, int x, int y, int width, int height) {
  HBITMAP work = CreateCompatibleBitmap(TargetDC, width, height);
  HDC workDC = CreateCompatibleDC(dc);
  HGDIOBJ oldWork = SelectObject(workDC, work);
  SetMapMode(workDC, GetMapMode(dc));
  BitBlt(workDC, 0, 0, width, height, dc, x, y, SRCCOPY);

  HDC maskDC = CreateCompatibleDC(dc);
  HGDIOBJ oldMask = SelectObject(maskDC, mask);
  SetMapMode(maskDC, GetMapMode(dc));
  BitBlt(workDC, 0, 0, width, height, maskDC, 0, 0, SRCPAINT);

  HDC pictureDC = CreateCompatibleDC(dc);
  HGDIOBJ oldPicture = SelectObject(pictureDC, picture);
  SetMapMode(pictureDC, GetMapMode(dc));
  BitBlt(workDC, 0, 0, width, height, pictureDC, 0, 0, SRCAND);

  // One transfer to the screen, so no intermediate step is ever seen.
  BitBlt(dc, x, y, width, height, workDC, 0, 0, SRCCOPY);

  SelectObject(pictureDC, oldPicture);
  DeleteDC(pictureDC);
  SelectObject(maskDC, oldMask);
  DeleteDC(maskDC);
  SelectObject(workDC, oldWork);
  DeleteDC(workDC);
  DeleteObject(work);
}

void SavePetalBackground(HDC dc, Petal *petal) {
  RECT size = {0, 0, 0, 0};
  GetBitmapSize(&size, petal->background);
  HDC memDC = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memDC, petal->background);
  SetMapMode(memDC, GetMapMode(dc));
  BitBlt(memDC, 0, 0, size.right, size.bottom, dc, petal->nextX, petal->nextY, SRCCOPY);
  SelectObject(memDC, old);
  DeleteDC(memDC);
  petal->backgroundStale = 0;
}

void RestorePetalBackground(HDC dc, Petal *petal) {
  RECT size = {0, 0, 0, 0};
  GetBitmapSize(&size, petal->background);
  HDC memDC = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memDC, petal->background);
  SetMapMode(memDC, GetMapMode(dc));
  BitBlt(dc, petal->x, petal->y, size.right, size.bottom, memDC, 0, 0, SRCCOPY);
  SelectObject(memDC, old);
  DeleteDC(memDC);
}

void InvalidatePetal(Petal *petal) {
  RECT size = {0, 0, 0, 0};
  GetBitmapSize(&size, petal->mask);
  SetRectRgn(SpriteRegion, petal->x, petal->y, petal->x + size.right, petal->y + size.bottom);
  InvalidateOnTarget(SpriteRegion);
}

void DrawPetal(Petal *petal) {
  RECT size = {0, 0, 0, 0};
  GetBitmapSize(&size, petal->mask);
  MaskedBlit(TargetDC, petal->mask, petal->picture, petal->nextX, petal->nextY, size.right, size.bottom);
}

// Visits every petal of the given slots, ascending or in exact reverse.
template <typename Visit>
static void ForEachPetal(int slots, int forward, Visit visit) {
  int branchCount = BranchesInUse();
  if (forward) {
    for (int b = 0; b < branchCount; ++b)
      for (int s = 0; s < slots; ++s)
        for (int p = 0; p < PETALS_PER_FLOWER; ++p) visit(&branches[b].flowers[s], &branches[b].flowers[s].petals[p]);
  } else {
    for (int b = branchCount - 1; b >= 0; --b)
      for (int s = slots - 1; s >= 0; --s)
        for (int p = PETALS_PER_FLOWER - 1; p >= 0; --p)
          visit(&branches[b].flowers[s], &branches[b].flowers[s].petals[p]);
  }
}

void ErasePetals() {
  // Every invalidation is repainted by the desktop before any background is copied back.
  ForEachPetal(SlotsToErase(), drawForward, [](Flower *, Petal *petal) {
    if (petal->landed == 0 && petal->eraseMode == ERASE_INVALIDATE) InvalidatePetal(petal);
  });
  ForEachPetal(SlotsToErase(), drawForward, [](Flower *, Petal *petal) {
    if (petal->landed == 0 && petal->eraseMode == ERASE_RESTORE) {
      if (petal->backgroundStale == 1)
        InvalidatePetal(petal);
      else
        RestorePetalBackground(TargetDC, petal);
    }
  });
}

void SavePetalBackgrounds() {
  ForEachPetal(FlowersInUse(), 1, [](Flower *flower, Petal *petal) {
    if (!PetalInPlay(flower, petal)) return;
    if (petal->nextTouchesWindows == 0) SavePetalBackground(TargetDC, petal);
    petal->fresh = 0;
  });
}

void DrawPetals() {
  ForEachPetal(FlowersInUse(), drawForward, [](Flower *flower, Petal *petal) {
    if (!PetalInPlay(flower, petal)) return;
    if (petal->fresh == 0) DrawPetal(petal);
    petal->x = petal->nextX;
    petal->y = petal->nextY;
  });
}

void DrawBranchSprite(Branch *branch) {
  RECT size = {0, 0, 0, 0};
  GetBitmapSize(&size, branch->picture);
  MaskedBlit(TargetDC, branch->mask, branch->picture, branch->x, branch->y, size.right, size.bottom);
}

void DrawBranch() {
  for (int b = 0; b < BranchesInUse(); ++b) DrawBranchSprite(&branches[b]);
}

void EraseBranchSprite(Branch *branch) {
  RECT size = {0, 0, 0, 0};
  GetBitmapSize(&size, branch->mask);
  SetRectRgn(SpriteRegion, branch->x, branch->y, branch->x + size.right, branch->y + size.bottom);
  InvalidateOnTarget(SpriteRegion);
}

void EraseBranch() { EraseBranchSprite(&branches[0]); }
