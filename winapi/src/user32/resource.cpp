// Icons, cursors and menus from the module's resources.
#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/platform.h"
#include "core/resources.h"
#include "gdi32/gdi.h"
#include "user32/user.h"
#include "user32/wnd.h"

namespace vd::user {
namespace {

uint32_t Dword(const uint8_t *p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t Word(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
int32_t Long(const uint8_t *p) { return int32_t(Dword(p)); }

struct Icon {
  std::vector<IconImage> images;  // every size the group holds
};

struct MenuItem {
  UINT flags = 0;
  UINT id = 0;
  std::string text;
  HMENU popup = nullptr;
};

struct Menu {
  std::vector<MenuItem> items;
};

struct Resources {
  HandleTable<Icon> icons{0x30010, 0x50000};
  HandleTable<Menu> menus{0x50010, 0x70000};
  std::map<std::string, HICON> shared;  // LoadIcon hands out one handle per resource
};

Resources &R() {
  static Resources r;
  return r;
}

void ResetResources() { R() = Resources(); }
ResetHook resourcesReset(15, ResetResources);

// Decodes one RT_ICON image: a DIB of twice the icon's height (colour, then the AND mask).
bool DecodeIconDib(const res::Blob &blob, IconImage *out) {
  if (blob.size < 40) return false;
  const uint8_t *p = blob.data;
  uint32_t headerSize = Dword(p);
  int32_t width = Long(p + 4), height2 = Long(p + 8);
  uint16_t bpp = Word(p + 14);
  if (headerSize < 40 || width <= 0 || width > 256 || height2 <= 0 || height2 > 512) return false;
  int height = height2 / 2;
  uint32_t colors = Dword(p + 32);
  if (bpp <= 8 && colors == 0) colors = 1u << bpp;
  if (bpp > 8) colors = 0;
  const uint8_t *palette = p + headerSize;
  const uint8_t *bits = palette + 4 * colors;
  size_t xorStride = ((size_t(width) * bpp + 31) / 32) * 4;
  size_t andStride = ((size_t(width) + 31) / 32) * 4;
  if (size_t(bits - p) + xorStride * height + andStride * height > blob.size) return false;
  const uint8_t *andBits = bits + xorStride * height;
  out->width = width;
  out->height = height;
  out->argb.assign(size_t(width) * height, 0);
  for (int y = 0; y < height; ++y) {
    const uint8_t *row = bits + xorStride * (height - 1 - y);
    const uint8_t *mrow = andBits + andStride * (height - 1 - y);
    for (int x = 0; x < width; ++x) {
      uint32_t argb = 0;
      if (bpp == 32) {
        const uint8_t *q = row + 4 * x;
        argb = (uint32_t(q[3]) << 24) | (q[2] << 16) | (q[1] << 8) | q[0];
      } else if (bpp == 24) {
        const uint8_t *q = row + 3 * x;
        argb = 0xFF000000u | (q[2] << 16) | (q[1] << 8) | q[0];
      } else if (bpp == 8 || bpp == 4 || bpp == 1) {
        unsigned index = bpp == 8 ? row[x] : bpp == 4 ? (row[x / 2] >> (x % 2 ? 0 : 4)) & 15 : (row[x / 8] >> (7 - x % 8)) & 1;
        if (index >= colors) index = 0;
        const uint8_t *q = palette + 4 * index;
        argb = 0xFF000000u | (q[2] << 16) | (q[1] << 8) | q[0];
      } else {
        return false;
      }
      bool transparent = (mrow[x / 8] >> (7 - x % 8)) & 1;
      if (bpp != 32 || (argb >> 24) == 0) argb = transparent ? 0 : (argb | 0xFF000000u);
      out->argb[size_t(y) * width + x] = argb;
    }
  }
  return true;
}

HICON LoadGroupIcon(LPCSTR name) {
  res::Blob group;
  if (!res::Find(RT_GROUP_ICON, name, &group) || group.size < 6) return nullptr;
  unsigned count = Word(group.data + 4);
  auto icon = std::make_unique<Icon>();
  for (unsigned i = 0; i < count && 6 + 14 * (i + 1) <= group.size; ++i) {
    const uint8_t *entry = group.data + 6 + 14 * i;
    unsigned id = Word(entry + 12);
    res::Blob image;
    IconImage decoded;
    if (res::Find(RT_ICON, MAKEINTRESOURCEA(id), &image) && DecodeIconDib(image, &decoded))
      icon->images.push_back(std::move(decoded));
  }
  if (icon->images.empty()) return nullptr;
  return reinterpret_cast<HICON>(R().icons.Add(std::move(icon)));
}

// A plain system icon: a window with a blue title bar.
HICON SystemIcon() {
  auto icon = std::make_unique<Icon>();
  for (int size : {16, 32}) {
    IconImage img;
    img.width = img.height = size;
    img.argb.assign(size_t(size) * size, 0xFFFFFFFFu);
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        bool border = x == 0 || y == 0 || x == size - 1 || y == size - 1;
        if (border) img.argb[size_t(y) * size + x] = 0xFF000000u;
        else if (y < size / 4) img.argb[size_t(y) * size + x] = 0xFF000080u;
      }
    icon->images.push_back(img);
  }
  return reinterpret_cast<HICON>(R().icons.Add(std::move(icon)));
}

std::string NameKey(LPCSTR name) {
  if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<uintptr_t>(name));
  std::string s = name;
  for (char &c : s) c = char(toupper((unsigned char)c));
  return s;
}

std::string Utf16ToAnsi(const uint8_t *&p, const uint8_t *end) {
  std::string s;
  while (end - p >= 2) {
    uint16_t c = Word(p);
    p += 2;
    if (!c) break;
    s.push_back(c < 256 ? char(c) : '?');
  }
  return s;
}

// Parses one level of a standard menu template; returns false when it is malformed.
bool ParseMenuLevel(const uint8_t *&p, const uint8_t *end, Menu *menu, int depth) {
  if (depth > 8) return false;
  while (end - p >= 2) {
    MenuItem item;
    UINT flags = Word(p);
    p += 2;
    item.flags = flags & ~UINT(MF_END);
    if (!(flags & MF_POPUP)) {
      if (end - p < 2) return false;
      item.id = Word(p);
      p += 2;
    }
    item.text = Utf16ToAnsi(p, end);
    if (flags & MF_POPUP) {
      auto sub = std::make_unique<Menu>();
      if (!ParseMenuLevel(p, end, sub.get(), depth + 1)) return false;
      item.popup = reinterpret_cast<HMENU>(R().menus.Add(std::move(sub)));
      if (!item.popup) return false;
    }
    if (item.text.empty() && !(flags & MF_POPUP) && item.id == 0) item.flags |= MF_SEPARATOR;
    menu->items.push_back(item);
    if (flags & MF_END) return true;
  }
  return false;
}

}  // namespace

bool GetIconImage(HICON handle, int size, IconImage *out) {
  Icon *icon = R().icons.Find(handle);
  if (!icon || icon->images.empty()) return false;
  const IconImage *best = &icon->images[0];
  for (const IconImage &img : icon->images)
    if (std::abs(img.width - size) < std::abs(best->width - size)) best = &img;
  *out = *best;
  return true;
}

void DrawIconOnScreen(HICON handle, int x, int y, int size, const pixman_region32_t *clip) {
  IconImage img;
  if (size <= 0 || !GetIconImage(handle, size, &img)) return;
  Screen &s = TheScreen();
  // Marked as a whole: clip and transparency leave parts untouched, which costs a host little.
  pixman_region32_t drawn;
  pixman_region32_init_rect(&drawn, x, y, unsigned(size), unsigned(size));
  if (clip) pixman_region32_intersect(&drawn, &drawn, const_cast<pixman_region32_t *>(clip));
  DamageScreen(&drawn);
  pixman_region32_fini(&drawn);
  for (int j = 0; j < size; ++j)
    for (int i = 0; i < size; ++i) {
      int sx = x + i, sy = y + j;
      if (sx < 0 || sy < 0 || sx >= s.width || sy >= s.height) continue;
      if (clip && !pixman_region32_contains_point(const_cast<pixman_region32_t *>(clip), sx, sy, nullptr)) continue;
      // Nearest pixel of the image at its own size.
      uint32_t argb = img.argb[size_t(j * img.height / size) * img.width + size_t(i * img.width / size)];
      unsigned a = argb >> 24;
      if (a == 0) continue;
      uint32_t &dst = s.pixels[size_t(sy) * s.width + sx];
      if (a == 255) {
        dst = argb & 0xFFFFFF;
        continue;
      }
      auto blend = [&](int shift) {
        unsigned sc = (argb >> shift) & 255, dc = (dst >> shift) & 255;
        return ((sc * a + dc * (255 - a)) / 255) << shift;
      };
      dst = blend(16) | blend(8) | blend(0);
    }
}

}  // namespace vd::user

