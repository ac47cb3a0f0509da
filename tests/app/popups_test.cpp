// The program's popups as a user meets them: the icon's menu, the message
// boxes, the icon's tooltip and the help popup are windows on the screen,
// seen in its pixels, and worked by the mouse and the keyboard.
#include <gtest/gtest.h>

#include <functional>

#include "resource.h"
#include "settings/settings.h"
#include "support/dialog_driver.h"

namespace {

constexpr uint32_t kFace = 0xC0C0C0;
constexpr uint32_t kHighlight = 0x000080;
constexpr uint32_t kInfoBack = 0xFFFFE1;
constexpr uint32_t kBlack = 0x000000;

int CountPixels(const RECT &r, const std::function<bool(uint32_t)> &match) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) n += match(vd::Pixel(x, y));
  return n;
}
int CountColour(const RECT &r, uint32_t colour) {
  return CountPixels(r, [colour](uint32_t p) { return p == colour; });
}
// Ink of text: dark pixels on a light ground.
int CountDark(const RECT &r) {
  return CountPixels(r, [](uint32_t p) { return ((p >> 16 & 255) + (p >> 8 & 255) + (p & 255)) < 200; });
}
RECT WindowRectOf(HWND hwnd) {
  RECT r{0, 0, 0, 0};
  GetWindowRect(hwnd, &r);
  return r;
}
RECT Inset(RECT r, int by) { return RECT{r.left + by, r.top + by, r.right - by, r.bottom - by}; }

