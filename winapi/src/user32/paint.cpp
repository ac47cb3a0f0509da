// Update regions, painting, and window device contexts.
#include <algorithm>
#include <cstring>

#include "core/platform.h"
#include "gdi32/gdi.h"
#include "user32/user.h"
#include "user32/wnd.h"

namespace vd::user {

void InvalidateScreenRegion(Window &w, const Region &screenRegion, bool erase, bool withChildren) {
  Region r = screenRegion;
  r.Intersect(ClientRectScreen(w));
  if (!r.Empty()) {
    w.update.Union(r);
    if (erase) w.erasePending = true;
  }
  // Without WS_CLIPCHILDREN the children share the parent's pixels and are invalidated with it.
  if (withChildren || !(w.style & WS_CLIPCHILDREN)) {
    for (HWND c : w.children) {
      Window *cw = Find(c);
      if (!cw) continue;
      Region cr = screenRegion;
      cr.Intersect(cw->rect);
      if (cr.Empty()) continue;
      cw->framePending = true;
      InvalidateScreenRegion(*cw, cr, erase, withChildren);
    }
  }
}

bool HasPendingPaint(const Window &w) {
  if (!IsVisibleOnScreen(w)) return false;
  return !w.update.Empty() || w.framePending;
}

HWND NextWindowToPaint() {
  HWND found = nullptr;
  ForEachWindow([&](Window &w) {
    if (!found && HasPendingPaint(w)) found = w.handle;
  });
  return found;
}

void DrawFrame(Window &w) {
  w.framePending = false;
  if ((w.style & WS_CHILD) || w.handle == DesktopHandle()) return;
  RECT client = ClientRectScreen(w);
  if (std::memcmp(&client, &w.rect, sizeof(RECT)) == 0) return;
  Region area;
  DrawableArea(w.handle, false, area.get(), nullptr);
  area.Subtract(client);
  if (area.Empty()) return;
  // A raised grey border and, for captioned windows, a title bar: dark blue when active.
  gdi::FillScreen(w.rect, RGB(192, 192, 192), area.get());
  RECT edge = w.rect;
  gdi::FillScreen(RECT{edge.left, edge.top, edge.right, edge.top + 1}, RGB(255, 255, 255), area.get());
  gdi::FillScreen(RECT{edge.left, edge.top, edge.left + 1, edge.bottom}, RGB(255, 255, 255), area.get());
  gdi::FillScreen(RECT{edge.left, edge.bottom - 1, edge.right, edge.bottom}, RGB(64, 64, 64), area.get());
  gdi::FillScreen(RECT{edge.right - 1, edge.top, edge.right, edge.bottom}, RGB(64, 64, 64), area.get());
  if ((w.style & WS_CAPTION) == WS_CAPTION) {
    RECT bar{client.left, client.top - GetSystemMetrics(SM_CYCAPTION), client.right, client.top - 1};
    bool active = GetActiveWindow() == w.handle;
    gdi::FillScreen(bar, active ? RGB(0, 0, 128) : RGB(128, 128, 128), area.get());
    // The close box at the right of the title bar.
    RECT box{bar.right - 16, bar.top + 2, bar.right - 2, bar.bottom - 2};
    gdi::FillScreen(box, RGB(192, 192, 192), area.get());
    for (int i = 3; i < 11; ++i) {
      gdi::FillScreen(RECT{box.left + i, box.top + i - 1, box.left + i + 1, box.top + i}, RGB(0, 0, 0), area.get());
      gdi::FillScreen(RECT{box.right - i - 1, box.top + i - 1, box.right - i, box.top + i}, RGB(0, 0, 0), area.get());
    }
    DrawTitleText(w, bar, area.get());
  }
}

void PaintWindow(HWND hwnd) {
  Window *w = Find(hwnd);
  if (!w) return;
  if (w->framePending) DrawFrame(*w);
  if (w->update.Empty()) return;
  SendMessageA(hwnd, WM_PAINT, 0, 0);
  w = Find(hwnd);
  // A window procedure that does not validate would be sent WM_PAINT forever; stop that here.
  if (w) {
    w->update.Clear();
    w->erasePending = false;
  }
}

}  // namespace vd::user

using namespace vd;
using namespace vd::user;

namespace {

void RecordRepaint(HWND hwnd, const RECT &box, bool erase) {
  if (Observed().recording) Observed().repaints.push_back(RepaintRecord{ClockNow(), hwnd, box, erase});
}

void InvalidateEverything(bool erase) {
  ForEachWindow([&](Window &w) {
    w.framePending = true;
    Region all(w.rect);
    InvalidateScreenRegion(w, all, erase, false);
  });
  if (Observed().recording) Observed().screenRepaints++;
  RecordRepaint(nullptr, RECT{0, 0, 0, 0}, erase);
}

}  // namespace

