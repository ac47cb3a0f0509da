// Device contexts: memory contexts holding a bitmap, window contexts drawing
// on the screen where the window manager allows, their attributes and the
// objects selected into them.
#include <algorithm>
#include <cmath>

#include "core/platform.h"
#include "gdi32/objects.h"
#include "user32/user.h"
#include "vdesktop.h"

namespace vd::gdi {
namespace {

// GetDeviceCaps indexes beyond those windows.h names.
constexpr int kTechnology = 2;
constexpr int kRasterCaps = 38;
constexpr int kAspectX = 40;
constexpr int kAspectY = 42;
constexpr int kAspectXY = 44;
constexpr int kSizePalette = 104;
constexpr int kNumReserved = 106;
constexpr int kColorRes = 108;
constexpr int kVRefresh = 116;
constexpr int kDesktopVertRes = 117;
constexpr int kDesktopHorzRes = 118;
constexpr int kDtRasDisplay = 1;
constexpr int kRcBitBlt = 0x0001, kRcBitmap64 = 0x0008, kRcDiBitmap = 0x0080, kRcPalette = 0x0100,
              kRcDibToDev = 0x0200, kRcStretchBlt = 0x0800, kRcStretchDib = 0x2000;
constexpr int kDpi = 96;
constexpr int kStaticColours = 20;  // the system palette's reserved entries

int Millimetres(int pixels) { return int(std::lround(pixels * 25.4 / kDpi)); }

HGDIOBJ const kHgdiError = reinterpret_cast<HGDIOBJ>(intptr_t(-1));

void Select(Object *o) {
  if (o) ++o->selections;
}
void Deselect(Object *o) {
  if (o && o->selections > 0) --o->selections;
}

HDC AddDC(std::unique_ptr<DC> dc) {
  if (QuotaReached()) return nullptr;
  State &s = S();
  dc->brushHandle = static_cast<HBRUSH>(s.stock[WHITE_BRUSH]);
  dc->brush = Find<Brush>(dc->brushHandle);
  dc->penHandle = static_cast<HPEN>(s.stock[BLACK_PEN]);
  dc->fontHandle = static_cast<HFONT>(s.stock[SYSTEM_FONT]);
  if (dc->memory) {
    dc->bitmapHandle = s.defaultBitmap;
    dc->bitmap = Find<Bitmap>(s.defaultBitmap);
  }
  return reinterpret_cast<HDC>(s.dcs.Add(std::move(dc)));
}

// Lets go of everything a context holds, before it goes.
void ReleaseSelections(DC &dc) {
  if (dc.bitmap && !dc.bitmap->stock) {
    dc.bitmap->selectedIn = nullptr;
    Deselect(dc.bitmap);
  }
  Deselect(dc.brush);
  Deselect(S().objects.Find(reinterpret_cast<uintptr_t>(dc.penHandle)));
  Deselect(S().objects.Find(reinterpret_cast<uintptr_t>(dc.fontHandle)));
}

bool RemoveDC(HDC hdc) {
  DC *dc = FindDC(hdc);
  if (!dc) return false;
  ReleaseSelections(*dc);
  return S().dcs.Remove(reinterpret_cast<uintptr_t>(hdc));
}

HGDIOBJ SelectBitmap(HDC hdc, DC &dc, HBITMAP handle, Bitmap &b) {
  if (!dc.memory) return nullptr;  // only memory contexts hold bitmaps
  if (dc.bitmap == &b) return handle;
  if (!b.stock && b.selectedIn) return nullptr;  // a bitmap lives in one context at a time
  // The context's device takes monochrome bitmaps and those of its own depth;
  // a DIB section goes into any memory context.
  if (!b.Mono() && !b.dibSection && b.bitsPixel != TheScreen().bitsPerPixel) return nullptr;
  HBITMAP previous = dc.bitmapHandle;
  if (dc.bitmap && !dc.bitmap->stock) {
    dc.bitmap->selectedIn = nullptr;
    Deselect(dc.bitmap);
  }
  dc.bitmapHandle = handle;
  dc.bitmap = &b;
  if (!b.stock) {
    b.selectedIn = hdc;
    Select(&b);
  }
  return previous;
}

template <typename H>
HGDIOBJ Swap(H &current, HGDIOBJ next) {
  H previous = current;
  Deselect(S().objects.Find(reinterpret_cast<uintptr_t>(previous)));
  Select(S().objects.Find(reinterpret_cast<uintptr_t>(next)));
  current = static_cast<H>(next);
  return previous;
}

// Device and logical points differ by the two origins (the MM_TEXT mapping,
// which every context here draws with): `direction` 1 maps logical points to
// device points, -1 back.
bool MapPoints(HDC hdc, POINT *points, int count, int direction) {
  DC *dc = FindDC(hdc);
  if (!dc || (count > 0 && !points)) return false;
  long long dx = (long long)dc->viewportOrg.x - dc->windowOrg.x, dy = (long long)dc->viewportOrg.y - dc->windowOrg.y;
  for (int i = 0; i < count; ++i) {
    points[i].x = LONG(points[i].x + direction * dx);
    points[i].y = LONG(points[i].y + direction * dy);
  }
  return true;
}

// Puts a saved object back; one that is gone (or a bitmap now in another
// context) leaves the current selection as it is.
void SelectHandle(HDC hdc, HGDIOBJ handle) {
  if (handle && S().objects.Find(reinterpret_cast<uintptr_t>(handle))) SelectObject(hdc, handle);
}

int RegionType(pixman_region32_t *r) {
  int n = pixman_region32_n_rects(r);
  return n == 0 ? NULLREGION : n == 1 ? SIMPLEREGION : COMPLEXREGION;
}

}  // namespace

DC::DC() {
  pixman_region32_init(&extraClip);
  pixman_region32_init(&clipRgn);
  pixman_region32_init(&area);
  pixman_region32_init(&scratch);
}

DC::~DC() {
  pixman_region32_fini(&extraClip);
  pixman_region32_fini(&clipRgn);
  pixman_region32_fini(&area);
  pixman_region32_fini(&scratch);
}

void GetSurface(DC &dc, Surface *out, bool forDrawing) {
  *out = Surface();
  if (dc.memory) {
    Bitmap &b = *dc.bitmap;
    out->pixels = b.pixels.data();
    out->stride = out->width = b.width;
    out->height = b.height;
    out->mono = b.Mono();
    out->bounds = pixman_box32_t{0, 0, b.width, b.height};
    if (forDrawing && dc.hasClipRgn) {
      pixman_region32_intersect_rect(&dc.area, &dc.clipRgn, 0, 0, unsigned(b.width), unsigned(b.height));
      out->boxes = pixman_region32_rectangles(&dc.area, &out->boxCount);
    } else {
      out->boxes = &out->bounds;
      out->boxCount = 1;
    }
    out->originX = dc.viewportOrg.x - dc.windowOrg.x;
    out->originY = dc.viewportOrg.y - dc.windowOrg.y;
    return;
  }
  Screen &screen = TheScreen();
  if (screen.pixels.size() != size_t(screen.width) * size_t(screen.height)) return;  // no desktop yet
  out->pixels = screen.pixels.data();
  out->screen = true;
  out->stride = out->width = screen.width;
  out->height = screen.height;
  out->bounds = pixman_box32_t{0, 0, screen.width, screen.height};
  POINT origin{0, 0};
  // A source only needs the origin: its area goes to scratch, so that a blit from a
  // context to itself keeps the destination's boxes.
  pixman_region32_t *area = forDrawing ? &dc.area : &dc.scratch;
  if (!user::DrawableArea(dc.hwnd, dc.client, area, &origin)) {
    // The window is gone: the context has nothing to draw on or read from.
    pixman_region32_clear(area);
    *out = Surface();
    return;
  }
  // The clip region is in device units from the window's origin; drawing
  // coordinates are logical and go through the context's mapping as well.
  out->originX = origin.x + dc.viewportOrg.x - dc.windowOrg.x;
  out->originY = origin.y + dc.viewportOrg.y - dc.windowOrg.y;
  if (!forDrawing) return;
  if (dc.hasExtraClip) pixman_region32_intersect(&dc.area, &dc.area, &dc.extraClip);
  if (dc.hasClipRgn) {
    pixman_region32_copy(&dc.scratch, &dc.clipRgn);
    pixman_region32_translate(&dc.scratch, origin.x, origin.y);
    pixman_region32_intersect(&dc.area, &dc.area, &dc.scratch);
  }
  pixman_region32_intersect_rect(&dc.area, &dc.area, 0, 0, unsigned(screen.width), unsigned(screen.height));
  out->boxes = pixman_region32_rectangles(&dc.area, &out->boxCount);
}

HDC CreateWindowDC(HWND hwnd, bool client) {
  auto dc = std::make_unique<DC>();
  dc->memory = false;
  dc->hwnd = hwnd;
  dc->client = client;
  return AddDC(std::move(dc));
}

void SetExtraClip(HDC hdc, const pixman_region32_t *screenRegion) {
  DC *dc = FindDC(hdc);
  if (!dc) return;
  dc->hasExtraClip = screenRegion != nullptr;
  if (screenRegion)
    pixman_region32_copy(&dc->extraClip, const_cast<pixman_region32_t *>(screenRegion));
  else
    pixman_region32_clear(&dc->extraClip);
}

bool ReleaseWindowDC(HDC hdc) {
  DC *dc = FindDC(hdc);
  if (!dc || dc->memory) return false;
  return RemoveDC(hdc);
}

HWND WindowOfDC(HDC hdc) {
  DC *dc = FindDC(hdc);
  return dc && !dc->memory ? dc->hwnd : nullptr;
}

bool WindowDCArea(HDC hdc, pixman_region32_t *out, POINT *origin) {
  DC *dc = FindDC(hdc);
  if (!dc || dc->memory) return false;
  Surface s;
  GetSurface(*dc, &s, true);
  if (out) {
    if (s.pixels)
      pixman_region32_copy(out, &dc->area);
    else
      pixman_region32_clear(out);
  }
  if (origin) *origin = POINT{s.originX, s.originY};
  return true;
}

HFONT CurrentFont(HDC hdc) {
  DC *dc = FindDC(hdc);
  return dc ? dc->fontHandle : nullptr;
}

bool GetTextState(HDC hdc, TextState *out) {
  DC *dc = FindDC(hdc);
  if (!dc || !out) return false;
  *out = TextState{dc->textColor, dc->bkColor, dc->bkMode};
  return true;
}

}  // namespace vd::gdi

