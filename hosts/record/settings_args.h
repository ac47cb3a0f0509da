// What the hosts share of their command lines: numbers read as a person types
// them, the program's settings by name, and storing those settings in the
// registry before the program starts.
#pragma once

#include <csignal>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace rec {

// The program's version, as its about box shows it.
extern const char *const kProgramVersion;

// A whole number in decimal: an optional sign and digits, nothing else (no
// spaces, no 0x, no exponent), from min to max. False when it is not one.
bool ParseWholeNumber(const std::string &text, long min, long max, long *out);

// A decimal number as people write one: digits with at most one decimal point
// ("30", "2.5", ".5"), no sign, spaces or exponent. False when it is not one.
bool ParseDecimal(const std::string &text, double *out);

// Settings by field index in the stored order, with their values.
using SettingValues = std::vector<std::pair<int, long>>;

// The names of the 24 settings in their stored order; -1 for an unknown name.
const std::vector<std::string> &SettingNames();
int SettingIndex(const std::string &name);
// Sets the setting at `index` (stored order) in the program's settings record.
void SetSetting(int index, long value);

// What a setting is, as the help texts and the manual pages tell it.
struct SettingDescription {
  std::string name;
  std::string unit;     // "pixels", "milliseconds", "flag", ...
  std::string range;    // "0 to 10", "3 or more", "any value", ...
  long factory;         // the value the factory settings give it
  std::string meaning;  // what it does, briefly
};

// The settings in their stored order.
std::vector<SettingDescription> SettingDescriptions();

// Each setting's line for a --help text: its name, unit, range and factory value.
std::string SettingsHelp();

// Brings values to where the settings dialog would put them when it applies
// its controls (its limits on flowers, fall speed, branch redraw and wind
// strength; a flag is 0 or 1; the flower type 1 to 7 and one branch, as a
// stored block is loaded). Returns a warning for each value it changed.
std::vector<std::string> CorrectSettings(SettingValues *settings);

// An option on a command line: "--" and a name.
bool IsOption(const std::string &arg);

// The value of args[*i], which must be one of the options in `takingValue`:
// the next argument, when it is there and is no option. *i is left on it.
// False, with the reason, for another option, an argument that is no option,
// or a missing value.
bool TakeOptionValue(const std::vector<std::string> &args, size_t *i,
                     std::initializer_list<const char *> takingValue, std::string *value, std::string *error);

// Takes one KEY=VALUE pair into `settings` (a later pair for the same key wins).
bool ParseSettingPair(const std::string &pair, SettingValues *settings, std::string *error);

// The pairs of a --settings option: the one at args[*i], then every argument up
// to the next option. *i is left on the last argument taken.
bool ParseSettingPairs(const std::vector<std::string> &args, size_t *i, SettingValues *settings,
                       std::string *error);

// On a fresh desktop, before the program starts: the factory settings with
// `settings` over them, saved by the program's own save so the registry holds
// exactly the block the program writes. False, with the reason, when the
// registry did not take them.
bool StoreSettings(const SettingValues &settings, std::string *error);

// Start-up puts a wind cap of its own in force whatever was loaded. A cap
// given on the command line is meant, so this has it put in force once the
// program has started (at the first wait of its message loop), as the dialog's
// Apply would, the dialog showing it. Call after vd::Reset, before WinMain.
void PutSettingsInForceAfterStart(const SettingValues &settings);

// How a host tells the user that a change to the registry (a Save settings)
// could not be written: on standard error, and with a message box as well.
enum class FailedSaveReport { kStandardError, kMessageBox };
// The sentence the report gives.
std::string FailedSaveText(const std::string &why);
// Reports every failed registry write of this desktop from now on, the lines
// on standard error starting with `program`. The message box is the virtual
// desktop's, owned by the active window (the settings dialog after its Save).
// Call after vd::Reset (which forgets it) and before WinMain.
void ReportFailedSaves(const std::string &program, FailedSaveReport how);

// Ctrl+C, kill and a closed terminal (SIGINT, SIGTERM, SIGHUP) are caught, so
// that a run can end in order and take away its temporary files; SIGXFSZ is
// ignored, so that a file size limit fails a write, which is reported.
void CatchStopSignals();
// The signal caught, or 0; and the flag that holds it, for a run to watch.
int StopSignal();
const volatile std::sig_atomic_t *StopFlag();
// After a run that a caught signal stopped: removes the temporary folders and
// ends the process by that signal, as it would have ended. Returns at once
// when no signal came.
void EndAsSignalled();

// A private temporary folder (for a run's registry file), removed with all it
// holds when it goes, and at exit() if it has not gone by then.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder &) = delete;
  TempFolder &operator=(const TempFolder &) = delete;
  const std::string &path() const { return path_; }  // empty when it could not be made
  const std::string &error() const { return error_; }

 private:
  std::string path_;
  std::string error_;
};

}  // namespace rec
