// Text output: TextOutA and DrawTextA (line breaks, word wrapping, alignment,
// tabs, '&' prefixes), drawn through the context's clip like every drawing.
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "gdi32/font.h"
#include "gdi32/objects.h"

namespace vd::gdi {
namespace {

// One character of a line as DrawTextA lays it out.
struct Cell {
  unsigned char c;
  bool prefixed;  // underlined as the line's '&' prefix
};

constexpr int kDefaultTabChars = 8;

bool IsBlank(unsigned char c) { return c == ' ' || c == '\t'; }

// Where the pen is after each character of a line, tabs expanded from the line's start.
class LineMeasure {
 public:
  LineMeasure(RealFont &font, int tabWidth) : font_(font), tabWidth_(tabWidth) {}
  // The pen position after `c` drawn at `x`.
  long long Next(unsigned char c, long long x) const {
    if (c == '\t' && tabWidth_ > 0) return (x / tabWidth_ + 1) * tabWidth_;
    if (c < 0x20) return x;  // other control characters take no room
    return x + font_.Advance(c);
  }
  long long Width(const Cell *cells, size_t count) const {
    long long x = 0;
    for (size_t i = 0; i < count; ++i) x = Next(cells[i].c, x);
    return x;
  }

 private:
  RealFont &font_;
  int tabWidth_;
};

// Coverage of one line of text, ready for PaintCoverage.
struct CoverageImage {
  int x = 0, y = 0, width = 0, height = 0;  // logical position of the image's top left
  std::vector<uint8_t> pixels;
  void Clear(int left, int top, int w, int h) {
    x = left;
    y = top;
    width = std::max(0, w);
    height = std::max(0, h);
    pixels.assign(size_t(width) * size_t(height), 0);
  }
  void Ink(int px, int py, uint8_t value) {
    px -= x;
    py -= y;
    if (px < 0 || py < 0 || px >= width || py >= height) return;
    uint8_t &p = pixels[size_t(py) * size_t(width) + size_t(px)];
    p = std::max(p, value);
  }
  void Bar(int left, int top, int right, int rows) {
    for (int py = top; py < top + rows; ++py)
      for (int px = left; px < right; ++px) Ink(px, py, 255);
  }
};

// Draws one line with its cell's top left at (x, y): the background when the
// mode is OPAQUE, the glyphs, the font's underline and strike-out, and the
// underline of a prefixed character. `clip`, when given, bounds everything
// (logical coordinates).
void PaintLine(HDC hdc, const LogicalFont &font, long long x, long long y, const Cell *cells, size_t count,
               int tabWidth, const RECT *clip, bool prefixOnly) {
  RealFont &real = font.Real();
  const TEXTMETRICA &tm = real.Metrics();
  const LOGFONTA &lf = font.Logical();
  LineMeasure measure(real, tabWidth);
  long long width = measure.Width(cells, count);
  TextState state{};
  GetTextState(hdc, &state);

  // Everything is worked out in a window of 32-bit coordinates around the line.
  long long left = x, top = y, right = x + width, bottom = y + tm.tmHeight;
  long long inkLeft = left, inkRight = right, inkTop = top, inkBottom = bottom;
  long long pen = x;
  long long baseline = y + tm.tmAscent;
  for (size_t i = 0; i < count; ++i) {
    unsigned char c = cells[i].c;
    if (c >= 0x20) {
      const GlyphImage &g = real.Glyph(c);
      inkLeft = std::min(inkLeft, pen + g.left);
      inkRight = std::max(inkRight, pen + g.left + g.width);
      inkTop = std::min(inkTop, baseline - g.top);
      inkBottom = std::max(inkBottom, baseline - g.top + g.rows);
    }
    pen = measure.Next(c, pen);
  }
  if (clip) {
    inkLeft = std::max<long long>(inkLeft, clip->left);
    inkTop = std::max<long long>(inkTop, clip->top);
    inkRight = std::min<long long>(inkRight, clip->right);
    inkBottom = std::min<long long>(inkBottom, clip->bottom);
  }
  if (inkLeft >= inkRight || inkTop >= inkBottom) return;
  if (inkLeft < INT_MIN / 2 || inkRight > INT_MAX / 2 || inkTop < INT_MIN / 2 || inkBottom > INT_MAX / 2) return;

  if (state.bkMode == OPAQUE && !prefixOnly) {
    RECT cell{LONG(std::max(left, inkLeft)), LONG(std::max(top, inkTop)), LONG(std::min(right, inkRight)),
              LONG(std::min(bottom, inkBottom))};
    if (cell.left < cell.right && cell.top < cell.bottom) FillSolid(hdc, cell, state.background);
  }

  static CoverageImage image;  // reused: text is drawn often
  image.Clear(int(inkLeft), int(inkTop), int(inkRight - inkLeft), int(inkBottom - inkTop));
  pen = x;
  for (size_t i = 0; i < count; ++i) {
    unsigned char c = cells[i].c;
    long long next = measure.Next(c, pen);
    if (c >= 0x20 && !prefixOnly && pen < inkRight && next + tm.tmMaxCharWidth > inkLeft) {
      const GlyphImage &g = real.Glyph(c);
      int gx = int(pen + g.left), gy = int(baseline - g.top);
      for (int row = 0; row < g.rows; ++row)
        for (int col = 0; col < g.width; ++col) {
          uint8_t v = g.coverage[size_t(row) * size_t(g.width) + size_t(col)];
          if (v) image.Ink(gx + col, gy + row, v);
        }
    }
    if (cells[i].prefixed)
      image.Bar(int(pen), int(baseline + real.UnderlineOffset()), int(next), real.UnderlineThickness());
    pen = next;
  }
  if (!prefixOnly) {
    if (lf.lfUnderline)
      image.Bar(int(x), int(baseline + real.UnderlineOffset()), int(right), real.UnderlineThickness());
    if (lf.lfStrikeOut) image.Bar(int(x), int(baseline - real.StrikeOffset()), int(right), real.StrikeThickness());
  }
  PaintCoverage(hdc, image.x, image.y, image.width, image.height, image.pixels.data(), image.width, state.text);
}

// Splits DrawTextA's text into paragraphs of cells: line breaks end a
// paragraph (unless the text is one line), '&' marks the next character.
std::vector<std::vector<Cell>> Paragraphs(const char *text, int count, UINT format) {
  std::vector<std::vector<Cell>> out(1);
  bool singleLine = format & DT_SINGLELINE;
  bool prefixes = !(format & DT_NOPREFIX);
  bool showPrefix = !(format & DT_HIDEPREFIX);
  for (int i = 0; i < count; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (!singleLine && (c == '\r' || c == '\n')) {
      if (c == '\r' && i + 1 < count && text[i + 1] == '\n') ++i;
      out.emplace_back();
      continue;
    }
    if (prefixes && c == '&') {
      if (i + 1 >= count) break;  // a trailing '&' marks nothing
      unsigned char next = static_cast<unsigned char>(text[i + 1]);
      ++i;
      if (next == '&') {
        out.back().push_back(Cell{'&', false});
        continue;
      }
      if (!singleLine && (next == '\r' || next == '\n')) {
        --i;  // the break is handled on the next round
        continue;
      }
      // Only the last prefix of a line is underlined.
      for (Cell &cell : out.back()) cell.prefixed = false;
      out.back().push_back(Cell{next, showPrefix});
      continue;
    }
    out.back().push_back(Cell{c, false});
  }
  return out;
}

struct Line {
  size_t paragraph;
  size_t begin;
  size_t end;
};

// Breaks a paragraph at blanks so that each line fits `maxWidth`; a word too
// long for a line stays whole on a line of its own.
void WrapParagraph(const std::vector<Cell> &cells, size_t paragraph, const LineMeasure &measure, long long maxWidth,
                   std::vector<Line> *lines) {
  size_t n = cells.size();
  size_t pos = 0;
  if (n == 0) {
    lines->push_back(Line{paragraph, 0, 0});
    return;
  }
  while (pos < n) {
    size_t start = pos, i = pos;
    long long x = 0;
    size_t breakAt = SIZE_MAX;  // first blank of the last run of blanks
    size_t end = n, next = n;
    for (; i < n; ++i) {
      unsigned char c = cells[i].c;
      bool blank = IsBlank(c);
      if (blank && i > start && !IsBlank(cells[i - 1].c)) breakAt = i;
      long long after = measure.Next(c, x);
      if (after > maxWidth && i > start && !blank) {
        if (breakAt != SIZE_MAX) {
          end = breakAt;
          next = breakAt;
        } else {
          size_t wordEnd = i;
          while (wordEnd < n && !IsBlank(cells[wordEnd].c)) ++wordEnd;
          end = next = wordEnd;
        }
        break;
      }
      x = after;
    }
    // Blanks at a break belong to neither line.
    while (end > start && next < n && IsBlank(cells[end - 1].c)) --end;
    while (next < n && IsBlank(cells[next].c)) ++next;
    lines->push_back(Line{paragraph, start, end});
    pos = next;
  }
}

}  // namespace
}  // namespace vd::gdi

