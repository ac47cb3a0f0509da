// Window classes, windows, Z order and visible regions.
#include <algorithm>
#include <cstring>
#include <strings.h>

#include "core/platform.h"
#include "gdi32/gdi.h"
#include "user32/user.h"
#include "user32/wnd.h"

namespace vd::user {

void Region::SetRect(const RECT &rc) {
  pixman_region32_fini(&r_);
  if (rc.right > rc.left && rc.bottom > rc.top) {
    pixman_region32_init_rect(&r_, rc.left, rc.top, unsigned(rc.right - rc.left), unsigned(rc.bottom - rc.top));
  } else {
    pixman_region32_init(&r_);
  }
}

void Region::Union(const RECT &rc) {
  if (rc.right > rc.left && rc.bottom > rc.top)
    pixman_region32_union_rect(&r_, &r_, rc.left, rc.top, unsigned(rc.right - rc.left), unsigned(rc.bottom - rc.top));
}

void Region::Intersect(const RECT &rc) {
  Region other(rc);
  Intersect(other);
}

void Region::Subtract(const RECT &rc) {
  Region other(rc);
  Subtract(other);
}

RECT Region::Box() const {
  if (Empty()) return RECT{0, 0, 0, 0};
  const pixman_box32_t *b = pixman_region32_extents(const_cast<pixman_region32_t *>(&r_));
  return RECT{b->x1, b->y1, b->x2, b->y2};
}

namespace {

struct WindowManager {
  HandleTable<Window> windows{0x10010, 0x30000};
  std::vector<std::unique_ptr<WindowClass>> classes;
  std::vector<HWND> topLevels;  // top first
  HWND desktop = nullptr;
  uint64_t generation = 1;
  HWND active = nullptr;
  HWND focus = nullptr;
};

WindowManager &WM() {
  static WindowManager wm;
  return wm;
}

LRESULT CALLBACK DesktopProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

void ResetWindows() {
  WindowManager &wm = WM();
  wm.windows.Clear();
  wm.classes.clear();
  wm.topLevels.clear();
  wm.generation++;
  wm.active = wm.focus = nullptr;
  // The desktop window: the root of every top-level window, covering the screen.
  auto cls = std::make_unique<WindowClass>();
  cls->name = "#32769";
  cls->proc = DesktopProc;
  cls->background = reinterpret_cast<HBRUSH>(uintptr_t(COLOR_WINDOW + 1));
  WindowClass *desktopClass = cls.get();
  wm.classes.push_back(std::move(cls));
  auto desk = std::make_unique<Window>();
  desk->cls = desktopClass;
  desk->proc = DesktopProc;
  desk->style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  desk->rect = RECT{0, 0, TheScreen().width, TheScreen().height};
  Window *d = desk.get();
  wm.desktop = reinterpret_cast<HWND>(wm.windows.Add(std::move(desk)));
  d->handle = wm.desktop;
  d->erasePending = true;
  d->update.SetRect(d->rect);
  if (CurrentConfig().shell) CreateShell();
}

ResetHook windowReset(20, ResetWindows);

// The desktop window paints a plain background where no window covers it.
LRESULT CALLBACK DesktopProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_ERASEBKGND) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    HBRUSH brush = CreateSolidBrush(RGB(0, 128, 128));
    FillRect(reinterpret_cast<HDC>(wParam), &rc, brush);
    DeleteObject(brush);
    return 1;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}


std::vector<HWND> &SiblingList(Window &w) {
  if (!w.parent) return WM().topLevels;
  return Find(w.parent)->children;
}

// Computes where a context on `w` may draw, in screen coordinates.
void ComputeArea(Window &w, bool client, Region *out) {
  out->SetRect(client ? ClientRectScreen(w) : w.rect);
  if (!IsVisibleOnScreen(w)) {
    out->Clear();
    return;
  }
  if (w.handle == WM().desktop) {
    // The desktop's children are the top-level windows: it never paints over them.
    for (HWND top : WM().topLevels) {
      Window *t = Find(top);
      if (t && (t->style & WS_VISIBLE)) out->Subtract(t->rect);
    }
    return;
  }
  out->Intersect(RECT{0, 0, TheScreen().width, TheScreen().height});
  // Walk up: each ancestor clips to its client area; siblings above clip
  // top-level windows always, child windows when they have WS_CLIPSIBLINGS.
  Window *cur = &w;
  while (true) {
    std::vector<HWND> &siblings = SiblingList(*cur);
    bool clipSiblings = !cur->parent || (cur->style & WS_CLIPSIBLINGS);
    if (clipSiblings) {
      for (HWND s : siblings) {
        if (s == cur->handle) break;
        Window *sw = Find(s);
        if (sw && (sw->style & WS_VISIBLE)) out->Subtract(sw->rect);
      }
    }
    if (!cur->parent) break;
    Window *parent = Find(cur->parent);
    out->Intersect(ClientRectScreen(*parent));
    cur = parent;
  }
  if (w.style & WS_CLIPCHILDREN) {
    for (HWND c : w.children) {
      Window *cw = Find(c);
      if (cw && (cw->style & WS_VISIBLE)) out->Subtract(cw->rect);
    }
  }
}

}  // namespace

