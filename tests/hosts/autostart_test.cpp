// mivora --autostart on|off: the XDG autostart entry, where it is put, what
// its Exec line starts, and that failures are told and lose nothing.
#include "autostart.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "support/program_run.h"

namespace {

namespace fs = std::filesystem;

// Sets an environment variable (or unsets it, for nullopt) for one test.
class EnvironmentVariable {
 public:
  EnvironmentVariable(const char *name, std::optional<std::string> value) : name_(name) {
    if (const char *old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }
  ~EnvironmentVariable() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char *name_;
  std::optional<std::string> old_;
};

std::string ReadFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The value of `key` in an entry, unescaped as a string value.
std::string EntryValue(const std::string &entry, const std::string &key) {
  std::istringstream lines(entry);
  for (std::string line; std::getline(lines, line);) {
    if (line.compare(0, key.size() + 1, key + "=") != 0) continue;
    std::string raw = line.substr(key.size() + 1), value;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '\\' && i + 1 < raw.size()) {
        char c = raw[++i];
        value += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
      } else {
        value += raw[i];
      }
    }
    return value;
  }
  return "<no " + key + ">";
}

// The arguments of an unescaped Exec value, read as a launcher does: quoted
// arguments take \", \`, \$ and \\ as the characters, and %% is a percent sign.
std::vector<std::string> ExecArguments(const std::string &exec) {
  std::vector<std::string> args;
  size_t i = 0;
  while (i < exec.size()) {
    if (exec[i] == ' ') {
      ++i;
      continue;
    }
    std::string arg;
    bool quoted = exec[i] == '"';
    if (quoted) ++i;
    for (; i < exec.size(); ++i) {
      char c = exec[i];
      if (quoted && c == '"') {
        ++i;
        break;
      }
      if (!quoted && c == ' ') break;
      if (quoted && c == '\\' && i + 1 < exec.size()) c = exec[++i];
      if (c == '%') {
        // %% is a percent sign; any other % starts a field code, which a launcher replaces.
        if (i + 1 < exec.size() && exec[i + 1] == '%') {
          ++i;
        } else {
          arg += "<field code>";
          continue;
        }
      }
      arg += c;
    }
    args.push_back(arg);
  }
  return args;
}

class Autostart : public ::testing::Test {
 protected:
  void SetUp() override { config_.emplace("XDG_CONFIG_HOME", dir_.path() + "/config"); }
  fs::path Entry() const { return fs::path(dir_.path()) / "config/autostart/mivora.desktop"; }

  progtest::TempDir dir_;
  std::optional<EnvironmentVariable> config_;
};

TEST(AutostartPlace, AnAbsoluteXdgConfigHomeElseTheHomeFoldersConfig) {
  struct Case {
    std::optional<std::string> xdg, home;
    const char *expected;
  } cases[] = {
      {"/srv/cfg", "/home/ana", "/srv/cfg/autostart/mivora.desktop"},
      {"/srv/cfg/", "/home/ana", "/srv/cfg/autostart/mivora.desktop"},
      {"relative/cfg", "/home/ana", "/home/ana/.config/autostart/mivora.desktop"},
      {"", "/home/ana", "/home/ana/.config/autostart/mivora.desktop"},
      {std::nullopt, "/home/ana", "/home/ana/.config/autostart/mivora.desktop"},
  };
  for (const Case &c : cases) {
    EnvironmentVariable xdg("XDG_CONFIG_HOME", c.xdg), home("HOME", c.home);
    std::string path, error;
    ASSERT_TRUE(x11host::AutostartEntryPath(&path, &error)) << error;
    EXPECT_EQ(path, c.expected) << c.xdg.value_or("(unset)");
  }
}

