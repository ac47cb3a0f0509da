// The settings dialog driven as a user drives it: presses at the controls'
// places on the screen and keys, on the running program.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "geometry/geometry.h"
#include "render/render.h"
#include "resource.h"
#include "sim/sim.h"
#include "support/dialog_driver.h"

namespace {

using progtest::DialogTest;

size_t BeepCount() { return vd::Beeps().size(); }

// ---------------------------------------------------------------- numbers and their corrections

TEST_F(DialogTest, TwentyFiveFlowersBeepOnceShowTenAndPutTenFlowersInPlay) {
  size_t beeps = 0;
  ShowDialog();
  Enter(IDC_FLOWERS, "25");
  Step([&] { beeps = BeepCount(); });
  Click(IDC_APPLY);
  std::string shown;
  size_t after = 0;
  Check([&] {
    shown = Text(IDC_FLOWERS);
    after = BeepCount();
  });
  // Every one of the ten flowers lets its petals go within the longest fall delay.
  int flowersFalling = 0;
  Wait(9000);
  Step([&] {
    for (int slot = 0; slot < FLOWER_SLOTS; ++slot) {
      Flower &f = branches[0].flowers[slot];
      for (const Petal &p : f.petals)
        if (p.active && p.y > f.y + 40) {
          ++flowersFalling;
          break;
        }
    }
  });
  RunScript();
  EXPECT_EQ(after - beeps, 1u);
  EXPECT_EQ(shown, "10");
  EXPECT_EQ(Settings.flowersPerBranch, 10);
  EXPECT_EQ(flowersFalling, 10);
}

TEST_F(DialogTest, NegativeFlowerCountMeansNoFlowersSilentlyAndKeepsItsText) {
  size_t beeps = 0, after = 0;
  ShowDialog();
  Enter(IDC_FLOWERS, "-4");
  Step([&] { beeps = BeepCount(); });
  Click(IDC_APPLY);
  std::string shown;
  Check([&] {
    shown = Text(IDC_FLOWERS);
    after = BeepCount();
  });
  RunScript();
  EXPECT_EQ(after, beeps);
  EXPECT_EQ(shown, "-4");
  EXPECT_EQ(Settings.flowersPerBranch, 0);
}

// Each case: the box, the text typed, the beeps, the text shown after Apply.
struct Correction {
  int box;
  const char *typed;
  size_t beeps;
  const char *shown;
};

class CorrectionTest : public DialogTest, public ::testing::WithParamInterface<Correction> {};

TEST_P(CorrectionTest, ApplyCorrectsWithOneBeepOrKeepsSilently) {
  const Correction &c = GetParam();
  size_t before = 0, after = 0;
  std::string shown;
  ShowDialog();
  Enter(c.box, c.typed);
  Step([&] { before = BeepCount(); });
  Click(IDC_APPLY);
  Check([&] {
    after = BeepCount();
    shown = Text(c.box);
  });
  RunScript();
  EXPECT_EQ(after - before, c.beeps);
  EXPECT_EQ(shown, c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, CorrectionTest,
    ::testing::Values(Correction{IDC_FALL_SPEED, "abc", 1, "3"}, Correction{IDC_FALL_SPEED, "2", 1, "3"},
                      Correction{IDC_FALL_SPEED, "3", 0, "3"}, Correction{IDC_BRANCH_REDRAW, "0", 1, "500"},
                      Correction{IDC_BRANCH_REDRAW, "250", 1, "500"}, Correction{IDC_BRANCH_REDRAW, "500", 0, "500"},
                      Correction{IDC_WIND_STRENGTH, "150", 1, "100"}, Correction{IDC_WIND_STRENGTH, "-5", 1, "0"},
                      Correction{IDC_WIND_STRENGTH, "100", 0, "100"}, Correction{IDC_FLOWERS, "10", 0, "10"},
                      Correction{IDC_FLUTTER, "-7", 0, "-7"},
                      // A negative tick period would stop the animation for good.
                      Correction{IDC_TICK_INTERVAL, "-1", 1, "0"}, Correction{IDC_TICK_INTERVAL, "0", 0, "0"}),
    [](const ::testing::TestParamInfo<Correction> &info) {
      std::string name = "Box" + std::to_string(info.param.box) + "Typed";
      for (const char *c = info.param.typed; *c; ++c) name += *c == '-' ? std::string("Minus") : std::string(1, *c);
      return name;
    });

TEST_F(DialogTest, TypedNumbersReachTheSettingsAsTheyAreRead) {
  ShowDialog();
  Enter(IDC_FALL_SPEED, "abc");
  Enter(IDC_CALM_PERIOD, "45");
  Enter(IDC_RISE_PERIOD, "  7 seconds");
  Enter(IDC_BLOW_PERIOD, "3000000");  // beyond the 32-bit range in milliseconds
  Enter(IDC_TICK_INTERVAL, "99999999999");
  Enter(IDC_BRANCH_X, "-99999999999");
  Click(IDC_APPLY);
  RunScript();
  EXPECT_EQ(Settings.fallSpeed, 3);
  EXPECT_EQ(Settings.calmPeriod, 45000);
  EXPECT_EQ(Settings.risePeriod, 7000);
  // Held at the limits: never wrapped into the other sign.
  EXPECT_EQ(Settings.blowPeriod, INT_MAX);
  EXPECT_EQ(Settings.tickInterval, INT_MAX);
  EXPECT_EQ(Settings.branchX, INT_MIN);
}

TEST(NumberReading, SkipsSpaceTakesASignAndStopsAtTheFirstOtherCharacter) {
  EXPECT_EQ(ReadNumber("42"), 42);
  EXPECT_EQ(ReadNumber(" \t\n 12abc"), 12);
  EXPECT_EQ(ReadNumber("+7"), 7);
  EXPECT_EQ(ReadNumber("-15x"), -15);
  EXPECT_EQ(ReadNumber("abc"), 0);
  EXPECT_EQ(ReadNumber(""), 0);
  EXPECT_EQ(ReadNumber("-"), 0);
  EXPECT_EQ(ReadNumber("- 5"), 0);
  EXPECT_EQ(ReadNumber("1 2"), 1);
}

TEST(NumberReading, DigitsBeyondThe32BitRangeStayAtTheNearestLimit) {
  EXPECT_EQ(ReadNumber("2147483647"), INT_MAX);
  EXPECT_EQ(ReadNumber("2147483648"), INT_MAX);
  EXPECT_EQ(ReadNumber("-2147483648"), INT_MIN);
  EXPECT_EQ(ReadNumber("-2147483649"), INT_MIN);
  EXPECT_EQ(ReadNumber("99999999999999999999999999"), INT_MAX);
  EXPECT_EQ(ReadNumber("-99999999999999999999999999"), INT_MIN);
  EXPECT_EQ(SecondsToMilliseconds(2147483), 2147483000);
  EXPECT_EQ(SecondsToMilliseconds(2147484), INT_MAX);
  EXPECT_EQ(SecondsToMilliseconds(-2147484), INT_MIN);
  EXPECT_EQ(SecondsToMilliseconds(INT_MIN), INT_MIN);
}

// ---------------------------------------------------------------- commands

TEST_F(DialogTest, SaveRightAfterTypingStoresTheValueLastApplied) {
  ShowDialog();
  Enter(IDC_FLOWERS, "7");
  Click(IDC_SAVE);
  RunScript();
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  BYTE block[STORED_SETTINGS_SIZE] = {};
  DWORD size = sizeof block;
  ASSERT_EQ(RegQueryValueExA(key, SETTINGS_VALUE, nullptr, nullptr, block, &size), ERROR_SUCCESS);
  RegCloseKey(key);
  LONG stored;
  std::memcpy(&stored, block + STORED_FIELDS_OFFSET + 4, 4);  // flowersPerBranch
  EXPECT_EQ(stored, 1);
  EXPECT_EQ(Settings.flowersPerBranch, 1);
}

TEST_F(DialogTest, AltClickOnTheFallBehindPictureBeepsAndFlipsOnlyTheWrap) {
  size_t before = 0, after = 0;
  ShowDialog();
  Enter(IDC_FLOWERS, "5");
  Step([&] { before = BeepCount(); });
  Step([] {
    POINT p = Center(IDC_FALL_BEHIND_PICTURE);
    vd::KeyDown(VK_MENU);
    vd::MouseDown(p.x, p.y);
    vd::MouseUp(p.x, p.y);
  });
  Step([] { vd::KeyUp(VK_MENU); });
  bool checked = false;
  Check([&] {
    after = BeepCount();
    checked = Checked(IDC_FALL_BEHIND);
  });
  RunScript();
  EXPECT_EQ(after - before, 1u);
  EXPECT_EQ(Settings.windWrap, 1);
  EXPECT_TRUE(checked);
  EXPECT_EQ(Settings.fallBehindWindows, 1);
  EXPECT_EQ(Settings.flowersPerBranch, 1);  // nothing was applied
}

TEST_F(DialogTest, ClickOnThePictureTogglesItsBoxAndApplies) {
  ShowDialog();
  Enter(IDC_FLOWERS, "4");
  Click(IDC_FALL_BEHIND_PICTURE);
  bool checked = true;
  Check([&] { checked = Checked(IDC_FALL_BEHIND); });
  RunScript();
  EXPECT_FALSE(checked);
  EXPECT_EQ(Settings.fallBehindWindows, 0);
  EXPECT_EQ(Settings.flowersPerBranch, 4);
}

TEST_F(DialogTest, DoubleClickOnAPictureTogglesItsBoxTwiceWithTwoApplies) {
  ShowDialog();
  Wait(3000);  // petals in the air
  int skip = 0, awayBefore = 0, awayAfter = 0;
  bool checked = false;
  auto away = [] {
    // Petals of the first flower that have left it.
    const Flower &f = branches[0].flowers[0];
    int n = 0;
    for (int k = 0; k < PETALS_PER_FLOWER; ++k) {
      const Petal &p = f.petals[k];
      n += p.active && (p.x != f.x + PetalStartOffset[k][0] || p.y != f.y + PetalStartOffset[k][1]);
    }
    return n;
  };
  Step([&] { awayBefore = away(); });
  DoubleClick(IDC_FALLING_PICTURE);
  Check([&] {
    checked = Checked(IDC_FALLING);
    skip = skipDrawOnce;
    awayAfter = away();
  });
  RunScript();
  EXPECT_TRUE(checked);
  EXPECT_EQ(Settings.fallingPetals, 1);
  // The click switched falling off (one last erasing pass asked for), the
  // double-click on again (every petal in the air put back on its flower).
  EXPECT_EQ(skip, 1);
  EXPECT_GT(awayBefore, 0);
  EXPECT_EQ(awayAfter, 0);
}

TEST_F(DialogTest, TabOntoTheCheckedRadioButtonSelectsItsTypeAndApplies) {
  HWND focus = nullptr;
  ShowDialog();
  Enter(IDC_FLOWERS, "6");
  KeyWith(VK_SHIFT, VK_TAB);
  Check([&] { focus = GetFocus(); });
  RunScript();
  EXPECT_EQ(focus, Control(IDC_TYPE1));
  EXPECT_EQ(Settings.flowersPerBranch, 6);
  EXPECT_EQ(Settings.flowerType, 1);
}

TEST_F(DialogTest, ArrowKeysOnTheRadioButtonsChooseTheNextFlowerType) {
  HBITMAP branchBefore = nullptr, branchAfter = nullptr;
  bool second = false, first = true;
  ShowDialog();
  Click(IDC_TYPE1);
  Step([&] { branchBefore = branches[0].picture; });
  Key(VK_DOWN);
  Check([&] {
    second = Checked(IDC_TYPE2);
    first = Checked(IDC_TYPE1);
    branchAfter = branches[0].picture;
  });
  RunScript();
  EXPECT_TRUE(second);
  EXPECT_FALSE(first);
  EXPECT_EQ(Settings.flowerType, 2);
  EXPECT_NE(branchAfter, branchBefore);  // the bitmap set was reloaded
}

TEST_F(DialogTest, EscChangesNothingAndLeavesTheDialogOpen) {
  bool visible = false;
  std::string shown;
  ShowDialog();
  Enter(IDC_FLOWERS, "5");
  Key(VK_ESCAPE);
  Check([&] {
    visible = IsWindowVisible(SettingsDialog);
    shown = Text(IDC_FLOWERS);
  });
  RunScript();
  EXPECT_TRUE(visible);
  EXPECT_EQ(shown, "5");
  EXPECT_EQ(Settings.flowersPerBranch, 1);
}

TEST_F(DialogTest, EnterPressesApply) {
  ShowDialog();
  Enter(IDC_FLOWERS, "3");
  Key(VK_RETURN);
  RunScript();
  EXPECT_EQ(Settings.flowersPerBranch, 3);
}

TEST_F(DialogTest, OkAppliesAndHidesTheDialogWhichComesBackAsItWas) {
  bool hidden = false, shownAgain = false;
  std::string text;
  ShowDialog();
  Enter(IDC_FLOWERS, "5");
  Click(IDOK);
  Check([&] { hidden = !IsWindowVisible(SettingsDialog) && IsWindow(SettingsDialog); });
  ShowDialog();
  Check([&] {
    shownAgain = IsWindowVisible(SettingsDialog);
    text = Text(IDC_FLOWERS);
  });
  RunScript();
  EXPECT_TRUE(hidden);
  EXPECT_TRUE(shownAgain);
  EXPECT_EQ(text, "5");
  EXPECT_EQ(Settings.flowersPerBranch, 5);
}

TEST_F(DialogTest, TheCloseBoxHidesTheDialogAndTheProgramRunsOn) {
  bool hidden = false;
  ShowDialog();
  Step([] {
    RECT r;
    GetWindowRect(SettingsDialog, &r);
    // The close box sits at the right end of the caption.
    int x = r.right - 4 - 2 - 8, y = r.top + 4 + 2 + 7;
    vd::MouseDown(x, y);
    vd::MouseUp(x, y);
  });
  Check([&] { hidden = !IsWindowVisible(SettingsDialog); });
  LONG ticks = 0;
  Wait(1000);
  Step([&] { ticks = tickCounter; });
  RunScript();
  EXPECT_TRUE(hidden);
  EXPECT_TRUE(IsWindow(SettingsDialog));
  EXPECT_GT(ticks, 30);
}

TEST_F(DialogTest, FactorySettingsRunTheTransitionsFromTheValuesInForceBefore) {
  ShowDialog();
  Enter(IDC_FLOWERS, "8");
  Enter(IDC_WINDOW_THICKNESS, "30");
  Click(IDC_APPLY);
  Wait(10000);  // every flower has petals in the air
  LONG removed = -1;
  size_t repaintsBefore = 0;
  std::vector<vd::RepaintRecord> repaints;
  Step([&] { repaintsBefore = vd::Repaints().size(); });
  Click(IDC_FACTORY);
  Check([&] {
    removed = removedFlowers;
    repaints.assign(vd::Repaints().begin() + long(repaintsBefore), vd::Repaints().end());
  });
  RunScript();
  EXPECT_EQ(Settings.flowersPerBranch, 1);
  EXPECT_EQ(Settings.windowLayerThickness, 15);
  // From 8 flowers to 1: the next pass takes slots 1 to 7 out of the air.
  EXPECT_EQ(removed, 7);
  // From 30 pixels to 15: the lost band was wiped from the desktop.
  bool bandWiped = false;
  for (const vd::RepaintRecord &r : repaints)
    if (r.hwnd == DrawTarget && r.erase && r.box.bottom > r.box.top) bandWiped = true;
  EXPECT_TRUE(bandWiped);
}

TEST_F(DialogTest, RestoreSettingsBringsBackTheSavedValuesAndTheStoredWindCap) {
  ShowDialog();
  Enter(IDC_WIND_STRENGTH, "70");
  Enter(IDC_FLOWERS, "4");
  Click(IDC_APPLY);
  Click(IDC_SAVE);
  Enter(IDC_FLOWERS, "9");
  Click(IDC_APPLY);
  Click(IDC_RESTORE);
  std::string flowers, wind;
  Check([&] {
    flowers = Text(IDC_FLOWERS);
    wind = Text(IDC_WIND_STRENGTH);
  });
  RunScript();
  EXPECT_EQ(Settings.flowersPerBranch, 4);
  EXPECT_EQ(Settings.maxWindStrength, 70);
  EXPECT_EQ(flowers, "4");
  EXPECT_EQ(wind, "70");
}

TEST_F(DialogTest, WindOffStopsEveryWindTimerAndOnStartsTheCalmAgain) {
  bool anyWind = true, calm = false;
  ShowDialog();
  Click(IDC_WIND);
  Check([&] {
    anyWind = false;
    for (UINT_PTR id = TIMER_CALM; id <= TIMER_WEAKEN; ++id) anyWind |= vd::TimerRunning(MainWindow, id);
  });
  Click(IDC_WIND);
  Check([&] { calm = vd::TimerRunning(MainWindow, TIMER_CALM); });
  RunScript();
  EXPECT_FALSE(anyWind);
  EXPECT_TRUE(calm);
  EXPECT_EQ(Settings.windEnabled, 1);
}

TEST_F(DialogTest, TheTypeIconSelectsItsTypeAndTheTypeInUseReloadsNothing) {
  HBITMAP before = nullptr, same = nullptr, changed = nullptr;
  bool radio = false;
  ShowDialog();
  Step([&] { before = branches[0].picture; });
  Click(IDC_TYPE1_ICON);
  Check([&] { same = branches[0].picture; });
  Click(IDC_TYPE4_ICON);
  Check([&] {
    changed = branches[0].picture;
    radio = Checked(IDC_TYPE4);
  });
  RunScript();
  EXPECT_EQ(same, before);
  EXPECT_NE(changed, before);
  EXPECT_TRUE(radio);
  EXPECT_EQ(Settings.flowerType, 4);
}

// ---------------------------------------------------------------- help

// The program's string table carries the help file's topics, word for word.
TEST(HelpIds, EveryContextIdOfTheTableIsAStringOfTheProgramWithTheHelpFilesTopic) {
  int pairs = 0;
  for (const DWORD *p = SettingsHelpIds; p[0]; p += 2, ++pairs) {
    EXPECT_GE(p[1], 100u);
    EXPECT_LE(p[1], 170u);
    char topic[HELP_TOPIC_SIZE];
    ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), UINT(p[1]), topic, sizeof topic), 0) << p[1];
    EXPECT_EQ(topic, vd::HelpTopicText(p[1])) << p[1];
  }
  EXPECT_EQ(pairs, 64);
}