namespace vd {
int LiveDCs() { return int(gdi::S().dcs.Size()); }
}  // namespace vd

using namespace vd::gdi;

extern "C" {

HDC WINAPI CreateCompatibleDC(HDC hdc) {
  if (hdc && !FindDC(hdc)) return nullptr;
  return AddDC(std::make_unique<DC>());
}

BOOL WINAPI DeleteDC(HDC hdc) {
  // Win32 lets DeleteDC end a window's context too.
  return RemoveDC(hdc) ? TRUE : FALSE;
}

// A copy of the region becomes the clip; no region removes the clip.
int WINAPI SelectClipRgn(HDC hdc, HRGN rgn) {
  DC *dc = FindDC(hdc);
  if (!dc) return ERROR;
  if (!rgn) {
    pixman_region32_clear(&dc->clipRgn);
    dc->hasClipRgn = false;
    return SIMPLEREGION;
  }
  Object *o = S().objects.Find(reinterpret_cast<uintptr_t>(rgn));
  if (!o || o->type != kObjRegion) return ERROR;
  pixman_region32_copy(&dc->clipRgn, &static_cast<Region *>(o)->rgn);
  dc->hasClipRgn = true;
  return RegionType(&dc->clipRgn);
}

// Takes the rectangle (logical units) out of the clip, which is kept in device
// units; without a clip, out of all the context can reach.
int WINAPI ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
  DC *dc = FindDC(hdc);
  if (!dc) return ERROR;
  if (!dc->hasClipRgn) {
    pixman_region32_fini(&dc->clipRgn);
    pixman_region32_init_rect(&dc->clipRgn, INT16_MIN, INT16_MIN, unsigned(INT16_MAX) * 2, unsigned(INT16_MAX) * 2);
    dc->hasClipRgn = true;
  }
  if (left < right && top < bottom) {
    POINT corners[2] = {{left, top}, {right, bottom}};
    MapPoints(hdc, corners, 2, 1);
    pixman_region32_t hole;
    pixman_region32_init_rect(&hole, corners[0].x, corners[0].y, unsigned(corners[1].x - corners[0].x),
                              unsigned(corners[1].y - corners[0].y));
    pixman_region32_subtract(&dc->clipRgn, &dc->clipRgn, &hole);
    pixman_region32_fini(&hole);
  }
  return RegionType(&dc->clipRgn);
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ obj) {
  DC *dc = FindDC(hdc);
  Object *o = obj ? S().objects.Find(reinterpret_cast<uintptr_t>(obj)) : nullptr;
  if (!o) return nullptr;
  if (o->type == kObjRegion) {
    // Selecting a region sets the clip region (a copy), in device units.
    if (!dc) return kHgdiError;
    pixman_region32_copy(&dc->clipRgn, &static_cast<Region *>(o)->rgn);
    dc->hasClipRgn = true;
    return reinterpret_cast<HGDIOBJ>(intptr_t(RegionType(&dc->clipRgn)));
  }
  if (!dc) return nullptr;
  switch (o->type) {
    case kObjBitmap:
      return SelectBitmap(hdc, *dc, static_cast<HBITMAP>(obj), static_cast<Bitmap &>(*o));
    case kObjBrush: {
      HGDIOBJ previous = Swap(dc->brushHandle, obj);
      dc->brush = static_cast<Brush *>(o);
      return previous;
    }
    case kObjPen:
      return Swap(dc->penHandle, obj);
    case kObjFont:
      return Swap(dc->fontHandle, obj);
    default:
      return nullptr;
  }
}

