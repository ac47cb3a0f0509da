// What a user sees on the desktop when the settings dialog changes a setting,
// and where the dialog and its controls stand on the screen.
#include <cstring>
#include <set>
#include <vector>

#include "geometry/geometry.h"
#include "render/render.h"
#include "resource.h"
#include "sim/sim.h"
#include "support/dialog_driver.h"

namespace {

constexpr uint32_t kDesktop = 0x008080;

struct Shot {
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[size_t(y) * size_t(vd::ScreenWidth()) + size_t(x)]; }
};

Shot TakeShot() {
  const uint32_t *fb = vd::Framebuffer();
  return Shot{std::vector<uint32_t>(fb, fb + size_t(vd::ScreenWidth()) * size_t(vd::ScreenHeight()))};
}

RECT PetalRect(const Petal &p) {
  BITMAP bm{};
  GetObjectA(p.mask, sizeof bm, &bm);
  return RECT{p.x, p.y, p.x + bm.bmWidth, p.y + bm.bmHeight};
}

bool Overlaps(const RECT &a, const RECT &b) {
  RECT r;
  return IntersectRect(&r, &a, &b) != FALSE;
}

// The colours of a flower type's petal pictures where their masks let them show.
std::set<uint32_t> PetalColours(int flowerType) {
  std::set<uint32_t> colours;
  const BitmapSet &set = BitmapSets[flowerType - 1];
  HDC screen = GetDC(nullptr);
  HDC picture = CreateCompatibleDC(screen), mask = CreateCompatibleDC(screen);
  for (int k = 0; k < PETALS_PER_FLOWER; ++k) {
    HBITMAP p = LoadBitmapA(vd::ModuleInstance(), MAKEINTRESOURCEA(set.petalPicture[k]));
    HBITMAP m = LoadBitmapA(vd::ModuleInstance(), MAKEINTRESOURCEA(set.petalMask[k]));
    BITMAP bm{};
    GetObjectA(p, sizeof bm, &bm);
    HGDIOBJ op = SelectObject(picture, p), om = SelectObject(mask, m);
    for (int y = 0; y < bm.bmHeight; ++y)
      for (int x = 0; x < bm.bmWidth; ++x)
        if (GetPixel(mask, x, y) == RGB(255, 255, 255)) {  // the petal shows where its mask is white
          COLORREF c = GetPixel(picture, x, y);
          colours.insert(uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c));
        }
    SelectObject(picture, op);
    SelectObject(mask, om);
    DeleteObject(p);
    DeleteObject(m);
  }
  DeleteDC(picture);
  DeleteDC(mask);
  ReleaseDC(nullptr, screen);
  return colours;
}

class DialogPixelsTest : public progtest::DialogTest {
 protected:
  // Settings stored before the run, as the program itself saves them.
  void Store(void (*change)()) {
    RestoreFactoryDefaults();
    change();
    SaveSettings();
    ResetProgramState();
  }
  static RECT DialogRect() {
    RECT r;
    GetWindowRect(SettingsDialog, &r);
    return r;
  }
  // Falling petals on the screen: in the air, drawn, clear of the branch and of
  // the dialog and the piles on its top edge.
  static std::vector<RECT> FallingPetals(int belowY, int aboveY) {
    std::vector<RECT> rects;
    RECT dialog = DialogRect();
    dialog.top -= 60;
    for (int slot = 0; slot < FlowersInUse(); ++slot) {
      const Flower &f = branches[0].flowers[slot];
      if (f.fallDelay != 0) continue;
      for (const Petal &p : f.petals) {
        RECT r = PetalRect(p);
        if (!p.active || p.landed || p.fresh || r.top < belowY || r.bottom > aboveY || Overlaps(r, dialog)) continue;
        if (r.left < 0 || r.right > vd::ScreenWidth()) continue;
        rects.push_back(r);
      }
    }
    return rects;
  }
};

int CountOther(const Shot &s, const RECT &r, uint32_t colour) {
  int n = 0;
  for (int y = std::max(0, int(r.top)); y < std::min(int(r.bottom), vd::ScreenHeight()); ++y)
    for (int x = std::max(0, int(r.left)); x < std::min(int(r.right), vd::ScreenWidth()); ++x) n += s.At(x, y) != colour;
  return n;
}

