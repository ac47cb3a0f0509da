#include "options.h"

#include "scenes.h"

namespace live {
namespace {

// "WIDTHxHEIGHT", each a whole number within the sizes a desktop may have.
bool ParseSize(const std::string &text, int *width, int *height) {
  size_t x = text.find('x');
  if (x == std::string::npos) return false;
  long w = 0, h = 0;
  if (!rec::ParseWholeNumber(text.substr(0, x), kMinWidth, kMaxWidth, &w) ||
      !rec::ParseWholeNumber(text.substr(x + 1), kMinHeight, kMaxHeight, &h))
    return false;
  // Signs are for numbers, not for sizes.
  if (text[0] == '+' || text[x + 1] == '+') return false;
  *width = int(w);
  *height = int(h);
  return true;
}

}  // namespace

std::string Usage() {
  return "usage: mivora-desktop [options]\n"
         "Shows Mivora on a virtual desktop in a window, at real time. Drag windows by\n"
         "their title bars, resize them by their frames; double-click a desktop icon, or\n"
         "use the Start button, to open a window again. Double-click the blossom at the\n"
         "bottom right for the settings, right-click it for the menu. Closing the window\n"
         "ends the program.\n"
         "  --size WxH             the desktop's size in pixels, " + std::to_string(kMinWidth) + "x" +
         std::to_string(kMinHeight) + " to " + std::to_string(kMaxWidth) + "x" + std::to_string(kMaxHeight) +
         "\n                         (default 1024x768)\n"
         "  --scene NAME           the windows on the desktop: " + rec::JoinedSceneNames() + "\n"
         "                         (default still: they stay put; default moves one and\n"
         "                         closes and reopens another, as the recordings do)\n"
         "  --settings KEY=VALUE... settings for this run over the factory values; your\n"
         "                         saved settings are neither used nor changed. Whole\n"
         "                         numbers; a value the settings dialog would correct is\n"
         "                         corrected, with a warning:\n" +
         rec::SettingsHelp() +
         "  --stats                print the frames presented and ticks run, each second\n"
         "  --version              the program's version\n"
         "  --help                 this text\n"
         "Settings saved from the dialog go to $MIVORA_REGISTRY, or else to\n"
         "$XDG_DATA_HOME/mivora/registry.hkcu (usually ~/.local/share/mivora/).\n";
}

std::string VersionText() { return std::string("mivora-desktop ") + rec::kProgramVersion + "\n"; }

ParseOutcome ParseArguments(const std::vector<std::string> &args, Options *options, std::string *error) {
  *options = Options();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (arg == "--help" || arg == "-h") return ParseOutcome::kHelp;
    if (arg == "--version") return ParseOutcome::kVersion;
    if (arg == "--stats") {
      options->stats = true;
      continue;
    }
    std::string value;
    if (!rec::TakeOptionValue(args, &i, {"--size", "--scene", "--settings"}, &value, error))
      return ParseOutcome::kError;
    if (arg == "--size") {
      if (!ParseSize(value, &options->width, &options->height)) {
        *error = "--size: '" + value + "' is not WIDTHxHEIGHT from " + std::to_string(kMinWidth) + "x" +
                 std::to_string(kMinHeight) + " to " + std::to_string(kMaxWidth) + "x" + std::to_string(kMaxHeight);
        return ParseOutcome::kError;
      }
    } else if (arg == "--scene") {
      if (!rec::KnownScene(value)) {
        *error = "unknown scene '" + value + "'";
        return ParseOutcome::kError;
      }
      options->scene = value;
    } else {  // --settings: one or more pairs up to the next option
      if (!rec::ParseSettingPairs(args, &i, &options->settings, error)) return ParseOutcome::kError;
    }
  }
  options->warnings = rec::CorrectSettings(&options->settings);
  return ParseOutcome::kRun;
}

}  // namespace live