TEST(HelpFile, FoundBesideTheProgramOnlyWhenAFileOfThatNameIsThere) {
  char folder[] = "/tmp/mivora-help-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  std::string program = std::string(folder) + "/mivora.exe", file = std::string(folder) + "/Mivora.hlp";
  FindHelpFile(program.c_str());
  std::string before = HelpFile;
  mkdir(file.c_str(), 0700);  // a folder of that name is no help file
  FindHelpFile(program.c_str());
  std::string folderNamed = HelpFile;
  rmdir(file.c_str());
  std::fclose(std::fopen(file.c_str(), "w"));
  FindHelpFile(program.c_str());
  std::string found = HelpFile;
  FindHelpFile("mivora.exe");  // no folder: none is looked at
  std::string bare = HelpFile;
  std::remove(file.c_str());
  rmdir(folder);
  EXPECT_EQ(before, "");
  EXPECT_EQ(folderNamed, "");
  EXPECT_EQ(found, file);
  EXPECT_EQ(bare, "");
}

struct ShownHelp {
  HWND popup = nullptr;
  std::string text;
  RECT rect{0, 0, 0, 0};
};

ShownHelp HelpOnTheScreen() {
  ShownHelp h;
  h.popup = FindWindowA(HELP_POPUP_CLASS, nullptr);
  if (!h.popup || !IsWindowVisible(h.popup)) return ShownHelp();
  char text[HELP_TOPIC_SIZE];
  GetWindowTextA(h.popup, text, sizeof text);
  h.text = text;
  GetWindowRect(h.popup, &h.rect);
  return h;
}