TEST_F(DialogPixelsTest, FallingOffMakesTheFallingPetalsVanishAtTheNextTickWhileThePilesStay) {
  Store([] { Settings.flowersPerBranch = 10; });
  next_ = 40010;
  ShowDialog();
  Shot before, after;
  std::vector<RECT> falling;
  const int bandTop = 740 - 40 - SPRITE_REACH;
  Click(IDC_FALLING);
  Check([&] {
    vd::PaintPending();
    before = TakeShot();
    falling = FallingPetals(120, bandTop - 30);
  });
  Wait(100);  // the next tick, and one more
  Step([&] {
    vd::PaintPending();
    after = TakeShot();
  });
  RunScript();
  ASSERT_GE(falling.size(), 5u);
  for (const RECT &r : falling) {
    EXPECT_GT(CountOther(before, r, kDesktop), 0) << r.left << "," << r.top;
    EXPECT_EQ(CountOther(after, r, kDesktop), 0) << r.left << "," << r.top;
  }
  // The piles along the bottom: the same pixels, and plenty of petals among them.
  RECT band{0, bandTop, vd::ScreenWidth(), 740};
  int changed = 0, petals = 0;
  for (int y = band.top; y < band.bottom; ++y)
    for (int x = 0; x < vd::ScreenWidth(); ++x) {
      changed += before.At(x, y) != after.At(x, y);
      petals += after.At(x, y) != kDesktop;
    }
  EXPECT_GT(petals, 500);
  EXPECT_LT(changed, 2 * 13 * 13);  // at most a petal or two that landed in between
  EXPECT_EQ(Settings.fallingPetals, 0);
}

TEST_F(DialogPixelsTest, AThinnerWindowLayerWipesTheLostBandFromTheScreen) {
  Store([] {
    Settings.flowersPerBranch = 10;
    Settings.branchX = 740;
  });
  HWND window = vd::CreateAppWindow("Editor", RECT{760, 400, 1015, 620});
  next_ = 40010;
  ShowDialog();
  Enter(IDC_WINDOW_THICKNESS, "5");
  Shot before, after;
  Step([&] {
    vd::PaintPending();
    before = TakeShot();
  });
  Click(IDC_APPLY);
  Check([&] { after = TakeShot(); });
  RunScript();
  ASSERT_NE(window, nullptr);
  // The band that no longer belongs to the layer: 5 to 15 rows above the window's top.
  RECT lost{760, 400 - 15, 1015, 400 - 5};
  EXPECT_GT(CountOther(before, lost, kDesktop), 50);
  EXPECT_EQ(CountOther(after, lost, kDesktop), 0);
  EXPECT_EQ(Settings.windowLayerThickness, 5);
}

TEST_F(DialogPixelsTest, AnotherFlowerTypeChangesTheColoursOfTheFallingPetals) {
  Store([] { Settings.flowersPerBranch = 10; });
  std::set<uint32_t> first = PetalColours(1), fourth = PetalColours(4);
  std::set<uint32_t> firstOnly, fourthOnly;
  for (uint32_t c : first)
    if (!fourth.count(c)) firstOnly.insert(c);
  for (uint32_t c : fourth)
    if (!first.count(c)) fourthOnly.insert(c);
  next_ = 10010;
  ShowDialog();
  Click(IDC_TYPE4_ICON);
  Wait(150);  // three ticks: every petal in the air drawn anew
  Shot shot;
  std::vector<RECT> falling;
  Step([&] {
    vd::PaintPending();
    shot = TakeShot();
    falling = FallingPetals(120, 640);
  });
  RunScript();
  ASSERT_FALSE(firstOnly.empty());
  ASSERT_FALSE(fourthOnly.empty());
  ASSERT_GE(falling.size(), 5u);
  for (const RECT &r : falling) {
    int newColour = 0, oldColour = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        newColour += fourthOnly.count(shot.At(x, y)) > 0;
        oldColour += firstOnly.count(shot.At(x, y)) > 0;
      }
    EXPECT_GT(newColour, 0) << r.left << "," << r.top;
    EXPECT_EQ(oldColour, 0) << r.left << "," << r.top;
  }
}

