// BitBlt as Win32 does it: raster operations on pixel values, the monochrome
// and colour conversions, clipping to both surfaces and to a window's visible
// part, and the masked sprite that the program composes for every petal.
#include <gtest/gtest.h>

#include "gdi32/gdi.h"
#include "vdesktop.h"
#include "windows.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

class GdiBlit : public ::testing::Test {
 protected:
  void SetUp() override {
    vd::Reset();
    screen = GetDC(nullptr);
  }
  void TearDown() override {
    for (HDC dc : dcs) DeleteDC(dc);
    for (HBITMAP b : bitmaps) DeleteObject(b);
    ReleaseDC(nullptr, screen);
  }
  // A memory context holding a new bitmap (colour, or monochrome), filled with `fill`.
  HDC Memory(int w, int h, bool mono, COLORREF fill) {
    HBITMAP b = mono ? CreateBitmap(w, h, 1, 1, nullptr) : CreateCompatibleBitmap(screen, w, h);
    HDC dc = CreateCompatibleDC(screen);
    SelectObject(dc, b);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) SetPixel(dc, x, y, fill);
    bitmaps.push_back(b);
    dcs.push_back(dc);
    return dc;
  }
  HDC screen = nullptr;
  std::vector<HDC> dcs;
  std::vector<HBITMAP> bitmaps;
};

TEST_F(GdiBlit, RasterOperationsCombinePixelValues) {
  HDC src = Memory(1, 1, false, RGB(0x0F, 0xF0, 0x33));
  struct Case {
    DWORD rop;
    COLORREF expected;
  } cases[] = {
      {SRCCOPY, RGB(0x0F, 0xF0, 0x33)},
      {SRCPAINT, RGB(0x5F, 0xF5, 0x77)},   // 0x55 0x55 0x55 | source
      {SRCAND, RGB(0x05, 0x50, 0x11)},     // 0x55 0x55 0x55 & source
      {SRCINVERT, RGB(0x5A, 0xA5, 0x66)},  // 0x55 0x55 0x55 ^ source
      {BLACKNESS, kBlack},
      {WHITENESS, kWhite},
      {0x00550009, RGB(0xAA, 0xAA, 0xAA)},  // DSTINVERT
      {0x00330008, RGB(0xF0, 0x0F, 0xCC)},  // NOTSRCCOPY
  };
  for (const Case &c : cases) {
    HDC dst = Memory(1, 1, false, RGB(0x55, 0x55, 0x55));
    EXPECT_TRUE(BitBlt(dst, 0, 0, 1, 1, src, 0, 0, c.rop));
    EXPECT_EQ(GetPixel(dst, 0, 0), c.expected) << std::hex << c.rop;
  }
}

TEST_F(GdiBlit, MonochromeToColourUsesTheDestinationsTextAndBackgroundColours) {
  const uint8_t bits[] = {0xA0, 0x00};  // 1 0 1 0
  HBITMAP monoBmp = CreateBitmap(4, 1, 1, 1, bits);
  bitmaps.push_back(monoBmp);
  HDC mono = CreateCompatibleDC(screen);
  dcs.push_back(mono);
  SelectObject(mono, monoBmp);
  // Defaults: text black, background white, so 1 gives white and 0 black.
  HDC dst = Memory(4, 1, false, RGB(9, 9, 9));
  BitBlt(dst, 0, 0, 4, 1, mono, 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(dst, 0, 0), kWhite);
  EXPECT_EQ(GetPixel(dst, 1, 0), kBlack);
  EXPECT_EQ(GetPixel(dst, 2, 0), kWhite);
  // The source context's colours play no part; the destination's do.
  SetTextColor(mono, RGB(1, 2, 3));
  SetBkColor(mono, RGB(4, 5, 6));
  SetTextColor(dst, RGB(200, 0, 0));
  SetBkColor(dst, RGB(0, 0, 200));
  BitBlt(dst, 0, 0, 4, 1, mono, 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(dst, 0, 0), RGB(0, 0, 200));
  EXPECT_EQ(GetPixel(dst, 1, 0), RGB(200, 0, 0));
}

