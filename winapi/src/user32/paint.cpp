// Update regions, painting, and window device contexts.
#include <algorithm>
#include <cstring>

#include "core/platform.h"
#include "gdi32/gdi.h"
#include "user32/draw3d.h"
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

RECT CaptionButtonRect(const Window &w, CaptionButton button) {
  if ((w.style & WS_CAPTION) != WS_CAPTION || !(w.style & WS_SYSMENU) || w.parent) return RECT{0, 0, 0, 0};
  int frame = OuterFrameWidth(w.style, w.exStyle);
  int right = w.rect.right - frame - 2;
  int top = w.rect.top + frame + 2;
  // The close box at the right end; the help button left of it.
  if (button == CaptionButton::Help) {
    if (!(w.exStyle & WS_EX_CONTEXTHELP)) return RECT{0, 0, 0, 0};
    right -= 16 + 2;
  }
  return RECT{right - 16, top, right, top + 14};
}

// The small icon at the left of a caption: a window with a system menu shows
// its class's small icon (or its icon, made small), unless it is a tool window
// or has a dialog's modal frame.
HICON CaptionIcon(const Window &w) {
  if (!(w.style & WS_SYSMENU) || (w.exStyle & (WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME)) || !w.cls) return nullptr;
  return w.cls->iconSm ? w.cls->iconSm : w.cls->icon;
}

void DrawFrame(Window &w) {
  w.framePending = false;
  if (w.handle == DesktopHandle()) return;
  RECT client = ClientRectScreen(w);
  if (std::memcmp(&client, &w.rect, sizeof(RECT)) == 0) return;
  Region area;
  DrawableArea(w.handle, false, area.get(), nullptr);
  area.Subtract(client);
  if (area.Empty()) return;
  draw3d::Canvas c(area.get());
  RECT rc = w.rect;
  int frame = OuterFrameWidth(w.style, w.exStyle);
  if (frame >= 3) {
    // A raised frame of the face colour: thick (sizing) or dialog.
    c.Fill(RECT{rc.left, rc.top, rc.right, rc.bottom}, draw3d::Face());
    draw3d::RaisedEdge(c, rc);
    rc = RECT{rc.left + frame, rc.top + frame, rc.right - frame, rc.bottom - frame};
  } else if (frame == 1) {
    rc = draw3d::Frame(c, rc, GetSysColor(COLOR_WINDOWFRAME), GetSysColor(COLOR_WINDOWFRAME));
  }
  if ((w.style & WS_CAPTION) == WS_CAPTION) {
    int height = GetSystemMetrics(SM_CYCAPTION);
    RECT bar{rc.left, rc.top, rc.right, rc.top + height - 1};
    c.Fill(RECT{rc.left, bar.bottom, rc.right, rc.top + height}, draw3d::Face());
    bool active = GetActiveWindow() == w.handle;
    c.Fill(bar, GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
    RECT close = CaptionButtonRect(w, CaptionButton::Close);
    RECT help = CaptionButtonRect(w, CaptionButton::Help);
    if (!IsRectEmpty(&close)) draw3d::CaptionButton(c, close, draw3d::Glyph::Close, false);
    if (!IsRectEmpty(&help)) draw3d::CaptionButton(c, help, draw3d::Glyph::Help, false);
    RECT text = bar;
    if (HICON icon = CaptionIcon(w)) {
      int size = GetSystemMetrics(SM_CXSMICON);
      DrawIconOnScreen(icon, bar.left + 2, bar.top + (bar.bottom - bar.top - size) / 2, size, area.get());
      text.left += size + 2;
    }
    if (!IsRectEmpty(&help)) text.right = help.left + 16;
    else if (!IsRectEmpty(&close)) text.right = close.left + 16;
    DrawTitleText(w, text, area.get());
    rc.top += height;
  }
  // The edges inside the frame: the static edge, then the sunken client edge.
  if (w.exStyle & WS_EX_STATICEDGE) rc = draw3d::StaticEdge(c, rc);
  if (w.exStyle & WS_EX_CLIENTEDGE) draw3d::SunkenEdge(c, rc);
}

// The frame is painted by WM_NCPAINT (DefWindowProc draws it); it is valid
// again once the message was sent, whatever the window procedure did.
static void SendNcPaint(HWND hwnd) {
  Window *w = Find(hwnd);
  if (!w || !w->framePending) return;
  w->framePending = false;
  SendMessageA(hwnd, WM_NCPAINT, 1, 0);
}

// The frame and the background erase a window has pending, now. Windows
// erases so when it shows or uncovers a window, and for InvalidateRect with
// no window, before WM_PAINT: what a window procedure draws before its
// BeginPaint (a dialog drawing on a child, say) is not erased afterwards. A
// background left undone (WM_ERASEBKGND answered 0) is reported by BeginPaint
// in fErase.
void EraseNow(HWND hwnd) {
  Window *w = Find(hwnd);
  if (!w || !IsVisibleOnScreen(*w)) return;
  SendNcPaint(hwnd);
  w = Find(hwnd);
  if (!w || !w->erasePending || w->update.Empty()) return;
  w->erasePending = false;
  HDC hdc = gdi::CreateWindowDC(hwnd, true);
  if (!hdc) return;
  gdi::SetExtraClip(hdc, w->update.get());
  LRESULT erased = SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0);
  gdi::ReleaseWindowDC(hdc);
  w = Find(hwnd);
  if (w && !erased) w->eraseLeftUndone = true;
}

