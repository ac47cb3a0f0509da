// Fonts and text as Win32 has them: logical fonts, metrics, extents, TextOutA
// and DrawTextA, drawn through the context's clip.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "vdesktop.h"
#include "windows.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

class GdiText : public ::testing::Test {
 protected:
  void SetUp() override {
    vd::Reset();
    dc_ = CreateCompatibleDC(nullptr);
    HDC screen = GetDC(nullptr);
    bitmap_ = CreateCompatibleBitmap(screen, kWidth, kHeight);
    ReleaseDC(nullptr, screen);
    SelectObject(dc_, bitmap_);
    Clear(kWhite);
  }
  void TearDown() override {
    DeleteDC(dc_);
    DeleteObject(bitmap_);
    EXPECT_EQ(vd::LiveGdiObjects(), 0) << "a test leaked a GDI object";
  }
  void Clear(COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    RECT all{0, 0, kWidth, kHeight};
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
  }
  static HFONT Font(int height, const char *face = "Arial", int weight = 0, int width = 0) {
    return CreateFontA(height, width, 0, 0, weight, 0, 0, 0, 0, 0, 0, 0, 0, face);
  }
  TEXTMETRICA Metrics(HFONT font) {
    HGDIOBJ old = SelectObject(dc_, font);
    TEXTMETRICA tm{};
    EXPECT_TRUE(GetTextMetricsA(dc_, &tm));
    SelectObject(dc_, old);
    return tm;
  }
  // The bounding box of pixels that are not `background`; empty when there are none.
  RECT Ink(COLORREF background = kWhite, RECT within = RECT{0, 0, kWidth, kHeight}) {
    RECT box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int y = within.top; y < within.bottom; ++y)
      for (int x = within.left; x < within.right; ++x)
        if (GetPixel(dc_, x, y) != background) {
          box.left = std::min<LONG>(box.left, x);
          box.top = std::min<LONG>(box.top, y);
          box.right = std::max<LONG>(box.right, x + 1);
          box.bottom = std::max<LONG>(box.bottom, y + 1);
        }
    if (box.left > box.right) box = RECT{0, 0, 0, 0};
    return box;
  }
  // The bounding box of pixels of exactly `color`.
  RECT Box(COLORREF color) {
    RECT box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        if (GetPixel(dc_, x, y) == color) {
          box.left = std::min<LONG>(box.left, x);
          box.top = std::min<LONG>(box.top, y);
          box.right = std::max<LONG>(box.right, x + 1);
          box.bottom = std::max<LONG>(box.bottom, y + 1);
        }
    if (box.left > box.right) box = RECT{0, 0, 0, 0};
    return box;
  }
  static constexpr int kWidth = 320;
  static constexpr int kHeight = 160;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
};

TEST_F(GdiText, NegativeHeightIsTheCharacterHeightPositiveTheCellHeight) {
  for (int h : {8, 11, 13, 17, 24, 40}) {
    HFONT em = Font(-h), cell = Font(h);
    TEXTMETRICA byEm = Metrics(em), byCell = Metrics(cell);
    EXPECT_EQ(byEm.tmHeight - byEm.tmInternalLeading, h) << h;
    EXPECT_EQ(byCell.tmHeight, h) << h;
    EXPECT_GT(byEm.tmHeight, byCell.tmHeight) << "the cell of a " << h << "-pixel character is taller";
    for (const TEXTMETRICA &tm : {byEm, byCell}) {
      EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
      EXPECT_GE(tm.tmInternalLeading, 0);
      EXPECT_GE(tm.tmExternalLeading, 0);
      EXPECT_GT(tm.tmMaxCharWidth, tm.tmAveCharWidth);
    }
    DeleteObject(em);
    DeleteObject(cell);
  }
}

TEST_F(GdiText, HeightZeroGivesTheDefaultSize) {
  HFONT font = Font(0);
  TEXTMETRICA tm = Metrics(font);
  EXPECT_GT(tm.tmHeight, 10);
  EXPECT_LT(tm.tmHeight, 24);
  DeleteObject(font);
}

