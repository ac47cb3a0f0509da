// Keyboard and mouse input from scripts and hosts: key state, the cursor,
// clicks on the notification icons, and dragging windows by their title bars.
#include <algorithm>
#include <cstring>

#include "core/platform.h"
#include "user32/modal.h"
#include "user32/wnd.h"

namespace vd::user {
namespace {

struct InputState {
  bool keys[256] = {};
  POINT cursor{0, 0};
  HWND dragging = nullptr;
  POINT dragOffset{0, 0};
  HWND sizing = nullptr;   // the window whose frame is dragged
  int sizingEdge = 0;      // HTLEFT ... HTBOTTOMRIGHT
  RECT sizingStart{};      // its rectangle when the drag began
  POINT sizingFrom{0, 0};  // and the mouse then
  HWND pressedClose = nullptr;
  HWND pressedHelp = nullptr;
  HWND helpMode = nullptr;  // the window whose "?" button was clicked
  HWND capture = nullptr;   // the window that got the button press, or SetCapture's
};

InputState &In() {
  static InputState input;
  return input;
}

void ResetInput() { In() = InputState(); }
ResetHook inputReset(13, ResetInput);

// Whether a child answers the mouse at a point: statics without SS_NOTIFY
// let it through to what lies below (HTTRANSPARENT).
bool TakesMouse(HWND hwnd, int x, int y) {
  return SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(x, y)) != HTTRANSPARENT;
}

// The deepest visible window under a screen point that takes the mouse. A
// disabled child takes nothing: its parent gets the mouse instead.
HWND WindowAt(int x, int y) {
  POINT pt{x, y};
  for (HWND top : TopLevels()) {
    Window *w = Find(top);
    if (!w || !IsVisibleOnScreen(*w) || !PtInRect(&w->rect, pt)) continue;
    HWND found = top;
    bool deeper = true;
    while (deeper) {
      deeper = false;
      Window *cur = Find(found);
      RECT client = ClientRectScreen(*cur);
      if (!PtInRect(&client, pt)) break;
      std::vector<HWND> kids = cur->children;
      for (HWND c : kids) {
        Window *cw = Find(c);
        if (!cw || !(cw->style & WS_VISIBLE) || !PtInRect(&cw->rect, pt)) continue;
        if (!cw->enabled) break;
        if (!TakesMouse(c, x, y)) continue;
        found = c;
        deeper = true;
        break;
      }
    }
    return found;
  }
  return DesktopHandle();
}

bool InCaption(const Window &w, int x, int y) {
  if ((w.style & WS_CAPTION) != WS_CAPTION || w.parent) return false;
  RECT client = ClientRectScreen(w);
  int frame = OuterFrameWidth(w.style, w.exStyle);
  return x >= w.rect.left && x < w.rect.right && y >= w.rect.top && y < client.top - FrameWidth(w.style, w.exStyle) + frame;
}

bool InCaptionButton(const Window &w, CaptionButton button, int x, int y) {
  RECT box = CaptionButtonRect(w, button);
  return PtInRect(&box, POINT{x, y}) != FALSE;
}

// The part of a sizable frame under a point: HTLEFT ... HTBOTTOMRIGHT, or 0.
// The corners reach along each edge as far as a caption is high, as on Windows.
int SizingEdgeAt(const Window &w, int x, int y) {
  if (!(w.style & WS_THICKFRAME) || w.parent || (w.style & WS_CHILD)) return 0;
  int frame = OuterFrameWidth(w.style, w.exStyle);
  const RECT &r = w.rect;
  if (!PtInRect(&r, POINT{x, y})) return 0;
  RECT inner{r.left + frame, r.top + frame, r.right - frame, r.bottom - frame};
  if (PtInRect(&inner, POINT{x, y})) return 0;
  int corner = GetSystemMetrics(SM_CYCAPTION);
  bool left = x < r.left + corner, right = x >= r.right - corner;
  bool top = y < r.top + corner, bottom = y >= r.bottom - corner;
  if (y < inner.top) return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
  if (y >= inner.bottom) return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
  if (x < inner.left) return top ? HTTOPLEFT : bottom ? HTBOTTOMLEFT : HTLEFT;
  return top ? HTTOPRIGHT : bottom ? HTBOTTOMRIGHT : HTRIGHT;
}

// A moving or sizing drag follows the mouse only inside the work area, so
// the part of the title bar (or frame) that was grabbed always stays on the
// screen, reachable, as Windows keeps it.
POINT KeptInWorkArea(int x, int y) {
  RECT work = WorkAreaRect();
  return POINT{std::clamp(x, int(work.left), int(work.right) - 1), std::clamp(y, int(work.top), int(work.bottom) - 1)};
}

// The window's rectangle for a frame drag to (x, y), no smaller than the
// smallest tracking size; the edges that do not move stay where they were.
RECT SizedRect(const InputState &in, int x, int y) {
  RECT r = in.sizingStart;
  int dx = x - in.sizingFrom.x, dy = y - in.sizingFrom.y;
  int minW = GetSystemMetrics(SM_CXMINTRACK), minH = GetSystemMetrics(SM_CYMINTRACK);
  int e = in.sizingEdge;
  if (e == HTLEFT || e == HTTOPLEFT || e == HTBOTTOMLEFT) r.left = std::min(r.left + dx, r.right - minW);
  if (e == HTRIGHT || e == HTTOPRIGHT || e == HTBOTTOMRIGHT) r.right = std::max(r.right + dx, r.left + minW);
  if (e == HTTOP || e == HTTOPLEFT || e == HTTOPRIGHT) r.top = std::min(r.top + dy, r.bottom - minH);
  if (e == HTBOTTOM || e == HTBOTTOMLEFT || e == HTBOTTOMRIGHT) r.bottom = std::max(r.bottom + dy, r.top + minH);
  return r;
}

LPARAM ClientPoint(HWND hwnd, int x, int y) {
  POINT pt{x, y};
  ScreenToClient(hwnd, &pt);
  return MAKELPARAM(pt.x, pt.y);
}

// Context help: the click asks the window under it for help, and ends the mode.
bool HelpModeClick(int x, int y, UINT message) {
  InputState &in = In();
  if (!in.helpMode) return false;
  bool press = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_LBUTTONDBLCLK;
  if (!press) return message == WM_LBUTTONUP || message == WM_RBUTTONUP;
  HWND top = in.helpMode;
  in.helpMode = nullptr;
  Window *tw = Find(top);
  if (!tw || message != WM_LBUTTONDOWN || !IsVisibleOnScreen(*tw) || !PtInRect(&tw->rect, POINT{x, y})) return true;
  HWND target = ChildAtPoint(top, x, y);
  Window *w = Find(target);
  HELPINFO info{};
  info.cbSize = sizeof info;
  info.iContextType = HELPINFO_WINDOW;
  info.iCtrlId = w && w->parent ? int(w->id) : 0;
  info.hItemHandle = target;
  info.dwContextId = w ? w->contextHelpId : 0;
  info.MousePos = POINT{x, y};
  SendMessageA(target, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
  return true;
}

// A window class without CS_DBLCLKS gets a second press as a press.
UINT ClassMessage(const Window &w, UINT message) {
  if (message == WM_LBUTTONDBLCLK && !(w.cls && (w.cls->style & CS_DBLCLKS))) return WM_LBUTTONDOWN;
  return message;
}

WPARAM ButtonFlags(UINT message) {
  WPARAM flags = 0;
  InputState &in = In();
  if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK || (message == WM_MOUSEMOVE && in.keys[VK_LBUTTON]))
    flags |= MK_LBUTTON;
  if (message == WM_RBUTTONDOWN || (message == WM_MOUSEMOVE && in.keys[VK_RBUTTON])) flags |= MK_RBUTTON;
  if (in.keys[VK_SHIFT]) flags |= MK_SHIFT;
  if (in.keys[VK_CONTROL]) flags |= MK_CONTROL;
  return flags;
}

}  // namespace

