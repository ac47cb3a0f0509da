// Piles leave with their windows: after the desktop repaints what the program
// wiped (a window's pile, the branch, a layer made thinner), no saved
// background brings a piece of it back on the clean desktop.
#include <algorithm>

#include "geometry/geometry.h"
#include "render/render.h"
#include "sim/sim.h"
#include "support/program_run.h"

namespace {

constexpr uint32_t kDesktop = 0x008080;
// Stands for pile pixels: a colour that neither a petal nor the desktop has.
constexpr uint32_t kMark = 0x01FE03;
constexpr int kReach = 13;           // a petal's largest side

class FragmentTest : public progtest::ProgramTest {
 protected:
  void Start(const std::function<void()> &settings) {
    RestoreFactoryDefaults();
    settings();
    SaveSettings();
    ResetProgramState();
    Run(10);
  }

  // Petal k of the first flower in play at (x, y), falling straight down by 4
  // a tick.
  static Petal &PetalAt(int k, LONG x, LONG y) {
    Flower &f = branches[0].flowers[0];
    f.fallDelay = 0;
    Petal &p = f.petals[k];
    p.active = 1;
    p.fresh = 0;
    p.landed = 0;
    p.hidden = 0;
    p.eraseMode = ERASE_NONE;
    p.nextX = p.x = x;
    p.nextY = p.y = y;
    p.dx = 0;
    p.dy = 4;
    p.nextTouchesWindows = 0;
    return p;
  }
  // Petal 0 alone in play; every other petal retired.
  static Petal &OnePetal(LONG x, LONG y) {
    Flower &f = branches[0].flowers[0];
    for (Petal &p : f.petals) p.active = 0;
    f.livePetals = 1;
    return PetalAt(0, x, y);
  }

  // The mark colour on the desktop under the petal, and the petal's background saved
  // there: what a petal saves when it passes just above a pile.
  static void SaveOverMark(Petal &p) {
    HDC dc = GetDC(DrawTarget);
    RECT r{p.x, p.y, p.x + kReach, p.y + kReach};
    HBRUSH mark = CreateSolidBrush(RGB(1, 254, 3));
    FillRect(dc, &r, mark);
    DeleteObject(mark);
    SavePetalBackground(dc, &p);
    ReleaseDC(DrawTarget, dc);
    ASSERT_GT(MarkedPixels(), 0);
    ASSERT_EQ(p.backgroundStale, 0);
  }

  static int MarkedPixels() {
    int n = 0;
    for (int i = 0; i < 1024 * 768; ++i) n += vd::Framebuffer()[i] == kMark;
    return n;
  }

