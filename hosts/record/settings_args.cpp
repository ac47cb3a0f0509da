#include "settings_args.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <mutex>
#include <set>

#include "app/app.h"
#include "settings/settings.h"
#include "vdesktop.h"

namespace rec {
namespace {

// How the settings dialog takes a value: not at all limited, held within
// [min, max] (each bound moving the value onto it), a flag, or a value the
// loading of a stored block resets to `factory` when it is outside [min, max].
enum class Limit { kNone, kClamp, kFlag, kReset };

struct SettingField {
  const char *name;
  LONG SettingsRecord::*field;
  const char *unit;
  LONG factory;
  Limit limit;
  LONG min;
  LONG max;
  const char *meaning;
};

constexpr LONG kLowest = std::numeric_limits<int32_t>::min();
constexpr LONG kHighest = std::numeric_limits<int32_t>::max();

// The settings by the names of their fields, in their stored order.
const SettingField kSettingFields[SETTINGS_FIELD_COUNT] = {
    {"branchCount", &SettingsRecord::branchCount, "count", 1, Limit::kReset, 1, 1, "branches (the program has one)"},
    {"flowersPerBranch", &SettingsRecord::flowersPerBranch, "count", 1, Limit::kClamp, 0, 10, "flowers on the branch"},
    {"flutter", &SettingsRecord::flutter, "pixels per tick", 2, Limit::kNone, 0, 0, "sideways flutter of a petal"},
    {"maxSideSpeed", &SettingsRecord::maxSideSpeed, "pixels per tick", 2, Limit::kNone, 0, 0,
     "fastest sideways speed of a petal"},
    {"fallSpeed", &SettingsRecord::fallSpeed, "pixels per tick", 4, Limit::kClamp, 3, kHighest,
     "how fast new petals fall"},
    {"windowLayerThickness", &SettingsRecord::windowLayerThickness, "pixels", 15, Limit::kNone, 0, 0,
     "how thick petals pile on windows"},
    {"bottomLayerThickness", &SettingsRecord::bottomLayerThickness, "pixels", 40, Limit::kNone, 0, 0,
     "how thick petals pile at the bottom"},
    {"showBranch", &SettingsRecord::showBranch, "flag", 1, Limit::kFlag, 0, 1, "the branch is drawn"},
    {"fallingPetals", &SettingsRecord::fallingPetals, "flag", 1, Limit::kFlag, 0, 1, "petals fall"},
    {"windEnabled", &SettingsRecord::windEnabled, "flag", 1, Limit::kFlag, 0, 1, "the wind blows"},
    {"fallBehindWindows", &SettingsRecord::fallBehindWindows, "flag", 1, Limit::kFlag, 0, 1,
     "petals fall on behind windows"},
    {"windowLayers", &SettingsRecord::windowLayers, "flag", 1, Limit::kFlag, 0, 1, "petals pile on windows"},
    {"bottomLayer", &SettingsRecord::bottomLayer, "flag", 1, Limit::kFlag, 0, 1, "petals pile at the bottom"},
    {"flowerType", &SettingsRecord::flowerType, "type", 1, Limit::kReset, 1, 7, "which of the seven flowers"},
    {"tickInterval", &SettingsRecord::tickInterval, "milliseconds", 50, Limit::kClamp, 0, kHighest,
     "animation step (below 10 runs at 10)"},
    {"branchRedrawInterval", &SettingsRecord::branchRedrawInterval, "milliseconds", 500, Limit::kClamp, 500, kHighest,
     "how often the branch is redrawn"},
    {"calmPeriod", &SettingsRecord::calmPeriod, "milliseconds", 30000, Limit::kNone, 0, 0, "calm between gusts"},
    {"maxWindStrength", &SettingsRecord::maxWindStrength, "pixels per tick", 40, Limit::kClamp, 0, 100,
     "strongest push of the wind (the program starts with 40; a value given here is put in force "
     "once it has started, as the dialog's Apply would)"},
    {"windWrap", &SettingsRecord::windWrap, "flag", 0, Limit::kFlag, 0, 1,
     "petals blown off one side come back at the other"},
    {"strengthenStep", &SettingsRecord::strengthenStep, "milliseconds", 100, Limit::kNone, 0, 0,
     "time for each step up of a rising wind"},
    {"risePeriod", &SettingsRecord::risePeriod, "milliseconds", 6000, Limit::kNone, 0, 0, "how long the wind rises"},
    {"blowPeriod", &SettingsRecord::blowPeriod, "milliseconds", 4000, Limit::kNone, 0, 0, "how long the wind blows"},
    {"weakenStep", &SettingsRecord::weakenStep, "milliseconds", 100, Limit::kNone, 0, 0,
     "time for each step down of a blowing wind"},
    {"branchX", &SettingsRecord::branchX, "pixels", 100, Limit::kNone, 0, 0, "where the branch hangs, from the left"},
};

std::string RangeOf(const SettingField &f) {
  switch (f.limit) {
    case Limit::kNone: return "any value";
    case Limit::kFlag: return "0 or 1";
    case Limit::kReset: return f.min == f.max ? "always " + std::to_string(f.min) : std::to_string(f.min) + " to " + std::to_string(f.max);
    case Limit::kClamp:
      return f.max == kHighest ? std::to_string(f.min) + " or more" : std::to_string(f.min) + " to " + std::to_string(f.max);
  }
  return "";
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string JoinedSettingNames() {
  std::string all;
  for (const SettingField &f : kSettingFields) all += (all.empty() ? "" : ", ") + std::string(f.name);
  return all;
}

}  // namespace

const char *const kProgramVersion = MIVORA_VERSION;

std::string SettingsHelp() {
  constexpr size_t kIndent = 27, kWidth = 79;
  std::string help;
  for (const SettingField &f : kSettingFields) {
    std::string line = "    " + std::string(f.name);
    line.resize(kIndent, ' ');
    std::string text = std::string(f.unit) + ", " + RangeOf(f) + " (factory " + std::to_string(f.factory) + "): " + f.meaning;
    // Wrapped at word boundaries under the description's column.
    size_t start = 0;
    while (start < text.size()) {
      size_t room = kWidth - kIndent, end = text.size();
      if (end - start > room) {
        end = text.rfind(' ', start + room);
        if (end == std::string::npos || end <= start) end = start + room;
      }
      help += line + text.substr(start, end - start) + "\n";
      line.assign(kIndent, ' ');
      start = end;
      while (start < text.size() && text[start] == ' ') ++start;
    }
  }
  return help;
}

std::vector<SettingDescription> SettingDescriptions() {
  std::vector<SettingDescription> all;
  for (const SettingField &f : kSettingFields) all.push_back({f.name, f.unit, RangeOf(f), long(f.factory), f.meaning});
  return all;
}

std::vector<std::string> CorrectSettings(SettingValues *settings) {
  std::vector<std::string> warnings;
  for (auto &entry : *settings) {
    if (entry.first < 0 || entry.first >= SETTINGS_FIELD_COUNT) continue;
    const SettingField &f = kSettingFields[entry.first];
    long value = entry.second, corrected = value;
    switch (f.limit) {
      case Limit::kNone: break;
      case Limit::kClamp: corrected = std::clamp<long>(value, f.min, f.max); break;
      case Limit::kFlag: corrected = value != 0 ? 1 : 0; break;
      case Limit::kReset: corrected = value < f.min || value > f.max ? f.factory : value; break;
    }
    if (corrected == value) continue;
    entry.second = corrected;
    warnings.push_back("setting " + std::string(f.name) + "=" + std::to_string(value) + " is outside " + RangeOf(f) +
                       ": using " + std::to_string(corrected) + ", as the settings dialog would");
  }
  return warnings;
}

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

bool IsOption(const std::string &arg) { return arg.size() > 2 && arg.compare(0, 2, "--") == 0; }

bool TakeOptionValue(const std::vector<std::string> &args, size_t *i,
                     std::initializer_list<const char *> takingValue, std::string *value, std::string *error) {
  const std::string &arg = args[*i];
  if (std::none_of(takingValue.begin(), takingValue.end(), [&](const char *name) { return arg == name; })) {
    *error = IsOption(arg) ? "unknown option " + arg : "unexpected argument '" + arg + "'";
    return false;
  }
  if (*i + 1 >= args.size() || IsOption(args[*i + 1]) || args[*i + 1].empty()) {
    *error = arg + " needs a value";
    return false;
  }
  *value = args[++*i];
  return true;
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

bool ParseSettingPairs(const std::vector<std::string> &args, size_t *i, SettingValues *settings,
                       std::string *error) {
  if (!ParseSettingPair(args[*i], settings, error)) return false;
  while (*i + 1 < args.size() && !IsOption(args[*i + 1]))
    if (!ParseSettingPair(args[++*i], settings, error)) return false;
  return true;
}

void SetSetting(int index, long value) {
  if (index >= 0 && index < SETTINGS_FIELD_COUNT) Settings.*kSettingFields[index].field = LONG(value);
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
  for (const auto &entry : settings) SetSetting(entry.first, entry.second);
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

// The temporary folders alive in this process, removed at exit too: an X
// error ends a host through exit(), past every destructor of main's.
std::set<std::string> &LiveTempFolders() {
  static std::set<std::string> *folders = new std::set<std::string>;  // outlives every exit handler
  return *folders;
}

void RemoveLiveTempFolders() {
  std::error_code ec;
  for (const std::string &path : LiveTempFolders()) std::filesystem::remove_all(path, ec);
  LiveTempFolders().clear();
}

TempFolder::TempFolder() {
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) base = "/tmp";
  std::string pattern = (base / "mivora-record-XXXXXX").string();
  if (mkdtemp(pattern.data())) {
    path_ = pattern;
    static std::once_flag registered;
    std::call_once(registered, [] { std::atexit(RemoveLiveTempFolders); });
    LiveTempFolders().insert(path_);
  } else {
    error_ = "cannot make a temporary folder in " + base.string() + " (" + std::strerror(errno) + ")";
  }
}

TempFolder::~TempFolder() {
  std::error_code ec;
  if (path_.empty()) return;
  std::filesystem::remove_all(path_, ec);
  LiveTempFolders().erase(path_);
}

// ---------------------------------------------------------------- start-up

void PutSettingsInForceAfterStart(const SettingValues &settings) {
  const int wind = SettingIndex("maxWindStrength");
  for (const auto &entry : settings) {
    if (entry.first != wind) continue;
    const LONG value = LONG(entry.second);
    // At the first wait of the program's message loop: start-up is over then.
    vd::At(vd::Now(), [value] {
      Settings.maxWindStrength = value;
      if (SettingsDialog) FillSettingsDialog(SettingsDialog);
    });
  }
}

// ---------------------------------------------------------------- failed saves

std::string FailedSaveText(const std::string &why) {
  return "Mivora could not save its settings:\n" + why + ".";
}

void ReportFailedSaves(const std::string &program, FailedSaveReport how) {
  vd::OnRegistryWriteFailed([program, how](const std::string &why) {
    std::string text = FailedSaveText(why);
    std::string line = text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::fprintf(stderr, "%s: %s\n", program.c_str(), line.c_str());
    if (how == FailedSaveReport::kMessageBox)
      MessageBoxA(GetActiveWindow(), text.c_str(), "Mivora", MB_OK | MB_ICONEXCLAMATION);
  });
}

// ---------------------------------------------------------------- signals

namespace {
volatile std::sig_atomic_t stopSignal = 0;
void OnStopSignal(int signal) { stopSignal = signal; }
}  // namespace

void CatchStopSignals() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  // A file size limit (ulimit -f) then fails a write, which is reported, instead of killing the run.
  std::signal(SIGXFSZ, SIG_IGN);
}

int StopSignal() { return stopSignal; }
const volatile std::sig_atomic_t *StopFlag() { return &stopSignal; }

void EndAsSignalled() {
  const int signal = stopSignal;
  if (!signal) return;
  RemoveLiveTempFolders();
  std::signal(signal, SIG_DFL);
  raise(signal);
  _exit(128 + signal);
}

}  // namespace rec
