// Statements about Win32's window manager, message queue, timers and modal
// loops, checked on the virtual desktop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "resource.h"
#include "shellapi.h"
#include "vdesktop.h"

namespace {

std::vector<UINT> received;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_TIMER || msg == WM_USER) received.push_back(msg == WM_TIMER ? UINT(wParam) : WM_USER);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class UserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vd::Reset();
    vd::RecordObservations(true);
    received.clear();
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "Recorder";
    ASSERT_NE(RegisterClassExA(&wc), 0);
    hwnd = CreateWindowExA(0, "Recorder", "A window title", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr, nullptr,
                           nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
  }
  // Pumps messages until virtual time reaches `ms`.
  void PumpUntil(uint64_t ms) {
    vd::StopAt(ms);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
  }
  HWND hwnd = nullptr;
};

TEST_F(UserTest, TimerPeriodsBelowTheMinimumBecomeTenMilliseconds) {
  SetTimer(hwnd, 7, 0, nullptr);
  PumpUntil(100);
  EXPECT_EQ(received.size(), 10u);
  EXPECT_EQ(vd::Timers()[0].period, UINT(USER_TIMER_MINIMUM));
}

TEST_F(UserTest, SettingARunningTimerRestartsItAndKillTimerStopsIt) {
  SetTimer(hwnd, 1, 100, nullptr);
  vd::At(90, [this] { SetTimer(hwnd, 1, 100, nullptr); });  // due again at 190, not 100
  vd::At(150, [] { EXPECT_TRUE(received.empty()); });
  vd::At(195, [this] {
    EXPECT_EQ(received.size(), 1u);
    EXPECT_TRUE(KillTimer(hwnd, 1));
    EXPECT_FALSE(KillTimer(hwnd, 1));
  });
  PumpUntil(1000);
  EXPECT_EQ(received.size(), 1u);
}

TEST_F(UserTest, ALateLoopGetsOneMessageOfATimerNotOnePerPeriodMissed) {
  SetTimer(hwnd, 3, 10, nullptr);
  // Block the loop for 100 ms inside a message.
  PostMessageA(hwnd, WM_USER, 0, 0);
  vd::At(0, [] { Sleep(100); });
  PumpUntil(105);
  // One at 100 (late), then 110 is beyond the stop: never a burst of ten.
  EXPECT_LE(std::count(received.begin(), received.end(), 3u), 1);
}

TEST_F(UserTest, PostedMessagesComeBeforeTimersThatAreDue) {
  SetTimer(hwnd, 5, 10, nullptr);
  vd::At(20, [this] { PostMessageA(hwnd, WM_USER, 0, 0); });
  PumpUntil(35);
  ASSERT_GE(received.size(), 3u);
  EXPECT_EQ(received[0], 5u);               // at 10
  EXPECT_EQ(received[1], UINT(WM_USER));    // posted at 20 beside the timer due then
  EXPECT_EQ(received[2], 5u);
}

TEST_F(UserTest, AMessageBoxAnsweredByAScriptReturnsTheAnswerEvenWithNothingElseToWaitFor) {
  vd::At(500, [] { vd::AnswerMessageBox(IDOK); });
  EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OKCANCEL), IDOK);
  EXPECT_EQ(vd::Now(), 500u);
  ASSERT_EQ(vd::MessageBoxes().size(), 1u);
  EXPECT_EQ(vd::MessageBoxes()[0].caption, "caption");
  EXPECT_FALSE(vd::MessageBoxOpen());
}

TEST_F(UserTest, TimersGoOnWhileAMessageBoxIsOpen) {
  SetTimer(hwnd, 2, 50, nullptr);
  vd::At(1001, [] { vd::AnswerMessageBox(IDOK); });
  MessageBoxA(hwnd, "text", "caption", MB_OK);
  EXPECT_EQ(received.size(), 20u);
}

TEST_F(UserTest, PopupMenuReturnsTheChosenCommandOrZero) {
  HMENU menu = GetSubMenu(LoadMenuA(vd::ModuleInstance(), MAKEINTRESOURCEA(IDM_TRAY)), 0);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(GetMenuItemCount(menu), 1);
  EXPECT_EQ(GetMenuItemID(menu, 0), UINT(IDM_EXIT));
  vd::At(100, [] { vd::ChooseMenuItem(IDM_EXIT); });
  EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 50, 60, 0, hwnd, nullptr), IDM_EXIT);
  vd::At(200, [] { vd::DismissMenu(); });
  EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 50, 60, 0, hwnd, nullptr), 0);
  vd::ChooseMenuItem(999);  // not an item of the menu
  EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 50, 60, 0, hwnd, nullptr), 0);
}

