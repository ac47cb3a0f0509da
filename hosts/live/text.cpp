#include "text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace live {
namespace {

uint32_t Blend(uint32_t under, uint32_t over, int alpha) {
  auto mix = [&](int shift) {
    int a = int(under >> shift & 0xFF), b = int(over >> shift & 0xFF);
    return uint32_t(a + (b - a) * alpha / 255) << shift;
  };
  return mix(16) | mix(8) | mix(0);
}

std::string SansSerifFile() {
  std::string path;
  if (!FcInit()) return path;
  FcPattern *pattern = FcNameParse(reinterpret_cast<const FcChar8 *>("sans-serif"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern *match = FcFontMatch(nullptr, pattern, &result);
  FcChar8 *file = nullptr;
  if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) path = reinterpret_cast<char *>(file);
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return path;
}

}  // namespace

void Canvas::Fill(int left, int top, int right, int bottom, uint32_t colour) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, width);
  bottom = std::min(bottom, height);
  for (int y = top; y < bottom; ++y) std::fill(pixels + size_t(y) * width + left, pixels + size_t(y) * width + right, colour);
}

TextRenderer::TextRenderer(int pixelSize) : pixelSize_(pixelSize), lineHeight_(pixelSize + 4), ascent_(pixelSize) {
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return;
  library_ = library;
  std::string file = SansSerifFile();
  FT_Face face = nullptr;
  if (file.empty() || FT_New_Face(library, file.c_str(), 0, &face) != 0) return;
  FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelSize));
  face_ = face;
  ascent_ = int(face->size->metrics.ascender >> 6);
  lineHeight_ = int(face->size->metrics.height >> 6);
}

TextRenderer::~TextRenderer() {
  if (face_) FT_Done_Face(static_cast<FT_Face>(face_));
  if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

const TextRenderer::Glyph &TextRenderer::GlyphFor(unsigned char c) {
  auto found = glyphs_.find(c);
  if (found != glyphs_.end()) return found->second;
  Glyph g;
  FT_Face face = static_cast<FT_Face>(face_);
  if (face && FT_Load_Char(face, c, FT_LOAD_RENDER) == 0) {
    FT_GlyphSlot slot = face->glyph;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = int(slot->bitmap.width);
    g.rows = int(slot->bitmap.rows);
    g.advance = int(slot->advance.x >> 6);
    g.coverage.resize(size_t(g.width) * g.rows);
    for (int y = 0; y < g.rows; ++y)
      for (int x = 0; x < g.width; ++x)
        g.coverage[size_t(y) * g.width + x] = slot->bitmap.buffer[y * slot->bitmap.pitch + x];
  } else {
    // No font: a block the size of a small letter, so the layout still shows.
    g.advance = pixelSize_ * 2 / 3;
    if (c != ' ') {
      g.width = g.advance - 2;
      g.rows = pixelSize_ * 2 / 3;
      g.left = 1;
      g.top = g.rows;
      g.coverage.assign(size_t(g.width) * g.rows, 160);
    }
  }
  return glyphs_.emplace(c, std::move(g)).first->second;
}

int TextRenderer::Width(const std::string &text) {
  int w = 0;
  for (unsigned char c : text) w += GlyphFor(c).advance;
  return w;
}

void TextRenderer::Draw(Canvas &canvas, int x, int y, const std::string &text, uint32_t colour) {
  int baseline = y + ascent_;
  for (unsigned char c : text) {
    const Glyph &g = GlyphFor(c);
    for (int row = 0; row < g.rows; ++row) {
      int py = baseline - g.top + row;
      if (py < 0 || py >= canvas.height) continue;
      for (int col = 0; col < g.width; ++col) {
        int px = x + g.left + col;
        if (px < 0 || px >= canvas.width) continue;
        int alpha = g.coverage[size_t(row) * g.width + col];
        if (alpha == 0) continue;
        uint32_t &p = canvas.pixels[size_t(py) * canvas.width + px];
        p = Blend(p, colour, alpha);
      }
    }
    x += g.advance;
  }
}

}  // namespace live
