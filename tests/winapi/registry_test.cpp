// The registry: key tree, value semantics, and the file that keeps HKEY_CURRENT_USER.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "advapi32/hive.h"
#include "vdesktop.h"
#include "windows.h"

namespace {

namespace fs = std::filesystem;

const char kSettingsKey[] = "Software\\Tolvane\\Mivora for Windows\\Settings";
const char kSettingsValue[] = "Mivora settings";
constexpr LSTATUS kErrorBadPathname = 161;  // ERROR_BAD_PATHNAME
constexpr LSTATUS kErrorNoAccess = 998;     // ERROR_NOACCESS

std::string ReadBytes(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path &path, const std::string &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::vector<BYTE> Pattern(size_t size, int seed) {
  std::vector<BYTE> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = BYTE((i * 7 + seed) & 0xFF);
  return bytes;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/registry-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    file_ = dir_ / "registry.hkcu";
    NewProcess();
  }
  void TearDown() override {
    vd::Reset();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // A fresh desktop on the same file, as a new run of the program would see it.
  void NewProcess() {
    vd::Config config;
    config.width = 64;
    config.height = 64;
    config.shell = false;
    config.registryPath = file_.string();
    vd::Reset(config);
  }

  HKEY Create(const char *path, DWORD *disposition = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              disposition),
              ERROR_SUCCESS);
    return key;
  }

