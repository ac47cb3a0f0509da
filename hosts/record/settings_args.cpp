#include "settings_args.h"

#include <stdlib.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>

#include "app/app.h"
#include "settings/settings.h"
#include "vdesktop.h"

namespace rec {
namespace {

struct SettingField {
  const char *name;
  LONG SettingsRecord::*field;
};

// The settings by the names of their fields, in their stored order.
const SettingField kSettingFields[SETTINGS_FIELD_COUNT] = {
    {"branchCount", &SettingsRecord::branchCount},
    {"flowersPerBranch", &SettingsRecord::flowersPerBranch},
    {"flutter", &SettingsRecord::flutter},
    {"maxSideSpeed", &SettingsRecord::maxSideSpeed},
    {"fallSpeed", &SettingsRecord::fallSpeed},
    {"windowLayerThickness", &SettingsRecord::windowLayerThickness},
    {"bottomLayerThickness", &SettingsRecord::bottomLayerThickness},
    {"showBranch", &SettingsRecord::showBranch},
    {"fallingPetals", &SettingsRecord::fallingPetals},
    {"windEnabled", &SettingsRecord::windEnabled},
    {"fallBehindWindows", &SettingsRecord::fallBehindWindows},
    {"windowLayers", &SettingsRecord::windowLayers},
    {"bottomLayer", &SettingsRecord::bottomLayer},
    {"flowerType", &SettingsRecord::flowerType},
    {"tickInterval", &SettingsRecord::tickInterval},
    {"branchRedrawInterval", &SettingsRecord::branchRedrawInterval},
    {"calmPeriod", &SettingsRecord::calmPeriod},
    {"maxWindStrength", &SettingsRecord::maxWindStrength},
    {"windWrap", &SettingsRecord::windWrap},
    {"strengthenStep", &SettingsRecord::strengthenStep},
    {"risePeriod", &SettingsRecord::risePeriod},
    {"blowPeriod", &SettingsRecord::blowPeriod},
    {"weakenStep", &SettingsRecord::weakenStep},
    {"branchX", &SettingsRecord::branchX},
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ParseWholeNumber(const std::string &text, long min, long max, long *out) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  long long value = 0;
  constexpr long long kLowest = std::numeric_limits<long long>::min();
  constexpr long long kHighest = std::numeric_limits<long long>::max();
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return false;
    int digit = text[i] - '0';
    // Built towards its sign, so that the lowest value fits too; past the type's range it is out of any range.
    if (negative ? value < (kLowest + digit) / 10 : value > (kHighest - digit) / 10) return false;
    value = negative ? value * 10 - digit : value * 10 + digit;
  }
  if (value < min || value > max) return false;
  *out = long(value);
  return true;
}

bool ParseDecimal(const std::string &text, double *out) {
  double whole = 0, fraction = 0, scale = 1;
  int digits = 0, points = 0;
  for (char c : text) {
    if (c == '.') {
      if (++points > 1) return false;
    } else if (IsDigit(c)) {
      ++digits;
      if (points == 0) {
        whole = whole * 10 + (c - '0');
      } else {
        scale /= 10;
        fraction += (c - '0') * scale;
      }
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  *out = whole + fraction;
  return true;
}

const std::vector<std::string> &SettingNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> all;
    for (const SettingField &f : kSettingFields) all.push_back(f.name);
    return all;
  }();
  return names;
}

int SettingIndex(const std::string &name) {
  for (int i = 0; i < SETTINGS_FIELD_COUNT; ++i)
    if (name == kSettingFields[i].name) return i;
  return -1;
}

std::string JoinedSettingNames() {
  std::string all;
  for (const SettingField &f : kSettingFields) all += (all.empty() ? "" : ", ") + std::string(f.name);
  return all;
}

bool ParseSettingPair(const std::string &pair, SettingValues *settings, std::string *error) {
  size_t eq = pair.find('=');
  if (eq == std::string::npos || eq == 0) {
    *error = "--settings expects KEY=VALUE, got '" + pair + "'";
    return false;
  }
  std::string key = pair.substr(0, eq), value = pair.substr(eq + 1);
  int index = SettingIndex(key);
  if (index < 0) {
    *error = "unknown setting '" + key + "'; the settings are: " + JoinedSettingNames();
    return false;
  }
  long number = 0;
  if (!ParseWholeNumber(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), &number)) {
    *error = "setting " + key + ": '" + value + "' is not a whole number from -2147483648 to 2147483647";
    return false;
  }
  for (auto &entry : *settings) {
    if (entry.first == index) {
      entry.second = number;
      return true;
    }
  }
  settings->emplace_back(index, number);
  return true;
}

bool StoreSettings(const SettingValues &settings, std::string *error) {
  for (const auto &entry : settings) {
    if (entry.first < 0 || entry.first >= SETTINGS_FIELD_COUNT) {
      *error = "unknown setting";
      return false;
    }
  }
  ResetProgramState();
  RestoreFactoryDefaults();
  for (const auto &entry : settings) Settings.*kSettingFields[entry.first].field = LONG(entry.second);
  SaveSettings();
  // The program's save reports nothing; what the registry holds now tells.
  BYTE stored[STORED_SETTINGS_SIZE] = {};
  DWORD size = sizeof stored;
  HKEY key = nullptr;
  bool held = RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS;
  if (held) {
    held = RegQueryValueExA(key, SETTINGS_VALUE, nullptr, nullptr, stored, &size) == ERROR_SUCCESS &&
           size == sizeof stored && std::memcmp(stored, StoredSettings, sizeof stored) == 0;
    RegCloseKey(key);
  }
  ResetProgramState();
  if (held) return true;
  std::string why = vd::RegistryWriteProblem();
  *error = "the settings cannot be stored in the registry " + vd::RegistryPath() + (why.empty() ? "" : ": " + why);
  return false;
}

TempFolder::TempFolder() {
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) base = "/tmp";
  std::string pattern = (base / "mivora-record-XXXXXX").string();
  if (mkdtemp(pattern.data())) {
    path_ = pattern;
  } else {
    error_ = "cannot make a temporary folder in " + base.string() + " (" + std::strerror(errno) + ")";
  }
}

TempFolder::~TempFolder() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

}  // namespace rec
