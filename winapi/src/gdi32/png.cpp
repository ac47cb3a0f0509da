// The screen as a PNG file, for tests and the recorder.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "core/platform.h"

namespace vd {

bool WritePng(const std::string &path) {
  const Screen &screen = TheScreen();
  if (screen.pixels.size() != size_t(screen.width) * size_t(screen.height)) return false;
  FILE *file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  std::vector<png_byte> row(size_t(screen.width) * 3);
  if (info && !setjmp(png_jmpbuf(png))) {
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(screen.width), png_uint_32(screen.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < screen.height; ++y) {
      const uint32_t *src = screen.pixels.data() + size_t(y) * size_t(screen.width);
      for (int x = 0; x < screen.width; ++x) {
        row[3 * size_t(x)] = png_byte(src[x] >> 16);
        row[3 * size_t(x) + 1] = png_byte(src[x] >> 8);
        row[3 * size_t(x) + 2] = png_byte(src[x]);
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, info ? &info : nullptr);
  ok = std::fclose(file) == 0 && ok;
  if (!ok) std::remove(path.c_str());
  return ok;
}

}  // namespace vd
