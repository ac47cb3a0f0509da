// Device contexts and objects as Win32 keeps them: device capabilities,
// attributes, what SelectObject and DeleteObject allow, stock objects,
// brushes and fills, and the counts of live objects and contexts.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "vdesktop.h"
#include "windows.h"

namespace {

class GdiDC : public ::testing::Test {
 protected:
  void SetUp() override { vd::Reset(); }
};

TEST_F(GdiDC, DeviceCapsDescribeThe96DpiScreen) {
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 1024);
  EXPECT_EQ(GetDeviceCaps(screen, VERTRES), 768);
  EXPECT_EQ(GetDeviceCaps(screen, HORZSIZE), 271);  // 1024 / 96 inches
  EXPECT_EQ(GetDeviceCaps(screen, VERTSIZE), 203);
  EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
  EXPECT_EQ(GetDeviceCaps(screen, PLANES), 1);
  EXPECT_EQ(GetDeviceCaps(screen, NUMCOLORS), -1);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
  // A memory context answers for the display, whatever bitmap it holds.
  HDC mem = CreateCompatibleDC(screen);
  for (int index : {HORZRES, VERTRES, HORZSIZE, VERTSIZE, BITSPIXEL, PLANES, NUMCOLORS, LOGPIXELSX})
    EXPECT_EQ(GetDeviceCaps(mem, index), GetDeviceCaps(screen, index)) << index;
  DeleteDC(mem);
  EXPECT_EQ(GetDeviceCaps(mem, HORZRES), 0);
  ReleaseDC(nullptr, screen);
}

// A palette-managed display: NUMCOLORS counts the system palette's static
// colours, not its size (display drivers report 20 and 256).
TEST_F(GdiDC, EightBitModeReportsAPalettedDisplayWithTwentyStaticColours) {
  vd::Config config;
  config.bitsPerPixel = 8;
  config.width = 800;
  config.height = 600;
  vd::Reset(config);
  HDC mem = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(mem, BITSPIXEL), 8);
  EXPECT_EQ(GetDeviceCaps(mem, NUMCOLORS), 20);
  const int kRasterCaps = 38, kRcPalette = 0x0100, kSizePalette = 104, kNumReserved = 106;
  EXPECT_NE(GetDeviceCaps(mem, kRasterCaps) & kRcPalette, 0);
  EXPECT_EQ(GetDeviceCaps(mem, kSizePalette), 256);
  EXPECT_EQ(GetDeviceCaps(mem, kNumReserved), 20);
  EXPECT_EQ(GetDeviceCaps(mem, HORZRES), 800);
  EXPECT_EQ(GetDeviceCaps(mem, HORZSIZE), 212);  // 800 / 96 * 25.4 = 211.7
  DeleteDC(mem);
}

TEST_F(GdiDC, FreshContextHasWin32Defaults) {
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetMapMode(dc), MM_TEXT);
  EXPECT_EQ(SetTextColor(dc, RGB(1, 2, 3)), RGB(0, 0, 0));
  EXPECT_EQ(SetTextColor(dc, RGB(4, 5, 6)), RGB(1, 2, 3));
  EXPECT_EQ(SetBkColor(dc, RGB(7, 8, 9)), RGB(255, 255, 255));
  EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
  EXPECT_EQ(SetBkMode(dc, 7), 0);  // not a mode
  EXPECT_EQ(SetBkMode(dc, OPAQUE), TRANSPARENT);
  EXPECT_EQ(SetMapMode(dc, MM_LOMETRIC), MM_TEXT);
  EXPECT_EQ(GetMapMode(dc), MM_LOMETRIC);
  EXPECT_EQ(SetMapMode(dc, 0), 0);
  EXPECT_EQ(SetMapMode(dc, MM_TEXT), MM_LOMETRIC);
  // The objects a fresh context holds: white brush, black pen, system font, a 1x1 monochrome bitmap.
  EXPECT_EQ(SelectObject(dc, GetStockObject(BLACK_BRUSH)), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(SelectObject(dc, GetStockObject(WHITE_PEN)), GetStockObject(BLACK_PEN));
  EXPECT_EQ(SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT)), GetStockObject(SYSTEM_FONT));
  HBITMAP b = CreateBitmap(2, 2, 1, 1, nullptr);
  HGDIOBJ initial = SelectObject(dc, b);
  BITMAP bm{};
  ASSERT_EQ(GetObjectA(initial, sizeof bm, &bm), int(sizeof bm));
  EXPECT_EQ(bm.bmWidth, 1);
  EXPECT_EQ(bm.bmHeight, 1);
  EXPECT_EQ(bm.bmBitsPixel, 1);
  EXPECT_EQ(SelectObject(dc, initial), b);
  DeleteDC(dc);
  DeleteObject(b);
}

