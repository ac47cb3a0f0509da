// A registry hive in memory, and its on-disk form.
//
// File layout (all integers little-endian):
//   0   8  magic "VDREG\x1A\r\n"
//   8   4  format version (kHiveVersion)
//   12  4  payload length in bytes
//   16  4  CRC-32 (IEEE) of the payload
//   20  .. payload: the root key
// A key is: u16 name length, name, u32 value count, values, u32 sub-key count,
// sub-keys. A value is: u16 name length, name, u32 type, u32 data length, data.
// The root key's name is empty. Keys and values are written in the order of
// their case-folded names, so equal trees give equal files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vd {

constexpr char kHiveMagic[8] = {'V', 'D', 'R', 'E', 'G', '\x1A', '\r', '\n'};
constexpr uint32_t kHiveVersion = 1;
constexpr size_t kHiveHeaderSize = 20;

// Limits, as Windows has them where it has them; the others keep a damaged or
// hostile file from costing more than a few times its own size in memory.
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;
constexpr size_t kMaxValueSize = size_t(1) << 20;
constexpr int kMaxKeyDepth = 512;
constexpr size_t kMaxHiveEntries = 100000;  // keys and values together
constexpr size_t kMaxHiveFileSize = size_t(16) << 20;

struct RegValue {
  std::string name;  // as first created
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

struct RegKey {
  std::string name;  // as first created; empty for a hive's root
  std::map<std::string, RegValue> values;                 // by folded name
  std::map<std::string, std::unique_ptr<RegKey>> subkeys;  // by folded name
};

// Registry names compare without regard to case (ASCII letters; other bytes as they are).
std::string FoldName(std::string_view name);

uint32_t Crc32(const uint8_t *data, size_t size);

// The whole file for `root`. False when the tree breaks one of the limits above.
bool EncodeHive(const RegKey &root, std::string &file);

// Parses a whole file into `root` (emptied first). On failure `root` is empty
// and `why` says what is wrong, as a clause ("is truncated", ...).
bool DecodeHive(const std::string &file, RegKey &root, std::string &why);

}  // namespace vd
