// Where the shell keeps the desktop's icon view, and drawing on the desktop
// window itself when it shows none: the clip, and repaints that reach the
// screen before anything is drawn there again.
#include "geometry_test_support.h"

using namespace geotest;

namespace {

class FallbackTest : public GeometryTest {
 protected:
  RECT TaskbarRect() {
    RECT bar = {0, 0, 0, 0};
    GetWindowRect(vd::Taskbar(), &bar);
    return bar;
  }
  // The tick's part up to the sprites: a context, the window refresh, the clip.
  void BeginTick() {
    TargetDC = GetDC(DrawTarget);
    RefreshWindowRegion();
    ClipTargetToDesktop();
  }
  void EndTick() { ReleaseDC(DrawTarget, TargetDC); }
  int PaintPixelsIn(RECT r) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += vd::Pixel(x, y) == kPaintPixel;
    return n;
  }
};

// ------------------------------------------------------------------ the view in a worker window

TEST_F(FallbackTest, IconViewInAWorkerWindowIsTheTargetAndTheWorkersAreNoWindows) {
  vd::MoveDesktopViewToWorker();
  ASSERT_NE(vd::DesktopViewWorker(), nullptr);
  vd::CreateAppWindow("Editor", RECT{100, 200, 400, 500});
  Start();
  EXPECT_EQ(DrawTarget, vd::DesktopListView());
  EXPECT_EQ(HtmlDesktop, 0);
  EXPECT_TRUE(RegionIs(WindowRegion, {RECT{100, 200, 400, 500}, TaskbarRect()}));
  EXPECT_TRUE(RegionWithinIs(LandingRegion, RECT{0, 0, 1024, 700}, {RECT{100, 200, 400, 220}}));
  Settle();
  Tick();
  EXPECT_EQ(DrawTarget, vd::DesktopListView());
  EXPECT_TRUE(vd::Beeps().empty());
  EXPECT_TRUE(WindowRepaints().empty());
}

TEST_F(FallbackTest, AViewThatMovesIntoAWorkerWindowWhileRunningIsFollowed) {
  vd::CreateAppWindow("Editor", RECT{100, 200, 400, 500});
  Start();
  ASSERT_EQ(DrawTarget, vd::DesktopListView());
  vd::MoveDesktopViewToWorker();
  Settle();
  Tick();
  // The worker above "Program Manager" now holds the view: the pass stops there.
  EXPECT_EQ(DrawTarget, vd::DesktopListView());
  EXPECT_EQ(GetAncestor(DrawTarget, GA_ROOT), vd::DesktopViewWorker());
  EXPECT_TRUE(RegionIs(WindowRegion, {RECT{100, 200, 400, 500}, TaskbarRect()}));
  EXPECT_TRUE(vd::Beeps().empty());
  EXPECT_EQ(vd::ScreenRepaints(), 0);
}

TEST_F(FallbackTest, AWorkerBesideTheViewUnderProgramManagerChangesNothing) {
  vd::AddWorkerUnderProgramManager();
  Start();
  EXPECT_EQ(DrawTarget, vd::DesktopListView());
  EXPECT_EQ(GetAncestor(DrawTarget, GA_ROOT), vd::ProgramManager());
}

TEST_F(FallbackTest, WithoutProgramManagerAViewInAWorkerWindowIsStillFound) {
  vd::MoveDesktopViewToWorker();
  HWND worker = vd::DesktopViewWorker();
  vd::RemoveProgramManager();
  Start();
  EXPECT_EQ(DrawTarget, vd::DesktopListView());
  EXPECT_EQ(GetAncestor(DrawTarget, GA_ROOT), worker);
}

// ------------------------------------------------------------------ the desktop window as target

TEST_F(FallbackTest, TheClipLeavesOutTheTaskbarThatTheWindowRegionLeavesOut) {
  Settings.bottomLayer = 0;
  vd::RemoveProgramManager();
  vd::CreateAppWindow("Editor", RECT{100, 200, 400, 500});
  Start();
  ASSERT_EQ(DrawTarget, GetDesktopWindow());
  EXPECT_TRUE(RegionIs(WindowRegion, {RECT{100, 200, 400, 500}}));
  BeginTick();
  RECT everything{0, 0, 1024, 768};
  PaintThrough(TargetDC, DrawTarget, everything);
  EndTick();
  EXPECT_EQ(PaintPixelsIn(TaskbarRect()), 0);
  EXPECT_EQ(PaintPixelsIn(RECT{100, 200, 400, 500}), 0);
  EXPECT_EQ(PaintPixelsIn(RECT{0, 0, 100, 200}), 100 * 200);
}

