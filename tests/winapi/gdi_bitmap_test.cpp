// Bitmaps as Win32 makes them: monochrome and colour device bitmaps, their
// GetObjectA description, the formats of compatible bitmaps, and DIBs read
// the way LoadBitmapA reads the module's RT_BITMAP resources.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/resources.h"
#include "gdi32/objects.h"
#include "resource.h"
#include "vdesktop.h"
#include "windows.h"

namespace {

class GdiBitmap : public ::testing::Test {
 protected:
  void SetUp() override { vd::Reset(); }
};

BITMAP Describe(HBITMAP bmp) {
  BITMAP bm{};
  EXPECT_EQ(GetObjectA(bmp, sizeof bm, &bm), int(sizeof bm));
  return bm;
}

// The colour of a bitmap's pixel, read through a memory context.
COLORREF PixelOf(HBITMAP bmp, int x, int y) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bmp);
  COLORREF c = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteDC(dc);
  return c;
}

void Put32(std::vector<uint8_t> &v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}
void Put16(std::vector<uint8_t> &v, uint16_t x) {
  v.push_back(uint8_t(x));
  v.push_back(uint8_t(x >> 8));
}

// A packed DIB: BITMAPINFOHEADER, colour table (0x00RRGGBB values), rows as given
// (each already padded to 4 bytes, in file order).
std::vector<uint8_t> Dib(int width, int height, int bpp, const std::vector<uint32_t> &palette,
                         const std::vector<std::vector<uint8_t>> &rows, uint32_t clrUsed = 0) {
  std::vector<uint8_t> v;
  Put32(v, 40);
  Put32(v, uint32_t(width));
  Put32(v, uint32_t(height));
  Put16(v, 1);
  Put16(v, uint16_t(bpp));
  Put32(v, 0);  // BI_RGB
  Put32(v, 0);
  Put32(v, 2835);
  Put32(v, 2835);
  Put32(v, clrUsed);
  Put32(v, 0);
  for (uint32_t c : palette) Put32(v, c);  // RGBQUAD: blue, green, red, 0 is 0x00RRGGBB little-endian
  for (auto &row : rows) v.insert(v.end(), row.begin(), row.end());
  return v;
}

TEST_F(GdiBitmap, CreateBitmapDescribesItselfAsADeviceBitmap) {
  HBITMAP mono = CreateBitmap(13, 10, 1, 1, nullptr);
  BITMAP bm = Describe(mono);
  EXPECT_EQ(bm.bmType, 0);
  EXPECT_EQ(bm.bmWidth, 13);
  EXPECT_EQ(bm.bmHeight, 10);
  EXPECT_EQ(bm.bmWidthBytes, 2);  // rows of a device bitmap are padded to 16 bits
  EXPECT_EQ(bm.bmPlanes, 1);
  EXPECT_EQ(bm.bmBitsPixel, 1);
  EXPECT_EQ(bm.bmBits, nullptr);
  HBITMAP colour = CreateBitmap(13, 10, 1, 32, nullptr);
  bm = Describe(colour);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  EXPECT_EQ(bm.bmWidthBytes, 52);
  // Depths are rounded up to one Win32 has.
  HBITMAP odd = CreateBitmap(3, 3, 1, 5, nullptr);
  EXPECT_EQ(Describe(odd).bmBitsPixel, 8);
  for (HBITMAP b : {mono, colour, odd}) DeleteObject(b);
}

TEST_F(GdiBitmap, GetObjectSizeQueryAndShortBuffers) {
  HBITMAP b = CreateBitmap(4, 4, 1, 1, nullptr);
  EXPECT_EQ(GetObjectA(b, 0, nullptr), int(sizeof(BITMAP)));
  BITMAP bm{};
  EXPECT_EQ(GetObjectA(b, 0, &bm), 0);
  EXPECT_EQ(GetObjectA(b, sizeof bm / 2, &bm), 0);
  unsigned char big[64];
  EXPECT_EQ(GetObjectA(b, sizeof big, big), int(sizeof(BITMAP)));
  DeleteObject(b);
  EXPECT_EQ(GetObjectA(b, sizeof bm, &bm), 0);
}

