// The screen's damage region: everything drawn is in it, so a host that
// presents only the damage shows exactly the screen; nothing drawn, nothing in it.
#include <gtest/gtest.h>

#include <vector>

#include "scenes.h"
#include "settings/settings.h"
#include "support/program_run.h"
#include "vdesktop.h"

namespace {

// A host's picture of the screen, updated only where the screen reports damage.
class PresentedCopy {
 public:
  void Present() {
    vd::TakeScreenDamage(&rects_);
    int w = vd::ScreenWidth();
    copy_.resize(size_t(w) * size_t(vd::ScreenHeight()));
    for (const RECT &r : rects_) {
      area_ += uint64_t(r.right - r.left) * uint64_t(r.bottom - r.top);
      for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) copy_[size_t(y) * w + x] = vd::Framebuffer()[size_t(y) * w + x];
    }
  }
  // Pixels where the copy differs from the screen.
  int Stale() const {
    int n = 0;
    for (size_t i = 0; i < copy_.size(); ++i) n += copy_[i] != vd::Framebuffer()[i];
    return n;
  }
  uint64_t area() const { return area_; }
  const std::vector<RECT> &last() const { return rects_; }

 private:
  std::vector<uint32_t> copy_;
  std::vector<RECT> rects_;
  uint64_t area_ = 0;
};

class ScreenDamage : public progtest::ProgramTest {};

TEST_F(ScreenDamage, ANewDesktopIsDamagedAllOverAndTakingTheDamageEmptiesIt) {
  EXPECT_TRUE(vd::ScreenDamaged());
  std::vector<RECT> rects;
  vd::TakeScreenDamage(&rects);
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ(rects[0].right, vd::ScreenWidth());
  EXPECT_EQ(rects[0].bottom, vd::ScreenHeight());
  EXPECT_FALSE(vd::ScreenDamaged());
  vd::TakeScreenDamage(&rects);
  EXPECT_TRUE(rects.empty());
}

TEST_F(ScreenDamage, DrawingMarksOnlyWhatItDrewAndMemoryBitmapsMarkNothing) {
  vd::PaintPending();
  std::vector<RECT> rects;
  vd::TakeScreenDamage(&rects);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 50, 50);
  HGDIOBJ old = SelectObject(memory, bitmap);
  RECT inMemory{0, 0, 50, 50};
  FillRect(memory, &inMemory, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_FALSE(vd::ScreenDamaged());
  BitBlt(screen, 100, 120, 20, 10, memory, 0, 0, SRCCOPY);
  SetPixel(screen, 5, 6, RGB(255, 0, 0));
  vd::TakeScreenDamage(&rects);
  ASSERT_EQ(rects.size(), 2u);
  EXPECT_EQ(rects[0].left, 5);
  EXPECT_EQ(rects[0].top, 6);
  EXPECT_EQ(rects[0].right, 6);
  EXPECT_EQ(rects[1].left, 100);
  EXPECT_EQ(rects[1].top, 120);
  EXPECT_EQ(rects[1].right, 120);
  EXPECT_EQ(rects[1].bottom, 130);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

// Damage nobody takes stays cheap to add to: scattered points past a few
// hundred rectangles merge into fewer that still cover every one of them.
TEST_F(ScreenDamage, ScatteredDrawingStaysWithinTheRectangleCapAndIsAllCovered) {
  vd::PaintPending();
  std::vector<RECT> rects;
  vd::TakeScreenDamage(&rects);
  HDC screen = GetDC(nullptr);
  std::vector<POINT> points;
  for (int i = 0; i < 300; ++i) points.push_back(POINT{(i * 37) % vd::ScreenWidth(), (i * 2) % vd::ScreenHeight()});
  for (const POINT &p : points) SetPixel(screen, p.x, p.y, RGB(255, 0, 0));
  ReleaseDC(nullptr, screen);
  vd::TakeScreenDamage(&rects);
  EXPECT_LE(rects.size(), 256u);
  for (const POINT &p : points) {
    bool covered = false;
    for (const RECT &r : rects) covered = covered || PtInRect(&r, p);
    EXPECT_TRUE(covered) << p.x << "," << p.y;
  }
}

// A minute of the default scene, presented after every tick from the damage
// alone: the picture never differs from the screen, and it costs a small part
// of what presenting whole frames would.
TEST_F(ScreenDamage, PresentingOnlyTheDamageShowsExactlyTheScreenThroughAMinuteOfTheScene) {
  ASSERT_TRUE(rec::SetUpScene("default"));
  PresentedCopy presented;
  int frames = 0, staleFrames = 0;
  vd::Every(25, 50, [&] {
    presented.Present();
    frames++;
    if (presented.Stale() != 0) staleFrames++;
  });
  Run(60000);
  EXPECT_GE(frames, 1190);
  EXPECT_EQ(staleFrames, 0);
  uint64_t whole = uint64_t(frames) * uint64_t(vd::ScreenWidth()) * uint64_t(vd::ScreenHeight());
  EXPECT_LT(presented.area() * 10, whole) << "under a tenth of the pixels of whole frames";
}

TEST_F(ScreenDamage, NothingIsPresentedWhileNothingMoves) {
  // No petals falling and no branch to redraw: after the start, the ticks draw nothing.
  Settings = SettingsRecord();
  RestoreFactoryDefaults();
  Settings.fallingPetals = 0;
  Settings.showBranch = 0;
  SaveSettings();
  ResetProgramState();
  int damagedAfterStart = 0;
  std::vector<RECT> rects;
  vd::At(2000, [&] { vd::TakeScreenDamage(&rects); });
  vd::Every(2050, 50, [&] {
    if (vd::ScreenDamaged()) damagedAfterStart++;
    vd::TakeScreenDamage(&rects);
  });
  Run(10000);
  EXPECT_GE(tickCounter, 190);
  EXPECT_EQ(damagedAfterStart, 0);
}

}  // namespace
