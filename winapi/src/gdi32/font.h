// The text engine of gdi32: logical fonts, their realization through
// fontconfig and FreeType, and text drawing. Also what the window manager
// draws its own text with (title bars, menus, message boxes).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gdi32/gdi.h"
#include "windows.h"

namespace vd::gdi {

// One character's picture: 8-bit coverage (255 is ink), placed from the pen
// position on the baseline.
struct GlyphImage {
  int left = 0;  // from the pen position to the first column
  int top = 0;   // from the baseline up to the first row
  int width = 0;
  int rows = 0;
  std::vector<uint8_t> coverage;  // rows x width
  int advance = 0;                // pixels the pen moves on
};

// A face of a font file at one size, as a logical font asked for it: what GDI
// calls a realized font. Shared by every logical font that asks the same.
class RealFont {
 public:
  virtual ~RealFont() = default;
  // The metrics of the face at this size; the underline, strike-out and
  // italic flags are those of the realization, not of a logical font.
  virtual const TEXTMETRICA &Metrics() const = 0;
  virtual const GlyphImage &Glyph(unsigned char c) = 0;
  int Advance(unsigned char c) { return Glyph(c).advance; }
  // The family the face belongs to ("Liberation Sans").
  virtual const std::string &Family() const = 0;
  // Underline: rows below the baseline where it starts, and its thickness;
  // strike-out: rows above the baseline where it starts, and its thickness.
  virtual int UnderlineOffset() const = 0;
  virtual int UnderlineThickness() const = 0;
  virtual int StrikeOffset() const = 0;
  virtual int StrikeThickness() const = 0;
};

// A logical font as CreateFontIndirectA made it (or a stock font).
class LogicalFont : public FontData {
 public:
  explicit LogicalFont(const LOGFONTA &lf);
  int GetObject(int size, void *out) const override;
  const LOGFONTA &Logical() const { return lf_; }
  // Realized on first use.
  RealFont &Real() const;

 private:
  LOGFONTA lf_;
  mutable std::shared_ptr<RealFont> real_;
};

// The LOGFONTA of a stock font (SYSTEM_FONT, DEFAULT_GUI_FONT, ...).
LOGFONTA StockLogFont(int index);

// The logical font behind a handle; nullptr for a handle that is not one of the engine's fonts.
const LogicalFont *LogicalFontOf(HFONT font);
// The font a context draws with: its selected font, or the system font.
// nullptr for a context that is not live.
const LogicalFont *ContextFont(HDC hdc);

// Metrics of a logical font as GetTextMetricsA reports them.
void TextMetricsOf(const LogicalFont &font, TEXTMETRICA *out);
// Width of a string in the font, in pixels.
int TextWidth(const LogicalFont &font, const char *text, int count);

// The fonts the window manager draws with (UiFont, in gdi.h).
LOGFONTA UiLogFont(UiFont which);
HFONT SystemUiFont(UiFont which);

}  // namespace vd::gdi