HWND ChildAtPoint(HWND top, int x, int y) {
  POINT pt{x, y};
  HWND found = top;
  for (bool deeper = true; deeper;) {
    deeper = false;
    Window *cur = Find(found);
    if (!cur) break;
    for (HWND c : cur->children) {
      Window *cw = Find(c);
      if (cw && (cw->style & WS_VISIBLE) && PtInRect(&cw->rect, pt)) {
        found = c;
        deeper = true;
        break;
      }
    }
  }
  return found;
}

void EnterHelpMode(HWND top) {
  if (Find(top)) In().helpMode = top;
}

void DeliverMouse(int x, int y, UINT message) {
  InputState &in = In();
  in.cursor = POINT{x, y};
  if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) in.keys[VK_LBUTTON] = true;
  if (message == WM_LBUTTONUP) in.keys[VK_LBUTTON] = false;
  if (message == WM_RBUTTONDOWN) in.keys[VK_RBUTTON] = true;
  if (message == WM_RBUTTONUP) in.keys[VK_RBUTTON] = false;
  TrayTipMouse(x, y, message);
  // An open popup menu takes the mouse wherever it is.
  if (HWND menu = TrackedMenuWindow()) {
    PostMessageA(menu, message == WM_LBUTTONDBLCLK ? WM_LBUTTONDOWN : message, ButtonFlags(message),
                 ClientPoint(menu, x, y));
    return;
  }
  HWND owner;
  UINT id, callback;
  if (TrayHitTest(x, y, &owner, &id, &callback)) {
    PostMessageA(owner, callback, id, message);
    return;
  }
  if (HelpModeClick(x, y, message)) return;
  bool press = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_LBUTTONDBLCLK;
  if (message == WM_MOUSEMOVE && in.dragging) {
    POINT p = KeptInWorkArea(x, y);
    if (Find(in.dragging))
      SetWindowPos(in.dragging, nullptr, p.x - in.dragOffset.x, p.y - in.dragOffset.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  if (message == WM_MOUSEMOVE && in.sizing) {
    POINT p = KeptInWorkArea(x, y);
    RECT r = SizedRect(in, p.x, p.y);
    if (Find(in.sizing))
      SetWindowPos(in.sizing, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  if (message == WM_LBUTTONUP && (in.dragging || in.sizing || in.pressedClose || in.pressedHelp)) {
    HWND close = in.pressedClose, help = in.pressedHelp;
    in.dragging = in.sizing = in.pressedClose = in.pressedHelp = nullptr;
    if (close && Find(close) && InCaptionButton(*Find(close), CaptionButton::Close, x, y))
      PostMessageA(close, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (help && Find(help) && InCaptionButton(*Find(help), CaptionButton::Help, x, y))
      PostMessageA(help, WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
    return;
  }
  HWND target = (in.capture && !press) ? in.capture : WindowAt(x, y);
  if (message == WM_LBUTTONUP || message == WM_RBUTTONUP) in.capture = nullptr;
  Window *w = Find(target);
  if (!w || target == DesktopHandle()) return;
  if (press) {
    HWND top = TopLevelOf(target);
    Window *tw = Find(top);
    // The window is raised and activated unless it answers that it is not.
    LRESULT activate = tw ? SendMessageA(top, WM_MOUSEACTIVATE, WPARAM(top), MAKELPARAM(HTCLIENT, message)) : 0;
    bool activates = activate != MA_NOACTIVATE && activate != MA_NOACTIVATEANDEAT;
    tw = Find(top);
    if (!tw) return;
    if (activates && !(tw->exStyle & WS_EX_TOPMOST) && top != TopLevels().front() && tw->cls->name != "Progman")
      SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    else if (activates)
      SetActiveWindow(top);
    if (activate == MA_NOACTIVATEANDEAT || activate == MA_ACTIVATEANDEAT) return;
    w = Find(target);
    tw = Find(top);
    if (!w || !tw) return;
    if (message == WM_LBUTTONDOWN && InCaptionButton(*tw, CaptionButton::Close, x, y)) {
      in.pressedClose = top;
      return;
    }
    if (message == WM_LBUTTONDOWN && InCaptionButton(*tw, CaptionButton::Help, x, y)) {
      in.pressedHelp = top;
      return;
    }
    int edge = message == WM_LBUTTONDOWN ? SizingEdgeAt(*tw, x, y) : 0;
    if (edge) {
      in.sizing = top;
      in.sizingEdge = edge;
      in.sizingStart = tw->rect;
      in.sizingFrom = KeptInWorkArea(x, y);
      return;
    }
    if (message == WM_LBUTTONDOWN && InCaption(*tw, x, y)) {
      in.dragging = top;
      in.dragOffset = POINT{x - tw->rect.left, y - tw->rect.top};
      return;
    }
    in.capture = target;
  }
  RECT client = ClientRectScreen(*w);
  if (!PtInRect(&client, POINT{x, y}) && !in.capture && !(message == WM_LBUTTONUP || message == WM_RBUTTONUP)) return;
  PostMessageA(target, ClassMessage(*w, message), ButtonFlags(message), ClientPoint(target, x, y));
}

}  // namespace vd::user

using namespace vd;
using namespace vd::user;

namespace vd {

void TrayMouse(UINT iconId, UINT mouseMessage) {
  for (const TrayIconInfo &icon : TrayIconList()) {
    if (icon.id == iconId) {
      PostMessageA(icon.owner, icon.callbackMessage, icon.id, mouseMessage);
      return;
    }
  }
}

void TrayClick(UINT iconId) {
  TrayMouse(iconId, WM_LBUTTONDOWN);
  TrayMouse(iconId, WM_LBUTTONUP);
}

void TrayDoubleClick(UINT iconId) {
  TrayMouse(iconId, WM_LBUTTONDOWN);
  TrayMouse(iconId, WM_LBUTTONUP);
  TrayMouse(iconId, WM_LBUTTONDBLCLK);
  TrayMouse(iconId, WM_LBUTTONUP);
}

void TrayRightClick(UINT iconId) {
  TrayMouse(iconId, WM_RBUTTONDOWN);
  TrayMouse(iconId, WM_RBUTTONUP);
}

void KeyDown(int vk) {
  if (vk < 0 || vk > 255) return;
  In().keys[vk] = true;
  TrayTipKey();
  // Esc leaves context-help mode and goes no further.
  if (vk == VK_ESCAPE && In().helpMode) {
    In().helpMode = nullptr;
    return;
  }
  // An open popup menu takes the keyboard.
  HWND target = TrackedMenuWindow();
  if (!target) target = GetFocus() ? GetFocus() : GetActiveWindow();
  bool alt = In().keys[VK_MENU];
  // With Alt held the key data carries the context code (KF_ALTDOWN in its high word).
  LPARAM data = alt ? LPARAM(1 | (KF_ALTDOWN << 16)) : 1;
  if (target) PostMessageA(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, WPARAM(vk), data);
}

void KeyUp(int vk) {
  if (vk < 0 || vk > 255) return;
  bool alt = In().keys[VK_MENU];
  In().keys[vk] = false;
  HWND target = TrackedMenuWindow();
  if (!target) target = GetFocus() ? GetFocus() : GetActiveWindow();
  LPARAM data = LPARAM(0xC0000001u) | (alt ? LPARAM(KF_ALTDOWN << 16) : 0);
  if (target) PostMessageA(target, alt ? WM_SYSKEYUP : WM_KEYUP, WPARAM(vk), data);
}

void SetCursor(int x, int y) { In().cursor = POINT{x, y}; }
void MouseMove(int x, int y) { DeliverMouse(x, y, WM_MOUSEMOVE); }
void MouseDown(int x, int y, int button) { DeliverMouse(x, y, button ? WM_RBUTTONDOWN : WM_LBUTTONDOWN); }
void MouseUp(int x, int y, int button) { DeliverMouse(x, y, button ? WM_RBUTTONUP : WM_LBUTTONUP); }
void DoubleClick(int x, int y) { DeliverMouse(x, y, WM_LBUTTONDBLCLK); }

}  // namespace vd

extern "C" {

BOOL WINAPI GetCursorPos(LPPOINT pt) {
  if (!pt) return FALSE;
  *pt = In().cursor;
  return TRUE;
}

HWND WINAPI SetCapture(HWND hwnd) {
  HWND previous = In().capture;
  if (Find(hwnd)) In().capture = hwnd;
  return previous;
}

BOOL WINAPI ReleaseCapture(void) {
  HWND previous = In().capture;
  In().capture = nullptr;
  if (previous && Find(previous)) SendMessageA(previous, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND WINAPI GetCapture(void) { return Find(In().capture) ? In().capture : nullptr; }

SHORT WINAPI GetKeyState(int key) {
  if (key < 0 || key > 255) return 0;
  return In().keys[key] ? SHORT(0x8000) : SHORT(0);
}

}  // extern "C"
