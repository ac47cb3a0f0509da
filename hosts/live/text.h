// Text for the host's own drawing (popup menus, message boxes): a system
// sans-serif font through FreeType, blended into 0x00RRGGBB pixels.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace live {

// A 0x00RRGGBB picture the host draws into, row after row.
struct Canvas {
  uint32_t *pixels;
  int width;
  int height;
  void Fill(int left, int top, int right, int bottom, uint32_t colour);
};

class TextRenderer {
 public:
  explicit TextRenderer(int pixelSize = 12);
  ~TextRenderer();
  TextRenderer(const TextRenderer &) = delete;
  TextRenderer &operator=(const TextRenderer &) = delete;

  bool ok() const { return face_ != nullptr; }
  int Width(const std::string &text);
  int LineHeight() const { return lineHeight_; }
  int Ascent() const { return ascent_; }
  // Draws one line with its top at y. Without a font, each letter is a small block.
  void Draw(Canvas &canvas, int x, int y, const std::string &text, uint32_t colour);

 private:
  struct Glyph {
    int left = 0, top = 0, width = 0, rows = 0, advance = 0;
    std::vector<uint8_t> coverage;
  };
  const Glyph &GlyphFor(unsigned char c);

  void *library_ = nullptr;  // FT_Library
  void *face_ = nullptr;     // FT_Face
  int pixelSize_;
  int lineHeight_;
  int ascent_;
  std::map<unsigned char, Glyph> glyphs_;
};

}  // namespace live
