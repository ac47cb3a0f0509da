// The draw pass takes a petal's screen pixels from the background the save
// pass has just copied, where no petal drawn before it overlaps: what reaches
// the screen must be exactly what MaskedBlit's steps make from the screen.
#include <algorithm>
#include <vector>

#include "geometry/geometry.h"
#include "render/render.h"
#include "sim/sim.h"
#include "support/program_run.h"

namespace {

class SpritePassTest : public progtest::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    RestoreFactoryDefaults();
    Settings.flowersPerBranch = 10;
    Settings.fallingPetals = 0;
    SaveSettings();
    ResetProgramState();
    Run(10);
    TargetDC = GetDC(DrawTarget);
  }
  void TearDown() override { ReleaseDC(DrawTarget, TargetDC); }

  // Stripes and squares of many colours under the petals, so that a pixel taken
  // from the wrong place shows.
  void PaintPattern() {
    for (int i = 0; i < 40; ++i) {
      RECT r{300 + 7 * i, 300, 300 + 7 * i + 5, 500};
      HBRUSH brush = CreateSolidBrush(RGB(40 * i % 256, 90 + 3 * i, 255 - 5 * i));
      FillRect(TargetDC, &r, brush);
      DeleteObject(brush);
    }
  }
  // Every petal in play at a place of its own; one in three on another's place,
  // and one in seven next to a window (no background saved).
  void PlacePetals() {
    int n = 0, lastX = 0, lastY = 0;
    for (Flower &f : branches[0].flowers) {
      f.fallDelay = 0;
      f.livePetals = 5;
      for (Petal &p : f.petals) {
        p.active = 1;
        p.fresh = 1;
        p.landed = 0;
        p.eraseMode = ERASE_NONE;
        bool onAnother = n % 3 == 2;
        p.nextX = p.x = onAnother ? lastX + 4 : 310 + 5 * n;
        p.nextY = p.y = onAnother ? lastY + 3 : 320 + (n * 37) % 150;
        p.nextTouchesWindows = n % 7 == 3 ? 1 : 0;
        lastX = p.nextX;
        lastY = p.nextY;
        ++n;
      }
    }
  }
  std::vector<uint32_t> Screen() { return std::vector<uint32_t>(vd::Framebuffer(), vd::Framebuffer() + 1024 * 768); }
};

TEST_F(SpritePassTest, DrawPetalsShowsExactlyWhatMaskedBlitMakesFromTheScreen) {
  for (int forward = 0; forward < 2; ++forward) {
    PaintPattern();
    PlacePetals();
    // The reference: each petal by MaskedBlit from the screen, in the pass's order.
    std::vector<Petal *> order;
    for (Flower &f : branches[0].flowers)
      for (Petal &p : f.petals) order.push_back(&p);
    if (!forward) std::reverse(order.begin(), order.end());
    for (Petal *p : order) {
      RECT size{0, 0, 0, 0};
      GetBitmapSize(&size, p->mask);
      MaskedBlit(TargetDC, p->mask, p->picture, p->nextX, p->nextY, size.right, size.bottom);
    }
    std::vector<uint32_t> reference = Screen();

    PaintPattern();
    PlacePetals();
    SavePetalBackgrounds();
    drawForward = forward;
    DrawPetals();
    std::vector<uint32_t> drawn = Screen();
    int differing = 0;
    for (size_t i = 0; i < drawn.size(); ++i) differing += drawn[i] != reference[i];
    EXPECT_EQ(differing, 0) << (forward ? "ascending" : "descending");
  }
}

TEST_F(SpritePassTest, TheSpriteWorkMakesNoDrawingObjectsAfterTheFirstSprite) {
  PlacePetals();
  SavePetalBackgrounds();
  DrawPetals();
  DrawBranch();  // the largest sprite: the off-screen bitmap has grown to it
  uint64_t made = vd::GdiObjectsCreated();
  int dcs = vd::LiveDCs();
  for (int i = 0; i < 20; ++i) {
    PlacePetals();
    SavePetalBackgrounds();
    DrawPetals();
    DrawBranch();
  }
  EXPECT_EQ(vd::GdiObjectsCreated(), made);
  EXPECT_EQ(vd::LiveDCs(), dcs);
}

}  // namespace
