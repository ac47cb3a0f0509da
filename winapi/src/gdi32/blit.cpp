// Pixel operations: BitBlt with its raster operations and colour conversions,
// single pixels, and solid fills (FillRect, FillRgn, the desktop's own painting).
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/platform.h"
#include "gdi32/objects.h"

namespace vd::gdi {
namespace {

constexpr int kSysColorBrushes = 31;

// Whether a raster operation reads the source, or the pattern (the brush).
bool RopUsesSource(DWORD rop) { return (((rop >> 2) ^ rop) & 0x330000) != 0; }
bool RopUsesPattern(DWORD rop) { return (((rop >> 4) ^ rop) & 0x0F0000) != 0; }

// Any ternary raster operation, bit by bit: the code's bit (P << 2 | S << 1 | D) is the result.
inline uint32_t Rop3(unsigned code, uint32_t p, uint32_t s, uint32_t d) {
  uint32_t r = 0;
  for (unsigned i = 0; i < 8; ++i)
    if (code >> i & 1) r |= (i & 4 ? p : ~p) & (i & 2 ? s : ~s) & (i & 1 ? d : ~d);
  return r & 0xFFFFFF;
}

// Source pixel loaders: the colour conversions between monochrome and colour surfaces.
struct Same {
  uint32_t operator()(uint32_t s) const { return s; }
};
struct MonoToColor {  // bit 0 takes the text colour, bit 1 the background colour
  uint32_t fg, bk;
  uint32_t operator()(uint32_t s) const { return s ? bk : fg; }
};
struct ColorToMono {  // the background colour becomes 1, every other colour 0
  uint32_t bk;
  uint32_t operator()(uint32_t s) const { return s == bk ? kWhite : kBlack; }
};

struct Rows {
  uint32_t *dst;
  int dstStride;
  const uint32_t *src;  // nullptr for operations without a source
  int srcStride;
  int width;
  int height;
};

template <typename Load>
void RunRop(unsigned code, const Rows &r, Load load, uint32_t pattern) {
  for (int row = 0; row < r.height; ++row) {
    uint32_t *d = r.dst + ptrdiff_t(row) * r.dstStride;
    const uint32_t *s = r.src + ptrdiff_t(row) * r.srcStride;
    int n = r.width;
    switch (code) {
      case 0xCC:  // SRCCOPY
        for (int i = 0; i < n; ++i) d[i] = load(s[i]);
        break;
      case 0xEE:  // SRCPAINT
        for (int i = 0; i < n; ++i) d[i] |= load(s[i]);
        break;
      case 0x88:  // SRCAND
        for (int i = 0; i < n; ++i) d[i] &= load(s[i]);
        break;
      case 0x66:  // SRCINVERT
        for (int i = 0; i < n; ++i) d[i] ^= load(s[i]);
        break;
      default:
        for (int i = 0; i < n; ++i) d[i] = Rop3(code, pattern, load(s[i]), d[i]);
        break;
    }
  }
}

void RunWithoutSource(unsigned code, const Rows &r, uint32_t pattern) {
  for (int row = 0; row < r.height; ++row) {
    uint32_t *d = r.dst + ptrdiff_t(row) * r.dstStride;
    switch (code) {
      case 0x00:  // BLACKNESS
        std::fill_n(d, r.width, kBlack);
        break;
      case 0xFF:  // WHITENESS
        std::fill_n(d, r.width, kWhite);
        break;
      case 0xF0:  // PATCOPY
        std::fill_n(d, r.width, pattern);
        break;
      default:
        for (int i = 0; i < r.width; ++i) d[i] = Rop3(code, pattern, 0, d[i]);
        break;
    }
  }
}

void RunRows(unsigned code, const Rows &r, int conversion, uint32_t fg, uint32_t bk, uint32_t pattern) {
  if (!r.src) return RunWithoutSource(code, r, pattern);
  if (conversion == 1) return RunRop(code, r, MonoToColor{fg, bk}, pattern);
  if (conversion == 2) return RunRop(code, r, ColorToMono{bk}, pattern);
  if (code == 0xCC) {
    for (int row = 0; row < r.height; ++row)
      std::memmove(r.dst + ptrdiff_t(row) * r.dstStride, r.src + ptrdiff_t(row) * r.srcStride,
                   size_t(r.width) * sizeof(uint32_t));
    return;
  }
  RunRop(code, r, Same{}, pattern);
}

// Win32's extent of a negative width or height: (x + w, x] rather than [x, x + w).
void NormaliseExtent(int &pos, int &extent) {
  if (extent < 0) {
    pos += extent + 1;
    extent = -extent;
  }
}

bool Intersect(const pixman_box32_t &a, const pixman_box32_t &b, pixman_box32_t *out) {
  out->x1 = std::max(a.x1, b.x1);
  out->y1 = std::max(a.y1, b.y1);
  out->x2 = std::min(a.x2, b.x2);
  out->y2 = std::min(a.y2, b.y2);
  return out->x1 < out->x2 && out->y1 < out->y2;
}

bool PointVisible(const Surface &s, int x, int y) {
  for (int i = 0; i < s.boxCount; ++i) {
    const pixman_box32_t &b = s.boxes[i];
    if (x >= b.x1 && x < b.x2 && y >= b.y1 && y < b.y2) return true;
  }
  return false;
}

// A logical rectangle as a device box, clamped to what 32-bit coordinates hold.
pixman_box32_t DeviceBox(const Surface &s, long long left, long long top, long long right, long long bottom) {
  auto clamp = [](long long v) { return int32_t(std::clamp<long long>(v, INT32_MIN / 2, INT32_MAX / 2)); };
  return pixman_box32_t{clamp(left + s.originX), clamp(top + s.originY), clamp(right + s.originX),
                        clamp(bottom + s.originY)};
}

void FillBox(const Surface &s, const pixman_box32_t &box, uint32_t pixel) {
  for (int i = 0; i < s.boxCount; ++i) {
    pixman_box32_t part;
    if (!Intersect(s.boxes[i], box, &part)) continue;
    MarkDrawn(s, part);
    for (int y = part.y1; y < part.y2; ++y)
      std::fill_n(s.pixels + ptrdiff_t(y) * s.stride + part.x1, part.x2 - part.x1, pixel);
  }
}

uint32_t SurfacePixel(const Surface &s, COLORREF color) {
  uint32_t p = PixelFromColor(color);
  return s.mono ? MonoFromPixel(p) : p;
}

Brush *ResolveBrush(HBRUSH brush) {
  // FillRect also takes a system colour index + 1 in place of a brush.
  uintptr_t value = reinterpret_cast<uintptr_t>(brush);
  if (value >= 1 && value <= uintptr_t(kSysColorBrushes)) brush = S().sysBrushes[value - 1];
  return Find<Brush>(brush);
}

// Reused between blits: a copy of the source when it overlaps the destination.
std::vector<uint32_t> &OverlapBuffer() {
  static std::vector<uint32_t> buffer;
  return buffer;
}

}  // namespace

void FillSurface(const Surface &s, int left, int top, int right, int bottom, uint32_t pixel) {
  FillBox(s, DeviceBox(s, left, top, right, bottom), pixel);
}

void FillScreen(const RECT &screenRect, COLORREF color, const pixman_region32_t *clip) {
  Screen &screen = TheScreen();
  if (screen.pixels.size() != size_t(screen.width) * size_t(screen.height)) return;
  Surface s;
  s.pixels = screen.pixels.data();
  s.screen = true;
  s.stride = s.width = screen.width;
  s.height = screen.height;
  pixman_region32_t area;
  pixman_region32_init_rect(&area, 0, 0, unsigned(screen.width), unsigned(screen.height));
  if (clip) pixman_region32_intersect(&area, &area, const_cast<pixman_region32_t *>(clip));
  s.boxes = pixman_region32_rectangles(&area, &s.boxCount);
  FillSurface(s, screenRect.left, screenRect.top, screenRect.right, screenRect.bottom, PixelFromColor(color));
  pixman_region32_fini(&area);
}

bool FillSolid(HDC hdc, const RECT &rect, COLORREF color) {
  DC *dc = FindDC(hdc);
  if (!dc) return false;
  Surface s;
  GetSurface(*dc, &s, true);
  if (s.pixels) FillSurface(s, rect.left, rect.top, rect.right, rect.bottom, SurfacePixel(s, color));
  return true;
}

bool PaintCoverage(HDC hdc, int x, int y, int width, int height, const uint8_t *coverage, int stride,
                   COLORREF color) {
  DC *dc = FindDC(hdc);
  if (!dc || !coverage || width <= 0 || height <= 0) return false;
  Surface s;
  GetSurface(*dc, &s, true);
  if (!s.pixels) return true;
  pixman_box32_t area = DeviceBox(s, x, y, (long long)x + width, (long long)y + height);
  uint32_t c = PixelFromColor(color);
  uint32_t mono = MonoFromPixel(c);
  int cr = int(c >> 16), cg = int(c >> 8 & 0xFF), cb = int(c & 0xFF);
  for (int i = 0; i < s.boxCount; ++i) {
    pixman_box32_t part;
    if (!Intersect(s.boxes[i], area, &part)) continue;
    MarkDrawn(s, part);
    for (int py = part.y1; py < part.y2; ++py) {
      const uint8_t *a = coverage + ptrdiff_t(py - area.y1) * stride - area.x1;
      uint32_t *d = s.pixels + ptrdiff_t(py) * s.stride;
      for (int px = part.x1; px < part.x2; ++px) {
        int alpha = a[px];
        if (alpha == 0) continue;
        if (s.mono) {
          if (alpha >= 128) d[px] = mono;
          continue;
        }
        uint32_t old = d[px];
        int inv = 255 - alpha;
        int r = (cr * alpha + int(old >> 16) * inv + 127) / 255;
        int g = (cg * alpha + int(old >> 8 & 0xFF) * inv + 127) / 255;
        int b = (cb * alpha + int(old & 0xFF) * inv + 127) / 255;
        d[px] = uint32_t(r << 16 | g << 8 | b);
      }
    }
  }
  return true;
}

}  // namespace vd::gdi

