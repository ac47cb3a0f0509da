// mivora-desktop's command line: the desktop's size, the scene, settings for
// the run, and the statistics line; read with the recorder's strict numbers,
// scenes and settings.
#pragma once

#include <string>
#include <vector>

#include "settings_args.h"

namespace live {

struct Options {
  int width = 1024;
  int height = 768;
  std::string scene = "still";
  rec::SettingValues settings;        // for this run, over the factory values
  std::vector<std::string> warnings;  // settings corrected as the dialog would
  bool stats = false;
};

// The sizes a desktop may have.
constexpr int kMinWidth = 320, kMaxWidth = 7680;
constexpr int kMinHeight = 240, kMaxHeight = 4320;

enum class ParseOutcome { kRun, kHelp, kVersion, kError };

// Reads the command line (without the program name). On kError `error` says why.
ParseOutcome ParseArguments(const std::vector<std::string> &args, Options *options, std::string *error);
std::string Usage();
std::string VersionText();

}  // namespace live
