// What the hosts tell the user and what they put in force: a Save that could
// not be written, settings that start-up would replace, another process's
// save seen by Restore settings.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "advapi32/hive.h"
#include "resource.h"
#include "settings_args.h"
#include "support/dialog_driver.h"

namespace {

class HostReports : public progtest::DialogTest {
 protected:
  // The settings value as another process saves it: the whole file replaced by a rename.
  void SaveFromAnotherProcess(const SettingsRecord &settings) {
    SettingsRecord mine = Settings;
    Settings = settings;
    CaptureSettings();
    Settings = mine;
    vd::RegKey root;
    vd::RegKey *at = &root;
    for (const char *name : {"Software", "Tolvane", "Mivora for Windows", "Settings"}) {
      auto child = std::make_unique<vd::RegKey>();
      child->name = name;
      vd::RegKey *next = child.get();
      at->subkeys.emplace(vd::FoldName(name), std::move(child));
      at = next;
    }
    vd::RegValue value;
    value.name = SETTINGS_VALUE;
    value.type = REG_BINARY;
    value.data.assign(StoredSettings, StoredSettings + STORED_SETTINGS_SIZE);
    at->values.emplace(vd::FoldName(SETTINGS_VALUE), std::move(value));
    std::string bytes;
    ASSERT_TRUE(vd::EncodeHive(root, bytes));
    std::string temporary = registry() + ".other";
    std::ofstream(temporary, std::ios::binary) << bytes;
    std::filesystem::rename(temporary, registry());
  }
};

// With the registry file made read-only, Save settings in the dialog: the live
// hosts show a message box over the dialog, every host writes the reason on
// standard error, and the file is kept as it was.
TEST_F(HostReports, ASaveThatCannotBeWrittenIsReported) {
  for (rec::FailedSaveReport how : {rec::FailedSaveReport::kMessageBox, rec::FailedSaveReport::kStandardError}) {
    SCOPED_TRACE(how == rec::FailedSaveReport::kMessageBox ? "message box" : "standard error");
    ResetDesktop(32);
    next_ = 1010;
    RestoreFactoryDefaults();
    SaveSettings();
    const std::string before = [&] {
      std::ifstream in(registry(), std::ios::binary);
      return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }();
    ASSERT_EQ(chmod(registry().c_str(), 0444), 0);
    rec::ReportFailedSaves("host", how);
    ShowDialog();
    Enter(IDC_FLOWERS, "7");
    Key(VK_RETURN);
    Click(IDC_SAVE);
    std::vector<vd::MessageBoxRecord> boxes;
    Check([&] {
      boxes = vd::MessageBoxes();
      if (vd::MessageBoxOpen()) vd::AnswerMessageBox(IDOK);
    });
    testing::internal::CaptureStderr();
    RunScript();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("host: Mivora could not save its settings: the registry file " + registry() + " is read-only"),
              std::string::npos)
        << err;
    if (how == rec::FailedSaveReport::kMessageBox) {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].owner, SettingsDialog);
      EXPECT_EQ(boxes[0].text, rec::FailedSaveText(vd::RegistryWriteProblem()));
      EXPECT_NE(boxes[0].text.find("read-only"), std::string::npos);
    } else {
      EXPECT_TRUE(boxes.empty());
    }
    std::ifstream in(registry(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), before);
    struct stat st;
    ASSERT_EQ(stat(registry().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    chmod(registry().c_str(), 0644);
  }
}

// The wind cap given to a host is in force after the start, and the dialog
// shows it, whatever start-up put there.
TEST_F(HostReports, AWindCapGivenToTheHostIsInForceAfterTheStart) {
  for (long cap : {0L, 40L, 100L}) {
    SCOPED_TRACE(cap);
    ResetDesktop(32);
    next_ = 1010;
    rec::SettingValues settings = {{rec::SettingIndex("maxWindStrength"), cap}};
    std::string error;
    ASSERT_TRUE(rec::StoreSettings(settings, &error)) << error;
    rec::PutSettingsInForceAfterStart(settings);
    LONG inForce = -1;
    std::string shown;
    ShowDialog();
    Check([&] {
      inForce = Settings.maxWindStrength;
      shown = Text(IDC_WIND_STRENGTH);
    });
    RunScript();
    EXPECT_EQ(inForce, cap);
    EXPECT_EQ(shown, std::to_string(cap));
  }
}

// Windows has one registry for every process: Restore settings shows what
// another process saved last, not this one's earlier copy.
TEST_F(HostReports, RestoreSettingsShowsWhatAnotherProcessSaved) {
  RestoreFactoryDefaults();
  SaveSettings();
  ShowDialog();
  Step([this] {
    SettingsRecord other = Settings;
    other.flowersPerBranch = 3;
    other.branchX = 333;
    SaveFromAnotherProcess(other);
  });
  Click(IDC_RESTORE);
  LONG flowers = 0, branchX = 0;
  std::string shown;
  Check([&] {
    flowers = Settings.flowersPerBranch;
    branchX = Settings.branchX;
    shown = Text(IDC_FLOWERS);
  });
  RunScript();
  EXPECT_EQ(flowers, 3);
  EXPECT_EQ(branchX, 333);
  EXPECT_EQ(shown, "3");
}

}  // namespace