class Popups : public progtest::DialogTest {
 protected:
  static POINT IconCentre() {
    RECT r = vd::TrayIcons().at(0).rect;
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  void RightClickIcon() {
    Step([] {
      POINT p = IconCentre();
      vd::MouseMove(p.x, p.y);
      vd::MouseDown(p.x, p.y, 1);
      vd::MouseUp(p.x, p.y, 1);
    });
  }
  static HWND MenuWindow() { return FindWindowA("#32768", nullptr); }
  // The screen rectangle of the menu's only item, "E&xit".
  static RECT ExitItem() {
    RECT r = Inset(WindowRectOf(MenuWindow()), 3);
    return r;
  }
};

TEST_F(Popups, TheIconMenuIsDrawnOnTheScreenTheMouseHighlightsExitAndAClickOnItEndsTheProgram) {
  RightClickIcon();
  RECT menu{}, item{};
  int face = 0, ink = 0, highlightBefore = 0, highlightAfter = 0;
  bool openAfterRelease = false;
  Check([&] {
    ASSERT_NE(MenuWindow(), nullptr);
    menu = WindowRectOf(MenuWindow());
    item = ExitItem();
    face = CountColour(item, kFace);
    ink = CountDark(item);
    highlightBefore = CountColour(item, kHighlight);
    openAfterRelease = vd::MenuOpen();
  });
  Step([&] { vd::MouseMove((item.left + item.right) / 2, item.top + 4); });
  Check([&] { highlightAfter = CountColour(item, kHighlight); });
  Step([&] {
    int x = (item.left + item.right) / 2, y = (item.top + item.bottom) / 2;
    vd::MouseDown(x, y);
    vd::MouseUp(x, y);
  });
  int code = Run(next_ + 1000);
  EXPECT_EQ(vd::Menus().back().rect.left, menu.left) << "the record names the window's place";
  EXPECT_EQ(menu.bottom, 768) << "its bottom on the screen's bottom edge";
  EXPECT_GT(face, 100);
  EXPECT_GT(ink, 10) << "the item's text";
  EXPECT_EQ(highlightBefore, 0);
  EXPECT_TRUE(openAfterRelease) << "the release of the press that opened it chooses nothing";
  EXPECT_GT(highlightAfter, (item.right - item.left) * (item.bottom - item.top) / 2);
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(vd::TrayIcons().empty());
}

TEST_F(Popups, TheKeysWorkTheMenuAndItsWindowLeavesNoTraceOnTheScreen) {
  std::vector<uint32_t> before;
  Step([&] { before.assign(vd::Framebuffer(), vd::Framebuffer() + 1024 * 768); });
  RightClickIcon();
  RECT item{};
  int highlighted = 0;
  Key(VK_DOWN);
  Check([&] {
    item = ExitItem();
    highlighted = CountColour(item, kHighlight);
  });
  Key(VK_ESCAPE);
  bool closed = false;
  RECT menu{};
  int changedUnderMenu = -1;
  Check([&] {
    closed = !vd::MenuOpen() && !MenuWindow();
    menu = vd::Menus().back().rect;
    // The taskbar under it is painted again as it was (petals fall far above).
    int n = 0;
    for (int y = menu.top; y < menu.bottom; ++y)
      for (int x = menu.left; x < menu.right; ++x) n += vd::Pixel(x, y) != before[size_t(y) * 1024 + x];
    changedUnderMenu = n;
  });
  RightClickIcon();
  Key('X');  // the underlined letter
  int code = Run(next_ + 1000);
  EXPECT_GT(highlighted, 100);
  EXPECT_TRUE(closed);
  EXPECT_EQ(vd::Menus()[0].result, 0u);
  EXPECT_EQ(changedUnderMenu, 0);
  EXPECT_EQ(code, 0);
}

TEST_F(Popups, APressOutsideTheMenuDismissesItAndGoesNoFurther) {
  HWND notes = nullptr;
  RECT notesBefore{};
  Step([&] {
    notes = vd::CreateAppWindow("Notes", RECT{60, 330, 340, 530});
    notesBefore = WindowRectOf(notes);
  });
  RightClickIcon();
  // A press on the title bar of the window would start a drag.
  Step([] { vd::MouseDown(150, 340); });
  Step([] {
    vd::MouseMove(350, 100);
    vd::MouseUp(350, 100);
  });
  bool open = true;
  RECT notesAfter{};
  Check([&] {
    open = vd::MenuOpen();
    notesAfter = WindowRectOf(notes);
  });
  Run(next_ + 100);
  EXPECT_FALSE(open);
  EXPECT_EQ(vd::Menus().back().result, 0u);
  EXPECT_EQ(notesAfter.left, notesBefore.left);
  EXPECT_EQ(notesAfter.top, notesBefore.top);
}

TEST_F(Popups, TheIconShowsItsTipAfterTheMouseRestsOnItAndLeavingHidesIt) {
  Step([] {
    POINT p = IconCentre();
    vd::MouseMove(p.x, p.y);
  });
  HWND early = nullptr, tip = nullptr, afterLeaving = nullptr;
  RECT tipRect{};
  int back = 0, ink = 0;
  char text[32] = "";
  Wait(400);
  Check([&] { early = FindWindowA("tooltips_class32", nullptr); });
  Wait(150);
  Check([&] {
    tip = FindWindowA("tooltips_class32", nullptr);
    if (!tip) return;
    tipRect = WindowRectOf(tip);
    back = CountColour(Inset(tipRect, 1), kInfoBack);
    ink = CountDark(Inset(tipRect, 1));
    GetWindowTextA(tip, text, sizeof text);
  });
  Step([] { vd::MouseMove(500, 500); });
  Check([&] { afterLeaving = FindWindowA("tooltips_class32", nullptr); });
  Run(next_ + 100);
  EXPECT_EQ(early, nullptr) << "not before the mouse has rested for half a second";
  ASSERT_NE(tip, nullptr);
  EXPECT_STREQ(text, "Mivora");
  EXPECT_GT(back, 50);
  EXPECT_GT(ink, 15) << "the tip's text";
  EXPECT_LE(tipRect.bottom, vd::TrayIcons()[0].rect.top) << "above the icon, the taskbar being at the bottom";
  EXPECT_EQ(afterLeaving, nullptr);
}

TEST_F(Popups, TheTipGoesOnAPressOrAKeyAndAfterFiveSeconds) {
  auto rest = [this] {
    Step([] { vd::MouseMove(10, 10); });
    Step([] {
      POINT p = IconCentre();
      vd::MouseMove(p.x, p.y);
    });
    Wait(600);
  };
  bool shown[3] = {}, gone[3] = {};
  rest();
  Check([&] { shown[0] = FindWindowA("tooltips_class32", nullptr) != nullptr; });
  Step([] {
    POINT p = IconCentre();
    vd::MouseDown(p.x, p.y);
    vd::MouseUp(p.x, p.y);
  });
  Check([&] { gone[0] = !FindWindowA("tooltips_class32", nullptr); });
  rest();
  Check([&] { shown[1] = FindWindowA("tooltips_class32", nullptr) != nullptr; });
  Key(VK_SHIFT);
  Check([&] { gone[1] = !FindWindowA("tooltips_class32", nullptr); });
  rest();
  Check([&] { shown[2] = FindWindowA("tooltips_class32", nullptr) != nullptr; });
  Wait(5000);
  Check([&] { gone[2] = !FindWindowA("tooltips_class32", nullptr); });
  Run(next_ + 100);
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(shown[i]) << i;
    EXPECT_TRUE(gone[i]) << i;
  }
}

TEST_F(Popups, TheHelpPopupIsOnTheScreenAndAKeyOrAClickClosesIt) {
  ShowDialog();
  // Right-click a control: its topic at the pointer.
  RightClick(IDC_SAVE);
  HWND popup = nullptr;
  int back = 0, ink = 0;
  Check([&] {
    popup = FindWindowA(HELP_POPUP_CLASS, nullptr);
    if (!popup) return;
    RECT r = Inset(WindowRectOf(popup), 1);
    back = CountColour(r, kInfoBack);
    ink = CountDark(r);
  });
  Key(VK_ESCAPE);
  HWND afterKey = reinterpret_cast<HWND>(1);
  Check([&] { afterKey = FindWindowA(HELP_POPUP_CLASS, nullptr); });
  // Once more by F1 on the focused control, closed by a click elsewhere.
  Click(IDC_FLOWERS);
  Key(VK_F1);
  HWND byF1 = nullptr, afterClick = reinterpret_cast<HWND>(1);
  Check([&] { byF1 = FindWindowA(HELP_POPUP_CLASS, nullptr); });
  Step([] {
    vd::MouseDown(900, 100);
    vd::MouseUp(900, 100);
  });
  Check([&] { afterClick = FindWindowA(HELP_POPUP_CLASS, nullptr); });
  RunScript();
  ASSERT_NE(popup, nullptr);
  EXPECT_GT(back, 500);
  EXPECT_GT(ink, 100) << "the topic's text";
  EXPECT_EQ(afterKey, nullptr);
  EXPECT_NE(byF1, nullptr);
  EXPECT_EQ(afterClick, nullptr);
}