TEST_F(GdiBlit, ColourToMonochromeGivesOneWhereTheSourceBackgroundColourIs) {
  HDC src = Memory(3, 1, false, kWhite);
  SetPixel(src, 0, 0, RGB(10, 20, 30));
  SetPixel(src, 1, 0, RGB(10, 20, 31));
  HDC dst = Memory(3, 1, true, kBlack);
  SetBkColor(src, RGB(10, 20, 30));
  BitBlt(dst, 0, 0, 3, 1, src, 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(dst, 0, 0), kWhite);
  EXPECT_EQ(GetPixel(dst, 1, 0), kBlack);  // near is not equal
  EXPECT_EQ(GetPixel(dst, 2, 0), kBlack);  // white is not the background colour now
  // With the default white background, white becomes 1.
  SetBkColor(src, kWhite);
  BitBlt(dst, 0, 0, 3, 1, src, 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(dst, 0, 0), kBlack);
  EXPECT_EQ(GetPixel(dst, 2, 0), kWhite);
}

TEST_F(GdiBlit, MonochromeOperationsWorkOnBits) {
  HDC a = Memory(2, 1, true, kBlack);
  SetPixel(a, 1, 0, kWhite);
  HDC b = Memory(2, 1, true, kWhite);
  SetPixel(b, 1, 0, kBlack);
  BitBlt(b, 0, 0, 2, 1, a, 0, 0, SRCINVERT);  // 10 ^ 01... as pixels: (0,1) ^ (1,0)
  EXPECT_EQ(GetPixel(b, 0, 0), kWhite);
  EXPECT_EQ(GetPixel(b, 1, 0), kWhite);
  BitBlt(b, 0, 0, 2, 1, a, 0, 0, SRCAND);
  EXPECT_EQ(GetPixel(b, 0, 0), kBlack);
  EXPECT_EQ(GetPixel(b, 1, 0), kWhite);
  // A colour set on a monochrome bitmap becomes the nearer of black and white.
  EXPECT_EQ(SetPixel(a, 0, 0, RGB(200, 180, 190)), kWhite);
  EXPECT_EQ(SetPixel(a, 0, 0, RGB(60, 70, 50)), kBlack);
}

// The program's sprite: copy the screen under it, OR the mask in, AND the picture in, copy back.
TEST_F(GdiBlit, MaskedSpriteShowsPictureInsideMaskAndBackgroundOutside) {
  const int w = 5, h = 3;
  // The "screen": a memory bitmap with a different colour in every pixel.
  HDC desk = Memory(20, 10, false, kBlack);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) SetPixel(desk, x, y, RGB(x * 10, y * 20, 77));
  // Mask: a plus shape, 1 inside. Picture: white outside, colours inside.
  auto inShape = [](int x, int y) { return x == 2 || y == 1; };
  HDC mask = Memory(w, h, true, kBlack);
  HDC picture = Memory(w, h, false, kWhite);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (inShape(x, y)) {
        SetPixel(mask, x, y, kWhite);
        SetPixel(picture, x, y, RGB(255, 204, 204 - x * 10));
      }
  const int px = 7, py = 4;
  HDC work = Memory(w, h, false, kBlack);
  BitBlt(work, 0, 0, w, h, desk, px, py, SRCCOPY);
  BitBlt(work, 0, 0, w, h, mask, 0, 0, SRCPAINT);
  BitBlt(work, 0, 0, w, h, picture, 0, 0, SRCAND);
  BitBlt(desk, px, py, w, h, work, 0, 0, SRCCOPY);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) {
      bool sprite = x >= px && x < px + w && y >= py && y < py + h && inShape(x - px, y - py);
      COLORREF expected = sprite ? RGB(255, 204, 204 - (x - px) * 10) : RGB(x * 10, y * 20, 77);
      EXPECT_EQ(GetPixel(desk, x, y), expected) << x << "," << y;
    }
}

