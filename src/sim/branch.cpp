// The branch, its flower slots and their petals: the static store, the tables
// that place flowers and petals, and the operations that put them back.
#include <string.h>

#include "app/app.h"
#include "geometry/geometry.h"
#include "render/render.h"
#include "settings/settings.h"
#include "sim/sim.h"

Branch branches[MAX_BRANCHES];

// Entries 2 and 4, and 5 and 7, are the same point, so those two places are
// chosen twice as often as the others.
const LONG FlowerAnchorX[FLOWER_ANCHORS] = {22,  62,  7,   248, 7,   282, 286, 282, 260,
                                            212, 146, 125, 93,  114, 107, 25,  54,  3};
const LONG FlowerAnchorY[FLOWER_ANCHORS] = {59, 17, 68, 7,  68, 22, 2,  22, 30,
                                            7,  45, 68, 57, 23, 6,  33, 51, 48};

const LONG PetalStartOffset[PETALS_PER_FLOWER][2] = {{0, 6}, {9, 0}, {15, 6}, {13, 14}, {4, 14}};

LONG baseDx = 0;
LONG baseDy = 0;
LONG removedFlowers = 0;
int skipDrawOnce = 0;

// The store holds one branch; a stored branchCount of any other value never
// walks past it.
int BranchesInUse() {
  if (Settings.branchCount < 0) return 0;
  if (Settings.branchCount > MAX_BRANCHES) return MAX_BRANCHES;
  return Settings.branchCount;
}

// flowersPerBranch kept within the ten slots, whatever the record holds.
int FlowersInUse() {
  if (Settings.flowersPerBranch < 0) return 0;
  if (Settings.flowersPerBranch > FLOWER_SLOTS) return FLOWER_SLOTS;
  return Settings.flowersPerBranch;
}

LONG BoundedPosition(long long value) {
  if (value > POSITION_LIMIT) return POSITION_LIMIT;
  if (value < -POSITION_LIMIT) return -POSITION_LIMIT;
  return LONG(value);
}

void ResetPetal(Petal *petal) {
  petal->dx = baseDx + RandomBelow(2);
  petal->dy = baseDy + RandomBelow(2);
  petal->backgroundStale = 1;
  petal->hidden = 0;
  petal->nextTouchesWindows = 0;
  petal->fresh = 1;
  petal->eraseMode = ERASE_NONE;
  petal->active = 1;
  // landed and inLayer are left alone: the next step recomputes them.
  // A petal not yet linked to a flower (a store that was never prepared)
  // starts from the origin instead of following a null owner.
  LONG index = petal->index;
  if (index < 0 || index >= PETALS_PER_FLOWER) index = 0;
  LONG flowerX = petal->flower ? petal->flower->x : 0;
  LONG flowerY = petal->flower ? petal->flower->y : 0;
  petal->x = flowerX + PetalStartOffset[index][0];
  petal->y = flowerY + PetalStartOffset[index][1];
  petal->nextX = petal->x;
  petal->nextY = petal->y;
}

void ResetPetals(Flower *flower) {
  for (int k = 0; k < PETALS_PER_FLOWER; k++) ResetPetal(&flower->petals[k]);
  flower->livePetals = PETALS_PER_FLOWER;
}

void ReseedFlower(Flower *flower) {
  baseDx = RandomBelow(Settings.maxSideSpeed);
  baseDy = BoundedPosition((long long)Settings.fallSpeed + RandomBelow(Settings.fallSpeed / 4));
  int anchor = RandomBelow(FLOWER_ANCHORS);
  // Every flower belongs to the one branch, linked or not yet.
  const Branch *branch = flower->branch ? flower->branch : &branches[0];
  flower->x = branch->x + FlowerAnchorX[anchor];
  flower->y = branch->y + FlowerAnchorY[anchor];
  ResetPetals(flower);
  // fallDelay is kept: a flower reseeded after its last petal retired has 0.
}

void ReseedFlowers(Branch *branch) {
  int slots = FlowersInUse();
  for (int slot = 0; slot < slots; slot++) ReseedFlower(&branch->flowers[slot]);
}

void SeedBranch(int keepFlowers) {
  int count = BranchesInUse();
  for (int b = 0; b < count; b++) {
    branches[b].x = BoundedPosition(Settings.branchX);
    branches[b].y = 0;
    if (!keepFlowers) ReseedFlowers(&branches[b]);
  }
}

