// Device-dependent bitmaps: monochrome and colour, created blank, from bits,
// compatible with a context, or from the module's RT_BITMAP resources.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/platform.h"
#include "core/resources.h"
#include "gdi32/objects.h"

namespace vd::gdi {
namespace {

// Win32 refuses a bitmap dimension above 0x7FFFFFF; memory is the tighter limit here.
constexpr long long kMaxDimension = 0x7FFFFFF;
constexpr long long kMaxPixels = 1LL << 28;

bool SizeAcceptable(long long w, long long h) {
  return w > 0 && h > 0 && w <= kMaxDimension && h <= kMaxDimension && w * h <= kMaxPixels;
}

HBITMAP AddBitmap(std::unique_ptr<Bitmap> bitmap) { return static_cast<HBITMAP>(AddObject(std::move(bitmap))); }

uint16_t Word(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Dword(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// The static colours of the system palette, for 4- and 8-bit device bits.
constexpr uint32_t kStatic[20] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0, 0xA6CAF0,
    0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};
uint32_t VgaColor(unsigned index) {
  static constexpr unsigned kMap[16] = {0, 1, 2, 3, 4, 5, 6, 7, 12, 13, 14, 15, 16, 17, 18, 19};
  return kStatic[kMap[index & 15]];
}
uint32_t SystemPaletteColor(unsigned index) {
  if (index < 10) return kStatic[index];
  if (index >= 246) return kStatic[index - 236];
  return kBlack;
}

// CreateBitmap's bits: rows top-down, each padded to a 16-bit boundary.
void LoadDeviceBits(Bitmap &b, const uint8_t *bits) {
  int bpp = b.bitsPixel;
  size_t rowBytes = size_t((b.width * bpp + 15) / 16) * 2;
  for (int y = 0; y < b.height; ++y) {
    const uint8_t *row = bits + rowBytes * size_t(y);
    uint32_t *out = b.pixels.data() + size_t(y) * size_t(b.width);
    for (int x = 0; x < b.width; ++x) {
      switch (bpp) {
        case 1:
          out[x] = (row[x >> 3] >> (7 - (x & 7)) & 1) ? kWhite : kBlack;
          break;
        case 4:
          out[x] = VgaColor(row[x >> 1] >> ((x & 1) ? 0 : 4));
          break;
        case 8:
          out[x] = SystemPaletteColor(row[x]);
          break;
        case 16: {  // 5-5-5
          unsigned v = Word(row + 2 * x);
          unsigned r = v >> 10 & 31, g = v >> 5 & 31, bl = v & 31;
          out[x] = (r << 3 | r >> 2) << 16 | (g << 3 | g >> 2) << 8 | (bl << 3 | bl >> 2);
          break;
        }
        case 24:
          out[x] = uint32_t(row[3 * x + 2]) << 16 | uint32_t(row[3 * x + 1]) << 8 | row[3 * x];
          break;
        default:
          out[x] = Dword(row + 4 * x) & 0xFFFFFF;
          break;
      }
    }
  }
}

// One channel of a BI_BITFIELDS pixel, scaled to 8 bits.
uint32_t Channel(uint32_t value, uint32_t mask) {
  if (!mask) return 0;
  int shift = 0;
  while (!(mask >> shift & 1)) ++shift;
  uint32_t m = mask >> shift, v = (value & mask) >> shift;
  return m ? v * 255 / m : 0;
}

}  // namespace

HBITMAP BitmapFromPackedDib(const uint8_t *data, size_t size) {
  constexpr uint32_t kBiRgb = 0, kBiBitfields = 3;
  if (!data || size < 12) return nullptr;
  uint32_t headerSize = Dword(data);
  long long width, height;
  unsigned bpp, compression = kBiRgb, colorsUsed = 0;
  bool core = headerSize == 12;
  if (core) {
    width = Word(data + 4);
    height = Word(data + 6);
    bpp = Word(data + 10);
  } else {
    if (headerSize < 40 || headerSize > size) return nullptr;
    width = int32_t(Dword(data + 4));
    height = int32_t(Dword(data + 8));
    bpp = Word(data + 14);
    compression = Dword(data + 16);
    colorsUsed = Dword(data + 32);
  }
  bool topDown = height < 0;
  height = std::llabs(height);
  if (!SizeAcceptable(width, height)) return nullptr;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return nullptr;
  if (compression != kBiRgb && !(compression == kBiBitfields && (bpp == 16 || bpp == 32))) return nullptr;

  // Colour masks: after a 40-byte header, or inside a larger one.
  size_t offset = headerSize;
  uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
  if (bpp == 32) masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
  if (compression == kBiBitfields) {
    if (52 > size) return nullptr;
    for (int i = 0; i < 3; ++i) masks[i] = Dword(data + 40 + 4 * i);
    if (headerSize == 40) offset += 12;
  }
  // The colour table: 2^bpp entries unless biClrUsed says fewer; above 8 bits
  // biClrUsed entries that the pixels do not use.
  size_t entrySize = core ? 3 : 4;
  size_t entries = bpp <= 8 ? (colorsUsed && colorsUsed < (1u << bpp) ? colorsUsed : (1u << bpp)) : colorsUsed;
  if (entries > (size - offset) / entrySize) return nullptr;
  uint32_t palette[256] = {};
  for (size_t i = 0; i < entries && bpp <= 8; ++i) {
    const uint8_t *q = data + offset + i * entrySize;
    palette[i] = uint32_t(q[2]) << 16 | uint32_t(q[1]) << 8 | q[0];
  }
  offset += entries * entrySize;
  size_t stride = size_t((width * bpp + 31) / 32) * 4;
  if (offset > size || stride * size_t(height) > size - offset) return nullptr;
  const uint8_t *bits = data + offset;

  // As LoadBitmapA: a 1-bit DIB whose colours are black then white becomes a
  // monochrome bitmap; anything else a colour bitmap of the display's depth.
  bool mono = bpp == 1 && entries == 2 && palette[0] == kBlack && palette[1] == kWhite;
  if (QuotaReached()) return nullptr;
  auto bitmap = std::make_unique<Bitmap>(int(width), int(height), mono ? 1 : TheScreen().bitsPerPixel);
  for (long long y = 0; y < height; ++y) {
    const uint8_t *row = bits + stride * size_t(topDown ? y : height - 1 - y);
    uint32_t *out = bitmap->pixels.data() + size_t(y) * size_t(width);
    for (long long x = 0; x < width; ++x) {
      uint32_t p;
      switch (bpp) {
        case 1:
          p = palette[row[x >> 3] >> (7 - (x & 7)) & 1];
          break;
        case 4:
          p = palette[row[x >> 1] >> ((x & 1) ? 0 : 4) & 15];
          break;
        case 8:
          p = palette[row[x]];
          break;
        case 16: {
          uint32_t v = Word(row + 2 * x);
          p = Channel(v, masks[0]) << 16 | Channel(v, masks[1]) << 8 | Channel(v, masks[2]);
          break;
        }
        case 24:
          p = uint32_t(row[3 * x + 2]) << 16 | uint32_t(row[3 * x + 1]) << 8 | row[3 * x];
          break;
        default: {
          uint32_t v = Dword(row + 4 * x);
          p = compression == kBiBitfields
                  ? Channel(v, masks[0]) << 16 | Channel(v, masks[1]) << 8 | Channel(v, masks[2])
                  : v & 0xFFFFFF;
          break;
        }
      }
      out[x] = p;  // indices past a short colour table read entry 0s, black
    }
  }
  return AddBitmap(std::move(bitmap));
}

}  // namespace vd::gdi

using namespace vd::gdi;

extern "C" {

HBITMAP WINAPI CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void *bits) {
  if (width == 0 || height == 0) return S().defaultBitmap;  // Win32 answers its 1x1 stock bitmap
  long long w = std::llabs((long long)width), h = std::llabs((long long)height);
  if (planes != 1 || bitsPerPixel == 0 || bitsPerPixel > 32 || !SizeAcceptable(w, h)) return nullptr;
  // Win32 rounds the depth up to one it has: 1, 4, 8, 16, 24 or 32 bits.
  int bpp = bitsPerPixel == 1 ? 1 : bitsPerPixel <= 4 ? 4 : bitsPerPixel <= 8 ? 8 : bitsPerPixel <= 16 ? 16
          : bitsPerPixel <= 24 ? 24 : 32;
  if (QuotaReached()) return nullptr;
  auto bitmap = std::make_unique<Bitmap>(int(w), int(h), bpp);
  if (bits) LoadDeviceBits(*bitmap, static_cast<const uint8_t *>(bits));
  return AddBitmap(std::move(bitmap));
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int width, int height) {
  DC *dc = FindDC(hdc);
  if (!dc) return nullptr;
  if (width == 0 || height == 0) return S().defaultBitmap;
  long long w = std::llabs((long long)width), h = std::llabs((long long)height);
  if (!SizeAcceptable(w, h)) return nullptr;
  // A memory context gives the format of the bitmap it holds (a fresh one holds
  // a monochrome bitmap); a window context gives the display's.
  int bpp = dc->memory ? dc->bitmap->bitsPixel : vd::TheScreen().bitsPerPixel;
  if (QuotaReached()) return nullptr;
  return AddBitmap(std::make_unique<Bitmap>(int(w), int(h), bpp));
}

// The pixels here are 0x00RRGGBB words, rows top down: exactly a 32-bit BI_RGB
// top-down section's bits, so the section shares them with the caller.
HBITMAP WINAPI CreateDIBSection(HDC hdc, const BITMAPINFO *info, UINT usage, void **bits, HANDLE section,
                                DWORD offset) {
  (void)hdc;
  (void)offset;
  if (bits) *bits = nullptr;
  if (!info || usage != DIB_RGB_COLORS || section) return nullptr;
  const BITMAPINFOHEADER &h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biBitCount != 32 || h.biCompression != BI_RGB ||
      h.biHeight >= 0 || !SizeAcceptable(h.biWidth, -(long long)h.biHeight))
    return nullptr;
  if (QuotaReached()) return nullptr;
  auto bitmap = std::make_unique<Bitmap>(int(h.biWidth), int(-(long long)h.biHeight), 32);
  bitmap->dibSection = true;
  if (bits) *bits = bitmap->pixels.data();
  return AddBitmap(std::move(bitmap));
}

HBITMAP WINAPI LoadBitmapA(HINSTANCE instance, LPCSTR name) {
  vd::res::Blob blob;
  if (!name || !vd::res::IsModule(instance) || !vd::res::Find(RT_BITMAP, name, &blob)) return nullptr;
  return BitmapFromPackedDib(blob.data, blob.size);
}

}  // extern "C"
