// The animation tick and the sprite passes, on a running program: the branch
// cadence, the order of the passes, what erasing leaves, the timer restart,
// and that a long run leaks no device context or GDI object.
#include <set>

#include "geometry/geometry.h"
#include "render/render.h"
#include "sim/sim.h"
#include "support/program_run.h"

namespace {

constexpr uint32_t kDesktop = 0x008080;

class TickTest : public progtest::ProgramTest {
 protected:
  // Starts the program with the given settings and stops it after `ms`;
  // the program's state stays as the run left it, to be driven by hand.
  void Start(const std::function<void()> &settings, uint64_t ms = 10) {
    RestoreFactoryDefaults();
    settings();
    SaveSettings();
    ResetProgramState();
    Run(ms);
  }
  // Has the desktop repaint itself everywhere, wiping whatever was drawn.
  void Wipe() {
    InvalidateRect(DrawTarget, nullptr, TRUE);
    UpdateWindow(DrawTarget);
  }
  // A point inside the branch's shape, found from its mask.
  POINT BranchPoint() {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, branches[0].mask);
    POINT found{-1, -1};
    for (int y = 0; y < 92 && found.x < 0; ++y)
      for (int x = 0; x < 334 && found.x < 0; ++x)
        if (GetPixel(dc, x, y) == RGB(255, 255, 255)) found = POINT{branches[0].x + x, branches[0].y + y};
    SelectObject(dc, old);
    DeleteDC(dc);
    return found;
  }
  std::vector<int> BranchDrawnTicks(int ticks) {
    POINT p = BranchPoint();
    std::vector<int> drawn;
    for (int i = 0; i < ticks; ++i) {
      Wipe();
      LONG counter = tickCounter;
      Tick();
      if (vd::Pixel(p.x, p.y) != kDesktop) drawn.push_back(int(counter));
    }
    return drawn;
  }
};

TEST_F(TickTest, BranchIsDrawnEveryTenthTickWithTheDefaults) {
  Start([] { Settings.fallingPetals = 0; });
  tickCounter = 0;
  EXPECT_EQ(BranchDrawnTicks(25), (std::vector<int>{0, 10, 20}));
  EXPECT_EQ(tickCounter, 25);
}

TEST_F(TickTest, BranchCadenceFollowsTheTwoPeriods) {
  Start([] {
    Settings.fallingPetals = 0;
    Settings.tickInterval = 120;
  });
  tickCounter = 0;
  EXPECT_EQ(BranchDrawnTicks(9), (std::vector<int>{0, 4, 8}));
  // A tick longer than the branch's period draws it on every tick.
  Settings.tickInterval = 800;
  tickCounter = 0;
  EXPECT_EQ(BranchDrawnTicks(3), (std::vector<int>{0, 1, 2}));
  // A period of 0 counts as 1 ms: every 500th tick.
  Settings.tickInterval = 0;
  tickCounter = 499;
  EXPECT_EQ(BranchDrawnTicks(2), (std::vector<int>{500}));
}

// Stored values outside every limit: the cadence and the count hold up.
TEST_F(TickTest, TheCountGoesOnPast2To31TicksAndANegativeBranchPeriodDrawsEveryTick) {
  Start([] { Settings.fallingPetals = 0; });
  tickCounter = 0x7FFFFFFF;
  Tick();
  EXPECT_EQ(tickCounter, LONG(-2147483647 - 1));
  Settings.branchRedrawInterval = -500;
  tickCounter = 3;
  EXPECT_EQ(BranchDrawnTicks(3), (std::vector<int>{3, 4, 5}));
  Settings.branchRedrawInterval = -2147483647 - 1;
  Settings.tickInterval = -2147483647 - 1;
  EXPECT_EQ(BranchDrawnTicks(2), (std::vector<int>{6, 7}));
}

TEST_F(TickTest, HiddenBranchIsNeverDrawnWhileTheCounterRises) {
  Start([] {
    Settings.fallingPetals = 0;
    Settings.showBranch = 0;
  });
  tickCounter = 0;
  EXPECT_TRUE(BranchDrawnTicks(21).empty());
  EXPECT_EQ(tickCounter, 21);
}

TEST_F(TickTest, FirstTickRunsForwardAndFlipsTheOrder) {
  RestoreFactoryDefaults();
  SaveSettings();
  ResetProgramState();
  int forwardDuringFirst = -1;
  vd::At(49, [&] { forwardDuringFirst = drawForward; });
  Run(51);
  EXPECT_EQ(forwardDuringFirst, 1);
  EXPECT_EQ(drawForward, 0);
  EXPECT_EQ(tickCounter, 1);
}