Window *Find(HWND hwnd) { return hwnd ? WM().windows.Find(hwnd) : nullptr; }
HWND DesktopHandle() { return WM().desktop; }
const std::vector<HWND> &TopLevels() { return WM().topLevels; }
void LayoutChanged() { WM().generation++; }

WindowClass *FindClass(const std::string &name) {
  for (auto &c : WM().classes)
    if (strcasecmp(c->name.c_str(), name.c_str()) == 0) return c.get();
  return nullptr;
}

int OuterFrameWidth(DWORD style, DWORD exStyle) {
  if (style & WS_THICKFRAME) return 4;
  if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME)) return 3;
  if (style & WS_BORDER) return 1;
  return 0;
}

int FrameWidth(DWORD style, DWORD exStyle) {
  int frame = OuterFrameWidth(style, exStyle);
  if (exStyle & WS_EX_STATICEDGE) frame += 1;
  if (exStyle & WS_EX_CLIENTEDGE) frame += 2;
  return frame;
}

RECT WindowRectForClient(const RECT &client, DWORD style, DWORD exStyle) {
  int frame = FrameWidth(style, exStyle);
  RECT rc{client.left - frame, client.top - frame, client.right + frame, client.bottom + frame};
  if ((style & WS_CAPTION) == WS_CAPTION) rc.top -= GetSystemMetrics(SM_CYCAPTION);
  return rc;
}

RECT ClientRectScreen(const Window &w) {
  RECT rc = w.rect;
  if (w.handle == WM().desktop) return rc;
  int frame = FrameWidth(w.style, w.exStyle);
  rc.left += frame;
  rc.top += frame;
  rc.right -= frame;
  rc.bottom -= frame;
  if ((w.style & WS_CAPTION) == WS_CAPTION) rc.top += GetSystemMetrics(SM_CYCAPTION);
  if (rc.right < rc.left) rc.right = rc.left;
  if (rc.bottom < rc.top) rc.bottom = rc.top;
  return rc;
}

bool IsVisibleOnScreen(const Window &w) {
  const Window *cur = &w;
  while (cur) {
    if (!(cur->style & WS_VISIBLE)) return false;
    cur = cur->parent ? Find(cur->parent) : nullptr;
  }
  return true;
}

bool IsDescendant(HWND ancestor, HWND hwnd) {
  Window *w = Find(hwnd);
  while (w && w->parent) {
    if (w->parent == ancestor) return true;
    w = Find(w->parent);
  }
  return false;
}

void ForEachWindow(const std::function<void(Window &)> &fn) {
  // Bottom of the Z order first, each parent before its children.
  std::function<void(HWND)> visit = [&](HWND h) {
    Window *w = Find(h);
    if (!w) return;
    fn(*w);
    std::vector<HWND> kids = w->children;
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) visit(*it);
  };
  if (Window *d = Find(WM().desktop)) fn(*d);
  std::vector<HWND> tops = WM().topLevels;
  for (auto it = tops.rbegin(); it != tops.rend(); ++it) visit(*it);
}

bool DrawableArea(HWND hwnd, bool client, pixman_region32_t *out, POINT *origin) {
  if (!hwnd) {
    // The screen's own context: the whole screen, over every window.
    pixman_region32_fini(out);
    pixman_region32_init_rect(out, 0, 0, unsigned(TheScreen().width), unsigned(TheScreen().height));
    if (origin) *origin = POINT{0, 0};
    return true;
  }
  Window *w = Find(hwnd);
  if (!w) return false;
  if (w->cacheGeneration != WM().generation) {
    ComputeArea(*w, true, &w->clientArea);
    ComputeArea(*w, false, &w->windowArea);
    w->cacheGeneration = WM().generation;
  }
  pixman_region32_copy(out, client ? w->clientArea.get() : w->windowArea.get());
  RECT base = client ? ClientRectScreen(*w) : w->rect;
  if (origin) *origin = POINT{base.left, base.top};
  return true;
}

void SetZOrder(Window &w, HWND insertAfter) {
  std::vector<HWND> &list = SiblingList(w);
  list.erase(std::remove(list.begin(), list.end(), w.handle), list.end());
  bool topmost = !w.parent && (w.exStyle & WS_EX_TOPMOST);
  auto isTopmost = [](HWND h) {
    Window *x = Find(h);
    return x && !x->parent && (x->exStyle & WS_EX_TOPMOST);
  };
  auto firstNonTopmost = std::find_if(list.begin(), list.end(), [&](HWND h) { return !isTopmost(h); });
  if (insertAfter == HWND_BOTTOM) {
    list.push_back(w.handle);
  } else if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
    // A window that is not topmost goes above the others that are not.
    list.insert(topmost ? list.begin() : firstNonTopmost, w.handle);
  } else {
    auto it = std::find(list.begin(), list.end(), insertAfter);
    if (it == list.end())
      list.insert(topmost ? list.begin() : firstNonTopmost, w.handle);
    else
      list.insert(it + 1, w.handle);
  }
}

