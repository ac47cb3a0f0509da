// Fonts: logical fonts (CreateFontIndirectA), the stock fonts, the face
// mapping through fontconfig, realization with FreeType, and the metrics GDI
// reports for them (GetTextMetricsA, GetTextExtentPoint32A).
#include "gdi32/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <list>
#include <map>
#include <tuple>

#include "gdi32/objects.h"

namespace vd::gdi {
namespace {

// A logical font of height 0 gets a cell of this many pixels, as on Windows.
constexpr int kDefaultCellHeight = 16;
// Sizes are kept within what a screen can show, so that no request can ask
// FreeType for glyph pictures of unbounded size.
constexpr int kMaxPixels = 512;
// Text is drawn anti-aliased unless the logical font asks for plain pixels.
constexpr bool kSmoothByDefault = true;
// Realized fonts kept alive after their last logical font goes, so that fonts
// made and deleted on every paint are not opened anew each time.
constexpr size_t kKeptRealizations = 24;

// The faces a Windows program names, and the families of this system that
// stand in for them. The dialog face must give the dialog base units Windows
// gives (6 x 13 pixels at 8 points and 96 dots per inch): DejaVu Sans
// Condensed has that cell height and that average letter width. Other names
// (Arial, Times New Roman, Courier New) are left to fontconfig, whose metric
// aliases map them to the Liberation faces.
struct Substitute {
  const char *face;
  const char *families[3];
};
constexpr Substitute kSubstitutes[] = {
    {"", {"DejaVu Sans Condensed", "DejaVu Sans", "sans-serif"}},
    {"MS Sans Serif", {"DejaVu Sans Condensed", "DejaVu Sans", "sans-serif"}},
    {"MS Shell Dlg", {"DejaVu Sans Condensed", "DejaVu Sans", "sans-serif"}},
    {"MS Shell Dlg 2", {"DejaVu Sans Condensed", "DejaVu Sans", "sans-serif"}},
    {"Microsoft Sans Serif", {"DejaVu Sans Condensed", "DejaVu Sans", "sans-serif"}},
    {"Tahoma", {"DejaVu Sans Condensed", "DejaVu Sans", "sans-serif"}},
    {"System", {"DejaVu Sans Condensed", "DejaVu Sans", "sans-serif"}},
    {"Helv", {"DejaVu Sans Condensed", "DejaVu Sans", "sans-serif"}},
    {"MS Serif", {"Times New Roman", "serif", nullptr}},
    {"Courier", {"Courier New", "monospace", nullptr}},
    {"Fixedsys", {"DejaVu Sans Mono", "monospace", nullptr}},
    {"Terminal", {"DejaVu Sans Mono", "monospace", nullptr}},
};

// Windows-1252 for the bytes 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

uint32_t CodePoint(unsigned char c) { return c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c; }

bool SameFace(const char *a, const char *b) {
  for (; *a && *b; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
  return *a == *b;
}

std::string FaceOf(const LOGFONTA &lf) {
  return std::string(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
}

// ---------------------------------------------------------------- fontconfig

struct FaceFile {
  std::string file;
  int index = 0;
  std::string family;
  int weight = FW_NORMAL;  // OpenType weight class of the file
  bool italic = false;
};

FaceFile MatchFace(const std::string &face, bool bold, bool italic) {
  static std::map<std::tuple<std::string, bool, bool>, FaceFile> cache;
  std::string key = face;
  for (char &ch : key) ch = char(std::tolower(static_cast<unsigned char>(ch)));
  auto found = cache.find({key, bold, italic});
  if (found != cache.end()) return found->second;

  FcPattern *pattern = FcPatternCreate();
  const Substitute *sub = nullptr;
  for (const Substitute &s : kSubstitutes)
    if (SameFace(s.face, face.c_str())) sub = &s;
  if (sub) {
    for (const char *family : sub->families)
      if (family) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family));
  } else {
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(face.c_str()));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>("sans-serif"));
  }
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern *match = FcFontMatch(nullptr, pattern, &result);
  FaceFile out;
  if (match) {
    FcChar8 *text = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &text) == FcResultMatch && text) out.file = reinterpret_cast<char *>(text);
    if (FcPatternGetString(match, FC_FAMILY, 0, &text) == FcResultMatch && text)
      out.family = reinterpret_cast<char *>(text);
    int value = 0;
    if (FcPatternGetInteger(match, FC_INDEX, 0, &value) == FcResultMatch) out.index = value;
    if (FcPatternGetInteger(match, FC_WEIGHT, 0, &value) == FcResultMatch)
      out.weight = FcWeightToOpenType(value);
    if (FcPatternGetInteger(match, FC_SLANT, 0, &value) == FcResultMatch) out.italic = value != FC_SLANT_ROMAN;
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  cache[{key, bold, italic}] = out;
  return out;
}

