// Starting Mivora with the user's desktop session: the XDG autostart entry
// ($XDG_CONFIG_HOME/autostart/mivora.desktop, else ~/.config/autostart/),
// written or removed on request. Nothing here talks to the X server.
#pragma once

#include <string>

namespace x11host {

// The program installed by the package, for when the running one cannot be named.
extern const char *const kInstalledProgram;

// "on" or "off", as --autostart takes them. False for anything else.
bool ParseAutostartSwitch(const std::string &value, bool *on);

// The running program's full path (for an Exec line that starts this very
// program), or kInstalledProgram when the system cannot tell it.
std::string RunningProgramPath();

// Where the entry lives: an absolute $XDG_CONFIG_HOME (a relative one is
// ignored, as the XDG base directory rules say), else the home folder's
// .config. False, with the reason, when there is no home folder to be found.
bool AutostartEntryPath(std::string *path, std::string *error);

// The desktop entry that starts `program`, its path quoted and escaped as the
// desktop entry rules ask. False, with the reason, for a path no Exec line
// can hold (one with a control character in it, or not absolute).
bool AutostartEntryText(const std::string &program, std::string *text, std::string *error);

// Writes the entry starting `program` (on) or removes it (off). The entry is
// replaced atomically: a failed write leaves the one before as it was. On
// success `report` says what was done, for the user; on failure, why not.
bool SetAutostart(bool on, const std::string &program, std::string *report);

}  // namespace x11host