  // Pixels on the open desktop that the program drew and that nothing
  // explains: not the branch, not a petal in play where it was last drawn,
  // not a pile image (every one of those lies within a petal's reach of the
  // landing surface it came to rest on; a window whose shadow falls on
  // another's top edge moves that crust down by up to a crust's depth).
  static int FragmentPixels() {
    HRGN near = CreateRectRgn(0, 0, 0, 0);
    HRGN line = CreateRectRgn(0, 0, 0, 0);
    HRGN copy = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(near, LandingRegion, nullptr, RGN_COPY);
    for (int axis = 0; axis < 2; ++axis) {
      CombineRgn(line, near, nullptr, RGN_COPY);
      for (int d = axis == 0 ? -kReach : -(kReach + LANDING_DEPTH); d <= kReach; ++d) {
        CombineRgn(copy, line, nullptr, RGN_COPY);
        OffsetRgn(copy, axis == 0 ? d : 0, axis == 1 ? d : 0);
        CombineRgn(near, near, copy, RGN_OR);
      }
    }
    DeleteObject(line);
    DeleteObject(copy);
    std::vector<RECT> petals;
    for (const Flower &f : branches[0].flowers)
      for (const Petal &p : f.petals)
        if (p.active) petals.push_back(RECT{p.x, p.y, p.x + kReach, p.y + kReach});
    int n = 0;
    for (int y = 100; y < 768; ++y)
      for (int x = 0; x < 1024; ++x) {
        if (x < 80 && y < 300) continue;  // the desktop's icons
        if (vd::Pixel(x, y) == kDesktop) continue;
        if (PtInRegion(WindowRegion, x, y) || PtInRegion(near, x, y)) continue;
        bool petal = false;
        for (const RECT &r : petals) petal |= x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        n += !petal;
      }
    DeleteObject(near);
    return n;
  }
};

// Two windows moved in turn, 48 times, while ten flowers shed their petals:
// half a second after every move, and half a second later again, the open
// desktop shows no piece of a pile that is no longer there.
TEST_F(FragmentTest, NoPieceOfAPileComesBackAfterItsWindowMovedAway) {
  RestoreFactoryDefaults();
  Settings.flowersPerBranch = 10;
  SaveSettings();
  ResetProgramState();
  HWND a = vd::CreateAppWindow("A", RECT{60, 330, 340, 530});
  HWND b = vd::CreateAppWindow("B", RECT{300, 430, 680, 690});
  vd::CreateAppWindow("C", RECT{250, 190, 510, 360});
  const POINT placesA[] = {{190, 300}, {20, 260}, {130, 380}, {60, 330}, {400, 250}, {90, 290}};
  const POINT placesB[] = {{320, 470}, {280, 420}, {520, 500}, {300, 430}};
  int moves = 0;
  for (int i = 0; i < 48; ++i)
    vd::At(4007 + 1000 * uint64_t(i), [=, &moves] {
      if (i % 3 == 2)
        vd::MoveAppWindow(b, placesB[i % 4].x, placesB[i % 4].y);
      else
        vd::MoveAppWindow(a, placesA[i % 6].x, placesA[i % 6].y);
      ++moves;
    });
  int worst = 0, checks = 0;
  uint64_t worstAt = 0;
  for (uint64_t t = 4300; t < 53000; t += 500)
    vd::At(t, [&, t] {
      int n = FragmentPixels();
      ++checks;
      if (n > worst) worst = n, worstAt = t;
    });
  Run(53000);
  EXPECT_EQ(moves, 48);
  EXPECT_EQ(checks, 98);
  EXPECT_EQ(worst, 0) << "fragment pixels at " << worstAt << " ms";
}

TEST_F(FragmentTest, APetalJustAboveAPileDoesNotCopyThePileBackAfterItsWindowLeft) {
  HWND w = vd::CreateAppWindow("W", RECT{300, 300, 600, 500});
  Start([] {
    Settings.flowersPerBranch = 1;
    Settings.showBranch = 0;
    Settings.windEnabled = 0;
    Settings.flutter = 0;
  });
  Petal &p = OnePetal(400, 275);  // 15 rows above the window, inside its cut box
  SaveOverMark(p);
  vd::MoveAppWindow(w, 650, 300);
  vd::PaintPending();
  Tick();  // the box of the old top edge is repainted, then the petal erased
  EXPECT_EQ(MarkedPixels(), 0);
  EXPECT_EQ(p.y, 279);  // it fell on, not landed
}

TEST_F(FragmentTest, APetalThatDroppedIntoItsWindowDoesNotCopyItsLandingPlaceBackWhenTheWindowLeaves) {
  HWND w = vd::CreateAppWindow("W", RECT{300, 300, 600, 500});
  Start([] {
    Settings.flowersPerBranch = 1;
    Settings.showBranch = 0;
    Settings.windEnabled = 0;
    Settings.flutter = 0;
  });
  RECT size{0, 0, 0, 0};
  GetBitmapSize(&size, branches[0].flowers[0].petals[0].mask);
  Petal &p = OnePetal(400, 300 - size.bottom);  // resting on the window's top edge
  SaveOverMark(p);
  Tick();  // it lands: its image stays, and it drops into the window
  ASSERT_EQ(p.landed, 1);
  ASSERT_GT(p.y, 300);
  ASSERT_EQ(p.backgroundStale, 0);  // the save was skipped inside the window
  vd::MoveAppWindow(w, 650, 300);
  vd::PaintPending();
  Tick();
  EXPECT_EQ(MarkedPixels(), 0);
}

// A repaint the program asks for between ticks, a petal's place inside what
// it wipes, and one outside.
struct ProgramRepaint {
  const char *name;
  POINT petal;
  POINT away;
  void (*repaint)();
};

class RepaintBetweenTicksTest : public FragmentTest, public ::testing::WithParamInterface<ProgramRepaint> {};

TEST_P(RepaintBetweenTicksTest, NoSavedBackgroundUnderItIsCopiedBack) {
  vd::CreateAppWindow("W", RECT{300, 300, 600, 500});
  Start([] {
    Settings.flowersPerBranch = 1;
    Settings.showBranch = 0;
    Settings.windEnabled = 0;
    Settings.flutter = 0;
  });
  Petal &p = OnePetal(GetParam().petal.x, GetParam().petal.y);
  Petal &away = PetalAt(1, GetParam().away.x, GetParam().away.y);
  p.flower->livePetals = 2;
  SaveOverMark(p);
  SaveOverMark(away);
  GetParam().repaint();
  EXPECT_EQ(p.backgroundStale, 1);
  EXPECT_EQ(away.backgroundStale, 0);  // its place was not repainted
  vd::PaintPending();
  Tick();
  // The mark under the petal was wiped and stays wiped; the far one is copied back.
  RECT kept{GetParam().away.x, GetParam().away.y, GetParam().away.x + kReach, GetParam().away.y + kReach};
  int marked = 0;
  for (int y = 0; y < 768; ++y)
    for (int x = 0; x < 1024; ++x) {
      if (vd::Pixel(x, y) != kMark) continue;
      ASSERT_TRUE(x >= kept.left && x < kept.right && y >= kept.top && y < kept.bottom) << x << "," << y;
      ++marked;
    }
  EXPECT_GT(marked, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Repaints, RepaintBetweenTicksTest,
    ::testing::Values(ProgramRepaint{"BranchErased", {200, 40}, {900, 150}, [] { EraseBranch(); }},
                      ProgramRepaint{"WindowLayersOff", {400, 200}, {900, 729},
                                     [] {
                                       Settings.windowLayers = 0;
                                       ApplyWindowLayerToggle(0, 1);
                                     }},
                      ProgramRepaint{"BottomLayerOff", {500, 729}, {900, 150},
                                     [] {
                                       Settings.bottomLayer = 0;
                                       ApplyBottomLayerToggle(0, 1);
                                     }},
                      ProgramRepaint{"WindowLayerThinner", {400, 275}, {900, 150},
                                     [] {
                                       Settings.windowLayerThickness = 10;
                                       ApplyLayerThicknessChange(10, 15);
                                     }}),
    [](const ::testing::TestParamInfo<ProgramRepaint> &info) { return std::string(info.param.name); });

}  // namespace
