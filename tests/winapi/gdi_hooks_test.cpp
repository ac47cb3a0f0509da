// What gdi32 offers the other libraries: brush colours, painting the screen,
// font handles, clipped drawing for text, and selected clip regions.
#include <gtest/gtest.h>

#include "gdi32/gdi.h"
#include "vdesktop.h"
#include "windows.h"

namespace {

class GdiHooks : public ::testing::Test {
 protected:
  void SetUp() override { vd::Reset(); }
};

TEST_F(GdiHooks, BrushColorOfSolidBrushesOnly) {
  COLORREF c = 0;
  EXPECT_TRUE(vd::gdi::BrushColor(static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)), &c));
  EXPECT_EQ(c, RGB(192, 192, 192));
  HBRUSH made = CreateSolidBrush(RGB(1, 2, 3));
  EXPECT_TRUE(vd::gdi::BrushColor(made, &c));
  EXPECT_EQ(c, RGB(1, 2, 3));
  EXPECT_TRUE(vd::gdi::BrushColor(reinterpret_cast<HBRUSH>(uintptr_t(COLOR_BTNFACE + 1)), &c));
  EXPECT_EQ(c, GetSysColor(COLOR_BTNFACE));
  EXPECT_FALSE(vd::gdi::BrushColor(static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)), &c));
  HRGN rgn = CreateRectRgn(0, 0, 1, 1);
  EXPECT_FALSE(vd::gdi::BrushColor(reinterpret_cast<HBRUSH>(rgn), &c));
  DeleteObject(made);
  EXPECT_FALSE(vd::gdi::BrushColor(made, &c));
  DeleteObject(rgn);
}

TEST_F(GdiHooks, FillScreenPaintsInsideTheClipOnly) {
  pixman_region32_t clip;
  pixman_region32_init_rect(&clip, 10, 10, 5, 5);
  vd::gdi::FillScreen(RECT{0, 0, 12, 12}, RGB(10, 20, 30), &clip);
  EXPECT_EQ(vd::Pixel(11, 11), 0x0A141Eu);
  EXPECT_NE(vd::Pixel(12, 11), 0x0A141Eu);
  EXPECT_NE(vd::Pixel(9, 9), 0x0A141Eu);
  pixman_region32_fini(&clip);
  vd::gdi::FillScreen(RECT{1020, 760, 2000, 2000}, RGB(0, 0, 255), nullptr);  // clipped to the screen
  EXPECT_EQ(vd::Pixel(1023, 767), 0x0000FFu);
}

struct TestFont : vd::gdi::FontData {
  int GetObject(int size, void *out) const override {
    if (out && size >= 4) *static_cast<int *>(out) = 42;
    return 4;
  }
};

TEST_F(GdiHooks, FontHandlesAreCountedSelectedAndDeletedLikeOtherObjects) {
  HFONT font = vd::gdi::AddFont(std::make_unique<TestFont>());
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(vd::LiveGdiObjects(OBJ_FONT), 1);
  EXPECT_NE(vd::gdi::FontDataOf(font), nullptr);
  EXPECT_EQ(vd::gdi::StockFontIndex(font), -1);
  int value = 0;
  EXPECT_EQ(GetObjectA(font, sizeof value, &value), 4);
  EXPECT_EQ(value, 42);
  HFONT system = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  EXPECT_EQ(vd::gdi::StockFontIndex(system), SYSTEM_FONT);
  EXPECT_NE(vd::gdi::FontDataOf(system), nullptr);  // stock fonts are the text engine's too

  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(vd::gdi::CurrentFont(dc), system);
  EXPECT_EQ(SelectObject(dc, font), system);
  EXPECT_EQ(vd::gdi::CurrentFont(dc), font);
  EXPECT_FALSE(DeleteObject(font));  // selected
  DeleteDC(dc);
  EXPECT_TRUE(DeleteObject(font));
  EXPECT_EQ(vd::LiveGdiObjects(OBJ_FONT), 0);
  EXPECT_EQ(vd::gdi::FontDataOf(font), nullptr);
}

TEST_F(GdiHooks, TextDrawingBlendsCoverageThroughTheClip) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP b = CreateBitmap(4, 1, 1, 32, nullptr);
  SelectObject(dc, b);
  vd::gdi::TextState state{};
  ASSERT_TRUE(vd::gdi::GetTextState(dc, &state));
  EXPECT_EQ(state.text, RGB(0, 0, 0));
  EXPECT_EQ(state.background, RGB(255, 255, 255));
  EXPECT_EQ(state.bkMode, OPAQUE);
  EXPECT_TRUE(vd::gdi::FillSolid(dc, RECT{0, 0, 4, 1}, RGB(0, 0, 0)));
  const uint8_t coverage[5] = {255, 128, 0, 255, 255};
  // The last coverage value falls outside the bitmap.
  EXPECT_TRUE(vd::gdi::PaintCoverage(dc, 0, 0, 5, 1, coverage, 5, RGB(200, 100, 255)));
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(200, 100, 255));
  EXPECT_EQ(GetPixel(dc, 1, 0), RGB(100, 50, 128));
  EXPECT_EQ(GetPixel(dc, 2, 0), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc, 3, 0), RGB(200, 100, 255));
  DeleteDC(dc);
  DeleteObject(b);
}

TEST_F(GdiHooks, SelectedRegionClipsEveryDrawing) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP b = CreateBitmap(6, 6, 1, 32, nullptr);
  SelectObject(dc, b);
  HRGN clip = CreateRectRgn(2, 2, 4, 4);
  EXPECT_EQ(SelectObject(dc, clip), reinterpret_cast<HGDIOBJ>(intptr_t(SIMPLEREGION)));
  DeleteObject(clip);  // the context keeps its own copy
  RECT all{0, 0, 6, 6};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  EXPECT_EQ(GetPixel(dc, 2, 2), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc, 3, 3), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc, 4, 4), CLR_INVALID);  // outside the clip
  DeleteDC(dc);
  DeleteObject(b);
}

TEST_F(GdiHooks, WindowDCAreaIsTheClientAreaAtItsOrigin) {
  HWND w = vd::CreateAppWindow("Area", RECT{50, 60, 250, 260});
  HDC dc = GetDC(w);
  pixman_region32_t area;
  pixman_region32_init(&area);
  POINT origin{};
  ASSERT_TRUE(vd::gdi::WindowDCArea(dc, &area, &origin));
  POINT client{0, 0};
  ClientToScreen(w, &client);
  EXPECT_EQ(origin.x, client.x);
  EXPECT_EQ(origin.y, client.y);
  EXPECT_TRUE(pixman_region32_contains_point(&area, client.x, client.y, nullptr));
  EXPECT_FALSE(pixman_region32_contains_point(&area, 50, 60, nullptr));  // the frame is not client area
  pixman_region32_fini(&area);
  HDC mem = CreateCompatibleDC(dc);
  EXPECT_FALSE(vd::gdi::WindowDCArea(mem, nullptr, nullptr));
  DeleteDC(mem);
  ReleaseDC(w, dc);
}

}  // namespace