// Puts every petal in play at the same place, so the one drawn last shows.
void StackPetals(int slots) {
  for (int s = 0; s < slots; ++s) {
    Flower &f = branches[0].flowers[s];
    f.fallDelay = 0;
    f.livePetals = 5;
    for (Petal &p : f.petals) {
      p.active = 1;
      p.fresh = 1;
      p.nextX = p.x = 500;
      p.nextY = p.y = 400;
      p.nextTouchesWindows = 0;
      p.eraseMode = ERASE_NONE;
      p.landed = 0;
    }
  }
}

HBITMAP SolidPicture(COLORREF color) {
  HDC screen = GetDC(nullptr);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 13, 13);
  ReleaseDC(nullptr, screen);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bmp);
  RECT r{0, 0, 13, 13};
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  SelectObject(dc, old);
  DeleteDC(dc);
  return bmp;
}

TEST_F(TickTest, DrawPassRunsAscendingWhenForwardAndInExactReverseOtherwise) {
  Start([] { Settings.flowersPerBranch = 3; });
  StackPetals(3);
  Petal &first = branches[0].flowers[0].petals[0];
  Petal &last = branches[0].flowers[2].petals[4];
  HBITMAP red = SolidPicture(RGB(255, 0, 0)), blue = SolidPicture(RGB(0, 0, 255));
  first.picture = red;
  last.picture = blue;
  // The same mask for both, so they cover the same pixels.
  last.mask = first.mask;
  TargetDC = GetDC(DrawTarget);
  SavePetalBackgrounds();
  drawForward = 1;
  DrawPetals();  // first drawn first, last drawn last: the last one shows
  EXPECT_EQ(vd::Pixel(506, 405), 0x0000FFu);
  drawForward = 0;
  DrawPetals();
  EXPECT_EQ(vd::Pixel(506, 405), 0xFF0000u);
  ReleaseDC(DrawTarget, TargetDC);
}

std::set<std::pair<int, int>> RepaintCorners() {
  std::set<std::pair<int, int>> corners;
  for (const vd::RepaintRecord &r : vd::Repaints()) corners.insert({r.box.left, r.box.top});
  return corners;
}

TEST_F(TickTest, LoweringTheFlowerCountErasesTheRemovedSlotsOnceAndReseedsThem) {
  Start([] { Settings.flowersPerBranch = 8; });
  for (int s = 0; s < 8; ++s) {
    Flower &f = branches[0].flowers[s];
    f.fallDelay = 5;  // waiting: the step leaves them alone
    for (int k = 0; k < 5; ++k) {
      Petal &p = f.petals[k];
      p.x = 40 * s + 8 * k + 300;
      p.y = 500;
      p.eraseMode = ERASE_INVALIDATE;
      p.landed = 0;
    }
  }
  LONG before = Settings.flowersPerBranch;
  Settings.flowersPerBranch = 5;
  OnFlowerCountChanged(before, 5);
  EXPECT_EQ(removedFlowers, 3);
  vd::ClearRecords();
  TargetDC = GetDC(DrawTarget);
  PetalPass();
  ReleaseDC(DrawTarget, TargetDC);
  std::set<std::pair<int, int>> corners = RepaintCorners();
  for (int s = 0; s < 8; ++s)
    for (int k = 0; k < 5; ++k) EXPECT_TRUE(corners.count({40 * s + 8 * k + 300, 500})) << s << "," << k;
  EXPECT_EQ(removedFlowers, 0);
  for (int s = 5; s < 8; ++s) {
    const Flower &f = branches[0].flowers[s];
    EXPECT_GE(f.fallDelay, 1);
    EXPECT_LE(f.fallDelay, 150);
    EXPECT_EQ(f.livePetals, 5);
    EXPECT_EQ(f.petals[0].eraseMode, ERASE_NONE);
  }
}

TEST_F(TickTest, EraseHonoursLandedAndStaleBackgrounds) {
  Start([] { Settings.flowersPerBranch = 1; });
  Flower &f = branches[0].flowers[0];
  Petal &stale = f.petals[0], &landed = f.petals[1], &restored = f.petals[2];
  for (Petal &p : f.petals) p.eraseMode = ERASE_NONE;
  stale.x = 200, stale.y = 300, stale.eraseMode = ERASE_RESTORE, stale.backgroundStale = 1, stale.landed = 0;
  landed.x = 250, landed.y = 300, landed.eraseMode = ERASE_INVALIDATE, landed.landed = 1;
  restored.x = 300, restored.y = 300, restored.eraseMode = ERASE_RESTORE, restored.backgroundStale = 0;
  restored.landed = 0;
  vd::ClearRecords();
  TargetDC = GetDC(DrawTarget);
  ErasePetals();
  ReleaseDC(DrawTarget, TargetDC);
  std::set<std::pair<int, int>> corners = RepaintCorners();
  EXPECT_TRUE(corners.count({200, 300}));   // a stale background is erased by invalidation
  EXPECT_FALSE(corners.count({250, 300}));  // a landed petal's image stays
  EXPECT_FALSE(corners.count({300, 300}));  // a good background is copied back
}

