#include "recorder.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include "app/app.h"
#include "image_files.h"
#include "resource.h"
#include "scenes.h"
#include "settings/settings.h"
#include "vdesktop.h"

namespace rec {
namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kMaxFps = 50;  // GIF delays are centiseconds; viewers slow anything faster
constexpr int kMaxScale = 4;
constexpr double kMaxSeconds = 24 * 3600;
constexpr const char *kDefaultGif = "mivora.gif";

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

bool ParseWhole(const std::string &text, long min, long max, long *out) {
  if (text.empty()) return false;
  errno = 0;
  char *end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < min || value > max) return false;
  *out = long(value);
  return true;
}

bool ParseSeconds(const std::string &text, double *out) {
  if (text.empty()) return false;
  char *end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(value) || value <= 0 || value > kMaxSeconds) return false;
  *out = value;
  return true;
}

bool IsOption(const std::string &arg) { return arg.size() > 2 && arg.compare(0, 2, "--") == 0; }

std::string JoinedSettingNames() {
  std::string all;
  for (const SettingField &f : kSettingFields) all += (all.empty() ? "" : ", ") + std::string(f.name);
  return all;
}

bool ParseSetting(const std::string &pair, Options *options, std::string *error) {
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
  if (!ParseWhole(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), &number)) {
    *error = "setting " + key + ": '" + value + "' is not a whole number (32-bit)";
    return false;
  }
  for (auto &entry : options->settings) {
    if (entry.first == index) {
      entry.second = number;
      return true;
    }
  }
  options->settings.emplace_back(index, number);
  return true;
}

// Starting from the factory values, the given settings are saved by the
// program's own save, so the registry holds exactly the block the program writes.
void StoreSettings(const std::vector<std::pair<int, long>> &values) {
  ResetProgramState();
  RestoreFactoryDefaults();
  for (const auto &entry : values) Settings.*kSettingFields[entry.first].field = LONG(entry.second);
  SaveSettings();
  ResetProgramState();
}

// A click at the middle of a control of the settings dialog.
void ClickDialogControl(int id) {
  RECT r;
  if (!GetWindowRect(GetDlgItem(SettingsDialog, id), &r)) return;
  int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
  vd::MouseDown(x, y);
  vd::MouseUp(x, y);
}

// The user's way to the dialog and the about box: the icon, then About...
void ScheduleDialogs(const Options &options) {
  if (options.showDialog || options.showAbout) vd::At(kShowDialogMs, [] { vd::TrayDoubleClick(TRAY_ICON_ID); });
  if (options.showAbout) vd::At(kShowAboutMs, [] { ClickDialogControl(IDC_ABOUT); });
}

// A temporary folder for the run's registry file, removed when it goes.
class TempFolder {
 public:
  TempFolder() {
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) base = "/tmp";
    std::string pattern = (base / "mivora-record-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder &) = delete;
  TempFolder &operator=(const TempFolder &) = delete;
  const std::string &path() const { return path_; }

 private:
  std::string path_;
};

// Every `scale`-th pixel of every `scale`-th row: the colours stay exact.
void Shrink(const uint32_t *pixels, int width, int height, int scale, std::vector<uint32_t> *out) {
  int w = width / scale, h = height / scale;
  out->resize(size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) (*out)[size_t(y) * w + x] = pixels[size_t(y) * scale * width + size_t(x) * scale];
}

}  // namespace

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

std::string Usage() {
  std::string scenes;
  for (const std::string &s : SceneNames()) scenes += (scenes.empty() ? "" : ", ") + s;
  return "usage: mivora-record [options]\n"
         "Runs Mivora on a virtual desktop in virtual time and writes what the screen shows.\n"
         "  --seconds N            virtual seconds to record (default 30)\n"
         "  --fps N                frames per second, 1 to 50 (default 10)\n"
         "  --scene NAME           one of: " + scenes + " (default: default)\n"
         "  --gif FILE             an animated GIF (default " + kDefaultGif + " when no --png-dir)\n"
         "  --png-dir DIR          every frame as DIR/frame-NNNNN.png\n"
         "  --scale N              files at 1/N of the 1024 x 768 screen, 1 to 4 (default 1)\n"
         "  --settings KEY=VALUE... settings stored before the start; the others keep their\n"
         "                         factory values. Keys: " + JoinedSettingNames() + "\n"
         "  --show-dialog          the settings dialog, shown from the notification icon at 1 s\n"
         "  --show-about           the about box, opened from the settings dialog at 1.5 s\n"
         "  --quiet                no progress line\n"
         "Needs no display. The same arguments give the same files, byte for byte.\n";
}

