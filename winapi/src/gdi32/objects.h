// Inside gdi32: the objects behind the handles, the device contexts, and the
// pixel surfaces that drawing lands on.
#pragma once

#include <pixman.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "core/handles.h"
#include "core/platform.h"
#include "gdi32/gdi.h"
#include "windows.h"

namespace vd::gdi {

// Object types as GetObjectType names them.
constexpr int kObjPen = 1;
constexpr int kObjBrush = 2;
constexpr int kObjDC = 3;
constexpr int kObjFont = 6;
constexpr int kObjBitmap = 7;
constexpr int kObjRegion = 8;
constexpr int kObjMemDC = 10;

constexpr COLORREF kClrInvalid = 0xFFFFFFFF;

// Windows refuses new GDI objects past the per-process quota (10,000 by default).
constexpr size_t kHandleQuota = 10000;

// A pixel as the surfaces hold it: 0x00RRGGBB. A monochrome surface holds
// only kBlack (bit 0) and kWhite (bit 1), so raster operations work the same
// on both kinds.
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;

uint32_t PixelFromColor(COLORREF color);
COLORREF ColorFromPixel(uint32_t pixel);
// The nearer of black and white, as drawing a colour on a monochrome surface gives.
uint32_t MonoFromPixel(uint32_t pixel);

struct Object {
  explicit Object(int t) : type(t) {}
  virtual ~Object() = default;
  const int type;
  bool stock = false;  // stock and system objects: DeleteObject ignores them
  int selections = 0;  // contexts that hold it now
};

struct Region : Object {
  static constexpr int kType = kObjRegion;
  Region() : Object(kType) { pixman_region32_init(&rgn); }
  ~Region() override { pixman_region32_fini(&rgn); }
  Region(const Region &) = delete;
  Region &operator=(const Region &) = delete;
  pixman_region32_t rgn;
};

struct Bitmap : Object {
  static constexpr int kType = kObjBitmap;
  Bitmap(int w, int h, int bpp) : Object(kType), width(w), height(h), bitsPixel(bpp), pixels(size_t(w) * h, kBlack) {}
  bool Mono() const { return bitsPixel == 1; }
  int width;
  int height;
  int bitsPixel;  // the depth GetObjectA reports; the pixels are 32-bit whatever it is
  std::vector<uint32_t> pixels;
  HDC selectedIn = nullptr;
  bool dibSection = false;  // its pixels are the caller's bits: BGRX, rows top down
};

struct Brush : Object {
  static constexpr int kType = kObjBrush;
  Brush(COLORREF c, bool isHollow) : Object(kType), color(c), hollow(isHollow) {}
  COLORREF color;
  bool hollow;
};

struct Pen : Object {
  static constexpr int kType = kObjPen;
  Pen(int s, COLORREF c) : Object(kType), style(s), color(c) {}
  int style;  // PS_SOLID 0, PS_NULL 5
  COLORREF color;
};

struct Font : Object {
  static constexpr int kType = kObjFont;
  Font() : Object(kType) {}
  int stockIndex = -1;
  std::unique_ptr<FontData> data;
};

// A context's attributes: what SaveDC keeps whole and RestoreDC puts back.
struct DCSettings {
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF bkColor = RGB(255, 255, 255);
  int bkMode = OPAQUE;
  int mapMode = MM_TEXT;
  int graphicsMode = GM_COMPATIBLE;
  UINT textAlign = TA_LEFT | TA_TOP;
  // MM_TEXT mapping: device = logical - windowOrg + viewportOrg. The world
  // transform is always the identity (only MWT_IDENTITY is offered).
  POINT viewportOrg{0, 0};
  POINT windowOrg{0, 0};
};

// What SaveDC keeps of a context and RestoreDC puts back.
struct SavedDC {
  SavedDC() { pixman_region32_init(&clipRgn); }
  ~SavedDC() { pixman_region32_fini(&clipRgn); }
  SavedDC(const SavedDC &) = delete;
  SavedDC &operator=(const SavedDC &) = delete;
  HBITMAP bitmapHandle = nullptr;
  HBRUSH brushHandle = nullptr;
  HPEN penHandle = nullptr;
  HFONT fontHandle = nullptr;
  DCSettings settings;
  bool hasClipRgn = false;
  pixman_region32_t clipRgn;
};

struct DC : DCSettings {
  DC();
  ~DC();
  DC(const DC &) = delete;
  DC &operator=(const DC &) = delete;

