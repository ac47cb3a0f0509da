// The settings dialog: created hidden at start-up, shown and hidden from the
// notification icon, closed into hiding by its close box. Every click applies
// the whole dialog; numbers typed into the boxes take effect when it is applied.
#include <climits>
#include <cstdio>

#include "app/app.h"
#include "geometry/geometry.h"
#include "render/render.h"
#include "resource.h"
#include "settings/settings.h"
#include "sim/sim.h"

#define NUMBER_BUFFER 100  // at most 99 characters and the terminating NUL
#define FIRST_TYPE_BUTTON IDC_TYPE1
#define LAST_TYPE_BUTTON IDC_TYPE7

// Control id and help context id, pair by pair, ended by a pair of zeros.
const DWORD SettingsHelpIds[] = {
    IDD_SETTINGS, 100,
    IDC_APPLY, 101,
    IDOK, 102,
    IDCANCEL, 103,
    IDC_FLOWERS, 111, IDC_FLOWERS_ICON, 111,
    IDC_FLUTTER, 112, IDC_FLUTTER_ICON, 112,
    IDC_SIDE_SPEED, 115, IDC_SIDE_SPEED_ICON, 115,
    IDC_FALL_SPEED, 117, IDC_FALL_SPEED_ICON, 117,
    IDC_WINDOW_THICKNESS, 118, IDC_WINDOW_THICKNESS_ICON, 118,
    IDC_BOTTOM_THICKNESS, 121, IDC_BOTTOM_THICKNESS_ICON, 121,
    IDC_BRANCH_X, 122, IDC_BRANCH_X_ICON, 122,
    IDC_BRANCH_PICTURE, 131, IDC_SHOW_BRANCH, 131,
    IDC_FALLING_PICTURE, 133, IDC_FALLING, 133,
    IDC_WIND_PICTURE, 135, IDC_WIND, 135,
    IDC_FALL_BEHIND_PICTURE, 137, IDC_FALL_BEHIND, 137,
    IDC_WINDOW_LAYERS_PICTURE, 138, IDC_WINDOW_LAYERS, 138,
    IDC_BOTTOM_LAYER_PICTURE, 140, IDC_BOTTOM_LAYER, 140,
    IDC_TYPE1_ICON, 145, IDC_TYPE1, 145, IDC_TYPE2_ICON, 145, IDC_TYPE2, 145,
    IDC_TYPE3_ICON, 145, IDC_TYPE3, 145, IDC_TYPE4_ICON, 145, IDC_TYPE4, 145,
    IDC_TYPE5_ICON, 145, IDC_TYPE5, 145, IDC_TYPE6_ICON, 145, IDC_TYPE6, 145,
    IDC_TYPE7_ICON, 145, IDC_TYPE7, 145,
    IDC_ABOUT, 150,
    IDC_SAVE, 152,
    IDC_RESTORE, 153,
    IDC_FACTORY, 154,
    IDC_TICK_INTERVAL, 160, IDC_TICK_PICTURE, 160,
    IDC_BRANCH_REDRAW, 161, IDC_REDRAW_PICTURE, 161,
    IDC_CALM_PICTURE, 162, IDC_CALM_PERIOD, 162,
    IDC_STRENGTHEN_STEP, 163, IDC_STRENGTHEN_PICTURE, 163,
    IDC_RISE_PERIOD, 164, IDC_RISE_PICTURE, 164,
    IDC_WEAKEN_STEP, 165, IDC_WEAKEN_PICTURE, 165,
    IDC_BLOW_PERIOD, 166, IDC_BLOW_PICTURE, 166,
    IDC_WIND_STRENGTH_PICTURE, 170, IDC_WIND_STRENGTH, 170,
    0, 0,
};

// The radio buttons of flower types 1..7.
static const int TypeButtons[FLOWER_TYPES] = {IDC_TYPE1, IDC_TYPE2, IDC_TYPE3, IDC_TYPE4,
                                              IDC_TYPE5, IDC_TYPE6, IDC_TYPE7};

