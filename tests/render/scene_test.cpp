// A minute of the program on a desktop with moving windows, checked pixel by
// pixel: petals lie only where they may, never over a window, and a window
// that moves away takes its pile with it.
#include "geometry/geometry.h"
#include "sim/sim.h"
#include "support/program_run.h"

namespace {

constexpr uint32_t kDesktop = 0x008080;

bool IsPetalColour(uint32_t c) { return c == 0xFFCCCC || c == 0xCC6699 || c == 0xFF9999; }

struct Scene {
  HWND windows[3];
};

class SceneTest : public progtest::ProgramTest {
 protected:
  Scene Build() {
    RestoreFactoryDefaults();
    Settings.flowersPerBranch = 10;
    SaveSettings();
    ResetProgramState();
    Scene s;
    s.windows[0] = vd::CreateAppWindow("Left", RECT{60, 420, 420, 640});
    s.windows[1] = vd::CreateAppWindow("Middle", RECT{250, 250, 560, 400});
    s.windows[2] = vd::CreateAppWindow("Right", RECT{600, 330, 980, 600});
    return s;
  }
  // Switches falling off as the settings dialog would, so only piles remain.
  static void StopFalling() {
    Settings.fallingPetals = 0;
    OnFallingToggled(0, 1);
  }
  std::vector<RECT> VisibleWindowRects() {
    std::vector<RECT> rects;
    EnumWindows(
        [](HWND h, LPARAM p) {
          RECT r;
          if (IsWindowVisible(h) && h != vd::ProgramManager() && GetWindowRect(h, &r))
            reinterpret_cast<std::vector<RECT> *>(p)->push_back(r);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&rects));
    return rects;
  }
};

bool Inside(const RECT &r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

TEST_F(SceneTest, PetalsLieOnlyOnWindowTopsAndAtTheBottomAndNeverOverAWindow) {
  Scene s = Build();
  // The middle window moves every 10 s; the right one closes at 20 s and reopens at 25 s.
  for (int i = 1; i <= 5; ++i) vd::At(10000 * i, [=] { vd::MoveAppWindow(s.windows[1], 200 + 60 * (i % 3), 220 + 15 * i); });
  HWND reopened = nullptr;
  vd::At(20000, [=] { vd::CloseAppWindow(s.windows[2]); });
  vd::At(25000, [&] { reopened = vd::CreateAppWindow("Right", RECT{600, 330, 980, 600}); });
  int overWindows = -1, bottomPile = 0, windowPile = 0;
  vd::At(45000, [&] {
    // While falling: no petal pixel inside any window.
    overWindows = 0;
    for (const RECT &r : VisibleWindowRects())
      for (int y = std::max(0L, long(r.top)); y < r.bottom; ++y)
        for (int x = std::max(0L, long(r.left)); x < r.right; ++x) overWindows += IsPetalColour(vd::Pixel(x, y));
  });
  vd::At(60000, [] { StopFalling(); });
  std::vector<uint32_t> frame;
  std::vector<RECT> windows;
  vd::At(60200, [&] {
    frame.assign(vd::Framebuffer(), vd::Framebuffer() + 1024 * 768);
    if (getenv("SCENE_PNG")) vd::WritePng(getenv("SCENE_PNG"));
    windows = VisibleWindowRects();
  });
  Run(60300);
  EXPECT_EQ(overWindows, 0);
  ASSERT_FALSE(frame.empty());
  const int WT = 15, BT = 40, reach = 13;
  RECT branch{branches[0].x, 0, branches[0].x + 334, 93};
  int stray = 0;
  for (int y = 0; y < 768; ++y)
    for (int x = 0; x < 1024; ++x) {
      bool inWindow = false;
      for (const RECT &r : windows) inWindow |= Inside(r, x, y);
      if (inWindow || Inside(branch, x, y)) continue;
      uint32_t c = frame[size_t(y) * 1024 + x];
      if (c == kDesktop) continue;
      // Anything else must be a pile: on a window top, no higher than the layer plus a petal,
      // or in the bottom layer.
      bool onWindow = false;
      for (const RECT &r : windows)
        // A petal resting on a corner of the crust hangs down beside the window.
        onWindow |= x >= r.left - reach && x < r.right + reach && y >= r.top - WT - reach && y < r.top + LANDING_DEPTH;
      bool atBottom = y >= 768 - BT - reach;
      bool ok = IsPetalColour(c) || c == 0x000000 || c == 0xFFFFFF;  // petal pixels; the desktop icons' column
      if (x < 80 && y < 300) continue;  // the desktop's icons
      if (!(ok && (onWindow || atBottom))) {
        if (stray < 15) ADD_FAILURE() << "stray " << x << "," << y << " " << std::hex << c;
        ++stray;
      }
      if (IsPetalColour(c) && atBottom) ++bottomPile;
      if (IsPetalColour(c) && onWindow && !atBottom) ++windowPile;
    }
  EXPECT_EQ(stray, 0);
  EXPECT_GT(bottomPile, 200);
  EXPECT_GT(windowPile, 200);
  EXPECT_NE(reopened, nullptr);
}

TEST_F(SceneTest, AWindowThatMovesAwayLeavesNoPetalAtItsOldCrust) {
  Scene s = Build();
  RECT old{60, 420, 420, 640};
  int pileBefore = -1, pileAfter = -1;
  auto crustPixels = [&] {
    int n = 0;
    for (int y = old.top - 15 - 13; y < old.top; ++y)
      for (int x = old.left; x < old.right; ++x) n += IsPetalColour(vd::Pixel(x, y));
    return n;
  };
  vd::At(40000, [] { StopFalling(); });
  vd::At(40200, [&] {
    pileBefore = crustPixels();
    vd::MoveAppWindow(s.windows[0], 60, 660 - 220 + 100);  // down, out of its old place
  });
  vd::At(40500, [&] { pileAfter = crustPixels(); });
  Run(40600);
  EXPECT_GT(pileBefore, 100);
  EXPECT_EQ(pileAfter, 0);
}

}  // namespace

namespace {

// Without "Program Manager" (as under Wine) the program draws on the desktop
// window, whose context reaches over every window: the tick clips it.
TEST_F(SceneTest, WithoutADesktopViewPetalsStillNeverCoverAWindow) {
  Build();
  vd::RemoveProgramManager();
  int over = -1, outside = 0;
  vd::At(30000, [&] {
    over = 0;
    EnumWindows(
        [](HWND h, LPARAM p) {
          RECT rc;
          if (!IsWindowVisible(h) || !GetWindowRect(h, &rc)) return TRUE;
          int &n = *reinterpret_cast<int *>(p);
          for (int y = std::max(0L, long(rc.top)); y < std::min(768L, long(rc.bottom)); ++y)
            for (int x = std::max(0L, long(rc.left)); x < std::min(1024L, long(rc.right)); ++x)
              n += IsPetalColour(vd::Pixel(x, y));
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&over));
    for (int y = 100; y < 700; ++y)
      for (int x = 0; x < 1024; ++x) outside += IsPetalColour(vd::Pixel(x, y));
  });
  Run(30001);
  EXPECT_EQ(DrawTarget, GetDesktopWindow());
  EXPECT_EQ(over, 0);
  EXPECT_GT(outside, 100);  // the petals are there, outside the windows
}

}  // namespace

namespace {

// Switching the desktop's HTML view on repaints the whole screen in its colours;
// no falling petal may bring back a square of the old desktop when it moves on.
TEST_F(SceneTest, SwitchingTheHtmlViewLeavesNoSquareOfTheOldDesktop) {
  Build();
  int oldDesktop = -1;
  vd::At(20000, [] { vd::SetHtmlView(true); });
  vd::At(21000, [&] {
    oldDesktop = 0;
    for (int y = 0; y < 740; ++y)
      for (int x = 0; x < 1024; ++x) oldDesktop += vd::Pixel(x, y) == kDesktop;
  });
  Run(21001);
  EXPECT_EQ(HtmlDesktop, 1);
  EXPECT_EQ(oldDesktop, 0);
}

}  // namespace