// ---------------------------------------------------------------- FreeType

// The library lives as long as the last face made with it, whatever order
// static objects (stock fonts among them) are destroyed in at exit.
std::shared_ptr<FT_LibraryRec_> Library() {
  static std::shared_ptr<FT_LibraryRec_> library = [] {
    FT_Library made = nullptr;
    if (FT_Init_FreeType(&made)) made = nullptr;
    return std::shared_ptr<FT_LibraryRec_>(made, [](FT_Library l) {
      if (l) FT_Done_FreeType(l);
    });
  }();
  return library;
}

// What a realization is made from: the file and how its glyphs are scaled and styled.
struct RealKey {
  std::string file;
  int index;
  int heightRequest;  // lfHeight after the default and the clamp
  int width;          // average character width asked for, 0 for the natural one
  bool embolden;
  bool oblique;
  bool smooth;
  bool operator<(const RealKey &o) const {
    return std::tie(file, index, heightRequest, width, embolden, oblique, smooth) <
           std::tie(o.file, o.index, o.heightRequest, o.width, o.embolden, o.oblique, o.smooth);
  }
};

class FreeTypeFont final : public RealFont {
 public:
  FreeTypeFont(const RealKey &key, const FaceFile &faceFile) : key_(key), family_(faceFile.family) {
    if (library_ && !key.file.empty())
      if (FT_New_Face(library_.get(), key.file.c_str(), key.index, &face_)) face_ = nullptr;
    ComputeMetrics(faceFile);
  }
  ~FreeTypeFont() override {
    if (face_) FT_Done_Face(face_);
  }
  FreeTypeFont(const FreeTypeFont &) = delete;
  FreeTypeFont &operator=(const FreeTypeFont &) = delete;

  const TEXTMETRICA &Metrics() const override { return metrics_; }
  const std::string &Family() const override { return family_; }
  int UnderlineOffset() const override { return underlineOffset_; }
  int UnderlineThickness() const override { return underlineThickness_; }
  int StrikeOffset() const override { return strikeOffset_; }
  int StrikeThickness() const override { return strikeThickness_; }

  const GlyphImage &Glyph(unsigned char c) override {
    std::unique_ptr<GlyphImage> &slot = glyphs_[c];
    if (!slot) slot = Render(c);
    return *slot;
  }

