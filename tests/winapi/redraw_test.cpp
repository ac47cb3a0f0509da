// Statements about Win32's RedrawWindow, GetAncestor, SendMessageTimeoutA and
// ExcludeClipRect, checked on the virtual desktop.
#include <gtest/gtest.h>

#include <vector>

#include "vdesktop.h"

namespace {

std::vector<UINT> seen;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_ERASEBKGND || msg == WM_PAINT) seen.push_back(msg);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class RedrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vd::Reset();
    seen.clear();
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = CountingProc;
    wc.lpszClassName = "Counting";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    ASSERT_NE(RegisterClassExA(&wc), 0);
    window = CreateWindowExA(0, "Counting", "Counted", WS_OVERLAPPEDWINDOW, 100, 100, 300, 200, nullptr, nullptr,
                             nullptr, nullptr);
    ShowWindow(window, SW_SHOWNA);
    vd::PaintPending();
    seen.clear();
  }
  // Paints over the window's client area from the screen's context, as a program drawing on the
  // desktop window would.
  void Scribble() {
    HDC screen = GetDC(nullptr);
    RECT r{150, 150, 200, 200};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(screen, &r, red);
    DeleteObject(red);
    ReleaseDC(nullptr, screen);
  }
  HWND window = nullptr;
};

TEST_F(RedrawTest, AllChildrenOfTheDesktopWindowAreItsTopLevelWindows) {
  Scribble();
  ASSERT_EQ(vd::Pixel(160, 160), 0xFF0000u);
  HRGN area = CreateRectRgn(140, 140, 210, 210);
  // Without RDW_ALLCHILDREN the desktop (WS_CLIPCHILDREN) keeps the invalidation to itself.
  RedrawWindow(GetDesktopWindow(), nullptr, area, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(vd::Pixel(160, 160), 0xFF0000u);
  RedrawWindow(GetDesktopWindow(), nullptr, area, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  EXPECT_EQ(seen, (std::vector<UINT>{WM_ERASEBKGND, WM_PAINT}));
  EXPECT_EQ(vd::Pixel(160, 160), 0xFFFFFFu);
  DeleteObject(area);
}

TEST_F(RedrawTest, EraseNowErasesAndLeavesThePaintToTheLoop) {
  RECT client{10, 10, 60, 60};
  RedrawWindow(window, &client, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW);
  EXPECT_EQ(seen, std::vector<UINT>{WM_ERASEBKGND});
  RECT update{0, 0, 0, 0};
  EXPECT_TRUE(GetUpdateRect(window, &update, FALSE));
  EXPECT_EQ(update.left, 10);
  EXPECT_EQ(update.bottom, 60);
  vd::PaintPending();
  EXPECT_EQ(seen, (std::vector<UINT>{WM_ERASEBKGND, WM_PAINT}));
  EXPECT_FALSE(GetUpdateRect(window, &update, FALSE));
}

TEST_F(RedrawTest, WithoutNowTheRepaintWaitsAndValidateTakesItBack) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
  EXPECT_TRUE(seen.empty());
  RECT update{0, 0, 0, 0};
  EXPECT_TRUE(GetUpdateRect(window, &update, FALSE));
  RedrawWindow(window, nullptr, nullptr, RDW_VALIDATE | RDW_NOERASE);
  EXPECT_FALSE(GetUpdateRect(window, &update, FALSE));
  vd::PaintPending();
  EXPECT_TRUE(seen.empty());
  EXPECT_FALSE(RedrawWindow(reinterpret_cast<HWND>(0x7777), nullptr, nullptr, RDW_INVALIDATE));
}

TEST_F(RedrawTest, GetAncestorWalksUpToTheTopLevelWindowAndStopsAtTheDesktop) {
  HWND child = CreateWindowExA(0, "Counting", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, window, nullptr, nullptr,
                               nullptr);
  HWND grandchild = CreateWindowExA(0, "Counting", "", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, child, nullptr, nullptr,
                                    nullptr);
  EXPECT_EQ(GetAncestor(grandchild, GA_PARENT), child);
  EXPECT_EQ(GetAncestor(grandchild, GA_ROOT), window);
  EXPECT_EQ(GetAncestor(window, GA_ROOT), window);
  EXPECT_EQ(GetAncestor(window, GA_PARENT), GetDesktopWindow());
  EXPECT_EQ(GetAncestor(GetDesktopWindow(), GA_ROOT), nullptr);
  DestroyWindow(window);
  EXPECT_EQ(GetAncestor(grandchild, GA_ROOT), nullptr);
}

TEST_F(RedrawTest, SendMessageTimeoutStoresTheAnswerAndFailsForAWindowThatIsGone) {
  DWORD_PTR answer = 7;
  EXPECT_NE(SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer), 0);
  EXPECT_EQ(answer, DWORD_PTR(7));  // "Counted"
  DestroyWindow(window);
  EXPECT_EQ(SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer), 0);
}

TEST_F(RedrawTest, ExcludeClipRectKeepsDrawingOutOfTheRectangle) {
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(ExcludeClipRect(screen, 20, 20, 40, 40), COMPLEXREGION);
  RECT all{0, 0, 60, 60};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(screen, &all, red);
  EXPECT_EQ(vd::Pixel(10, 10), 0xFF0000u);
  EXPECT_NE(vd::Pixel(30, 30), 0xFF0000u);
  // On top of a selected clip region, the rectangle is taken out of it.
  HRGN left = CreateRectRgn(0, 0, 100, 100);
  SelectClipRgn(screen, left);
  EXPECT_EQ(ExcludeClipRect(screen, 0, 0, 100, 50), SIMPLEREGION);
  RECT lower{0, 0, 100, 100};
  FillRect(screen, &lower, red);
  EXPECT_EQ(vd::Pixel(70, 70), 0xFF0000u);
  EXPECT_NE(vd::Pixel(70, 30), 0xFF0000u);
  EXPECT_EQ(ExcludeClipRect(nullptr, 0, 0, 1, 1), ERROR);
  DeleteObject(left);
  DeleteObject(red);
  ReleaseDC(nullptr, screen);
}

}  // namespace