TEST_F(GdiBitmap, CreateBitmapReadsWordAlignedTopDownBits) {
  // 10 pixels a row: two bytes of bits, padded to a 16-bit boundary already.
  const uint8_t bits[] = {0xA0, 0x40, 0x00, 0x00};  // row 0: 1010 0000 01.., row 1: all 0
  HBITMAP mono = CreateBitmap(10, 2, 1, 1, bits);
  EXPECT_EQ(PixelOf(mono, 0, 0), RGB(255, 255, 255));
  EXPECT_EQ(PixelOf(mono, 1, 0), RGB(0, 0, 0));
  EXPECT_EQ(PixelOf(mono, 2, 0), RGB(255, 255, 255));
  EXPECT_EQ(PixelOf(mono, 9, 0), RGB(255, 255, 255));
  EXPECT_EQ(PixelOf(mono, 9, 1), RGB(0, 0, 0));
  const uint32_t colourBits[] = {0x00112233, 0x00FFFFFF};
  HBITMAP colour = CreateBitmap(2, 1, 1, 32, colourBits);
  EXPECT_EQ(PixelOf(colour, 0, 0), RGB(0x11, 0x22, 0x33));
  DeleteObject(mono);
  DeleteObject(colour);
}

TEST_F(GdiBitmap, ZeroSizeGivesTheStockOneByOneMonochromeBitmap) {
  int before = vd::LiveGdiObjects();
  HDC screen = GetDC(nullptr);
  HBITMAP a = CreateCompatibleBitmap(screen, 0, 5);
  HBITMAP b = CreateBitmap(7, 0, 1, 32, nullptr);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  BITMAP bm = Describe(a);
  EXPECT_EQ(bm.bmWidth, 1);
  EXPECT_EQ(bm.bmHeight, 1);
  EXPECT_EQ(bm.bmBitsPixel, 1);
  EXPECT_EQ(vd::LiveGdiObjects(), before);  // a stock object is not counted
  EXPECT_TRUE(DeleteObject(a));             // and deleting it changes nothing
  EXPECT_EQ(Describe(a).bmWidth, 1);
  ReleaseDC(nullptr, screen);
}

TEST_F(GdiBitmap, BadSizesFail) {
  EXPECT_EQ(CreateBitmap(4, 4, 2, 1, nullptr), nullptr);   // planes other than 1
  EXPECT_EQ(CreateBitmap(4, 4, 1, 33, nullptr), nullptr);  // no such depth
  EXPECT_EQ(CreateBitmap(0x10000000, 4, 1, 1, nullptr), nullptr);
  HBITMAP flipped = CreateBitmap(-4, -3, 1, 1, nullptr);  // negative sizes count by their size
  EXPECT_EQ(Describe(flipped).bmWidth, 4);
  EXPECT_EQ(Describe(flipped).bmHeight, 3);
  DeleteObject(flipped);
  EXPECT_EQ(CreateCompatibleBitmap(nullptr, 4, 4), nullptr);
}

TEST_F(GdiBitmap, CompatibleBitmapTakesTheContextsFormat) {
  HDC screen = GetDC(nullptr);
  HBITMAP fromScreen = CreateCompatibleBitmap(screen, 5, 4);
  EXPECT_EQ(Describe(fromScreen).bmBitsPixel, 32);
  // A fresh memory context holds a 1x1 monochrome bitmap, so it makes monochrome ones.
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP fromFresh = CreateCompatibleBitmap(mem, 5, 4);
  EXPECT_EQ(Describe(fromFresh).bmBitsPixel, 1);
  HGDIOBJ old = SelectObject(mem, fromScreen);
  HBITMAP fromColour = CreateCompatibleBitmap(mem, 5, 4);
  EXPECT_EQ(Describe(fromColour).bmBitsPixel, 32);
  SelectObject(mem, old);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  for (HBITMAP b : {fromScreen, fromFresh, fromColour}) DeleteObject(b);
}

