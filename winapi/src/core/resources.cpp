#include "core/resources.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

extern "C" const unsigned char vd_module_resources[];
extern "C" const size_t vd_module_resources_size;

namespace vd::res {
namespace {

// A resource type or name: an integer id or an upper-cased string.
struct Key {
  bool isId = true;
  unsigned id = 0;
  std::string text;
  bool operator==(const Key &o) const { return isId == o.isId && (isId ? id == o.id : text == o.text); }
};

struct Entry {
  Key type;
  Key name;
  Blob data;
};

uint32_t Dword(const uint8_t *p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t Word(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }

// Reads a type or name field of an entry header; false if it runs past `end`.
bool ReadKey(const uint8_t *&p, const uint8_t *end, Key *key) {
  if (end - p < 2) return false;
  if (Word(p) == 0xFFFF) {
    if (end - p < 4) return false;
    key->isId = true;
    key->id = Word(p + 2);
    p += 4;
    return true;
  }
  key->isId = false;
  key->text.clear();
  while (true) {
    if (end - p < 2) return false;
    uint16_t c = Word(p);
    p += 2;
    if (c == 0) break;
    key->text.push_back(char(std::toupper(c < 128 ? c : '?')));
  }
  return true;
}

const std::vector<Entry> &Entries() {
  static const std::vector<Entry> entries = [] {
    std::vector<Entry> list;
    const uint8_t *base = vd_module_resources;
    const uint8_t *end = base + vd_module_resources_size;
    const uint8_t *p = base;
    while (end - p >= 8) {
      uint32_t dataSize = Dword(p);
      uint32_t headerSize = Dword(p + 4);
      if (headerSize < 16 || headerSize > size_t(end - p) || dataSize > size_t(end - p) - headerSize) break;
      const uint8_t *q = p + 8;
      const uint8_t *headerEnd = p + headerSize;
      Entry entry;
      if (!ReadKey(q, headerEnd, &entry.type) || !ReadKey(q, headerEnd, &entry.name)) break;
      entry.data.data = p + headerSize;
      entry.data.size = dataSize;
      if (dataSize > 0) list.push_back(entry);
      size_t step = headerSize + ((dataSize + 3) & ~3u);
      if (step > size_t(end - p)) break;
      p += step;
    }
    return list;
  }();
  return entries;
}

Key ToKey(LPCSTR s) {
  Key key;
  if (IS_INTRESOURCE(s)) {
    key.id = unsigned(reinterpret_cast<uintptr_t>(s));
    return key;
  }
  if (s[0] == '#') {  // "#123" names an integer id
    key.id = unsigned(std::strtoul(s + 1, nullptr, 10));
    return key;
  }
  key.isId = false;
  for (const char *c = s; *c; ++c) key.text.push_back(char(std::toupper((unsigned char)*c)));
  return key;
}

}  // namespace

bool Find(LPCSTR type, LPCSTR name, Blob *out) {
  if (!type || !name) return false;
  Key t = ToKey(type), n = ToKey(name);
  for (const Entry &e : Entries()) {
    if (e.type == t && e.name == n) {
      *out = e.data;
      return true;
    }
  }
  return false;
}

bool IsModule(HINSTANCE instance) {
  return instance == nullptr || instance == GetModuleHandleA(nullptr);
}

}  // namespace vd::res
