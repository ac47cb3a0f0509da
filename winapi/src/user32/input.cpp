// Keyboard and mouse input from scripts and hosts: key state, the cursor,
// clicks on the notification icons, and dragging windows by their title bars.
#include <algorithm>
#include <cstring>

#include "core/platform.h"
#include "user32/wnd.h"

namespace vd::user {
namespace {

struct InputState {
  bool keys[256] = {};
  POINT cursor{0, 0};
  HWND dragging = nullptr;
  POINT dragOffset{0, 0};
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
  HWND owner;
  UINT id, callback;
  if (TrayHitTest(x, y, &owner, &id, &callback)) {
    PostMessageA(owner, callback, id, message);
    return;
  }
  if (HelpModeClick(x, y, message)) return;
  bool press = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_LBUTTONDBLCLK;
  if (message == WM_MOUSEMOVE && in.dragging) {
    if (Find(in.dragging))
      SetWindowPos(in.dragging, nullptr, x - in.dragOffset.x, y - in.dragOffset.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  if (message == WM_LBUTTONUP && (in.dragging || in.pressedClose || in.pressedHelp)) {
    HWND close = in.pressedClose, help = in.pressedHelp;
    in.dragging = in.pressedClose = in.pressedHelp = nullptr;
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
    if (tw && !(tw->exStyle & WS_EX_TOPMOST) && top != TopLevels().front() && tw->cls->name != "Progman")
      SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    else if (tw)
      SetActiveWindow(top);
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
  // Esc leaves context-help mode and goes no further.
  if (vk == VK_ESCAPE && In().helpMode) {
    In().helpMode = nullptr;
    return;
  }
  HWND target = GetFocus() ? GetFocus() : GetActiveWindow();
  bool alt = In().keys[VK_MENU];
  if (target) PostMessageA(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, WPARAM(vk), 1);
}

void KeyUp(int vk) {
  if (vk < 0 || vk > 255) return;
  bool alt = In().keys[VK_MENU];
  In().keys[vk] = false;
  HWND target = GetFocus() ? GetFocus() : GetActiveWindow();
  if (target) PostMessageA(target, alt ? WM_SYSKEYUP : WM_KEYUP, WPARAM(vk), LPARAM(0xC0000001u));
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
