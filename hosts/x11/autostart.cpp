#include "autostart.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace x11host {
namespace {

constexpr char kEntryName[] = "mivora.desktop";

// Characters that make an Exec argument need quotes, by the desktop entry rules.
constexpr char kReserved[] = " \t\n\"'\\><~|&;$*?#()`";

std::string SystemError(int error) { return std::strerror(error); }

bool IsAbsolute(const char *path) { return path && path[0] == '/'; }

std::string HomeFolder() {
  const char *home = std::getenv("HOME");
  if (IsAbsolute(home)) return home;
  const struct passwd *user = getpwuid(getuid());
  if (user && IsAbsolute(user->pw_dir)) return user->pw_dir;
  return "";
}

// The escapes of a string value: a backslash is written twice.
std::string EscapeString(const std::string &value) {
  std::string out;
  for (char c : value) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

// The program as the one argument of an Exec line: quoted when it holds a
// reserved character, with ", `, $ and \ escaped inside the quotes; then the
// string escapes; and a literal % doubled, so that it is no field code.
std::string ExecArgument(const std::string &program) {
  std::string argument = program;
  if (program.find_first_of(kReserved) != std::string::npos) {
    argument = "\"";
    for (char c : program) {
      if (c == '"' || c == '`' || c == '$' || c == '\\') argument += '\\';
      argument += c;
    }
    argument += '"';
  }
  std::string out;
  for (char c : EscapeString(argument)) {
    if (c == '%') out += '%';
    out += c;
  }
  return out;
}

// Creates each missing folder of `path`, as 0700: the XDG rules' mode for a
// configuration folder that has to be made.
bool MakeFolders(const std::string &path, std::string *error) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string folder = path.substr(0, slash);
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = "cannot create the folder " + folder + ": " + SystemError(errno);
      return false;
    }
    if (slash == std::string::npos) break;
  }
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    *error = "cannot create the folder " + path + ": " + SystemError(errno);
    return false;
  }
  if (!S_ISDIR(info.st_mode)) {
    *error = "cannot create the folder " + path + ": a file of that name is in the way";
    return false;
  }
  return true;
}

bool WriteAll(int fd, const std::string &text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

// Writes `text` to a new file beside `path` and renames it over `path`, so that
// the entry is either the old one or the whole new one, never half of it.
bool ReplaceFile(const std::string &folder, const std::string &path, const std::string &text, std::string *error) {
  std::string temp = folder + "/." + kEntryName + ".XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) {
    *error = "cannot write in " + folder + ": " + SystemError(errno);
    return false;
  }
  bool ok = WriteAll(fd, text) && fchmod(fd, 0644) == 0 && fsync(fd) == 0;
  int saved = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && rename(name.data(), path.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    unlink(name.data());
    *error = "cannot write " + path + ": " + SystemError(saved);
    return false;
  }
  // The rename itself reaches the disk with the folder.
  int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}

}  // namespace

const char *const kInstalledProgram = "/usr/bin/mivora";

bool ParseAutostartSwitch(const std::string &value, bool *on) {
  if (value != "on" && value != "off") return false;
  *on = value == "on";
  return true;
}

std::string RunningProgramPath() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0 || size_t(n) >= sizeof buffer - 1) return kInstalledProgram;
  std::string path(buffer, size_t(n));
  // A program replaced on disk while it runs (an upgrade) is named with this
  // mark; the path then names the new program, which is the one to start.
  const std::string deleted = " (deleted)";
  if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
    path.resize(path.size() - deleted.size());
  return IsAbsolute(path.c_str()) ? path : kInstalledProgram;
}

bool AutostartEntryPath(std::string *path, std::string *error) {
  const char *config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (IsAbsolute(config)) {
    base = config;
  } else {
    std::string home = HomeFolder();
    if (home.empty()) {
      *error = "cannot find your home folder (HOME is not set, and the user database names none for user " +
               std::to_string(getuid()) + "); set XDG_CONFIG_HOME or HOME";
      return false;
    }
    base = home + "/.config";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  *path = (base == "/" ? "" : base) + "/autostart/" + kEntryName;
  return true;
}

bool AutostartEntryText(const std::string &program, std::string *text, std::string *error) {
  if (!IsAbsolute(program.c_str())) {
    *error = "the program's path '" + program + "' is not absolute";
    return false;
  }
  for (unsigned char c : program) {
    if (c < 0x20 || c == 0x7f) {
      *error = "the program's path holds a control character, which no desktop entry can start";
      return false;
    }
  }
  *text = "[Desktop Entry]\n"
          "# Written by \"mivora --autostart on\"; \"mivora --autostart off\" removes it.\n"
          "Type=Application\n"
          "Name=Mivora\n"
          "Comment=Petals fall from a flowering branch and pile on your windows\n"
          "Icon=mivora\n"
          // Without the program (uninstalled, moved) the session skips the entry.
          "TryExec=" + EscapeString(program) + "\n"
          "Exec=" + ExecArgument(program) + "\n"
          "Terminal=false\n"
          "X-GNOME-Autostart-enabled=true\n";
  return true;
}

bool SetAutostart(bool on, const std::string &program, std::string *report) {
  std::string path, error;
  if (!AutostartEntryPath(&path, &error)) {
    *report = "cannot " + std::string(on ? "set up" : "remove") + " the autostart entry: " + error;
    return false;
  }
  if (!on) {
    if (unlink(path.c_str()) == 0) {
      *report = "Mivora no longer starts with your session: removed " + path;
      return true;
    }
    if (errno == ENOENT) {
      *report = "Mivora was not set to start with your session (there is no " + path + ")";
      return true;
    }
    *report = "cannot remove the autostart entry " + path + ": " + SystemError(errno);
    return false;
  }
  std::string text;
  std::string folder = path.substr(0, path.rfind('/'));
  if (!AutostartEntryText(program, &text, &error) || !MakeFolders(folder, &error) ||
      !ReplaceFile(folder, path, text, &error)) {
    *report = "cannot set up the autostart entry: " + error;
    return false;
  }
  *report = "Mivora starts with your session from now on: wrote " + path + " (it starts " + program + ")";
  return true;
}

}  // namespace x11host
