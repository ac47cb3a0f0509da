// The desktop as a user works it while the program runs: title bars that show
// which window is active, Alt+F4, windows kept within reach when dragged,
// frames that resize, icons and the start button that bring closed windows
// back, and drags that leave no petal pixels behind.
#include <gtest/gtest.h>

#include <vector>

#include "geometry/geometry.h"
#include "scenes.h"
#include "sim/sim.h"
#include "support/dialog_driver.h"

namespace {

constexpr uint32_t kActiveCaption = 0x000080;
constexpr uint32_t kInactiveCaption = 0x808080;

RECT RectOf(HWND hwnd) {
  RECT r{0, 0, 0, 0};
  GetWindowRect(hwnd, &r);
  return r;
}
// A pixel of the title bar, right of its text and left of the close box.
uint32_t CaptionPixel(HWND hwnd) {
  RECT r = RectOf(hwnd);
  return vd::Pixel(r.right - 30, r.top + 6);
}
HWND AppWindow(const char *title) { return FindWindowA("AppWindow", title); }

class DesktopUse : public progtest::DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    ASSERT_TRUE(rec::SetUpScene("still"));  // Notes, Mail, Calendar with their icons
  }
  void Press(int x, int y) {
    Step([=] {
      vd::MouseMove(x, y);
      vd::MouseDown(x, y);
      vd::MouseUp(x, y);
    });
  }
  // Drags with the left button from (x, y) by (dx, dy) in ten moves.
  void Drag(int x, int y, int dx, int dy) {
    Step([=] {
      vd::MouseMove(x, y);
      vd::MouseDown(x, y);
      for (int i = 1; i <= 10; ++i) vd::MouseMove(x + dx * i / 10, y + dy * i / 10);
      vd::MouseUp(x + dx, y + dy);
    });
  }
  void DoubleClickAt(POINT p) {
    Step([=] {
      vd::MouseDown(p.x, p.y);
      vd::MouseUp(p.x, p.y);
      vd::DoubleClick(p.x, p.y);
      vd::MouseUp(p.x, p.y);
    });
  }
  static POINT IconOf(const std::string &title) {
    for (const vd::DesktopIconInfo &icon : vd::DesktopIcons())
      if (icon.title == title) return POINT{(icon.icon.left + icon.icon.right) / 2, (icon.icon.top + icon.icon.bottom) / 2};
    return POINT{-1, -1};
  }
};

TEST_F(DesktopUse, TheTitleBarsShowWhichWindowIsActive) {
  uint32_t notesFirst = 0, mailFirst = 0, notesThen = 0, mailThen = 0, notesAfterDesktop = 0;
  // A click into Notes' client area, then into Mail's.
  Press(100, 480);
  Check([&] {
    notesFirst = CaptionPixel(AppWindow("Notes"));
    mailFirst = CaptionPixel(AppWindow("Mail"));
  });
  Press(600, 600);
  Check([&] {
    notesThen = CaptionPixel(AppWindow("Notes"));
    mailThen = CaptionPixel(AppWindow("Mail"));
  });
  Press(800, 200);  // the desktop
  Check([&] { notesAfterDesktop = CaptionPixel(AppWindow("Mail")); });
  RunScript();
  EXPECT_EQ(notesFirst, kActiveCaption);
  EXPECT_EQ(mailFirst, kInactiveCaption);
  EXPECT_EQ(notesThen, kInactiveCaption);
  EXPECT_EQ(mailThen, kActiveCaption);
  EXPECT_EQ(notesAfterDesktop, kInactiveCaption);
}

TEST_F(DesktopUse, AltF4ClosesTheActiveWindowAndHidesTheSettingsDialog) {
  Press(100, 480);
  KeyWith(VK_MENU, VK_F4);
  HWND notesAfter = reinterpret_cast<HWND>(1), mailAfter = nullptr;
  Check([&] {
    notesAfter = AppWindow("Notes");
    mailAfter = AppWindow("Mail");
  });
  ShowDialog();
  bool shown = false, hidden = false;
  Check([&] { shown = IsWindowVisible(SettingsDialog) && GetActiveWindow() == SettingsDialog; });
  KeyWith(VK_MENU, VK_F4);
  Check([&] { hidden = !IsWindowVisible(SettingsDialog) && IsWindow(SettingsDialog); });
  int code = Run(next_ + 100);
  EXPECT_EQ(notesAfter, nullptr);
  EXPECT_NE(mailAfter, nullptr) << "only the active window closes";
  EXPECT_TRUE(shown);
  EXPECT_TRUE(hidden) << "as its close box does: hidden, not destroyed";
  EXPECT_EQ(code, vd::kTimeUpExitCode) << "the program goes on";
}