// What the desktop records for tests: nothing unless asked, so a host that runs
// for days does not fill its memory; the modal loops work the same either way.
TEST_F(UserTest, RecordsAreKeptOnlyWhileRecordingIsOnAndModalLoopsWorkEitherWay) {
  HMENU menu = GetSubMenu(LoadMenuA(vd::ModuleInstance(), MAKEINTRESOURCEA(IDM_TRAY)), 0);
  auto everything = [&](int answer) {
    MessageBeep(0);
    InvalidateRect(hwnd, nullptr, TRUE);
    InvalidateRect(nullptr, nullptr, TRUE);
    vd::At(vd::Now() + 10, [answer] { vd::AnswerMessageBox(answer); });
    EXPECT_EQ(MessageBoxA(hwnd, "text", "caption", MB_YESNO), answer);
    vd::At(vd::Now() + 10, [] { vd::ChooseMenuItem(IDM_EXIT); });
    EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 5, 5, 0, hwnd, nullptr), IDM_EXIT);
  };
  vd::RecordObservations(false);
  for (int i = 0; i < 100; ++i) everything(IDYES);
  EXPECT_TRUE(vd::Beeps().empty());
  EXPECT_TRUE(vd::Repaints().empty());
  EXPECT_EQ(vd::ScreenRepaints(), 0);
  EXPECT_TRUE(vd::MessageBoxes().empty());
  EXPECT_TRUE(vd::Menus().empty());

  vd::RecordObservations(true);
  everything(IDNO);
  EXPECT_EQ(vd::Beeps().size(), 1u);
  // The test's own two calls; the message box's buttons invalidate themselves too.
  EXPECT_EQ(std::count_if(vd::Repaints().begin(), vd::Repaints().end(),
                          [this](const vd::RepaintRecord &r) { return r.hwnd == hwnd || !r.hwnd; }),
            2);
  EXPECT_EQ(vd::ScreenRepaints(), 1);
  ASSERT_EQ(vd::MessageBoxes().size(), 1u);
  EXPECT_EQ(vd::MessageBoxes()[0].answer, IDNO);
  ASSERT_EQ(vd::Menus().size(), 1u);
  EXPECT_EQ(vd::Menus()[0].result, UINT(IDM_EXIT));
  vd::ClearRecords();
  EXPECT_TRUE(vd::Beeps().empty());
  EXPECT_TRUE(vd::Repaints().empty());
  EXPECT_TRUE(vd::MessageBoxes().empty());
  EXPECT_TRUE(vd::Menus().empty());

  vd::Reset();
  EXPECT_FALSE(vd::RecordingObservations()) << "off unless a test or host asks";
  vd::Config config;
  config.recordObservations = true;
  vd::Reset(config);
  EXPECT_TRUE(vd::RecordingObservations());
}

// An open box keeps its record through ClearRecords, and so does one answered
// whose loop has yet to return: the loop reads its answer there.
TEST_F(UserTest, ClearingRecordsInsideModalLoopsKeepsWhatTheLoopsNeed) {
  vd::At(10, [] {
    vd::ClearRecords();
    EXPECT_TRUE(vd::MessageBoxOpen());
    vd::At(vd::Now() + 10, [] {
      vd::AnswerMessageBox(IDNO);  // the inner box
      vd::ClearRecords();
      EXPECT_EQ(vd::MessageBoxes().size(), 2u);
    });
    EXPECT_EQ(MessageBoxA(nullptr, "inner", "inner", MB_YESNO), IDNO);
    vd::AnswerMessageBox(IDCANCEL);  // the outer box
    vd::ClearRecords();
  });
  EXPECT_EQ(MessageBoxA(nullptr, "outer", "outer", MB_OKCANCEL), IDCANCEL);
  ASSERT_EQ(vd::MessageBoxes().size(), 1u);
  EXPECT_EQ(vd::MessageBoxes()[0].caption, "outer");
  vd::RecordObservations(false);
  vd::At(vd::Now() + 10, [] { vd::AnswerMessageBox(IDOK); });
  EXPECT_EQ(MessageBoxA(nullptr, "third", "third", MB_OK), IDOK);
  EXPECT_EQ(vd::MessageBoxes().size(), 1u) << "what was recorded stays until cleared; the unrecorded box goes";
}