ParseOutcome ParseArguments(const std::vector<std::string> &args, Options *options, std::string *error) {
  *options = Options();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (arg == "--help" || arg == "-h") return ParseOutcome::kHelp;
    if (arg == "--quiet") {
      options->progress = false;
      continue;
    }
    if (arg == "--show-dialog" || arg == "--show-about") {
      (arg == "--show-dialog" ? options->showDialog : options->showAbout) = true;
      continue;
    }
    bool takesValue = arg == "--seconds" || arg == "--fps" || arg == "--scale" || arg == "--scene" ||
                      arg == "--gif" || arg == "--png-dir" || arg == "--settings";
    if (!takesValue) {
      *error = IsOption(arg) ? "unknown option " + arg : "unexpected argument '" + arg + "'";
      return ParseOutcome::kError;
    }
    if (i + 1 >= args.size() || IsOption(args[i + 1]) || args[i + 1].empty()) {
      *error = arg + " needs a value";
      return ParseOutcome::kError;
    }
    const std::string &value = args[++i];
    long number = 0;
    if (arg == "--seconds") {
      if (!ParseSeconds(value, &options->seconds)) {
        *error = "--seconds: '" + value + "' is not a number of seconds above 0";
        return ParseOutcome::kError;
      }
    } else if (arg == "--fps") {
      if (!ParseWhole(value, 1, kMaxFps, &number)) {
        *error = "--fps: '" + value + "' is not a whole number from 1 to " + std::to_string(kMaxFps);
        return ParseOutcome::kError;
      }
      options->fps = int(number);
    } else if (arg == "--scale") {
      if (!ParseWhole(value, 1, kMaxScale, &number)) {
        *error = "--scale: '" + value + "' is not a whole number from 1 to " + std::to_string(kMaxScale);
        return ParseOutcome::kError;
      }
      options->scale = int(number);
    } else if (arg == "--scene") {
      if (!KnownScene(value)) {
        *error = "unknown scene '" + value + "'";
        return ParseOutcome::kError;
      }
      options->scene = value;
    } else if (arg == "--gif") {
      options->gifPath = value;
    } else if (arg == "--png-dir") {
      options->pngDir = value;
    } else {  // --settings: one or more pairs up to the next option
      if (!ParseSetting(value, options, error)) return ParseOutcome::kError;
      while (i + 1 < args.size() && !IsOption(args[i + 1]))
        if (!ParseSetting(args[++i], options, error)) return ParseOutcome::kError;
    }
  }
  if (FrameCount(*options) < 1) {
    *error = "--seconds " + std::to_string(options->seconds) + " is shorter than one frame";
    return ParseOutcome::kError;
  }
  if (options->gifPath.empty() && options->pngDir.empty()) options->gifPath = kDefaultGif;
  return ParseOutcome::kRun;
}

int FramePeriodMs(const Options &options) {
  int fps = options.fps < 1 ? 1 : options.fps;
  return (1000 + fps / 2) / fps;
}

int FrameCount(const Options &options) {
  double ms = std::round(options.seconds * 1000);
  if (!(ms > 0)) return 0;
  return int(ms / FramePeriodMs(options));
}