void ChangeLayout(const std::function<void()> &change, HWND moved) {
  // What each window shows before and after; the difference is uncovered and repaints.
  struct Before {
    HWND hwnd;
    Region area;
  };
  std::vector<Before> before;
  ForEachWindow([&](Window &w) {
    Before b{w.handle, Region()};
    pixman_region32_t r;
    pixman_region32_init(&r);
    DrawableArea(w.handle, false, &r, nullptr);
    pixman_region32_copy(b.area.get(), &r);
    pixman_region32_fini(&r);
    before.push_back(std::move(b));
  });
  change();
  LayoutChanged();
  for (Before &b : before) {
    Window *w = Find(b.hwnd);
    if (!w || w->destroying) continue;
    Region now;
    DrawableArea(w->handle, false, now.get(), nullptr);
    if (b.hwnd == moved || IsDescendant(moved, b.hwnd)) {
      if (!now.Empty()) {
        w->framePending = true;
        InvalidateScreenRegion(*w, now, true, false);
      }
      continue;
    }
    now.Subtract(b.area);
    if (now.Empty()) continue;
    w->framePending = true;
    InvalidateScreenRegion(*w, now, true, false);
  }
}

HWND TopLevelOf(HWND hwnd) {
  Window *w = Find(hwnd);
  while (w && w->parent) w = Find(w->parent);
  return w ? w->handle : nullptr;
}

namespace {

// Sets the focus without activating anything: WM_KILLFOCUS to the window that
// had it, WM_SETFOCUS to the one that gets it.
void SetFocusWindow(HWND hwnd) {
  WindowManager &wm = WM();
  HWND previous = wm.focus;
  if (previous == hwnd) return;
  wm.focus = hwnd;
  if (previous && Find(previous)) SendMessageA(previous, WM_KILLFOCUS, WPARAM(hwnd), 0);
  if (hwnd && wm.focus == hwnd && Find(hwnd)) {
    SendMessageA(hwnd, WM_SETFOCUS, WPARAM(previous), 0);
    if (wm.focus == hwnd) DialogFocusChanged(hwnd);
  }
}

bool CanBeActive(const Window &w) {
  return (w.style & WS_VISIBLE) && w.enabled && !(w.exStyle & WS_EX_TOOLWINDOW) && !w.destroying;
}

}  // namespace

void ActivateWindow(HWND hwnd, bool moveFocus) {
  WindowManager &wm = WM();
  if (hwnd && !Find(hwnd)) return;
  HWND previous = wm.active;
  if (previous == hwnd) return;
  wm.active = hwnd;
  if (Window *p = Find(previous)) {
    p->framePending = true;
    SendMessageA(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
  }
  if (Window *n = Find(hwnd)) {
    n->framePending = true;
    SendMessageA(hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
  }
  // The focus follows the activation, unless the new window put it inside itself.
  if (!moveFocus || wm.active != hwnd) return;
  if (!hwnd || !wm.focus || TopLevelOf(wm.focus) != hwnd) SetFocusWindow(hwnd);
}

void ActivateOtherWindow(HWND leaving) {
  if (WM().active != leaving) return;
  Window *w = Find(leaving);
  if (w && w->owner) {
    Window *owner = Find(w->owner);
    if (owner && CanBeActive(*owner)) {
      ActivateWindow(owner->handle);
      return;
    }
  }
  // The next window below it that can be active.
  const std::vector<HWND> &tops = WM().topLevels;
  auto it = std::find(tops.begin(), tops.end(), leaving);
  it = it == tops.end() ? tops.begin() : it + 1;
  for (; it != tops.end(); ++it) {
    Window *candidate = Find(*it);
    if (candidate && CanBeActive(*candidate)) {
      ActivateWindow(*it);
      return;
    }
  }
  ActivateWindow(nullptr);
}

}  // namespace vd::user

using namespace vd;
using namespace vd::user;

namespace {

LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) { return SendMessageA(hwnd, msg, wParam, lParam); }

void DestroyTree(HWND hwnd) {
  Window *w = Find(hwnd);
  if (!w || w->destroying) return;
  w->destroying = true;
  Send(hwnd, WM_DESTROY, 0, 0);
  w = Find(hwnd);
  if (!w) return;
  std::vector<HWND> kids = w->children;
  for (HWND c : kids) DestroyTree(c);
  Send(hwnd, WM_NCDESTROY, 0, 0);
  w = Find(hwnd);
  if (!w) return;
  KillTimersOf(hwnd);
  RemoveMessagesFor(hwnd);
  std::vector<HWND> &list = w->parent ? Find(w->parent)->children : const_cast<std::vector<HWND> &>(TopLevels());
  list.erase(std::remove(list.begin(), list.end(), hwnd), list.end());
}

}  // namespace