extern "C" {

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT *rect, BOOL erase) {
  if (!hwnd) {
    InvalidateEverything(erase != 0);
    return TRUE;
  }
  Window *w = Find(hwnd);
  if (!w) return FALSE;
  RECT client = ClientRectScreen(*w);
  Region r;
  if (rect) {
    RECT screen = *rect;
    OffsetRect(&screen, client.left, client.top);
    r.SetRect(screen);
  } else {
    r.SetRect(client);
  }
  RecordRepaint(hwnd, r.Box(), erase != 0);
  InvalidateScreenRegion(*w, r, erase != 0, false);
  return TRUE;
}

BOOL WINAPI InvalidateRgn(HWND hwnd, HRGN rgn, BOOL erase) {
  if (!rgn) return InvalidateRect(hwnd, nullptr, erase);
  if (!hwnd) {
    InvalidateEverything(erase != 0);
    return TRUE;
  }
  Window *w = Find(hwnd);
  pixman_region32_t *data = gdi::RegionData(rgn);
  if (!w || !data) return FALSE;
  RECT client = ClientRectScreen(*w);
  Region r;
  pixman_region32_copy(r.get(), data);
  r.Offset(client.left, client.top);
  RecordRepaint(hwnd, r.Box(), erase != 0);
  InvalidateScreenRegion(*w, r, erase != 0, false);
  return TRUE;
}

BOOL WINAPI ValidateRect(HWND hwnd, const RECT *rect) {
  Window *w = Find(hwnd);
  if (!w) return FALSE;
  if (!rect) {
    w->update.Clear();
    w->erasePending = false;
    return TRUE;
  }
  RECT client = ClientRectScreen(*w);
  RECT screen = *rect;
  OffsetRect(&screen, client.left, client.top);
  w->update.Subtract(screen);
  return TRUE;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
  if (!hwnd) {
    // Every window with something to paint is painted now.
    PaintPending();
    return TRUE;
  }
  Window *w = Find(hwnd);
  if (!w) return FALSE;
  std::function<void(HWND)> update = [&](HWND h) {
    Window *x = Find(h);
    if (!x) return;
    if (HasPendingPaint(*x)) PaintWindow(h);
    x = Find(h);
    if (!x) return;
    std::vector<HWND> kids = x->children;
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) update(*it);
  };
  update(hwnd);
  return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND hwnd, LPRECT rect, BOOL erase) {
  (void)erase;
  Window *w = Find(hwnd);
  if (!w) return FALSE;
  if (rect) {
    RECT box = w->update.Box();
    RECT client = ClientRectScreen(*w);
    if (!w->update.Empty()) OffsetRect(&box, -client.left, -client.top);
    *rect = box;
  }
  return w->update.Empty() ? FALSE : TRUE;
}

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
  Window *w = Find(hwnd);
  if (!w || !ps) return nullptr;
  std::memset(ps, 0, sizeof *ps);
  HDC hdc = gdi::CreateWindowDC(hwnd, true);
  Region update = w->update;
  gdi::SetExtraClip(hdc, update.get());
  bool erase = w->erasePending;
  RECT box = update.Box();
  RECT client = ClientRectScreen(*w);
  if (!update.Empty()) OffsetRect(&box, -client.left, -client.top);
  // The update region is validated by BeginPaint, before the erase, as in Win32.
  w->update.Clear();
  w->erasePending = false;
  ps->hdc = hdc;
  ps->rcPaint = box;
  ps->fErase = TRUE;
  if (erase) ps->fErase = SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) ? FALSE : TRUE;
  return hdc;
}

BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT *ps) {
  if (!ps) return FALSE;
  return gdi::ReleaseWindowDC(hwnd, ps->hdc) ? TRUE : FALSE;
}

// GetDC(NULL) is the screen's context, and so is the desktop window's: both
// draw over every window, as on Windows. Painting the desktop (BeginPaint) is
// still clipped to what the windows leave of it.
HDC WINAPI GetDC(HWND hwnd) {
  if (hwnd == DesktopHandle()) hwnd = nullptr;
  if (hwnd && !Find(hwnd)) return nullptr;
  return gdi::CreateWindowDC(hwnd, true);
}

int WINAPI ReleaseDC(HWND hwnd, HDC hdc) {
  if (hwnd == DesktopHandle()) hwnd = nullptr;
  return gdi::ReleaseWindowDC(hwnd, hdc) ? 1 : 0;
}

}  // extern "C"
