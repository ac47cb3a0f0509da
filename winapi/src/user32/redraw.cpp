// RedrawWindow: invalidation and validation of a window and its children, with
// the erase and paint done now or left to the message loop.
#include <vector>

#include "core/platform.h"
#include "gdi32/gdi.h"
#include "user32/user.h"
#include "user32/wnd.h"

namespace vd::user {
namespace {

// The windows a redraw reaches: the window, and its descendants when the flags
// or a missing WS_CLIPCHILDREN say so. The desktop window's children are the
// top-level windows.
void CollectAffected(HWND hwnd, bool children, std::vector<HWND> *out) {
  out->push_back(hwnd);
  if (!children) return;
  const std::vector<HWND> &kids = hwnd == DesktopHandle() ? TopLevels() : Find(hwnd)->children;
  std::vector<HWND> copy = kids;
  for (auto it = copy.rbegin(); it != copy.rend(); ++it)
    if (Find(*it)) CollectAffected(*it, true, out);
}

}  // namespace
}  // namespace vd::user

using namespace vd;
using namespace vd::user;

extern "C" {

BOOL WINAPI RedrawWindow(HWND hwnd, const RECT *rect, HRGN rgn, UINT flags) {
  if (!hwnd) hwnd = DesktopHandle();
  Window *w = Find(hwnd);
  if (!w) return FALSE;
  // The area in screen coordinates; the region and the rectangle are in client
  // coordinates, and with neither the whole client area (the whole window with RDW_FRAME).
  RECT client = ClientRectScreen(*w);
  Region area;
  if (rgn) {
    pixman_region32_t *data = gdi::RegionData(rgn);
    if (!data) return FALSE;
    pixman_region32_copy(area.get(), data);
    area.Offset(client.left, client.top);
  } else if (rect) {
    RECT screen = *rect;
    OffsetRect(&screen, client.left, client.top);
    area.SetRect(screen);
  } else {
    area.SetRect((flags & RDW_FRAME) ? w->rect : client);
  }
  bool children = (flags & RDW_ALLCHILDREN) || (!(flags & RDW_NOCHILDREN) && !(w->style & WS_CLIPCHILDREN));
  std::vector<HWND> affected;
  CollectAffected(hwnd, children, &affected);

  for (HWND h : affected) {
    Window *x = Find(h);
    if (!x) continue;
    Region part = area;
    part.Intersect(x->rect);
    if (part.Empty()) continue;
    if (flags & RDW_INVALIDATE) {
      InvalidateScreenRegion(*x, part, (flags & RDW_ERASE) != 0, false);
      Region frame = part;
      frame.Subtract(ClientRectScreen(*x));
      if ((flags & RDW_FRAME) && !frame.Empty()) x->framePending = true;
    } else if (flags & RDW_VALIDATE) {
      x->update.Subtract(part);
      if ((flags & RDW_NOERASE) || x->update.Empty()) x->erasePending = false;
      if (flags & RDW_NOFRAME) x->framePending = false;
    }
  }
  if ((flags & RDW_INVALIDATE) && Observed().recording)
    Observed().repaints.push_back(RepaintRecord{ClockNow(), hwnd, area.Box(), (flags & RDW_ERASE) != 0});

  if (flags & RDW_UPDATENOW) {
    for (HWND h : affected)
      if (Window *x = Find(h); x && HasPendingPaint(*x)) PaintWindow(h);
  } else if (flags & RDW_ERASENOW) {
    for (HWND h : affected) EraseNow(h);
  }
  return TRUE;
}

}  // extern "C"