TEST_F(GdiDC, DeadContextsAnswerWithErrors) {
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_EQ(GetMapMode(dc), 0);
  EXPECT_EQ(SetMapMode(dc, MM_TEXT), 0);
  EXPECT_EQ(SetTextColor(dc, 0), CLR_INVALID);
  EXPECT_EQ(SetBkColor(dc, 0), CLR_INVALID);
  EXPECT_EQ(SetBkMode(dc, OPAQUE), 0);
  EXPECT_EQ(SelectObject(dc, GetStockObject(WHITE_BRUSH)), nullptr);
  EXPECT_EQ(CreateCompatibleDC(dc), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(dc, 4, 4), nullptr);
}

TEST_F(GdiDC, BitmapLivesInOneContextAtATime) {
  HBITMAP b = CreateBitmap(4, 4, 1, 32, nullptr);
  HDC first = CreateCompatibleDC(nullptr);
  HDC second = CreateCompatibleDC(nullptr);
  ASSERT_NE(SelectObject(first, b), nullptr);
  EXPECT_EQ(SelectObject(second, b), nullptr);
  EXPECT_EQ(SelectObject(first, b), b);  // selecting it again where it is changes nothing
  // A selected bitmap cannot be deleted; once its context is gone it can.
  EXPECT_FALSE(DeleteObject(b));
  DeleteDC(first);
  EXPECT_NE(SelectObject(second, b), nullptr);
  DeleteDC(second);
  EXPECT_TRUE(DeleteObject(b));
}

TEST_F(GdiDC, BitmapsGoOnlyIntoMemoryContextsOfTheirDepth) {
  HWND w = vd::CreateAppWindow("Target", RECT{10, 10, 200, 200});
  HDC window = GetDC(w);
  HBITMAP colour = CreateBitmap(4, 4, 1, 32, nullptr);
  EXPECT_EQ(SelectObject(window, colour), nullptr);
  HDC mem = CreateCompatibleDC(window);
  HBITMAP shallow = CreateBitmap(4, 4, 1, 24, nullptr);
  EXPECT_EQ(SelectObject(mem, shallow), nullptr);  // a 24-bit bitmap on a 32-bit display
  EXPECT_NE(SelectObject(mem, colour), nullptr);
  DeleteDC(mem);
  ReleaseDC(w, window);
  DeleteObject(colour);
  DeleteObject(shallow);
}

TEST_F(GdiDC, SelectedBrushCannotBeDeletedUntilReplaced) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBRUSH brush = CreateSolidBrush(RGB(10, 20, 30));
  HGDIOBJ old = SelectObject(dc, brush);
  EXPECT_FALSE(DeleteObject(brush));
  EXPECT_EQ(SelectObject(dc, old), brush);
  EXPECT_TRUE(DeleteObject(brush));
  DeleteDC(dc);
}

TEST_F(GdiDC, StockObjectsSurviveDeleteAndAreNotCounted) {
  int before = vd::LiveGdiObjects();
  for (int index : {WHITE_BRUSH, LTGRAY_BRUSH, GRAY_BRUSH, DKGRAY_BRUSH, BLACK_BRUSH, NULL_BRUSH, WHITE_PEN,
                    BLACK_PEN, NULL_PEN, SYSTEM_FONT, DEFAULT_GUI_FONT}) {
    HGDIOBJ stock = GetStockObject(index);
    ASSERT_NE(stock, nullptr) << index;
    EXPECT_EQ(GetStockObject(index), stock);
    EXPECT_TRUE(DeleteObject(stock));
    EXPECT_EQ(GetStockObject(index), stock);
  }
  EXPECT_EQ(GetStockObject(9), nullptr);
  EXPECT_EQ(GetStockObject(-1), nullptr);
  // System colour brushes are shared like stock objects.
  HBRUSH window = GetSysColorBrush(COLOR_WINDOW);
  EXPECT_EQ(GetSysColorBrush(COLOR_WINDOW), window);
  EXPECT_TRUE(DeleteObject(window));
  EXPECT_EQ(GetSysColorBrush(COLOR_WINDOW), window);
  EXPECT_EQ(vd::LiveGdiObjects(), before);
}

TEST_F(GdiDC, FillRectPaintsLeftAndTopButNotRightAndBottom) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP b = CreateBitmap(6, 6, 1, 32, nullptr);
  SelectObject(dc, b);
  RECT r{1, 2, 4, 5};
  HBRUSH brush = CreateSolidBrush(RGB(200, 100, 50));
  EXPECT_EQ(FillRect(dc, &r, brush), 1);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(GetPixel(dc, x, y), x >= 1 && x < 4 && y >= 2 && y < 5 ? RGB(200, 100, 50) : RGB(0, 0, 0));
  // A system colour index + 1 stands for its brush; the null brush paints nothing.
  RECT all{0, 0, 6, 6};
  EXPECT_EQ(FillRect(dc, &all, reinterpret_cast<HBRUSH>(uintptr_t(COLOR_WINDOW + 1))), 1);
  EXPECT_EQ(GetPixel(dc, 0, 0), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))), 1);
  EXPECT_EQ(GetPixel(dc, 0, 0), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE)), 1);
  EXPECT_EQ(GetPixel(dc, 5, 5), GetSysColor(COLOR_BTNFACE));
  DeleteObject(brush);
  EXPECT_EQ(FillRect(dc, &all, brush), 0);  // deleted brush
  DeleteDC(dc);
  DeleteObject(b);
}

