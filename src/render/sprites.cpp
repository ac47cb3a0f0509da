// Sprite compositing onto the desktop: masked drawing, saved backgrounds, the
// three petal passes, and the branch.
#include <string.h>

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

// The drawing objects of the sprite operations, made at the first sprite and
// kept for the whole run: an off-screen bitmap as large as the largest sprite
// so far, a memory context holding it, one for the mask, one for the picture,
// and one for a petal's background. Making and deleting them for every sprite
// costs far more than the transfers themselves on some platforms (under Wine
// each context compatible with the screen is several calls to its server);
// what reaches the screen is the same, since only the sprite's own w x h
// corner of the bitmap is ever used.
static HBITMAP WorkBitmap = 0;
static int WorkWidth = 0;
static int WorkHeight = 0;
static HDC WorkDC = 0;
static HDC MaskDC = 0;
static HDC PictureDC = 0;
static HDC BackgroundDC = 0;
static HGDIOBJ WorkDefault = 0;  // what WorkDC held when it was made

void ResetRenderState() {
  WorkBitmap = 0;
  WorkWidth = WorkHeight = 0;
  WorkDC = MaskDC = PictureDC = BackgroundDC = 0;
  WorkDefault = 0;
}

// A bitmap for the sprite work: device-independent, 32 bits a pixel, rows top
// down. Selecting it into a memory context costs nothing anywhere; selecting a
// device-dependent colour bitmap makes Wine ask its server about the display,
// six round trips each time. Where no such section can be made (an empty size),
// a bitmap compatible with the target stands in.
HBITMAP CreateSpriteBitmap(int width, int height) {
  BITMAPINFO info;
  void *bits = 0;
  memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HBITMAP bitmap = width > 0 && height > 0 ? CreateDIBSection(0, &info, DIB_RGB_COLORS, &bits, 0, 0) : 0;
  if (!bitmap) bitmap = CreateCompatibleBitmap(TargetDC, width, height);
  return bitmap;
}

// A loaded colour picture as a sprite bitmap with the same pixels; the loaded
// one is deleted. A picture that cannot be copied is kept as it is.
HBITMAP AsSpriteBitmap(HBITMAP loaded) {
  BITMAP info;
  if (!loaded || !GetObjectA(loaded, sizeof info, &info)) return loaded;
  HBITMAP copy = CreateSpriteBitmap(info.bmWidth, info.bmHeight);
  if (!copy) return loaded;
  HDC from = CreateCompatibleDC(0);
  HDC to = CreateCompatibleDC(0);
  HGDIOBJ oldFrom = SelectObject(from, loaded);
  HGDIOBJ oldTo = SelectObject(to, copy);
  BitBlt(to, 0, 0, info.bmWidth, info.bmHeight, from, 0, 0, SRCCOPY);
  SelectObject(from, oldFrom);
  SelectObject(to, oldTo);
  DeleteDC(from);
  DeleteDC(to);
  DeleteObject(loaded);
  return copy;
}

static void PrepareSpriteObjects(HDC dc, int width, int height) {
  if (!WorkDC) {
    WorkDC = CreateCompatibleDC(dc);
    MaskDC = CreateCompatibleDC(dc);
    PictureDC = CreateCompatibleDC(dc);
    BackgroundDC = CreateCompatibleDC(dc);
  }
  if (width <= WorkWidth && height <= WorkHeight) return;
  // A larger sprite than any before: the bitmap grows to hold it.
  if (WorkWidth < width) WorkWidth = width;
  if (WorkHeight < height) WorkHeight = height;
  HBITMAP larger = CreateSpriteBitmap(WorkWidth, WorkHeight);
  HGDIOBJ previous = SelectObject(WorkDC, larger);
  if (!WorkBitmap) WorkDefault = previous;
  if (WorkBitmap) DeleteObject(WorkBitmap);
  WorkBitmap = larger;
}

// MaskedBlit with the pixels under the sprite taken from `source` at (sx, sy):
// the screen itself, or a copy of exactly those pixels.
static void ComposeSprite(HDC dc, HDC source, int sx, int sy, HBITMAP mask, HBITMAP picture, int x, int y, int width,
                          int height) {
  PrepareSpriteObjects(dc, width, height);
  int mapMode = GetMapMode(dc);
  SetMapMode(WorkDC, mapMode);
  BitBlt(WorkDC, 0, 0, width, height, source, sx, sy, SRCCOPY);

  HGDIOBJ oldMask = SelectObject(MaskDC, mask);
  SetMapMode(MaskDC, mapMode);
  BitBlt(WorkDC, 0, 0, width, height, MaskDC, 0, 0, SRCPAINT);

  HGDIOBJ oldPicture = SelectObject(PictureDC, picture);
  SetMapMode(PictureDC, mapMode);
  BitBlt(WorkDC, 0, 0, width, height, PictureDC, 0, 0, SRCAND);

  // One transfer to the screen, so no intermediate step is ever seen.
  BitBlt(dc, x, y, width, height, WorkDC, 0, 0, SRCCOPY);

  // The sprite's own bitmaps are let go, so they can be replaced or deleted.
  SelectObject(PictureDC, oldPicture);
  SelectObject(MaskDC, oldMask);
}