TEST_F(GdiText, ArialIsAMetricCompatibleFace) {
  HFONT font = Font(-17);
  SelectObject(dc_, font);
  char face[LF_FACESIZE] = {};
  EXPECT_GT(GetTextFaceA(dc_, sizeof face, face), 0);
  EXPECT_STREQ(face, "Liberation Sans");
  // Arial's own numbers at 17 pixels: ascent 15, descent 4.
  TEXTMETRICA tm{};
  GetTextMetricsA(dc_, &tm);
  EXPECT_EQ(tm.tmAscent, 15);
  EXPECT_EQ(tm.tmDescent, 4);
  SIZE size{};
  EXPECT_TRUE(GetTextExtentPoint32A(dc_, "Mivora", 6, &size));
  EXPECT_EQ(size.cy, 19);
  EXPECT_GT(size.cx, 40);
  EXPECT_LT(size.cx, 60);
  SelectObject(dc_, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
}

TEST_F(GdiText, EightPointDialogFontGivesTheUsualBaseUnits) {
  // What the dialog manager computes: the average width of the 52 letters, rounded, and the cell height.
  for (const char *face : {"MS Sans Serif", "MS Shell Dlg"}) {
    HFONT font = Font(-11, face);  // 8 points at 96 dots per inch
    SelectObject(dc_, font);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc_, &tm);
    SIZE size{};
    const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    GetTextExtentPoint32A(dc_, letters, 52, &size);
    EXPECT_EQ((size.cx / 26 + 1) / 2, 6) << face;
    EXPECT_EQ(tm.tmHeight, 13) << face;
    SelectObject(dc_, GetStockObject(SYSTEM_FONT));
    DeleteObject(font);
  }
}

TEST_F(GdiText, WeightItalicUnderlineAndStrikeOutShowInMetricsAndPixels) {
  HFONT normal = Font(-20), bold = Font(-20, "Arial", FW_BOLD);
  EXPECT_EQ(Metrics(normal).tmWeight, FW_NORMAL);  // weight 0 asks for the default
  EXPECT_EQ(Metrics(bold).tmWeight, FW_BOLD);
  // Bold strokes put more ink down.
  auto inkCount = [&](HFONT font) {
    Clear(kWhite);
    SelectObject(dc_, font);
    TextOutA(dc_, 10, 10, "Iiiii", 5);
    SelectObject(dc_, GetStockObject(SYSTEM_FONT));
    int n = 0;
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 120; ++x) n += GetPixel(dc_, x, y) != kWhite;
    return n;
  };
  EXPECT_GT(inkCount(bold), inkCount(normal) * 5 / 4);

  HFONT lined = CreateFontA(-20, 0, 0, 0, 0, TRUE, TRUE, TRUE, 0, 0, 0, 0, 0, "Arial");
  TEXTMETRICA tm = Metrics(lined);
  EXPECT_NE(tm.tmItalic, 0);
  EXPECT_NE(tm.tmUnderlined, 0);
  EXPECT_NE(tm.tmStruckOut, 0);
  // The underline runs below the baseline and the strike-out through the middle, across the whole text.
  Clear(kWhite);
  SelectObject(dc_, lined);
  TextOutA(dc_, 10, 10, "o   o", 5);
  SIZE size{};
  GetTextExtentPoint32A(dc_, "o   o", 5, &size);
  SelectObject(dc_, GetStockObject(SYSTEM_FONT));
  int midX = 10 + size.cx / 2;  // between the two letters: only the lines are there
  RECT column = Ink(kWhite, RECT{midX, 0, midX + 1, kHeight});
  EXPECT_GT(column.bottom, 10 + tm.tmAscent) << "underline below the baseline";
  bool strike = false;
  for (int y = 10 + tm.tmInternalLeading; y < 10 + tm.tmAscent; ++y) strike |= GetPixel(dc_, midX, y) != kWhite;
  EXPECT_TRUE(strike) << "strike-out above the baseline";
  DeleteObject(normal);
  DeleteObject(bold);
  DeleteObject(lined);
}