 private:
  void ComputeMetrics(const FaceFile &faceFile) {
    std::memset(&metrics_, 0, sizeof metrics_);
    double upem = 2048, ascentUnits = 1854, descentUnits = 434, lineGapUnits = 0, avgUnits = 0;
    double maxWidthUnits = 2048;
    int weight = faceFile.weight;
    bool fixed = false;
    double underlinePos = -217, underlineSize = 150, strikePos = 530, strikeSize = 102;
    if (face_) {
      upem = face_->units_per_EM ? face_->units_per_EM : 2048;
      ascentUnits = face_->ascender;
      descentUnits = -face_->descender;
      lineGapUnits = face_->height - (face_->ascender - face_->descender);
      maxWidthUnits = double(face_->bbox.xMax) - face_->bbox.xMin;
      underlinePos = face_->underline_position;
      underlineSize = face_->underline_thickness;
      strikePos = upem * 0.26;
      strikeSize = underlineSize;
      fixed = FT_IS_FIXED_WIDTH(face_);
      if (auto *os2 = static_cast<TT_OS2 *>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2)); os2 && os2->version != 0xFFFF) {
        // Windows sizes the cell by the OS/2 table's Windows ascent and descent.
        if (os2->usWinAscent + os2->usWinDescent > 0) {
          double hheaHeight = ascentUnits + descentUnits;
          ascentUnits = os2->usWinAscent;
          descentUnits = os2->usWinDescent;
          lineGapUnits = std::max(0.0, lineGapUnits - ((ascentUnits + descentUnits) - hheaHeight));
        }
        avgUnits = os2->xAvgCharWidth;
        if (os2->usWeightClass) weight = os2->usWeightClass;
        if (os2->yStrikeoutSize > 0) {
          strikePos = os2->yStrikeoutPosition;
          strikeSize = os2->yStrikeoutSize;
        }
      }
      if (avgUnits <= 0) {
        FT_Set_Char_Size(face_, 0, FT_F26Dot6(upem * 64), 72, 72);
        long total = 0;
        for (unsigned char ch = 'a'; ch <= 'z'; ++ch)
          if (!FT_Load_Char(face_, ch, FT_LOAD_NO_SCALE)) total += face_->glyph->advance.x;
        avgUnits = double(total) / 26;
      }
    }
    if (ascentUnits + descentUnits <= 0) ascentUnits = upem;
    if (avgUnits <= 0) avgUnits = upem / 2;

    // A negative height asks for the character (em) height, a positive one for
    // the cell height (ascent plus descent).
    int height = key_.heightRequest;
    int ascent, descent;
    double ppem;
    if (height < 0) {
      ppem = -height;
      ascent = int(std::lround(ascentUnits * ppem / upem));
      descent = int(std::lround(descentUnits * ppem / upem));
    } else {
      ppem = std::max(1.0, std::round(height * upem / (ascentUnits + descentUnits)));
      ascent = int(std::lround(height * ascentUnits / (ascentUnits + descentUnits)));
      descent = height - ascent;
    }
    ppem_ = std::max(1.0, ppem);
    yScale_ = ppem_ / upem;
    // A width asks for that average character width: the face is stretched to it.
    xPpem_ = key_.width > 0 ? double(key_.width) * upem / avgUnits : ppem_;
    xPpem_ = std::clamp(xPpem_, 1.0, double(kMaxPixels) * 4);
    double xScale = xPpem_ / upem;
    if (face_) FT_Set_Char_Size(face_, FT_F26Dot6(std::lround(xPpem_ * 64)), FT_F26Dot6(std::lround(ppem_ * 64)), 72, 72);

    extraAdvance_ = key_.embolden ? std::max(1, int(ppem_ / 24)) : 0;
    metrics_.tmAscent = ascent;
    metrics_.tmDescent = descent;
    metrics_.tmHeight = ascent + descent;
    metrics_.tmInternalLeading = std::max(0, metrics_.tmHeight - int(std::lround(ppem_)));
    metrics_.tmExternalLeading = int(std::lround(lineGapUnits * yScale_));
    metrics_.tmAveCharWidth = std::max(1, int(std::lround(avgUnits * xScale)));
    metrics_.tmMaxCharWidth = std::max(1, int(std::lround(maxWidthUnits * xScale))) + extraAdvance_;
    metrics_.tmWeight = key_.embolden ? FW_BOLD : weight;
    metrics_.tmOverhang = 0;
    metrics_.tmDigitizedAspectX = 96;
    metrics_.tmDigitizedAspectY = 96;
    metrics_.tmFirstChar = 0x1E;
    metrics_.tmLastChar = 0xFF;
    metrics_.tmDefaultChar = 0x1F;
    metrics_.tmBreakChar = 0x20;
    metrics_.tmItalic = (faceFile.italic || key_.oblique) ? 255 : 0;
    BYTE family = fixed ? FF_MODERN : (family_.find("Serif") != std::string::npos && family_.find("Sans") == std::string::npos)
                                          ? FF_ROMAN
                                          : FF_SWISS;
    // TMPF_FIXED_PITCH set means a variable pitch, as Win32 has it.
    metrics_.tmPitchAndFamily = BYTE((fixed ? 0 : TMPF_FIXED_PITCH) | TMPF_VECTOR | TMPF_TRUETYPE | family);
    metrics_.tmCharSet = ANSI_CHARSET;

    underlineThickness_ = std::max(1, int(std::lround(underlineSize * yScale_)));
    underlineOffset_ = std::max(1, int(std::lround(-underlinePos * yScale_)) - underlineThickness_ / 2);
    if (underlineOffset_ + underlineThickness_ > descent) underlineOffset_ = std::max(1, descent - underlineThickness_);
    strikeThickness_ = std::max(1, int(std::lround(strikeSize * yScale_)));
    strikeOffset_ = std::max(1, int(std::lround(strikePos * yScale_)));
  }

  std::unique_ptr<GlyphImage> Render(unsigned char c) {
    auto g = std::make_unique<GlyphImage>();
    if (!face_) {
      g->advance = metrics_.tmAveCharWidth;
      return g;
    }
    FT_UInt index = FT_Get_Char_Index(face_, CodePoint(c));
    FT_Int32 flags = FT_LOAD_NO_BITMAP | (key_.smooth ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO);
    if (FT_Load_Glyph(face_, index, flags)) return g;
    FT_GlyphSlot slot = face_->glyph;
    g->advance = int((slot->advance.x + 32) >> 6);
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
      if (key_.oblique) {
        FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000};  // about 12 degrees
        FT_Outline_Transform(&slot->outline, &shear);
      }
      if (key_.embolden) FT_Outline_EmboldenXY(&slot->outline, extraAdvance_ * 64, 0);
    }
    g->advance += extraAdvance_;
    if (FT_Render_Glyph(slot, key_.smooth ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO)) return g;
    const FT_Bitmap &bm = slot->bitmap;
    g->left = slot->bitmap_left;
    g->top = slot->bitmap_top;
    g->width = int(bm.width);
    g->rows = int(bm.rows);
    g->coverage.assign(size_t(g->width) * size_t(g->rows), 0);
    for (int y = 0; y < g->rows; ++y) {
      const unsigned char *row = bm.buffer + ptrdiff_t(y) * bm.pitch;
      uint8_t *out = g->coverage.data() + size_t(y) * size_t(g->width);
      if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
        for (int x = 0; x < g->width; ++x) out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
      } else {
        std::memcpy(out, row, size_t(g->width));
      }
    }
    return g;
  }

  std::shared_ptr<FT_LibraryRec_> library_ = Library();
  RealKey key_;
  std::string family_;
  FT_Face face_ = nullptr;
  TEXTMETRICA metrics_{};
  double ppem_ = 1;
  double xPpem_ = 1;
  double yScale_ = 1;
  int extraAdvance_ = 0;
  int underlineOffset_ = 1, underlineThickness_ = 1, strikeOffset_ = 3, strikeThickness_ = 1;
  std::array<std::unique_ptr<GlyphImage>, 256> glyphs_;
};