  LSTATUS Open(const char *path, HKEY *key, REGSAM access = KEY_ALL_ACCESS) {
    return RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, access, key);
  }

  void StoreSettings(const std::vector<BYTE> &bytes) {
    HKEY key = Create(kSettingsKey);
    ASSERT_EQ(RegSetValueExA(key, kSettingsValue, 0, REG_BINARY, bytes.data(), DWORD(bytes.size())),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  }

  // The stored settings, or empty when the key or the value is missing.
  std::vector<BYTE> StoredSettings() {
    HKEY key;
    if (Open(kSettingsKey, &key) != ERROR_SUCCESS) return {};
    std::vector<BYTE> bytes(4096);
    DWORD size = DWORD(bytes.size());
    LSTATUS status = RegQueryValueExA(key, kSettingsValue, nullptr, nullptr, bytes.data(), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return {};
    bytes.resize(size);
    return bytes;
  }

  // Files in the folder other than the hive, its lock and its damaged copies.
  std::vector<std::string> Temporaries() const {
    std::vector<std::string> found;
    std::string name = file_.filename().string();
    for (const auto &entry : fs::directory_iterator(file_.parent_path())) {
      std::string n = entry.path().filename().string();
      bool numberedCopy = n.compare(0, name.size() + 9, name + ".damaged.") == 0 &&
                          n.find_first_not_of("0123456789", name.size() + 9) == std::string::npos;
      if (n != name && n != name + ".lock" && n != name + ".damaged" && !numberedCopy) found.push_back(n);
    }
    return found;
  }

  fs::path dir_;
  fs::path file_;
};

// ---------------------------------------------------------------- keys

TEST_F(RegistryTest, CreateMakesMissingParentsAndReportsTheDisposition) {
  DWORD disposition = 0;
  HKEY settings = Create(kSettingsKey, &disposition);
  EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));

  for (const char *parent : {"Software", "Software\\Tolvane", "Software\\Tolvane\\Mivora for Windows"}) {
    HKEY key;
    ASSERT_EQ(Open(parent, &key), ERROR_SUCCESS) << parent;
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  }

  HKEY again = Create(kSettingsKey, &disposition);
  EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
  EXPECT_NE(again, settings);  // each open gives its own handle
  HKEY parent = Create("Software\\Tolvane", &disposition);
  EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
  // A sub-key made from an opened key lands under it.
  HKEY child;
  ASSERT_EQ(RegCreateKeyExA(parent, "Other", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
  HKEY viaRoot;
  EXPECT_EQ(Open("Software\\Tolvane\\Other", &viaRoot), ERROR_SUCCESS);
  for (HKEY key : {settings, again, parent, child, viaRoot}) EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryTest, CreatingAKeyWritesTheFileSoTheEmptyPathSurvives) {
  EXPECT_FALSE(fs::exists(file_));
  HKEY key;
  EXPECT_EQ(Open(kSettingsKey, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(fs::exists(file_));  // a failed open writes nothing
  EXPECT_EQ(vd::RegistryProblem(), "");  // and a missing file is no problem
  RegCloseKey(Create(kSettingsKey));
  EXPECT_TRUE(fs::exists(file_));

  NewProcess();
  ASSERT_EQ(Open(kSettingsKey, &key), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, kSettingsValue, nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  EXPECT_EQ(vd::RegistryProblem(), "");
}

TEST_F(RegistryTest, NamesCompareWithoutCaseAndKeepTheCaseTheyWereCreatedWith) {
  RegCloseKey(Create("Software\\Tolvane"));
  DWORD disposition = 0;
  RegCloseKey(Create("SOFTWARE\\tolvane", &disposition));
  EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
  HKEY key;
  ASSERT_EQ(Open("software\\TOLVANE", &key), ERROR_SUCCESS);

  const BYTE first[] = {1, 2, 3};
  const BYTE second[] = {9, 8};
  ASSERT_EQ(RegSetValueExA(key, "Mivora settings", 0, REG_BINARY, first, sizeof first), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "MIVORA SETTINGS", 0, REG_BINARY, second, sizeof second), ERROR_SUCCESS);
  BYTE buffer[8] = {};
  DWORD size = sizeof buffer;
  ASSERT_EQ(RegQueryValueExA(key, "mivora Settings", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 2u);  // one value, overwritten
  EXPECT_EQ(buffer[0], 9);
  RegCloseKey(key);

  std::string file = ReadBytes(file_);
  EXPECT_NE(file.find("Software"), std::string::npos);
  EXPECT_NE(file.find("Tolvane"), std::string::npos);
  EXPECT_NE(file.find("Mivora settings"), std::string::npos);
  EXPECT_EQ(file.find("SOFTWARE"), std::string::npos);
  EXPECT_EQ(file.find("MIVORA SETTINGS"), std::string::npos);
}

TEST_F(RegistryTest, PathsWithALeadingBackslashAreRefusedTrailingOnesIgnored) {
  HKEY key = reinterpret_cast<HKEY>(uintptr_t(0x1234));
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "\\Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            kErrorBadPathname);
  EXPECT_EQ(key, nullptr);
  RegCloseKey(Create("Software\\Tolvane\\\\"));
  ASSERT_EQ(Open("Software\\Tolvane", &key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(Open("Software\\\\Tolvane", &key), kErrorBadPathname);
  EXPECT_EQ(Open(std::string(256, 'k').c_str(), &key), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, OpeningAMissingKeyFailsAndClearsTheResult) {
  RegCloseKey(Create("Software"));
  HKEY key = reinterpret_cast<HKEY>(uintptr_t(0x1234));
  EXPECT_EQ(Open("Software\\Nothing\\Here", &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  // The predefined key itself, opened with no sub-key, is that key.
  EXPECT_EQ(Open(nullptr, &key), ERROR_SUCCESS);
  EXPECT_EQ(key, HKEY_CURRENT_USER);
}

TEST_F(RegistryTest, HandlesThatAreNotLiveAreRefused) {
  HKEY key = Create("Software");
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(uintptr_t(0xdeadbeef))), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);  // predefined: nothing to close

  DWORD size = 4;
  BYTE data[4];
  EXPECT_EQ(RegQueryValueExA(key, "x", nullptr, nullptr, data, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_BINARY, data, 4), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegDeleteValueA(key, "x"), ERROR_INVALID_HANDLE);
  HKEY child = reinterpret_cast<HKEY>(uintptr_t(0x1234));
  EXPECT_EQ(RegCreateKeyExA(key, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
            ERROR_INVALID_HANDLE);
  EXPECT_EQ(child, reinterpret_cast<HKEY>(uintptr_t(0x1234)));  // left as it was
  EXPECT_EQ(RegOpenKeyExA(reinterpret_cast<HKEY>(uintptr_t(0x80000009)), "Software", 0, KEY_READ, &child),
            ERROR_INVALID_HANDLE);

  // A handle of the previous desktop is stale in the next one.
  HKEY old = Create("Software");
  NewProcess();
  EXPECT_EQ(RegCloseKey(old), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, AccessRightsOfTheHandleAreEnforced) {
  RegCloseKey(Create("Software"));
  HKEY reader, writer;
  ASSERT_EQ(Open("Software", &reader, KEY_READ), ERROR_SUCCESS);
  ASSERT_EQ(Open("Software", &writer, KEY_SET_VALUE), ERROR_SUCCESS);
  const BYTE one = 1;
  EXPECT_EQ(RegSetValueExA(reader, "v", 0, REG_BINARY, &one, 1), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegSetValueExA(writer, "v", 0, REG_BINARY, &one, 1), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(writer, "v", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegQueryValueExA(reader, "v", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 1u);
  RegCloseKey(reader);
  RegCloseKey(writer);
}

// ---------------------------------------------------------------- values

TEST_F(RegistryTest, SetThenQueryRoundTripsTypeAndBytes) {
  std::vector<BYTE> stored = Pattern(528, 3);
  StoreSettings(stored);
  HKEY key;
  ASSERT_EQ(Open(kSettingsKey, &key), ERROR_SUCCESS);
  std::vector<BYTE> buffer(528, 0);
  DWORD size = 528;
  DWORD type = 0;
  ASSERT_EQ(RegQueryValueExA(key, kSettingsValue, nullptr, &type, buffer.data(), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD(REG_BINARY));
  EXPECT_EQ(size, 528u);
  EXPECT_EQ(buffer, stored);

  // No buffer: the size and type alone.
  size = 0;
  type = 0;
  ASSERT_EQ(RegQueryValueExA(key, kSettingsValue, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 528u);
  EXPECT_EQ(type, DWORD(REG_BINARY));

  // A zero-length value and the unnamed value are values like any other.
  ASSERT_EQ(RegSetValueExA(key, "empty", 0, REG_DWORD, nullptr, 0), ERROR_SUCCESS);
  const BYTE d = 7;
  ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_BINARY, &d, 1), ERROR_SUCCESS);
  size = 99;
  ASSERT_EQ(RegQueryValueExA(key, "empty", nullptr, &type, buffer.data(), &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(type, DWORD(REG_DWORD));
  size = 4;
  ASSERT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, buffer.data(), &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 1u);
  EXPECT_EQ(buffer[0], 7);
  EXPECT_EQ(RegSetValueExA(key, "bad", 0, REG_BINARY, nullptr, 4), kErrorNoAccess);
  RegCloseKey(key);
}

TEST_F(RegistryTest, LongerValueThanTheBufferGivesMoreDataAndLeavesTheBufferAlone) {
  StoreSettings(Pattern(528, 1));
  HKEY key;
  ASSERT_EQ(Open(kSettingsKey, &key), ERROR_SUCCESS);
  std::vector<BYTE> buffer(100, 0xCD);
  DWORD size = 100;
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExA(key, kSettingsValue, nullptr, &type, buffer.data(), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 528u);  // the size needed
  EXPECT_EQ(type, DWORD(REG_BINARY));
  EXPECT_EQ(buffer, std::vector<BYTE>(100, 0xCD));
  // One byte short is still too short.
  buffer.assign(528, 0xCD);
  size = 527;
  EXPECT_EQ(RegQueryValueExA(key, kSettingsValue, nullptr, nullptr, buffer.data(), &size), ERROR_MORE_DATA);
  EXPECT_EQ(buffer, std::vector<BYTE>(528, 0xCD));
  RegCloseKey(key);
}

TEST_F(RegistryTest, ShorterValueFillsTheFrontOfTheBufferAndKeepsTheRest) {
  // A stored block of an old program: only the 8-byte version string.
  const char version[8] = "1.0.0.5";
  StoreSettings(std::vector<BYTE>(version, version + 8));
  HKEY key;
  ASSERT_EQ(Open(kSettingsKey, &key), ERROR_SUCCESS);
  std::vector<BYTE> buffer(528, 0xAB);
  DWORD size = 528;
  ASSERT_EQ(RegQueryValueExA(key, kSettingsValue, nullptr, nullptr, buffer.data(), &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(std::memcmp(buffer.data(), version, 8), 0);
  for (size_t i = 8; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xAB) << "byte " << i;
  RegCloseKey(key);
}

TEST_F(RegistryTest, UnterminatedStringGetsATerminatorOnlyWhenThereIsRoom) {
  HKEY key = Create("Software");
  ASSERT_EQ(RegSetValueExA(key, "s", 0, REG_SZ, reinterpret_cast<const BYTE *>("abc"), 3), ERROR_SUCCESS);
  char buffer[6] = {'x', 'x', 'x', 'x', 'x', 'x'};
  DWORD size = 6;
  ASSERT_EQ(RegQueryValueExA(key, "s", nullptr, nullptr, reinterpret_cast<BYTE *>(buffer), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(std::string(buffer, 6), std::string("abc\0xx", 6));
  std::memset(buffer, 'x', sizeof buffer);
  size = 3;
  ASSERT_EQ(RegQueryValueExA(key, "s", nullptr, nullptr, reinterpret_cast<BYTE *>(buffer), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::string(buffer, 6), "abcxxx");
  RegCloseKey(key);
}

TEST_F(RegistryTest, MissingValueGivesFileNotFoundAndTouchesNothing) {
  HKEY key = Create(kSettingsKey);
  BYTE buffer[4] = {5, 5, 5, 5};
  DWORD size = 4;
  DWORD type = 77;
  EXPECT_EQ(RegQueryValueExA(key, kSettingsValue, nullptr, &type, buffer, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(type, 77u);
  EXPECT_EQ(buffer[0], 5);
  EXPECT_EQ(RegDeleteValueA(key, kSettingsValue), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExA(key, kSettingsValue, nullptr, &type, buffer, nullptr), ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

// ---------------------------------------------------------------- the file

TEST_F(RegistryTest, ValuesSurviveANewProcess) {
  std::vector<BYTE> stored = Pattern(528, 11);
  StoreSettings(stored);
  HKEY key = Create("Software\\Other");
  const BYTE gone = 1;
  ASSERT_EQ(RegSetValueExA(key, "gone", 0, REG_BINARY, &gone, 1), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueA(key, "gone"), ERROR_SUCCESS);
  RegCloseKey(key);

  NewProcess();
  EXPECT_EQ(StoredSettings(), stored);
  ASSERT_EQ(Open("Software\\Other", &key), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "gone", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  EXPECT_EQ(vd::RegistryProblem(), "");
}

TEST_F(RegistryTest, WritingCreatesTheFolderOfTheFile) {
  file_ = dir_ / "deeper" / "still" / "registry.hkcu";
  NewProcess();
  EXPECT_EQ(vd::RegistryPath(), file_.string());
  StoreSettings(Pattern(16, 0));
  EXPECT_TRUE(fs::is_regular_file(file_));
  NewProcess();
  EXPECT_EQ(StoredSettings(), Pattern(16, 0));
}

TEST_F(RegistryTest, ACrashBeforeTheRenameLeavesTheOldFileWhole) {
  StoreSettings(Pattern(528, 1));
  const std::string before = ReadBytes(file_);

  vd::FailNextRegistryRename();
  HKEY key = Create(kSettingsKey);
  std::vector<BYTE> newer = Pattern(528, 2);
  EXPECT_EQ(RegSetValueExA(key, kSettingsValue, 0, REG_BINARY, newer.data(), 528), ERROR_CANTWRITE);
  RegCloseKey(key);
  EXPECT_EQ(ReadBytes(file_), before);
  EXPECT_EQ(Temporaries().size(), 1u);  // the half-done write is left behind

  NewProcess();
  EXPECT_EQ(vd::RegistryProblem(), "");
  EXPECT_EQ(StoredSettings(), Pattern(528, 1));

  // The next write goes through, and takes the stale temporary file away.
  StoreSettings(newer);
  EXPECT_TRUE(Temporaries().empty());
  NewProcess();
  EXPECT_EQ(StoredSettings(), newer);
}

TEST_F(RegistryTest, AFailedWriteLeavesMemoryAsTheFileHasIt) {
  StoreSettings(Pattern(8, 1));
  vd::FailNextRegistryRename();
  HKEY key;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\New\\Deep", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_CANTWRITE);
  EXPECT_EQ(Open("Software\\New", &key), ERROR_FILE_NOT_FOUND);
  vd::FailNextRegistryRename();
  HKEY settings = Create(kSettingsKey);
  EXPECT_EQ(RegDeleteValueA(settings, kSettingsValue), ERROR_CANTWRITE);
  RegCloseKey(settings);
  EXPECT_EQ(StoredSettings(), Pattern(8, 1));
}

TEST_F(RegistryTest, AFileInThePlaceOfTheFolderMakesWritesFail) {
  WriteBytes(dir_ / "blocker", "x");
  file_ = dir_ / "blocker" / "registry.hkcu";
  NewProcess();
  HKEY key;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_CANTWRITE);
  EXPECT_EQ(Open("Software", &key), ERROR_FILE_NOT_FOUND);
}

class DamagedRegistryTest : public RegistryTest {
 protected:
  // Loads the damaged file as a new process would, and checks it was reported,
  // read as empty and left alone.
  void ExpectReadAsEmptyAndKept(const std::string &damaged, const char *what) {
    SCOPED_TRACE(what);
    WriteBytes(file_, damaged);
    NewProcess();
    HKEY key;
    EXPECT_EQ(Open("Software", &key), ERROR_FILE_NOT_FOUND);
    std::string problem = vd::RegistryProblem();
    EXPECT_NE(problem.find(file_.string()), std::string::npos) << problem;
    EXPECT_EQ(ReadBytes(file_), damaged);
  }

  // A file with a sound header around any payload.
  static std::string WithHeader(const std::string &payload) {
    std::string file(vd::kHiveMagic, sizeof vd::kHiveMagic);
    auto put32 = [&](uint32_t v) {
      for (int s = 0; s < 32; s += 8) file.push_back(char((v >> s) & 0xFF));
    };
    put32(vd::kHiveVersion);
    put32(uint32_t(payload.size()));
    put32(vd::Crc32(reinterpret_cast<const uint8_t *>(payload.data()), payload.size()));
    return file + payload;
  }
};

TEST_F(DamagedRegistryTest, RandomBytesReadAsEmptyAndAreReplacedOnTheNextWrite) {
  std::mt19937 random(7);
  std::string noise(4096, '\0');
  for (char &c : noise) c = char(random());
  ExpectReadAsEmptyAndKept(noise, "random bytes");

  StoreSettings(Pattern(528, 5));
  EXPECT_NE(ReadBytes(file_), noise);
  EXPECT_EQ(ReadBytes(file_.string() + ".damaged"), noise);  // kept aside for inspection
  NewProcess();
  EXPECT_EQ(vd::RegistryProblem(), "");
  EXPECT_EQ(StoredSettings(), Pattern(528, 5));
}

TEST_F(DamagedRegistryTest, EveryTruncationIsDetected) {
  StoreSettings(Pattern(40, 9));
  RegCloseKey(Create("Software\\Second"));
  const std::string whole = ReadBytes(file_);
  ASSERT_GT(whole.size(), vd::kHiveHeaderSize);
  for (size_t length = 0; length < whole.size(); ++length) {
    ExpectReadAsEmptyAndKept(whole.substr(0, length), ("truncated to " + std::to_string(length)).c_str());
  }
  WriteBytes(file_, whole);
  NewProcess();
  EXPECT_EQ(StoredSettings(), Pattern(40, 9));
}

TEST_F(DamagedRegistryTest, AnyFlippedBitIsDetected) {
  StoreSettings(Pattern(24, 2));
  const std::string whole = ReadBytes(file_);
  for (size_t i = 0; i < whole.size(); ++i) {
    std::string damaged = whole;
    damaged[i] = char(damaged[i] ^ (1 << (i % 8)));
    ExpectReadAsEmptyAndKept(damaged, ("bit flipped in byte " + std::to_string(i)).c_str());
  }
  ExpectReadAsEmptyAndKept(whole + "junk", "bytes after the content");
}

TEST_F(DamagedRegistryTest, AbsurdCountsAndLengthsBehindAValidChecksumAreRefused) {
  auto le32 = [](uint32_t v) {
    std::string s;
    for (int b = 0; b < 32; b += 8) s.push_back(char((v >> b) & 0xFF));
    return s;
  };
  const std::string root = std::string("\0\0", 2);
  ExpectReadAsEmptyAndKept(WithHeader(root + le32(0xFFFFFFFF) + le32(0)), "huge value count");
  ExpectReadAsEmptyAndKept(WithHeader(root + le32(0) + le32(0xFFFFFFFF)), "huge sub-key count");
  ExpectReadAsEmptyAndKept(WithHeader(root + le32(1) + std::string("\1\0v", 3) + le32(REG_BINARY) +
                                      le32(0xFFFFFFF0) + "abcd" + le32(0)),
                           "huge data length");
  ExpectReadAsEmptyAndKept(WithHeader(std::string("\xFF\xFF", 2) + le32(0) + le32(0)), "huge name length");
  // Two sub-keys whose names differ only in case.
  std::string twins = root + le32(0) + le32(2);
  for (const char *name : {"Ab", "aB"}) twins += std::string("\2\0", 2) + name + le32(0) + le32(0);
  ExpectReadAsEmptyAndKept(WithHeader(twins), "duplicate names");
  // A chain of keys far deeper than Windows allows, which must not exhaust the stack.
  std::string deep = root + le32(0) + le32(1);
  for (int i = 0; i < 100000; ++i) deep += std::string("\1\0k", 3) + le32(0) + le32(1);
  ExpectReadAsEmptyAndKept(WithHeader(deep), "deep nesting");

  std::string header = WithHeader(root + le32(0) + le32(0));
  header[8] = 2;  // another format version
  ExpectReadAsEmptyAndKept(header, "unknown version");
  header = WithHeader(root + le32(0) + le32(0));
  header[12] = char(0xF0);  // a payload length far beyond the file
  ExpectReadAsEmptyAndKept(header, "length field beyond the file");
}

TEST_F(DamagedRegistryTest, AFileThatCannotBeReadIsReportedButNeverReplaced) {
  fs::create_directory(file_);  // a folder where the file should be
  NewProcess();
  EXPECT_NE(vd::RegistryProblem().find(file_.string()), std::string::npos);
  HKEY key;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_CANTWRITE);
  EXPECT_TRUE(fs::is_directory(file_));
}

TEST_F(DamagedRegistryTest, WhenTheDamagedCopyCannotBeMadeTheFileIsNotReplaced) {
  const std::string noise(3000, '\x5A');
  ExpectReadAsEmptyAndKept(noise, "bytes of no registry");
  fs::create_directory(file_.string() + ".damaged");  // the copy's place is taken
  HKEY key = Create(kSettingsKey);  // a new key over a damaged file stays in memory
  std::vector<BYTE> value = Pattern(528, 3);
  EXPECT_EQ(RegSetValueExA(key, kSettingsValue, 0, REG_BINARY, value.data(), 528), ERROR_CANTWRITE);
  EXPECT_EQ(ReadBytes(file_), noise) << "the damaged bytes are all still there";
  EXPECT_TRUE(fs::is_directory(file_.string() + ".damaged"));
  EXPECT_TRUE(Temporaries().empty());
  EXPECT_NE(vd::RegistryWriteProblem().find(file_.string() + ".damaged"), std::string::npos)
      << vd::RegistryWriteProblem();

  // Once the copy can be made, the same write goes through.
  fs::remove(file_.string() + ".damaged");
  EXPECT_EQ(RegSetValueExA(key, kSettingsValue, 0, REG_BINARY, value.data(), 528), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(ReadBytes(file_.string() + ".damaged"), noise);
  EXPECT_EQ(vd::RegistryWriteProblem(), "");
  NewProcess();
  EXPECT_EQ(StoredSettings(), value);
}

// A disk that fills while the damaged copy is written: no part of a copy is
// left, and the damaged file stays. (A file size limit stands in for the full disk.)
TEST_F(DamagedRegistryTest, AFullDiskDuringTheDamagedCopyLeavesNoPartOfItAndTheFileWhole) {
  std::mt19937 random(3);
  std::string noise(200000, '\0');
  for (char &c : noise) c = char(random());
  ExpectReadAsEmptyAndKept(noise, "random bytes");
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 65536;  // room for the new registry file, not for the copy
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  HKEY key = Create(kSettingsKey);
  std::vector<BYTE> value = Pattern(528, 4);
  LSTATUS status = RegSetValueExA(key, kSettingsValue, 0, REG_BINARY, value.data(), 528);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);
  RegCloseKey(key);
  EXPECT_EQ(status, ERROR_CANTWRITE);
  EXPECT_NE(vd::RegistryWriteProblem().find("File too large"), std::string::npos) << vd::RegistryWriteProblem();
  EXPECT_EQ(ReadBytes(file_), noise);
  EXPECT_FALSE(fs::exists(file_.string() + ".damaged"));
  EXPECT_TRUE(Temporaries().empty());
}

// Each damaged file that a write replaces is kept: ".damaged", ".damaged.2",
// and so on, at most ten, the oldest removed first.
TEST_F(DamagedRegistryTest, EveryDamagedCopyIsKeptUpToTenTheOldestRemovedFirst) {
  auto noise = [](int n) { return "damaged file number " + std::to_string(n); };
  auto copy = [this](int n) { return file_.string() + (n == 1 ? ".damaged" : ".damaged." + std::to_string(n)); };
  for (int n = 1; n <= 12; ++n) {
    ExpectReadAsEmptyAndKept(noise(n), noise(n).c_str());
    StoreSettings(Pattern(528, n));
    if (n == 3) {
      for (int k = 1; k <= 3; ++k) EXPECT_EQ(ReadBytes(copy(k)), noise(k)) << "none overwritten";
    }
  }
  EXPECT_FALSE(fs::exists(copy(1)));
  EXPECT_FALSE(fs::exists(copy(2)));
  for (int k = 3; k <= 12; ++k) EXPECT_EQ(ReadBytes(copy(k)), noise(k)) << k;
  EXPECT_TRUE(Temporaries().empty());
  NewProcess();
  EXPECT_EQ(StoredSettings(), Pattern(528, 12));
}

TEST_F(DamagedRegistryTest, ADamagedFileAnotherWriterReplacedMeanwhileIsNotCopiedAsDamaged) {
  StoreSettings(Pattern(528, 6));
  const std::string sound = ReadBytes(file_);
  ExpectReadAsEmptyAndKept("damaged", "a short word");
  WriteBytes(file_, sound);  // another process saved meanwhile
  StoreSettings(Pattern(528, 7));
  EXPECT_FALSE(fs::exists(file_.string() + ".damaged"));
  NewProcess();
  EXPECT_EQ(StoredSettings(), Pattern(528, 7));
}

TEST_F(RegistryTest, AHiveReachedThroughASymbolicLinkIsWrittenWhereTheLinkPoints) {
  fs::create_directory(dir_ / "real");
  fs::create_symlink("real/settings.hkcu", file_);  // relative to the link's folder, and dangling at first
  NewProcess();
  StoreSettings(Pattern(528, 8));
  EXPECT_TRUE(fs::is_symlink(file_)) << "the link stays a link";
  EXPECT_TRUE(fs::is_regular_file(dir_ / "real" / "settings.hkcu"));
  StoreSettings(Pattern(528, 9));
  EXPECT_TRUE(fs::is_symlink(file_));
  // A second link to the first: both lead to the same file.
  fs::create_symlink(file_, dir_ / "second.hkcu");
  file_ = dir_ / "second.hkcu";
  NewProcess();
  EXPECT_EQ(StoredSettings(), Pattern(528, 9));
  StoreSettings(Pattern(528, 10));
  EXPECT_TRUE(fs::is_symlink(file_));
  EXPECT_EQ(ReadBytes(dir_ / "real" / "settings.hkcu"), ReadBytes(dir_ / "registry.hkcu"));
  file_ = dir_ / "registry.hkcu";
  NewProcess();
  EXPECT_EQ(StoredSettings(), Pattern(528, 10));
  // Links that go round in a loop lead to no file: nothing is written.
  fs::create_symlink("loop-b", dir_ / "loop-a");
  fs::create_symlink("loop-a", dir_ / "loop-b");
  file_ = dir_ / "loop-a";
  NewProcess();
  HKEY key;
  EXPECT_NE(RegCreateKeyExA(HKEY_CURRENT_USER, "Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_TRUE(fs::is_symlink(dir_ / "loop-a"));
}

// ---------------------------------------------------------------- writers in other processes

// The number of saves each writer makes; MIVORA_REGISTRY_RACE_SAVES asks for more.
int RaceSaves() {
  const char *text = getenv("MIVORA_REGISTRY_RACE_SAVES");
  int n = text ? atoi(text) : 0;
  return n > 0 ? n : 300;
}

// Runs `body` in a child process, which writes what it returns to a pipe.
struct Child {
  pid_t pid = -1;
  int out = -1;
};
Child Spawn(const std::function<std::string()> &body) {
  int fds[2];
  if (pipe(fds) != 0) return Child{};
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::string report = body();
    ssize_t ignored = write(fds[1], report.data(), report.size());
    (void)ignored;
    _exit(0);
  }
  close(fds[1]);
  return Child{pid, fds[0]};
}
std::string Collect(const Child &child) {
  std::string report;
  char buffer[256];
  ssize_t n;
  while ((n = read(child.out, buffer, sizeof buffer)) > 0) report.append(buffer, size_t(n));
  close(child.out);
  int status = 0;
  waitpid(child.pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? report : "died";
}

TEST_F(RegistryTest, TwoProcessesSavingWhileAThirdLoadsNeverFailNorShowAPartialFile) {
  const int saves = RaceSaves();
  const fs::path done = dir_ / "writers-done";
  auto writer = [&](int seed) {
    return [&, seed] {
      NewProcess();
      int failed = 0;
      HKEY key = nullptr;
      if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
        ++failed;
      for (int i = 0; i < saves; ++i) {
        std::vector<BYTE> bytes = Pattern(528, seed + i);
        if (RegSetValueExA(key, kSettingsValue, 0, REG_BINARY, bytes.data(), 528) != ERROR_SUCCESS) ++failed;
      }
      RegCloseKey(key);
      return std::to_string(failed);
    };
  };
  Child reader = Spawn([&] {
    int loads = 0, damaged = 0, wrongValue = 0;
    while (!fs::exists(done)) {
      NewProcess();
      if (!vd::RegistryProblem().empty()) ++damaged;
      HKEY key;
      if (Open(kSettingsKey, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        // The key comes a moment before its first value; after that every value
        // read is one written whole: Pattern(528, seed) for some seed.
        std::vector<BYTE> value = StoredSettings();
        if (!value.empty() && (value.size() != 528 || value != Pattern(528, value[0]))) ++wrongValue;
      }
      ++loads;
    }
    return std::to_string(loads) + " " + std::to_string(damaged) + " " + std::to_string(wrongValue);
  });
  Child first = Spawn(writer(0)), second = Spawn(writer(100000));
  std::string firstFailed = Collect(first), secondFailed = Collect(second);
  WriteBytes(done, "");
  std::string readerReport = Collect(reader);
  std::printf("registry race: %d saves each; failed saves %s and %s; reader (loads, damaged or empty, wrong value): %s\n",
              saves, firstFailed.c_str(), secondFailed.c_str(), readerReport.c_str());
  EXPECT_EQ(firstFailed, "0");
  EXPECT_EQ(secondFailed, "0");
  int loads = 0, damaged = -1, wrongValue = -1;
  ASSERT_EQ(sscanf(readerReport.c_str(), "%d %d %d", &loads, &damaged, &wrongValue), 3) << readerReport;
  EXPECT_GT(loads, 0);
  EXPECT_EQ(damaged, 0);
  EXPECT_EQ(wrongValue, 0);

  // The final file is sound and holds the last save of one of the two.
  fs::remove(done);
  NewProcess();
  EXPECT_EQ(vd::RegistryProblem(), "");
  std::vector<BYTE> last = StoredSettings();
  EXPECT_TRUE(last == Pattern(528, saves - 1) || last == Pattern(528, 100000 + saves - 1));
  EXPECT_TRUE(Temporaries().empty());
  EXPECT_FALSE(fs::exists(file_.string() + ".damaged"));
}

// Windows' registry is one for all processes: a query reads what any process
// wrote last, even through a handle opened before, and a set changes that one
// value, leaving the values another process wrote meanwhile as they are.
TEST_F(RegistryTest, AQueryReadsAnotherProcesssWriteAndASetKeepsItsValues) {
  StoreSettings(Pattern(528, 1));
  HKEY mine = Create(kSettingsKey);
  auto otherProcess = [&](int seed) {
    Child other = Spawn([&, seed] {
      NewProcess();
      HKEY key = Create(kSettingsKey);
      std::vector<BYTE> settings = Pattern(528, seed), extra = Pattern(16, seed);
      bool ok = RegSetValueExA(key, kSettingsValue, 0, REG_BINARY, settings.data(), 528) == ERROR_SUCCESS &&
                RegSetValueExA(key, ("Other " + std::to_string(seed)).c_str(), 0, REG_BINARY, extra.data(), 16) ==
                    ERROR_SUCCESS;
      RegCloseKey(key);
      return std::string(ok ? "ok" : "failed");
    });
    return Collect(other);
  };
  ASSERT_EQ(otherProcess(2), "ok");
  std::vector<BYTE> seen(528);
  DWORD size = 528;
  ASSERT_EQ(RegQueryValueExA(mine, kSettingsValue, nullptr, nullptr, seen.data(), &size), ERROR_SUCCESS);
  EXPECT_EQ(seen, Pattern(528, 2)) << "the other process's save, through a handle opened before it";

  std::vector<BYTE> own = Pattern(8, 9);
  ASSERT_EQ(RegSetValueExA(mine, "Mine", 0, REG_BINARY, own.data(), 8), ERROR_SUCCESS);
  ASSERT_EQ(otherProcess(3), "ok");
  ASSERT_EQ(RegSetValueExA(mine, kSettingsValue, 0, REG_BINARY, Pattern(528, 4).data(), 528), ERROR_SUCCESS);
  RegCloseKey(mine);

  NewProcess();
  EXPECT_EQ(StoredSettings(), Pattern(528, 4));
  HKEY key;
  ASSERT_EQ(Open(kSettingsKey, &key), ERROR_SUCCESS);
  for (const auto &[name, bytes] : {std::pair<std::string, std::vector<BYTE>>{"Mine", own},
                                    {"Other 2", Pattern(16, 2)},
                                    {"Other 3", Pattern(16, 3)}}) {
    std::vector<BYTE> value(64);
    DWORD length = 64;
    EXPECT_EQ(RegQueryValueExA(key, name.c_str(), nullptr, nullptr, value.data(), &length), ERROR_SUCCESS) << name;
    value.resize(length);
    EXPECT_EQ(value, bytes) << name << " is kept";
  }
  RegCloseKey(key);
}

// A registry file its owner made read-only is kept as it is, though its folder
// would let a rename replace it; the write fails, says why, and the host hears of it.
TEST_F(RegistryTest, AReadOnlyFileIsKeptAndTheWriteFailsWithTheReason) {
  StoreSettings(Pattern(528, 1));
  const std::string before = ReadBytes(file_);
  ASSERT_EQ(chmod(file_.c_str(), 0444), 0);
  std::vector<std::string> reported;
  vd::OnRegistryWriteFailed([&](const std::string &why) { reported.push_back(why); });
  HKEY key = Create(kSettingsKey);
  EXPECT_EQ(RegSetValueExA(key, kSettingsValue, 0, REG_BINARY, Pattern(528, 2).data(), 528), ERROR_CANTWRITE);
  RegCloseKey(key);
  EXPECT_EQ(ReadBytes(file_), before);
  struct stat st;
  ASSERT_EQ(stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0444u);
  EXPECT_NE(vd::RegistryWriteProblem().find("read-only"), std::string::npos) << vd::RegistryWriteProblem();
  EXPECT_EQ(reported, std::vector<std::string>{vd::RegistryWriteProblem()});
  EXPECT_EQ(StoredSettings(), Pattern(528, 1)) << "memory stays what the file holds";
  EXPECT_TRUE(Temporaries().empty());
  chmod(file_.c_str(), 0644);
}

// ---------------------------------------------------------------- where the file is

class RegistryPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char *name : {"MIVORA_REGISTRY", "XDG_DATA_HOME", "HOME"}) {
      const char *value = getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
  }
  void TearDown() override {
    for (auto &entry : saved_) {
      if (entry.second) {
        setenv(entry.first, entry.second->c_str(), 1);
      } else {
        unsetenv(entry.first);
      }
    }
    vd::Reset();
  }
  std::vector<std::pair<const char *, std::optional<std::string>>> saved_;
};

TEST_F(RegistryPathTest, ConfigThenEnvironmentThenDataHomeThenHome) {
  setenv("MIVORA_REGISTRY", "/srv/a.hkcu", 1);
  setenv("XDG_DATA_HOME", "/data", 1);
  setenv("HOME", "/home/u", 1);
  vd::Config config;
  config.shell = false;
  config.registryPath = "/tmp/x.hkcu";
  vd::Reset(config);
  EXPECT_EQ(vd::RegistryPath(), "/tmp/x.hkcu");

  config.registryPath.clear();
  vd::Reset(config);
  EXPECT_EQ(vd::RegistryPath(), "/srv/a.hkcu");
  unsetenv("MIVORA_REGISTRY");
  vd::Reset(config);
  EXPECT_EQ(vd::RegistryPath(), "/data/mivora/registry.hkcu");
  setenv("XDG_DATA_HOME", "relative/ignored", 1);
  vd::Reset(config);
  EXPECT_EQ(vd::RegistryPath(), "/home/u/.local/share/mivora/registry.hkcu");
  unsetenv("XDG_DATA_HOME");
  vd::Reset(config);
  EXPECT_EQ(vd::RegistryPath(), "/home/u/.local/share/mivora/registry.hkcu");
}

}  // namespace