using namespace vd;
using namespace vd::user;

bool vd::IconPixels(HICON icon, int size, std::vector<uint32_t> *argb) {
  IconImage img;
  if (size <= 0 || size > 1024 || !GetIconImage(icon, size, &img) || img.width <= 0 || img.height <= 0) return false;
  argb->resize(size_t(size) * size);
  for (int j = 0; j < size; ++j)
    for (int i = 0; i < size; ++i)
      (*argb)[size_t(j) * size + i] = img.argb[size_t(j * img.height / size) * img.width + size_t(i * img.width / size)];
  return true;
}

extern "C" {

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
  if (!name) return nullptr;
  std::string key = (instance ? "M" : "S") + NameKey(name);
  auto it = R().shared.find(key);
  if (it != R().shared.end()) return it->second;
  HICON icon = nullptr;
  if (!instance) {
    if (IS_INTRESOURCE(name) && reinterpret_cast<uintptr_t>(name) >= 32512) icon = SystemIcon();
  } else if (res::IsModule(instance)) {
    icon = LoadGroupIcon(name);
  }
  if (icon) R().shared[key] = icon;
  return icon;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  // Only the system cursors are known; each is a shared handle.
  if (instance || !IS_INTRESOURCE(name) || reinterpret_cast<uintptr_t>(name) < 32512) return nullptr;
  std::string key = "C" + NameKey(name);
  auto it = R().shared.find(key);
  if (it != R().shared.end()) return it->second;
  HICON cursor = SystemIcon();
  R().shared[key] = cursor;
  return cursor;
}