using namespace vd::gdi;

extern "C" {

BOOL WINAPI BitBlt(HDC hdst, int x, int y, int width, int height, HDC hsrc, int srcX, int srcY, DWORD rop) {
  DC *d = FindDC(hdst);
  if (!d) return FALSE;
  unsigned code = (rop >> 16) & 0xFF;
  bool useSource = RopUsesSource(rop);
  DC *sdc = nullptr;
  if (useSource && !(sdc = FindDC(hsrc))) return FALSE;

  // A negative extent flips the rectangle about its start, the source's as the destination's.
  if (width < 0) srcX += width + 1;
  if (height < 0) srcY += height + 1;
  NormaliseExtent(x, width);
  NormaliseExtent(y, height);
  Surface ds;
  GetSurface(*d, &ds, true);
  if (!ds.pixels) return FALSE;

  uint32_t pattern = 0;
  if (RopUsesPattern(rop)) {
    if (!d->brush || d->brush->hollow) return TRUE;  // a hollow brush paints nothing
    pattern = SurfacePixel(ds, d->brush->color);
  }

  long long dx = (long long)x + ds.originX, dy = (long long)y + ds.originY;
  long long w = width, h = height;
  const uint32_t *src = nullptr;
  int srcStride = 0;
  long long sx = 0, sy = 0;  // the source pixel under device point (dx, dy)
  int conversion = 0;
  uint32_t fg = 0, bk = 0;
  if (useSource) {
    Surface ss;
    GetSurface(*sdc, &ss, false);
    if (!ss.pixels) return FALSE;
    sx = (long long)srcX + ss.originX;
    sy = (long long)srcY + ss.originY;
    // Only the part of the source rectangle on the source surface is copied;
    // the destination under the rest keeps its pixels.
    if (sx < 0) {
      dx -= sx;
      w += sx;
      sx = 0;
    }
    if (sy < 0) {
      dy -= sy;
      h += sy;
      sy = 0;
    }
    w = std::min(w, ss.width - sx);
    h = std::min(h, ss.height - sy);
    if (w <= 0 || h <= 0) return TRUE;
    src = ss.pixels;
    srcStride = ss.stride;
    if (ss.mono && !ds.mono) {
      conversion = 1;
      fg = PixelFromColor(d->textColor);
      bk = PixelFromColor(d->bkColor);
    } else if (!ss.mono && ds.mono) {
      conversion = 2;
      bk = PixelFromColor(sdc->bkColor);
    }
  }
  if (w <= 0 || h <= 0) return TRUE;
  pixman_box32_t target = DeviceBox(ds, dx - ds.originX, dy - ds.originY, dx - ds.originX + w, dy - ds.originY + h);
  if (target.x1 >= target.x2 || target.y1 >= target.y2) return TRUE;

  if (src == ds.pixels) {
    // Source and destination share pixels (the screen, or one bitmap): read the
    // source before anything is written.
    std::vector<uint32_t> &copy = OverlapBuffer();
    copy.resize(size_t(w) * size_t(h));
    for (long long row = 0; row < h; ++row)
      std::memcpy(copy.data() + row * w, src + (sy + row) * srcStride + sx, size_t(w) * sizeof(uint32_t));
    src = copy.data();
    srcStride = int(w);
    sx = sy = 0;
  }

  for (int i = 0; i < ds.boxCount; ++i) {
    pixman_box32_t part;
    if (!Intersect(ds.boxes[i], target, &part)) continue;
    MarkDrawn(ds, part);
    Rows rows;
    rows.dst = ds.pixels + ptrdiff_t(part.y1) * ds.stride + part.x1;
    rows.dstStride = ds.stride;
    rows.src = src ? src + (sy + (part.y1 - dy)) * srcStride + (sx + (part.x1 - dx)) : nullptr;
    rows.srcStride = srcStride;
    rows.width = part.x2 - part.x1;
    rows.height = part.y2 - part.y1;
    RunRows(code, rows, conversion, fg, bk, pattern);
  }
  return TRUE;
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
  DC *dc = FindDC(hdc);
  if (!dc) return kClrInvalid;
  Surface s;
  GetSurface(*dc, &s, true);
  long long px = (long long)x + s.originX, py = (long long)y + s.originY;
  if (!s.pixels || px < INT32_MIN || px > INT32_MAX || py < INT32_MIN || py > INT32_MAX) return kClrInvalid;
  if (!PointVisible(s, int(px), int(py))) return kClrInvalid;
  return ColorFromPixel(s.pixels[py * s.stride + px]);
}

COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color) {
  DC *dc = FindDC(hdc);
  if (!dc) return kClrInvalid;
  Surface s;
  GetSurface(*dc, &s, true);
  uint32_t pixel = SurfacePixel(s, color);
  long long px = (long long)x + s.originX, py = (long long)y + s.originY;
  if (s.pixels && px >= 0 && py >= 0 && px < s.width && py < s.height && PointVisible(s, int(px), int(py))) {
    s.pixels[py * s.stride + px] = pixel;
    MarkDrawn(s, pixman_box32_t{int32_t(px), int32_t(py), int32_t(px + 1), int32_t(py + 1)});
  }
  // The colour the pixel takes, which on a monochrome bitmap is black or white.
  return ColorFromPixel(pixel);
}