TEST_F(UserTest, EnumWindowsVisitsFromTheTopAndAFalseVisitEndsItWithZero) {
  HWND second = CreateWindowExA(0, "Recorder", "second", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  std::vector<HWND> order;
  EnumWindows([](HWND h, LPARAM p) -> BOOL {
    reinterpret_cast<std::vector<HWND> *>(p)->push_back(h);
    return TRUE;
  }, reinterpret_cast<LPARAM>(&order));
  ASSERT_GE(order.size(), 4u);
  EXPECT_EQ(order[0], vd::Taskbar());  // topmost first
  EXPECT_EQ(order[1], second);         // then the newest
  EXPECT_EQ(order.back(), vd::ProgramManager());
  int visits = 0;
  EXPECT_FALSE(EnumWindows([](HWND, LPARAM p) -> BOOL { return ++*reinterpret_cast<int *>(p) < 2; },
                           reinterpret_cast<LPARAM>(&visits)));
  EXPECT_EQ(visits, 2);
}

TEST_F(UserTest, WindowTextAndClassNameAreTruncatedToTheBufferAndTerminated) {
  char buffer[6];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(GetWindowTextA(hwnd, buffer, sizeof buffer), 5);
  EXPECT_STREQ(buffer, "A win");
  EXPECT_EQ(GetClassNameA(hwnd, buffer, 4), 3);
  EXPECT_STREQ(buffer, "Rec");
  EXPECT_EQ(GetWindowTextA(reinterpret_cast<HWND>(12345), buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
}

TEST_F(UserTest, AWindowContextDrawsOnlyWhereNoWindowLiesAbove) {
  HWND list = vd::DesktopListView();
  HWND cover = vd::CreateAppWindow("cover", RECT{100, 100, 300, 300});
  vd::PaintPending();
  HDC dc = GetDC(list);
  RECT all{0, 0, 1024, 768};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(dc, &all, red);
  DeleteObject(red);
  ReleaseDC(list, dc);
  EXPECT_EQ(vd::Pixel(50, 50), 0xFF0000u);
  EXPECT_NE(vd::Pixel(200, 200), 0xFF0000u);  // under the window
  EXPECT_NE(vd::Pixel(500, 760), 0xFF0000u);  // under the taskbar
  // A move uncovers the desktop there, which repaints itself.
  vd::MoveAppWindow(cover, 600, 100);
  vd::PaintPending();
  EXPECT_EQ(vd::Pixel(200, 200), 0x008080u);
}

TEST_F(UserTest, NotificationIconsAcceptTheFirstRecordSizeAndRejectDuplicates) {
  NOTIFYICONDATAA data{};
  data.cbSize = 88;
  data.hWnd = hwnd;
  data.uID = 4;
  data.uFlags = NIF_TIP | NIF_MESSAGE;
  data.uCallbackMessage = WM_USER + 1;
  std::strcpy(data.szTip, "tip");
  EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
  EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data));
  data.cbSize = 40;
  EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &data));
  data.cbSize = 88;
  ASSERT_EQ(vd::TrayIcons().size(), 1u);
  EXPECT_EQ(vd::TrayIcons()[0].tip, "tip");
  EXPECT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
  EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &data));
}

}  // namespace

namespace {

TEST_F(UserTest, PaintingStaysInsideTheUpdateRegionIconsIncluded) {
  HWND list = vd::DesktopListView();
  vd::PaintPending();
  HDC dc = GetDC(list);
  RECT over{0, 0, 100, 100};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(dc, &over, red);
  DeleteObject(red);
  ReleaseDC(list, dc);
  RECT part{0, 0, 40, 100};
  InvalidateRect(list, &part, TRUE);
  UpdateWindow(list);
  EXPECT_NE(vd::Pixel(30, 30), 0xFF0000u);  // repainted: an icon and the desktop
  EXPECT_EQ(vd::Pixel(45, 30), 0xFF0000u);  // the icon reaches here, the update region does not
  EXPECT_EQ(vd::Pixel(80, 80), 0xFF0000u);
}

TEST_F(UserTest, IconMaskKeepsTheBackgroundWhereTheColourIsBlackToo) {
  // Icon 1103 is a blossom on black with its four corners masked out: black
  // colour bits under a set mask bit leave the screen alone, under a clear one
  // they paint black.
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(IDI_TYPE7));
  ASSERT_NE(icon, nullptr);
  ShowWindow(hwnd, SW_SHOW);
  vd::PaintPending();
  HDC dc = GetDC(hwnd);
  RECT area{0, 0, 40, 40};
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  FillRect(dc, &area, green);
  DeleteObject(green);
  EXPECT_TRUE(DrawIcon(dc, 0, 0, icon));
  ReleaseDC(hwnd, dc);
  POINT o{0, 0};
  ClientToScreen(hwnd, &o);
  EXPECT_EQ(vd::Pixel(o.x, o.y), 0x00FF00u);            // masked corner
  EXPECT_EQ(vd::Pixel(o.x + 31, o.y + 31), 0x00FF00u);  // masked corner
  EXPECT_EQ(vd::Pixel(o.x + 1, o.y + 1), 0x000000u);    // black, not masked
  EXPECT_EQ(vd::Pixel(o.x + 16, o.y + 17), 0xFFFF00u);  // the yellow heart
  EXPECT_EQ(vd::Pixel(o.x + 33, o.y + 5), 0x00FF00u);   // beyond the icon
}

}  // namespace