TEST_F(TickTest, BranchOfTypeFiveIsDrawn93RowsAndErased92) {
  Start([] { Settings.flowerType = 5; });
  RECT picture{0, 0, 0, 0}, mask{0, 0, 0, 0};
  GetBitmapSize(&picture, branches[0].picture);
  GetBitmapSize(&mask, branches[0].mask);
  EXPECT_EQ(picture.bottom, 93);
  EXPECT_EQ(mask.bottom, 92);
  vd::ClearRecords();
  EraseBranch();
  ASSERT_EQ(vd::Repaints().size(), 1u);
  EXPECT_EQ(vd::Repaints()[0].box.bottom - vd::Repaints()[0].box.top, 92);
  EXPECT_EQ(vd::Repaints()[0].box.right - vd::Repaints()[0].box.left, 334);
  // Drawn with the taller picture: the extra white row leaves the desktop as it was.
  Wipe();
  TargetDC = GetDC(DrawTarget);
  DrawBranch();
  ReleaseDC(DrawTarget, TargetDC);
  for (int x = branches[0].x; x < branches[0].x + 334; ++x) ASSERT_EQ(vd::Pixel(x, 92), kDesktop) << x;
}

bool IsPetalColour(uint32_t c) { return c == 0xFFCCCC || c == 0xCC6699 || c == 0xFF9999; }

// Petal-coloured pixels in a band of rows, leaving out the branch's picture.
int PetalPixels(int top, int bottom) {
  int n = 0;
  for (int y = top; y < bottom; ++y)
    for (int x = 0; x < 1024; ++x) {
      if (y < 93 && x >= branches[0].x && x < branches[0].x + 334) continue;
      n += IsPetalColour(vd::Pixel(x, y));
    }
  return n;
}

TEST_F(TickTest, SwitchingFallingOffErasesFallingPetalsOnceAndKeepsLandedOnes) {
  Start([] { Settings.flowersPerBranch = 10; }, 20000);
  // Petals fall in the open above the taskbar's piles, and piles lie on it.
  ASSERT_GT(PetalPixels(0, 690), 100);
  int piles = PetalPixels(700, 740);
  ASSERT_GT(piles, 100);
  Settings.fallingPetals = 0;
  OnFallingToggled(0, 1);
  Tick();
  EXPECT_EQ(skipDrawOnce, 0);
  EXPECT_EQ(PetalPixels(0, 690), 0);        // the falling petals are gone
  EXPECT_GT(PetalPixels(700, 740), piles / 2);  // the piles stay
  std::vector<uint32_t> after(vd::Framebuffer(), vd::Framebuffer() + 1024 * 768);
  vd::ClearRecords();
  for (int i = 0; i < 5; ++i) Tick();
  EXPECT_TRUE(vd::Repaints().empty());  // no petal work from then on
  // Nothing moves any more, and the branch redraws over itself unchanged.
  EXPECT_TRUE(std::equal(after.begin(), after.end(), vd::Framebuffer()));
}

TEST_F(TickTest, WithNoFlowerInUseNothingFallsAndRaisingTheCountGivesEachNewSlotADelay) {
  Start([] { Settings.flowersPerBranch = 0; }, 10000);
  EXPECT_EQ(PetalPixels(100, 740), 0);
  for (const Flower &f : branches[0].flowers)
    for (const Petal &p : f.petals) EXPECT_EQ(p.fresh, 1);  // none ever stepped or drawn
  Settings.flowersPerBranch = 3;
  for (Flower &f : branches[0].flowers) f.fallDelay = 0;
  OnFlowerCountChanged(0, 3);
  for (int s = 0; s < FLOWER_SLOTS; ++s) {
    LONG delay = branches[0].flowers[s].fallDelay;
    if (s < 3) {
      EXPECT_GE(delay, 1) << s;
      EXPECT_LE(delay, 150) << s;
    } else {
      EXPECT_EQ(delay, 0) << s;
    }
  }
}

