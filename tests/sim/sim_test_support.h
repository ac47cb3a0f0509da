// A blossom store on a fresh virtual desktop, with regions the test shapes
// itself and masks of the real petal sizes, for the simulation tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "app/app.h"
#include "geometry/geometry.h"
#include "render/render.h"
#include "settings/settings.h"
#include "sim/sim.h"
#include "vdesktop.h"

namespace simtest {

// Width and height of the petal bitmaps by index.
constexpr int kPetalWidth[PETALS_PER_FLOWER] = {13, 10, 12, 9, 10};
constexpr int kPetalHeight[PETALS_PER_FLOWER] = {10, 13, 10, 10, 10};

// The first generator state from which `draws` (a sequence of RandomBelow
// calls) comes out true; RandomState is left at that state.
inline DWORD FindRandomState(const std::function<bool()> &draws) {
  for (DWORD seed = 1; seed < 200000000u; seed++) {
    RandomState = seed;
    if (draws()) {
      RandomState = seed;
      return seed;
    }
  }
  return 0;
}

inline void SetRegion(HRGN region, int left, int top, int right, int bottom) {
  SetRectRgn(region, left, top, right, bottom);
}

inline void AddRect(HRGN region, int left, int top, int right, int bottom) {
  HRGN part = CreateRectRgn(left, top, right, bottom);
  CombineRgn(region, region, part, RGN_OR);
  DeleteObject(part);
}

inline RECT BitmapRect(HBITMAP bitmap) {
  BITMAP info = {};
  RECT rect = {0, 0, 0, 0};
  if (GetObjectA(bitmap, sizeof info, &info)) SetRect(&rect, 0, 0, info.bmWidth, info.bmHeight);
  return rect;
}

// What the save and draw passes do to the records after a step: every petal
// in play is no longer fresh and stands at its next position.
inline void AdvanceDrawnPetals() {
  for (int slot = 0; slot < FlowersInUse(); slot++) {
    Flower *flower = &branches[0].flowers[slot];
    if (flower->livePetals <= 0 || flower->fallDelay != 0) continue;
    for (Petal &petal : flower->petals) {
      if (!petal.active) continue;
      petal.fresh = 0;
      petal.x = petal.nextX;
      petal.y = petal.nextY;
    }
  }
}

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vd::Reset();
    vd::RecordObservations(true);  // the tests read the beeps
    ResetSimState();
    RestoreFactoryDefaults();
    RandomState = 1;
    Instance = vd::ModuleInstance();
    SetRect(&DesktopRect, 0, 0, 1024, 768);
    ScreenWidth = 1024;
    ScreenHeight = 768;
    WindowRegion = CreateRectRgn(0, 0, 0, 0);
    LandingRegion = CreateRectRgn(0, 0, 0, 0);
    LayerRegion = CreateRectRgn(0, 0, 0, 0);
    ScratchRegion = CreateRectRgn(0, 0, 0, 0);
    for (int k = 0; k < PETALS_PER_FLOWER; k++) masks[k] = CreateBitmap(kPetalWidth[k], kPetalHeight[k], 1, 1, nullptr);
  }

  void TearDown() override {
    for (HRGN *region : {&WindowRegion, &LandingRegion, &LayerRegion, &ScratchRegion}) {
      DeleteObject(*region);
      *region = 0;
    }
    for (HBITMAP mask : masks) DeleteObject(mask);
    ResetSimState();
  }

  // What a first load does to the store, with the test's masks for pictures.
  void LinkStore() {
    Branch *branch = &branches[0];
    for (int slot = 0; slot < FLOWER_SLOTS; slot++) {
      Flower *flower = &branch->flowers[slot];
      flower->branch = branch;
      for (int k = 0; k < PETALS_PER_FLOWER; k++) {
        flower->petals[k].flower = flower;
        flower->petals[k].index = k;
        flower->petals[k].mask = masks[k];
      }
    }
  }

  // Start-up: all ten slots seeded, then the given count in use.
  void SeedAll(int flowersInUse) {
    LinkStore();
    Settings.flowersPerBranch = FLOWER_SLOTS;
    SeedBranch(0);
    Settings.flowersPerBranch = flowersInUse;
  }

  // One petal of slot 0 standing alone at (x, y), in play and not fresh.
  Petal *LonePetal(int index, LONG x, LONG y, LONG dx, LONG dy) {
    LinkStore();
    Flower *flower = &branches[0].flowers[0];
    flower->livePetals = 1;
    flower->fallDelay = 0;
    Petal *petal = &flower->petals[index];
    petal->x = x;
    petal->y = y;
    petal->dx = dx;
    petal->dy = dy;
    petal->active = 1;
    petal->fresh = 0;
    petal->backgroundStale = 0;
    return petal;
  }

  HBITMAP masks[PETALS_PER_FLOWER] = {};
};

}  // namespace simtest
