// mivora's command line: settings for the run over the saved ones, how drawing
// reaches the desktop, the statistics line; read with the other hosts' strict
// numbers and settings.
#pragma once

#include <string>
#include <vector>

#include "settings_args.h"

namespace x11host {

struct Options {
  rec::SettingValues settings;        // put in force after start-up, over the saved settings
  std::vector<std::string> warnings;  // settings corrected as the dialog would
  std::string desktopMode = "auto";   // auto, root or overlay
  std::string autostart;              // "on" or "off" when asked
  bool stats = false;
};

enum class ParseOutcome { kRun, kHelp, kVersion, kError };

// Reads the command line (without the program name). On kError `error` says why.
ParseOutcome ParseArguments(const std::vector<std::string> &args, Options *options, std::string *error);
std::string Usage();
std::string VersionText();

}  // namespace x11host
