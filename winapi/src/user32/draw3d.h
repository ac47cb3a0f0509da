// The classic 3-D look: raised and sunken edges, button faces, check marks,
// radio dots, focus rectangles and caption-button glyphs, in the colours of
// the "Windows Standard" scheme (GetSysColor). Controls draw with it through a
// device context; the window frames and popups draw with it straight onto the
// screen, inside a clip region.
#pragma once

#include <pixman.h>

#include "windows.h"

namespace vd::user::draw3d {

// Where the drawing lands: a device context (logical coordinates, the
// context's clip), or the screen (screen coordinates, inside `clip`).
class Canvas {
 public:
  explicit Canvas(HDC hdc) : hdc_(hdc) {}
  explicit Canvas(const pixman_region32_t *screenClip) : clip_(screenClip) {}
  void Fill(const RECT &rc, COLORREF color) const;
  void Pixel(int x, int y, COLORREF color) const { Fill(RECT{x, y, x + 1, y + 1}, color); }

 private:
  HDC hdc_ = nullptr;
  const pixman_region32_t *clip_ = nullptr;
};

COLORREF Face();       // COLOR_BTNFACE
COLORREF Light();      // COLOR_3DLIGHT
COLORREF Highlight();  // COLOR_BTNHIGHLIGHT
COLORREF Shadow();     // COLOR_BTNSHADOW
COLORREF DarkShadow(); // COLOR_3DDKSHADOW

// A one-pixel frame: `topLeft` along the top and left, `bottomRight` along
// the bottom and right. Returns the rectangle inside it.
RECT Frame(const Canvas &c, RECT rc, COLORREF topLeft, COLORREF bottomRight);

// Two-pixel edges (EDGE_RAISED, EDGE_SUNKEN) and the one-pixel static edge.
RECT RaisedEdge(const Canvas &c, RECT rc);
RECT SunkenEdge(const Canvas &c, RECT rc);
RECT StaticEdge(const Canvas &c, RECT rc);
// The outer raised edge of push buttons and caption buttons (white outermost).
RECT ButtonEdge(const Canvas &c, RECT rc);

// A push button's frame and face. `isDefault` adds the black outline of the
// default button; `pressed` draws it pushed in. Returns the face rectangle,
// where the caption goes (already shifted by one pixel when pressed).
RECT PushButton(const Canvas &c, RECT rc, bool isDefault, bool pressed);

// A 13 x 13 check box at (x, y).
constexpr int kCheckSize = 13;
void CheckBox(const Canvas &c, int x, int y, bool checked, bool pushed, bool disabled);
// A 12 x 12 radio button at (x, y).
constexpr int kRadioSize = 12;
void RadioButton(const Canvas &c, int x, int y, bool checked, bool pushed, bool disabled);

// The dotted focus rectangle: every other pixel of its outline.
void FocusRect(const Canvas &c, const RECT &rc);

// Caption buttons: the close box (an X) and the help button (a question mark).
enum class Glyph { Close, Help };
void CaptionButton(const Canvas &c, const RECT &rc, Glyph glyph, bool pressed);

}  // namespace vd::user::draw3d
