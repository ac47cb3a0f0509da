// The hosts' command lines: mivora-desktop's options, --version for both, the
// help texts naming every setting's unit and range, and settings the dialog
// would correct corrected the same way, with a warning.
#if __has_include("options.h")
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "options.h"
#include "recorder.h"
#include "resource.h"
#include "settings/settings.h"
#include "settings_args.h"
#include "support/dialog_driver.h"

namespace {

live::ParseOutcome Parse(std::vector<std::string> args, live::Options *options, std::string *error) {
  return live::ParseArguments(args, options, error);
}

TEST(DesktopArguments, NoneGiveTheUsualDesktopAndTheStillScene) {
  live::Options options;
  std::string error;
  ASSERT_EQ(Parse({}, &options, &error), live::ParseOutcome::kRun);
  EXPECT_EQ(options.width, 1024);
  EXPECT_EQ(options.height, 768);
  EXPECT_EQ(options.scene, "still");
  EXPECT_TRUE(options.settings.empty());
  EXPECT_FALSE(options.stats);
}

TEST(DesktopArguments, SizeSceneSettingsAndStatsAreRead) {
  live::Options options;
  std::string error;
  ASSERT_EQ(Parse({"--size", "1280x1024", "--scene", "default", "--settings", "flowersPerBranch=5", "branchX=300",
                   "--stats"},
                  &options, &error),
            live::ParseOutcome::kRun)
      << error;
  EXPECT_EQ(options.width, 1280);
  EXPECT_EQ(options.height, 1024);
  EXPECT_EQ(options.scene, "default");
  EXPECT_EQ(options.settings, (rec::SettingValues{{1, 5}, {23, 300}}));
  EXPECT_TRUE(options.warnings.empty());
  EXPECT_TRUE(options.stats);
  ASSERT_EQ(Parse({"--size", "320x240"}, &options, &error), live::ParseOutcome::kRun);
  ASSERT_EQ(Parse({"--size", "7680x4320"}, &options, &error), live::ParseOutcome::kRun);
}

TEST(DesktopArguments, BadSizesScenesAndOptionsAreRefusedWithTheReason) {
  live::Options options;
  std::string error;
  for (const char *size : {"1280", "1280x", "x1024", "1280X1024", "319x240", "320x239", "7681x100", "-1280x1024",
                           "+1280x1024", "1280x+1024", "1280 x1024", "0x0", "99999999999x1"}) {
    EXPECT_EQ(Parse({"--size", size}, &options, &error), live::ParseOutcome::kError) << size;
    EXPECT_NE(error.find("--size"), std::string::npos) << error;
  }
  EXPECT_EQ(Parse({"--scene", "beach"}, &options, &error), live::ParseOutcome::kError);
  EXPECT_NE(error.find("unknown scene 'beach'"), std::string::npos);
  EXPECT_EQ(Parse({"--settings", "flowersPerBrunch=3"}, &options, &error), live::ParseOutcome::kError);
  EXPECT_EQ(Parse({"--settings", "flutter=2.5"}, &options, &error), live::ParseOutcome::kError);
  EXPECT_EQ(Parse({"--size"}, &options, &error), live::ParseOutcome::kError);
  EXPECT_NE(error.find("needs a value"), std::string::npos);
  EXPECT_EQ(Parse({"--fullscreen"}, &options, &error), live::ParseOutcome::kError);
  EXPECT_NE(error.find("unknown option --fullscreen"), std::string::npos);
  EXPECT_EQ(Parse({"1024x768"}, &options, &error), live::ParseOutcome::kError);
  EXPECT_EQ(Parse({"--stats", "--help", "--bogus"}, &options, &error), live::ParseOutcome::kHelp);
  EXPECT_EQ(Parse({"--version"}, &options, &error), live::ParseOutcome::kVersion);
}

TEST(HostVersions, BothHostsNameTheProgramsVersion) {
  EXPECT_STREQ(rec::kProgramVersion, SETTINGS_VERSION) << "the version the about box and the stored block carry";
  EXPECT_EQ(live::VersionText(), std::string("mivora-desktop ") + SETTINGS_VERSION + "\n");
  EXPECT_EQ(rec::VersionText(), std::string("mivora-record ") + SETTINGS_VERSION + "\n");
  rec::Options options;
  std::string error;
  EXPECT_EQ(rec::ParseArguments({"--version"}, &options, &error), rec::ParseOutcome::kVersion);
}

TEST(HostHelp, BothHelpTextsGiveEverySettingsUnitAndRange) {
  for (const std::string &help : {live::Usage(), rec::Usage()}) {
    for (const std::string &name : rec::SettingNames()) {
      size_t at = help.find("    " + name + " ");
      ASSERT_NE(at, std::string::npos) << name;
      std::string line = help.substr(at, help.find('\n', at) - at);
      EXPECT_NE(line.find("(factory "), std::string::npos) << line;
    }
    EXPECT_NE(help.find("flowersPerBranch       count, 0 to 10 (factory 1)"), std::string::npos);
    EXPECT_NE(help.find("tickInterval           milliseconds, 0 or more (factory 50)"), std::string::npos);
    EXPECT_NE(help.find("fallSpeed              pixels per tick, 3 or more (factory 4)"), std::string::npos);
    EXPECT_NE(help.find("maxWindStrength        pixels per tick, 0 to 100 (factory 40)"), std::string::npos);
    EXPECT_NE(help.find("windWrap               flag, 0 or 1 (factory 0)"), std::string::npos);
    EXPECT_NE(help.find("flowerType             type, 1 to 7 (factory 1)"), std::string::npos);
    EXPECT_NE(help.find("--version"), std::string::npos);
  }
  EXPECT_NE(live::Usage().find("registry.hkcu"), std::string::npos) << "where saved settings go";
}

TEST(HostHelp, EveryFactoryValueInTheHelpIsTheProgramsOwn) {
  SettingsDialog = nullptr;  // no dialog to bring up to date
  std::memset(&Settings, 0x5A, sizeof Settings);
  RestoreFactoryDefaults();
  const std::string help = rec::SettingsHelp();
  const std::vector<std::string> &names = rec::SettingNames();
  ASSERT_EQ(names.size(), size_t(SETTINGS_FIELD_COUNT));
  for (size_t i = 0; i < names.size(); ++i) {
    size_t at = help.find("    " + names[i] + " ");
    ASSERT_NE(at, std::string::npos) << names[i];
    at = help.find("(factory ", at);
    ASSERT_NE(at, std::string::npos) << names[i];
    long stated = std::strtol(help.c_str() + at + 9, nullptr, 10);
    EXPECT_EQ(stated, long((&Settings.branchCount)[i])) << names[i];
  }
}

TEST(HostSettings, ValuesOutsideTheDialogsLimitsAreCorrectedWithAWarningAndOthersKept) {
  rec::SettingValues settings = {{1, 25}, {4, 1}, {15, 100}, {17, 150}, {7, 5}, {13, 9}, {0, 3}, {2, -7}, {14, 0}, {23, 99999}};
  std::vector<std::string> warnings = rec::CorrectSettings(&settings);
  EXPECT_EQ(settings, (rec::SettingValues{{1, 10}, {4, 3}, {15, 500}, {17, 100}, {7, 1}, {13, 1}, {0, 1}, {2, -7},
                                          {14, 0}, {23, 99999}}));
  ASSERT_EQ(warnings.size(), 7u);
  EXPECT_EQ(warnings[0], "setting flowersPerBranch=25 is outside 0 to 10: using 10, as the settings dialog would");
  live::Options options;
  std::string error;
  ASSERT_EQ(Parse({"--settings", "maxWindStrength=-5", "fallSpeed=3"}, &options, &error), live::ParseOutcome::kRun);
  EXPECT_EQ(options.settings, (rec::SettingValues{{17, 0}, {4, 3}}));
  ASSERT_EQ(options.warnings.size(), 1u);
  rec::Options recorder;
  ASSERT_EQ(rec::ParseArguments({"--settings", "branchRedrawInterval=0"}, &recorder, &error), rec::ParseOutcome::kRun);
  EXPECT_EQ(recorder.settings, (rec::SettingValues{{15, 500}}));
  EXPECT_EQ(recorder.warnings.size(), 1u);
}

// The corrections are the dialog's own: each value typed into the running
// program's dialog and applied ends where the command line puts it.
class CorrectedLikeTheDialog : public progtest::DialogTest {};

TEST_F(CorrectedLikeTheDialog, TypedIntoTheDialogEachValueEndsWhereTheHostsPutIt) {
  struct Case {
    int id;
    int field;
    long typed;
  };
  const Case cases[] = {{IDC_FLOWERS, 1, 25},        {IDC_FLOWERS, 1, -3},         {IDC_FALL_SPEED, 4, 1},
                        {IDC_FALL_SPEED, 4, -40},    {IDC_BRANCH_REDRAW, 15, 100}, {IDC_BRANCH_REDRAW, 15, 0},
                        {IDC_WIND_STRENGTH, 17, 150}, {IDC_WIND_STRENGTH, 17, -5}, {IDC_FLUTTER, 2, -7},
                        {IDC_TICK_INTERVAL, 14, 0}};
  std::vector<long> dialog(std::size(cases));
  ShowDialog();
  for (size_t i = 0; i < std::size(cases); ++i) {
    Enter(cases[i].id, std::to_string(cases[i].typed));
    Click(IDC_APPLY);
    const int field = cases[i].field;
    Check([&dialog, i, field] { dialog[i] = long((&Settings.branchCount)[field]); });
  }
  RunScript();
  for (size_t i = 0; i < std::size(cases); ++i) {
    rec::SettingValues host = {{cases[i].field, cases[i].typed}};
    rec::CorrectSettings(&host);
    EXPECT_EQ(host[0].second, dialog[i]) << rec::SettingNames()[size_t(cases[i].field)] << "=" << cases[i].typed;
  }
}

// Flags and the flower type come from check boxes and radio buttons, and a
// stored block is loaded with one branch and a type from 1 to 7: stored
// uncorrected, they load where the hosts put them.
TEST_F(CorrectedLikeTheDialog, StoredUncorrectedTheTypeAndBranchCountLoadWhereTheHostsPutThem) {
  rec::SettingValues raw = {{0, 4}, {13, 12}};
  std::string error;
  ASSERT_TRUE(rec::StoreSettings(raw, &error)) << error;
  SettingsRecord loaded{};
  vd::At(100, [&] { loaded = Settings; });
  Run(200);
  rec::CorrectSettings(&raw);
  EXPECT_EQ(loaded.branchCount, raw[0].second);
  EXPECT_EQ(loaded.flowerType, raw[1].second);
}

}  // namespace
#endif