int ClampPixels(long long v) { return int(std::clamp<long long>(v, -kMaxPixels, kMaxPixels)); }

std::shared_ptr<RealFont> Realize(const LOGFONTA &lf) {
  static std::map<RealKey, std::weak_ptr<RealFont>> live;
  static std::list<std::shared_ptr<RealFont>> kept;  // most recent first

  bool wantBold = lf.lfWeight > 550;
  bool wantItalic = lf.lfItalic != 0;
  FaceFile faceFile = MatchFace(FaceOf(lf), wantBold, wantItalic);
  RealKey key;
  key.file = faceFile.file;
  key.index = faceFile.index;
  long long height = lf.lfHeight == 0 ? kDefaultCellHeight : lf.lfHeight;
  key.heightRequest = ClampPixels(height);
  if (key.heightRequest == 0) key.heightRequest = -1;
  key.width = std::abs(ClampPixels(lf.lfWidth));
  key.embolden = wantBold && faceFile.weight < 600;
  key.oblique = wantItalic && !faceFile.italic;
  key.smooth = lf.lfQuality == NONANTIALIASED_QUALITY ? false
               : lf.lfQuality == ANTIALIASED_QUALITY  ? true
                                                      : kSmoothByDefault;

  std::shared_ptr<RealFont> real = live[key].lock();
  if (!real) {
    real = std::make_shared<FreeTypeFont>(key, faceFile);
    live[key] = real;
  }
  kept.remove(real);
  kept.push_front(real);
  if (kept.size() > kKeptRealizations) kept.pop_back();
  // Forget the entries whose fonts are gone.
  for (auto it = live.begin(); it != live.end();) it = it->second.expired() ? live.erase(it) : std::next(it);
  return real;
}

LOGFONTA MakeLogFont(LONG height, LONG width, LONG weight, BYTE pitchAndFamily, const char *face) {
  LOGFONTA lf;
  std::memset(&lf, 0, sizeof lf);
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfWeight = weight;
  lf.lfCharSet = ANSI_CHARSET;
  lf.lfPitchAndFamily = pitchAndFamily;
  std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return lf;
}

}  // namespace

// ---------------------------------------------------------------- logical fonts

LogicalFont::LogicalFont(const LOGFONTA &lf) : lf_(lf) { lf_.lfFaceName[LF_FACESIZE - 1] = 0; }

int LogicalFont::GetObject(int size, void *out) const {
  if (!out) return int(sizeof(LOGFONTA));
  int n = std::clamp(size, 0, int(sizeof(LOGFONTA)));
  std::memcpy(out, &lf_, size_t(n));
  return n;
}

RealFont &LogicalFont::Real() const {
  if (!real_) real_ = Realize(lf_);
  return *real_;
}