int WINAPI GetDeviceCaps(HDC hdc, int index) {
  if (!FindDC(hdc)) return 0;
  // Memory contexts answer for the display they are compatible with, whatever bitmap they hold.
  const vd::Screen &screen = vd::TheScreen();
  bool palette = screen.bitsPerPixel <= 8;
  switch (index) {
    case kTechnology:
      return kDtRasDisplay;
    case HORZSIZE:
      return vd::CurrentConfig().widthMm > 0 ? vd::CurrentConfig().widthMm : Millimetres(screen.width);
    case VERTSIZE:
      return vd::CurrentConfig().heightMm > 0 ? vd::CurrentConfig().heightMm : Millimetres(screen.height);
    case HORZRES:
    case kDesktopHorzRes:
      return screen.width;
    case VERTRES:
    case kDesktopVertRes:
      return screen.height;
    case BITSPIXEL:
      return screen.bitsPerPixel;
    case PLANES:
      return 1;
    case NUMCOLORS:
      // A palette-managed 8-bit display answers its 20 static (reserved)
      // colours, as Windows display drivers do; SIZEPALETTE gives the 256.
      if (!palette) return -1;
      return screen.bitsPerPixel == 8 ? kStaticColours : 1 << screen.bitsPerPixel;
    case kRasterCaps:
      return kRcBitBlt | kRcBitmap64 | kRcDiBitmap | kRcDibToDev | kRcStretchBlt | kRcStretchDib |
             (palette ? kRcPalette : 0);
    case kAspectX:
    case kAspectY:
      return 36;
    case kAspectXY:
      return 51;
    case LOGPIXELSX:
    case LOGPIXELSY:
      return kDpi;
    case kSizePalette:
      return palette ? 1 << screen.bitsPerPixel : 0;
    case kNumReserved:
      return palette ? kStaticColours : 0;
    case kColorRes:
      return palette ? 18 : 24;
    case kVRefresh:
      return 60;
    default:
      return 0;
  }
}

