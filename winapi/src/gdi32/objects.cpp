// The GDI object table: stock objects, brushes, system colours, deletion,
// GetObjectA, and the counts tests and hosts observe.
#include <algorithm>
#include <cstring>

#include "core/platform.h"
#include "gdi32/font.h"
#include "gdi32/objects.h"
#include "vdesktop.h"

namespace vd::gdi {
namespace {

constexpr int kStockCount = 18;
constexpr int kSysColorCount = 31;

// The classic "Windows Standard" scheme, which the desktop's own drawing follows.
constexpr COLORREF kSysColors[kSysColorCount] = {
    RGB(192, 192, 192),  // COLOR_SCROLLBAR
    RGB(0, 128, 128),    // COLOR_BACKGROUND
    RGB(0, 0, 128),      // COLOR_ACTIVECAPTION
    RGB(128, 128, 128),  // COLOR_INACTIVECAPTION
    RGB(192, 192, 192),  // COLOR_MENU
    RGB(255, 255, 255),  // COLOR_WINDOW
    RGB(0, 0, 0),        // COLOR_WINDOWFRAME
    RGB(0, 0, 0),        // COLOR_MENUTEXT
    RGB(0, 0, 0),        // COLOR_WINDOWTEXT
    RGB(255, 255, 255),  // COLOR_CAPTIONTEXT
    RGB(192, 192, 192),  // COLOR_ACTIVEBORDER
    RGB(192, 192, 192),  // COLOR_INACTIVEBORDER
    RGB(128, 128, 128),  // COLOR_APPWORKSPACE
    RGB(0, 0, 128),      // COLOR_HIGHLIGHT
    RGB(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
    RGB(192, 192, 192),  // COLOR_BTNFACE
    RGB(128, 128, 128),  // COLOR_BTNSHADOW
    RGB(128, 128, 128),  // COLOR_GRAYTEXT
    RGB(0, 0, 0),        // COLOR_BTNTEXT
    RGB(192, 192, 192),  // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255),  // COLOR_BTNHIGHLIGHT
    RGB(0, 0, 0),        // COLOR_3DDKSHADOW
    RGB(192, 192, 192),  // COLOR_3DLIGHT
    RGB(0, 0, 0),        // COLOR_INFOTEXT
    RGB(255, 255, 225),  // COLOR_INFOBK
    RGB(180, 180, 180),  // (unnamed)
    RGB(0, 0, 255),      // COLOR_HOTLIGHT
    RGB(16, 132, 208),   // COLOR_GRADIENTACTIVECAPTION
    RGB(181, 181, 181),  // COLOR_GRADIENTINACTIVECAPTION
    RGB(0, 0, 128),      // COLOR_MENUHILIGHT
    RGB(192, 192, 192),  // COLOR_MENUBAR
};

// The 20 static colours of the default palette, for PALETTEINDEX colours.
constexpr COLORREF kDefaultPalette[20] = {
    RGB(0, 0, 0),       RGB(128, 0, 0),     RGB(0, 128, 0),     RGB(128, 128, 0),   RGB(0, 0, 128),
    RGB(128, 0, 128),   RGB(0, 128, 128),   RGB(192, 192, 192), RGB(192, 220, 192), RGB(166, 202, 240),
    RGB(255, 251, 240), RGB(160, 160, 164), RGB(128, 128, 128), RGB(255, 0, 0),     RGB(0, 255, 0),
    RGB(255, 255, 0),   RGB(0, 0, 255),     RGB(255, 0, 255),   RGB(0, 255, 255),   RGB(255, 255, 255),
};

// LOGBRUSH and LOGPEN as Win64 lays them out; GetObjectA fills them.
struct LogBrush {
  UINT lbStyle;
  COLORREF lbColor;
  ULONG_PTR lbHatch;
};
struct LogPen {
  UINT lopnStyle;
  POINT lopnWidth;
  COLORREF lopnColor;
};
constexpr UINT kBsSolid = 0;
constexpr UINT kBsNull = 1;
constexpr int kPsSolid = 0;
constexpr int kPsNull = 5;

template <typename T, typename... Args>
HGDIOBJ AddStock(State &s, Args &&...args) {
  auto object = std::make_unique<T>(std::forward<Args>(args)...);
  object->stock = true;
  ++s.stockCount;
  return reinterpret_cast<HGDIOBJ>(s.objects.Add(std::move(object)));
}

HGDIOBJ AddStockFont(State &s, int index, const LOGFONTA &lf) {
  auto font = std::make_unique<Font>();
  font->stock = true;
  font->stockIndex = index;
  font->data = std::make_unique<LogicalFont>(lf);
  ++s.stockCount;
  return reinterpret_cast<HGDIOBJ>(s.objects.Add(std::move(font)));
}

int GetBitmapObject(const Bitmap &b, int size, void *out) {
  if (!out) return int(sizeof(BITMAP));
  if (size < int(sizeof(BITMAP))) return 0;
  BITMAP bm{};
  bm.bmType = 0;
  bm.bmWidth = b.width;
  bm.bmHeight = b.height;
  bm.bmWidthBytes = ((b.width * b.bitsPixel + 15) / 16) * 2;  // device bitmaps have word-aligned rows
  bm.bmPlanes = 1;
  bm.bmBitsPixel = WORD(b.bitsPixel);
  bm.bmBits = nullptr;
  if (b.dibSection) {
    // A section's rows are DWORD-aligned and its bits are the caller's.
    bm.bmWidthBytes = ((b.width * b.bitsPixel + 31) / 32) * 4;
    bm.bmBits = const_cast<uint32_t *>(b.pixels.data());
  }
  std::memcpy(out, &bm, sizeof bm);
  return int(sizeof bm);
}

int GetBrushObject(const Brush &b, int size, void *out) {
  if (!out) return int(sizeof(LogBrush));
  LogBrush lb{b.hollow ? kBsNull : kBsSolid, b.color, 0};
  int n = std::clamp(size, 0, int(sizeof lb));
  std::memcpy(out, &lb, size_t(n));
  return n;
}

int GetPenObject(const Pen &p, int size, void *out) {
  if (!out) return int(sizeof(LogPen));
  if (size < int(sizeof(LogPen))) return 0;
  LogPen lp{UINT(p.style), POINT{p.style == kPsNull ? 0 : 1, 0}, p.color};
  std::memcpy(out, &lp, sizeof lp);
  return int(sizeof lp);
}

// Early, so that libraries resetting after it may create objects on a fresh table.
ResetHook gdiReset(5, ResetAll);

}  // namespace

uint32_t PixelFromColor(COLORREF color) {
  if ((color >> 24) == 0x01) {  // PALETTEINDEX: an entry of the default palette
    unsigned index = color & 0xFFFF;
    color = index < 20 ? kDefaultPalette[index] : kDefaultPalette[0];
  }
  return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

COLORREF ColorFromPixel(uint32_t pixel) {
  return ((pixel & 0xFF) << 16) | (pixel & 0xFF00) | ((pixel >> 16) & 0xFF);
}

uint32_t MonoFromPixel(uint32_t pixel) {
  int r = int(pixel >> 16 & 0xFF), g = int(pixel >> 8 & 0xFF), b = int(pixel & 0xFF);
  int toBlack = r * r + g * g + b * b;
  int toWhite = (255 - r) * (255 - r) + (255 - g) * (255 - g) + (255 - b) * (255 - b);
  return toWhite < toBlack ? kWhite : kBlack;
}

State::State() { CreateStockObjects(); }

void State::CreateStockObjects() {
  stockCount = 0;
  std::fill(std::begin(stock), std::end(stock), nullptr);
  stock[WHITE_BRUSH] = AddStock<Brush>(*this, RGB(255, 255, 255), false);
  stock[LTGRAY_BRUSH] = AddStock<Brush>(*this, RGB(192, 192, 192), false);
  stock[GRAY_BRUSH] = AddStock<Brush>(*this, RGB(128, 128, 128), false);
  stock[DKGRAY_BRUSH] = AddStock<Brush>(*this, RGB(64, 64, 64), false);
  stock[BLACK_BRUSH] = AddStock<Brush>(*this, RGB(0, 0, 0), false);
  stock[NULL_BRUSH] = AddStock<Brush>(*this, RGB(0, 0, 0), true);
  stock[WHITE_PEN] = AddStock<Pen>(*this, kPsSolid, RGB(255, 255, 255));
  stock[BLACK_PEN] = AddStock<Pen>(*this, kPsSolid, RGB(0, 0, 0));
  stock[NULL_PEN] = AddStock<Pen>(*this, kPsNull, RGB(0, 0, 0));
  for (int index : {OEM_FIXED_FONT, ANSI_FIXED_FONT, ANSI_VAR_FONT, SYSTEM_FONT, DEVICE_DEFAULT_FONT,
                    SYSTEM_FIXED_FONT, DEFAULT_GUI_FONT})
    stock[index] = AddStockFont(*this, index, StockLogFont(index));
  for (int i = 0; i < int(UiFont::Count); ++i)
    uiFonts[i] = static_cast<HFONT>(AddStockFont(*this, -1, UiLogFont(UiFont(i))));
  defaultBitmap = static_cast<HBITMAP>(AddStock<Bitmap>(*this, 1, 1, 1));
  for (int i = 0; i < kSysColorCount; ++i)
    sysBrushes[i] = static_cast<HBRUSH>(AddStock<Brush>(*this, kSysColors[i], false));
}

State &S() {
  static State state;
  return state;
}

DC *FindDC(HDC hdc) { return hdc ? S().dcs.Find(reinterpret_cast<uintptr_t>(hdc)) : nullptr; }

bool QuotaReached() {
  State &s = S();
  return s.objects.Size() - size_t(s.stockCount) + s.dcs.Size() >= kHandleQuota;
}

HGDIOBJ AddObject(std::unique_ptr<Object> object) {
  if (QuotaReached()) return nullptr;
  ++S().created;
  return reinterpret_cast<HGDIOBJ>(S().objects.Add(std::move(object)));
}

void ResetAll() {
  State &s = S();
  s.dcs.Clear();
  s.objects.Clear();
  s.CreateStockObjects();
}

bool BrushColor(HBRUSH brush, COLORREF *color) {
  // Like FillRect and a class background, a system colour index + 1 stands for its brush.
  uintptr_t value = reinterpret_cast<uintptr_t>(brush);
  if (value >= 1 && value <= uintptr_t(kSysColorCount)) brush = S().sysBrushes[value - 1];
  Brush *b = Find<Brush>(brush);
  if (!b || b->hollow) return false;
  if (color) *color = b->color;
  return true;
}

HFONT AddFont(std::unique_ptr<FontData> data) {
  auto font = std::make_unique<Font>();
  font->data = std::move(data);
  return static_cast<HFONT>(AddObject(std::move(font)));
}

const FontData *FontDataOf(HFONT font) {
  Font *f = Find<Font>(font);
  return f ? f->data.get() : nullptr;
}

HFONT SystemUiFont(UiFont which) {
  int i = int(which);
  return i >= 0 && i < int(UiFont::Count) ? S().uiFonts[i] : nullptr;
}

int StockFontIndex(HFONT font) {
  Font *f = Find<Font>(font);
  return f ? f->stockIndex : -1;
}

}  // namespace vd::gdi

namespace vd {

int LiveGdiObjects() {
  int n = 0;
  gdi::S().objects.ForEach([&](uintptr_t, const gdi::Object &o) { n += o.stock ? 0 : 1; });
  return n;
}

uint64_t GdiObjectsCreated() { return gdi::S().created; }

int LiveGdiObjects(int type) {
  int n = 0;
  gdi::S().objects.ForEach([&](uintptr_t, const gdi::Object &o) { n += !o.stock && o.type == type ? 1 : 0; });
  return n;
}

}  // namespace vd

using namespace vd::gdi;

extern "C" {

HGDIOBJ WINAPI GetStockObject(int index) {
  if (index < 0 || index >= kStockCount) return nullptr;
  return S().stock[index];
}

BOOL WINAPI DeleteObject(HGDIOBJ obj) {
  Object *o = obj ? S().objects.Find(reinterpret_cast<uintptr_t>(obj)) : nullptr;
  if (!o) return FALSE;
  if (o->stock) return TRUE;  // deleting a stock object is allowed and does nothing
  if (o->selections > 0) return FALSE;  // still selected into a device context
  S().objects.Remove(reinterpret_cast<uintptr_t>(obj));
  return TRUE;
}

int WINAPI GetObjectA(HANDLE obj, int size, LPVOID out) {
  Object *o = obj ? S().objects.Find(reinterpret_cast<uintptr_t>(obj)) : nullptr;
  if (!o) return 0;
  switch (o->type) {
    case kObjBitmap:
      return GetBitmapObject(static_cast<Bitmap &>(*o), size, out);
    case kObjBrush:
      return GetBrushObject(static_cast<Brush &>(*o), size, out);
    case kObjPen:
      return GetPenObject(static_cast<Pen &>(*o), size, out);
    case kObjFont: {
      const Font &f = static_cast<Font &>(*o);
      return f.data ? f.data->GetObject(size, out) : 0;
    }
    default:
      return 0;  // regions have no GetObjectA form
  }
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
  return static_cast<HBRUSH>(AddObject(std::make_unique<Brush>(color, false)));
}

DWORD WINAPI GetSysColor(int index) {
  if (index < 0 || index >= kSysColorCount) return 0;
  return kSysColors[index];
}

HBRUSH WINAPI GetSysColorBrush(int index) {
  if (index < 0 || index >= kSysColorCount) return nullptr;
  return S().sysBrushes[index];
}

}  // extern "C"
