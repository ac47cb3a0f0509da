// The settings record, its 528-byte registry image, and what loading makes of
// a missing, foreign, short, long or damaged stored value.
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "support/program_run.h"

namespace {

using progtest::ProgramTest;

std::vector<BYTE> ReadValue(DWORD *type = nullptr, LONG *result = nullptr) {
  std::vector<BYTE> data(2000);
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    if (result) *result = ERROR_FILE_NOT_FOUND;
    return {};
  }
  DWORD size = DWORD(data.size());
  LONG r = RegQueryValueExA(key, SETTINGS_VALUE, nullptr, type, data.data(), &size);
  RegCloseKey(key);
  if (result) *result = r;
  data.resize(r == ERROR_SUCCESS ? size : 0);
  return data;
}

void PutLong(std::vector<BYTE> &block, size_t offset, LONG value) { std::memcpy(&block[offset], &value, 4); }

std::vector<BYTE> FactoryBlock() {
  RestoreFactoryDefaults();
  CaptureSettings();
  return std::vector<BYTE>(StoredSettings, StoredSettings + STORED_SETTINGS_SIZE);
}

class SettingsStore : public ProgramTest {};

TEST_F(SettingsStore, FirstRunCreatesTheKeyPathTakesFactoryValuesAndWritesNoValue) {
  LoadSettings();
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  LONG result = ERROR_SUCCESS;
  ReadValue(nullptr, &result);
  EXPECT_EQ(result, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Settings.flowersPerBranch, 1);
  EXPECT_EQ(Settings.calmPeriod, 30000);
  EXPECT_EQ(Settings.branchX, 100);
  EXPECT_TRUE(vd::MessageBoxes().empty());
  // The block mirrors the factory values, ready for a save.
  EXPECT_STREQ(reinterpret_cast<char *>(StoredSettings), "1.0.0.5");
}

TEST_F(SettingsStore, FactoryValuesAreTheTableOnes) {
  std::memset(&Settings, 0x55, sizeof Settings);
  RestoreFactoryDefaults();
  SettingsRecord s = Settings;
  EXPECT_EQ(s.branchCount, 1);
  EXPECT_EQ(s.flowersPerBranch, 1);  // not 10
  EXPECT_EQ(s.flutter, 2);
  EXPECT_EQ(s.maxSideSpeed, 2);
  EXPECT_EQ(s.fallSpeed, 4);
  EXPECT_EQ(s.windowLayerThickness, 15);
  EXPECT_EQ(s.bottomLayerThickness, 40);  // not the window layer's 15
  EXPECT_EQ(s.showBranch, 1);
  EXPECT_EQ(s.fallingPetals, 1);
  EXPECT_EQ(s.windEnabled, 1);
  EXPECT_EQ(s.fallBehindWindows, 1);
  EXPECT_EQ(s.windowLayers, 1);
  EXPECT_EQ(s.bottomLayer, 1);
  EXPECT_EQ(s.flowerType, 1);
  EXPECT_EQ(s.tickInterval, 50);
  EXPECT_EQ(s.branchRedrawInterval, 500);
  EXPECT_EQ(s.calmPeriod, 30000);
  EXPECT_EQ(s.maxWindStrength, 40);
  EXPECT_EQ(s.windWrap, 0);
  EXPECT_EQ(s.strengthenStep, 100);
  EXPECT_EQ(s.risePeriod, 6000);
  EXPECT_EQ(s.blowPeriod, 4000);
  EXPECT_EQ(s.weakenStep, 100);
  EXPECT_EQ(s.branchX, 100);
}

TEST_F(SettingsStore, ImageIs528BytesWithVersionThenFieldsInStoredOrder) {
  RestoreFactoryDefaults();
  Settings.branchX = 0x01020304;
  Settings.flowersPerBranch = -2;
  SaveSettings();
  DWORD type = 0;
  std::vector<BYTE> value = ReadValue(&type);
  ASSERT_EQ(value.size(), 528u);
  EXPECT_EQ(type, DWORD(REG_BINARY));
  EXPECT_EQ(std::memcmp(value.data(), "1.0.0.5\0", 8), 0);
  EXPECT_EQ(value[124], 0x04);  // little-endian branchX at 124
  EXPECT_EQ(value[127], 0x01);
  LONG flowers;
  std::memcpy(&flowers, &value[36], 4);
  EXPECT_EQ(flowers, -2);
  for (size_t i = 8; i < 32; ++i) EXPECT_EQ(value[i], 0) << i;
  for (size_t i = 128; i < 528; ++i) EXPECT_EQ(value[i], 0) << i;
}