BOOL WINAPI DestroyIcon(HICON icon) {
  for (auto &entry : R().shared)
    if (entry.second == icon) return TRUE;  // shared icons live as long as the module
  return R().icons.Remove(icon) ? TRUE : FALSE;
}

BOOL WINAPI DrawIcon(HDC hdc, int x, int y, HICON icon) {
  if (!R().icons.Find(icon)) return FALSE;
  // Where the context may draw now, BeginPaint's update region included.
  pixman_region32_t area;
  pixman_region32_init(&area);
  POINT origin{0, 0};
  bool ok = gdi::WindowDCArea(hdc, &area, &origin);
  if (ok) DrawIconOnScreen(icon, origin.x + x, origin.y + y, 32, &area);
  pixman_region32_fini(&area);
  return ok ? TRUE : FALSE;
}

HMENU WINAPI LoadMenuA(HINSTANCE instance, LPCSTR name) {
  res::Blob blob;
  if (!instance || !res::IsModule(instance) || !res::Find(RT_MENU, name, &blob) || blob.size < 4) return nullptr;
  const uint8_t *p = blob.data + 4 + Word(blob.data + 2);  // MENUHEADER: version, header size
  const uint8_t *end = blob.data + blob.size;
  if (p > end) return nullptr;
  auto menu = std::make_unique<Menu>();
  if (!ParseMenuLevel(p, end, menu.get(), 0)) return nullptr;
  return reinterpret_cast<HMENU>(R().menus.Add(std::move(menu)));
}