int WINAPI FillRect(HDC hdc, const RECT *rect, HBRUSH brush) {
  DC *dc = FindDC(hdc);
  Brush *b = ResolveBrush(brush);
  if (!dc || !rect || !b) return 0;
  if (b->hollow) return 1;
  // FillRect is a pattern fill of (left, top, right - left, bottom - top).
  int x = rect->left, y = rect->top;
  int w = int(std::clamp<long long>((long long)rect->right - rect->left, INT32_MIN / 2, INT32_MAX / 2));
  int h = int(std::clamp<long long>((long long)rect->bottom - rect->top, INT32_MIN / 2, INT32_MAX / 2));
  NormaliseExtent(x, w);
  NormaliseExtent(y, h);
  Surface s;
  GetSurface(*dc, &s, true);
  if (s.pixels) FillSurface(s, x, y, x + w, y + h, SurfacePixel(s, b->color));
  return 1;
}

int WINAPI FillRgn(HDC hdc, HRGN rgn, HBRUSH brush) {
  DC *dc = FindDC(hdc);
  Region *r = Find<Region>(rgn);
  Brush *b = ResolveBrush(brush);
  if (!dc || !r || !b) return 0;
  if (b->hollow) return 1;
  Surface s;
  GetSurface(*dc, &s, true);
  if (!s.pixels) return 1;
  uint32_t pixel = SurfacePixel(s, b->color);
  int n = 0;
  const pixman_box32_t *boxes = pixman_region32_rectangles(&r->rgn, &n);
  for (int i = 0; i < n; ++i) FillSurface(s, boxes[i].x1, boxes[i].y1, boxes[i].x2, boxes[i].y2, pixel);
  return 1;
}

}  // extern "C"