extern "C" {

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA *wc) {
  if (!wc || wc->cbSize != sizeof(WNDCLASSEXA) || !wc->lpszClassName || !wc->lpfnWndProc) return 0;
  if (IS_INTRESOURCE(wc->lpszClassName) || FindClass(wc->lpszClassName)) return 0;
  auto cls = std::make_unique<WindowClass>();
  cls->name = wc->lpszClassName;
  cls->style = wc->style;
  cls->proc = wc->lpfnWndProc;
  cls->instance = wc->hInstance;
  cls->icon = wc->hIcon;
  cls->iconSm = wc->hIconSm;
  cls->cursor = wc->hCursor;
  cls->background = wc->hbrBackground;
  cls->clsExtra = wc->cbClsExtra;
  cls->wndExtra = wc->cbWndExtra;
  WM().classes.push_back(std::move(cls));
  return ATOM(0xC000 + WM().classes.size());
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                            int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  if (!className || IS_INTRESOURCE(className)) return nullptr;
  WindowClass *cls = FindClass(className);
  if (!cls) return nullptr;
  if (parent == WM().desktop) parent = nullptr;
  if (parent && !Find(parent)) return nullptr;
  if ((style & WS_CHILD) && !parent) return nullptr;
  if (x == CW_USEDEFAULT) x = y = 40;
  if (width == CW_USEDEFAULT) width = 400, height = 300;
  auto win = std::make_unique<Window>();
  win->cls = cls;
  win->proc = cls->proc;
  win->title = windowName ? windowName : "";
  win->style = style & ~WS_VISIBLE;
  win->enabled = !(style & WS_DISABLED);
  win->exStyle = exStyle;
  HWND owner = nullptr;
  if (parent && !(style & WS_CHILD)) {
    owner = parent;  // a popup with a "parent" is owned, and is itself top-level
    parent = nullptr;
  }
  win->parent = parent;
  win->owner = owner;
  if (parent) {
    RECT pc = ClientRectScreen(*Find(parent));
    x += pc.left;
    y += pc.top;
  }
  win->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
  if (style & WS_CHILD) win->id = LONG_PTR(reinterpret_cast<uintptr_t>(menu));
  Window *w = win.get();
  HWND hwnd = reinterpret_cast<HWND>(WM().windows.Add(std::move(win)));
  if (!hwnd) return nullptr;  // every window handle is in use
  w->handle = hwnd;
  if (parent)
    Find(parent)->children.push_back(hwnd);  // new child windows go to the bottom of their siblings
  else
    SetZOrder(*w, HWND_TOP);
  LayoutChanged();
  CREATESTRUCTA cs{param, instance, menu, parent, height, width, y, x, LONG(style), windowName, className, exStyle};
  if (!Send(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) || Send(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  if (!Find(hwnd)) return nullptr;
  if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
  return hwnd;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
  Window *w = Find(hwnd);
  if (!w || hwnd == WM().desktop) return FALSE;
  // A window that goes away gives up the activation, and the focus if it holds it.
  if (!w->parent && WM().active == hwnd) ActivateOtherWindow(hwnd);
  w = Find(hwnd);
  if (!w) return TRUE;
  if (WM().focus == hwnd || IsDescendant(hwnd, WM().focus)) SetFocusWindow(w->parent ? w->parent : nullptr);
  ChangeLayout([&] { DestroyTree(hwnd); }, nullptr);
  // Drop the records of the whole tree.
  std::vector<HWND> dead;
  WM().windows.ForEach([&](uintptr_t h, Window &x) {
    if (x.destroying) dead.push_back(reinterpret_cast<HWND>(h));
  });
  for (HWND h : dead) WM().windows.Remove(h);
  if (WM().active == hwnd) WM().active = nullptr;
  if (WM().focus == hwnd || !Find(WM().focus)) WM().focus = nullptr;
  LayoutChanged();
  return TRUE;
}

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window *w = Find(hwnd);
  if (!w) return 0;
  switch (msg) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          Send(hwnd, WM_CLOSE, 0, 0);
          break;
        case SC_MINIMIZE:
          ShowWindow(hwnd, SW_MINIMIZE);
          break;
        case SC_MAXIMIZE:
          ShowWindow(hwnd, SW_SHOWMAXIMIZED);
          break;
        case SC_RESTORE:
          ShowWindow(hwnd, SW_RESTORE);
          break;
        case SC_CONTEXTHELP:
          EnterHelpMode(hwnd);
          break;
      }
      return 0;
    case WM_SYSKEYDOWN:
      // Alt+F4 closes the top-level window, as its close box does.
      if (wParam == VK_F4 && (HIWORD(lParam) & KF_ALTDOWN)) PostMessageA(TopLevelOf(hwnd), WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_ACTIVATE:
      // An activated window takes the focus.
      if (LOWORD(wParam) != WA_INACTIVE) SetFocus(hwnd);
      return 0;
    case WM_KEYF1: {
      HELPINFO info{};
      info.cbSize = sizeof info;
      info.iContextType = HELPINFO_WINDOW;
      info.iCtrlId = int(w->id);
      info.hItemHandle = hwnd;
      info.dwContextId = w->contextHelpId;
      GetCursorPos(&info.MousePos);
      Send(hwnd, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
      return 0;
    }
    case WM_HELP:
    case WM_CONTEXTMENU:
      // A child passes help requests up to its parent.
      if ((w->style & WS_CHILD) && w->parent) Send(w->parent, msg, wParam, lParam);
      return 0;
    case WM_RBUTTONUP: {
      POINT pt{short(LOWORD(lParam)), short(HIWORD(lParam))};
      ClientToScreen(hwnd, &pt);
      Send(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(pt.x, pt.y));
      return 0;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG: {
      // The scheme's colours: black text on white in edit boxes, on grey elsewhere.
      int back = msg == WM_CTLCOLOREDIT ? COLOR_WINDOW : COLOR_BTNFACE;
      HDC hdc = reinterpret_cast<HDC>(wParam);
      SetTextColor(hdc, GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(hdc, GetSysColor(back));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(back));
    }
    case WM_ERASEBKGND: {
      HBRUSH brush = w->cls ? w->cls->background : nullptr;
      if (!brush) return 0;
      if (reinterpret_cast<uintptr_t>(brush) <= 31) brush = GetSysColorBrush(int(reinterpret_cast<uintptr_t>(brush)) - 1);
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(reinterpret_cast<HDC>(wParam), &rc, brush);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_NCPAINT:
      DrawFrame(*w);
      return 0;
    case WM_GETTEXT: {
      if (!lParam || wParam == 0) return 0;
      size_t n = std::min(w->title.size(), size_t(wParam) - 1);
      std::memcpy(reinterpret_cast<char *>(lParam), w->title.data(), n);
      reinterpret_cast<char *>(lParam)[n] = 0;
      return LRESULT(n);
    }
    case WM_GETTEXTLENGTH:
      return LRESULT(w->title.size());
    case WM_SETTEXT:
      w->title = lParam ? reinterpret_cast<const char *>(lParam) : "";
      w->framePending = true;
      return TRUE;
    case WM_MOUSEACTIVATE:
      return 1;  // MA_ACTIVATE
    case WM_NCHITTEST:
      return HTCLIENT;
    default:
      return 0;
  }
}

BOOL WINAPI ShowWindow(HWND hwnd, int cmd) {
  Window *w = Find(hwnd);
  if (!w) return FALSE;
  bool wasVisible = (w->style & WS_VISIBLE) != 0;
  bool show = !(cmd == SW_HIDE || cmd == SW_MINIMIZE || cmd == SW_SHOWMINIMIZED);
  if (show != wasVisible) {
    Send(hwnd, WM_SHOWWINDOW, show, 0);
    ChangeLayout(
        [&] {
          if (show)
            w->style |= WS_VISIBLE;
          else
            w->style &= ~WS_VISIBLE;
        },
        show ? hwnd : nullptr);
  }
  w = Find(hwnd);
  if (!w) return wasVisible ? TRUE : FALSE;
  if (show && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE && !w->parent) ActivateWindow(hwnd);
  if (!show && wasVisible) {
    // A hidden window gives up the activation; a hidden child gives its focus to its parent.
    if (!w->parent) ActivateOtherWindow(hwnd);
    else if (WM().focus == hwnd || IsDescendant(hwnd, WM().focus)) SetFocus(w->parent);
  }
  return wasVisible ? TRUE : FALSE;
}

BOOL WINAPI SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  Window *w = Find(hwnd);
  if (!w || hwnd == WM().desktop) return FALSE;
  RECT newRect = w->rect;
  if (!(flags & SWP_NOMOVE)) {
    int px = 0, py = 0;
    if (w->parent) {
      RECT pc = ClientRectScreen(*Find(w->parent));
      px = pc.left;
      py = pc.top;
    }
    int width = newRect.right - newRect.left, height = newRect.bottom - newRect.top;
    newRect = RECT{x + px, y + py, x + px + width, y + py + height};
  }
  if (!(flags & SWP_NOSIZE)) {
    newRect.right = newRect.left + std::max(cx, 0);
    newRect.bottom = newRect.top + std::max(cy, 0);
  }
  bool geometryChanged = std::memcmp(&newRect, &w->rect, sizeof(RECT)) != 0;
  ChangeLayout(
      [&] {
        if (geometryChanged) {
          int dx = newRect.left - w->rect.left, dy = newRect.top - w->rect.top;
          w->rect = newRect;
          // Children move with their parent.
          std::function<void(Window &)> shift = [&](Window &p) {
            for (HWND c : p.children) {
              Window *cw = Find(c);
              if (!cw) continue;
              OffsetRect(&cw->rect, dx, dy);
              shift(*cw);
            }
          };
          if (dx || dy) shift(*w);
        }
        if (insertAfter == HWND_TOPMOST && !w->parent) w->exStyle |= WS_EX_TOPMOST;
        if (insertAfter == HWND_NOTOPMOST && !w->parent) w->exStyle &= ~WS_EX_TOPMOST;
        if (!(flags & SWP_NOZORDER)) SetZOrder(*w, insertAfter);
        if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
        if (flags & SWP_HIDEWINDOW) w->style &= ~WS_VISIBLE;
      },
      (geometryChanged || (flags & SWP_SHOWWINDOW) || !(flags & SWP_NOZORDER)) && !(flags & SWP_HIDEWINDOW) ? hwnd
                                                                                                             : nullptr);
  if (geometryChanged) {
    Send(hwnd, WM_WINDOWPOSCHANGED, 0, 0);
    if (!(flags & SWP_NOMOVE)) Send(hwnd, WM_MOVE, 0, 0);
    if (!(flags & SWP_NOSIZE)) Send(hwnd, WM_SIZE, 0, 0);
  }
  // Without SWP_NOACTIVATE a top-level window that is (or becomes) visible is activated.
  w = Find(hwnd);
  if (w && !(flags & (SWP_NOACTIVATE | SWP_HIDEWINDOW)) && !w->parent && (w->style & WS_VISIBLE)) ActivateWindow(hwnd);
  return TRUE;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL WINAPI IsWindowVisible(HWND hwnd) {
  Window *w = Find(hwnd);
  return w && IsVisibleOnScreen(*w) ? TRUE : FALSE;
}

BOOL WINAPI IsWindow(HWND hwnd) { return Find(hwnd) && !Find(hwnd)->destroying ? TRUE : FALSE; }

BOOL WINAPI IsWindowEnabled(HWND hwnd) {
  Window *w = Find(hwnd);
  return w && w->enabled ? TRUE : FALSE;
}

BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable) {
  Window *w = Find(hwnd);
  if (!w) return FALSE;
  bool wasDisabled = !w->enabled;
  if (wasDisabled == !enable) return wasDisabled ? TRUE : FALSE;
  w->enabled = enable != 0;
  if (enable) w->style &= ~WS_DISABLED; else w->style |= WS_DISABLED;
  // A window that is disabled loses the focus.
  if (!enable && (WM().focus == hwnd || IsDescendant(hwnd, WM().focus))) SetFocusWindow(nullptr);
  Send(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled ? TRUE : FALSE;
}

HWND WINAPI GetDesktopWindow(void) { return WM().desktop; }

HWND WINAPI GetParent(HWND hwnd) {
  Window *w = Find(hwnd);
  if (!w) return nullptr;
  return w->parent ? w->parent : w->owner;
}

// GA_PARENT: the parent, the desktop window for a top-level window; GA_ROOT: the
// top-level window a child belongs to; GA_ROOTOWNER: that window's last owner.
// The desktop window has no ancestor.
HWND WINAPI GetAncestor(HWND hwnd, UINT flags) {
  Window *w = Find(hwnd);
  if (!w || hwnd == WM().desktop) return nullptr;
  switch (flags) {
    case GA_PARENT:
      return w->parent ? w->parent : WM().desktop;
    case GA_ROOT:
    case GA_ROOTOWNER:
      w = Find(TopLevelOf(hwnd));
      if (flags == GA_ROOTOWNER)
        while (w->owner && Find(w->owner)) w = Find(w->owner);
      return w->handle;
  }
  return nullptr;
}

HWND WINAPI GetWindow(HWND hwnd, UINT cmd) {
  Window *w = Find(hwnd);
  if (!w) return nullptr;
  if (cmd == GW_OWNER) return w->owner;
  if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  if (hwnd == WM().desktop) return nullptr;
  const std::vector<HWND> &list = SiblingList(*w);
  auto it = std::find(list.begin(), list.end(), hwnd);
  switch (cmd) {
    case GW_HWNDFIRST: return list.front();
    case GW_HWNDLAST: return list.back();
    case GW_HWNDNEXT: return it + 1 < list.end() ? *(it + 1) : nullptr;
    case GW_HWNDPREV: return it != list.begin() ? *(it - 1) : nullptr;
  }
  return nullptr;
}

HWND WINAPI SetActiveWindow(HWND hwnd) {
  HWND previous = WM().active;
  Window *w = Find(hwnd);
  if (hwnd && !w) return nullptr;
  if (w && w->parent) return previous;  // a child window is never the active window
  ActivateWindow(hwnd);
  return previous;
}

HWND WINAPI GetActiveWindow(void) { return WM().active; }

HWND WINAPI SetFocus(HWND hwnd) {
  HWND previous = WM().focus;
  if (!hwnd) {
    SetFocusWindow(nullptr);
    return previous;
  }
  if (!Find(hwnd)) return nullptr;
  if (previous == hwnd) return previous;
  // A disabled window, or one inside a disabled window, cannot take the focus.
  for (Window *w = Find(hwnd); w; w = w->parent ? Find(w->parent) : nullptr)
    if (!w->enabled) return nullptr;
  // The focus lives in the active window: its top-level window is activated first.
  HWND top = TopLevelOf(hwnd);
  if (top != WM().active) {
    ActivateWindow(top, false);
    if (!Find(hwnd) || WM().active != top) return nullptr;
  }
  SetFocusWindow(hwnd);
  return previous;
}

HWND WINAPI GetFocus(void) { return WM().focus; }

BOOL WINAPI SetForegroundWindow(HWND hwnd) {
  if (!Find(hwnd)) return FALSE;
  ActivateWindow(TopLevelOf(hwnd));
  return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
  Window *w = Find(hwnd);
  if (!w || !rect) return FALSE;
  *rect = w->rect;
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
  Window *w = Find(hwnd);
  if (!w || !rect) return FALSE;
  RECT c = ClientRectScreen(*w);
  *rect = RECT{0, 0, c.right - c.left, c.bottom - c.top};
  return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT pt) {
  Window *w = Find(hwnd);
  if (!w || !pt) return FALSE;
  RECT c = ClientRectScreen(*w);
  pt->x += c.left;
  pt->y += c.top;
  return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT pt) {
  Window *w = Find(hwnd);
  if (!w || !pt) return FALSE;
  RECT c = ClientRectScreen(*w);
  pt->x -= c.left;
  pt->y -= c.top;
  return TRUE;
}

int WINAPI GetWindowTextA(HWND hwnd, LPSTR text, int maxCount) {
  if (!text || maxCount <= 0) return 0;
  Window *w = Find(hwnd);
  if (!w) {
    text[0] = 0;
    return 0;
  }
  return int(Send(hwnd, WM_GETTEXT, WPARAM(maxCount), reinterpret_cast<LPARAM>(text)));
}

int WINAPI GetWindowTextLengthA(HWND hwnd) { return Find(hwnd) ? int(Send(hwnd, WM_GETTEXTLENGTH, 0, 0)) : 0; }

BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text) {
  if (!Find(hwnd)) return FALSE;
  Send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  InvalidateRect(hwnd, nullptr, TRUE);
  return TRUE;
}

int WINAPI GetClassNameA(HWND hwnd, LPSTR name, int maxCount) {
  Window *w = Find(hwnd);
  if (!name || maxCount <= 0) return 0;
  if (!w) {
    name[0] = 0;
    return 0;
  }
  size_t n = std::min(w->cls->name.size(), size_t(maxCount) - 1);
  std::memcpy(name, w->cls->name.data(), n);
  name[n] = 0;
  return int(n);
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index) {
  Window *w = Find(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWL_STYLE: return LONG_PTR(w->style);
    case GWL_EXSTYLE: return LONG_PTR(w->exStyle);
    case GWLP_USERDATA: return w->userData;
    case GWLP_ID: return w->id;
    case DWLP_MSGRESULT: return w->msgResult;
  }
  return 0;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  Window *w = Find(hwnd);
  if (!w) return 0;
  LONG_PTR old = GetWindowLongPtrA(hwnd, index);
  switch (index) {
    case GWL_STYLE: w->style = DWORD(value); LayoutChanged(); break;
    case GWL_EXSTYLE: w->exStyle = DWORD(value); LayoutChanged(); break;
    case GWLP_USERDATA: w->userData = value; break;
    case GWLP_ID: w->id = value; break;
    case DWLP_MSGRESULT: w->msgResult = value; break;
  }
  return old;
}

BOOL WINAPI SetWindowContextHelpId(HWND hwnd, DWORD contextId) {
  Window *w = Find(hwnd);
  if (!w) return FALSE;
  w->contextHelpId = contextId;
  return TRUE;
}

DWORD WINAPI GetWindowContextHelpId(HWND hwnd) {
  Window *w = Find(hwnd);
  return w ? w->contextHelpId : 0;
}

LONG WINAPI GetWindowLongA(HWND hwnd, int index) { return LONG(GetWindowLongPtrA(hwnd, index)); }
LONG WINAPI SetWindowLongA(HWND hwnd, int index, LONG value) { return LONG(SetWindowLongPtrA(hwnd, index, value)); }

ULONG_PTR WINAPI GetClassLongPtrA(HWND hwnd, int index) {
  Window *w = Find(hwnd);
  if (!w) return 0;
  if (index == GCLP_HICON) return reinterpret_cast<ULONG_PTR>(w->cls->icon);
  if (index == GCLP_HICONSM) return reinterpret_cast<ULONG_PTR>(w->cls->iconSm);
  return 0;
}

ULONG_PTR WINAPI SetClassLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  Window *w = Find(hwnd);
  if (!w) return 0;
  ULONG_PTR old = GetClassLongPtrA(hwnd, index);
  if (index == GCLP_HICON) w->cls->icon = reinterpret_cast<HICON>(value);
  if (index == GCLP_HICONSM) w->cls->iconSm = reinterpret_cast<HICON>(value);
  return old;
}

// On a 64-bit system the 32-bit call cannot carry a handle; it keeps the low half, as Windows does.
DWORD WINAPI SetClassLongA(HWND hwnd, int index, LONG value) {
  return DWORD(SetClassLongPtrA(hwnd, index, LONG_PTR(uint32_t(value))));
}

BOOL WINAPI EnumWindows(WNDENUMPROC proc, LPARAM lParam) {
  if (!proc) return FALSE;
  std::vector<HWND> snapshot = WM().topLevels;
  for (HWND h : snapshot) {
    if (!Find(h)) continue;
    if (!proc(h, lParam)) return FALSE;
  }
  return TRUE;
}

BOOL WINAPI EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
  if (!proc) return FALSE;
  Window *p = parent ? Find(parent) : nullptr;
  if (parent && !p) return FALSE;
  // Every descendant, depth first, each window before its own children.
  std::vector<HWND> order;
  std::function<void(const std::vector<HWND> &)> collect = [&](const std::vector<HWND> &kids) {
    for (HWND c : kids) {
      order.push_back(c);
      if (Window *cw = Find(c)) collect(cw->children);
    }
  };
  collect(p ? p->children : WM().topLevels);
  for (HWND h : order) {
    if (!Find(h)) continue;
    if (!proc(h, lParam)) return FALSE;
  }
  return TRUE;
}

HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName) {
  for (HWND h : WM().topLevels) {
    Window *w = Find(h);
    if (!w) continue;
    if (className && !IS_INTRESOURCE(className) && strcasecmp(w->cls->name.c_str(), className) != 0) continue;
    if (windowName && w->title != windowName) continue;
    return h;
  }
  return nullptr;
}

int WINAPI GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN: return TheScreen().width;
    case SM_CYSCREEN: return TheScreen().height;
    case SM_CYCAPTION: return 18;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXICON:
    case SM_CYICON: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CXMINTRACK: return 112;
    case SM_CYMINTRACK: return 27;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return 4;
  }
  return 0;
}

BOOL WINAPI SetRect(LPRECT rect, int left, int top, int right, int bottom) {
  if (!rect) return FALSE;
  *rect = RECT{left, top, right, bottom};
  return TRUE;
}

BOOL WINAPI SetRectEmpty(LPRECT rect) { return SetRect(rect, 0, 0, 0, 0); }

BOOL WINAPI OffsetRect(LPRECT rect, int dx, int dy) {
  if (!rect) return FALSE;
  rect->left += dx;
  rect->right += dx;
  rect->top += dy;
  rect->bottom += dy;
  return TRUE;
}

BOOL WINAPI IsRectEmpty(const RECT *rect) {
  return !rect || rect->right <= rect->left || rect->bottom <= rect->top ? TRUE : FALSE;
}

BOOL WINAPI PtInRect(const RECT *rect, POINT pt) {
  return rect && pt.x >= rect->left && pt.x < rect->right && pt.y >= rect->top && pt.y < rect->bottom ? TRUE : FALSE;
}

BOOL WINAPI IntersectRect(LPRECT dst, const RECT *a, const RECT *b) {
  if (!dst || !a || !b) return FALSE;
  RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
         std::min(a->bottom, b->bottom)};
  if (IsRectEmpty(&r)) {
    SetRectEmpty(dst);
    return FALSE;
  }
  *dst = r;
  return TRUE;
}

BOOL WINAPI EqualRect(const RECT *a, const RECT *b) {
  if (!a || !b) return FALSE;
  return a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

BOOL WINAPI UnionRect(LPRECT dst, const RECT *a, const RECT *b) {
  if (!dst || !a || !b) return FALSE;
  if (IsRectEmpty(a)) {
    if (IsRectEmpty(b)) return SetRectEmpty(dst), FALSE;
    *dst = *b;
    return TRUE;
  }
  if (IsRectEmpty(b)) {
    *dst = *a;
    return TRUE;
  }
  *dst = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
              std::max(a->bottom, b->bottom)};
  return TRUE;
}

}  // extern "C"