// Without a help file beside the program: its own popup, no WinHelp.
TEST_F(DialogTest, F1OnAControlShowsItsTopicBelowItInAPopupThatAKeyCloses) {
  ShownHelp shown, after;
  RECT control{0, 0, 0, 0};
  ShowDialog();
  Click(IDC_FLOWERS);
  Key(VK_F1);
  Check([&] {
    shown = HelpOnTheScreen();
    GetWindowRect(Control(IDC_FLOWERS), &control);
  });
  Key(VK_ESCAPE);
  Check([&] { after = HelpOnTheScreen(); });
  RunScript();
  ASSERT_NE(shown.popup, nullptr);
  EXPECT_EQ(shown.text, vd::HelpTopicText(111));
  EXPECT_EQ(shown.text.substr(0, 22), "Flowers on the branch\n");
  EXPECT_EQ(shown.rect.left, control.left);
  EXPECT_EQ(shown.rect.top, control.bottom + 2);
  EXPECT_EQ(after.popup, nullptr);
  EXPECT_TRUE(vd::HelpCalls().empty());
  EXPECT_EQ(Settings.flowersPerBranch, 1);  // the Esc closed the popup and nothing else
}

TEST_F(DialogTest, RightClickOnAPictureShowsItsTopicAtThePointerAndAClickElsewhereClosesIt) {
  ShownHelp shown, after;
  size_t menus = 0;
  ShowDialog();
  RightClick(IDC_WIND_PICTURE);
  Check([&] {
    shown = HelpOnTheScreen();
    menus = vd::Menus().size();
  });
  Step([] {
    vd::MouseDown(900, 100);
    vd::MouseUp(900, 100);
  });
  Check([&] { after = HelpOnTheScreen(); });
  RunScript();
  ASSERT_NE(shown.popup, nullptr);
  EXPECT_EQ(shown.text, vd::HelpTopicText(135));
  POINT pointer = Center(IDC_WIND_PICTURE);
  EXPECT_EQ(shown.rect.left, pointer.x);
  EXPECT_EQ(shown.rect.top, pointer.y);
  EXPECT_EQ(menus, 0u);
  EXPECT_EQ(after.popup, nullptr);
  EXPECT_TRUE(vd::HelpCalls().empty());
}

