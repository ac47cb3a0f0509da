// The settings record, its factory values, and its image in the registry.
#include <cstddef>
#include <cstring>

#include "app/app.h"
#include "settings/settings.h"

// The record is the 24 stored fields in their stored order and nothing else,
// and their image fits the value.
static_assert(sizeof(SettingsRecord) == SETTINGS_FIELD_COUNT * sizeof(LONG), "one LONG per stored field");
static_assert(sizeof(LONG) == 4, "stored fields are 32 bits");
static_assert(offsetof(SettingsRecord, branchCount) == 0, "branchCount is stored first");
static_assert(offsetof(SettingsRecord, branchX) == (SETTINGS_FIELD_COUNT - 1) * sizeof(LONG), "branchX is stored last");
static_assert(STORED_FIELDS_OFFSET + SETTINGS_FIELD_COUNT * 4 <= STORED_SETTINGS_SIZE, "the fields fit the value");

SettingsRecord Settings;
BYTE StoredSettings[STORED_SETTINGS_SIZE];

// The fields in their stored order, for copying to and from StoredSettings.
static LONG *const SettingsFields[SETTINGS_FIELD_COUNT] = {
    &Settings.branchCount,       &Settings.flowersPerBranch,     &Settings.flutter,
    &Settings.maxSideSpeed,      &Settings.fallSpeed,            &Settings.windowLayerThickness,
    &Settings.bottomLayerThickness, &Settings.showBranch,        &Settings.fallingPetals,
    &Settings.windEnabled,       &Settings.fallBehindWindows,    &Settings.windowLayers,
    &Settings.bottomLayer,       &Settings.flowerType,           &Settings.tickInterval,
    &Settings.branchRedrawInterval, &Settings.calmPeriod,        &Settings.maxWindStrength,
    &Settings.windWrap,          &Settings.strengthenStep,       &Settings.risePeriod,
    &Settings.blowPeriod,        &Settings.weakenStep,           &Settings.branchX,
};

void RestoreFactoryDefaults() {
  Settings.branchCount = 1;
  Settings.flowersPerBranch = 1;
  Settings.flutter = 2;
  Settings.maxSideSpeed = 2;
  Settings.fallSpeed = 4;
  Settings.windowLayerThickness = 15;
  Settings.bottomLayerThickness = 40;
  Settings.showBranch = 1;
  Settings.fallingPetals = 1;
  Settings.windEnabled = 1;
  Settings.windowLayers = 1;
  Settings.bottomLayer = 1;
  Settings.fallBehindWindows = 1;
  Settings.branchX = 100;
  Settings.flowerType = 1;
  Settings.tickInterval = 50;
  Settings.branchRedrawInterval = 500;
  Settings.calmPeriod = 30000;
  Settings.maxWindStrength = 40;
  Settings.windWrap = 0;
  Settings.risePeriod = 6000;
  Settings.blowPeriod = 4000;
  Settings.strengthenStep = 100;
  Settings.weakenStep = 100;
  if (SettingsDialog) {
    FillSettingsDialog(SettingsDialog);
    ApplySettingsDialog(SettingsDialog, 1);
  }
}

void CaptureSettings() {
  std::memcpy(StoredSettings + STORED_VERSION_OFFSET, SETTINGS_VERSION, sizeof SETTINGS_VERSION);
  for (int i = 0; i < SETTINGS_FIELD_COUNT; ++i) {
    DWORD value = DWORD(*SettingsFields[i]);
    BYTE *p = StoredSettings + STORED_FIELDS_OFFSET + 4 * i;
    p[0] = BYTE(value);
    p[1] = BYTE(value >> 8);
    p[2] = BYTE(value >> 16);
    p[3] = BYTE(value >> 24);
  }
}

// Factory values, and the message that the stored ones are not this version's.
static void RestoreDefaultsWithMessage() {
  RestoreFactoryDefaults();
  CaptureSettings();
  MessageBoxA(SettingsDialog,
              "Sorry, the saved Mivora settings are incompatible with the current version,\n"
              "the default settings are restored.",
              "Mivora default settings restored", MB_OK);
}

void AdoptStoredSettings() {
  // Compared up to the first difference or the terminating NUL; the block's
  // NUL at byte 7 keeps the comparison inside the version field.
  const char *stored = reinterpret_cast<const char *>(StoredSettings + STORED_VERSION_OFFSET);
  if (std::strncmp(stored, SETTINGS_VERSION, sizeof SETTINGS_VERSION) != 0) {
    RestoreDefaultsWithMessage();
    return;
  }
  for (int i = 0; i < SETTINGS_FIELD_COUNT; ++i) {
    const BYTE *p = StoredSettings + STORED_FIELDS_OFFSET + 4 * i;
    *SettingsFields[i] = LONG(DWORD(p[0]) | (DWORD(p[1]) << 8) | (DWORD(p[2]) << 16) | (DWORD(p[3]) << 24));
  }
  ClampLoadedSettings();
}

// A stored block altered outside the program can hold values that the model
// has no room for; they are brought to the nearest value it can hold.
void ClampLoadedSettings() {
  Settings.branchCount = 1;
  if (Settings.flowersPerBranch < 0) Settings.flowersPerBranch = 0;
  if (Settings.flowersPerBranch > 10) Settings.flowersPerBranch = 10;
  if (Settings.flowerType < 1 || Settings.flowerType > 7) Settings.flowerType = 1;
  // A negative period is no period: as a timer's it would be 49 days, and
  // nothing would ever move. The fastest step is the nearest one it can hold.
  if (Settings.tickInterval < 0) Settings.tickInterval = 0;
}

static HKEY OpenSettingsKey() {
  HKEY key = 0;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key,
                      &disposition) != ERROR_SUCCESS)
    return 0;
  return key;
}

void LoadSettings() {
  HKEY key = OpenSettingsKey();
  if (!key) {
    RestoreFactoryDefaults();
    CaptureSettings();
    return;
  }
  // Read into a block of its own first: a value of any other size than the
  // block is not this version's settings, and leaves StoredSettings alone.
  BYTE value[STORED_SETTINGS_SIZE];
  DWORD size = STORED_SETTINGS_SIZE;
  LONG result = RegQueryValueExA(key, SETTINGS_VALUE, NULL, NULL, value, &size);
  RegCloseKey(key);
  if (result == ERROR_MORE_DATA || (result == ERROR_SUCCESS && size != STORED_SETTINGS_SIZE)) {
    RestoreDefaultsWithMessage();
    return;
  }
  if (result != ERROR_SUCCESS) {
    RestoreFactoryDefaults();
    CaptureSettings();
    return;
  }
  std::memcpy(StoredSettings, value, STORED_SETTINGS_SIZE);
  AdoptStoredSettings();
}

void SaveSettings() {
  HKEY key = OpenSettingsKey();
  if (!key) return;
  CaptureSettings();
  RegSetValueExA(key, SETTINGS_VALUE, 0, REG_BINARY, StoredSettings, STORED_SETTINGS_SIZE);
  RegCloseKey(key);
}

void ResetSettingsState() {
  std::memset(&Settings, 0, sizeof Settings);
  std::memset(StoredSettings, 0, sizeof StoredSettings);
  AboutFont = 0;
  AboutText = 0;
  HelpFile[0] = '\0';
  HelpPopup = 0;
  HelpPopupTopic[0] = '\0';
  HelpTitleFont = 0;
}
