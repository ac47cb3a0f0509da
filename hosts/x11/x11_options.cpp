#include "x11_options.h"

namespace x11host {

std::string Usage() {
  return "usage: mivora [options]\n"
         "Mivora on your X11 desktop: a flowering branch at the top of the screen sheds\n"
         "petals that drift in the wind, settle on the top edges of your windows and at\n"
         "the bottom of the screen, and pile up there. Double-click its blossom in the\n"
         "panel's notification area for the settings, right-click it for the menu whose\n"
         "Exit ends the program. Ctrl+C or SIGTERM end it too, leaving a clean desktop.\n"
         "A second start on the same display shows the running one's settings.\n"
         "  --settings KEY=VALUE... settings for this run over your saved ones, put in\n"
         "                         force as the dialog's Apply does (Save settings in the\n"
         "                         dialog keeps them). Whole numbers; a value the\n"
         "                         settings dialog would correct is corrected, with a\n"
         "                         warning:\n" +
         rec::SettingsHelp() +
         "  --desktop-mode MODE    how petals reach the desktop: auto (default: an overlay\n"
         "                         while a compositing manager runs, else the root\n"
         "                         window), root or overlay\n"
         "  --autostart on|off     start Mivora with your desktop session from now on, or\n"
         "                         no longer, and end (writes or removes\n"
         "                         ~/.config/autostart/mivora.desktop)\n"
         "  --stats                print what went to the X server, each second\n"
         "  --version              the program's version\n"
         "  --help                 this text\n"
         "Settings saved from the dialog go to $MIVORA_REGISTRY, or else to\n"
         "$XDG_DATA_HOME/mivora/registry.hkcu (usually ~/.local/share/mivora/).\n"
         "Exit status: 0 when it ended by Exit or a signal, 1 when the display could\n"
         "not be used or went away, 2 for a wrong command line.\n";
}

std::string VersionText() { return std::string("mivora ") + rec::kProgramVersion + "\n"; }

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
    if (!rec::TakeOptionValue(args, &i, {"--settings", "--desktop-mode", "--autostart"}, &value, error))
      return ParseOutcome::kError;
    if (arg == "--desktop-mode") {
      if (value != "auto" && value != "root" && value != "overlay") {
        *error = "--desktop-mode: '" + value + "' is not auto, root or overlay";
        return ParseOutcome::kError;
      }
      options->desktopMode = value;
    } else if (arg == "--autostart") {
      if (value != "on" && value != "off") {
        *error = "--autostart: '" + value + "' is not on or off";
        return ParseOutcome::kError;
      }
      options->autostart = value;
    } else if (!rec::ParseSettingPairs(args, &i, &options->settings, error)) {
      return ParseOutcome::kError;
    }
  }
  options->warnings = rec::CorrectSettings(&options->settings);
  return ParseOutcome::kRun;
}

}  // namespace x11host
