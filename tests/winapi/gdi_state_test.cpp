// Device-context state as Win32 has it: SaveDC/RestoreDC, the graphics mode
// and world transform, the viewport and window origins, and the display's size.
#include <gtest/gtest.h>

#include "vdesktop.h"
#include "windows.h"

namespace {

class GdiState : public ::testing::Test {
 protected:
  void SetUp() override {
    vd::Reset();
    dc_ = CreateCompatibleDC(nullptr);
    HDC screen = GetDC(nullptr);
    bitmap_ = CreateCompatibleBitmap(screen, 40, 40);
    ReleaseDC(nullptr, screen);
    SelectObject(dc_, bitmap_);
  }
  void TearDown() override {
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
};

TEST_F(GdiState, SaveAndRestoreLevelsCountAsWin32Does) {
  EXPECT_EQ(SaveDC(dc_), 1);
  EXPECT_EQ(SaveDC(dc_), 2);
  EXPECT_EQ(SaveDC(dc_), 3);
  EXPECT_TRUE(RestoreDC(dc_, -1));
  EXPECT_EQ(SaveDC(dc_), 3);
  EXPECT_TRUE(RestoreDC(dc_, 1));  // an absolute level drops everything above it
  EXPECT_EQ(SaveDC(dc_), 1);
  EXPECT_EQ(SaveDC(dc_), 2);
  EXPECT_EQ(SaveDC(dc_), 3);
  EXPECT_TRUE(RestoreDC(dc_, -2));
  EXPECT_EQ(SaveDC(dc_), 2);
  EXPECT_TRUE(RestoreDC(dc_, -2));
  EXPECT_EQ(SaveDC(dc_), 1);
  EXPECT_EQ(SaveDC(dc_), 2);
  EXPECT_FALSE(RestoreDC(dc_, -4));  // deeper than the stack
  EXPECT_FALSE(RestoreDC(dc_, 3));   // not saved yet
  EXPECT_FALSE(RestoreDC(dc_, 0));
  EXPECT_TRUE(RestoreDC(dc_, 1));
  EXPECT_FALSE(RestoreDC(dc_, -1));  // nothing left
  HDC dead = CreateCompatibleDC(nullptr);
  DeleteDC(dead);
  EXPECT_EQ(SaveDC(dead), 0);
  EXPECT_FALSE(RestoreDC(dead, -1));
}

TEST_F(GdiState, RestoreBringsBackObjectsColoursModesAndOrigins) {
  HFONT font = CreateFontA(-12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  SelectObject(dc_, font);
  SelectObject(dc_, brush);
  SetTextColor(dc_, RGB(10, 20, 30));
  SetBkMode(dc_, TRANSPARENT);
  SetViewportOrgEx(dc_, 3, 4, nullptr);
  HRGN clip = CreateRectRgn(0, 0, 10, 10);
  SelectClipRgn(dc_, clip);
  int level = SaveDC(dc_);

  SelectObject(dc_, GetStockObject(SYSTEM_FONT));
  SelectObject(dc_, GetStockObject(BLACK_BRUSH));
  SetTextColor(dc_, RGB(0, 0, 0));
  SetBkMode(dc_, OPAQUE);
  SetGraphicsMode(dc_, GM_ADVANCED);
  SetViewportOrgEx(dc_, 0, 0, nullptr);
  SetWindowOrgEx(dc_, 7, 8, nullptr);
  SelectClipRgn(dc_, nullptr);
  EXPECT_TRUE(DeleteObject(font)) << "a font only in a saved state is not selected";
  font = CreateFontA(-12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");

  EXPECT_TRUE(RestoreDC(dc_, level));
  EXPECT_EQ(SelectObject(dc_, GetStockObject(WHITE_BRUSH)), brush);
  EXPECT_EQ(GetTextColor(dc_), RGB(10, 20, 30));
  EXPECT_EQ(GetBkMode(dc_), TRANSPARENT);
  EXPECT_EQ(GetGraphicsMode(dc_), GM_COMPATIBLE);
  POINT vp{}, win{};
  GetViewportOrgEx(dc_, &vp);
  GetWindowOrgEx(dc_, &win);
  EXPECT_EQ(vp.x, 3);
  EXPECT_EQ(vp.y, 4);
  EXPECT_EQ(win.x, 0);
  EXPECT_EQ(win.y, 0);
  // The clip came back: (12, 12) is outside it, in device units.
  EXPECT_EQ(GetPixel(dc_, 12 - 3, 12 - 4), CLR_INVALID);
  // The saved font is gone: the current one stays, and nothing breaks.
  TEXTMETRICA tm;
  EXPECT_TRUE(GetTextMetricsA(dc_, &tm));
  SelectObject(dc_, GetStockObject(SYSTEM_FONT));
  EXPECT_TRUE(DeleteObject(font));
  EXPECT_TRUE(DeleteObject(brush));
  DeleteObject(clip);
}

TEST_F(GdiState, GraphicsModeAndWorldTransform) {
  EXPECT_EQ(GetGraphicsMode(dc_), GM_COMPATIBLE);
  EXPECT_FALSE(ModifyWorldTransform(dc_, nullptr, MWT_IDENTITY)) << "the compatible mode has no world transform";
  EXPECT_EQ(SetGraphicsMode(dc_, GM_ADVANCED), GM_COMPATIBLE);
  EXPECT_TRUE(ModifyWorldTransform(dc_, nullptr, MWT_IDENTITY));
  XFORM scale{2, 0, 0, 2, 0, 0};
  EXPECT_FALSE(ModifyWorldTransform(dc_, &scale, MWT_LEFTMULTIPLY)) << "only the identity is offered";
  XFORM x{};
  EXPECT_TRUE(GetWorldTransform(dc_, &x));
  EXPECT_EQ(x.eM11, 1.0f);
  EXPECT_EQ(x.eM22, 1.0f);
  EXPECT_EQ(x.eDx, 0.0f);
  EXPECT_EQ(SetGraphicsMode(dc_, 3), 0);
  EXPECT_EQ(SetGraphicsMode(dc_, GM_COMPATIBLE), GM_ADVANCED);
}

TEST_F(GdiState, OriginsMapLogicalToDevicePointsForEveryDrawing) {
  POINT previous{-1, -1};
  EXPECT_TRUE(SetViewportOrgEx(dc_, 10, 5, &previous));
  EXPECT_EQ(previous.x, 0);
  EXPECT_TRUE(SetWindowOrgEx(dc_, 2, 1, &previous));
  POINT p[2] = {{0, 0}, {12, 9}};
  EXPECT_TRUE(LPtoDP(dc_, p, 2));
  EXPECT_EQ(p[0].x, 8);
  EXPECT_EQ(p[0].y, 4);
  EXPECT_EQ(p[1].x, 20);
  EXPECT_EQ(p[1].y, 13);
  EXPECT_TRUE(DPtoLP(dc_, p, 2));
  EXPECT_EQ(p[1].x, 12);
  EXPECT_EQ(p[1].y, 9);

  // A fill at logical (2, 1) lands on device (10, 5): SetPixel, GetPixel and BitBlt agree.
  RECT r{2, 1, 3, 2};
  FillRect(dc_, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetViewportOrgEx(dc_, 0, 0, nullptr);
  SetWindowOrgEx(dc_, 0, 0, nullptr);
  EXPECT_EQ(GetPixel(dc_, 10, 5), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc_, 2, 1), RGB(0, 0, 0));
  HDC other = CreateCompatibleDC(dc_);
  HBITMAP copy = CreateCompatibleBitmap(dc_, 40, 40);
  SelectObject(other, copy);
  SetViewportOrgEx(dc_, 10, 5, nullptr);  // logical (0, 0) is device (10, 5) now
  BitBlt(other, 0, 0, 1, 1, dc_, 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(other, 0, 0), RGB(255, 255, 255));
  DeleteDC(other);
  DeleteObject(copy);
  EXPECT_FALSE(DPtoLP(nullptr, p, 1));
}

// The rectangle ExcludeClipRect takes is logical; the clip it leaves stays in
// device units when the origins move afterwards.
TEST_F(GdiState, ExcludeClipRectTakesLogicalCoordinates) {
  RECT all{0, 0, 40, 40};
  FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SetViewportOrgEx(dc_, 10, 0, nullptr);
  SetWindowOrgEx(dc_, 2, 0, nullptr);  // logical x is device x - 8
  EXPECT_EQ(ExcludeClipRect(dc_, 0, 0, 5, 5), COMPLEXREGION);
  SetViewportOrgEx(dc_, 0, 0, nullptr);
  SetWindowOrgEx(dc_, 0, 0, nullptr);
  FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SelectClipRgn(dc_, nullptr);  // GetPixel answers nothing outside the clip
  EXPECT_EQ(GetPixel(dc_, 8, 2), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc_, 12, 4), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc_, 7, 2), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc_, 13, 2), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc_, 2, 2), RGB(255, 255, 255));
}

TEST(GdiDisplaySize, MillimetresComeFromTheConfigOrFromNinetySixDotsPerInch) {
  vd::Config config;
  vd::Reset(config);
  HDC dc = GetDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 96);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
  EXPECT_EQ(GetDeviceCaps(dc, HORZSIZE), 271);
  EXPECT_EQ(GetDeviceCaps(dc, VERTSIZE), 203);
  ReleaseDC(nullptr, dc);
  config.widthMm = 320;
  config.heightMm = 240;
  vd::Reset(config);
  dc = GetDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, HORZSIZE), 320);
  EXPECT_EQ(GetDeviceCaps(dc, VERTSIZE), 240);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 1024);
  EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 768);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);  // the logical inch does not change
  ReleaseDC(nullptr, dc);
}

}  // namespace