void MaskedBlit(HDC dc, HBITMAP mask, HBITMAP picture, int x, int y, int width, int height) {
  ComposeSprite(dc, dc, x, y, mask, picture, x, y, width, height);
}

// The one context for a petal's background bitmap.
static HDC BackgroundContext(HDC dc) {
  PrepareSpriteObjects(dc, 0, 0);
  SetMapMode(BackgroundDC, GetMapMode(dc));
  return BackgroundDC;
}

void SavePetalBackground(HDC dc, Petal *petal) {
  RECT size = {0, 0, 0, 0};
  GetBitmapSize(&size, petal->background);
  HDC memDC = BackgroundContext(dc);
  HGDIOBJ old = SelectObject(memDC, petal->background);
  BitBlt(memDC, 0, 0, size.right, size.bottom, dc, petal->nextX, petal->nextY, SRCCOPY);
  SelectObject(memDC, old);
  petal->backgroundStale = 0;
}

void RestorePetalBackground(HDC dc, Petal *petal) {
  RECT size = {0, 0, 0, 0};
  GetBitmapSize(&size, petal->background);
  HDC memDC = BackgroundContext(dc);
  HGDIOBJ old = SelectObject(memDC, petal->background);
  BitBlt(dc, petal->x, petal->y, size.right, size.bottom, memDC, 0, 0, SRCCOPY);
  SelectObject(memDC, old);
}

// Gives back the kept drawing objects (at the end of the run).
void DeleteSpriteObjects() {
  if (WorkDC) {
    SelectObject(WorkDC, WorkDefault);
    DeleteDC(WorkDC);
    DeleteDC(MaskDC);
    DeleteDC(PictureDC);
    DeleteDC(BackgroundDC);
  }
  if (WorkBitmap) DeleteObject(WorkBitmap);
  ResetRenderState();
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
  AwaitDesktopRepaint();
  ForEachPetal(FlowersInUse(), 1, [](Flower *flower, Petal *petal) {
    if (!PetalInPlay(flower, petal)) return;
    if (petal->nextTouchesWindows == 0) SavePetalBackground(TargetDC, petal);
    petal->fresh = 0;
  });
}

// The rectangles drawn so far by the running DrawPetals.
static RECT DrawnThisPass[MAX_BRANCHES * FLOWER_SLOTS * PETALS_PER_FLOWER];
static int DrawnCount = 0;

static int OverlapsDrawnThisPass(const RECT *r) {
  RECT common;
  for (int i = 0; i < DrawnCount; i++)
    if (IntersectRect(&common, r, &DrawnThisPass[i])) return 1;
  return 0;
}

// DrawPetal within the pass. The save pass has just copied the screen under
// every petal whose next place touches no window, and nothing has been drawn
// since except the petals before this one: where none of them overlaps, the
// saved background holds exactly the pixels DrawPetal would read from the
// screen, and they are taken from there. Reading the screen is the slow part
// where it means a round trip to a display server (Wine's X11).
static void DrawPetalInPass(Petal *petal) {
  RECT size = {0, 0, 0, 0};
  GetBitmapSize(&size, petal->mask);
  RECT place = {petal->nextX, petal->nextY, petal->nextX + size.right, petal->nextY + size.bottom};
  if (petal->nextTouchesWindows == 0 && !OverlapsDrawnThisPass(&place)) {
    HDC memDC = BackgroundContext(TargetDC);
    HGDIOBJ old = SelectObject(memDC, petal->background);
    ComposeSprite(TargetDC, memDC, 0, 0, petal->mask, petal->picture, place.left, place.top, size.right,
                  size.bottom);
    SelectObject(memDC, old);
  } else {
    DrawPetal(petal);
  }
  if (DrawnCount < MAX_BRANCHES * FLOWER_SLOTS * PETALS_PER_FLOWER) DrawnThisPass[DrawnCount++] = place;
}

void DrawPetals() {
  DrawnCount = 0;
  ForEachPetal(FlowersInUse(), drawForward, [](Flower *flower, Petal *petal) {
    if (!PetalInPlay(flower, petal)) return;
    if (petal->fresh == 0) DrawPetalInPass(petal);
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