TEST_F(DialogPixelsTest, MovingTheBranchErasesItAtTheOldPlace) {
  next_ = 2010;
  ShowDialog();
  Enter(IDC_BRANCH_X, "600");
  RECT old{0, 0, 0, 0}, now{0, 0, 0, 0};
  Shot before, after, later;
  Step([&] {
    BITMAP bm{};
    GetObjectA(branches[0].picture, sizeof bm, &bm);
    old = RECT{branches[0].x, 0, branches[0].x + bm.bmWidth, bm.bmHeight};
    vd::PaintPending();
    before = TakeShot();
  });
  Click(IDC_APPLY);
  Check([&] { after = TakeShot(); });
  Wait(600);  // the branch's next redraw
  Step([&] {
    BITMAP bm{};
    GetObjectA(branches[0].picture, sizeof bm, &bm);
    now = RECT{branches[0].x, 0, branches[0].x + bm.bmWidth, bm.bmHeight};
    vd::PaintPending();
    later = TakeShot();
  });
  RunScript();
  EXPECT_EQ(old.left, 100);
  EXPECT_GT(CountOther(before, old, kDesktop), 500);
  EXPECT_EQ(CountOther(after, old, kDesktop), 0);
  EXPECT_EQ(now.left, 600);
  EXPECT_GT(CountOther(later, now, kDesktop), 500);
}

// ---------------------------------------------------------------- layout

struct Placed {
  int id, x, y, cx, cy;
  bool icon;
};

// The template's controls: each at its place in dialog units.
const Placed kLayout[] = {
    {1013, 71, 48, 16, 8, false},   {1014, 71, 70, 16, 8, false},   {1015, 71, 24, 16, 8, false},
    {1016, 71, 117, 16, 8, false},  {1017, 71, 140, 16, 8, false},  {1018, 71, 94, 16, 8, false},
    {1094, 32, 16, 20, 20, true},   {1021, 32, 40, 20, 20, true},   {1022, 32, 64, 20, 20, true},
    {1023, 32, 88, 20, 20, true},   {1090, 32, 112, 20, 20, true},  {1091, 32, 136, 20, 20, true},
    {1042, 89, 40, 44, 21, false},  {1046, 89, 136, 44, 21, false}, {1043, 89, 64, 44, 21, false},
    {1044, 89, 16, 44, 21, false},  {1045, 89, 112, 44, 21, false}, {1047, 89, 88, 44, 21, false},
    {1027, 142, 24, 16, 8, false},  {1028, 142, 47, 16, 8, false},  {1031, 142, 71, 16, 8, false},
    {1049, 5, 20, 22, 14, false},   {1056, 5, 44, 22, 14, false},   {1057, 5, 67, 22, 14, false},
    {1058, 5, 91, 22, 14, false},   {1059, 5, 115, 22, 14, false},  {1060, 5, 139, 22, 14, false},
    {1052, 5, 192, 50, 15, false},  {1054, 131, 216, 59, 15, false}, {1074, 5, 216, 50, 15, false},
    {1075, 61, 216, 64, 15, false}, {1076, 204, 19, 28, 14, false}, {1078, 204, 67, 28, 14, false},
    {1077, 204, 43, 28, 14, false}, {1093, 238, 16, 20, 20, false}, {1048, 238, 40, 44, 21, false},
    {1051, 238, 64, 44, 21, false}, {1, 260, 216, 22, 14, false},   {1096, 159, 16, 20, 20, true},
    {1097, 159, 40, 20, 20, true},  {1098, 159, 64, 20, 20, true},  {1099, 159, 88, 20, 20, true},
    {1032, 142, 94, 16, 8, false},  {1100, 159, 112, 20, 20, true}, {1033, 142, 119, 16, 8, false},
    {1101, 159, 136, 20, 20, true}, {1034, 142, 142, 16, 8, false}, {1079, 204, 187, 28, 14, false},
    {1053, 238, 184, 44, 21, false}, {1080, 204, 91, 28, 14, false}, {1055, 238, 88, 44, 21, false},
    {1081, 204, 115, 28, 14, false}, {1061, 238, 112, 44, 21, false}, {1082, 204, 139, 28, 14, false},
    {1062, 238, 136, 44, 21, false}, {1083, 204, 163, 28, 14, false}, {1063, 238, 160, 44, 21, false},
    {1102, 159, 160, 20, 20, true}, {1035, 142, 167, 16, 8, false}, {1092, 32, 160, 20, 20, true},
    {1065, 6, 163, 22, 14, false},  {1087, 205, 216, 50, 14, false}, {-1, 6, 4, 259, 8, false},
};