  bool memory = true;
  HWND hwnd = nullptr;  // window contexts
  bool client = true;

  HBITMAP bitmapHandle = nullptr;  // memory contexts always hold one
  Bitmap *bitmap = nullptr;
  HBRUSH brushHandle = nullptr;
  Brush *brush = nullptr;
  HPEN penHandle = nullptr;
  HFONT fontHandle = nullptr;

  std::vector<std::unique_ptr<SavedDC>> saved;  // SaveDC's stack, level 1 first

  bool hasExtraClip = false;
  pixman_region32_t extraClip;  // screen coordinates (BeginPaint's update region)
  bool hasClipRgn = false;
  pixman_region32_t clipRgn;  // SelectObject of a region: device units from the context's origin

  // Where the last operation could draw, kept to spare an allocation per call.
  pixman_region32_t area;
  pixman_region32_t scratch;
};

// A context's pixels for one operation: borrowed, valid until the desktop changes.
struct Surface {
  uint32_t *pixels = nullptr;
  int stride = 0;  // in pixels
  int width = 0;
  int height = 0;
  bool mono = false;
  bool screen = false;  // the screen's pixels: what is drawn is marked as damage
  int originX = 0;  // the surface point that is logical (0, 0): window origin and the context's mapping
  int originY = 0;
  const pixman_box32_t *boxes = nullptr;  // where drawing may land, device coordinates, y-x banded
  int boxCount = 0;
  pixman_box32_t bounds{};  // storage for a memory context's single box
};

struct State {
  State();
  HandleTable<Object> objects{0x20000010, 0x30000000};
  HandleTable<DC> dcs{0x30000010, 0x40000000};
  HGDIOBJ stock[18] = {};
  HBITMAP defaultBitmap = nullptr;  // the 1x1 monochrome bitmap of a fresh memory context
  HBRUSH sysBrushes[31] = {};
  HFONT uiFonts[size_t(UiFont::Count)] = {};  // the window manager's own fonts (SystemUiFont)
  int stockCount = 0;
  uint64_t created = 0;  // objects made since the reset, stock ones excluded
  void CreateStockObjects();
};
State &S();

template <typename T>
T *Find(const void *handle) {
  if (!handle) return nullptr;
  Object *o = S().objects.Find(reinterpret_cast<uintptr_t>(handle));
  return o && o->type == T::kType ? static_cast<T *>(o) : nullptr;
}
DC *FindDC(HDC hdc);
// Adds a created object, or answers nullptr past the quota.
HGDIOBJ AddObject(std::unique_ptr<Object> object);
bool QuotaReached();

// The surface a context draws on. With `forDrawing` the clip boxes are worked
// out too (the window's drawable area, BeginPaint's clip, a selected region).
void GetSurface(DC &dc, Surface *out, bool forDrawing);

// Marks a device box of a screen surface as drawn (nothing for a bitmap).
inline void MarkDrawn(const Surface &s, const pixman_box32_t &box) {
  if (s.screen) DamageScreen(box.x1, box.y1, box.x2, box.y2);
}

// Fills the logical-rectangle part of a surface's clip with a pixel.
void FillSurface(const Surface &s, int left, int top, int right, int bottom, uint32_t pixel);

// Makes a bitmap from a packed DIB (header, colour table, bits), as
// LoadBitmapA does; nullptr when the data is not a DIB it can read.
HBITMAP BitmapFromPackedDib(const uint8_t *data, size_t size);

}  // namespace vd::gdi