// ---------------------------------------------------------------- numbers

// Leading white space, an optional sign, then decimal digits up to the first
// other character; no digits read 0. Beyond the 32-bit range the value stays at
// the nearest limit rather than wrapping into the other sign.
LONG ReadNumber(const char *text) {
  long long value = 0;
  int negative = 0;
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) text++;
  if (*text == '-' || *text == '+') negative = *text++ == '-';
  for (; *text >= '0' && *text <= '9'; text++) {
    value = value * 10 + (*text - '0');
    if (value > (long long)INT_MAX + 1) value = (long long)INT_MAX + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return (LONG)value;
}

// Seconds to milliseconds, held at the 32-bit limits.
LONG SecondsToMilliseconds(LONG seconds) {
  long long ms = (long long)seconds * 1000;
  if (ms > INT_MAX) return INT_MAX;
  if (ms < INT_MIN) return INT_MIN;
  return (LONG)ms;
}

static LONG ReadBox(HWND dialog, int id) {
  char text[NUMBER_BUFFER];
  text[0] = 0;
  GetWindowTextA(GetDlgItem(dialog, id), text, NUMBER_BUFFER);
  return ReadNumber(text);
}

static void ShowNumber(HWND dialog, int id, LONG value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", (int)value);
  SetWindowTextA(GetDlgItem(dialog, id), text);
}

// A value outside its limit: heard, stored corrected, and shown corrected.
static void Correct(HWND dialog, int id, LONG *field, LONG value) {
  MessageBeep(0);
  *field = value;
  ShowNumber(dialog, id, value);
}

static LONG ReadCheck(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0; }

