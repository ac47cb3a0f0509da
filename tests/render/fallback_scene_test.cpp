// A minute of the program drawing on the desktop window itself (no "Program
// Manager", as under Wine), checked pixel by pixel: nothing on the taskbar or
// inside a window, with or without the bottom layer.
#include <algorithm>

#include "geometry/geometry.h"
#include "support/program_run.h"

namespace {

bool IsPetalColour(uint32_t c) { return c == 0xFFCCCC || c == 0xCC6699 || c == 0xFF9999; }

class FallbackSceneTest : public progtest::ProgramTest, public ::testing::WithParamInterface<int> {};

int PetalPixelsIn(RECT r) {
  int n = 0;
  for (int y = std::max(0L, long(r.top)); y < std::min(768L, long(r.bottom)); ++y)
    for (int x = std::max(0L, long(r.left)); x < std::min(1024L, long(r.right)); ++x) n += IsPetalColour(vd::Pixel(x, y));
  return n;
}

TEST_P(FallbackSceneTest, NoPetalIsDrawnOnTheTaskbarOrInsideAWindow) {
  RestoreFactoryDefaults();
  Settings.flowersPerBranch = 10;
  Settings.bottomLayer = GetParam();
  SaveSettings();
  ResetProgramState();
  vd::RemoveProgramManager();
  HWND left = vd::CreateAppWindow("Left", RECT{60, 420, 420, 640});
  HWND right = vd::CreateAppWindow("Right", RECT{600, 330, 980, 600});
  RECT bar = {0, 0, 0, 0};
  GetWindowRect(vd::Taskbar(), &bar);
  int onTaskbar = 0, inWindows = 0, outside = 0;
  vd::Every(1000, 1000, [&] {
    RECT l, r;
    GetWindowRect(left, &l);
    GetWindowRect(right, &r);
    onTaskbar += PetalPixelsIn(bar);
    inWindows += PetalPixelsIn(l) + PetalPixelsIn(r);
    outside += PetalPixelsIn(RECT{0, 100, 1024, bar.top});
  });
  vd::At(30500, [&] { vd::MoveAppWindow(left, 100, 500); });
  Run(60001);
  EXPECT_EQ(DrawTarget, GetDesktopWindow());
  EXPECT_EQ(onTaskbar, 0);
  EXPECT_EQ(inWindows, 0);
  EXPECT_GT(outside, 1000);  // the petals are there, on the open desktop
}

INSTANTIATE_TEST_SUITE_P(BottomLayer, FallbackSceneTest, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int> &info) { return info.param ? "On" : "Off"; });

}  // namespace