// The shell is not the user's to close: Alt+F4 after a click on the empty
// desktop, on the taskbar, or with no window active leaves every window standing.
TEST_F(DesktopUse, AltF4OnTheDesktopOrTheTaskbarClosesNothing) {
  struct Case {
    const char *where;
    int x, y;
  };
  const Case cases[] = {{"the empty desktop", 800, 200}, {"the taskbar", 400, 760}, {"the empty desktop again", 900, 100}};
  struct Seen {
    bool shell = false, icons = false, apps = false;
  };
  std::vector<Seen> seen(std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    Press(cases[i].x, cases[i].y);
    KeyWith(VK_MENU, VK_F4);
    Check([&, i] {
      seen[i].shell = IsWindowVisible(vd::ProgramManager()) && IsWindowVisible(vd::DesktopListView()) &&
                      IsWindowVisible(vd::Taskbar());
      seen[i].icons = vd::DesktopIcons().size() == 3 && IsWindow(vd::DesktopListView());
      seen[i].apps = AppWindow("Notes") && AppWindow("Mail") && AppWindow("Calendar");
    });
  }
  int code = Run(next_ + 100);
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].where);
    EXPECT_TRUE(seen[i].shell);
    EXPECT_TRUE(seen[i].icons);
    EXPECT_TRUE(seen[i].apps) << "no window of the scene closes either";
  }
  EXPECT_EQ(code, vd::kTimeUpExitCode);
}

TEST_F(DesktopUse, AWindowCannotBeDraggedOutOfReach) {
  // Each drag grabs Notes' title bar 90 pixels from its left, 8 from its top.
  auto dragNotes = [this](int dx, int dy, RECT *after) {
    Step([=] {
      RECT r = RectOf(AppWindow("Notes"));
      int x = r.left + 90, y = r.top + 8;
      vd::MouseMove(x, y);
      vd::MouseDown(x, y);
      for (int i = 1; i <= 10; ++i) vd::MouseMove(x + dx * i / 10, y + dy * i / 10);
      vd::MouseUp(x + dx, y + dy);
    });
    Check([=] { *after = RectOf(AppWindow("Notes")); });
  };
  RECT down{}, up{}, left{}, right{};
  dragNotes(200, 2000, &down);  // past the taskbar and the screen's bottom
  dragNotes(0, -3000, &up);
  dragNotes(-3000, 300, &left);
  dragNotes(5000, 0, &right);
  RunScript();
  RECT work{0, 0, 1024, 768 - 28};
  // The grabbed point of the title bar stays in the work area, above the taskbar.
  EXPECT_EQ(down.top + 8, work.bottom - 1);
  EXPECT_EQ(up.top + 8, 0);
  EXPECT_EQ(left.left + 90, 0);
  EXPECT_EQ(right.left + 90, work.right - 1);
  for (const RECT &r : {down, up, left, right}) {
    RECT caption{r.left, r.top, r.right, r.top + 20}, seen;
    EXPECT_TRUE(IntersectRect(&seen, &caption, &work)) << "part of the title bar is on the screen";
  }
}

TEST_F(DesktopUse, AThickFrameResizesTheWindowNoSmallerThanTheMinimum) {
  RECT wider{}, smallest{}, fromCorner{};
  // Mail spans (300, 430)-(680, 690): its right frame, then its top-left corner.
  Drag(678, 560, 60, 0);
  Check([&] { wider = RectOf(AppWindow("Mail")); });
  Drag(739, 560, -1000, 0);
  Check([&] { smallest = RectOf(AppWindow("Mail")); });
  Drag(301, 431, -50, -40);
  Check([&] { fromCorner = RectOf(AppWindow("Mail")); });
  RunScript();
  EXPECT_EQ(wider.left, 300);
  EXPECT_EQ(wider.right, 740);
  EXPECT_EQ(smallest.right - smallest.left, 112) << "the smallest tracking width";
  EXPECT_EQ(fromCorner.left, 250);
  EXPECT_EQ(fromCorner.top, 390);
  EXPECT_EQ(fromCorner.right, 412);
  EXPECT_EQ(fromCorner.bottom, 690);
}