TEST_F(GdiBlit, SourceOutsideItsBitmapLeavesTheDestinationAlone) {
  HDC src = Memory(4, 4, false, RGB(1, 1, 1));
  HDC dst = Memory(8, 8, false, RGB(50, 50, 50));
  // Source (-2,-1) to (4,5): only its (0,0)-(4,4) part exists, landing at (3,2)-(7,6).
  EXPECT_TRUE(BitBlt(dst, 1, 1, 6, 6, src, -2, -1, SRCCOPY));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      bool copied = x >= 3 && x < 7 && y >= 2 && y < 6;
      EXPECT_EQ(GetPixel(dst, x, y), copied ? RGB(1, 1, 1) : RGB(50, 50, 50)) << x << "," << y;
    }
}

TEST_F(GdiBlit, DestinationIsClippedToItsBitmap) {
  HDC src = Memory(6, 6, false, RGB(7, 7, 7));
  SetPixel(src, 5, 5, RGB(9, 9, 9));
  HDC dst = Memory(3, 3, false, kBlack);
  EXPECT_TRUE(BitBlt(dst, -3, -3, 6, 6, src, 0, 0, SRCCOPY));
  EXPECT_EQ(GetPixel(dst, 2, 2), RGB(9, 9, 9));
  EXPECT_EQ(GetPixel(dst, 0, 0), RGB(7, 7, 7));
  EXPECT_EQ(GetPixel(dst, 3, 3), CLR_INVALID);
  EXPECT_EQ(GetPixel(dst, -1, 0), CLR_INVALID);
}

TEST_F(GdiBlit, OverlappingCopyWithinOneBitmapReadsTheSourceFirst) {
  HDC dc = Memory(5, 1, false, kBlack);
  for (int x = 0; x < 5; ++x) SetPixel(dc, x, 0, RGB(x, 0, 0));
  BitBlt(dc, 1, 0, 4, 1, dc, 0, 0, SRCCOPY);  // shift right by one
  for (int x = 1; x < 5; ++x) EXPECT_EQ(GetPixel(dc, x, 0), RGB(x - 1, 0, 0));
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0));
}