bool Record(const Options &options, Summary *summary, std::string *error) {
  *summary = Summary();
  if (!KnownScene(options.scene)) {
    *error = "unknown scene '" + options.scene + "'";
    return false;
  }
  if (options.scale < 1 || options.scale > kMaxScale) {
    *error = "scale out of range";
    return false;
  }
  for (const auto &entry : options.settings) {
    if (entry.first < 0 || entry.first >= SETTINGS_FIELD_COUNT) {
      *error = "unknown setting";
      return false;
    }
  }
  const int period = FramePeriodMs(options);
  const int frames = FrameCount(options);
  if (frames < 1) {
    *error = "the recording is shorter than one frame";
    return false;
  }
  auto started = std::chrono::steady_clock::now();

  TempFolder registryFolder;
  if (registryFolder.path().empty()) {
    *error = "cannot make a temporary folder for the registry";
    return false;
  }
  vd::Config config;
  config.width = kScreenWidth;
  config.height = kScreenHeight;
  config.registryPath = registryFolder.path() + "/registry.hkcu";
  vd::Reset(config);
  StoreSettings(options.settings);
  SetUpScene(options.scene);
  ScheduleDialogs(options);

  const int outWidth = kScreenWidth / options.scale, outHeight = kScreenHeight / options.scale;
  if (!options.pngDir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(options.pngDir, ec);
    if (!std::filesystem::is_directory(options.pngDir, ec)) {
      *error = "cannot make the folder " + options.pngDir;
      return false;
    }
  }
  GifWriter gif;
  if (!options.gifPath.empty() && !gif.Open(options.gifPath, outWidth, outHeight, error)) return false;

  const bool progressEveryFrame = isatty(STDERR_FILENO) != 0;
  int captured = 0;
  std::string captureError;
  std::vector<uint32_t> shrunk;
  vd::Every(uint64_t(period), uint64_t(period), [&] {
    if (captured >= frames || !captureError.empty()) return;
    const uint32_t *pixels = vd::Framebuffer();
    int width = vd::ScreenWidth(), height = vd::ScreenHeight();
    if (options.onFrame) options.onFrame(Frame{captured, vd::Now(), width, height, pixels});
    const uint32_t *out = pixels;
    if (options.scale > 1) {
      Shrink(pixels, width, height, options.scale, &shrunk);
      out = shrunk.data();
    }
    if (!options.gifPath.empty() && !gif.Add(out, period)) captureError = "cannot write " + options.gifPath;
    if (!options.pngDir.empty()) {
      char name[32];
      std::snprintf(name, sizeof name, "frame-%05d.png", captured + 1);
      std::string path = (std::filesystem::path(options.pngDir) / name).string();
      if (!WritePngFile(path, out, outWidth, outHeight)) captureError = "cannot write " + path;
    }
    ++captured;
    // On a terminal every frame; into a file or pipe once a simulated second.
    if (options.progress && (progressEveryFrame || captured % options.fps == 0 || captured == frames)) {
      std::fprintf(stderr, "\rmivora-record: %s scene, %.1f of %.1f s, frame %d of %d ", options.scene.c_str(),
                   double(vd::Now()) / 1000, double(frames) * period / 1000, captured, frames);
      std::fflush(stderr);
    }
    if (!captureError.empty()) vd::StopAt(vd::Now());
  });
  vd::StopAt(uint64_t(frames) * uint64_t(period));
  WinMain(vd::ModuleInstance(), nullptr, const_cast<char *>(""), SW_SHOWDEFAULT);
  if (options.progress) std::fprintf(stderr, "\n");

  summary->frames = captured;
  summary->simulatedSeconds = double(vd::Now()) / 1000;
  if (!options.gifPath.empty()) {
    std::string closeError;
    if (!gif.Close(&closeError) && captureError.empty()) captureError = closeError;
    std::error_code ec;
    auto size = std::filesystem::file_size(options.gifPath, ec);
    summary->gifBytes = ec ? 0 : long(size);
  }
  summary->elapsedSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (!captureError.empty()) {
    *error = captureError;
    return false;
  }
  if (captured != frames) {
    *error = "the program ended after " + std::to_string(captured) + " of " + std::to_string(frames) + " frames";
    return false;
  }
  return true;
}

}  // namespace rec