TEST_F(FallbackTest, MoreLeftOutWindowsThanTheClipHasSlotsForAreAllKeptClear) {
  vd::RemoveProgramManager();
  Start();
  ASSERT_EQ(DrawTarget, GetDesktopWindow());
  BeginTick();
  // One window more than the slots hold, the last one apart from the others.
  const RECT omitted[OMITTED_WINDOW_SLOTS + 1] = {
      {0, 0, 50, 50}, {100, 0, 150, 50}, {200, 0, 250, 50}, {300, 0, 350, 50}, {600, 100, 650, 150}};
  ForgetOmittedWindows();
  for (const RECT &r : omitted) NoteOmittedWindow(&r);
  ClipTargetToDesktop();
  PaintThrough(TargetDC, DrawTarget, RECT{0, 0, 1024, 768});
  EndTick();
  for (const RECT &r : omitted) EXPECT_EQ(PaintPixelsIn(r), 0) << r.left << "," << r.top;
  EXPECT_EQ(PaintPixelsIn(RECT{50, 0, 100, 50}), 50 * 50);
  EXPECT_EQ(PaintPixelsIn(RECT{0, 300, 100, 400}), 100 * 100);
}

TEST_F(FallbackTest, AWindowThatCameOverFreshDrawingRepaintsItselfAtTheNextTick) {
  vd::RemoveProgramManager();
  HWND late = vd::CreateAppWindow("Late", RECT{500, 300, 800, 500}, false);
  Start();
  Settle();
  // The window appears after the tick saw the windows, before its drawing reaches the screen.
  BeginTick();
  vd::ShowAppWindow(late, true);
  vd::PaintPending();
  PaintThrough(TargetDC, DrawTarget, RECT{550, 350, 600, 400});
  EndTick();
  ASSERT_EQ(PaintPixelsIn(RECT{550, 350, 600, 400}), 50 * 50);
  Tick();
  vd::PaintPending();
  EXPECT_EQ(PaintPixelsIn(RECT{500, 300, 800, 500}), 0);
}

TEST_F(FallbackTest, RepaintsOnTheDesktopWindowReachTheScreenBeforeTheyReturn) {
  vd::RemoveProgramManager();
  Start();
  Settle();
  HDC dc = GetDC(DrawTarget);
  PaintThrough(dc, DrawTarget, RECT{300, 300, 340, 340});
  PaintThrough(dc, DrawTarget, RECT{600, 300, 640, 340});
  ReleaseDC(DrawTarget, dc);
  SetRectRgn(SpriteRegion, 300, 300, 340, 340);
  InvalidateOnTarget(SpriteRegion);
  EXPECT_EQ(PaintPixelsIn(RECT{300, 300, 340, 340}), 0);
  EXPECT_EQ(PaintPixelsIn(RECT{600, 300, 640, 340}), 40 * 40);
  RepaintScreen();
  EXPECT_EQ(PaintPixelsIn(RECT{0, 0, 1024, 768}), 0);
}

// The desktop's owner may show what it painted only after it has answered
// (Wine's explorer.exe does when it next waits for messages). Once it was asked
// to paint, the program gives it a moment before it reads the screen again, in
// the save pass and before the branch; with a view of the desktop, which paints
// at once, and with nothing asked for, the program does not wait.
TEST_F(FallbackTest, AfterAskingTheDesktopWindowToPaintTheProgramWaitsOnceBeforeReadingTheScreen) {
  for (bool desktopWindow : {false, true}) {
    SCOPED_TRACE(desktopWindow ? "desktop window" : "view of the desktop");
    if (desktopWindow) {
      TearDown();
      SetUp();
      vd::RemoveProgramManager();
    }
    Start();
    Settle();
    ASSERT_EQ(DrawTarget == GetDesktopWindow(), desktopWindow);
    TargetDC = GetDC(DrawTarget);
    uint64_t before = vd::Now();
    SavePetalBackgrounds();
    EXPECT_EQ(vd::Now(), before);  // nothing was asked for
    SetRectRgn(SpriteRegion, 300, 300, 340, 340);
    InvalidateOnTarget(SpriteRegion);
    InvalidateOnTarget(SpriteRegion);
    EXPECT_EQ(DesktopRepaintPending, desktopWindow ? 1 : 0);
    before = vd::Now();
    SavePetalBackgrounds();
    EXPECT_EQ(vd::Now(), before + (desktopWindow ? 1 : 0));  // one moment for both requests
    EXPECT_EQ(DesktopRepaintPending, 0);
    ReleaseDC(DrawTarget, TargetDC);
    // A repaint asked for between ticks is waited for before the branch is drawn.
    InvalidateOnTarget(SpriteRegion);
    before = vd::Now();
    ::Tick();
    EXPECT_EQ(vd::Now(), before + (desktopWindow ? 1 : 0));
  }
}

}  // namespace