void PrepareFlowerSlots(Branch *branch, int reload) {
  // All ten slots, in use or not, so that a raised flower count finds its
  // flowers ready.
  for (int slot = 0; slot < FLOWER_SLOTS; slot++) {
    Flower *flower = &branch->flowers[slot];
    if (!reload) flower->fallDelay = RandomBelow(FALL_DELAY_RANGE) + 1;
    flower->branch = branch;
    PrepareFlower(flower, reload);
  }
}

void PrepareFlower(Flower *flower, int reload) {
  LoadPetalBitmaps(flower, reload);
  if (reload) return;  // a reload swaps pictures only; the kept backgrounds still fit
  for (int k = 0; k < PETALS_PER_FLOWER; k++) {
    Petal *petal = &flower->petals[k];
    petal->flower = flower;
    petal->index = k;
    ResetPetal(petal);
    RECT size = {0, 0, 0, 0};
    GetBitmapSize(&size, petal->mask);
    petal->background = CreateSpriteBitmap(size.right - size.left, size.bottom - size.top);
    petal->backgroundStale = 1;
  }
}

void OnFlowerCountChanged(LONG before, LONG now) {
  if (now < before) {
    // The next petal pass erases and reseeds the slots taken out of use; the
    // walks never go past the last slot, so more than all of them is all of them.
    long long removed = (long long)before - now;
    removedFlowers = removed > FLOWER_SLOTS ? FLOWER_SLOTS : LONG(removed);
    return;
  }
  int first = before < 0 ? 0 : before;
  int last = now > FLOWER_SLOTS ? FLOWER_SLOTS : now;
  int count = BranchesInUse();
  for (int b = 0; b < count; b++)
    for (int slot = first; slot < last; slot++)
      branches[b].flowers[slot].fallDelay = RandomBelow(FALL_DELAY_RANGE) + 1;
}

void OnFallingToggled(LONG now, LONG before) {
  if (before != 0 && now == 0) {
    skipDrawOnce = 1;
    return;
  }
  if (before != 0 || now == 0) return;
  int count = BranchesInUse();
  int slots = FlowersInUse();
  for (int b = 0; b < count; b++) {
    for (int slot = 0; slot < slots; slot++) {
      Flower *flower = &branches[b].flowers[slot];
      // One new delay per active petal; the last one drawn stays.
      for (int k = 0; k < PETALS_PER_FLOWER; k++) {
        if (!flower->petals[k].active) continue;
        ResetPetal(&flower->petals[k]);
        flower->fallDelay = RandomBelow(FALL_DELAY_RANGE) + 1;
      }
    }
  }
}

void ResetSimState() {
  memset(branches, 0, sizeof branches);
  baseDx = 0;
  baseDy = 0;
  removedFlowers = 0;
  skipDrawOnce = 0;
  windPhase = Calm;
  windStrength = 0;
  windDirection = 0;
}

// Every petal is erased by a repaint next, not by copying back what it saved.
void MarkPetalBackgroundsStale() {
  for (int b = 0; b < MAX_BRANCHES; b++)
    for (int s = 0; s < FLOWER_SLOTS; s++)
      for (int k = 0; k < PETALS_PER_FLOWER; k++) branches[b].flowers[s].petals[k].backgroundStale = 1;
}

// Every petal whose background would be copied back to a place inside the
// region: the desktop has just painted over that place, so what the petal
// saved there may hold what the repaint wiped (a pile that left with its
// window, the erased branch). Such a petal is erased by a repaint instead.
void MarkPetalBackgroundsStaleUnder(HRGN region) {
  for (int b = 0; b < MAX_BRANCHES; b++)
    for (int s = 0; s < FLOWER_SLOTS; s++)
      for (int k = 0; k < PETALS_PER_FLOWER; k++) {
        Petal *petal = &branches[b].flowers[s].petals[k];
        BITMAP info;
        // Read quietly: a petal without a background has nothing to copy back.
        if (!petal->background || !GetObjectA(petal->background, sizeof info, &info)) continue;
        RECT place = {petal->x, petal->y, petal->x + info.bmWidth, petal->y + info.bmHeight};
        if (RectInRegion(region, &place)) petal->backgroundStale = 1;
      }
}