TEST_F(Autostart, OnWritesAnEntryStartingTheProgramAndOffRemovesIt) {
  std::string report;
  ASSERT_TRUE(x11host::SetAutostart(true, "/usr/bin/mivora", &report)) << report;
  EXPECT_NE(report.find(Entry().string()), std::string::npos) << report;
  std::string entry = ReadFile(Entry());
  EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u) << entry;
  EXPECT_EQ(EntryValue(entry, "Type"), "Application");
  EXPECT_EQ(EntryValue(entry, "Exec"), "/usr/bin/mivora");
  EXPECT_EQ(EntryValue(entry, "TryExec"), "/usr/bin/mivora");
  // A folder the user did not have is made private; the entry is readable.
  EXPECT_EQ(fs::status(Entry().parent_path()).permissions(), fs::perms::owner_all);
  EXPECT_EQ(fs::status(Entry()).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);

  // Written again for another program: one entry, no temporary file left.
  ASSERT_TRUE(x11host::SetAutostart(true, "/opt/mivora/bin/mivora", &report)) << report;
  EXPECT_EQ(EntryValue(ReadFile(Entry()), "Exec"), "/opt/mivora/bin/mivora");
  EXPECT_EQ(std::distance(fs::directory_iterator(Entry().parent_path()), fs::directory_iterator()), 1);

  ASSERT_TRUE(x11host::SetAutostart(false, "/usr/bin/mivora", &report)) << report;
  EXPECT_FALSE(fs::exists(Entry()));
  EXPECT_NE(report.find("removed"), std::string::npos) << report;
  // Off when it is already off is no failure, and says so.
  ASSERT_TRUE(x11host::SetAutostart(false, "/usr/bin/mivora", &report)) << report;
  EXPECT_NE(report.find("was not set"), std::string::npos) << report;
}

TEST(AutostartEntry, TheExecLineStartsExactlyTheProgramWhateverItsPathHolds) {
  for (const char *program : {"/usr/bin/mivora", "/home/ana/my programs/mivora", "/opt/\"q\"/mivora",
                              "/opt/a\\b/mivora", "/opt/$HOME/mivora", "/opt/100%/mivora", "/opt/`x`/mivora",
                              "/opt/it's;here/mivora", "/home/josé/mivora"}) {
    std::string text, error;
    ASSERT_TRUE(x11host::AutostartEntryText(program, &text, &error)) << error;
    EXPECT_EQ(ExecArguments(EntryValue(text, "Exec")), std::vector<std::string>{program}) << text;
    EXPECT_EQ(EntryValue(text, "TryExec"), program) << text;
  }
  // The rules' own example: a backslash inside quotes is four in the file.
  std::string text, error;
  ASSERT_TRUE(x11host::AutostartEntryText("/opt/a\\b", &text, &error));
  EXPECT_NE(text.find("Exec=\"/opt/a\\\\\\\\b\"\n"), std::string::npos) << text;
}

TEST_F(Autostart, FailuresAreToldAndLeaveTheEntryBeforeAsItWas) {
  std::string report;
  ASSERT_TRUE(x11host::SetAutostart(true, "/usr/bin/mivora", &report)) << report;
  const std::string before = ReadFile(Entry());
  for (const char *program : {"mivora", "", "/opt/new\nline/mivora", "/opt/tab\t/mivora"}) {
    EXPECT_FALSE(x11host::SetAutostart(true, program, &report)) << program;
    EXPECT_NE(report.find("cannot set up the autostart entry"), std::string::npos) << report;
    EXPECT_EQ(ReadFile(Entry()), before);
  }

  // A file where the autostart folder should be.
  fs::remove_all(Entry().parent_path());
  std::ofstream(Entry().parent_path()).put('x');
  EXPECT_FALSE(x11host::SetAutostart(true, "/usr/bin/mivora", &report));
  EXPECT_NE(report.find(Entry().parent_path().string()), std::string::npos) << report;
  EXPECT_FALSE(x11host::SetAutostart(false, "/usr/bin/mivora", &report));
  EXPECT_NE(report.find("cannot remove"), std::string::npos) << report;

  // A folder where the entry should be is neither replaced nor removed.
  fs::remove(Entry().parent_path());
  fs::create_directories(Entry() / "keep");
  EXPECT_FALSE(x11host::SetAutostart(true, "/usr/bin/mivora", &report));
  EXPECT_FALSE(x11host::SetAutostart(false, "/usr/bin/mivora", &report));
  EXPECT_TRUE(fs::is_directory(Entry() / "keep"));
  EXPECT_EQ(std::distance(fs::directory_iterator(Entry().parent_path()), fs::directory_iterator()), 1);
}

TEST(AutostartSwitch, OnlyOnAndOffAreTaken) {
  bool on = false;
  EXPECT_TRUE(x11host::ParseAutostartSwitch("on", &on));
  EXPECT_TRUE(on);
  EXPECT_TRUE(x11host::ParseAutostartSwitch("off", &on));
  EXPECT_FALSE(on);
  for (const char *value : {"", "ON", "yes", "1", "true", "on "}) EXPECT_FALSE(x11host::ParseAutostartSwitch(value, &on));
}

TEST(AutostartProgram, TheRunningProgramIsNamedByItsFullPath) {
  std::string path = x11host::RunningProgramPath();
  EXPECT_TRUE(fs::equivalent(path, "/proc/self/exe")) << path;
}

}  // namespace
