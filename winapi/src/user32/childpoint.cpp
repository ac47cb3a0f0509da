// ChildWindowFromPointEx: which direct child of a window lies under a point of
// its client area.
#include "user32/wnd.h"

using namespace vd::user;

// The topmost child under the point that the flags do not skip; the window
// itself when none is; NULL when the point is outside its client area.
extern "C" HWND WINAPI ChildWindowFromPointEx(HWND parent, POINT pt, UINT flags) {
  Window *w = Find(parent);
  RECT client;
  if (!w || !GetClientRect(parent, &client) || !PtInRect(&client, pt)) return nullptr;
  POINT screen = pt;
  ClientToScreen(parent, &screen);
  for (HWND c : w->children) {
    Window *cw = Find(c);
    if (!cw || !PtInRect(&cw->rect, screen)) continue;
    if ((flags & CWP_SKIPINVISIBLE) && !(cw->style & WS_VISIBLE)) continue;
    if ((flags & CWP_SKIPDISABLED) && !cw->enabled) continue;
    if ((flags & CWP_SKIPTRANSPARENT) && (cw->exStyle & WS_EX_TRANSPARENT)) continue;
    return c;
  }
  return parent;
}
