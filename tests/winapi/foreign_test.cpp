// The desktop standing for another display's (the X11 display): the shell
// paints the clear colour, other programs' windows are foreign windows, the
// display places the notification icons. Statements about what Win32 callers
// see of them, and about the program running over them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/program_run.h"

namespace {

vd::Config ForeignConfig() {
  vd::Config config;
  config.foreignShell = true;
  config.recordObservations = true;
  return config;
}

std::vector<HWND> TopLevelOrder() {
  std::vector<HWND> order;
  EnumWindows(
      [](HWND hwnd, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<HWND> *>(list)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&order));
  return order;
}

int CountPixels(const RECT &r, bool (*pred)(uint32_t)) {
  int n = 0;
  for (int y = std::max(0L, long(r.top)); y < r.bottom && y < vd::ScreenHeight(); ++y)
    for (int x = std::max(0L, long(r.left)); x < r.right && x < vd::ScreenWidth(); ++x)
      if (pred(vd::Pixel(x, y))) ++n;
  return n;
}
bool IsClear(uint32_t p) { return p == vd::kClearColor; }
bool IsDrawn(uint32_t p) { return p != vd::kClearColor; }

TEST(ForeignShell, TheWholeScreenIsClearAndTheTaskbarWaitsBelowIt) {
  vd::Reset(ForeignConfig());
  vd::PaintPending();
  RECT screen{0, 0, vd::ScreenWidth(), vd::ScreenHeight()};
  EXPECT_EQ(CountPixels(screen, IsDrawn), 0);  // no icons, no taskbar, no start button
  RECT bar;
  ASSERT_TRUE(GetWindowRect(vd::Taskbar(), &bar));
  EXPECT_EQ(bar.top, vd::ScreenHeight());
  EXPECT_EQ(GetWindowLongA(vd::Taskbar(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(work.bottom, vd::ScreenHeight());
}

TEST(ForeignShell, ForeignWindowsStackBetweenTheProgramsWindowsAndTheShell) {
  vd::Reset(ForeignConfig());
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "Own";
  RegisterClassExA(&wc);
  HWND own = CreateWindowExA(0, "Own", "own", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  HWND a = vd::CreateForeignWindow("Editor", "XTerm", RECT{10, 10, 200, 100}, true);
  HWND b = vd::CreateForeignWindow("Program Manager", "Shell_TrayWnd", RECT{50, 50, 300, 300}, true);
  // A window born later is the top one of the others, below the program's.
  std::vector<HWND> expected{own, b, a, vd::Taskbar(), vd::ProgramManager()};
  EXPECT_EQ(TopLevelOrder(), expected);
  vd::StackForeignWindows({a, b});
  expected = {own, a, b, vd::Taskbar(), vd::ProgramManager()};
  EXPECT_EQ(TopLevelOrder(), expected);
  EXPECT_TRUE(vd::IsForeignWindow(a));
  EXPECT_FALSE(vd::IsForeignWindow(own));
  EXPECT_FALSE(vd::IsForeignWindow(vd::Taskbar()));
  char name[100];
  GetClassNameA(a, name, sizeof name);
  EXPECT_STREQ(name, "XTerm");
  // Another program's class cannot pass for the shell's own.
  GetClassNameA(b, name, sizeof name);
  EXPECT_STREQ(name, "Foreign:Shell_TrayWnd");
  EXPECT_EQ(FindWindowA("Shell_TrayWnd", nullptr), vd::Taskbar());
  GetWindowTextA(a, name, sizeof name);
  EXPECT_STREQ(name, "Editor");
  // It never becomes the active window, and never takes the mouse.
  vd::MouseDown(100, 60);
  vd::MouseUp(100, 60);
  EXPECT_NE(GetActiveWindow(), a);
  EXPECT_NE(GetActiveWindow(), b);
}

TEST(ForeignShell, AForeignWindowThatMovesAwayLeavesTheClearColourBehind) {
  vd::Reset(ForeignConfig());
  HWND w = vd::CreateForeignWindow("Editor", "XTerm", RECT{100, 100, 300, 200}, true);
  vd::PaintPending();
  // Something drawn on the desktop where the window will uncover it.
  HDC screen = GetDC(nullptr);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT mark{0, 0, 50, 50};
  FillRect(screen, &mark, red);
  DeleteObject(red);
  ReleaseDC(nullptr, screen);
  SetWindowPos(w, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(w, nullptr, 400, 400, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  vd::PaintPending();
  EXPECT_EQ(CountPixels(RECT{0, 0, 300, 200}, IsDrawn), 0);
  EXPECT_EQ(CountPixels(RECT{400, 400, 600, 500}, IsDrawn), 0);
}

TEST(ForeignShell, PlacedTrayIconsTakeTheMouseWhereTheDisplayShowsThem) {
  vd::Reset(ForeignConfig());
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "Owner";
  RegisterClassExA(&wc);
  HWND owner = CreateWindowExA(0, "Owner", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  NOTIFYICONDATAA data{};
  data.cbSize = sizeof data;
  data.hWnd = owner;
  data.uID = 5;
  data.uFlags = NIF_MESSAGE | NIF_TIP;
  data.uCallbackMessage = WM_USER + 9;
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
  vd::PlaceTrayIcons(RECT{900, 740, 924, 764}, 24);
  ASSERT_EQ(vd::TrayIcons().size(), 1u);
  RECT placed = vd::TrayIcons()[0].rect, expected{900, 740, 924, 764};
  EXPECT_TRUE(EqualRect(&placed, &expected));
  vd::MouseDown(910, 750, 1);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, owner, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, UINT(WM_USER + 9));
  EXPECT_EQ(msg.wParam, WPARAM(5));
  EXPECT_EQ(msg.lParam, LPARAM(WM_RBUTTONDOWN));
  // Outside the square nothing reaches the icon's owner.
  vd::MouseDown(899, 750, 1);
  // Pending paints come back until dispatched; what is posted comes first.
  for (int i = 0; i < 10 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    EXPECT_FALSE(msg.hwnd == owner && msg.message == UINT(WM_USER + 9));
    DispatchMessageA(&msg);
  }
}

// The program over a foreign shell: petals pile on a foreign window's top edge
// and never inside it; when the window goes, so does the pile.
class ProgramOnForeignShell : public progtest::ProgramTest {
 protected:
  void SetUp() override {
    vd::Config config = ForeignConfig();
    config.registryPath = registry();
    vd::Reset(config);
    ResetProgramState();
  }
};

TEST_F(ProgramOnForeignShell, PetalsPileOnAForeignWindowAndGoWithIt) {
  const RECT window{150, 400, 700, 600};
  HWND w = vd::CreateForeignWindow("Editor", "XTerm", window, true);
  int inside = -1, pile = -1, pileAfterMove = -1;
  RECT band{window.left, window.top - 16, window.right, window.top};
  vd::At(60000, [&] {
    inside = CountPixels(window, IsDrawn);
    pile = CountPixels(band, IsDrawn);
    SetWindowPos(w, nullptr, 0, 650, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  });
  vd::At(61000, [&] { pileAfterMove = CountPixels(band, IsDrawn); });
  Run(61001);
  EXPECT_EQ(inside, 0);
  EXPECT_GT(pile, 200);
  EXPECT_LT(pileAfterMove, pile / 10);  // only petals falling through the band
}

TEST(GetWindowTest, WalksOwnersChildrenAndSiblingsAsWin32Does) {
  vd::Config config;
  config.shell = false;
  vd::Reset(config);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "Plain";
  RegisterClassExA(&wc);
  HWND top = CreateWindowExA(0, "Plain", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  HWND owned = CreateWindowExA(0, "Plain", "", WS_POPUP, 0, 0, 10, 10, top, nullptr, nullptr, nullptr);
  HWND first = CreateWindowExA(0, "Plain", "", WS_CHILD, 0, 0, 5, 5, top, nullptr, nullptr, nullptr);
  HWND second = CreateWindowExA(0, "Plain", "", WS_CHILD, 0, 0, 5, 5, top, nullptr, nullptr, nullptr);
  EXPECT_EQ(GetWindow(owned, GW_OWNER), top);
  EXPECT_EQ(GetWindow(top, GW_OWNER), nullptr);
  EXPECT_EQ(GetWindow(first, GW_OWNER), nullptr);  // a child has a parent, not an owner
  EXPECT_EQ(GetWindow(top, GW_CHILD), first);       // the top of the children's Z order
  EXPECT_EQ(GetWindow(first, GW_HWNDNEXT), second);
  EXPECT_EQ(GetWindow(second, GW_HWNDPREV), first);
  EXPECT_EQ(GetWindow(second, GW_HWNDNEXT), nullptr);
  EXPECT_EQ(GetWindow(second, GW_HWNDFIRST), first);
  EXPECT_EQ(GetWindow(first, GW_HWNDLAST), second);
  EXPECT_EQ(GetWindow(reinterpret_cast<HWND>(0x1234), GW_OWNER), nullptr);
  RECT a{1, 2, 3, 4}, b{1, 2, 3, 4}, c{1, 2, 3, 5};
  EXPECT_TRUE(EqualRect(&a, &b));
  EXPECT_FALSE(EqualRect(&a, &c));
}

}  // namespace

#ifdef MIVORA_HAVE_X11
#include "x11/keys.h"

namespace {

// The keys the dialogs and menus take, by the keysym X reports without
// modifiers; keys nobody here uses give 0.
TEST(X11Keys, KeysymsBecomeTheVirtualKeysWin32Sends) {
  struct Case {
    uint32_t keysym;
    int vk;
  };
  const Case cases[] = {
      {0x0061, 'A'},          {0x007a, 'Z'},        {0x0030, '0'},         {0x0039, '9'},
      {0xffb5, '5'},          {0xffbe, VK_F1},      {0xff09, VK_TAB},      {0xfe20, VK_TAB},
      {0xff0d, VK_RETURN},    {0xff8d, VK_RETURN},  {0xff1b, VK_ESCAPE},   {0xff08, VK_BACK},
      {0x0020, VK_SPACE},     {0xffff, VK_DELETE},  {0xff51, VK_LEFT},     {0xff54, VK_DOWN},
      {0xffe1, VK_SHIFT},     {0xffe4, VK_CONTROL}, {0xffe9, VK_MENU},     {0x002d, VK_OEM_MINUS},
      {0xffad, VK_OEM_MINUS}, {0xff61, 0},          {0x00e9, 0},           {0, 0},
  };
  for (const Case &c : cases) EXPECT_EQ(vd::x11::VirtualKeyForKeysym(c.keysym), c.vk) << std::hex << c.keysym;
}

}  // namespace
#endif