TEST_F(SettingsStore, SaveThenLoadGivesBackEveryField) {
  RestoreFactoryDefaults();
  LONG *fields = &Settings.branchCount;
  for (int i = 0; i < SETTINGS_FIELD_COUNT; ++i) fields[i] = 1000 + 17 * i;
  Settings.branchCount = 1;
  Settings.flowersPerBranch = 7;
  Settings.flowerType = 6;
  Settings.windWrap = 1;
  SettingsRecord saved = Settings;
  SaveSettings();
  // A new process: nothing of the old one's memory.
  ResetDesktop(32);
  LoadSettings();
  EXPECT_EQ(std::memcmp(&Settings, &saved, sizeof Settings), 0);
  EXPECT_EQ(Settings.windWrap, 1);
  EXPECT_EQ(Settings.branchCount, 1);
  EXPECT_TRUE(vd::MessageBoxes().empty());
}

TEST_F(SettingsStore, AnotherVersionGivesTheMessageAndFactoryValuesAndKeepsTheStoredValue) {
  std::vector<BYTE> block = FactoryBlock();
  std::memcpy(block.data(), "1.0.0.4", 8);
  PutLong(block, 56, 99);  // bottomLayerThickness
  StoreValue(block.data(), DWORD(block.size()));
  ResetProgramState();
  LoadSettings();
  EXPECT_EQ(Settings.bottomLayerThickness, 40);
  ASSERT_EQ(vd::MessageBoxes().size(), 1u);
  const vd::MessageBoxRecord &box = vd::MessageBoxes()[0];
  EXPECT_EQ(box.caption, "Mivora default settings restored");
  EXPECT_EQ(box.text,
            "Sorry, the saved Mivora settings are incompatible with the current version,\nthe default settings are "
            "restored.");
  EXPECT_EQ(box.type, UINT(MB_OK));
  EXPECT_EQ(box.owner, nullptr);  // no dialog yet
  EXPECT_EQ(ReadValue(), block);  // the stored value is not rewritten
}

TEST_F(SettingsStore, VersionFollowedByAnythingButNulIsAnotherVersion) {
  std::vector<BYTE> block = FactoryBlock();
  block[7] = 'x';
  StoreValue(block.data(), DWORD(block.size()));
  LoadSettings();
  EXPECT_EQ(vd::MessageBoxes().size(), 1u);
}

// Only the 528-byte block is this version's settings. A value of any other
// size, even one that starts with the right version (8 bytes of it and nothing
// more would load as all zeros: no branch, no petals), gets the factory values
// and the message, and stays in the registry until the next save.
TEST_F(SettingsStore, AValueOfAnyOtherSizeThanTheBlockGivesTheMessageAndFactoryValues) {
  for (DWORD size : {8u, 48u, 527u, 529u, 600u}) {
    SCOPED_TRACE("a value of " + std::to_string(size) + " bytes");
    std::vector<BYTE> block = FactoryBlock();
    PutLong(block, 40, 9);  // flutter
    block.resize(size, 0xAB);
    StoreValue(block.data(), size);
    ResetProgramState();
    vd::ClearRecords();
    LoadSettings();
    ASSERT_EQ(vd::MessageBoxes().size(), 1u);
    EXPECT_EQ(vd::MessageBoxes()[0].caption, "Mivora default settings restored");
    EXPECT_EQ(Settings.flutter, 2);
    EXPECT_EQ(Settings.flowersPerBranch, 1);
    EXPECT_EQ(Settings.showBranch, 1);
    EXPECT_EQ(Settings.tickInterval, 50);
    EXPECT_STREQ(reinterpret_cast<char *>(StoredSettings), "1.0.0.5");  // ready for a save
    EXPECT_EQ(ReadValue(), block) << "the stored value is not rewritten";
  }
}

TEST_F(SettingsStore, BytesTheProgramNeverSetsSurviveALoadAndASave) {
  std::vector<BYTE> block = FactoryBlock();
  for (size_t i = 8; i < 32; ++i) block[i] = BYTE(i);
  for (size_t i = 128; i < 528; ++i) block[i] = BYTE(255 - i % 251);
  StoreValue(block.data(), DWORD(block.size()));
  ResetProgramState();
  LoadSettings();
  Settings.flutter = 5;
  SaveSettings();
  std::vector<BYTE> after = ReadValue();
  ASSERT_EQ(after.size(), 528u);
  EXPECT_TRUE(std::equal(block.begin() + 8, block.begin() + 32, after.begin() + 8));
  EXPECT_TRUE(std::equal(block.begin() + 128, block.end(), after.begin() + 128));
  LONG flutter;
  std::memcpy(&flutter, &after[40], 4);
  EXPECT_EQ(flutter, 5);
}

