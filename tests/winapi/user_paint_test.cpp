// Statements about Win32 painting: what InvalidateRect and UpdateWindow do
// with no window, when BeginPaint reports fErase, and how ReleaseDC finds the
// context it releases.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "vdesktop.h"
#include "windows.h"

namespace {

struct Received {
  HWND hwnd;
  UINT msg;
};
std::vector<Received> painted;
LRESULT eraseAnswer = 1;  // what WM_ERASEBKGND returns
BOOL lastFErase = -1;

LRESULT CALLBACK PaintRecorder(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCPAINT:
      painted.push_back({hwnd, msg});
      break;
    case WM_ERASEBKGND:
      painted.push_back({hwnd, msg});
      return eraseAnswer;
    case WM_PAINT: {
      painted.push_back({hwnd, msg});
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      lastFErase = ps.fErase;
      EndPaint(hwnd, &ps);
      return 0;
    }
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class UserPaint : public ::testing::Test {
 protected:
  void SetUp() override {
    vd::Reset();
    painted.clear();
    eraseAnswer = 1;
    lastFErase = -1;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = PaintRecorder;
    wc.lpszClassName = "PaintRecorder";
    ASSERT_NE(RegisterClassExA(&wc), 0);
    a = CreateWindowExA(0, "PaintRecorder", "a", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 200, 150, nullptr,
                        nullptr, nullptr, nullptr);
    b = CreateWindowExA(0, "PaintRecorder", "b", WS_POPUP | WS_VISIBLE, 500, 300, 100, 100, nullptr, nullptr,
                        nullptr, nullptr);
    ASSERT_TRUE(a && b);
    vd::PaintPending();
    painted.clear();
  }
  static int Count(HWND hwnd, UINT msg) {
    return int(std::count_if(painted.begin(), painted.end(),
                             [&](const Received &r) { return r.hwnd == hwnd && r.msg == msg; }));
  }
  HWND a = nullptr, b = nullptr;
};

// Paints the whole screen red through the screen's own context.
void PaintScreenRed() {
  HDC screen = GetDC(nullptr);
  RECT all{0, 0, 1024, 768};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(screen, &all, red);
  DeleteObject(red);
  ReleaseDC(nullptr, screen);
}

TEST_F(UserPaint, InvalidateRectWithNoWindowErasesEveryWindowBeforeItReturns) {
  PaintScreenRed();
  // The erase argument is not asked: every window is erased.
  EXPECT_TRUE(InvalidateRect(nullptr, nullptr, FALSE));
  for (HWND h : {a, b}) {
    EXPECT_EQ(Count(h, WM_NCPAINT), 1) << h;
    EXPECT_EQ(Count(h, WM_ERASEBKGND), 1) << h;
    EXPECT_EQ(Count(h, WM_PAINT), 0) << h;  // WM_PAINT comes from the message loop
  }
  // The desktop's views erased their background already: no red left on the open desktop.
  EXPECT_EQ(vd::Pixel(700, 150), 0x008080u);
  EXPECT_EQ(vd::Pixel(900, 600), 0x008080u);
  vd::PaintPending();
  EXPECT_EQ(Count(a, WM_PAINT), 1);
  EXPECT_EQ(Count(b, WM_PAINT), 1);
  EXPECT_EQ(lastFErase, FALSE);  // erased before BeginPaint
}

TEST_F(UserPaint, UpdateWindowWithNoWindowFailsAndPaintsNothing) {
  InvalidateRect(a, nullptr, TRUE);
  EXPECT_FALSE(UpdateWindow(nullptr));
  EXPECT_TRUE(painted.empty());
  EXPECT_TRUE(UpdateWindow(a));
  EXPECT_EQ(Count(a, WM_PAINT), 1);
}

TEST_F(UserPaint, InvalidateRgnWithNoWindowFailsAndInvalidatesNothing) {
  HRGN region = CreateRectRgn(0, 0, 1024, 768);
  EXPECT_FALSE(InvalidateRgn(nullptr, region, TRUE));
  vd::PaintPending();
  EXPECT_TRUE(painted.empty());
  DeleteObject(region);
}

TEST_F(UserPaint, BeginPaintReportsFEraseOnlyForAnEraseAskedForAndLeftUndone) {
  // No erase asked for: none is sent, and none is reported.
  InvalidateRect(a, nullptr, FALSE);
  UpdateWindow(a);
  EXPECT_EQ(Count(a, WM_ERASEBKGND), 0);
  EXPECT_EQ(lastFErase, FALSE);
  // Asked for and done by the window procedure.
  InvalidateRect(a, nullptr, TRUE);
  UpdateWindow(a);
  EXPECT_EQ(Count(a, WM_ERASEBKGND), 1);
  EXPECT_EQ(lastFErase, FALSE);
  // Asked for and left undone: the painting must erase.
  eraseAnswer = 0;
  InvalidateRect(a, nullptr, TRUE);
  UpdateWindow(a);
  EXPECT_EQ(lastFErase, TRUE);
}

TEST_F(UserPaint, ReleaseDCReleasesACommonContextWhateverWindowItNames) {
  int live = vd::LiveDCs();
  HDC dc = GetDC(a);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(vd::LiveDCs(), live + 1);
  EXPECT_EQ(ReleaseDC(b, dc), 1);  // the wrong window
  EXPECT_EQ(vd::LiveDCs(), live);
  EXPECT_EQ(ReleaseDC(a, dc), 0);  // it is gone
  EXPECT_EQ(ReleaseDC(a, nullptr), 0);
  dc = GetDC(nullptr);
  EXPECT_EQ(ReleaseDC(GetDesktopWindow(), dc), 1);
  EXPECT_EQ(vd::LiveDCs(), live);
}

}  // namespace