TEST_F(GdiDC, FillRgnPaintsExactlyTheRegion) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP b = CreateBitmap(10, 10, 1, 32, nullptr);
  SelectObject(dc, b);
  HRGN rgn = CreateRectRgn(0, 0, 6, 6);
  HRGN hole = CreateRectRgn(2, 2, 4, 4);
  CombineRgn(rgn, rgn, hole, RGN_DIFF);
  EXPECT_NE(FillRgn(dc, rgn, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))), 0);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      EXPECT_EQ(GetPixel(dc, x, y), PtInRegion(rgn, x, y) ? RGB(255, 255, 255) : RGB(0, 0, 0)) << x << "," << y;
  DeleteObject(rgn);
  EXPECT_EQ(FillRgn(dc, rgn, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))), 0);
  DeleteObject(hole);
  DeleteDC(dc);
  DeleteObject(b);
}

TEST_F(GdiDC, SystemColoursOfWindowAndButtonFace) {
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(192, 192, 192));
  EXPECT_EQ(GetSysColorBrush(99), nullptr);
  EXPECT_EQ(GetSysColor(-1), 0u);
}

TEST_F(GdiDC, CountsReturnToWhereTheyWereAfterCreateAndDelete) {
  int objects = vd::LiveGdiObjects(), bitmaps = vd::LiveGdiObjects(OBJ_BITMAP);
  int brushes = vd::LiveGdiObjects(OBJ_BRUSH);
  HWND w = vd::CreateAppWindow("Counted", RECT{0, 0, 100, 100});
  int dcs = vd::LiveDCs();
  HDC window = GetDC(w);
  HDC mem = CreateCompatibleDC(window);
  HBITMAP b = CreateCompatibleBitmap(window, 8, 8);
  HBRUSH brush = CreateSolidBrush(RGB(1, 1, 1));
  EXPECT_EQ(vd::LiveDCs(), dcs + 2);
  EXPECT_EQ(vd::LiveGdiObjects(OBJ_BITMAP), bitmaps + 1);
  EXPECT_EQ(vd::LiveGdiObjects(OBJ_BRUSH), brushes + 1);
  EXPECT_EQ(vd::LiveGdiObjects(), objects + 2);
  EXPECT_TRUE(DeleteDC(mem));
  EXPECT_EQ(ReleaseDC(w, window), 1);
  EXPECT_EQ(ReleaseDC(w, window), 0);  // already released
  DeleteObject(b);
  DeleteObject(brush);
  EXPECT_EQ(vd::LiveDCs(), dcs);
  EXPECT_EQ(vd::LiveGdiObjects(), objects);
  vd::Reset();
  EXPECT_EQ(vd::LiveDCs(), 0);
}

TEST_F(GdiDC, HandleQuotaStopsARunawayLeak) {
  // Windows allows a process 10,000 GDI handles by default.
  size_t live = size_t(vd::LiveGdiObjects() + vd::LiveDCs());
  std::vector<HRGN> made;
  for (int i = 0; i < 20000; ++i) {
    HRGN r = CreateRectRgn(0, 0, 1, 1);
    if (!r) break;
    made.push_back(r);
  }
  EXPECT_EQ(made.size() + live, 10000u);
  EXPECT_EQ(CreateCompatibleDC(nullptr), nullptr);
  for (HRGN r : made) DeleteObject(r);
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_NE(dc, nullptr);
  DeleteDC(dc);
}

TEST_F(GdiDC, WritePngWritesTheScreenSize) {
  HDC screen = GetDC(nullptr);
  RECT r{0, 0, 10, 10};
  FillRect(screen, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ReleaseDC(nullptr, screen);
  std::string path = ::testing::TempDir() + "gdi_screen.png";
  ASSERT_TRUE(vd::WritePng(path));
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 33u);
  EXPECT_EQ(bytes[1], 'P');
  EXPECT_EQ(bytes[2], 'N');
  EXPECT_EQ(bytes[3], 'G');
  auto be32 = [&](size_t at) { return bytes[at] << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3]; };
  EXPECT_EQ(be32(16), 1024);  // IHDR width
  EXPECT_EQ(be32(20), 768);   // IHDR height
  std::remove(path.c_str());
  EXPECT_FALSE(vd::WritePng("/nonexistent-dir/x.png"));
}

}  // namespace
