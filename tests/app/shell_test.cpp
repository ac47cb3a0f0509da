// Whole runs of the program: start-up, the timers, the notification icon and
// its menu, the colour warning, and the two ways the program ends.
#include "geometry/geometry.h"
#include "sim/sim.h"
#include "support/program_run.h"

namespace {

using progtest::ProgramTest;

int CountBeeps() { return int(vd::Beeps().size()); }

TEST_F(ProgramTest, TickTimerFiresEvery50msAndCalmTimerOnceAt30s) {
  bool calmRunningBefore = false, riseRunningBefore = true, riseRunningAfter = false;
  LONG ticksAtOneSecond = -1;
  vd::At(1001, [&] { ticksAtOneSecond = tickCounter; });
  vd::At(29999, [&] {
    calmRunningBefore = vd::TimerRunning(MainWindow, TIMER_CALM);
    riseRunningBefore = vd::TimerRunning(MainWindow, TIMER_RISE);
  });
  vd::At(30001, [&] { riseRunningAfter = vd::TimerRunning(MainWindow, TIMER_RISE); });
  Run(31000);
  EXPECT_EQ(ticksAtOneSecond, 20);  // ticks at 50, 100, ... 1000 ms
  EXPECT_EQ(tickCounter, 31000 / 50);
  EXPECT_TRUE(calmRunningBefore);
  EXPECT_FALSE(riseRunningBefore);
  EXPECT_TRUE(riseRunningAfter);
  EXPECT_FALSE(vd::TimerRunning(MainWindow, TIMER_CALM));  // the calm timer stopped when it fired
}

// The main window's timers, by id, with their periods.
std::vector<std::pair<UINT_PTR, UINT>> MainWindowTimers() {
  std::vector<std::pair<UINT_PTR, UINT>> timers;
  for (const vd::TimerInfo &t : vd::Timers())
    if (t.hwnd == MainWindow) timers.push_back({t.id, t.period});
  return timers;
}

TEST_F(ProgramTest, WithTheWindOnTimersOneAndTwoRunAndNoOther) {
  std::vector<std::pair<UINT_PTR, UINT>> timers;
  vd::At(1000, [&] { timers = MainWindowTimers(); });
  Run(1001);
  EXPECT_EQ(timers, (std::vector<std::pair<UINT_PTR, UINT>>{{TIMER_TICK, 50}, {TIMER_CALM, 30000}}));
}

TEST_F(ProgramTest, WithWindOffOnlyTheTickTimerRuns) {
  // Store settings with the wind off, the way the program itself saves them.
  RestoreFactoryDefaults();
  Settings.windEnabled = 0;
  SaveSettings();
  ResetProgramState();
  std::vector<std::pair<UINT_PTR, UINT>> timers;
  vd::At(40000, [&] { timers = MainWindowTimers(); });
  Run(40001);
  EXPECT_EQ(Settings.windEnabled, 0);  // as the program loaded it
  EXPECT_EQ(timers, (std::vector<std::pair<UINT_PTR, UINT>>{{TIMER_TICK, 50}}));
  EXPECT_EQ(windPhase, Calm);
}

// The system menu's commands on the hidden main window show and hide the
// settings dialog; the main window itself stays hidden.
TEST_F(ProgramTest, MinimizeAndMaximizeOnTheMainWindowHideAndShowTheDialog) {
  bool shown = false, hidden = false, mainHidden = false;
  LRESULT results[2] = {-1, -1};
  vd::At(100, [&] {
    results[0] = SendMessageA(MainWindow, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    shown = IsWindowVisible(SettingsDialog) != 0;
    results[1] = SendMessageA(MainWindow, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    hidden = !IsWindowVisible(SettingsDialog);
    LONG style = GetWindowLongA(MainWindow, GWL_STYLE);
    mainHidden = !IsWindowVisible(MainWindow) && !(style & (WS_MINIMIZE | WS_MAXIMIZE));
  });
  Run(200);
  EXPECT_TRUE(shown);
  EXPECT_TRUE(hidden);
  EXPECT_TRUE(mainHidden);
  EXPECT_EQ(results[0], 0);
  EXPECT_EQ(results[1], 0);
}

TEST_F(ProgramTest, NotificationIconHasId17TipAndCallback) {
  std::vector<vd::TrayIconInfo> icons;
  vd::At(100, [&] { icons = vd::TrayIcons(); });
  Run(200);
  ASSERT_EQ(icons.size(), 1u);
  EXPECT_EQ(icons[0].id, 17u);
  EXPECT_EQ(icons[0].tip, "Mivora");
  EXPECT_EQ(icons[0].callbackMessage, 1124u);
  EXPECT_EQ(icons[0].flags, UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  EXPECT_NE(icons[0].icon, nullptr);
  EXPECT_EQ(icons[0].owner, MainWindow);
}

TEST_F(ProgramTest, SingleLeftClickDoesNothingAndForeignIdDoubleClickBeepsOnce) {
  int beepsAfterClick = -1, beepsAfterForeign = -1;
  bool dialogVisible = true;
  vd::At(100, [] { vd::TrayClick(TRAY_ICON_ID); });
  vd::At(200, [&] {
    beepsAfterClick = CountBeeps();
    dialogVisible = IsWindowVisible(SettingsDialog) != 0;
    PostMessageA(MainWindow, WM_TRAYNOTIFY, 5, WM_LBUTTONDBLCLK);
  });
  vd::At(300, [&] { beepsAfterForeign = CountBeeps(); });
  Run(400);
  EXPECT_EQ(beepsAfterClick, 0);
  EXPECT_FALSE(dialogVisible);
  EXPECT_TRUE(vd::Menus().empty());
  EXPECT_EQ(beepsAfterForeign, 1);
}

TEST_F(ProgramTest, DoubleClickShowsTheHiddenDialogOnTopAndTheNextHidesIt) {
  bool hiddenAtStart = false, shown = false, onTop = false, hiddenAgain = false, hiddenByClose = false;
  int liveDCs = -1, liveDCsAfter = -2;
  vd::At(100, [&] {
    hiddenAtStart = SettingsDialog && !IsWindowVisible(SettingsDialog);
    liveDCs = vd::LiveDCs();
    vd::TrayDoubleClick(TRAY_ICON_ID);
  });
  vd::At(200, [&] {
    shown = IsWindowVisible(SettingsDialog) != 0;
    HWND top = nullptr;
    EnumWindows([](HWND h, LPARAM p) {
      if (!IsWindowVisible(h) || h == vd::Taskbar()) return TRUE;
      *reinterpret_cast<HWND *>(p) = h;
      return FALSE;
    }, reinterpret_cast<LPARAM>(&top));
    onTop = top == SettingsDialog;
    liveDCsAfter = vd::LiveDCs();
    vd::TrayDoubleClick(TRAY_ICON_ID);
  });
  vd::At(300, [&] {
    hiddenAgain = !IsWindowVisible(SettingsDialog);
    vd::TrayDoubleClick(TRAY_ICON_ID);
  });
  vd::At(400, [&] { SendMessageA(SettingsDialog, WM_CLOSE, 0, 0); });
  vd::At(500, [&] { hiddenByClose = !IsWindowVisible(SettingsDialog); });
  Run(600);
  EXPECT_TRUE(hiddenAtStart);
  EXPECT_TRUE(shown);
  EXPECT_TRUE(onTop);
  EXPECT_TRUE(hiddenAgain);
  EXPECT_TRUE(hiddenByClose);
  EXPECT_EQ(liveDCsAfter, liveDCs);  // the search's context is released again
}

TEST_F(ProgramTest, RightClickOpensTheMenuCentredOnTheCursorAndDismissingChangesNothing) {
  vd::MenuRecord menu{};
  LONG ticksBefore = 0;
  vd::At(100, [&] {
    vd::SetCursor(900, 750);
    vd::TrayRightClick(TRAY_ICON_ID);
  });
  vd::At(150, [&] {
    ASSERT_TRUE(vd::MenuOpen());
    menu = vd::Menus().back();
    ticksBefore = tickCounter;
  });
  vd::At(700, [&] { vd::DismissMenu(); });
  LONG ticksWhileOpen = 0;
  vd::At(701, [&] { ticksWhileOpen = tickCounter - ticksBefore; });
  int code = Run(1000);
  EXPECT_EQ(menu.flags, UINT(TPM_RETURNCMD | TPM_BOTTOMALIGN | TPM_CENTERALIGN | TPM_RIGHTBUTTON));
  EXPECT_EQ(menu.x, 900);
  EXPECT_EQ(menu.y, 768);
  EXPECT_EQ(menu.owner, MainWindow);
  EXPECT_EQ(menu.rect.bottom, 768);
  EXPECT_EQ((menu.rect.left + menu.rect.right) / 2, 900);
  EXPECT_GE(ticksWhileOpen, 10);  // the animation goes on behind the menu
  EXPECT_EQ(code, vd::kTimeUpExitCode);  // still running when time ran out
  EXPECT_EQ(vd::TrayIcons().size(), 1u);
  ASSERT_EQ(vd::MenuItems(menu.menu).size(), 1u);
  EXPECT_EQ(vd::MenuItems(menu.menu)[0], (std::pair<UINT, std::string>(105, "E&xit")));
}

TEST_F(ProgramTest, ExitRemovesTheIconRepaintsTheScreenStopsTimersAndReturnsZero) {
  vd::At(1000, [] {
    vd::ChooseMenuItem(105);  // answered as soon as the menu opens
    vd::TrayRightClick(TRAY_ICON_ID);
  });
  int code = Run(5000);
  EXPECT_EQ(code, 0);
  EXPECT_LT(vd::Now(), 5000u);
  EXPECT_TRUE(vd::TrayIcons().empty());
  EXPECT_EQ(vd::ScreenRepaints(), 1);
  for (UINT_PTR id = 1; id <= 6; ++id) EXPECT_FALSE(vd::TimerRunning(MainWindow, id)) << id;
  EXPECT_EQ(vd::LiveGdiObjects(OBJ_REGION), 0);
}

TEST_F(ProgramTest, ExitWipesEverythingTheProgramDrewFromTheDesktop) {
  vd::At(3000, [] {
    vd::ChooseMenuItem(105);
    vd::TrayRightClick(TRAY_ICON_ID);
  });
  Run(5000);
  // The list view paints the desktop colour; nothing of the branch is left on it.
  for (int x = 100; x < 434; x += 3)
    for (int y = 0; y < 92; y += 3) ASSERT_EQ(vd::Pixel(x, y), 0x008080u) << x << "," << y;
}

// Start-up's search finds the HTML view where the program has assumed the icon
// view: it answers the flip with one nested rebuild and one repaint of the
// whole screen, and no beep (only the tick's window pass beeps).
TEST_F(ProgramTest, AnHtmlDesktopAtStartIsAnsweredWithOneWholeScreenRepaint) {
  vd::SetHtmlView(true);
  vd::PaintPending();
  vd::ClearRecords();
  HWND target = nullptr;
  int screenRepaints = -1;
  vd::At(20, [&] {  // after start-up, before the first tick
    target = DrawTarget;
    screenRepaints = vd::ScreenRepaints();
  });
  Run(100);
  EXPECT_EQ(target, vd::DesktopHtmlView());
  EXPECT_EQ(HtmlDesktop, 1);
  EXPECT_EQ(screenRepaints, 1);
  EXPECT_EQ(vd::ScreenRepaints(), 1);  // the ticks that follow see no flip
  EXPECT_TRUE(vd::Beeps().empty());
  EXPECT_EQ(AnsweringFlip, 0);
}

TEST_F(ProgramTest, Message528EndsTheLoopWithoutTheShutdownSteps) {
  vd::At(500, [] { PostMessageA(MainWindow, WM_PARENTNOTIFY, 0, 0); });
  int code = Run(5000);
  EXPECT_EQ(code, 0);
  EXPECT_LT(vd::Now(), 5000u);
  EXPECT_EQ(vd::TrayIcons().size(), 1u);
  EXPECT_EQ(vd::ScreenRepaints(), 0);
  EXPECT_TRUE(vd::TimerRunning(MainWindow, TIMER_TICK));
  EXPECT_EQ(vd::LiveGdiObjects(OBJ_REGION), 9);
}

TEST_F(ProgramTest, EightBitDisplayShowsTheColourBoxOnceAfterTheTimersWhileTicksGoOn) {
  ResetDesktop(8);
  bool timersBeforeBox = false;
  LONG ticksAtOpen = -1, ticksLater = -1;
  vd::At(10, [&] {
    ASSERT_TRUE(vd::MessageBoxOpen());
    timersBeforeBox = vd::TimerRunning(MainWindow, TIMER_TICK) && vd::TimerRunning(MainWindow, TIMER_CALM);
    ticksAtOpen = tickCounter;
  });
  vd::At(2000, [&] {
    ticksLater = tickCounter;
    vd::AnswerMessageBox(IDOK);
  });
  Run(3000);
  ASSERT_EQ(vd::MessageBoxes().size(), 1u);
  const vd::MessageBoxRecord &box = vd::MessageBoxes()[0];
  EXPECT_EQ(box.caption, "Color");
  EXPECT_EQ(box.owner, MainWindow);
  EXPECT_EQ(box.type, UINT(MB_OK));
  EXPECT_EQ(box.text.rfind("Mivora needs more colors than your computer can display at this moment, some color may "
                           "be lost.\nPlease use the 256-color version, which is also included in the distribution, "
                           "or fetch the 256-color\nversion from ",
                           0),
            0u);
  EXPECT_EQ(DisplayColorCount, 20);  // the static colours of a palette display
  EXPECT_TRUE(timersBeforeBox);
  EXPECT_EQ(ticksAtOpen, 0);
  EXPECT_GE(ticksLater, 39);
}

TEST_F(ProgramTest, DeepDisplayNeverShowsTheColourBox) {
  Run(3000);
  EXPECT_TRUE(vd::MessageBoxes().empty());
  EXPECT_EQ(DisplayColorCount, -1);
}

TEST(RandomBelow, FollowsTheFixedSequenceFromStateOne) {
  RandomState = 1;
  EXPECT_EQ(RandomBelow(150), 41);
  RandomState = 1;
  const int prefix[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  for (int expected : prefix) EXPECT_EQ(RandomBelow(32768), expected);
  DWORD state = RandomState;
  EXPECT_EQ(RandomBelow(0), 0);
  EXPECT_EQ(RandomState, state);  // a bound of 0 draws nothing
  for (int i = 0; i < 100; ++i) EXPECT_EQ(RandomBelow(1), 0);
  for (int i = 0; i < 1000; ++i) {
    int r = RandomBelow(-7);
    EXPECT_GE(r, 0);
    EXPECT_LT(r, 7);
  }
}

// The generator starts at state 1 in every run: the first draw of start-up,
// slot 0's fall delay RandomBelow(150) + 1, is 41 + 1 each time.
TEST_F(ProgramTest, FirstDrawAfterAStartIs41) {
  for (int run = 0; run < 2; ++run) {
    ResetDesktop(32);
    LONG firstDelay = -1;
    vd::At(10, [&] { firstDelay = branches[0].flowers[0].fallDelay; });  // before the first tick
    Run(20);
    EXPECT_EQ(firstDelay, 42) << "run " << run;
  }
}

}  // namespace
