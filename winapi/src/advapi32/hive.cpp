#include "advapi32/hive.h"

#include <array>
#include <cstring>

namespace vd {

std::string FoldName(std::string_view name) {
  std::string folded(name);
  for (char &c : folded) {
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  }
  return folded;
}

uint32_t Crc32(const uint8_t *data, size_t size) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

namespace {

// ---------------------------------------------------------------- writing

void Put16(std::string &out, uint32_t v) {
  out.push_back(char(v & 0xFF));
  out.push_back(char((v >> 8) & 0xFF));
}

void Put32(std::string &out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(char((v >> shift) & 0xFF));
}

struct Encoder {
  std::string out;
  size_t entries = 0;

  bool Key(const RegKey &key, int depth) {
    if (depth > kMaxKeyDepth || key.name.size() > kMaxKeyNameLength) return false;
    entries += 1 + key.values.size();
    if (entries > kMaxHiveEntries) return false;
    Put16(out, uint32_t(key.name.size()));
    out += key.name;
    Put32(out, uint32_t(key.values.size()));
    for (auto &entry : key.values) {
      const RegValue &value = entry.second;
      if (value.name.size() > kMaxValueNameLength || value.data.size() > kMaxValueSize) return false;
      Put16(out, uint32_t(value.name.size()));
      out += value.name;
      Put32(out, value.type);
      Put32(out, uint32_t(value.data.size()));
      out.append(reinterpret_cast<const char *>(value.data.data()), value.data.size());
      if (out.size() > kMaxHiveFileSize) return false;
    }
    Put32(out, uint32_t(key.subkeys.size()));
    for (auto &entry : key.subkeys) {
      if (!Key(*entry.second, depth + 1)) return false;
    }
    return out.size() <= kMaxHiveFileSize;
  }
};

// ---------------------------------------------------------------- reading

// Smallest encodings, so that a count can be checked against the bytes left
// before anything is allocated for it.
constexpr size_t kMinKeyBytes = 2 + 4 + 4;
constexpr size_t kMinValueBytes = 2 + 4 + 4;

struct Decoder {
  const uint8_t *p;
  size_t left;
  size_t entries = 0;

  bool Take(size_t n, const uint8_t *&at) {
    if (n > left) return false;
    at = p;
    p += n;
    left -= n;
    return true;
  }
  bool Get16(uint32_t &v) {
    const uint8_t *at;
    if (!Take(2, at)) return false;
    v = uint32_t(at[0]) | uint32_t(at[1]) << 8;
    return true;
  }
  bool Get32(uint32_t &v) {
    const uint8_t *at;
    if (!Take(4, at)) return false;
    v = uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
    return true;
  }
  bool GetName(size_t maxLength, std::string &name) {
    uint32_t length;
    const uint8_t *at;
    if (!Get16(length) || length > maxLength || !Take(length, at)) return false;
    name.assign(reinterpret_cast<const char *>(at), length);
    return true;
  }

  bool Key(RegKey &key, int depth) {
    if (depth > kMaxKeyDepth || ++entries > kMaxHiveEntries) return false;
    if (!GetName(kMaxKeyNameLength, key.name)) return false;
    bool isRoot = depth == 0;
    if (isRoot != key.name.empty() || key.name.find('\\') != std::string::npos) return false;

    uint32_t valueCount;
    if (!Get32(valueCount) || valueCount > left / kMinValueBytes) return false;
    for (uint32_t i = 0; i < valueCount; ++i) {
      if (++entries > kMaxHiveEntries) return false;
      RegValue value;
      uint32_t size;
      const uint8_t *at;
      if (!GetName(kMaxValueNameLength, value.name) || !Get32(value.type) || !Get32(size) ||
          size > kMaxValueSize || !Take(size, at)) {
        return false;
      }
      value.data.assign(at, at + size);
      std::string folded = FoldName(value.name);
      if (!key.values.emplace(std::move(folded), std::move(value)).second) return false;  // duplicate
    }

    uint32_t subkeyCount;
    if (!Get32(subkeyCount) || subkeyCount > left / kMinKeyBytes) return false;
    for (uint32_t i = 0; i < subkeyCount; ++i) {
      auto child = std::make_unique<RegKey>();
      if (!Key(*child, depth + 1)) return false;
      std::string folded = FoldName(child->name);
      if (!key.subkeys.emplace(std::move(folded), std::move(child)).second) return false;
    }
    return true;
  }
};

uint32_t Read32(const std::string &s, size_t at) {
  auto b = [&](size_t i) { return uint32_t(uint8_t(s[at + i])); };
  return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

}  // namespace

bool EncodeHive(const RegKey &root, std::string &file) {
  if (!root.name.empty()) return false;
  Encoder encoder;
  if (!encoder.Key(root, 0)) return false;
  const std::string &payload = encoder.out;
  file.clear();
  file.reserve(kHiveHeaderSize + payload.size());
  file.append(kHiveMagic, sizeof kHiveMagic);
  Put32(file, kHiveVersion);
  Put32(file, uint32_t(payload.size()));
  Put32(file, Crc32(reinterpret_cast<const uint8_t *>(payload.data()), payload.size()));
  file += payload;
  return true;
}

bool DecodeHive(const std::string &file, RegKey &root, std::string &why) {
  root = RegKey();
  if (file.size() < sizeof kHiveMagic ||
      std::memcmp(file.data(), kHiveMagic, sizeof kHiveMagic) != 0) {
    why = file.empty() ? "is empty" : "does not start with the registry file header";
    return false;
  }
  if (file.size() < kHiveHeaderSize) {
    why = "is truncated (its header is incomplete)";
    return false;
  }
  uint32_t version = Read32(file, 8);
  if (version != kHiveVersion) {
    why = "has format version " + std::to_string(version) + ", which this desktop cannot read";
    return false;
  }
  uint64_t length = Read32(file, 12);
  uint64_t actual = file.size() - kHiveHeaderSize;
  if (actual < length) {
    why = "is truncated (" + std::to_string(file.size()) + " of " +
          std::to_string(length + kHiveHeaderSize) + " bytes)";
    return false;
  }
  if (actual > length) {
    why = "has " + std::to_string(actual - length) + " unexpected bytes after its content";
    return false;
  }
  const uint8_t *payload = reinterpret_cast<const uint8_t *>(file.data()) + kHiveHeaderSize;
  if (Crc32(payload, length) != Read32(file, 16)) {
    why = "fails its checksum";
    return false;
  }
  Decoder decoder{payload, size_t(length)};
  if (!decoder.Key(root, 0) || decoder.left != 0) {
    root = RegKey();
    why = "has malformed content";
    return false;
  }
  return true;
}

}  // namespace vd