TEST_F(GdiBitmap, EightBitDisplayMakesEightBitColourBitmaps) {
  vd::Config config;
  config.bitsPerPixel = 8;
  vd::Reset(config);
  HDC screen = GetDC(nullptr);
  HBITMAP b = CreateCompatibleBitmap(screen, 3, 3);
  EXPECT_EQ(Describe(b).bmBitsPixel, 8);
  EXPECT_EQ(Describe(b).bmWidthBytes, 4);
  // Such a bitmap still holds true colours here; only its description follows the display.
  HDC mem = CreateCompatibleDC(screen);
  ASSERT_NE(SelectObject(mem, b), nullptr);
  SetPixel(mem, 1, 1, RGB(12, 34, 56));
  EXPECT_EQ(GetPixel(mem, 1, 1), RGB(12, 34, 56));
  // A 32-bit bitmap does not fit an 8-bit display's context.
  HBITMAP deep = CreateBitmap(3, 3, 1, 32, nullptr);
  EXPECT_EQ(SelectObject(mem, deep), nullptr);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  DeleteObject(b);
  DeleteObject(deep);
}

// A DIB section is not a device bitmap: any memory context takes it, whatever
// the display's depth, and its pixels are the caller's bits.
TEST_F(GdiBitmap, DibSectionSelectsOnAnEightBitDisplayAndSharesItsBits) {
  vd::Config config;
  config.bitsPerPixel = 8;
  vd::Reset(config);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = 4;
  info.bmiHeader.biHeight = -3;  // top down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void *bits = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(section, nullptr);
  ASSERT_NE(bits, nullptr);
  static_cast<uint32_t *>(bits)[1 * 4 + 2] = 0x00FF8000;  // row 1, column 2: BGRX
  HDC mem = CreateCompatibleDC(nullptr);
  EXPECT_NE(SelectObject(mem, section), nullptr);
  EXPECT_EQ(GetPixel(mem, 2, 1), RGB(255, 128, 0));
  BITMAP bm = Describe(section);
  EXPECT_EQ(bm.bmBits, bits);
  EXPECT_EQ(bm.bmWidthBytes, 16);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  DeleteDC(mem);
  DeleteObject(section);

  // A width or height of 0, a negative width, a compression a 32-bit DIB
  // cannot have: no section, and no bits.
  for (auto change : {+[](BITMAPINFOHEADER &h) { h.biWidth = 0; }, +[](BITMAPINFOHEADER &h) { h.biHeight = 0; },
                      +[](BITMAPINFOHEADER &h) { h.biWidth = -4; },
                      +[](BITMAPINFOHEADER &h) { h.biCompression = BI_RLE8; }}) {
    BITMAPINFO bad = info;
    change(bad.bmiHeader);
    bits = &info;
    EXPECT_EQ(CreateDIBSection(nullptr, &bad, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
  }
}

TEST_F(GdiBitmap, BlackAndWhiteOneBitDibLoadsMonochrome) {
  // 3x2, bottom-up: the first row in the data is the bottom row.
  auto dib = Dib(3, 2, 1, {0x000000, 0xFFFFFF}, {{0x40, 0, 0, 0}, {0xA0, 0, 0, 0}});
  HBITMAP b = vd::gdi::BitmapFromPackedDib(dib.data(), dib.size());
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(Describe(b).bmBitsPixel, 1);
  EXPECT_EQ(PixelOf(b, 0, 0), RGB(255, 255, 255));  // top row 101
  EXPECT_EQ(PixelOf(b, 1, 0), RGB(0, 0, 0));
  EXPECT_EQ(PixelOf(b, 2, 0), RGB(255, 255, 255));
  EXPECT_EQ(PixelOf(b, 0, 1), RGB(0, 0, 0));  // bottom row 010
  EXPECT_EQ(PixelOf(b, 1, 1), RGB(255, 255, 255));
  DeleteObject(b);
}

TEST_F(GdiBitmap, OtherOneBitDibsLoadAsColour) {
  // White then black: not the monochrome palette, so a colour bitmap with those colours.
  auto inverted = Dib(2, 1, 1, {0xFFFFFF, 0x000000}, {{0x80, 0, 0, 0}});
  HBITMAP b = vd::gdi::BitmapFromPackedDib(inverted.data(), inverted.size());
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(Describe(b).bmBitsPixel, 32);
  EXPECT_EQ(PixelOf(b, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(PixelOf(b, 1, 0), RGB(255, 255, 255));
  auto tinted = Dib(2, 1, 1, {0xFF0000, 0x00FF00}, {{0x40, 0, 0, 0}});
  HBITMAP t = vd::gdi::BitmapFromPackedDib(tinted.data(), tinted.size());
  EXPECT_EQ(PixelOf(t, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(t, 1, 0), RGB(0, 255, 0));
  DeleteObject(b);
  DeleteObject(t);
}

TEST_F(GdiBitmap, PalettedAndTrueColourDibsLoadTheirColours) {
  // 4 bits: 3x1 with indices 2, 1, 0; a short colour table of 3 entries.
  auto four = Dib(3, 1, 4, {0x000000, 0x102030, 0xA0B0C0}, {{0x21, 0x00, 0, 0}}, 3);
  HBITMAP b4 = vd::gdi::BitmapFromPackedDib(four.data(), four.size());
  ASSERT_NE(b4, nullptr);
  EXPECT_EQ(PixelOf(b4, 0, 0), RGB(0xA0, 0xB0, 0xC0));
  EXPECT_EQ(PixelOf(b4, 1, 0), RGB(0x10, 0x20, 0x30));
  EXPECT_EQ(PixelOf(b4, 2, 0), RGB(0, 0, 0));
  // 8 bits, 2x2 bottom-up: rows padded to 4 bytes.
  std::vector<uint32_t> pal(256, 0);
  pal[7] = 0xFFCCCC;
  pal[9] = 0xCC6699;
  auto eight = Dib(2, 2, 8, pal, {{7, 9, 0, 0}, {9, 7, 0, 0}});
  HBITMAP b8 = vd::gdi::BitmapFromPackedDib(eight.data(), eight.size());
  ASSERT_NE(b8, nullptr);
  EXPECT_EQ(Describe(b8).bmBitsPixel, 32);
  EXPECT_EQ(PixelOf(b8, 0, 0), RGB(0xCC, 0x66, 0x99));  // top row is the second in the data
  EXPECT_EQ(PixelOf(b8, 1, 0), RGB(0xFF, 0xCC, 0xCC));
  EXPECT_EQ(PixelOf(b8, 0, 1), RGB(0xFF, 0xCC, 0xCC));
  // 24 bits: blue, green, red bytes; 2 pixels make 6 bytes padded to 8.
  auto rgb = Dib(2, 1, 24, {}, {{0x03, 0x02, 0x01, 0x30, 0x20, 0x10, 0, 0}});
  HBITMAP b24 = vd::gdi::BitmapFromPackedDib(rgb.data(), rgb.size());
  ASSERT_NE(b24, nullptr);
  EXPECT_EQ(PixelOf(b24, 0, 0), RGB(1, 2, 3));
  EXPECT_EQ(PixelOf(b24, 1, 0), RGB(0x10, 0x20, 0x30));
  // 32 bits, top-down (negative height).
  auto top = Dib(1, -2, 32, {}, {{0x33, 0x22, 0x11, 0}, {0x66, 0x55, 0x44, 0}});
  HBITMAP b32 = vd::gdi::BitmapFromPackedDib(top.data(), top.size());
  ASSERT_NE(b32, nullptr);
  EXPECT_EQ(Describe(b32).bmHeight, 2);
  EXPECT_EQ(PixelOf(b32, 0, 0), RGB(0x11, 0x22, 0x33));
  EXPECT_EQ(PixelOf(b32, 0, 1), RGB(0x44, 0x55, 0x66));
  for (HBITMAP b : {b4, b8, b24, b32}) DeleteObject(b);
}

TEST_F(GdiBitmap, MalformedDibsLoadNothing) {
  auto good = Dib(4, 4, 8, std::vector<uint32_t>(256, 0), std::vector<std::vector<uint8_t>>(4, std::vector<uint8_t>(4)));
  int before = vd::LiveGdiObjects();
  for (size_t cut : {size_t(0), size_t(11), size_t(39), size_t(100), good.size() - 1})
    EXPECT_EQ(vd::gdi::BitmapFromPackedDib(good.data(), cut), nullptr) << "cut at " << cut;
  auto bad = good;
  bad[14] = 3;  // 3 bits per pixel
  EXPECT_EQ(vd::gdi::BitmapFromPackedDib(bad.data(), bad.size()), nullptr);
  bad = good;
  bad[4] = 0;  // width 0
  EXPECT_EQ(vd::gdi::BitmapFromPackedDib(bad.data(), bad.size()), nullptr);
  bad = good;
  bad[16] = 1;  // run-length encoded
  EXPECT_EQ(vd::gdi::BitmapFromPackedDib(bad.data(), bad.size()), nullptr);
  bad = good;
  std::memset(&bad[4], 0x7F, 4);  // a width the data cannot hold
  EXPECT_EQ(vd::gdi::BitmapFromPackedDib(bad.data(), bad.size()), nullptr);
  EXPECT_EQ(vd::LiveGdiObjects(), before);
}

TEST_F(GdiBitmap, LoadBitmapReadsTheModulesPetalPictureAndMask) {
  HINSTANCE module = GetModuleHandleA(nullptr);
  HBITMAP picture = LoadBitmapA(module, MAKEINTRESOURCE(184));
  HBITMAP mask = LoadBitmapA(module, MAKEINTRESOURCE(186));
  ASSERT_NE(picture, nullptr);
  ASSERT_NE(mask, nullptr);
  BITMAP p = Describe(picture), m = Describe(mask);
  EXPECT_EQ(p.bmWidth, 13);
  EXPECT_EQ(p.bmHeight, 10);
  EXPECT_EQ(p.bmBitsPixel, 32);  // an 8-bit DIB becomes a bitmap of the display
  EXPECT_EQ(m.bmWidth, 13);
  EXPECT_EQ(m.bmHeight, 10);
  EXPECT_EQ(m.bmBitsPixel, 1);  // a black-and-white DIB stays monochrome
  // Outside the shape the mask is 0 and the picture white; inside the mask is 1.
  int inside = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 13; ++x) {
      if (PixelOf(mask, x, y) == RGB(255, 255, 255))
        ++inside;
      else
        EXPECT_EQ(PixelOf(picture, x, y), RGB(255, 255, 255)) << x << "," << y;
    }
  EXPECT_GT(inside, 20);
  EXPECT_EQ(vd::LiveGdiObjects(7), 2);
  DeleteObject(picture);
  DeleteObject(mask);
}

TEST_F(GdiBitmap, LoadBitmapOfTheBranchAndOfMissingIds) {
  HINSTANCE module = GetModuleHandleA(nullptr);
  HBITMAP branch = LoadBitmapA(module, MAKEINTRESOURCE(197));
  ASSERT_NE(branch, nullptr);
  EXPECT_EQ(Describe(branch).bmWidth, 334);
  EXPECT_EQ(Describe(branch).bmHeight, 93);
  EXPECT_EQ(LoadBitmapA(module, MAKEINTRESOURCE(9999)), nullptr);
  EXPECT_EQ(LoadBitmapA(module, "NOSUCHBITMAP"), nullptr);
  EXPECT_EQ(LoadBitmapA(reinterpret_cast<HINSTANCE>(uintptr_t(0x1234000)), MAKEINTRESOURCE(197)), nullptr);
  DeleteObject(branch);
}

TEST_F(GdiBitmap, LoadBitmapGivesA256ColourPictureTheColoursOfItsPalette) {
  // The settings dialog's picture of falling petals: 64 x 32, 8 bits, a palette
  // whose entries beyond the colour cube (the desktop's teal) must come through.
  vd::res::Blob dib;
  ASSERT_TRUE(vd::res::Find(RT_BITMAP, MAKEINTRESOURCE(IDB_FALLING), &dib));
  ASSERT_GE(dib.size, 40u + 1024u + 64u * 32u);
  const uint8_t *p = dib.data;
  ASSERT_EQ(p[14], 8);  // bits per pixel
  const uint8_t *palette = p + 40, *bits = palette + 1024;
  HBITMAP picture = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(IDB_FALLING));
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(Describe(picture).bmWidth, 64);
  EXPECT_EQ(Describe(picture).bmHeight, 32);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, picture);
  int wrong = 0, teal = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) {
      const uint8_t *entry = palette + 4 * bits[(31 - y) * 64 + x];  // bottom-up rows
      COLORREF want = RGB(entry[2], entry[1], entry[0]);
      COLORREF got = GetPixel(dc, x, y);
      wrong += got != want;
      teal += got == RGB(0, 128, 128);
    }
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(picture);
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(teal, 64 * 32 / 2);
}

}  // namespace
