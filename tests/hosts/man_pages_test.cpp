// The manual pages as built: each documents exactly the options its host's
// --help gives, every setting with its unit, range and factory value, and
// reads without a warning from groff.
#if __has_include("options.h") && defined(MIVORA_MAN_DIR)
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "options.h"
#include "recorder.h"
#include "settings_args.h"
#if __has_include("x11_options.h")
#include "x11_options.h"
#endif

namespace {

std::string ReadPage(const std::string &name) {
  std::ifstream in(std::string(MIVORA_MAN_DIR) + "/" + name + ".1", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The page as its reader sees the words: roff's escaped minus signs plain.
std::string Plain(std::string page) {
  for (size_t at = page.find("\\-"); at != std::string::npos; at = page.find("\\-", at)) page.erase(at, 1);
  return page;
}

std::set<std::string> OptionsIn(const std::string &text) {
  std::set<std::string> options;
  static const std::regex option("--[a-z][a-z-]*");
  for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it) options.insert(it->str());
  return options;
}

TEST(ManualPages, EachPageDocumentsTheOptionsItsHostTakesAndNoOthers) {
  struct Page {
    const char *name;
    std::string usage;
  } pages[] = {{"mivora-record", rec::Usage()},
                {"mivora-desktop", live::Usage()},
#if __has_include("x11_options.h")
                {"mivora", x11host::Usage()}
#endif
  };
  for (const Page &p : pages) {
    std::string page = Plain(ReadPage(p.name));
    ASSERT_FALSE(page.empty()) << p.name;
    EXPECT_EQ(OptionsIn(page), OptionsIn(p.usage)) << p.name;
    // The scenes, as the host knows them.
    if (std::string(p.name) != "mivora")
      EXPECT_NE(page.find("\\fBdefault\\fR, \\fBstill\\fR, \\fBhtml\\fR"), std::string::npos) << p.name;
  }
  std::string sizes = "from " + std::to_string(live::kMinWidth) + "x" + std::to_string(live::kMinHeight) + " to " +
                      std::to_string(live::kMaxWidth) + "x" + std::to_string(live::kMaxHeight);
  EXPECT_NE(Plain(ReadPage("mivora-desktop")).find(sizes), std::string::npos) << sizes;
}

TEST(ManualPages, EveryPageListsEverySettingWithItsUnitRangeAndFactoryValue) {
  for (const char *name : {"mivora", "mivora-desktop", "mivora-record"}) {
    std::string page = Plain(ReadPage(name));
    ASSERT_FALSE(page.empty()) << name;
    for (const rec::SettingDescription &s : rec::SettingDescriptions()) {
      std::string entry = ".B " + s.name + "\n";
      size_t at = page.find(entry);
      ASSERT_NE(at, std::string::npos) << name << ": " << s.name;
      std::string item = page.substr(at, page.find(".TP", at) - at);
      std::string facts = "Unit: " + s.unit + "; " + s.range + "; factory value " + std::to_string(s.factory) + ".";
      EXPECT_NE(item.find(facts), std::string::npos) << name << ": " << item;
    }
    // Where the settings are kept, and how the program ends.
    EXPECT_NE(page.find(".SH EXIT STATUS"), std::string::npos) << name;
    EXPECT_NE(page.find("registry.hkcu"), std::string::npos) << name;
  }
}

TEST(ManualPages, GroffReadsEachPageWithoutAWarning) {
  if (std::system("command -v groff >/dev/null 2>&1") != 0) GTEST_SKIP() << "groff is not installed";
  for (const char *name : {"mivora", "mivora-desktop", "mivora-record"}) {
    std::string command = "groff -man -ww -z " + std::string(MIVORA_MAN_DIR) + "/" + name + ".1 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string warnings;
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) warnings.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << name;
    EXPECT_EQ(warnings, "") << name;
  }
}

}  // namespace
#endif
