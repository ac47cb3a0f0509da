// What user32 offers the other libraries of the virtual desktop.
#pragma once

#include <pixman.h>

#include <cstdint>
#include <vector>

#include "windows.h"

namespace vd::user {

// The part of the screen that a context on `hwnd` may draw on (screen
// coordinates), and the screen point that is (0, 0) for it. `client` picks the
// client area or the whole window. False for a window that is not live.
bool DrawableArea(HWND hwnd, bool client, pixman_region32_t *out, POINT *origin);

// An icon's picture at (about) the given size: ARGB pixels, premultiplied no.
struct IconImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;
};
bool GetIconImage(HICON icon, int size, IconImage *out);
// Draws an icon onto the screen at a screen point, inside `clip`.
void DrawIconOnScreen(HICON icon, int x, int y, int size, const pixman_region32_t *clip);

}  // namespace vd::user