// Message boxes, opened straight from a timer of a plain window while the
// desktop runs: what shows, and each way of answering.
class MessageBoxes : public progtest::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    owner = vd::CreateAppWindow("Owner", RECT{100, 100, 400, 300});
  }
  // Opens a box at 100 ms; `drive` runs against it at 200 ms, then `late` at 300.
  int Open(UINT type, std::function<void(HWND box)> drive, std::function<void(HWND box)> late = nullptr) {
    int answer = -1;
    vd::At(100, [&, type] { answer = MessageBoxA(owner, "First line\nSecond line", "Caption", type); });
    vd::At(200, [&] { drive(FindWindowA("#32770", "Caption")); });
    if (late) vd::At(300, [&] { late(FindWindowA("#32770", "Caption")); });
    vd::StopAt(1000);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
    return answer;
  }
  static POINT ButtonCentre(HWND box, int id) {
    RECT r = WindowRectOf(GetDlgItem(box, id));
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  static void Press(int vk) {
    vd::KeyDown(vk);
    vd::KeyUp(vk);
  }
  HWND owner = nullptr;
};

TEST_F(MessageBoxes, TheBoxIsOnTheScreenActiveCentredAndItsOkButtonAnswersAClick) {
  RECT box{}, caption{};
  int captionBlue = 0, textInk = 0;
  bool ownerDisabled = false;
  int answer = Open(MB_OK, [&](HWND hwnd) {
    ASSERT_NE(hwnd, nullptr);
    box = WindowRectOf(hwnd);
    caption = RECT{box.left + 4, box.top + 4, box.right - 24, box.top + 20};
    captionBlue = CountColour(caption, kHighlight);
    RECT client{};
    GetClientRect(hwnd, &client);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    textInk = CountDark(RECT{origin.x + 8, origin.y + 8, origin.x + client.right - 8, origin.y + 40});
    ownerDisabled = !IsWindowEnabled(owner);
    POINT ok = ButtonCentre(hwnd, IDOK);
    vd::MouseDown(ok.x, ok.y);
    vd::MouseUp(ok.x, ok.y);
  });
  EXPECT_EQ(answer, IDOK);
  EXPECT_NEAR(box.left + box.right, 1024, 1) << "centred across the work area";
  EXPECT_GT(captionBlue, (caption.right - caption.left) * 8) << "the caption of the active window";
  EXPECT_GT(textInk, 40) << "the two lines of text";
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(FindWindowA("#32770", "Caption"), nullptr);
}

TEST_F(MessageBoxes, EnterSpaceAndEscAnswerAnOkBoxWithOk) {
  EXPECT_EQ(Open(MB_OK, [](HWND) { Press(VK_RETURN); }), IDOK);
  vd::ClearRecords();
  EXPECT_EQ(Open(MB_OK, [](HWND) { Press(VK_SPACE); }), IDOK);
  EXPECT_EQ(Open(MB_OK, [](HWND) { Press(VK_ESCAPE); }), IDOK);
}

TEST_F(MessageBoxes, OnAnOkCancelBoxEscIsCancelAndTabThenSpacePressesCancel) {
  EXPECT_EQ(Open(MB_OKCANCEL, [](HWND) { Press(VK_ESCAPE); }), IDCANCEL);
  EXPECT_EQ(Open(MB_OKCANCEL, [](HWND) { Press(VK_TAB); }, [](HWND) { Press(VK_SPACE); }), IDCANCEL);
  // A press on a button and a release away from it is no click.
  EXPECT_EQ(Open(
                MB_OKCANCEL,
                [](HWND box) {
                  POINT ok = ButtonCentre(box, IDOK);
                  vd::MouseDown(ok.x, ok.y);
                  vd::MouseUp(ok.x, ok.y - 60);
                },
                [](HWND) { Press(VK_RETURN); }),
            IDOK);
}

TEST_F(MessageBoxes, AYesNoBoxIgnoresEscAndAnswersItsButtons) {
  EXPECT_EQ(Open(MB_YESNO, [](HWND) { Press(VK_ESCAPE); }, [](HWND box) {
              POINT no = ButtonCentre(box, IDNO);
              vd::MouseDown(no.x, no.y);
              vd::MouseUp(no.x, no.y);
            }),
            IDNO);
}

}  // namespace
