// The about box and the point-size fonts it draws with.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "resource.h"
#include "settings/settings.h"
#include "support/program_run.h"
#include "vdesktop.h"

namespace {

using progtest::ProgramTest;

LOGFONTA LogFontOf(HFONT font) {
  LOGFONTA lf;
  std::memset(&lf, 0, sizeof lf);
  EXPECT_EQ(GetObjectA(font, sizeof lf, &lf), int(sizeof lf));
  return lf;
}

// ---------------------------------------------------------------- CreatePointFont

TEST(CreatePointFont, LogicalInchGivesTheCharacterHeightsOfTheWorkedExample) {
  vd::Reset();
  HDC dc = CreateCompatibleDC(nullptr);
  const int cases[][2] = {{76, -10}, {120, -16}, {125, -17}};
  for (const auto &c : cases) {
    HFONT font = CreatePointFont(dc, "Arial", c[0], 0, 0, 1);
    ASSERT_NE(font, nullptr);
    LOGFONTA lf = LogFontOf(font);
    EXPECT_EQ(lf.lfHeight, c[1]) << c[0] << " tenths of a point";
    EXPECT_EQ(lf.lfWidth, 0);
    EXPECT_STREQ(lf.lfFaceName, "Arial");
    DeleteObject(font);
  }
  DeleteDC(dc);
  EXPECT_EQ(vd::LiveGdiObjects(OBJ_FONT), 0);
}

TEST(CreatePointFont, PhysicalInchOfA768PixelDisplayOver240Millimetres) {
  vd::Config config;
  config.widthMm = 320;
  config.heightMm = 240;  // 81.28 pixels per inch
  vd::Reset(config);
  HDC dc = GetDC(nullptr);
  HFONT description = CreatePointFont(dc, "Arial", 76, 0, 0, 0);
  HFONT title = CreatePointFont(dc, "Arial", 125, 0, POINT_FONT_BOLD, 0);
  EXPECT_EQ(LogFontOf(description).lfHeight, -9);
  EXPECT_EQ(LogFontOf(title).lfHeight, -14);
  // The logical inch of the same display still gives the 96-dpi sizes.
  HFONT logical = CreatePointFont(dc, "Arial", 125, 0, 0, 1);
  EXPECT_EQ(LogFontOf(logical).lfHeight, -17);
  DeleteObject(description);
  DeleteObject(title);
  DeleteObject(logical);
  ReleaseDC(nullptr, dc);
}

TEST(CreatePointFont, WidthEqualToHeightGivesTheFacesAverageWidth) {
  vd::Reset();
  HDC dc = CreateCompatibleDC(nullptr);
  for (int tenths : {76, 125, 240}) {
    HFONT natural = CreatePointFont(dc, "Arial", tenths, 0, 0, 1);
    SelectObject(dc, natural);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    HFONT same = CreatePointFont(dc, "Arial", tenths, tenths, 0, 1);
    HFONT half = CreatePointFont(dc, "Arial", tenths, tenths / 2, 0, 1);
    EXPECT_EQ(LogFontOf(same).lfWidth, tm.tmAveCharWidth) << tenths;
    EXPECT_NEAR(LogFontOf(half).lfWidth, tm.tmAveCharWidth / 2.0, 1.0) << tenths;
    // The font made for the width pass is gone: only the three fonts here live.
    EXPECT_EQ(vd::LiveGdiObjects(OBJ_FONT), 3);
    DeleteObject(natural);
    DeleteObject(same);
    DeleteObject(half);
  }
  DeleteDC(dc);
}

TEST(CreatePointFont, StyleBitsGiveWeightItalicUnderlineAndStrikeOut) {
  vd::Reset();
  HDC dc = CreateCompatibleDC(nullptr);
  struct Case {
    int style;
    LONG weight;
    BYTE italic, underline, strikeOut;
  };
  const Case cases[] = {{0, 0, 0, 0, 0},  // the default weight, not 400
                        {POINT_FONT_BOLD, 700, 0, 0, 0},
                        {POINT_FONT_ITALIC, 0, 1, 0, 0},
                        {POINT_FONT_UNDERLINE, 0, 0, 1, 0},
                        {POINT_FONT_STRIKEOUT, 0, 0, 0, 1},
                        {15, 700, 1, 1, 1},
                        {16 | 32, 0, 0, 0, 0}};  // other bits are ignored
  for (const Case &c : cases) {
    HFONT font = CreatePointFont(dc, "Arial", 100, 0, c.style, 1);
    LOGFONTA lf = LogFontOf(font);
    EXPECT_EQ(lf.lfWeight, c.weight) << c.style;
    EXPECT_EQ(lf.lfItalic, c.italic) << c.style;
    EXPECT_EQ(lf.lfUnderline, c.underline) << c.style;
    EXPECT_EQ(lf.lfStrikeOut, c.strikeOut) << c.style;
    EXPECT_EQ(lf.lfCharSet, 0);
    EXPECT_EQ(lf.lfQuality, 0);
    DeleteObject(font);
  }
  DeleteDC(dc);
}

TEST(CreatePointFont, TheContextComesBackUnchanged) {
  vd::Reset();
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT selected = CreateFontA(-9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  SelectObject(dc, selected);
  SetViewportOrgEx(dc, 30, 40, nullptr);
  SetWindowOrgEx(dc, 5, 6, nullptr);
  SetBkMode(dc, TRANSPARENT);

  HFONT font = CreatePointFont(dc, "Arial", 125, 125, POINT_FONT_BOLD, 1);
  // The origins did not shift the size.
  EXPECT_EQ(LogFontOf(font).lfHeight, -17);
  POINT vp{}, win{};
  GetViewportOrgEx(dc, &vp);
  GetWindowOrgEx(dc, &win);
  EXPECT_EQ(vp.x, 30);
  EXPECT_EQ(vp.y, 40);
  EXPECT_EQ(win.x, 5);
  EXPECT_EQ(win.y, 6);
  EXPECT_EQ(GetGraphicsMode(dc), GM_COMPATIBLE);
  EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
  EXPECT_EQ(SaveDC(dc), 1) << "no saved state is left behind";
  EXPECT_EQ(SelectObject(dc, GetStockObject(SYSTEM_FONT)), selected);
  DeleteObject(font);
  DeleteObject(selected);
  DeleteDC(dc);
  EXPECT_EQ(vd::LiveGdiObjects(), 0);
}

// ---------------------------------------------------------------- the box in the running program

class AboutBoxTest : public ProgramTest {
 protected:
  // Opens the about box at `at` ms, as the settings dialog's About... does, and
  // runs `whileOpen` with it at `at + after` ms.
  void OpenAbout(uint64_t at, uint64_t after, std::function<void(HWND)> whileOpen) {
    vd::At(at, [this, at, after, whileOpen] {
      vd::At(at + after, [whileOpen] { whileOpen(FindWindowA(nullptr, "About Mivora")); });
      results_.push_back(DialogBoxParamA(Instance, MAKEINTRESOURCEA(IDD_ABOUT), MainWindow, AboutBoxProc, 0));
      closedAt_.push_back(vd::Now());
    });
  }
  static void Click(int x, int y) {
    vd::MouseDown(x, y);
    vd::MouseUp(x, y);
  }
  static POINT CentreOf(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  std::vector<INT_PTR> results_;
  std::vector<uint64_t> closedAt_;
};

TEST_F(AboutBoxTest, RepaintsHoldOneFontAndNoContext) {
  bool checked = false;
  // Each open dialog holds the font of its template (MS Sans Serif 8): the
  // settings dialog one for the whole run, the about box one while it is open.
  int dialogFonts = -1;
  vd::At(999, [&] { dialogFonts = vd::LiveGdiObjects(OBJ_FONT); });
  OpenAbout(1000, 500, [&](HWND box) {
    ASSERT_TRUE(IsWindow(box));
    auto repaint = [box] {
      InvalidateRect(box, nullptr, TRUE);
      UpdateWindow(box);
    };
    repaint();
    int objects = vd::LiveGdiObjects(), contexts = vd::LiveDCs();
    uint64_t made = vd::GdiObjectsCreated();
    for (int i = 0; i < 100; ++i) repaint();
    EXPECT_EQ(vd::LiveGdiObjects(), objects);
    EXPECT_EQ(vd::LiveDCs(), contexts);
    EXPECT_EQ(vd::GdiObjectsCreated() - made, 200u) << "two fonts a paint, no width pass";
    EXPECT_NE(AboutFont, nullptr);
    EXPECT_EQ(vd::LiveGdiObjects(OBJ_FONT), dialogFonts + 2) << "AboutFont and the about box's template font";
    checked = true;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  Run(3000);
  EXPECT_TRUE(checked);
  EXPECT_EQ(dialogFonts, 1);
  ASSERT_EQ(results_.size(), 1u);
  // The last font stays until shutdown, which deletes it.
  EXPECT_EQ(vd::LiveGdiObjects(OBJ_FONT), dialogFonts + 1);
  Cleanup();
  EXPECT_EQ(vd::LiveGdiObjects(OBJ_FONT), dialogFonts);
  EXPECT_EQ(AboutFont, nullptr);
}

// The rows of the text control, as a reference rendering of one line would
// paint them: `text` in `font` on the button face, centred as DT_CENTER centres.
std::vector<uint32_t> ReferenceLine(HFONT font, const char *text, int width, int top, int rows) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, top + rows);
  ReleaseDC(nullptr, screen);
  SelectObject(dc, bitmap);
  RECT all{0, 0, width, top + rows};
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SIZE size{};
  GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &size);
  TextOutA(dc, (width - size.cx) / 2, top, text, int(std::strlen(text)));
  std::vector<uint32_t> pixels;
  for (int y = top; y < top + rows; ++y)
    for (int x = 0; x < width; ++x) {
      COLORREF c = GetPixel(dc, x, y);
      pixels.push_back(uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c));
    }
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  DeleteDC(dc);
  DeleteObject(bitmap);
  return pixels;
}

TEST_F(AboutBoxTest, ShowsTheBoldTitleCentredAboveTheCentredVersionLine) {
  bool checked = false;
  OpenAbout(1000, 500, [&](HWND box) {
    HWND text = GetDlgItem(box, IDC_ABOUT_TEXT);
    ASSERT_NE(text, nullptr);
    RECT client;
    GetClientRect(text, &client);
    POINT origin{0, 0};
    ClientToScreen(text, &origin);
    int width = client.right;
    auto screenRows = [&](int top, int rows) {
      std::vector<uint32_t> pixels;
      for (int y = top; y < top + rows; ++y)
        for (int x = 0; x < width; ++x) pixels.push_back(vd::Pixel(origin.x + x, origin.y + y));
      return pixels;
    };
    // On this display (96 dots per inch) the title is 17 pixels, the description 10.
    HFONT title = CreateFontA(-17, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Liberation Sans");
    HFONT description = CreateFontA(-10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Liberation Sans");
    HDC dc = GetDC(text);
    TEXTMETRICA titleMetrics{}, lineMetrics{};
    SelectObject(dc, title);
    GetTextMetricsA(dc, &titleMetrics);
    SelectObject(dc, description);
    GetTextMetricsA(dc, &lineMetrics);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    ReleaseDC(text, dc);
    int versionTop = 2 * lineMetrics.tmHeight;  // under the description's two empty lines
    ASSERT_LT(titleMetrics.tmHeight, versionTop) << "the title ends above the version line";

    EXPECT_EQ(screenRows(0, versionTop), ReferenceLine(title, "*** Mivora ***", width, 0, versionTop))
        << "the title, bold, centred, in the Arial-compatible face";
    EXPECT_EQ(screenRows(versionTop, lineMetrics.tmHeight),
              ReferenceLine(description, "Mivora version 1.0.0.5 for Windows 95/98/NT", width, versionTop,
                            lineMetrics.tmHeight))
        << "the version line, centred";
    // Below it, the rest of the description; nothing past its sixteen lines.
    std::vector<uint32_t> rest = screenRows(versionTop + lineMetrics.tmHeight, 13 * lineMetrics.tmHeight);
    uint32_t face = 0xC0C0C0;
    EXPECT_TRUE(std::any_of(rest.begin(), rest.end(), [&](uint32_t p) { return p != face; }));
    std::vector<uint32_t> below = screenRows(16 * lineMetrics.tmHeight, client.bottom - 16 * lineMetrics.tmHeight);
    EXPECT_TRUE(std::all_of(below.begin(), below.end(), [&](uint32_t p) { return p == face; }));
    DeleteObject(title);
    DeleteObject(description);
    if (const char *png = std::getenv("MIVORA_ABOUT_PNG")) vd::WritePng(png);
    checked = true;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  Run(3000);
  EXPECT_TRUE(checked);
  EXPECT_TRUE(vd::Beeps().empty()) << "the description was drawn";
}

TEST_F(AboutBoxTest, EscDoesNothingOkAndTheCloseBoxEndItWhileTicksGoOn) {
  LONG ticksAtOpen = 0;
  int contexts = 0;
  OpenAbout(1000, 200, [&](HWND box) {
    ASSERT_TRUE(IsWindowVisible(box));
    ticksAtOpen = tickCounter;
    contexts = vd::LiveDCs();
    vd::KeyDown(VK_ESCAPE);
    vd::KeyUp(VK_ESCAPE);
    vd::At(vd::Now() + 500, [&, box] {
      EXPECT_TRUE(IsWindowVisible(box)) << "Esc does not close the box";
      EXPECT_GE(tickCounter - ticksAtOpen, 9) << "the tick goes on behind the box";
      POINT ok = CentreOf(GetDlgItem(box, IDOK));
      Click(ok.x, ok.y);
    });
  });
  OpenAbout(3000, 200, [&](HWND box) {
    // The close box at the right of the title bar.
    RECT frame, client;
    GetWindowRect(box, &frame);
    GetClientRect(box, &client);
    POINT origin{0, 0};
    ClientToScreen(box, &origin);
    Click(origin.x + client.right - 9, (frame.top + origin.y) / 2);
  });
  Run(5000);
  ASSERT_EQ(results_.size(), 2u);
  EXPECT_EQ(results_[0], 0);
  EXPECT_EQ(results_[1], 0);
  EXPECT_GE(closedAt_[0], 1700u);
  EXPECT_LT(closedAt_[0], 1800u) << "OK ended the first box";
  EXPECT_LT(closedAt_[1], 3300u) << "the close box ended the second";
  EXPECT_EQ(FindWindowA(nullptr, "About Mivora"), nullptr);
  EXPECT_EQ(vd::LiveDCs(), contexts) << "no context left behind";
}

}  // namespace