TEST_F(DialogTest, TheCaptionHelpButtonThenAClickOnADisabledLabelShowsItsTopic) {
  ShownHelp shown;
  ShowDialog();
  Step([] {
    RECT r;
    GetWindowRect(SettingsDialog, &r);
    // The help button, left of the close box.
    int x = r.right - 4 - 2 - 16 - 2 - 8, y = r.top + 4 + 2 + 7;
    vd::MouseDown(x, y);
    vd::MouseUp(x, y);
  });
  Click(IDC_FALL_SPEED_ICON);
  Check([&] { shown = HelpOnTheScreen(); });
  RunScript();
  EXPECT_EQ(shown.text, vd::HelpTopicText(117));
  EXPECT_EQ(Settings.fallSpeed, 4);  // the click asked for help and did nothing else
}

// A right click on a disabled label reaches the dialog, which finds the label under the pointer.
TEST_F(DialogTest, RightClickOnADisabledLabelShowsTheLabelsTopic) {
  ShownHelp shown;
  ShowDialog();
  RightClick(IDC_BRANCH_X_ICON);
  Check([&] { shown = HelpOnTheScreen(); });
  RunScript();
  EXPECT_EQ(shown.text, vd::HelpTopicText(122));
}

// With a help file beside the program, WinHelpA shows it, as before.
TEST_F(DialogTest, WithAHelpFileBesideTheProgramF1AndRightClickGoToWinHelp) {
  std::vector<vd::HelpCallRecord> calls;
  ShowDialog();
  Step([] { std::strcpy(HelpFile, "C:\\Program Files\\Mivora\\Mivora.hlp"); });
  Click(IDC_FLOWERS);
  Key(VK_F1);
  Key(VK_ESCAPE);
  Step([] { vd::ChooseMenuItem(vd::kWhatsThisCommand); });
  RightClick(IDC_WIND_PICTURE);
  Check([&] { calls = vd::HelpCalls(); });
  RunScript();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].hwnd, GetDlgItem(SettingsDialog, IDC_FLOWERS));
  EXPECT_EQ(calls[0].file, "C:\\Program Files\\Mivora\\Mivora.hlp");
  EXPECT_EQ(calls[0].command, UINT(HELP_WM_HELP));
  EXPECT_EQ(calls[0].data, reinterpret_cast<ULONG_PTR>(SettingsHelpIds));
  EXPECT_EQ(calls[0].contextId, 111u);
  EXPECT_EQ(calls[1].command, UINT(HELP_CONTEXTMENU));
  EXPECT_EQ(calls[1].hwnd, GetDlgItem(SettingsDialog, IDC_WIND_PICTURE));
  EXPECT_EQ(calls[1].contextId, 135u);
  EXPECT_EQ(FindWindowA(HELP_POPUP_CLASS, nullptr), nullptr);
}

}  // namespace