// Win32 maps a control's point and its size each through the base units (not
// its two corners, which can give a pixel more), and a picture static's window
// takes its picture's size, the edge included.
TEST_F(DialogPixelsTest, EachControlStandsAtItsMappedPointWithItsMappedSize) {
  std::vector<std::string> misplaced;
  int checkedControls = 0;
  Step([&] {
    POINT origin{0, 0};
    ClientToScreen(SettingsDialog, &origin);
    RECT units{0, 0, 4, 8};
    MapDialogRect(SettingsDialog, &units);
    for (const Placed &p : kLayout) {
      HWND c = GetDlgItem(SettingsDialog, p.id);
      int x = MulDiv(p.x, units.right, 4), y = MulDiv(p.y, units.bottom, 8);
      RECT expected{x, y, x + MulDiv(p.cx, units.right, 4), y + MulDiv(p.cy, units.bottom, 8)};
      RECT got{0, 0, 0, 0};
      GetWindowRect(c, &got);
      OffsetRect(&got, -origin.x, -origin.y);
      // The dialog's icons are 32 x 32, its bitmaps 64 x 32 (the tick's where the template leaves 20 x 20 units).
      char cls[16] = "";
      GetClassNameA(c, cls, sizeof cls);
      DWORD kind = std::strcmp(cls, "Static") == 0 ? DWORD(GetWindowLongA(c, GWL_STYLE)) & SS_TYPEMASK : 0;
      EXPECT_EQ(kind == SS_ICON, p.icon) << p.id;
      if (kind == SS_ICON || kind == SS_BITMAP) {
        expected.right = expected.left + (kind == SS_ICON ? 32 : 64);
        expected.bottom = expected.top + 32;
      }
      ++checkedControls;
      if (std::memcmp(&got, &expected, sizeof got) != 0)
        misplaced.push_back(std::to_string(p.id) + ": " + std::to_string(got.left) + "," + std::to_string(got.top) +
                            "," + std::to_string(got.right) + "," + std::to_string(got.bottom));
    }
  });
  RunScript();
  EXPECT_EQ(checkedControls, 63);
  std::string all;
  for (const std::string &m : misplaced) all += m + "; ";
  EXPECT_TRUE(misplaced.empty()) << all;
}

TEST_F(DialogPixelsTest, TheDialogFontGivesTheUsualBaseUnitsAndTheDialogIsCentredOnTheWorkArea) {
  RECT units{0, 0, 4, 8}, window{0, 0, 0, 0}, client{0, 0, 0, 0};
  Step([&] {
    MapDialogRect(SettingsDialog, &units);
    GetWindowRect(SettingsDialog, &window);
    GetClientRect(SettingsDialog, &client);
  });
  RunScript();
  EXPECT_EQ(units.right, 6);
  EXPECT_EQ(units.bottom, 13);
  EXPECT_EQ(client.right, MulDiv(292, 6, 4));
  EXPECT_EQ(client.bottom, MulDiv(241, 13, 8));
  // The work area is the screen above the taskbar.
  int width = window.right - window.left, height = window.bottom - window.top;
  EXPECT_EQ(window.left, (1024 - width) / 2);
  EXPECT_EQ(window.top, (768 - 28 - height) / 2);
}

// Start-up gives the dialog's class the program's icon; the caption shows it small at its left end,
// the title after it.
TEST_F(DialogPixelsTest, TheCaptionShowsTheProgramsSmallIconLeftOfTheTitle) {
  int pink = 0, pinkBeyond = 0;
  ShowDialog();
  Check([&] {
    RECT r = DialogRect();
    int frame = 4, bar = 18;
    for (int y = r.top + frame; y < r.top + frame + bar; ++y)
      for (int x = r.left + frame; x < r.right - frame; ++x) {
        uint32_t p = vd::Pixel(x, y);
        int red = int(p >> 16), green = int((p >> 8) & 255);
        if (red > green + 40) ++(x < r.left + frame + 2 + 16 ? pink : pinkBeyond);
      }
  });
  RunScript();
  EXPECT_GT(pink, 60);       // the blossom's petals
  EXPECT_EQ(pinkBeyond, 0);  // nothing else of the bar is pink
}

}  // namespace
