// Title-bar text, drawn with FreeType in a face that fontconfig finds.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>

#include "core/platform.h"
#include "user32/wnd.h"

namespace vd::user {
namespace {

struct TitleFont {
  bool tried = false;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~TitleFont() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

TitleFont &Font() {
  static TitleFont font;
  return font;
}

std::string MatchFile(const char *pattern) {
  std::string path;
  FcPattern *pat = FcNameParse(reinterpret_cast<const FcChar8 *>(pattern));
  if (!pat) return path;
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult result;
  FcPattern *match = FcFontMatch(nullptr, pat, &result);
  if (match) {
    FcChar8 *file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) path = reinterpret_cast<char *>(file);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pat);
  return path;
}

FT_Face TitleFace() {
  TitleFont &f = Font();
  if (f.tried) return f.face;
  f.tried = true;
  if (FT_Init_FreeType(&f.library)) return nullptr;
  std::string file = MatchFile("Arial:bold");
  if (file.empty() || FT_New_Face(f.library, file.c_str(), 0, &f.face)) {
    f.face = nullptr;
    return nullptr;
  }
  FT_Set_Pixel_Sizes(f.face, 0, 11);
  return f.face;
}

}  // namespace

void DrawTitleText(Window &w, const RECT &bar, const pixman_region32_t *clip) {
  FT_Face face = TitleFace();
  if (!face || w.title.empty()) return;
  Screen &s = TheScreen();
  int penX = bar.left + 4;
  int baseline = bar.top + (bar.bottom - bar.top) / 2 + 4;
  for (unsigned char c : w.title) {
    if (FT_Load_Char(face, c, FT_LOAD_RENDER)) continue;
    FT_GlyphSlot g = face->glyph;
    if (penX + g->bitmap_left + int(g->bitmap.width) > bar.right - 20) break;
    for (unsigned row = 0; row < g->bitmap.rows; ++row)
      for (unsigned col = 0; col < g->bitmap.width; ++col) {
        unsigned a = g->bitmap.buffer[row * unsigned(g->bitmap.pitch) + col];
        if (!a) continue;
        int x = penX + g->bitmap_left + int(col), y = baseline - g->bitmap_top + int(row);
        if (x < 0 || y < 0 || x >= s.width || y >= s.height) continue;
        if (!pixman_region32_contains_point(const_cast<pixman_region32_t *>(clip), x, y, nullptr)) continue;
        uint32_t &dst = s.pixels[size_t(y) * s.width + x];
        auto mix = [&](int shift) { return ((255 * a + ((dst >> shift) & 255) * (255 - a)) / 255) << shift; };
        dst = mix(16) | mix(8) | mix(0);
      }
    penX += int(g->advance.x >> 6);
  }
}

}  // namespace vd::user
