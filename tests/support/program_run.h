// Runs the whole program on a fresh virtual desktop in virtual time, with a
// registry of its own in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/app.h"
#include "settings/settings.h"
#include "vdesktop.h"

namespace progtest {

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/mivora-test-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string &path() const { return path_; }

 private:
  std::string path_;
};

// A fresh desktop and a registry file of the test's own.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetDesktop(32); }
  void ResetDesktop(int bitsPerPixel) {
    vd::Config config;
    config.bitsPerPixel = bitsPerPixel;
    config.registryPath = registry();
    config.recordObservations = true;  // the tests read beeps, repaints, message boxes and menus
    vd::Reset(config);
    ResetProgramState();
  }
  std::string registry() const { return dir_.path() + "/registry.hkcu"; }
  // Runs WinMain until it returns or virtual time reaches `stopAt`.
  int Run(uint64_t stopAt) {
    vd::StopAt(stopAt);
    return WinMain(vd::ModuleInstance(), nullptr, const_cast<char *>(""), SW_SHOWDEFAULT);
  }
  // Writes the settings value straight into the registry, as another program might.
  void StoreValue(const void *data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, SETTINGS_VALUE, 0, REG_BINARY, static_cast<const BYTE *>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  TempDir dir_;
};

}  // namespace progtest