TEST_F(DesktopUse, ResizingAWindowTakesThePileOffWhatItNoLongerCovers) {
  // Let the piles grow on Calendar (250, 190)-(510, 360), under the branch.
  Wait(60000);
  int pileBefore = 0, pileAfter = 0;
  auto pileOver = [](int left, int right) {
    int n = 0;
    for (int x = left; x < right; ++x)
      for (int y = 150; y < 190; ++y) n += PtInRegion(LandingRegion, x, y) != 0;
    return n;
  };
  auto drawnOver = [](int left, int right) {
    int n = 0;
    for (int x = left; x < right; ++x)
      for (int y = 150; y < 190; ++y) n += vd::Pixel(x, y) != 0x008080;
    return n;
  };
  int drawnAfter = 0;
  Check([&] { pileBefore = pileOver(260, 500); });
  // Its right frame dragged in to x = 380: the top edge from 380 to 510 goes.
  Drag(508, 280, -128, 0);
  Wait(200);
  Check([&] {
    pileAfter = pileOver(400, 500);
    drawnAfter = drawnOver(400, 500);
  });
  RunScript();
  EXPECT_GT(pileBefore, 0) << "petals piled on the window";
  EXPECT_EQ(pileAfter, 0);
  EXPECT_LT(drawnAfter, 60) << "at most a petal or two falling through";
}

TEST_F(DesktopUse, AClosedWindowComesBackFromItsIconAndAnOpenOneIsRaised) {
  std::vector<vd::DesktopIconInfo> icons;
  Check([&] { icons = vd::DesktopIcons(); });
  // Calendar's close box, then its icon.
  Step([] {
    RECT r = RectOf(AppWindow("Calendar"));
    vd::MouseDown(r.right - 12, r.top + 10);
    vd::MouseUp(r.right - 12, r.top + 10);
  });
  HWND closed = reinterpret_cast<HWND>(1), back = nullptr, notesBefore = nullptr;
  RECT backAt{};
  uint32_t caption = 0;
  int labelInk = 0;
  Check([&] {
    closed = AppWindow("Calendar");
    // The icon's label shows its name: light letters on the desktop.
    RECT label = icons[2].label;
    for (int y = label.top; y < label.bottom; ++y)
      for (int x = label.left; x < label.right; ++x) {
        uint32_t p = vd::Pixel(x, y);
        labelInk += (p >> 16 & 255) + (p >> 8 & 255) + (p & 255) > 500;
      }
  });
  DoubleClickAt(IconOf("Calendar"));
  Check([&] {
    back = AppWindow("Calendar");
    backAt = RectOf(back);
    caption = CaptionPixel(back);
    notesBefore = AppWindow("Notes");
  });
  // Notes is open: its icon raises it over Calendar rather than opening a second one.
  DoubleClickAt(IconOf("Notes"));
  HWND top = nullptr;
  int notesCount = 0;
  Check([&] {
    // EnumWindows goes from the top of the Z order down.
    static HWND first;
    first = nullptr;
    EnumWindows(
        [](HWND h, LPARAM) {
          if (!first && (h == AppWindow("Notes") || h == AppWindow("Calendar"))) first = h;
          return TRUE;
        },
        0);
    top = first;
    EnumWindows(
        [](HWND h, LPARAM count) {
          char title[32];
          GetWindowTextA(h, title, sizeof title);
          if (std::string(title) == "Notes") ++*reinterpret_cast<int *>(count);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&notesCount));
  });
  RunScript();
  ASSERT_EQ(icons.size(), 3u);
  EXPECT_EQ(icons[2].title, "Calendar");
  EXPECT_GT(labelInk, 20);
  EXPECT_EQ(closed, nullptr);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(backAt.left, 250);
  EXPECT_EQ(backAt.top, 190);
  EXPECT_EQ(caption, kActiveCaption);
  EXPECT_EQ(top, notesBefore);
  EXPECT_EQ(notesCount, 1);
}

