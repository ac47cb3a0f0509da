// The classic 3-D look, drawn pixel-exact from small patterns and one-pixel
// frames, in the system colours.
#include "user32/draw3d.h"

#include "gdi32/gdi.h"

namespace vd::user::draw3d {

namespace {

// Draws the cells of a pattern row by row: each character picks a colour
// through `pick` (0 leaves the pixel alone).
template <typename Pick>
void Pattern(const Canvas &c, int x, int y, const char *const *rows, int height, Pick pick) {
  for (int r = 0; r < height; ++r)
    for (int col = 0; rows[r][col]; ++col) {
      COLORREF color;
      if (pick(rows[r][col], &color)) c.Pixel(x + col, y + r, color);
    }
}

// The radio button, ring by ring: o outer ring, i inner ring, w inside, d the dot.
const char *const kRadio[kRadioSize] = {
    "....oooo....",  //
    "..ooiiiioo..",  //
    ".oiiwwwwiio.",  //
    ".oiwwwwwwio.",  //
    "oiwwwddwwwio",  //
    "oiwwddddwwio",  //
    "oiwwddddwwio",  //
    "oiwwwddwwwio",  //
    ".oiwwwwwwio.",  //
    ".oiiwwwwiio.",  //
    "..ooiiiioo..",  //
    "....oooo....",  //
};

// The check mark inside the box.
const char *const kCheck[7] = {
    "......x",  //
    ".....xx",  //
    "x...xxx",  //
    "xx.xxx.",  //
    "xxxxx..",  //
    ".xxx...",  //
    "..x....",  //
};

// Caption-button glyphs, 8 pixels wide.
const char *const kCloseGlyph[7] = {
    "xx....xx",  //
    ".xx..xx.",  //
    "..xxxx..",  //
    "...xx...",  //
    "..xxxx..",  //
    ".xx..xx.",  //
    "xx....xx",  //
};
const char *const kHelpGlyph[9] = {
    "..xxxx..",  //
    ".xx..xx.",  //
    ".....xx.",  //
    "....xx..",  //
    "...xx...",  //
    "...xx...",  //
    "........",  //
    "...xx...",  //
    "...xx...",  //
};

}  // namespace

void Canvas::Fill(const RECT &rc, COLORREF color) const {
  if (rc.right <= rc.left || rc.bottom <= rc.top) return;
  if (hdc_)
    gdi::FillSolid(hdc_, rc, color);
  else
    gdi::FillScreen(rc, color, clip_);
}

COLORREF Face() { return GetSysColor(COLOR_3DFACE); }
COLORREF Light() { return GetSysColor(COLOR_3DLIGHT); }
COLORREF Highlight() { return GetSysColor(COLOR_3DHILIGHT); }
COLORREF Shadow() { return GetSysColor(COLOR_3DSHADOW); }
COLORREF DarkShadow() { return GetSysColor(COLOR_3DDKSHADOW); }

RECT Frame(const Canvas &c, RECT rc, COLORREF topLeft, COLORREF bottomRight) {
  if (rc.right - rc.left < 2 || rc.bottom - rc.top < 2) {
    c.Fill(rc, topLeft);
    return RECT{rc.left, rc.top, rc.left, rc.top};
  }
  c.Fill(RECT{rc.left, rc.top, rc.right - 1, rc.top + 1}, topLeft);
  c.Fill(RECT{rc.left, rc.top + 1, rc.left + 1, rc.bottom - 1}, topLeft);
  c.Fill(RECT{rc.left, rc.bottom - 1, rc.right, rc.bottom}, bottomRight);
  c.Fill(RECT{rc.right - 1, rc.top, rc.right, rc.bottom - 1}, bottomRight);
  return RECT{rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1};
}

RECT RaisedEdge(const Canvas &c, RECT rc) {
  rc = Frame(c, rc, Light(), DarkShadow());
  return Frame(c, rc, Highlight(), Shadow());
}

RECT SunkenEdge(const Canvas &c, RECT rc) {
  rc = Frame(c, rc, Shadow(), Highlight());
  return Frame(c, rc, DarkShadow(), Light());
}

RECT StaticEdge(const Canvas &c, RECT rc) { return Frame(c, rc, Shadow(), Highlight()); }

RECT ButtonEdge(const Canvas &c, RECT rc) {
  rc = Frame(c, rc, Highlight(), DarkShadow());
  return Frame(c, rc, Light(), Shadow());
}

RECT PushButton(const Canvas &c, RECT rc, bool isDefault, bool pressed) {
  if (isDefault || pressed) rc = Frame(c, rc, DarkShadow(), DarkShadow());
  if (pressed) {
    rc = Frame(c, rc, Shadow(), Shadow());
    c.Fill(rc, Face());
    return RECT{rc.left + 1, rc.top + 1, rc.right + 1, rc.bottom + 1};
  }
  rc = ButtonEdge(c, rc);
  c.Fill(rc, Face());
  return rc;
}

void CheckBox(const Canvas &c, int x, int y, bool checked, bool pushed, bool disabled) {
  RECT inner = SunkenEdge(c, RECT{x, y, x + kCheckSize, y + kCheckSize});
  c.Fill(inner, pushed || disabled ? Face() : GetSysColor(COLOR_WINDOW));
  if (!checked) return;
  COLORREF mark = disabled ? GetSysColor(COLOR_GRAYTEXT) : GetSysColor(COLOR_BTNTEXT);
  Pattern(c, inner.left + 1, inner.top + 1, kCheck, 7, [&](char ch, COLORREF *out) {
    *out = mark;
    return ch == 'x';
  });
}

void RadioButton(const Canvas &c, int x, int y, bool checked, bool pushed, bool disabled) {
  COLORREF inside = pushed || disabled ? Face() : GetSysColor(COLOR_WINDOW);
  COLORREF dot = disabled ? GetSysColor(COLOR_GRAYTEXT) : GetSysColor(COLOR_BTNTEXT);
  // The upper-left half of each ring is in shadow, the lower-right half in light.
  for (int r = 0; r < kRadioSize; ++r)
    for (int col = 0; col < kRadioSize; ++col) {
      char ch = kRadio[r][col];
      bool upperLeft = col + r < kRadioSize - 1;
      COLORREF color;
      switch (ch) {
        case 'o': color = upperLeft ? Shadow() : Highlight(); break;
        case 'i': color = upperLeft ? DarkShadow() : Light(); break;
        case 'w': color = inside; break;
        case 'd': color = checked ? dot : inside; break;
        default: continue;
      }
      c.Pixel(x + col, y + r, color);
    }
}

void FocusRect(const Canvas &c, const RECT &rc) {
  COLORREF ink = GetSysColor(COLOR_BTNTEXT);
  for (int x = rc.left; x < rc.right; x += 2) {
    c.Pixel(x, rc.top, ink);
    if ((rc.bottom - 1 - rc.top) % 2 == 0) c.Pixel(x, rc.bottom - 1, ink);
    else if (x + 1 < rc.right) c.Pixel(x + 1, rc.bottom - 1, ink);
  }
  for (int y = rc.top; y < rc.bottom; y += 2) {
    c.Pixel(rc.left, y, ink);
    if ((rc.right - 1 - rc.left) % 2 == 0) c.Pixel(rc.right - 1, y, ink);
    else if (y + 1 < rc.bottom) c.Pixel(rc.right - 1, y + 1, ink);
  }
}

void CaptionButton(const Canvas &c, const RECT &rc, Glyph glyph, bool pressed) {
  RECT face;
  if (pressed) {
    face = Frame(c, rc, DarkShadow(), Highlight());
    face = Frame(c, face, Shadow(), Light());
  } else {
    face = ButtonEdge(c, rc);
  }
  c.Fill(face, Face());
  const char *const *rows = glyph == Glyph::Close ? kCloseGlyph : kHelpGlyph;
  int height = glyph == Glyph::Close ? 7 : 9;
  int x = rc.left + (rc.right - rc.left - 8) / 2 + (pressed ? 1 : 0);
  int y = rc.top + (rc.bottom - rc.top - height) / 2 + (pressed ? 1 : 0);
  COLORREF ink = GetSysColor(COLOR_BTNTEXT);
  Pattern(c, x, y, rows, height, [&](char ch, COLORREF *out) {
    *out = ink;
    return ch == 'x';
  });
}

}  // namespace vd::user::draw3d