int WINAPI GetMapMode(HDC hdc) {
  DC *dc = FindDC(hdc);
  return dc ? dc->mapMode : 0;
}

// Coordinates stay device units whatever the mode: the program only ever uses MM_TEXT.
int WINAPI SetMapMode(HDC hdc, int mode) {
  DC *dc = FindDC(hdc);
  if (!dc || mode < MM_TEXT || mode > MM_ANISOTROPIC) return 0;
  int previous = dc->mapMode;
  dc->mapMode = mode;
  return previous;
}

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
  DC *dc = FindDC(hdc);
  if (!dc) return kClrInvalid;
  COLORREF previous = dc->textColor;
  dc->textColor = color;
  return previous;
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) {
  DC *dc = FindDC(hdc);
  if (!dc) return kClrInvalid;
  COLORREF previous = dc->bkColor;
  dc->bkColor = color;
  return previous;
}

int WINAPI SetBkMode(HDC hdc, int mode) {
  DC *dc = FindDC(hdc);
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int previous = dc->bkMode;
  dc->bkMode = mode;
  return previous;
}

COLORREF WINAPI GetTextColor(HDC hdc) {
  DC *dc = FindDC(hdc);
  return dc ? dc->textColor : kClrInvalid;
}

COLORREF WINAPI GetBkColor(HDC hdc) {
  DC *dc = FindDC(hdc);
  return dc ? dc->bkColor : kClrInvalid;
}

int WINAPI GetBkMode(HDC hdc) {
  DC *dc = FindDC(hdc);
  return dc ? dc->bkMode : 0;
}

UINT WINAPI SetTextAlign(HDC hdc, UINT align) {
  DC *dc = FindDC(hdc);
  if (!dc) return GDI_ERROR;
  UINT previous = dc->textAlign;
  dc->textAlign = align;
  return previous;
}