static void InvertCheck(HWND dialog, int id) {
  CheckDlgButton(dialog, id, IsDlgButtonChecked(dialog, id) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
}

// ---------------------------------------------------------------- fill and apply

void FillSettingsDialog(HWND dialog) {
  CheckDlgButton(dialog, IDC_SHOW_BRANCH, Settings.showBranch ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_FALLING, Settings.fallingPetals ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_WIND, Settings.windEnabled ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_FALL_BEHIND, Settings.fallBehindWindows ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_WINDOW_LAYERS, Settings.windowLayers ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_BOTTOM_LAYER, Settings.bottomLayer ? BST_CHECKED : BST_UNCHECKED);
  ShowNumber(dialog, IDC_FLOWERS, Settings.flowersPerBranch);
  ShowNumber(dialog, IDC_FLUTTER, Settings.flutter);
  ShowNumber(dialog, IDC_SIDE_SPEED, Settings.maxSideSpeed);
  ShowNumber(dialog, IDC_FALL_SPEED, Settings.fallSpeed);
  ShowNumber(dialog, IDC_WINDOW_THICKNESS, Settings.windowLayerThickness);
  ShowNumber(dialog, IDC_BOTTOM_THICKNESS, Settings.bottomLayerThickness);
  ShowNumber(dialog, IDC_BRANCH_X, Settings.branchX);
  ShowNumber(dialog, IDC_TICK_INTERVAL, Settings.tickInterval);
  ShowNumber(dialog, IDC_BRANCH_REDRAW, Settings.branchRedrawInterval);
  // Whole seconds, truncated toward zero.
  ShowNumber(dialog, IDC_CALM_PERIOD, Settings.calmPeriod / 1000);
  ShowNumber(dialog, IDC_STRENGTHEN_STEP, Settings.strengthenStep);
  ShowNumber(dialog, IDC_RISE_PERIOD, Settings.risePeriod / 1000);
  ShowNumber(dialog, IDC_WEAKEN_STEP, Settings.weakenStep);
  ShowNumber(dialog, IDC_BLOW_PERIOD, Settings.blowPeriod / 1000);
  ShowNumber(dialog, IDC_WIND_STRENGTH, Settings.maxWindStrength);
  SelectFlowerTypeButton(dialog, Settings.flowerType);
}

void SelectFlowerTypeButton(HWND dialog, LONG flowerType) {
  // A type outside 1..7 names no button, so all seven end up unchecked.
  int button = 0;
  if (flowerType >= 1 && flowerType <= FLOWER_TYPES) button = TypeButtons[flowerType - 1];
  CheckRadioButton(dialog, FIRST_TYPE_BUTTON, LAST_TYPE_BUTTON, button);
}

void OnBranchShownToggled(LONG now, LONG old) {
  if (old != 0 && now == 0) EraseBranch();
}

void OnWindToggled(LONG now, LONG old) {
  if (old != 0 && now == 0) {
    KillWindTimers();
  } else if (old == 0 && now != 0) {
    SetTimer(MainWindow, TIMER_CALM, (UINT)Settings.calmPeriod, NULL);
  }
}

// The old value handed to a reaction: -1 when every reaction is forced.
static LONG OldOrForced(LONG old, int forced) { return forced ? -1 : old; }

void ApplySettingsDialog(HWND dialog, int forced) {
  LONG old;
  int type;

  old = OldOrForced(Settings.showBranch, forced);
  Settings.showBranch = ReadCheck(dialog, IDC_SHOW_BRANCH);
  OnBranchShownToggled(Settings.showBranch, old);

  old = OldOrForced(Settings.fallingPetals, forced);
  Settings.fallingPetals = ReadCheck(dialog, IDC_FALLING);
  OnFallingToggled(Settings.fallingPetals, old);

  old = OldOrForced(Settings.windEnabled, forced);
  Settings.windEnabled = ReadCheck(dialog, IDC_WIND);
  OnWindToggled(Settings.windEnabled, old);

  old = OldOrForced(Settings.windowLayers, forced);
  Settings.windowLayers = ReadCheck(dialog, IDC_WINDOW_LAYERS);
  ApplyWindowLayerToggle(Settings.windowLayers, old);

  old = OldOrForced(Settings.bottomLayer, forced);
  Settings.bottomLayer = ReadCheck(dialog, IDC_BOTTOM_LAYER);
  ApplyBottomLayerToggle(Settings.bottomLayer, old);

  Settings.fallBehindWindows = ReadCheck(dialog, IDC_FALL_BEHIND);

  // A negative count means no flowers, silently; the box keeps its text.
  old = Settings.flowersPerBranch;
  Settings.flowersPerBranch = ReadBox(dialog, IDC_FLOWERS);
  if (Settings.flowersPerBranch < 0) Settings.flowersPerBranch = 0;
  if (Settings.flowersPerBranch > FLOWER_SLOTS) Correct(dialog, IDC_FLOWERS, &Settings.flowersPerBranch, FLOWER_SLOTS);
  OnFlowerCountChanged(old, Settings.flowersPerBranch);

  Settings.flutter = ReadBox(dialog, IDC_FLUTTER);
  Settings.maxSideSpeed = ReadBox(dialog, IDC_SIDE_SPEED);

  Settings.fallSpeed = ReadBox(dialog, IDC_FALL_SPEED);
  if (Settings.fallSpeed < 3) Correct(dialog, IDC_FALL_SPEED, &Settings.fallSpeed, 3);

  old = Settings.windowLayerThickness;
  Settings.windowLayerThickness = ReadBox(dialog, IDC_WINDOW_THICKNESS);
  ApplyLayerThicknessChange(Settings.windowLayerThickness, old);

  old = Settings.bottomLayerThickness;
  Settings.bottomLayerThickness = ReadBox(dialog, IDC_BOTTOM_THICKNESS);
  ApplyLayerThicknessChange(Settings.bottomLayerThickness, old);

  old = OldOrForced(Settings.branchX, forced);
  Settings.branchX = ReadBox(dialog, IDC_BRANCH_X);
  if (Settings.branchX != old) {
    EraseBranch();
    SeedBranch(1);
  }

  // A negative period would stop the animation for good: it ends at 0, the fastest step.
  old = OldOrForced(Settings.tickInterval, forced);
  Settings.tickInterval = ReadBox(dialog, IDC_TICK_INTERVAL);
  if (Settings.tickInterval < 0) Correct(dialog, IDC_TICK_INTERVAL, &Settings.tickInterval, 0);
  RestartTick(Settings.tickInterval, old);

  // 0 and every other value below 500 end at 500 with one beep.
  Settings.branchRedrawInterval = ReadBox(dialog, IDC_BRANCH_REDRAW);
  if (Settings.branchRedrawInterval < 500) Correct(dialog, IDC_BRANCH_REDRAW, &Settings.branchRedrawInterval, 500);

  Settings.calmPeriod = SecondsToMilliseconds(ReadBox(dialog, IDC_CALM_PERIOD));
  Settings.strengthenStep = ReadBox(dialog, IDC_STRENGTHEN_STEP);
  Settings.risePeriod = SecondsToMilliseconds(ReadBox(dialog, IDC_RISE_PERIOD));
  Settings.weakenStep = ReadBox(dialog, IDC_WEAKEN_STEP);
  Settings.blowPeriod = SecondsToMilliseconds(ReadBox(dialog, IDC_BLOW_PERIOD));
  RescheduleWind();

  Settings.maxWindStrength = ReadBox(dialog, IDC_WIND_STRENGTH);
  if (Settings.maxWindStrength > 100) Correct(dialog, IDC_WIND_STRENGTH, &Settings.maxWindStrength, 100);
  if (Settings.maxWindStrength < 0) Correct(dialog, IDC_WIND_STRENGTH, &Settings.maxWindStrength, 0);

  old = Settings.flowerType;
  for (type = 1; type <= FLOWER_TYPES; type++) {
    if (IsDlgButtonChecked(dialog, TypeButtons[type - 1]) == BST_CHECKED) {
      Settings.flowerType = type;
      break;
    }
  }
  if (Settings.flowerType != old || forced) LoadBitmapSets(1);
}

// After the settings were replaced wholesale: the three transitions that a
// forced apply compares with real old values, then the dialog refilled and
// every other reaction forced.
void RefreshAfterReplace(HWND dialog, LONG oldFlowers, LONG oldWindowThickness, LONG oldBottomThickness) {
  OnFlowerCountChanged(oldFlowers, Settings.flowersPerBranch);
  ApplyLayerThicknessChange(Settings.windowLayerThickness, oldWindowThickness);
  ApplyLayerThicknessChange(Settings.bottomLayerThickness, oldBottomThickness);
  FillSettingsDialog(dialog);
  ApplySettingsDialog(dialog, 1);
}

// ---------------------------------------------------------------- commands

// Replaces every setting (factory values or the stored ones) and brings the
// dialog and the desktop up to date with what changed.
static void ReplaceSettings(HWND dialog, void (*replace)()) {
  LONG oldFlowers = Settings.flowersPerBranch;
  LONG oldWindowThickness = Settings.windowLayerThickness;
  LONG oldBottomThickness = Settings.bottomLayerThickness;
  replace();
  RefreshAfterReplace(dialog, oldFlowers, oldWindowThickness, oldBottomThickness);
}

// Alt+click on the fall-behind picture: the hidden wrap-around switch, heard
// and not seen.
static void OnFallBehindPicture(HWND dialog) {
  if (GetKeyState(VK_MENU) < 0) {
    Settings.windWrap = Settings.windWrap == 0 ? 1 : 0;
    MessageBeep(0);
    return;
  }
  InvertCheck(dialog, IDC_FALL_BEHIND);
  ApplySettingsDialog(dialog, 0);
}

static void OnCheckPicture(HWND dialog, int checkBox) {
  InvertCheck(dialog, checkBox);
  ApplySettingsDialog(dialog, 0);
}

static void OnFlowerTypeChosen(HWND dialog, LONG flowerType) {
  SelectFlowerTypeButton(dialog, flowerType);
  ApplySettingsDialog(dialog, 0);
}

static void RunAboutBox() {
  DialogBoxParamA(Instance, MAKEINTRESOURCEA(IDD_ABOUT), MainWindow, AboutBoxProc, 0);
}

static void OnOk(HWND dialog) {
  ApplySettingsDialog(dialog, 0);
  EndDialog(dialog, 0);
}

// Only the control id counts, never the notification: focus changes act too.
static INT_PTR OnSettingsCommand(HWND dialog, int id) {
  switch (id) {
    case IDC_FALLING:
    case IDC_WIND:
    case IDC_SHOW_BRANCH:
    case IDC_WINDOW_LAYERS:
    case IDC_BOTTOM_LAYER:
    case IDC_FALL_BEHIND:
    case IDC_APPLY:
      ApplySettingsDialog(dialog, 0);
      return TRUE;
    case IDC_FALLING_PICTURE: OnCheckPicture(dialog, IDC_FALLING); return TRUE;
    case IDC_WIND_PICTURE: OnCheckPicture(dialog, IDC_WIND); return TRUE;
    case IDC_BRANCH_PICTURE: OnCheckPicture(dialog, IDC_SHOW_BRANCH); return TRUE;
    case IDC_WINDOW_LAYERS_PICTURE: OnCheckPicture(dialog, IDC_WINDOW_LAYERS); return TRUE;
    case IDC_BOTTOM_LAYER_PICTURE: OnCheckPicture(dialog, IDC_BOTTOM_LAYER); return TRUE;
    case IDC_FALL_BEHIND_PICTURE: OnFallBehindPicture(dialog); return TRUE;
    case IDC_TYPE1: case IDC_TYPE1_ICON: OnFlowerTypeChosen(dialog, 1); return TRUE;
    case IDC_TYPE2: case IDC_TYPE2_ICON: OnFlowerTypeChosen(dialog, 2); return TRUE;
    case IDC_TYPE3: case IDC_TYPE3_ICON: OnFlowerTypeChosen(dialog, 3); return TRUE;
    case IDC_TYPE4: case IDC_TYPE4_ICON: OnFlowerTypeChosen(dialog, 4); return TRUE;
    case IDC_TYPE5: case IDC_TYPE5_ICON: OnFlowerTypeChosen(dialog, 5); return TRUE;
    case IDC_TYPE6: case IDC_TYPE6_ICON: OnFlowerTypeChosen(dialog, 6); return TRUE;
    case IDC_TYPE7: case IDC_TYPE7_ICON: OnFlowerTypeChosen(dialog, 7); return TRUE;
    case IDC_ABOUT: RunAboutBox(); return TRUE;
    case IDC_FACTORY: ReplaceSettings(dialog, RestoreFactoryDefaults); return TRUE;
    case IDC_SAVE: SaveSettings(); return TRUE;
    case IDC_RESTORE: ReplaceSettings(dialog, LoadSettings); return TRUE;
    case IDOK: OnOk(dialog); return TRUE;
    case IDCANCEL: return TRUE;  // Esc changes nothing and keeps the dialog open
  }
  return FALSE;
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      FillSettingsDialog(dialog);
      return TRUE;
    case WM_CLOSE:
      // Closing the dialog only hides it: the main window does that.
      SendMessageA(MainWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
      return FALSE;
    case WM_HELP:
      ShowControlHelp((HWND)((const HELPINFO *)lParam)->hItemHandle);
      return FALSE;
    case WM_CONTEXTMENU:
      ShowContextHelp((HWND)wParam, lParam);
      return FALSE;
    case WM_COMMAND:
      return OnSettingsCommand(dialog, LOWORD(wParam));
  }
  return FALSE;
}