TEST_F(DesktopUse, TheStartButtonsMenuListsTheWindowsAndOpensThem) {
  Step([] { DestroyWindow(AppWindow("Mail")); });
  HWND menu = nullptr;
  std::vector<std::pair<UINT, std::string>> items;
  Step([] {
    RECT b = vd::StartButton();
    vd::MouseDown(b.left + 10, b.top + 10);
    vd::MouseUp(b.left + 10, b.top + 10);
  });
  RECT menuRect{};
  Check([&] {
    menu = FindWindowA("#32768", nullptr);
    menuRect = RectOf(menu);
    items = vd::MenuItems(vd::Menus().back().menu);
  });
  // "Mail" is the second item: Down twice, Enter.
  Key(VK_DOWN);
  Key(VK_DOWN);
  Key(VK_RETURN);
  HWND mail = nullptr;
  Check([&] { mail = AppWindow("Mail"); });
  RunScript();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menuRect.bottom, vd::StartButton().top - 2) << "above the button";
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].second, "Notes");
  EXPECT_EQ(items[1].second, "Mail");
  EXPECT_EQ(items[2].second, "Calendar");
  EXPECT_NE(mail, nullptr);
  EXPECT_TRUE(IsWindowVisible(mail));
}

// Dragging the settings dialog back and forth over falling petals, forty
// times: three seconds after each drag no petal pixels are left anywhere but
// on a petal still falling or on a pile standing on a landing surface.
TEST_F(DesktopUse, DraggingTheDialogAboutLeavesNoPetalPixelsBehind) {
  ShowDialog();
  Step([] { SetWindowPos(SettingsDialog, nullptr, 60, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER); });
  // What the program drew on the desktop: the screen where a repaint of the
  // desktop alone would differ from it.
  auto drawn = [] {
    std::vector<uint32_t> screen(vd::Framebuffer(), vd::Framebuffer() + 1024 * 768);
    HWND view = vd::DesktopListView();
    InvalidateRect(view, nullptr, TRUE);
    UpdateWindow(view);
    std::vector<uint32_t> out(screen.size(), 0);
    for (size_t i = 0; i < out.size(); ++i) out[i] = screen[i] != vd::Framebuffer()[i] ? screen[i] : 0;
    std::copy(screen.begin(), screen.end(), const_cast<uint32_t *>(vd::Framebuffer()));
    return out;
  };
  auto onPile = [](int x, int y) {
    for (int dx = -14; dx <= 14; dx += 2)
      for (int d = 0; d < 30; ++d)
        if (PtInRegion(LandingRegion, x + dx, y + d)) return true;
    return false;
  };
  static RECT start;
  static std::vector<uint32_t> before;
  int stale = 0;
  Wait(39000);
  for (int k = 0; k < 40; ++k) {
    uint64_t t = Step([] {
      GetWindowRect(SettingsDialog, &start);
      vd::MouseDown(start.left + 60, start.top + 8);
    });
    for (int i = 1; i <= 60; ++i)
      vd::At(t + 7 * uint64_t(i), [i, k] {
        int dy = (k % 2 ? -1 : 1) * i / 2, dx = ((k / 2) % 2 ? -1 : 1) * i / 3;
        vd::MouseMove(start.left + 60 + dx, start.top + 8 + dy);
      });
    vd::At(t + 430, [] {
      POINT p;
      GetCursorPos(&p);
      vd::MouseUp(p.x, p.y);
    });
    vd::At(t + 600, [&] { before = drawn(); });
    vd::At(t + 3600, [&] {
      std::vector<uint32_t> after = drawn();
      for (int y = 100; y < 740; ++y)
        for (int x = 80; x < 1024; ++x) {
          size_t i = size_t(y) * 1024 + x;
          if (before[i] && before[i] == after[i] && !onPile(x, y)) stale++;
        }
    });
    Wait(5950);
  }
  RunScript();
  EXPECT_EQ(stale, 0);
}

}  // namespace