using namespace vd::gdi;

extern "C" {

BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR text, int count) {
  const LogicalFont *font = ContextFont(hdc);
  if (!font || count < 0 || (count > 0 && !text)) return FALSE;
  if (count == 0) return TRUE;
  std::vector<Cell> cells(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) cells[size_t(i)] = Cell{static_cast<unsigned char>(text[i]), false};
  RealFont &real = font->Real();
  const TEXTMETRICA &tm = real.Metrics();
  long long width = TextWidth(*font, text, count);
  UINT align = GetTextAlign(hdc);
  long long left = x, top = y;
  if ((align & TA_CENTER) == TA_CENTER)
    left -= width / 2;
  else if (align & TA_RIGHT)
    left -= width;
  if ((align & TA_BASELINE) == TA_BASELINE)
    top -= tm.tmAscent;
  else if (align & TA_BOTTOM)
    top -= tm.tmHeight;
  // TextOutA draws control characters as the font's glyphs: no tab expansion.
  for (Cell &cell : cells)
    if (cell.c < 0x20) cell.c = 0x7F;
  PaintLine(hdc, *font, left, top, cells.data(), cells.size(), 0, nullptr, false);
  return TRUE;
}

int WINAPI DrawTextA(HDC hdc, LPCSTR text, int count, LPRECT rect, UINT format) {
  const LogicalFont *font = ContextFont(hdc);
  if (!font || !rect) return 0;
  if (!text && count == -1) text = "";
  if (!text || count == 0 || count < -1) return 0;
  if (count == -1) count = int(std::strlen(text));

  int tabChars = kDefaultTabChars;
  if (format & DT_TABSTOP) {
    // The high byte of the low word gives the tab length and is no flag then.
    tabChars = int((format >> 8) & 0xFF);
    format &= ~0xFF00u;
  }
  RealFont &real = font->Real();
  const TEXTMETRICA &tm = real.Metrics();
  int tabWidth = (format & DT_EXPANDTABS) ? tabChars * tm.tmAveCharWidth : 0;
  LineMeasure measure(real, tabWidth);
  int lineHeight = tm.tmHeight + ((format & DT_EXTERNALLEADING) ? tm.tmExternalLeading : 0);
  bool singleLine = format & DT_SINGLELINE;

  std::vector<std::vector<Cell>> paragraphs = Paragraphs(text, count, format);
  std::vector<Line> lines;
  long long maxWidth = (long long)rect->right - rect->left;
  bool wrap = (format & DT_WORDBREAK) && !singleLine;
  if (count > 0) {
    for (size_t p = 0; p < paragraphs.size(); ++p) {
      if (wrap)
        WrapParagraph(paragraphs[p], p, measure, maxWidth, &lines);
      else
        lines.push_back(Line{p, 0, paragraphs[p].size()});
    }
  } else if (singleLine) {
    lines.push_back(Line{0, 0, 0});  // an empty string still takes a line's height
  }

  // Vertical placement: only a single line is centred or put at the bottom.
  long long y = rect->top;
  if (singleLine) {
    if (format & DT_VCENTER)
      y = rect->top + ((long long)rect->bottom - rect->top - lineHeight) / 2;
    else if (format & DT_BOTTOM)
      y = (long long)rect->bottom - lineHeight;
  }
  long long firstY = y;

  long long widest = 0;
  for (const Line &line : lines) {
    const Cell *cells = paragraphs[line.paragraph].data() + line.begin;
    size_t n = line.end - line.begin;
    long long width = measure.Width(cells, n);
    widest = std::max(widest, width);
    if (!(format & DT_CALCRECT)) {
      long long x = rect->left;
      if (format & DT_CENTER)
        x = ((long long)rect->left + rect->right - width) / 2;
      else if (format & DT_RIGHT)
        x = (long long)rect->right - width;
      PaintLine(hdc, *font, x, y, cells, n, tabWidth, (format & DT_NOCLIP) ? nullptr : rect,
                (format & DT_PREFIXONLY) != 0);
    }
    y += lineHeight;
  }

  if (format & DT_CALCRECT) {
    rect->right = LONG(std::clamp<long long>(rect->left + widest, INT32_MIN, INT32_MAX));
    rect->bottom = LONG(std::clamp<long long>(rect->top + (long long)lines.size() * lineHeight, INT32_MIN, INT32_MAX));
  }
  if (count == 0 && !singleLine) return lineHeight;  // an empty string: no line, yet a height
  long long drawn = (long long)lines.size() * lineHeight;
  if (singleLine && (format & (DT_VCENTER | DT_BOTTOM))) {
    // The offset from the top to the bottom of the text; never 0, which means failure.
    drawn = firstY + lineHeight - rect->top;
    if (drawn == 0) drawn = 1;
  }
  return int(std::clamp<long long>(drawn, INT32_MIN, INT32_MAX));
}

}  // extern "C"
