// The layer settings changing under running piles: what the regions become and
// what the desktop repaints.
#include "geometry_test_support.h"

using namespace geotest;

namespace {

constexpr RECT kAboveBottom = {0, 0, 1024, 700};

class LayerChangeTest : public GeometryTest {
 protected:
  // A lone window with its top edge at y = 300 between x = 100 and x = 400.
  void StartWithLoneWindow() {
    HideTaskbar();
    vd::CreateAppWindow("Editor", RECT{100, 300, 400, 600});
    Start();
    Settle();
  }
  void ChangeWindowThickness(LONG now) {
    LONG old = Settings.windowLayerThickness;
    Settings.windowLayerThickness = now;
    ApplyLayerThicknessChange(now, old);
  }
};

TEST_F(LayerChangeTest, ThinnerWindowLayerRepaintsTheSmearedLostBandOfTheWorkedExample) {
  StartWithLoneWindow();
  AddRect(LandingRegion, RECT{150, 286, 170, 290});  // in the band that is lost
  AddRect(LandingRegion, RECT{200, 292, 220, 296});  // in the band that remains
  int regions = vd::LiveGdiObjects(OBJ_REGION);
  ChangeWindowThickness(10);
  ASSERT_EQ(vd::Repaints().size(), 1u);
  EXPECT_EQ(vd::Repaints()[0].hwnd, DrawTarget);
  EXPECT_TRUE(vd::Repaints()[0].erase);
  EXPECT_TRUE(RectEquals(vd::Repaints()[0].box, RECT{74, 270, 426, 290})) << Show(vd::Repaints()[0].box);
  EXPECT_TRUE(RegionWithinIs(LandingRegion, kAboveBottom, {RECT{100, 300, 400, 320}, RECT{200, 292, 220, 296}}));
  EXPECT_TRUE(RegionWithinIs(LayerRegion, kAboveBottom, {RECT{100, 290, 400, 300}}));
  EXPECT_EQ(vd::LiveGdiObjects(OBJ_REGION), regions);  // both working regions deleted
}

struct Smear {
  LONG from, to;
  RECT repainted;  // the lost band, 26 wider on each side, smeared upward
};

class SmearTest : public LayerChangeTest, public ::testing::WithParamInterface<Smear> {};

TEST_P(SmearTest, LostBandIsSmearedUpwardByTheRoundsOfTheShrink) {
  Settings.windowLayerThickness = GetParam().from;
  StartWithLoneWindow();
  ChangeWindowThickness(GetParam().to);
  ASSERT_EQ(vd::Repaints().size(), 1u);
  EXPECT_TRUE(RectEquals(vd::Repaints()[0].box, GetParam().repainted)) << Show(vd::Repaints()[0].box);
}

// The lost band is (100, 300 - from, 400, 300 - to).
INSTANTIATE_TEST_SUITE_P(Shrinks, SmearTest,
                         ::testing::Values(Smear{25, 24, RECT{74, 275 - 14, 426, 276}},   // d 1: 14 rounds
                                           Smear{25, 20, RECT{74, 275 - 15, 426, 280}},   // d 5: 3 rounds
                                           Smear{25, 12, RECT{74, 275 - 13, 426, 288}},   // d 13: one shift
                                           Smear{25, 5, RECT{74, 275 - 13, 426, 295}},    // d 20: one shift
                                           Smear{30, 18, RECT{74, 270 - 24, 426, 282}}),  // d 12: 2 rounds
                         [](const ::testing::TestParamInfo<Smear> &info) {
                           return "From" + std::to_string(info.param.from) + "To" + std::to_string(info.param.to);
                         });

TEST_F(LayerChangeTest, SmearedRepaintLeavesNoGapOnTheScreen) {
  Settings.windowLayerThickness = 30;
  StartWithLoneWindow();
  TargetDC = GetDC(DrawTarget);
  PaintThrough(TargetDC, DrawTarget, RECT{74, 246, 426, 282});  // the piles and what stood on them
  ReleaseDC(DrawTarget, TargetDC);
  ChangeWindowThickness(18);  // steps of 12, the band's own height
  vd::PaintPending();
  int painted = 0;
  for (int y = 246; y < 282; y++)
    for (int x = 74; x < 426; x++) painted += vd::Pixel(x, y) == kPaintPixel;
  EXPECT_EQ(painted, 0);
}

TEST_F(LayerChangeTest, UnchangedThicknessDoesNothing) {
  StartWithLoneWindow();
  AddRect(LandingRegion, RECT{150, 286, 170, 290});
  HRGN landing = MakeRegion({});
  CombineRgn(landing, LandingRegion, 0, RGN_COPY);
  ApplyLayerThicknessChange(15, 15);
  EXPECT_TRUE(vd::Repaints().empty());
  EXPECT_TRUE(EqualRgn(landing, LandingRegion));
  DeleteObject(landing);
}

TEST_F(LayerChangeTest, ThickerLayerKeepsThePilesAndRepaintsNothing) {
  StartWithLoneWindow();
  AddRect(LandingRegion, RECT{150, 286, 170, 290});
  ChangeWindowThickness(30);
  EXPECT_TRUE(vd::Repaints().empty());
  EXPECT_TRUE(RegionWithinIs(LandingRegion, kAboveBottom, {RECT{100, 300, 400, 320}, RECT{150, 286, 170, 290}}));
  EXPECT_TRUE(RegionWithinIs(LayerRegion, kAboveBottom, {RECT{100, 270, 400, 300}}));
}

TEST_F(LayerChangeTest, ThinnerLayerThatIsSwitchedOffRepaintsNothingVisible) {
  Settings.windowLayers = 0;
  StartWithLoneWindow();
  HRGN layer = MakeRegion({});
  CombineRgn(layer, LayerRegion, 0, RGN_COPY);
  ChangeWindowThickness(5);
  EXPECT_TRUE(EqualRgn(layer, LayerRegion));
  for (const vd::RepaintRecord &r : vd::Repaints()) EXPECT_TRUE(IsRectEmpty(&r.box)) << Show(r.box);
  DeleteObject(layer);
}

TEST_F(LayerChangeTest, ThinnerBottomLayerThatIsSwitchedOffRepaintsNothingVisible) {
  Settings.bottomLayer = 0;
  StartWithLoneWindow();
  HRGN layer = MakeRegion({});
  CombineRgn(layer, LayerRegion, 0, RGN_COPY);
  HRGN landing = MakeRegion({});
  CombineRgn(landing, LandingRegion, 0, RGN_COPY);
  LONG old = Settings.bottomLayerThickness;
  Settings.bottomLayerThickness = 10;
  ApplyLayerThicknessChange(10, old);
  EXPECT_TRUE(EqualRgn(layer, LayerRegion));
  EXPECT_TRUE(EqualRgn(landing, LandingRegion));
  for (const vd::RepaintRecord &r : vd::Repaints()) EXPECT_TRUE(IsRectEmpty(&r.box)) << Show(r.box);
  DeleteObject(layer);
  DeleteObject(landing);
}

TEST_F(LayerChangeTest, WindowLayerOffWipesWindowPilesAndKeepsTheBottomBand) {
  StartWithLoneWindow();
  AddRect(LandingRegion, RECT{150, 286, 170, 300});  // on the window
  AddRect(LandingRegion, RECT{600, 760, 620, 768});  // in the bottom band
  Settings.windowLayers = 0;
  ApplyWindowLayerToggle(0, 1);
  EXPECT_TRUE(RegionIs(LandingRegion, {RECT{600, 760, 620, 768}, RECT{0, 768, 1024, 788}}));
  EXPECT_TRUE(RegionIs(LayerRegion, {RECT{0, 728, 1024, 788}}));
  // One repaint: the desktop outside the window and outside the bottom band.
  ASSERT_EQ(vd::Repaints().size(), 1u);
  EXPECT_TRUE(RectEquals(vd::Repaints()[0].box, RECT{0, 0, 1024, 728})) << Show(vd::Repaints()[0].box);
}

TEST_F(LayerChangeTest, BothLayersOffEmptyTheLandingAndRepaintTheWholeDesktop) {
  Settings.bottomLayer = 0;
  StartWithLoneWindow();
  AddRect(LandingRegion, RECT{150, 286, 170, 300});
  Settings.windowLayers = 0;
  ApplyWindowLayerToggle(0, 1);
  EXPECT_TRUE(RegionIs(LandingRegion, {}));
  EXPECT_TRUE(RegionIs(LayerRegion, {}));
  ASSERT_EQ(vd::Repaints().size(), 1u);
  EXPECT_TRUE(RectEquals(vd::Repaints()[0].box, RECT{0, 0, 1024, 768})) << Show(vd::Repaints()[0].box);
}

TEST_F(LayerChangeTest, WindowLayerOnBringsBackTheCrustsAndBands) {
  Settings.windowLayers = 0;
  StartWithLoneWindow();
  Settings.windowLayers = 1;
  ApplyWindowLayerToggle(1, 0);
  EXPECT_TRUE(vd::Repaints().empty());
  EXPECT_TRUE(RegionWithinIs(LandingRegion, kAboveBottom, {RECT{100, 300, 400, 320}}));
  EXPECT_TRUE(RegionWithinIs(LayerRegion, kAboveBottom, {RECT{100, 285, 400, 300}}));
}

TEST_F(LayerChangeTest, BottomLayerOffWipesTheBottomRowsAndTheStripBelow) {
  StartWithLoneWindow();
  AddRect(LandingRegion, RECT{600, 760, 620, 768});
  Settings.bottomLayer = 0;
  ApplyBottomLayerToggle(0, 1);
  ASSERT_EQ(vd::Repaints().size(), 1u);
  EXPECT_TRUE(RectEquals(vd::Repaints()[0].box, RECT{0, 728, 1024, 781})) << Show(vd::Repaints()[0].box);
  EXPECT_TRUE(RegionIs(LandingRegion, {RECT{100, 300, 400, 320}}));
  EXPECT_TRUE(RegionIs(LayerRegion, {RECT{100, 285, 400, 300}}));
}

TEST_F(LayerChangeTest, ForcedReapplyRunsOnlyTheSwitchedOffPath) {
  Settings.bottomLayer = 0;
  StartWithLoneWindow();
  ApplyBottomLayerToggle(0, -1);
  EXPECT_EQ(vd::Repaints().size(), 1u);
  vd::ClearRecords();
  Settings.bottomLayer = 1;
  HRGN layer = MakeRegion({});
  CombineRgn(layer, LayerRegion, 0, RGN_COPY);
  ApplyBottomLayerToggle(1, -1);
  ApplyWindowLayerToggle(1, -1);
  EXPECT_TRUE(vd::Repaints().empty());
  EXPECT_TRUE(EqualRgn(layer, LayerRegion));  // nothing ran
  DeleteObject(layer);
}

TEST_F(LayerChangeTest, ExtremeThicknessesNeitherCrashNorOverflow) {
  StartWithLoneWindow();
  ChangeWindowThickness(2147483647);
  ChangeWindowThickness(-2147483647 - 1);
  Settings.bottomLayerThickness = 2147483647;
  ApplyLayerThicknessChange(2147483647, 40);
  Settings.bottomLayer = 0;
  ApplyBottomLayerToggle(0, 1);
  EXPECT_FALSE(PtInRegion(LayerRegion, 200, 400));  // never inside a window
}

}  // namespace