TEST_F(GdiText, WidthAsksForThatAverageCharacterWidth) {
  HFONT natural = Font(-20);
  int average = Metrics(natural).tmAveCharWidth;
  HFONT wide = Font(-20, "Arial", 0, average * 2), narrow = Font(-20, "Arial", 0, average / 2);
  EXPECT_EQ(Metrics(wide).tmAveCharWidth, average * 2);
  EXPECT_EQ(Metrics(narrow).tmAveCharWidth, average / 2);
  EXPECT_EQ(Metrics(wide).tmHeight, Metrics(natural).tmHeight);  // the height stays
  SIZE n{}, w{};
  SelectObject(dc_, natural);
  GetTextExtentPoint32A(dc_, "Mivora petals", 13, &n);
  SelectObject(dc_, wide);
  GetTextExtentPoint32A(dc_, "Mivora petals", 13, &w);
  SelectObject(dc_, GetStockObject(SYSTEM_FONT));
  EXPECT_NEAR(double(w.cx) / n.cx, 2.0, 0.2);
  DeleteObject(natural);
  DeleteObject(wide);
  DeleteObject(narrow);
}

TEST_F(GdiText, GetObjectGivesBackTheLogicalFont) {
  LOGFONTA in;
  std::memset(&in, 0, sizeof in);
  in.lfHeight = -13;
  in.lfWidth = 5;
  in.lfWeight = FW_BOLD;
  in.lfItalic = 1;
  in.lfQuality = ANTIALIASED_QUALITY;
  std::strcpy(in.lfFaceName, "Times New Roman");
  HFONT font = CreateFontIndirectA(&in);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(GetObjectA(font, 0, nullptr), int(sizeof(LOGFONTA)));
  LOGFONTA out;
  std::memset(&out, 0x55, sizeof out);
  EXPECT_EQ(GetObjectA(font, sizeof out, &out), int(sizeof(LOGFONTA)));
  EXPECT_EQ(std::memcmp(&in, &out, sizeof in), 0);
  EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);
  DeleteObject(font);
  EXPECT_EQ(GetObjectA(font, sizeof out, &out), 0);  // deleted

  // Stock fonts are logical fonts too.
  EXPECT_EQ(GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof out, &out), int(sizeof(LOGFONTA)));
  EXPECT_EQ(out.lfHeight, -11);
  EXPECT_STREQ(out.lfFaceName, "MS Shell Dlg");
  GetObjectA(GetStockObject(SYSTEM_FONT), sizeof out, &out);
  EXPECT_EQ(out.lfWeight, FW_BOLD);
  EXPECT_STREQ(out.lfFaceName, "System");
  TEXTMETRICA tm{};
  ASSERT_TRUE(GetTextMetricsA(dc_, &tm));  // a fresh context draws with the system font
  EXPECT_EQ(tm.tmHeight, 16);
  EXPECT_EQ(tm.tmWeight, FW_BOLD);
  SelectObject(dc_, GetStockObject(ANSI_VAR_FONT));
  EXPECT_TRUE(GetTextMetricsA(dc_, &tm));
  EXPECT_EQ(tm.tmHeight, 12);
  SelectObject(dc_, GetStockObject(SYSTEM_FONT));
}

TEST_F(GdiText, ExtentsAddUpAndDeadContextsFail) {
  HFONT font = Font(-15);
  SelectObject(dc_, font);
  SIZE a{}, b{}, ab{}, none{};
  EXPECT_TRUE(GetTextExtentPoint32A(dc_, "W", 1, &a));
  EXPECT_TRUE(GetTextExtentPoint32A(dc_, "i", 1, &b));
  EXPECT_TRUE(GetTextExtentPoint32A(dc_, "Wi", 2, &ab));
  EXPECT_EQ(ab.cx, a.cx + b.cx);  // no kerning, as GDI's plain text output
  EXPECT_GT(a.cx, b.cx);
  EXPECT_TRUE(GetTextExtentPoint32A(dc_, "", 0, &none));
  EXPECT_EQ(none.cx, 0);
  EXPECT_EQ(none.cy, a.cy);
  EXPECT_FALSE(GetTextExtentPoint32A(dc_, "x", -1, &none));
  EXPECT_FALSE(GetTextExtentPoint32A(dc_, nullptr, 3, &none));
  SelectObject(dc_, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);

  HDC dead = CreateCompatibleDC(nullptr);
  DeleteDC(dead);
  TEXTMETRICA tm;
  EXPECT_FALSE(GetTextMetricsA(dead, &tm));
  EXPECT_FALSE(GetTextExtentPoint32A(dead, "x", 1, &a));
  EXPECT_FALSE(TextOutA(dead, 0, 0, "x", 1));
  RECT r{0, 0, 10, 10};
  EXPECT_EQ(DrawTextA(dead, "x", 1, &r, 0), 0);
}

