// The window, landing and layer regions, and the per-tick refresh that cuts
// and repaints the piles where windows changed.
#include "geometry_test_support.h"

using namespace geotest;

namespace {

constexpr RECT kAboveBottom = {0, 0, 1024, 700};  // away from the taskbar and the bottom strip

class WindowRegionTest : public GeometryTest {
 protected:
  RECT Bar() {
    RECT bar = {0, 0, 0, 0};
    GetWindowRect(vd::Taskbar(), &bar);
    return bar;
  }
};

TEST_F(WindowRegionTest, WindowMovedDownCutsAndRepaintsTheBoxesOfTheWorkedExample) {
  HWND window = vd::CreateAppWindow("Editor", RECT{100, 200, 400, 500});
  Start();
  ASSERT_TRUE(RegionWithinIs(LandingRegion, kAboveBottom, {RECT{100, 200, 400, 220}}));
  vd::MoveAppWindow(window, 100, 300);
  Settle();
  Tick();
  std::vector<vd::RepaintRecord> repaints = vd::Repaints();
  ASSERT_EQ(repaints.size(), 2u);
  EXPECT_EQ(repaints[0].hwnd, DrawTarget);
  EXPECT_TRUE(repaints[0].erase);
  EXPECT_TRUE(RectEquals(repaints[0].box, RECT{74, 172, 426, 240})) << Show(repaints[0].box);
  EXPECT_EQ(repaints[1].hwnd, DrawTarget);
  EXPECT_TRUE(RectEquals(repaints[1].box, RECT{74, 159, 426, 227})) << Show(repaints[1].box);
  EXPECT_TRUE(RegionWithinIs(LandingRegion, kAboveBottom, {RECT{100, 300, 400, 320}}));
  EXPECT_TRUE(RegionWithinIs(LayerRegion, kAboveBottom, {RECT{100, 285, 400, 300}}));
  EXPECT_TRUE(EqualRgn(PreviousWindowRegion, WindowRegion));
}

TEST_F(WindowRegionTest, PilesInsideTheCutBoxGoAndPilesOutsideItStay) {
  HWND window = vd::CreateAppWindow("Editor", RECT{100, 200, 400, 500});
  Start();
  AddRect(LandingRegion, RECT{150, 196, 170, 200});  // on the window
  AddRect(LandingRegion, RECT{420, 180, 426, 184});  // just inside the box's right edge
  AddRect(LandingRegion, RECT{426, 180, 440, 184});  // just beyond it
  AddRect(LandingRegion, RECT{600, 196, 620, 200});  // far away
  vd::MoveAppWindow(window, 100, 300);
  Settle();
  Tick();
  EXPECT_TRUE(RegionWithinIs(LandingRegion, kAboveBottom,
                             {RECT{100, 300, 400, 320}, RECT{426, 180, 440, 184}, RECT{600, 196, 620, 200}}));
}

TEST_F(WindowRegionTest, UnchangedWindowsCostNoRegionNoContextAndNoRepaint) {
  vd::CreateAppWindow("Editor", RECT{100, 200, 400, 500});
  Start();
  AddRect(LandingRegion, RECT{150, 196, 170, 200});
  HRGN landing = MakeRegion({});
  CombineRgn(landing, LandingRegion, 0, RGN_COPY);
  Settle();
  int regions = vd::LiveGdiObjects(OBJ_REGION);
  int objects = vd::LiveGdiObjects();
  int dcs = vd::LiveDCs();
  for (int tick = 0; tick < 1000; tick++) {
    Tick();
    ASSERT_EQ(vd::LiveGdiObjects(OBJ_REGION), regions) << "tick " << tick;
  }
  EXPECT_EQ(vd::LiveGdiObjects(), objects);
  EXPECT_EQ(vd::LiveDCs(), dcs);
  // The refresh itself makes no object at all, not even one it frees again.
  uint64_t created = vd::GdiObjectsCreated();
  for (int tick = 0; tick < 1000; tick++) {
    TargetDC = GetDC(DrawTarget);
    RefreshWindowRegion();
    ReleaseDC(DrawTarget, TargetDC);
  }
  EXPECT_EQ(vd::GdiObjectsCreated(), created);
  EXPECT_TRUE(vd::Repaints().empty());
  EXPECT_TRUE(vd::Beeps().empty());
  EXPECT_TRUE(EqualRgn(landing, LandingRegion));  // the pile is kept
  DeleteObject(landing);
}

TEST_F(WindowRegionTest, ChangeAwayFromAnyLandingSurfaceCutsNothingButRebuildsTheLayer) {
  Settings.windowLayers = 0;
  HideTaskbar();
  HWND window = vd::CreateAppWindow("Editor", RECT{100, 200, 400, 500});
  Start();
  ASSERT_TRUE(RegionIs(LandingRegion, {RECT{0, 768, 1024, 788}}));
  vd::MoveAppWindow(window, 100, 460);  // its lower part now stands in the bottom band
  Settle();
  Tick();
  EXPECT_TRUE(WindowRepaints().empty());
  EXPECT_TRUE(RegionIs(LandingRegion, {RECT{0, 768, 1024, 788}}));
  EXPECT_TRUE(RegionIs(LayerRegion, {RECT{0, 728, 100, 788}, RECT{400, 728, 1024, 788}, RECT{100, 760, 400, 788}}));
}

TEST_F(WindowRegionTest, BottomLayerOffLeavesTheTaskbarOutAndNothingLandsBelowTheDesktop) {
  Settings.bottomLayer = 0;
  Start();
  RECT bar = Bar();
  ASSERT_FALSE(IsRectEmpty(&bar));
  EXPECT_FALSE(RectInRegion(WindowRegion, &bar));
  EXPECT_TRUE(RegionWithinIs(LandingRegion, RECT{0, 768, 1024, 768 + 20}, {}));
  EXPECT_TRUE(RegionWithinIs(LandingRegion, bar, {}));
}

TEST_F(WindowRegionTest, BottomLayerOnGivesTheTaskbarACrustLikeAnyWindow) {
  Start();
  RECT bar = Bar();
  EXPECT_TRUE(RegionIs(WindowRegion, {bar}));
  EXPECT_TRUE(RegionWithinIs(LandingRegion, RECT{0, 600, 1024, 900},
                             {RECT{bar.left, bar.top, bar.right, bar.top + 20}, RECT{0, 768, 1024, 788}}));
}

TEST_F(WindowRegionTest, CrustFollowsOnlyTheExposedTopEdges) {
  HideTaskbar();
  vd::CreateAppWindow("Low", RECT{100, 200, 400, 500});
  vd::CreateAppWindow("Over", RECT{300, 150, 600, 400});  // covers the right end of Low's top
  vd::CreateAppWindow("Thin", RECT{700, 100, 900, 112});  // less than 20 rows tall
  Start();
  EXPECT_TRUE(RegionWithinIs(LandingRegion, kAboveBottom,
                             {RECT{100, 200, 300, 220}, RECT{300, 150, 600, 170}, RECT{700, 100, 900, 112}}));
}

TEST_F(WindowRegionTest, WindowsOffTheScreenOrHiddenOrBelowTheDesktopAddNothing) {
  HideTaskbar();
  vd::CreateAppWindow("Gone", RECT{1100, 100, 1300, 300});
  vd::CreateAppWindow("Hidden", RECT{100, 100, 300, 300}, false);
  HWND below = vd::CreateAppWindow("Behind", RECT{500, 100, 700, 300});
  SetWindowPos(below, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  vd::CreateAppWindow("Edge", RECT{1000, 700, 1100, 800});
  Start();
  EXPECT_TRUE(RegionIs(WindowRegion, {RECT{1000, 700, 1024, 768}}));
}

TEST_F(WindowRegionTest, DefaultThicknessesGiveWindowBandsAndTheBottomBand) {
  HideTaskbar();
  vd::CreateAppWindow("Middle", RECT{100, 600, 400, 700});
  vd::CreateAppWindow("Low", RECT{500, 750, 700, 768});
  Start();
  EXPECT_TRUE(RegionIs(LayerRegion, {RECT{100, 585, 400, 600}, RECT{0, 728, 500, 788}, RECT{700, 728, 1024, 788},
                                     RECT{500, 728, 700, 750}, RECT{500, 768, 700, 788}}));
  RECT middle = {100, 600, 400, 700};
  EXPECT_FALSE(RectInRegion(LayerRegion, &middle));
}

// A desktop that ends above the taskbar, as a work area does: the bar's band
// lies in the rows just above the desktop bottom.
TEST_F(WindowRegionTest, WindowBandThickerThanTheBottomBandIsCutNearTheBottom) {
  SetRect(&DesktopRect, 0, 0, 1024, 740);
  ScreenWidth = 1024;
  ScreenHeight = 768;
  HRGN windows = MakeRegion({RECT{100, 600, 400, 700}, RECT{0, 740, 1024, 768}});
  CombineRgn(WindowRegion, windows, 0, RGN_COPY);
  Settings.windowLayerThickness = 50;
  RebuildLayerRegion();
  // Nothing near the bottom reaches higher than 740 - 40.
  EXPECT_TRUE(RegionIs(LayerRegion, {RECT{100, 550, 400, 600}, RECT{0, 700, 1024, 740}}));
  Settings.windowLayerThickness = 15;
  RebuildLayerRegion();
  EXPECT_TRUE(RegionIs(LayerRegion, {RECT{100, 585, 400, 600}, RECT{0, 700, 1024, 740}}));
  Settings.windowLayerThickness = 60;
  Settings.bottomLayer = 0;
  RebuildLayerRegion();
  // Without the bottom layer the bar keeps its whole band.
  EXPECT_TRUE(RegionIs(LayerRegion, {RECT{100, 540, 400, 600}, RECT{0, 680, 100, 708}, RECT{400, 680, 1024, 708},
                                     RECT{100, 700, 400, 708}}));
  DeleteObject(windows);
}

TEST_F(WindowRegionTest, BothLayersOffLeaveNoLandingAndNoLayer) {
  Settings.windowLayers = 0;
  Settings.bottomLayer = 0;
  vd::CreateAppWindow("Editor", RECT{100, 200, 400, 500});
  Start();
  EXPECT_TRUE(RegionIs(LandingRegion, {}));
  EXPECT_TRUE(RegionIs(LayerRegion, {}));
  EXPECT_TRUE(RegionIs(WindowRegion, {RECT{100, 200, 400, 500}}));
}

// ------------------------------------------------------------------ on the screen

TEST_F(WindowRegionTest, PileOnAWindowIsWipedFromTheScreenWhenTheWindowMovesAway) {
  HWND window = vd::CreateAppWindow("Editor", RECT{100, 200, 400, 500});
  Start();
  Settle();
  uint32_t desktop = vd::Pixel(160, 195);
  ASSERT_NE(desktop, kPaintPixel);
  TargetDC = GetDC(DrawTarget);
  PaintThrough(TargetDC, DrawTarget, RECT{150, 190, 170, 200});  // a pile on the window's top
  PaintThrough(TargetDC, DrawTarget, RECT{600, 190, 620, 200});  // one far from any change
  ReleaseDC(DrawTarget, TargetDC);
  ASSERT_EQ(vd::Pixel(160, 195), kPaintPixel);
  vd::MoveAppWindow(window, 100, 300);
  vd::PaintPending();
  Tick();  // the desktop repaints at once, before any idle painting
  EXPECT_EQ(vd::Pixel(160, 195), desktop);
  EXPECT_EQ(vd::Pixel(610, 195), kPaintPixel);  // the desktop repainted only the boxes
}

TEST_F(WindowRegionTest, DrawingThroughTheTargetContextNeverPaintsOverAWindow) {
  vd::CreateAppWindow("Editor", RECT{100, 200, 400, 500});
  Start();
  Settle();
  uint32_t inside = vd::Pixel(250, 350);
  uint32_t bar = vd::Pixel(512, 760);
  TargetDC = GetDC(DrawTarget);
  PaintThrough(TargetDC, DrawTarget, RECT{0, 0, 1024, 768});
  ReleaseDC(DrawTarget, TargetDC);
  EXPECT_EQ(vd::Pixel(50, 50), kPaintPixel);
  EXPECT_EQ(vd::Pixel(250, 350), inside);
  EXPECT_NE(vd::Pixel(100, 200), kPaintPixel);  // the window's corner
  EXPECT_EQ(vd::Pixel(99, 199), kPaintPixel);   // the desktop just beside it
  EXPECT_EQ(vd::Pixel(512, 760), bar);
}

}  // namespace
