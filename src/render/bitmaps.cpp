// The bitmap sets of the flower types, loaded from the resources into the
// branch and petal records, and the size query every sprite uses.
#include "app/app.h"
#include "render/render.h"
#include "settings/settings.h"
#include "sim/sim.h"

// Resource ids by flower type 1..7: branch picture and mask, then the petal
// pictures and masks by index 0..4.
const BitmapSet BitmapSets[FLOWER_TYPES] = {
    {195, 196, {184, 187, 188, 189, 243}, {186, 191, 192, 193, 194}},
    {178, 179, {201, 202, 203, 204, 205}, {206, 207, 208, 209, 210}},
    {211, 212, {213, 214, 215, 216, 217}, {218, 219, 220, 221, 222}},
    {182, 183, {233, 234, 235, 237, 190}, {238, 239, 240, 241, 242}},
    {197, 199, {223, 224, 225, 226, 227}, {228, 229, 230, 231, 232}},
    {198, 200, {247, 245, 244, 246, 236}, {248, 249, 250, 251, 252}},
    {262, 261, {263, 264, 265, 266, 267}, {272, 271, 270, 269, 268}},
};

// Petals of five kinds, index 0 from type 6, 1 from type 2, 2 from type 3,
// 3 from type 4 and 4 from type 5. The branch always follows flowerType.
const BitmapSet MixedBitmapSet = {0, 0, {247, 202, 215, 237, 227}, {248, 207, 220, 241, 232}};

// Any value outside 1..7 is type 1.
static const BitmapSet *FlowerTypeSet(LONG flowerType) {
  if (flowerType < 1 || flowerType > FLOWER_TYPES) return &BitmapSets[0];
  return &BitmapSets[flowerType - 1];
}

static HBITMAP LoadResourceBitmap(WORD id) { return LoadBitmapA(Instance, MAKEINTRESOURCEA(id)); }

void LoadBitmapSets(int reload) {
  // The first entry directly, whatever branchCount says.
  LoadBranchBitmaps(&branches[0], reload);
  PrepareFlowerSlots(&branches[0], reload);
}

void LoadBranchBitmaps(Branch *branch, int reload) {
  if (reload) {
    DeleteObject(branch->picture);
    DeleteObject(branch->mask);
  }
  const BitmapSet *set = FlowerTypeSet(Settings.flowerType);
  // Pictures become sprite bitmaps, cheap to select for every draw; masks stay monochrome.
  branch->picture = AsSpriteBitmap(LoadResourceBitmap(set->branchPicture));
  branch->mask = LoadResourceBitmap(set->branchMask);
}

void LoadPetalBitmaps(Flower *flower, int reload) {
  if (reload) {
    for (int k = 0; k < PETALS_PER_FLOWER; k++) {
      DeleteObject(flower->petals[k].picture);
      DeleteObject(flower->petals[k].mask);
    }
  }
  // Alt held at the moment of loading picks the mixed petals.
  const BitmapSet *set;
  if (GetKeyState(VK_MENU) < 0 || Settings.flowerType == MIXED_FLOWER_TYPE)
    set = &MixedBitmapSet;
  else
    set = FlowerTypeSet(Settings.flowerType);
  for (int k = 0; k < PETALS_PER_FLOWER; k++) {
    flower->petals[k].picture = AsSpriteBitmap(LoadResourceBitmap(set->petalPicture[k]));
    flower->petals[k].mask = LoadResourceBitmap(set->petalMask[k]);
  }
}

void GetBitmapSize(RECT *rect, HBITMAP bitmap) {
  // A missing bitmap is heard, and the size is left as the caller had it.
  BITMAP info;
  if (bitmap == 0 || GetObjectA(bitmap, sizeof info, &info) == 0) {
    MessageBeep(0);
    MessageBeep(0);
    return;
  }
  SetRect(rect, 0, 0, info.bmWidth, info.bmHeight);
}
