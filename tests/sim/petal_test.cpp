// Petal motion and landing: the step of one petal against the landing, layer
// and window regions, and the walk over the flowers.
#include <string.h>

#include <algorithm>
#include <cstdlib>

#include "sim_test_support.h"

using simtest::AddRect;
using simtest::AdvanceDrawnPetals;
using simtest::FindRandomState;
using simtest::SetRegion;
using simtest::SimTest;

namespace {

class PetalTest : public SimTest {
 protected:
  // A window whose top edge lies at y = 210, spanning x = 90 to 199: its
  // crust is rows 210..229, its layer zone (thickness 15) rows 195..209.
  void WindowAt210() {
    SetRegion(WindowRegion, 90, 210, 200, 500);
    SetRegion(LandingRegion, 90, 210, 200, 230);
    SetRegion(LayerRegion, 90, 195, 200, 210);
    Settings.windowLayerThickness = 15;
    Settings.bottomLayerThickness = 40;
    Settings.flutter = 2;
    Settings.maxSideSpeed = 2;
  }

  bool LandingEquals(HRGN expected) { return EqualRgn(LandingRegion, expected) != 0; }
};

// The worked example: a petal landing squarely on a window top inside the
// layer zone, then dropping into the window.
void RunLandingOnWindowTop(Petal *petal, LONG fallBehindWindows) {
  Settings.fallBehindWindows = fallBehindWindows;
  ASSERT_NE(0u, FindRandomState([] { return RandomBelow(2) == 1 && RandomBelow(1000) == 700 && RandomBelow(100) == 85; }));
  StepPetal(petal);

  EXPECT_EQ(0, petal->dx);  // f = -1
  EXPECT_EQ(100, petal->nextX);
  EXPECT_EQ(243, petal->nextY);  // 204, one back to 203, then the drop of 40
  EXPECT_EQ(1, petal->landed);
  EXPECT_EQ(1, petal->inLayer);
  EXPECT_EQ(0, petal->hidden);
  EXPECT_EQ(0, petal->backgroundStale);
  EXPECT_EQ(1, petal->nextTouchesWindows);
  EXPECT_EQ(ERASE_RESTORE, petal->eraseMode);
  EXPECT_EQ(1, petal->active);
  EXPECT_EQ(1, petal->flower->livePetals);
  HRGN expected = CreateRectRgn(90, 210, 200, 230);
  AddRect(expected, 100, 208, 113, 212);
  EXPECT_TRUE(EqualRgn(LandingRegion, expected));
  DeleteObject(expected);

  // Drawn at its next place, the petal steps from inside the window.
  petal->x = petal->nextX;
  petal->y = petal->nextY;
  DWORD state = RandomState;
  LONG f = RandomBelow(2);
  if (RandomBelow(1000) > 500) f = -f;
  LONG hangBack = RandomBelow(100) > 80 ? 1 : 0;
  RandomState = state;
  StepPetal(petal);

  EXPECT_EQ(0, petal->landed);
  EXPECT_EQ(1, petal->hidden);
  EXPECT_EQ(1, petal->backgroundStale);  // its rectangle lies in the window
  EXPECT_EQ(ERASE_NONE, petal->eraseMode);
  EXPECT_EQ(f, petal->dx);
  EXPECT_EQ(100 + f, petal->nextX);
  EXPECT_EQ(243 + 4 - hangBack, petal->nextY);
  if (fallBehindWindows) {
    EXPECT_EQ(1, petal->active);
    EXPECT_EQ(1, petal->flower->livePetals);
  } else {
    EXPECT_EQ(0, petal->active);
    EXPECT_EQ(0, petal->flower->livePetals);
  }
}

TEST_F(PetalTest, LandingOnWindowTopRetiresBehindTheWindowWhenNotFallingBehind) {
  WindowAt210();
  RunLandingOnWindowTop(LonePetal(0, 100, 200, 1, 4), 0);
}

TEST_F(PetalTest, LandingOnWindowTopFallsOnUnseenWhenFallingBehind) {
  WindowAt210();
  RunLandingOnWindowTop(LonePetal(0, 100, 200, 1, 4), 1);
}

// A petal whose two hidden probes lie in two different windows counts as
// hidden, but a corner of its image shows in the gap between them: it is
// erased by a repaint, or that corner would stay on the desktop (the stray
// petal pixels seen along a window's edge after dragging another window).
TEST_F(PetalTest, AHiddenPetalShowingBetweenTwoWindowsIsErasedByARepaint) {
  Settings.fallBehindWindows = 1;
  // Window A covers the top left of the 13 x 10 petal at (100, 200), window B
  // the pixel past its bottom right; (100..104, 205..209) shows between them.
  SetRegion(WindowRegion, 50, 150, 106, 205);
  AddRect(WindowRegion, 105, 205, 200, 300);
  Petal *petal = LonePetal(0, 100, 200, 0, 4);
  StepPetal(petal);
  EXPECT_EQ(1, petal->hidden);
  EXPECT_EQ(ERASE_INVALIDATE, petal->eraseMode);
  // Wholly behind one window it needs no erasing.
  SetRegion(WindowRegion, 50, 150, 200, 300);
  petal = LonePetal(0, 100, 200, 0, 4);
  StepPetal(petal);
  EXPECT_EQ(1, petal->hidden);
  EXPECT_EQ(ERASE_NONE, petal->eraseMode);
}

TEST_F(PetalTest, FreshPetalStaysPutWithNothingToEraseButStillGrowsThePile) {
  WindowAt210();
  Petal *petal = LonePetal(0, 100, 200, 1, 4);
  petal->fresh = 1;
  StepPetal(petal);
  EXPECT_EQ(100, petal->nextX);
  EXPECT_EQ(200, petal->nextY);
  EXPECT_EQ(1, petal->landed);
  EXPECT_EQ(ERASE_NONE, petal->eraseMode);
  EXPECT_TRUE(PtInRegion(LandingRegion, 100, 208));
}

TEST_F(PetalTest, LandingAtDesktopBottomWithoutPileRetiresInTheSameStep) {
  SetRegion(LandingRegion, 0, 768, 1024, 788);
  SetRegion(LayerRegion, 0, 728, 1024, 768);
  Petal *petal = LonePetal(4, 500, 758, 0, 4);
  StepPetal(petal);
  EXPECT_EQ(1, petal->landed);
  EXPECT_EQ(0, petal->active);
  EXPECT_EQ(0, petal->flower->livePetals);
  EXPECT_GE(petal->nextY, 758 + 3 + 40);
  EXPECT_LE(petal->nextY, 758 + 4 + 40);
  // The retired petal keeps its erase mode; being landed, its image stays.
  EXPECT_EQ(ERASE_RESTORE, petal->eraseMode);
  EXPECT_TRUE(PtInRegion(LandingRegion, 500, 766));
}

TEST_F(PetalTest, OneLowerCornerOnTheSurfaceLeavesNoStrip) {
  WindowAt210();
  HRGN crust = CreateRectRgn(90, 210, 200, 230);
  Petal *petal = LonePetal(0, 190, 200, 0, 4);  // right probe (203, 210) is off the window
  StepPetal(petal);
  EXPECT_EQ(1, petal->landed);
  EXPECT_EQ(1, petal->inLayer);
  EXPECT_TRUE(LandingEquals(crust));

  petal->x = 80;  // now only the right probe (93, 210) is on it
  petal->y = 200;
  StepPetal(petal);
  EXPECT_EQ(1, petal->landed);
  EXPECT_TRUE(LandingEquals(crust));
  DeleteObject(crust);
}

TEST_F(PetalTest, FullLayerZoneStopsTheSurfaceRising) {
  WindowAt210();
  AddRect(LandingRegion, 90, 195, 200, 210);  // the pile has filled the zone
  HRGN full = CreateRectRgn(90, 195, 200, 230);
  Petal *petal = LonePetal(0, 100, 185, 0, 4);
  StepPetal(petal);
  EXPECT_EQ(1, petal->landed);
  EXPECT_EQ(0, petal->inLayer);
  EXPECT_TRUE(LandingEquals(full));
  DeleteObject(full);
}

TEST_F(PetalTest, PilesOnWindowTopNeverExceedLayerThicknessPlusAPetal) {
  const int top = 300;
  SetRegion(WindowRegion, 150, top, 560, 600);
  SetRegion(LandingRegion, 150, top, 560, top + 20);
  AddRect(LandingRegion, 0, 768, 1024, 788);
  SetRegion(LayerRegion, 150, top - 15, 560, top);
  AddRect(LayerRegion, 0, 728, 1024, 768);
  Settings.branchX = 200;
  Settings.fallBehindWindows = 1;
  SeedAll(10);
  for (Flower &flower : branches[0].flowers) flower.fallDelay = 1;

  HRGN windowTop = CreateRectRgn(150, 0, 560, top + 20);
  HRGN surface = CreateRectRgn(0, 0, 0, 0);
  LONG highestImage = top;
  int landings = 0;
  for (int tick = 0; tick < 4000; tick++) {
    // The step never reads landed, so clearing it marks the landings of this tick.
    for (Flower &flower : branches[0].flowers)
      for (Petal &petal : flower.petals) petal.landed = 0;
    StepFlowers();
    for (const Flower &flower : branches[0].flowers)
      for (const Petal &petal : flower.petals)
        if (petal.landed && petal.y < top && petal.x >= 150 && petal.x < 560) {
          highestImage = std::min(highestImage, petal.y);
          landings++;
        }
    AdvanceDrawnPetals();
  }
  CombineRgn(surface, LandingRegion, windowTop, RGN_AND);
  RECT box;
  GetRgnBox(surface, &box);

  const int maxPetal = 13;
  EXPECT_GT(landings, 500);
  EXPECT_GE(highestImage, top - 15 - maxPetal);
  EXPECT_GE(box.top, top - 15 - maxPetal);
  EXPECT_LE(box.top, top - 5);  // the pile did grow
  DeleteObject(windowTop);
  DeleteObject(surface);
}

TEST_F(PetalTest, CalmFallWithoutFlutterKeepsSpeedAndHangsBackNineteenTimesInAHundred) {
  Settings.flutter = 0;
  Petal *petal = LonePetal(2, 500, 0, 1, 4);
  int hangs = 0;
  const int steps = 20000;
  for (int i = 0; i < steps; i++) {
    petal->y = 0;
    StepPetal(petal);
    EXPECT_EQ(1, petal->dx);
    EXPECT_EQ(501, petal->nextX);
    if (petal->nextY == 3) hangs++;
    else EXPECT_EQ(4, petal->nextY);
  }
  EXPECT_NEAR(0.19, double(hangs) / steps, 0.015);
}

TEST_F(PetalTest, FlutterKeepsSpeedWithinMaxButBlowingAddsItOnceMore) {
  Settings.flutter = 10;
  Settings.maxSideSpeed = 2;
  windPhase = Blowing;
  windStrength = 5;
  windDirection = 1;
  Petal *petal = LonePetal(2, 500, 0, 0, 4);
  bool beyond = false;
  for (int i = 0; i < 500; i++) {
    petal->x = 500;
    petal->y = 0;
    DWORD state = RandomState;
    LONG f = RandomBelow(10);
    if (RandomBelow(1000) > 500) f = -f;
    RandomState = state;
    StepPetal(petal);
    EXPECT_GE(petal->dx, -2);
    EXPECT_LE(petal->dx, 2);
    EXPECT_EQ(500 + f + petal->dx + 5, petal->nextX);
    if (std::abs(petal->nextX - 505) > 2) beyond = true;
  }
  EXPECT_TRUE(beyond);
}

TEST_F(PetalTest, StepFlowersCountsDownDelayAndStepsWhenItReachesZero) {
  SeedAll(1);
  Flower *flower = &branches[0].flowers[0];
  flower->fallDelay = 2;
  DWORD state = RandomState;
  StepFlowers();
  EXPECT_EQ(1, flower->fallDelay);
  EXPECT_EQ(state, RandomState);  // nothing stepped
  StepFlowers();
  EXPECT_EQ(0, flower->fallDelay);
  EXPECT_NE(state, RandomState);
  for (const Petal &petal : flower->petals) EXPECT_EQ(ERASE_NONE, petal.eraseMode);  // fresh, stepped in place
}

TEST_F(PetalTest, StepFlowersReseedsAnEmptyFlowerWithoutSteppingIt) {
  SeedAll(2);
  Flower *flower = &branches[0].flowers[1];
  flower->fallDelay = 0;
  for (Petal &petal : flower->petals) {
    petal.active = 0;
    petal.y = 900;
  }
  flower->livePetals = 0;
  branches[0].flowers[0].fallDelay = 50;  // slot 0 only counts down
  Flower waiting;
  memcpy(&waiting, &branches[0].flowers[2], sizeof waiting);

  DWORD state = RandomState;
  StepFlowers();
  DWORD after = RandomState;
  RandomState = state;
  ReseedFlower(&branches[0].flowers[3]);  // the same draws on a spare slot
  EXPECT_EQ(after, RandomState);
  EXPECT_EQ(branches[0].flowers[3].x, flower->x);
  EXPECT_EQ(5, flower->livePetals);
  for (const Petal &petal : flower->petals) {
    EXPECT_EQ(1, petal.fresh);
    EXPECT_EQ(petal.x, petal.nextX);
  }
  EXPECT_EQ(49, branches[0].flowers[0].fallDelay);
  EXPECT_EQ(0, memcmp(&waiting, &branches[0].flowers[2], sizeof waiting));  // slot 2 is out of use
}

TEST_F(PetalTest, EndingIsEndedByTheFirstPetalStep) {
  windPhase = Ending;
  windStrength = 7;
  windDirection = 1;
  Petal *petal = LonePetal(0, 500, 100, 0, 4);
  Settings.flutter = 0;
  StepPetal(petal);
  EXPECT_EQ(Calm, windPhase);
  EXPECT_EQ(0, windStrength);
  EXPECT_EQ(500, petal->nextX);
}

TEST_F(PetalTest, RisingStrengthIsCappedAndRarelyReversedToAThird) {
  Settings.flutter = 0;
  Settings.maxWindStrength = 40;
  Petal *petal = LonePetal(0, 500, 100, 0, 4);
  windPhase = Rising;
  windDirection = 1;
  windStrength = 45;
  ASSERT_NE(0u, FindRandomState([] { return RandomBelow(1000) >= 0 && RandomBelow(10000) <= 9950; }));
  StepPetal(petal);
  EXPECT_EQ(40, windStrength);
  EXPECT_EQ(1, windDirection);
  EXPECT_EQ(540, petal->nextX);

  windStrength = 45;
  petal->x = 500;
  ASSERT_NE(0u, FindRandomState([] { return RandomBelow(1000) >= 0 && RandomBelow(10000) > 9950; }));
  StepPetal(petal);
  EXPECT_EQ(13, windStrength);
  EXPECT_EQ(-1, windDirection);
  EXPECT_EQ(487, petal->nextX);

  // At or below the cap there is no reversal draw.
  petal->x = 500;
  DWORD state = RandomState;
  StepPetal(petal);
  DWORD after = RandomState;
  RandomState = state;
  RandomBelow(1000);
  EXPECT_EQ(after, RandomState);
  EXPECT_EQ(13, windStrength);
}

TEST_F(PetalTest, ZeroMaxWindStrengthMovesNothingSidewaysWhileRising) {
  Settings.maxWindStrength = 0;
  Settings.flutter = 3;
  windPhase = Rising;
  windDirection = 1;
  Petal *petal = LonePetal(0, 500, 100, 0, 4);
  for (int i = 0; i < 300; i++) {
    windStrength += 1;  // a strengthen step between petal steps
    petal->x = 500;
    StepPetal(petal);
    EXPECT_EQ(0, windStrength);
    EXPECT_EQ(500 + petal->dx, petal->nextX);
  }
}

struct WrapCase {
  LONG phase;
  LONG direction;
  LONG startX;
  LONG expectedX;  // 0 for retirement
};

TEST_F(PetalTest, WindWrapReentersAtTheOtherEdgeOutsideTheCalm) {
  Settings.windWrap = 1;
  Settings.flutter = 0;
  Settings.maxSideSpeed = 0;
  const WrapCase cases[] = {
      {Blowing, 1, 1020, -13},  {Blowing, -1, -10, 1024}, {Rising, 1, 1020, -13},
      {Rising, -1, -10, 1024},  {Ending, 1, 1025, -13},   {Ending, -1, -14, 1024},
      {Calm, 1, 1025, 0},       {Calm, -1, -14, 0},
  };
  for (const WrapCase &c : cases) {
    windPhase = c.phase;
    windDirection = c.direction;
    windStrength = 10;
    Petal *petal = LonePetal(0, c.startX, 100, 0, 4);
    StepPetal(petal);
    if (c.expectedX) {
      EXPECT_EQ(1, petal->active) << c.phase << " " << c.startX;
      EXPECT_EQ(c.expectedX, petal->nextX) << c.phase << " " << c.startX;
    } else {
      EXPECT_EQ(0, petal->active) << c.phase << " " << c.startX;
    }
  }
}

TEST_F(PetalTest, WithoutWindWrapPetalsBlownOffTheSideAreRetired) {
  Settings.flutter = 0;
  windPhase = Blowing;
  windDirection = 1;
  windStrength = 10;
  Petal *petal = LonePetal(0, 1020, 100, 0, 4);
  StepPetal(petal);
  EXPECT_EQ(0, petal->active);
}

TEST_F(PetalTest, StepsMakeNoGdiObjects) {
  WindowAt210();
  SeedAll(10);
  int before = vd::LiveGdiObjects();
  for (int tick = 0; tick < 300; tick++) {
    StepFlowers();
    AdvanceDrawnPetals();
  }
  EXPECT_EQ(before, vd::LiveGdiObjects());
}

TEST_F(PetalTest, MissingMaskSoundsTwoBeepsAndThePetalStillFalls) {
  Petal *petal = LonePetal(0, 500, 100, 0, 4);
  petal->mask = 0;
  Settings.flutter = 0;
  vd::ClearRecords();
  StepPetal(petal);
  EXPECT_EQ(2u, vd::Beeps().size());
  EXPECT_EQ(500, petal->nextX);
  EXPECT_GE(petal->nextY, 103);
  EXPECT_EQ(0, petal->nextTouchesWindows);
}

TEST_F(PetalTest, TwoRunsFromTheSameStartGiveIdenticalRecords) {
  Branch runs[2];
  bool landingSame = true;
  HRGN firstLanding = CreateRectRgn(0, 0, 0, 0);
  for (int run = 0; run < 2; run++) {
    ResetSimState();
    RandomState = 1;
    WindowAt210();
    AddRect(LandingRegion, 0, 768, 1024, 788);
    AddRect(LayerRegion, 0, 728, 1024, 768);
    Settings.windWrap = 1;
    SeedAll(10);
    for (int tick = 0; tick < 2000; tick++) {
      if (tick % 200 == 20) OnWindTimer(0, TIMER_CALM);
      if (tick % 200 > 20 && tick % 200 < 100) OnWindTimer(0, TIMER_STRENGTHEN);
      if (tick % 200 == 120) OnWindTimer(0, TIMER_RISE);
      if (tick % 200 > 120 && tick % 200 < 160) OnWindTimer(0, TIMER_WEAKEN);
      if (tick % 200 == 170) OnWindTimer(0, TIMER_BLOW);
      StepFlowers();
      AdvanceDrawnPetals();
    }
    memcpy(&runs[run], &branches[0], sizeof runs[run]);
    if (run == 0) CombineRgn(firstLanding, LandingRegion, 0, RGN_COPY);
    else landingSame = EqualRgn(firstLanding, LandingRegion);
  }
  EXPECT_EQ(0, memcmp(&runs[0], &runs[1], sizeof runs[0]));
  EXPECT_TRUE(landingSame);
  DeleteObject(firstLanding);
}

// Falling behind windows: a petal that meets a window with no landing
// surface on it falls on unseen and comes out below it, erased by a repaint
// first, since what it saved above the window is no longer under it.
TEST_F(PetalTest, APetalThatFallsBehindAWindowReappearsBelowIt) {
  Settings.fallBehindWindows = 1;
  Settings.flutter = 0;
  SetRegion(WindowRegion, 100, 200, 400, 300);  // no crust: window layers off
  Petal *petal = LonePetal(0, 200, 150, 0, 7);
  bool wasHidden = false, touchedStale = false;
  LONG firstEraseBelow = -1;
  for (int step = 0; step < 40 && petal->active; step++) {
    StepPetal(petal);
    EXPECT_EQ(0, petal->landed);
    if (petal->hidden) {
      wasHidden = true;
      EXPECT_EQ(ERASE_NONE, petal->eraseMode);  // nothing of it shows inside the window
    }
    if (petal->nextTouchesWindows) touchedStale |= petal->backgroundStale == 1;
    if (wasHidden && !petal->hidden && firstEraseBelow < 0) firstEraseBelow = petal->eraseMode;
    // The save pass: no background where the next place touches the window.
    if (!petal->nextTouchesWindows) petal->backgroundStale = 0;
    AdvanceDrawnPetals();
  }
  EXPECT_TRUE(wasHidden);
  EXPECT_TRUE(touchedStale);
  EXPECT_EQ(1, petal->active);
  EXPECT_GT(petal->y, 300);  // out below the window
  EXPECT_EQ(ERASE_INVALIDATE, firstEraseBelow);
}

}  // namespace