UINT WINAPI GetTextAlign(HDC hdc) {
  DC *dc = FindDC(hdc);
  return dc ? dc->textAlign : GDI_ERROR;
}

// Pushes the context's state; answers the new level (1 for the first), 0 on failure.
int WINAPI SaveDC(HDC hdc) {
  DC *dc = FindDC(hdc);
  if (!dc) return 0;
  auto state = std::make_unique<SavedDC>();
  state->bitmapHandle = dc->memory ? dc->bitmapHandle : nullptr;
  state->brushHandle = dc->brushHandle;
  state->penHandle = dc->penHandle;
  state->fontHandle = dc->fontHandle;
  state->settings = *dc;
  state->hasClipRgn = dc->hasClipRgn;
  pixman_region32_copy(&state->clipRgn, &dc->clipRgn);
  dc->saved.push_back(std::move(state));
  return int(dc->saved.size());
}

// A positive level restores that state, a negative one counts back from the
// latest; the states above it are dropped. 0 and levels not on the stack fail.
BOOL WINAPI RestoreDC(HDC hdc, int savedDC) {
  DC *dc = FindDC(hdc);
  if (!dc || savedDC == 0) return FALSE;
  long long depth = (long long)dc->saved.size();
  long long level = savedDC > 0 ? savedDC : depth + savedDC + 1;
  if (level < 1 || level > depth) return FALSE;
  std::unique_ptr<SavedDC> state = std::move(dc->saved[size_t(level - 1)]);
  dc->saved.resize(size_t(level - 1));
  SelectHandle(hdc, state->bitmapHandle);
  SelectHandle(hdc, state->brushHandle);
  SelectHandle(hdc, state->penHandle);
  SelectHandle(hdc, state->fontHandle);
  static_cast<DCSettings &>(*dc) = state->settings;
  dc->hasClipRgn = state->hasClipRgn;
  pixman_region32_copy(&dc->clipRgn, &state->clipRgn);
  return TRUE;
}

int WINAPI SetGraphicsMode(HDC hdc, int mode) {
  DC *dc = FindDC(hdc);
  if (!dc || (mode != GM_COMPATIBLE && mode != GM_ADVANCED)) return 0;
  int previous = dc->graphicsMode;
  dc->graphicsMode = mode;
  return previous;
}

int WINAPI GetGraphicsMode(HDC hdc) {
  DC *dc = FindDC(hdc);
  return dc ? dc->graphicsMode : 0;
}

// The world transform stays the identity: resetting it works in the advanced
// mode, as Win32 allows; other changes are refused.
BOOL WINAPI ModifyWorldTransform(HDC hdc, const XFORM *xform, DWORD mode) {
  (void)xform;
  DC *dc = FindDC(hdc);
  if (!dc || dc->graphicsMode != GM_ADVANCED) return FALSE;
  return mode == MWT_IDENTITY ? TRUE : FALSE;
}

BOOL WINAPI GetWorldTransform(HDC hdc, LPXFORM xform) {
  if (!FindDC(hdc) || !xform) return FALSE;
  *xform = XFORM{1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
  return TRUE;
}

BOOL WINAPI SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT previous) {
  DC *dc = FindDC(hdc);
  if (!dc) return FALSE;
  if (previous) *previous = dc->viewportOrg;
  dc->viewportOrg = POINT{x, y};
  return TRUE;
}

BOOL WINAPI GetViewportOrgEx(HDC hdc, LPPOINT origin) {
  DC *dc = FindDC(hdc);
  if (!dc || !origin) return FALSE;
  *origin = dc->viewportOrg;
  return TRUE;
}

BOOL WINAPI SetWindowOrgEx(HDC hdc, int x, int y, LPPOINT previous) {
  DC *dc = FindDC(hdc);
  if (!dc) return FALSE;
  if (previous) *previous = dc->windowOrg;
  dc->windowOrg = POINT{x, y};
  return TRUE;
}

BOOL WINAPI GetWindowOrgEx(HDC hdc, LPPOINT origin) {
  DC *dc = FindDC(hdc);
  if (!dc || !origin) return FALSE;
  *origin = dc->windowOrg;
  return TRUE;
}

BOOL WINAPI DPtoLP(HDC hdc, LPPOINT points, int count) { return MapPoints(hdc, points, count, -1) ? TRUE : FALSE; }

BOOL WINAPI LPtoDP(HDC hdc, LPPOINT points, int count) { return MapPoints(hdc, points, count, 1) ? TRUE : FALSE; }

}  // extern "C"