// Strings come in blocks of sixteen, block n + 1 holding ids 16n to 16n + 15,
// each a length-counted UTF-16 string. The string is copied to at most
// size - 1 characters and ended with a zero; the answer is how many were
// copied, 0 when there is no such string.
int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
  res::Blob blob;
  if (!buffer || size <= 0) return 0;
  buffer[0] = '\0';
  if (!res::IsModule(instance) || !res::Find(RT_STRING, MAKEINTRESOURCEA((id >> 4) + 1), &blob)) return 0;
  const uint8_t *p = blob.data, *end = blob.data + blob.size;
  for (UINT i = 0; i < (id & 15); ++i) {
    if (end - p < 2) return 0;
    p += 2 + 2 * size_t(Word(p));
  }
  if (end - p < 2) return 0;
  size_t length = Word(p);
  p += 2;
  if (size_t(end - p) < 2 * length) return 0;
  int n = 0;
  for (; size_t(n) < length && n < size - 1; ++n) {
    WORD c = Word(p + 2 * n);
    buffer[n] = c < 256 ? char(c) : '?';  // the Latin-1 part of the code page
  }
  buffer[n] = '\0';
  return n;
}

HMENU WINAPI GetSubMenu(HMENU handle, int pos) {
  Menu *menu = R().menus.Find(handle);
  if (!menu || pos < 0 || size_t(pos) >= menu->items.size()) return nullptr;
  return menu->items[size_t(pos)].popup;
}

int WINAPI GetMenuItemCount(HMENU handle) {
  Menu *menu = R().menus.Find(handle);
  return menu ? int(menu->items.size()) : -1;
}

UINT WINAPI GetMenuItemID(HMENU handle, int pos) {
  Menu *menu = R().menus.Find(handle);
  if (!menu || pos < 0 || size_t(pos) >= menu->items.size()) return UINT(-1);
  const MenuItem &item = menu->items[size_t(pos)];
  return item.popup ? UINT(-1) : item.id;
}

int WINAPI GetMenuStringA(HMENU handle, UINT item, LPSTR text, int maxCount, UINT flags) {
  Menu *menu = R().menus.Find(handle);
  if (!menu) return 0;
  const MenuItem *found = nullptr;
  if (flags & MF_BYPOSITION) {
    if (item < menu->items.size()) found = &menu->items[item];
  } else {
    for (const MenuItem &m : menu->items)
      if (!m.popup && m.id == item) found = &m;
  }
  if (!found) return 0;
  if (!text || maxCount <= 0) return int(found->text.size());
  size_t n = std::min(found->text.size(), size_t(maxCount) - 1);
  std::memcpy(text, found->text.data(), n);
  text[n] = 0;
  return int(n);
}

BOOL WINAPI DestroyMenu(HMENU handle) { return R().menus.Remove(handle) ? TRUE : FALSE; }

HMENU WINAPI CreatePopupMenu(void) { return reinterpret_cast<HMENU>(R().menus.Add(std::make_unique<Menu>())); }

BOOL WINAPI AppendMenuA(HMENU handle, UINT flags, UINT_PTR id, LPCSTR text) {
  Menu *menu = R().menus.Find(handle);
  if (!menu) return FALSE;
  MenuItem item;
  item.flags = flags;
  if (flags & MF_POPUP)
    item.popup = reinterpret_cast<HMENU>(id);
  else
    item.id = UINT(id);
  if (!(flags & MF_SEPARATOR) && text) item.text = text;
  menu->items.push_back(item);
  return TRUE;
}

}  // extern "C"

namespace vd::user {

bool MenuItemsOf(HMENU handle, std::vector<std::pair<UINT, std::string>> *out) {
  Menu *menu = R().menus.Find(handle);
  if (!menu) return false;
  out->clear();
  for (const MenuItem &m : menu->items) out->emplace_back(m.popup ? 0 : m.id, m.text);
  return true;
}

}  // namespace vd::user

namespace vd {
std::vector<std::pair<UINT, std::string>> MenuItems(HMENU menu) {
  std::vector<std::pair<UINT, std::string>> items;
  user::MenuItemsOf(menu, &items);
  return items;
}
}  // namespace vd
