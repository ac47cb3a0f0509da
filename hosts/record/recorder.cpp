#include "recorder.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/app.h"
#include "image_files.h"
#include "resource.h"
#include "scenes.h"
#include "vdesktop.h"

namespace rec {
namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kMaxFps = 50;  // GIF delays are centiseconds; viewers slow anything faster
constexpr int kMaxScale = 4;
constexpr const char *kDefaultGif = "mivora.gif";

bool ParseSeconds(const std::string &text, double *out) {
  double value = 0;
  if (!ParseDecimal(text, &value) || !(value > 0) || value > kMaxSeconds) return false;
  *out = value;
  return true;
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

// Every `scale`-th pixel of every `scale`-th row: the colours stay exact.
void Shrink(const uint32_t *pixels, int width, int height, int scale, std::vector<uint32_t> *out) {
  int w = width / scale, h = height / scale;
  out->resize(size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) (*out)[size_t(y) * w + x] = pixels[size_t(y) * scale * width + size_t(x) * scale];
}

bool StopAsked(const Options &options) { return options.stop && *options.stop != 0; }

}  // namespace

std::string Usage() {
  return "usage: mivora-record [options]\n"
         "Runs Mivora on a virtual desktop in virtual time and writes what the screen shows.\n"
         "  --seconds N            virtual seconds to record, above 0 and at most 86400\n"
         "                         (24 hours); a decimal point is allowed (default 30)\n"
         "  --fps N                frames per second, 1 to 50 (default 10)\n"
         "  --scene NAME           one of: " + JoinedSceneNames() + " (default: default)\n"
         "  --gif FILE             an animated GIF (default " + kDefaultGif + " when no --png-dir)\n"
         "  --png-dir DIR          every frame as DIR/frame-NNNNN.png\n"
         "  --scale N              files at 1/N of the 1024 x 768 screen, 1 to 4 (default 1)\n"
         "  --settings KEY=VALUE... settings stored before the start, whole numbers; the others\n"
         "                         keep their factory values. A value the settings dialog would\n"
         "                         correct is corrected with a warning:\n" +
         SettingsHelp() +
         "  --show-dialog          the settings dialog, shown from the notification icon at 1 s\n"
         "  --show-about           the about box, opened from the settings dialog at 1.5 s\n"
         "  --quiet                no progress line\n"
         "  --version              the program's version\n"
         "  --help                 this text\n"
         "Needs no display. The same arguments give the same files, byte for byte.\n"
         "The GIF appears only when the recording is complete; Ctrl+C leaves none.\n";
}

std::string VersionText() { return std::string("mivora-record ") + kProgramVersion + "\n"; }

ParseOutcome ParseArguments(const std::vector<std::string> &args, Options *options, std::string *error) {
  *options = Options();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (arg == "--help" || arg == "-h") return ParseOutcome::kHelp;
    if (arg == "--version") return ParseOutcome::kVersion;
    if (arg == "--quiet") {
      options->progress = false;
      continue;
    }
    if (arg == "--show-dialog" || arg == "--show-about") {
      (arg == "--show-dialog" ? options->showDialog : options->showAbout) = true;
      continue;
    }
    std::string value;
    if (!TakeOptionValue(args, &i, {"--seconds", "--fps", "--scale", "--scene", "--gif", "--png-dir", "--settings"},
                         &value, error))
      return ParseOutcome::kError;
    long number = 0;
    if (arg == "--seconds") {
      if (!ParseSeconds(value, &options->seconds)) {
        *error = "--seconds: '" + value + "' is not a number of seconds above 0 and at most 86400 (24 hours)";
        return ParseOutcome::kError;
      }
    } else if (arg == "--fps") {
      if (!ParseWholeNumber(value, 1, kMaxFps, &number)) {
        *error = "--fps: '" + value + "' is not a whole number from 1 to " + std::to_string(kMaxFps);
        return ParseOutcome::kError;
      }
      options->fps = int(number);
    } else if (arg == "--scale") {
      if (!ParseWholeNumber(value, 1, kMaxScale, &number)) {
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
      if (!ParseSettingPairs(args, &i, &options->settings, error)) return ParseOutcome::kError;
    }
  }
  if (FrameCount(*options) < 1) {
    *error = "--seconds " + std::to_string(options->seconds) + " is shorter than one frame";
    return ParseOutcome::kError;
  }
  if (options->gifPath.empty() && options->pngDir.empty()) options->gifPath = kDefaultGif;
  options->warnings = CorrectSettings(&options->settings);
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

// A longer earlier run into the same folder left frames past this run's last:
// they would pass for this run's. Only names of our own pattern go.
int RemoveFramesAfter(const std::string &folder, int last) {
  int removed = 0;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    // "frame-NNNNN.png"
    if (name.size() != 15 || name.compare(0, 6, "frame-") != 0 || name.compare(11, 4, ".png") != 0 ||
        name.find_first_not_of("0123456789", 6) != 11)
      continue;
    int number = std::stoi(name.substr(6, 5));
    std::error_code removeError;
    if (number > last && std::filesystem::remove(it->path(), removeError)) ++removed;
  }
  return removed;
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
  const int period = FramePeriodMs(options);
  const int frames = FrameCount(options);
  if (frames < 1) {
    *error = "the recording is shorter than one frame";
    return false;
  }
  auto started = std::chrono::steady_clock::now();

  TempFolder registryFolder;
  if (registryFolder.path().empty()) {
    *error = registryFolder.error();
    return false;
  }
  vd::Config config;
  config.width = kScreenWidth;
  config.height = kScreenHeight;
  config.registryPath = registryFolder.path() + "/registry.hkcu";
  vd::Reset(config);
  // Without settings of its own the run needs nothing from the registry: the
  // program falls back on the factory values that a failed store leaves.
  std::string storeError;
  if (!StoreSettings(options.settings, &storeError) && !options.settings.empty()) {
    *error = storeError;
    return false;
  }
  ReportFailedSaves("mivora-record", FailedSaveReport::kStandardError);
  PutSettingsInForceAfterStart(options.settings);
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

  // On a terminal one line redrawn at every frame; into a file or a pipe a
  // plain line at each tenth of the run, so that a log reads line by line.
  const bool terminal = isatty(STDERR_FILENO) != 0;
  int captured = 0;
  std::string captureError;
  std::vector<uint32_t> shrunk;
  vd::Every(uint64_t(period), uint64_t(period), [&] {
    if (captured >= frames || !captureError.empty()) return;
    if (StopAsked(options)) {
      vd::StopAt(vd::Now());
      return;
    }
    const uint32_t *pixels = vd::Framebuffer();
    int width = vd::ScreenWidth(), height = vd::ScreenHeight();
    if (options.onFrame) options.onFrame(Frame{captured, vd::Now(), width, height, pixels});
    const uint32_t *out = pixels;
    if (options.scale > 1) {
      Shrink(pixels, width, height, options.scale, &shrunk);
      out = shrunk.data();
    }
    if (!options.gifPath.empty() && !gif.Add(out, period)) captureError = gif.failure();
    if (!options.pngDir.empty() && captureError.empty()) {
      char name[32];
      std::snprintf(name, sizeof name, "frame-%05d.png", captured + 1);
      std::string path = (std::filesystem::path(options.pngDir) / name).string();
      if (WritePngFile(path, out, outWidth, outHeight, &captureError)) summary->pngFramesWritten = captured + 1;
    }
    ++captured;
    if (options.progress && (terminal || long(captured) * 10 / frames != long(captured - 1) * 10 / frames)) {
      std::fprintf(stderr, "%smivora-record: %s scene, %.1f of %.1f s, frame %d of %d%s", terminal ? "\r" : "",
                   options.scene.c_str(), double(vd::Now()) / 1000, double(frames) * period / 1000, captured, frames,
                   terminal ? " " : "\n");
      std::fflush(stderr);
    }
    if (!captureError.empty()) vd::StopAt(vd::Now());
  });
  vd::StopAt(uint64_t(frames) * uint64_t(period));
  WinMain(vd::ModuleInstance(), nullptr, const_cast<char *>(""), SW_SHOWDEFAULT);
  if (options.progress && terminal) std::fprintf(stderr, "\n");

  summary->frames = captured;
  summary->simulatedSeconds = double(vd::Now()) / 1000;
  auto finish = [&](const std::string &why) {
    summary->elapsedSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (why.empty()) return true;
    gif.Abandon();
    *error = why;
    return false;
  };
  if (StopAsked(options))
    return finish("stopped after " + std::to_string(captured) + " of " + std::to_string(frames) + " frames");
  if (!captureError.empty()) return finish(captureError);
  if (captured != frames)
    return finish("the program ended after " + std::to_string(captured) + " of " + std::to_string(frames) +
                  " frames");
  if (!options.gifPath.empty()) {
    std::string closeError;
    if (!gif.Close(&closeError)) return finish(closeError);
    summary->gifWritten = true;
    std::error_code ec;
    auto size = std::filesystem::file_size(options.gifPath, ec);
    summary->gifBytes = ec ? 0 : long(size);
  }
  if (!options.pngDir.empty()) summary->olderPngFramesRemoved = RemoveFramesAfter(options.pngDir, captured);
  return finish("");
}

}  // namespace rec