TEST_F(GdiText, OpaqueModeFillsTheCellTransparentLeavesTheBackground) {
  HFONT font = Font(-16);
  SelectObject(dc_, font);
  SIZE size{};
  GetTextExtentPoint32A(dc_, " a b ", 5, &size);
  SetBkColor(dc_, RGB(0, 0, 255));
  SetTextColor(dc_, RGB(255, 0, 0));
  EXPECT_EQ(GetBkMode(dc_), OPAQUE);  // the default
  EXPECT_TRUE(TextOutA(dc_, 20, 30, " a b ", 5));
  RECT cell = Ink();
  EXPECT_EQ(cell.left, 20);
  EXPECT_EQ(cell.top, 30);
  EXPECT_EQ(cell.right, 20 + size.cx);
  EXPECT_EQ(cell.bottom, 30 + size.cy);
  EXPECT_EQ(GetPixel(dc_, 20 + size.cx / 2, 31), RGB(0, 0, 255));  // above the letters: background colour
  bool red = false;
  for (int y = 30; y < 30 + size.cy; ++y)
    for (int x = 20; x < 20 + size.cx; ++x) red |= GetPixel(dc_, x, y) == RGB(255, 0, 0);
  EXPECT_TRUE(red) << "the letters in the text colour";

  Clear(kWhite);
  EXPECT_EQ(SetBkMode(dc_, TRANSPARENT), OPAQUE);
  EXPECT_EQ(GetBkMode(dc_), TRANSPARENT);
  TextOutA(dc_, 20, 30, " a b ", 5);
  EXPECT_EQ(GetPixel(dc_, 20 + size.cx / 2, 31), kWhite);
  RECT ink = Ink();
  EXPECT_GT(ink.left, 20);
  EXPECT_LT(ink.right, 20 + size.cx);
  EXPECT_EQ(SetBkMode(dc_, 3), 0);  // not a mode
  EXPECT_EQ(GetTextColor(dc_), RGB(255, 0, 0));
  EXPECT_EQ(GetBkColor(dc_), RGB(0, 0, 255));
  SelectObject(dc_, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
}

TEST_F(GdiText, TextAlignPlacesTheReferencePoint) {
  HFONT font = Font(-16);
  SelectObject(dc_, font);
  SIZE size{};
  GetTextExtentPoint32A(dc_, "Text", 4, &size);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc_, &tm);
  SetBkColor(dc_, kBlack);
  SetTextColor(dc_, RGB(255, 0, 0));
  EXPECT_EQ(SetTextAlign(dc_, TA_RIGHT | TA_BASELINE), UINT(TA_LEFT | TA_TOP));
  TextOutA(dc_, 200, 60, "Text", 4);
  RECT cell = Box(kBlack);  // the background of the cell
  EXPECT_EQ(cell.right, 200);
  EXPECT_EQ(cell.top, 60 - tm.tmAscent);
  Clear(kWhite);
  SetTextAlign(dc_, TA_CENTER | TA_BOTTOM);
  TextOutA(dc_, 100, 60, "Text", 4);
  cell = Box(kBlack);
  EXPECT_EQ(cell.left, 100 - size.cx / 2);
  EXPECT_EQ(cell.bottom, 60);
  SelectObject(dc_, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
}

TEST_F(GdiText, DrawTextCalcRectMeasuresWithoutDrawing) {
  HFONT font = Font(-16);
  SelectObject(dc_, font);
  SIZE one{};
  GetTextExtentPoint32A(dc_, "line1", 5, &one);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc_, &tm);

  RECT r{10, 20, 10, 20};
  EXPECT_EQ(DrawTextA(dc_, "line1", -1, &r, DT_CALCRECT | DT_SINGLELINE), tm.tmHeight);
  EXPECT_EQ(r.right - r.left, one.cx);
  EXPECT_EQ(r.bottom - r.top, tm.tmHeight);
  EXPECT_EQ(Ink().right, 0) << "nothing drawn";

  // Explicit breaks, in every spelling.
  r = RECT{0, 0, 0, 0};
  EXPECT_EQ(DrawTextA(dc_, "a\nb\r\nc\rd", -1, &r, DT_CALCRECT), 4 * tm.tmHeight);
  EXPECT_EQ(r.bottom, 4 * tm.tmHeight);
  // A narrow rectangle wraps at blanks; a word never breaks.
  r = RECT{0, 0, 1, 1};
  EXPECT_EQ(DrawTextA(dc_, "line1 line2", -1, &r, DT_CALCRECT | DT_WORDBREAK), 2 * tm.tmHeight);
  EXPECT_GE(r.right, one.cx);
  r = RECT{0, 0, 1, 1};
  EXPECT_EQ(DrawTextA(dc_, "line1 line2", -1, &r, DT_CALCRECT), tm.tmHeight);  // no wrap without DT_WORDBREAK
  r = RECT{0, 0, 300, 1};
  EXPECT_EQ(DrawTextA(dc_, "line1 line2", -1, &r, DT_CALCRECT | DT_WORDBREAK), tm.tmHeight);  // room for both

  // A count of 0 does nothing; an empty string still has a line's height.
  r = RECT{10, 10, 100, 100};
  EXPECT_EQ(DrawTextA(dc_, "text", 0, &r, DT_CALCRECT), 0);
  EXPECT_EQ(r.right, 100);
  EXPECT_NE(DrawTextA(dc_, "", -1, &r, DT_CALCRECT), 0);
  EXPECT_EQ(r.right, r.left);
  EXPECT_EQ(r.bottom, r.top);
  r = RECT{10, 10, 100, 100};
  EXPECT_NE(DrawTextA(dc_, "", -1, &r, DT_CALCRECT | DT_SINGLELINE), 0);
  EXPECT_EQ(r.bottom, 10 + tm.tmHeight);
  EXPECT_EQ(DrawTextA(dc_, nullptr, 10, &r, 0), 0);
  EXPECT_EQ(DrawTextA(dc_, "x", 1, nullptr, 0), 0);
  SelectObject(dc_, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
}

TEST_F(GdiText, DrawTextAlignsAndReturnsTheHeightDrawn) {
  HFONT font = Font(-16);
  SelectObject(dc_, font);
  SetBkColor(dc_, kBlack);  // opaque cells show where each line went
  SetTextColor(dc_, RGB(255, 0, 0));
  TEXTMETRICA tm{};
  GetTextMetricsA(dc_, &tm);
  SIZE size{};
  GetTextExtentPoint32A(dc_, "Mivora", 6, &size);

  RECT r{0, 0, 300, 100};
  EXPECT_EQ(DrawTextA(dc_, "Mivora", -1, &r, DT_CENTER), tm.tmHeight);
  RECT cell = Box(kBlack);
  EXPECT_EQ(cell.left, (300 - size.cx) / 2);
  EXPECT_EQ(cell.top, 0);

  Clear(kWhite);
  EXPECT_EQ(DrawTextA(dc_, "Mivora", -1, &r, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE), 100);
  cell = Box(kBlack);
  EXPECT_EQ(cell.right, 300);
  EXPECT_EQ(cell.bottom, 100);

  Clear(kWhite);
  // Centred on one line: the answer is the offset of the text's bottom from the top.
  int expectedTop = (100 - tm.tmHeight) / 2;
  EXPECT_EQ(DrawTextA(dc_, "Mivora", -1, &r, DT_VCENTER | DT_SINGLELINE), expectedTop + tm.tmHeight);
  EXPECT_EQ(Box(kBlack).top, expectedTop);

  // A text whose bottom is at the top answers 1, since 0 would mean failure.
  RECT empty{0, 0, 0, 0};
  EXPECT_EQ(DrawTextA(dc_, "Mivora", -1, &empty, DT_SINGLELINE | DT_CALCRECT | DT_BOTTOM), 1);

  // DT_VCENTER needs DT_SINGLELINE: several lines start at the top.
  Clear(kWhite);
  EXPECT_EQ(DrawTextA(dc_, "one\ntwo", -1, &r, DT_VCENTER | DT_CENTER), 2 * tm.tmHeight);
  EXPECT_EQ(Box(kBlack).top, 0);
  EXPECT_EQ(Box(kBlack).bottom, 2 * tm.tmHeight);
  SelectObject(dc_, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
}

TEST_F(GdiText, DrawTextUnderlinesThePrefixedCharacter) {
  HFONT font = Font(-16);
  SelectObject(dc_, font);
  RECT plain{0, 0, 0, 0}, prefixed{0, 0, 0, 0};
  DrawTextA(dc_, "Exit", -1, &plain, DT_CALCRECT | DT_SINGLELINE);
  DrawTextA(dc_, "E&xit", -1, &prefixed, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(plain.right, prefixed.right);  // the '&' takes no room
  SIZE e{}, ex{};
  GetTextExtentPoint32A(dc_, "E", 1, &e);
  GetTextExtentPoint32A(dc_, "Ex", 2, &ex);

  RECT r{0, 0, 200, 40};
  DrawTextA(dc_, "E&xit", -1, &r, DT_SINGLELINE | DT_NOPREFIX);  // '&' drawn as it is
  RECT withAmpersand = Ink();
  Clear(kWhite);
  SetBkMode(dc_, TRANSPARENT);
  DrawTextA(dc_, "E&xit", -1, &r, DT_SINGLELINE);
  RECT under = Ink(kWhite, RECT{e.cx, 0, ex.cx, 40});
  TEXTMETRICA tm{};
  GetTextMetricsA(dc_, &tm);
  EXPECT_GT(under.bottom, tm.tmAscent) << "a line under the x";
  EXPECT_LE(Ink(kWhite, RECT{0, tm.tmAscent + 1, e.cx, 40}).right, 0) << "none under the E";
  EXPECT_GT(withAmpersand.right, Ink().right);

  Clear(kWhite);
  RECT amp{0, 0, 0, 0};
  DrawTextA(dc_, "a&&b", -1, &amp, DT_CALCRECT | DT_SINGLELINE);
  RECT literal{0, 0, 0, 0};
  DrawTextA(dc_, "a&b", -1, &literal, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  EXPECT_EQ(amp.right, literal.right);  // "&&" is one '&'
  SelectObject(dc_, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
}

TEST_F(GdiText, TabsExpandToEightAverageWidths) {
  HFONT font = Font(-16);
  SelectObject(dc_, font);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc_, &tm);
  SIZE b{};
  GetTextExtentPoint32A(dc_, "b", 1, &b);
  RECT r{0, 0, 0, 0};
  DrawTextA(dc_, "a\tb", -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
  EXPECT_EQ(r.right, 8 * tm.tmAveCharWidth + b.cx);
  SelectObject(dc_, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
}

// DT_TABSTOP takes the tab length from the format's high byte; DT_HIDEPREFIX
// drops the underline but still eats the '&'; DT_PREFIXONLY draws the
// underline alone; DT_EXTERNALLEADING adds the font's leading to each line.
TEST_F(GdiText, DrawTextTabStopPrefixAndLeadingFlags) {
  HFONT font = Font(-16);
  SelectObject(dc_, font);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc_, &tm);
  SIZE e{}, ex{};
  GetTextExtentPoint32A(dc_, "E", 1, &e);
  GetTextExtentPoint32A(dc_, "Ex", 2, &ex);
  // The high byte is the tab length then, so DT_CALCRECT cannot come with it:
  // the 'b' after the tab is drawn where one drawn at four widths would be.
  SetBkMode(dc_, TRANSPARENT);
  RECT area{0, 0, 200, 40};
  DrawTextA(dc_, "a\tb", -1, &area, DT_SINGLELINE | DT_EXPANDTABS | DT_TABSTOP | (4 << 8));
  RECT tabbed = Ink();
  Clear(kWhite);
  TextOutA(dc_, 4 * tm.tmAveCharWidth, 0, "b", 1);
  EXPECT_EQ(tabbed.right, Ink().right);
  Clear(kWhite);

  DrawTextA(dc_, "Exit", -1, &area, DT_SINGLELINE | DT_NOPREFIX);
  RECT plain = Ink();
  Clear(kWhite);
  DrawTextA(dc_, "E&xit", -1, &area, DT_SINGLELINE | DT_HIDEPREFIX);
  RECT hidden = Ink();
  EXPECT_EQ(hidden.right, plain.right);
  EXPECT_EQ(hidden.bottom, plain.bottom) << "no underline";
  Clear(kWhite);
  DrawTextA(dc_, "E&xit", -1, &area, DT_SINGLELINE | DT_PREFIXONLY);
  RECT line = Ink();
  EXPECT_GT(line.top, tm.tmAscent) << "nothing but the underline";
  EXPECT_GE(line.left, e.cx - 1);
  EXPECT_LE(line.right, ex.cx + 1);
  EXPECT_GT(line.right, line.left);

  ASSERT_GT(tm.tmExternalLeading, 0) << "the test needs a font with leading";
  RECT two{0, 0, 0, 0}, spaced{0, 0, 0, 0};
  DrawTextA(dc_, "a\nb", -1, &two, DT_CALCRECT);
  DrawTextA(dc_, "a\nb", -1, &spaced, DT_CALCRECT | DT_EXTERNALLEADING);
  EXPECT_EQ(two.bottom, 2 * tm.tmHeight);
  EXPECT_EQ(spaced.bottom, 2 * (tm.tmHeight + tm.tmExternalLeading));
  SelectObject(dc_, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
}

TEST_F(GdiText, TextIsClippedToTheRectangleAndTheClipRegion) {
  HFONT font = Font(-30);
  SelectObject(dc_, font);
  SetBkColor(dc_, kBlack);
  RECT r{10, 10, 40, 25};  // smaller than the text
  DrawTextA(dc_, "WWWW", -1, &r, DT_SINGLELINE);
  RECT ink = Ink();
  EXPECT_EQ(ink.left, 10);
  EXPECT_EQ(ink.top, 10);
  EXPECT_EQ(ink.right, 40);
  EXPECT_EQ(ink.bottom, 25);
  Clear(kWhite);
  DrawTextA(dc_, "WWWW", -1, &r, DT_SINGLELINE | DT_NOCLIP);
  EXPECT_GT(Ink().right, 40);

  Clear(kWhite);
  HRGN clip = CreateRectRgn(0, 0, 50, 50);
  SelectClipRgn(dc_, clip);
  DeleteObject(clip);
  TextOutA(dc_, 20, 20, "WWWW", 4);
  SelectClipRgn(dc_, nullptr);
  ink = Ink();
  EXPECT_EQ(ink.right, 50);
  EXPECT_EQ(ink.bottom, 50);
  SelectObject(dc_, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
}

TEST_F(GdiText, WindowTextStaysInsideTheVisiblePartOfTheWindow) {
  HWND below = vd::CreateAppWindow("Below", RECT{100, 100, 400, 300});
  HWND above = vd::CreateAppWindow("Above", RECT{250, 100, 500, 300});
  vd::PaintPending();
  HDC dc = GetDC(below);
  HFONT font = Font(-40);
  SelectObject(dc, font);
  SetBkColor(dc, RGB(255, 0, 0));
  TextOutA(dc, 0, 40, "WWWWWWWWWW", 10);
  POINT origin{0, 0};
  ClientToScreen(below, &origin);
  EXPECT_EQ(vd::Pixel(origin.x + 5, origin.y + 45), 0xFF0000u);
  RECT aboveRect;
  GetWindowRect(above, &aboveRect);
  EXPECT_NE(vd::Pixel(aboveRect.left + 20, origin.y + 45), 0xFF0000u) << "the window above keeps its pixels";
  ReleaseDC(below, dc);
  DeleteObject(font);
  EXPECT_EQ(vd::LiveDCs(), 1) << "only the fixture's context";
}

TEST_F(GdiText, TitleBarsShowTheirTitle) {
  HWND w = vd::CreateAppWindow("Mivora", RECT{100, 100, 400, 300});
  vd::PaintPending();
  RECT client;
  GetClientRect(w, &client);
  POINT origin{0, 0};
  ClientToScreen(w, &origin);
  // White caption text on the title bar, left of the close box.
  int white = 0;
  for (int y = 100; y < origin.y; ++y)
    for (int x = 104; x < 180; ++x) white += vd::Pixel(x, y) == 0xFFFFFFu;
  EXPECT_GT(white, 20);
}

}  // namespace