// Lowered from 8 to 5 and raised to 9 before the next tick: 9 in use and 3
// removed would reach slot 11; the walks stop at slot 9.
TEST_F(TickTest, ALowerThenHigherCountBeforeTheNextTickWalksNoFurtherThanTheLastSlot) {
  Start([] { Settings.flowersPerBranch = 8; });
  OnFlowerCountChanged(8, 5);
  Settings.flowersPerBranch = 9;
  OnFlowerCountChanged(5, 9);
  EXPECT_EQ(removedFlowers, 3);
  LONG delays[FLOWER_SLOTS];
  for (int s = 0; s < FLOWER_SLOTS; ++s) delays[s] = branches[0].flowers[s].fallDelay;
  for (int s = 0; s < FLOWER_SLOTS; ++s) {
    branches[0].flowers[s].petals[0].eraseMode = ERASE_INVALIDATE;
    branches[0].flowers[s].petals[0].landed = 0;
    branches[0].flowers[s].petals[0].x = 40 * s + 300;
    branches[0].flowers[s].petals[0].y = 500;
  }
  vd::ClearRecords();
  TargetDC = GetDC(DrawTarget);
  PetalPass();
  ReleaseDC(DrawTarget, TargetDC);
  EXPECT_EQ(removedFlowers, 0);
  // Every slot's last image is erased, the tenth included, and slot 9 alone
  // is reseeded with a new delay.
  std::set<std::pair<int, int>> corners = RepaintCorners();
  for (int s = 0; s < FLOWER_SLOTS; ++s) EXPECT_TRUE(corners.count({40 * s + 300, 500})) << s;
  for (int s = 0; s < 9; ++s)
    if (delays[s] > 1) EXPECT_EQ(branches[0].flowers[s].fallDelay, delays[s] - 1) << s;  // counted down
  EXPECT_EQ(branches[0].flowers[9].petals[0].eraseMode, ERASE_NONE);  // reseeded
}

// A lower count asked for while falling is off waits for falling to come back.
TEST_F(TickTest, AFlowerCountLoweredWhileFallingIsOffWaitsUntilFallingIsOn) {
  Start([] { Settings.flowersPerBranch = 8; }, 3000);
  Settings.fallingPetals = 0;
  OnFallingToggled(0, 1);
  Tick();  // the one extra pass
  LONG before = Settings.flowersPerBranch;
  Settings.flowersPerBranch = 5;
  OnFlowerCountChanged(before, 5);
  for (int i = 0; i < 10; ++i) Tick();
  EXPECT_EQ(removedFlowers, 3);  // still waiting
  Settings.fallingPetals = 1;
  OnFallingToggled(1, 0);
  Tick();
  EXPECT_EQ(removedFlowers, 0);
  for (int s = 5; s < 8; ++s) {
    EXPECT_GE(branches[0].flowers[s].fallDelay, 1) << s;
    EXPECT_EQ(branches[0].flowers[s].livePetals, 5) << s;
  }
}

TEST_F(TickTest, RestartTickRestartsTheTimerOnlyWhenThePeriodChanged) {
  Start([] {}, 1000);
  auto due = [] {
    for (const vd::TimerInfo &t : vd::Timers())
      if (t.hwnd == MainWindow && t.id == TIMER_TICK) return std::make_pair(t.period, t.due);
    return std::make_pair(0u, uint64_t(0));
  };
  auto before = due();
  RestartTick(50, 50);
  EXPECT_EQ(due(), before);
  RestartTick(80, 50);
  EXPECT_EQ(due(), std::make_pair(80u, vd::Now() + 80));
  RestartTick(50, -1);
  EXPECT_EQ(due(), std::make_pair(50u, vd::Now() + 50));
}

TEST_F(TickTest, TenThousandTicksWithMovingWindowsLeakNothing) {
  RestoreFactoryDefaults();
  Settings.flowersPerBranch = 10;
  SaveSettings();
  ResetProgramState();
  HWND a = vd::CreateAppWindow("One", RECT{150, 300, 550, 600});
  HWND b = vd::CreateAppWindow("Two", RECT{600, 200, 900, 450});
  int dcs = -1, objects = -1;
  vd::At(100, [&] {
    dcs = vd::LiveDCs();
    objects = vd::LiveGdiObjects();
  });
  for (int i = 1; i < 100; ++i) {
    vd::At(5000 * i, [=] { vd::MoveAppWindow(i % 2 ? a : b, 100 + (i * 37) % 500, 150 + (i * 53) % 400); });
    vd::At(5000 * i + 2500, [=] { vd::RaiseWindow(i % 3 ? a : b); });
  }
  int dcsAfter = -2, objectsAfter = -2;
  vd::At(500000 + 1, [&] {
    dcsAfter = vd::LiveDCs();
    objectsAfter = vd::LiveGdiObjects();
  });
  Run(500000 + 2);
  EXPECT_GE(tickCounter, 10000);
  EXPECT_EQ(dcsAfter, dcs);
  EXPECT_EQ(objectsAfter, objects);
}

}  // namespace
