// The sprite operations in pixels on a running program: the masked draw, a
// saved background copied back, the save skipped next to a window, the order
// of the two erase sweeps, and a repaint request without a region.
#include "geometry/geometry.h"
#include "render/render.h"
#include "sim/sim.h"
#include "support/program_run.h"

namespace {

constexpr uint32_t kDesktop = 0x008080;

class PassesTest : public progtest::ProgramTest {
 protected:
  // The program started with one flower in use and nothing moving yet.
  void Start() {
    RestoreFactoryDefaults();
    Settings.flowersPerBranch = 1;
    Settings.showBranch = 0;
    Settings.windEnabled = 0;
    SaveSettings();
    ResetProgramState();
    Run(10);
    vd::PaintPending();
  }
  // Petal k of slot 0 in play at (x, y), its next place the same.
  static Petal &PetalAt(int k, LONG x, LONG y) {
    Flower &f = branches[0].flowers[0];
    f.fallDelay = 0;
    f.livePetals = PETALS_PER_FLOWER;
    Petal &p = f.petals[k];
    p.active = 1;
    p.fresh = 0;
    p.landed = 0;
    p.nextX = p.x = x;
    p.nextY = p.y = y;
    p.nextTouchesWindows = 0;
    p.eraseMode = ERASE_NONE;
    return p;
  }
  static void Fill(RECT r, COLORREF color) {
    HDC dc = GetDC(DrawTarget);
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    ReleaseDC(DrawTarget, dc);
  }
  // The colour of a bitmap's pixel, as a 0x00RRGGBB screen value.
  static uint32_t BitmapPixel(HBITMAP bitmap, int x, int y) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
  }
};

// The masked draw: inside the mask's shape the picture, outside it the screen
// as it was; then the background saved before the draw, copied back, leaves
// every pixel as it was before.
TEST_F(PassesTest, MaskedBlitShowsThePictureInsideTheShapeAndARestoreTakesItAllBack) {
  Start();
  Petal &p = PetalAt(0, 300, 400);
  // A striped background, so that a pixel out of place shows.
  for (int y = 400; y < 410; ++y) Fill(RECT{300, y, 313, y + 1}, y % 2 ? RGB(10, 20, 30) : RGB(200, 100, 50));
  std::vector<uint32_t> before;
  for (int y = 400; y < 410; ++y)
    for (int x = 300; x < 313; ++x) before.push_back(vd::Pixel(x, y));
  TargetDC = GetDC(DrawTarget);
  SavePetalBackground(TargetDC, &p);
  EXPECT_EQ(p.backgroundStale, 0);
  MaskedBlit(TargetDC, p.mask, p.picture, 300, 400, 13, 10);
  int inside = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 13; ++x) {
      bool shape = BitmapPixel(p.mask, x, y) == 0xFFFFFF;
      uint32_t expected = shape ? BitmapPixel(p.picture, x, y) : before[size_t(y) * 13 + x];
      ASSERT_EQ(vd::Pixel(300 + x, 400 + y), expected) << x << "," << y;
      inside += shape;
    }
  EXPECT_GT(inside, 40);
  RestorePetalBackground(TargetDC, &p);
  ReleaseDC(DrawTarget, TargetDC);
  for (int y = 400; y < 410; ++y)
    for (int x = 300; x < 313; ++x) ASSERT_EQ(vd::Pixel(x, y), before[size_t(y - 400) * 13 + (x - 300)]);
}

// Next to a window the save is skipped: the background keeps what it held,
// and so does backgroundStale, whichever it was.
TEST_F(PassesTest, TheSaveIsSkippedWhereTheNextPlaceTouchesAWindowAndStaleIsKept) {
  Start();
  for (LONG stale : {0, 1}) {
    Petal &p = PetalAt(0, 300, 400);
    Fill(RECT{300, 400, 313, 410}, RGB(200, 0, 0));
    TargetDC = GetDC(DrawTarget);
    SavePetalBackground(TargetDC, &p);  // holds red
    Fill(RECT{300, 400, 313, 410}, RGB(0, 0, 200));
    p.backgroundStale = stale;
    p.fresh = 1;
    p.nextTouchesWindows = 1;
    SavePetalBackgrounds();
    ReleaseDC(DrawTarget, TargetDC);
    EXPECT_EQ(p.backgroundStale, stale);
    EXPECT_EQ(p.fresh, 0);  // cleared, saved or not
    EXPECT_EQ(BitmapPixel(p.background, 6, 5), 0xC80000u);  // still the red, not the blue now there
  }
}

std::vector<uint32_t> *seenAtRestorePlace = nullptr;

// A target that notes, each time it erases, what the restored petal's place shows.
LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_ERASEBKGND && seenAtRestorePlace) seenAtRestorePlace->push_back(vd::Pixel(606, 305));
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Every invalidation of the first sweep is repainted before the second sweep
// copies any background back, even for a petal the draw order visits first.
TEST_F(PassesTest, EveryInvalidationComesBeforeAnyRestore) {
  Start();
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = ProbeProc;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = "MivoraProbeTarget";
  RegisterClassExA(&wc);
  HWND probe = CreateWindowExA(0, "MivoraProbeTarget", "", WS_POPUP | WS_VISIBLE, 0, 0, 1024, 740, nullptr, nullptr,
                               nullptr, nullptr);
  vd::PaintPending();
  DrawTarget = probe;
  TargetDC = GetDC(DrawTarget);
  Petal &restored = PetalAt(0, 600, 300);  // visited first in ascending order
  Fill(RECT{600, 300, 613, 310}, RGB(200, 0, 0));
  SavePetalBackground(TargetDC, &restored);
  Fill(RECT{600, 300, 613, 310}, RGB(255, 255, 255));
  restored.eraseMode = ERASE_RESTORE;
  Petal &invalidated = PetalAt(1, 200, 300);
  invalidated.eraseMode = ERASE_INVALIDATE;
  for (int k = 2; k < PETALS_PER_FLOWER; ++k) branches[0].flowers[0].petals[k].eraseMode = ERASE_NONE;
  std::vector<uint32_t> seen;
  seenAtRestorePlace = &seen;
  drawForward = 1;
  ErasePetals();
  seenAtRestorePlace = nullptr;
  ReleaseDC(DrawTarget, TargetDC);
  ASSERT_FALSE(seen.empty());  // the invalidation was repainted at once
  for (uint32_t c : seen) EXPECT_EQ(c, 0xFFFFFFu);  // before the restore
  EXPECT_EQ(vd::Pixel(606, 305), 0xC80000u);  // restored afterwards
}

TEST_F(PassesTest, ARepaintRequestWithoutARegionDoesNothing) {
  Start();
  vd::ClearRecords();
  Petal &p = PetalAt(0, 300, 400);
  p.backgroundStale = 0;
  InvalidateOnTarget(0);
  EXPECT_TRUE(vd::Repaints().empty());
  EXPECT_EQ(p.backgroundStale, 0);
}

}  // namespace