TEST_F(SettingsStore, ValuesTheModelCannotHoldAreBroughtIntoRangeOnLoad) {
  std::vector<BYTE> block = FactoryBlock();
  PutLong(block, 32, 3);    // branchCount
  PutLong(block, 36, 25);   // flowersPerBranch
  PutLong(block, 84, 8);    // flowerType
  PutLong(block, 100, 70);  // maxWindStrength: kept as stored (only the start replaces it)
  PutLong(block, 88, -1);   // tickInterval: a timer would take it as 49 days
  StoreValue(block.data(), DWORD(block.size()));
  ResetProgramState();
  LoadSettings();
  EXPECT_EQ(Settings.tickInterval, 0) << "the fastest step, which runs at 10 ms";
  EXPECT_EQ(Settings.branchCount, 1);
  EXPECT_EQ(Settings.flowersPerBranch, 10);
  EXPECT_EQ(Settings.flowerType, 1);
  EXPECT_EQ(Settings.maxWindStrength, 70);
  PutLong(block, 36, -4);
  PutLong(block, 84, 0);
  PutLong(block, 32, -1);
  StoreValue(block.data(), DWORD(block.size()));
  LoadSettings();
  EXPECT_EQ(Settings.flowersPerBranch, 0);
  EXPECT_EQ(Settings.flowerType, 1);
  EXPECT_EQ(Settings.branchCount, 1);
}

TEST_F(SettingsStore, StoredWindCapOf70Reads40AfterAStart) {
  std::vector<BYTE> block = FactoryBlock();
  PutLong(block, 100, 70);
  StoreValue(block.data(), DWORD(block.size()));
  ResetProgramState();
  Run(100);
  EXPECT_EQ(Settings.maxWindStrength, 40);
}

TEST_F(SettingsStore, RegistryFileOfRandomBytesNeitherCrashesNorIsOverwrittenByALoad) {
  std::mt19937 rng(7);
  std::vector<char> junk(4096);
  for (char &c : junk) c = char(rng());
  {
    std::ofstream out(registry(), std::ios::binary);
    out.write(junk.data(), std::streamsize(junk.size()));
  }
  ResetDesktop(32);
  Run(500);
  EXPECT_EQ(Settings.flowersPerBranch, 1);
  EXPECT_FALSE(vd::RegistryProblem().empty());
  std::ifstream in(registry(), std::ios::binary);
  std::vector<char> after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(after, junk);
}

TEST_F(SettingsStore, DyingBetweenTheTemporaryFileAndTheRenameKeepsTheOldSettings) {
  RestoreFactoryDefaults();
  Settings.flutter = 6;
  SaveSettings();
  Settings.flutter = 9;
  vd::FailNextRegistryRename();
  SaveSettings();
  ResetDesktop(32);
  LoadSettings();
  EXPECT_EQ(Settings.flutter, 6);
}

// A key that cannot be made (its hive cannot be written): the program runs on
// factory values without a word, and a save changes nothing and says nothing.
TEST_F(SettingsStore, AKeyThatCannotBeOpenedGivesFactoryValuesSilentlyAndASaveThatFails) {
  std::string blocker = dir_.path() + "/not-a-folder";
  { std::ofstream(blocker) << "x"; }
  vd::Config config;
  config.registryPath = blocker + "/registry.hkcu";
  config.recordObservations = true;
  vd::Reset(config);
  ResetProgramState();
  std::memset(&Settings, 0x55, sizeof Settings);
  LoadSettings();
  EXPECT_EQ(Settings.flowersPerBranch, 1);
  EXPECT_EQ(Settings.tickInterval, 50);
  EXPECT_EQ(Settings.branchX, 100);
  EXPECT_STREQ(reinterpret_cast<char *>(StoredSettings), "1.0.0.5");
  Settings.flutter = 7;
  SaveSettings();
  EXPECT_EQ(Settings.flutter, 7);  // the record is as it was
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_TRUE(vd::MessageBoxes().empty());
  EXPECT_TRUE(vd::Beeps().empty());
}

}  // namespace