LOGFONTA StockLogFont(int index) {
  switch (index) {
    case OEM_FIXED_FONT:
      return MakeLogFont(12, 8, FW_NORMAL, FIXED_PITCH | FF_MODERN, "Terminal");
    case ANSI_FIXED_FONT:
      return MakeLogFont(12, 9, FW_NORMAL, FIXED_PITCH | FF_MODERN, "Courier");
    case ANSI_VAR_FONT:
      return MakeLogFont(12, 9, FW_NORMAL, VARIABLE_PITCH | FF_SWISS, "MS Sans Serif");
    case SYSTEM_FIXED_FONT:
      return MakeLogFont(16, 8, FW_NORMAL, FIXED_PITCH | FF_MODERN, "Fixedsys");
    case DEFAULT_GUI_FONT:
      return MakeLogFont(-11, 0, FW_NORMAL, VARIABLE_PITCH | FF_SWISS, "MS Shell Dlg");
    case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT:
    default:
      return MakeLogFont(16, 7, FW_BOLD, VARIABLE_PITCH | FF_SWISS, "System");
  }
}

LOGFONTA UiLogFont(UiFont which) {
  // The classic scheme: 8-point MS Sans Serif, bold in captions.
  return MakeLogFont(-11, 0, which == UiFont::Caption ? FW_BOLD : FW_NORMAL, VARIABLE_PITCH | FF_SWISS,
                     "MS Sans Serif");
}

const LogicalFont *LogicalFontOf(HFONT font) {
  return dynamic_cast<const LogicalFont *>(FontDataOf(font));
}

const LogicalFont *ContextFont(HDC hdc) {
  DC *dc = FindDC(hdc);
  if (!dc) return nullptr;
  if (const LogicalFont *font = LogicalFontOf(dc->fontHandle)) return font;
  return LogicalFontOf(static_cast<HFONT>(S().stock[SYSTEM_FONT]));
}

void TextMetricsOf(const LogicalFont &font, TEXTMETRICA *out) {
  *out = font.Real().Metrics();
  const LOGFONTA &lf = font.Logical();
  if (lf.lfItalic) out->tmItalic = 255;
  out->tmUnderlined = lf.lfUnderline ? 255 : 0;
  out->tmStruckOut = lf.lfStrikeOut ? 255 : 0;
}

int TextWidth(const LogicalFont &font, const char *text, int count) {
  RealFont &real = font.Real();
  long long width = 0;
  for (int i = 0; i < count; ++i) width += real.Advance(static_cast<unsigned char>(text[i]));
  return int(std::min<long long>(width, INT32_MAX));
}

}  // namespace vd::gdi

using namespace vd::gdi;

extern "C" {

HFONT WINAPI CreateFontIndirectA(const LOGFONTA *logFont) {
  if (!logFont) return nullptr;
  return AddFont(std::make_unique<LogicalFont>(*logFont));
}

HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                         DWORD quality, DWORD pitchAndFamily, LPCSTR faceName) {
  LOGFONTA lf;
  std::memset(&lf, 0, sizeof lf);
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = BYTE(italic);
  lf.lfUnderline = BYTE(underline);
  lf.lfStrikeOut = BYTE(strikeOut);
  lf.lfCharSet = BYTE(charSet);
  lf.lfOutPrecision = BYTE(outPrecision);
  lf.lfClipPrecision = BYTE(clipPrecision);
  lf.lfQuality = BYTE(quality);
  lf.lfPitchAndFamily = BYTE(pitchAndFamily);
  if (faceName) std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
  return CreateFontIndirectA(&lf);
}

BOOL WINAPI GetTextMetricsA(HDC hdc, LPTEXTMETRICA metrics) {
  const LogicalFont *font = ContextFont(hdc);
  if (!font || !metrics) return FALSE;
  TextMetricsOf(*font, metrics);
  return TRUE;
}

// The family of the face the context's font was realized with.
int WINAPI GetTextFaceA(HDC hdc, int count, LPSTR faceName) {
  const LogicalFont *font = ContextFont(hdc);
  if (!font) return 0;
  const std::string &family = font->Real().Family();
  if (!faceName) return int(family.size()) + 1;
  if (count <= 0) return 0;
  size_t n = std::min(family.size(), size_t(count - 1));
  std::memcpy(faceName, family.data(), n);
  faceName[n] = 0;
  return int(n);
}

BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR text, int count, SIZE *size) {
  const LogicalFont *font = ContextFont(hdc);
  if (!font || !size || count < 0 || (count > 0 && !text)) return FALSE;
  size->cx = TextWidth(*font, text, count);
  size->cy = font->Real().Metrics().tmHeight;
  return TRUE;
}

}  // extern "C"