TEST_F(GdiBlit, BadHandlesFail) {
  HDC dst = Memory(2, 2, false, kBlack);
  HDC dead = CreateCompatibleDC(nullptr);
  DeleteDC(dead);
  EXPECT_FALSE(BitBlt(dst, 0, 0, 2, 2, dead, 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(dead, 0, 0, 2, 2, dst, 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(dst, 0, 0, 2, 2, nullptr, 0, 0, WHITENESS));  // no source needed
  EXPECT_EQ(GetPixel(dst, 1, 1), kWhite);
  EXPECT_EQ(GetPixel(dead, 0, 0), CLR_INVALID);
}

class GdiWindowBlit : public GdiBlit {
 protected:
  void SetUp() override {
    GdiBlit::SetUp();
    window = vd::CreateAppWindow("Drawn on", RECT{100, 100, 300, 250});
    vd::PaintPending();
    POINT p{0, 0};
    ClientToScreen(window, &p);
    origin = p;
  }
  HWND window = nullptr;
  POINT origin{};
};

TEST_F(GdiWindowBlit, WindowContextDrawsAtTheClientOrigin) {
  HDC src = Memory(4, 3, false, RGB(250, 10, 20));
  HDC dc = GetDC(window);
  ASSERT_NE(dc, nullptr);
  EXPECT_TRUE(BitBlt(dc, 10, 5, 4, 3, src, 0, 0, SRCCOPY));
  EXPECT_EQ(vd::Pixel(origin.x + 10, origin.y + 5), 0xFA0A14u);
  EXPECT_EQ(vd::Pixel(origin.x + 13, origin.y + 7), 0xFA0A14u);
  EXPECT_NE(vd::Pixel(origin.x + 14, origin.y + 7), 0xFA0A14u);
  EXPECT_EQ(GetPixel(dc, 11, 6), RGB(250, 10, 20));
  // Reading back from the window into a bitmap.
  HDC back = Memory(4, 3, false, kBlack);
  BitBlt(back, 0, 0, 4, 3, dc, 10, 5, SRCCOPY);
  EXPECT_EQ(GetPixel(back, 3, 2), RGB(250, 10, 20));
  EXPECT_EQ(ReleaseDC(window, dc), 1);
}

TEST_F(GdiWindowBlit, WindowContextDoesNotPaintOverTheWindowAbove) {
  HWND above = vd::CreateAppWindow("Above", RECT{150, 150, 400, 400});
  vd::PaintPending();
  uint32_t coveredBefore = vd::Pixel(200, 200);
  HDC dc = GetDC(window);
  RECT all{-50, -50, 500, 500};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(dc, &all, red);
  EXPECT_EQ(vd::Pixel(origin.x + 1, origin.y + 1), 0xFF0000u);
  EXPECT_EQ(vd::Pixel(200, 200), coveredBefore);  // the window above keeps its pixels
  EXPECT_EQ(GetPixel(dc, 200 - origin.x, 200 - origin.y), CLR_INVALID);
  EXPECT_NE(vd::Pixel(50, 50), 0xFF0000u);  // nor does the desktop outside the window change
  ReleaseDC(window, dc);
  DeleteObject(red);
  vd::CloseAppWindow(above);
}

TEST_F(GdiWindowBlit, BlitWithinOneWindowContextMovesItsPixels) {
  // A window above covers a corner, so the visible part is not one rectangle.
  HWND above = vd::CreateAppWindow("Corner", RECT{250, 200, 400, 400});
  vd::PaintPending();
  HDC dc = GetDC(window);
  HDC src = Memory(3, 3, false, RGB(1, 200, 3));
  BitBlt(dc, 0, 0, 3, 3, src, 0, 0, SRCCOPY);
  EXPECT_TRUE(BitBlt(dc, 2, 1, 3, 3, dc, 0, 0, SRCCOPY));  // overlapping move
  EXPECT_EQ(GetPixel(dc, 4, 3), RGB(1, 200, 3));
  EXPECT_EQ(GetPixel(dc, 2, 1), RGB(1, 200, 3));
  // Reading from the context itself leaves its clip in force.
  pixman_region32_t clip;
  pixman_region32_init_rect(&clip, origin.x + 20, origin.y, 2, 2);
  vd::gdi::SetExtraClip(dc, &clip);
  pixman_region32_fini(&clip);
  uint32_t outside = vd::Pixel(origin.x + 22, origin.y);
  EXPECT_TRUE(BitBlt(dc, 20, 0, 3, 3, dc, 2, 1, SRCCOPY));
  EXPECT_EQ(vd::Pixel(origin.x + 21, origin.y + 1), 0x01C803u);
  EXPECT_EQ(vd::Pixel(origin.x + 22, origin.y), outside);
  ReleaseDC(window, dc);
  vd::CloseAppWindow(above);
}

TEST_F(GdiWindowBlit, ExtraClipLimitsAContextToItsRegion) {
  HDC dc = GetDC(window);
  pixman_region32_t clip;
  pixman_region32_init_rect(&clip, origin.x, origin.y, 5, 5);
  vd::gdi::SetExtraClip(dc, &clip);
  pixman_region32_fini(&clip);
  RECT all{0, 0, 50, 50};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(vd::Pixel(origin.x + 4, origin.y + 4), 0u);
  EXPECT_NE(vd::Pixel(origin.x + 5, origin.y + 4), 0u);
  ReleaseDC(window, dc);
}

TEST_F(GdiWindowBlit, ScreenContextCoversEveryWindow) {
  HDC src = Memory(2, 2, false, RGB(0, 255, 0));
  BitBlt(screen, origin.x, origin.y, 2, 2, src, 0, 0, SRCCOPY);
  EXPECT_EQ(vd::Pixel(origin.x + 1, origin.y + 1), 0x00FF00u);
  BitBlt(screen, 0, 0, 2, 2, src, 0, 0, SRCCOPY);
  EXPECT_EQ(vd::Pixel(0, 0), 0x00FF00u);
}

TEST_F(GdiWindowBlit, ContextOfADestroyedWindowDrawsNothing) {
  HDC dc = GetDC(window);
  vd::CloseAppWindow(window);
  vd::PaintPending();
  uint32_t before = vd::Pixel(origin.x + 1, origin.y + 1);
  RECT all{0, 0, 50, 50};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(vd::Pixel(origin.x + 1, origin.y + 1), before);
  EXPECT_EQ(GetPixel(dc, 1, 1), CLR_INVALID);
  ReleaseDC(window, dc);
}

}  // namespace
