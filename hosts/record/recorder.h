// The recorder: runs the program in virtual time on a scripted scene and writes
// what the screen shows, as an animated GIF and/or a folder of PNG frames.
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "settings_args.h"

namespace rec {

// One captured screen, full size, 0x00RRGGBB row after row.
struct Frame {
  int index;      // 0 for the first frame
  uint64_t time;  // virtual milliseconds
  int width;
  int height;
  const uint32_t *pixels;
};

// The longest recording --seconds allows.
constexpr double kMaxSeconds = 24 * 3600;

struct Options {
  double seconds = 30;
  int fps = 10;
  int scale = 1;  // the files are 1/scale of the screen in each direction
  std::string scene = "default";
  std::string gifPath;  // empty: no GIF
  std::string pngDir;   // empty: no PNG frames
  SettingValues settings;  // stored before the start, by field index in the stored order
  std::vector<std::string> warnings;  // settings corrected as the settings dialog would
  bool progress = true;    // on stderr: a line redrawn on a terminal, a line a tenth elsewhere
  // The settings dialog shown by a double-click on the notification icon at
  // 1 s; the about box opened from it at 1.5 s (the dialog then shows too).
  bool showDialog = false;
  bool showAbout = false;
  // Called for every frame as captured, for callers that look at the pixels.
  std::function<void(const Frame &)> onFrame;
  // When it holds nonzero (a signal's number, set by a handler), the run stops
  // at the next frame and writes no GIF.
  const volatile std::sig_atomic_t *stop = nullptr;
};

enum class ParseOutcome { kRun, kHelp, kVersion, kError };

// Reads the command line (without the program name). On kError `error` says why.
ParseOutcome ParseArguments(const std::vector<std::string> &args, Options *options, std::string *error);
std::string Usage();
std::string VersionText();

struct Summary {
  int frames = 0;  // captured
  double simulatedSeconds = 0;
  double elapsedSeconds = 0;
  bool gifWritten = false;  // the GIF is whole and in its place
  long gifBytes = 0;
  int pngFramesWritten = 0;  // frame-00001.png on, each one whole
  int olderPngFramesRemoved = 0;  // frames past the last that an earlier, longer run left
};

// Records a run. False (with `error`) when the scene is unknown, the settings
// cannot be stored, a file cannot be written, or the run was stopped; then no
// GIF is written, and `summary` says which PNG frames were.
bool Record(const Options &options, Summary *summary, std::string *error);

// Frame period and count for the options: frames at period, 2 * period, ... up to the end.
int FramePeriodMs(const Options &options);
int FrameCount(const Options &options);

// When the recorder shows the dialog and opens the about box, in virtual milliseconds.
constexpr uint64_t kShowDialogMs = 1003;
constexpr uint64_t kShowAboutMs = 1503;

}  // namespace rec