void PaintWindow(HWND hwnd) {
  Window *w = Find(hwnd);
  if (!w) return;
  SendNcPaint(hwnd);
  w = Find(hwnd);
  if (!w || w->update.Empty()) return;
  if (w->erasePending) EraseNow(hwnd);
  w = Find(hwnd);
  if (!w) return;
  SendMessageA(hwnd, WM_PAINT, 0, 0);
  w = Find(hwnd);
  // A window procedure that does not validate would be sent WM_PAINT forever; stop that here.
  if (w) {
    w->update.Clear();
    w->erasePending = false;
    w->eraseLeftUndone = false;
  }
}

}  // namespace vd::user

using namespace vd;
using namespace vd::user;

namespace {

void RecordRepaint(HWND hwnd, const RECT &box, bool erase) {
  if (Observed().recording) Observed().repaints.push_back(RepaintRecord{ClockNow(), hwnd, box, erase});
}

// InvalidateRect with no window: every window, frames included, is
// invalidated with erase (whatever erase the caller asked for), and each one
// gets its WM_NCPAINT and WM_ERASEBKGND before the call returns; WM_PAINT
// follows from the message loop.
void InvalidateEverything() {
  std::vector<HWND> all;
  ForEachWindow([&](Window &w) {
    w.framePending = true;
    Region whole(w.rect);
    InvalidateScreenRegion(w, whole, true, false);
    all.push_back(w.handle);
  });
  if (Observed().recording) Observed().screenRepaints++;
  RecordRepaint(nullptr, RECT{0, 0, 0, 0}, true);
  for (HWND h : all) EraseNow(h);
}

}  // namespace

extern "C" {

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT *rect, BOOL erase) {
  if (!hwnd) {
    InvalidateEverything();
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
  // Unlike InvalidateRect, no window is no window here.
  if (!hwnd) return FALSE;
  if (!rgn) return InvalidateRect(hwnd, nullptr, erase);
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
    w->eraseLeftUndone = false;
    return TRUE;
  }
  RECT client = ClientRectScreen(*w);
  RECT screen = *rect;
  OffsetRect(&screen, client.left, client.top);
  w->update.Subtract(screen);
  return TRUE;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
  // No window is an invalid window handle: nothing is painted.
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
  bool leftUndone = w->eraseLeftUndone;
  RECT box = update.Box();
  RECT client = ClientRectScreen(*w);
  if (!update.Empty()) OffsetRect(&box, -client.left, -client.top);
  // The update region is validated by BeginPaint, before the erase, as in Win32.
  w->update.Clear();
  w->erasePending = false;
  w->eraseLeftUndone = false;
  ps->hdc = hdc;
  ps->rcPaint = box;
  // fErase: an erase was asked for and WM_ERASEBKGND left it undone, here or
  // when the window was erased before.
  ps->fErase = leftUndone ? TRUE : FALSE;
  if (erase) ps->fErase = SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) ? FALSE : TRUE;
  return hdc;
}

BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT *ps) {
  if (!ps) return FALSE;
  (void)hwnd;
  return gdi::ReleaseWindowDC(ps->hdc) ? TRUE : FALSE;
}

// GetDC(NULL) is the screen's context, and so is the desktop window's: both
// draw over every window, as on Windows. Painting the desktop (BeginPaint) is
// still clipped to what the windows leave of it.
HDC WINAPI GetDC(HWND hwnd) {
  if (hwnd == DesktopHandle()) hwnd = nullptr;
  if (hwnd && !Find(hwnd)) return nullptr;
  return gdi::CreateWindowDC(hwnd, true);
}

// The context is released by its handle; the window named does not matter.
int WINAPI ReleaseDC(HWND hwnd, HDC hdc) {
  (void)hwnd;
  return gdi::ReleaseWindowDC(hdc) ? 1 : 0;
}

}  // extern "C"
