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
  HWND capture = nullptr;  // the window that got the button press
};

InputState &In() {
  static InputState input;
  return input;
}

void ResetInput() { In() = InputState(); }
ResetHook inputReset(13, ResetInput);

// The deepest visible window under a screen point.
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
  return DesktopHandle();
}

bool InCaption(const Window &w, int x, int y) {
  if ((w.style & WS_CAPTION) != WS_CAPTION || w.parent) return false;
  RECT client = ClientRectScreen(w);
  return x >= w.rect.left && x < w.rect.right && y >= w.rect.top && y < client.top;
}

bool InCloseBox(const Window &w, int x, int y) {
  if (!InCaption(w, x, y) || !(w.style & WS_SYSMENU)) return false;
  RECT client = ClientRectScreen(w);
  return x >= client.right - 16 && x < client.right - 2;
}

LPARAM ClientPoint(HWND hwnd, int x, int y) {
  POINT pt{x, y};
  ScreenToClient(hwnd, &pt);
  return MAKELPARAM(pt.x, pt.y);
}

HWND TopLevelOf(HWND hwnd) {
  Window *w = Find(hwnd);
  while (w && w->parent) w = Find(w->parent);
  return w ? w->handle : nullptr;
}

}  // namespace

void DeliverMouse(int x, int y, UINT message) {
  InputState &in = In();
  in.cursor = POINT{x, y};
  HWND owner;
  UINT id, callback;
  if (TrayHitTest(x, y, &owner, &id, &callback)) {
    PostMessageA(owner, callback, id, message);
    return;
  }
  bool press = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_LBUTTONDBLCLK;
  if (message == WM_MOUSEMOVE && in.dragging) {
    if (Find(in.dragging))
      SetWindowPos(in.dragging, nullptr, x - in.dragOffset.x, y - in.dragOffset.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  if (message == WM_LBUTTONUP && (in.dragging || in.pressedClose)) {
    HWND close = in.pressedClose;
    in.dragging = in.pressedClose = nullptr;
    if (close && Find(close) && InCloseBox(*Find(close), x, y)) PostMessageA(close, WM_SYSCOMMAND, SC_CLOSE, 0);
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
    if (message == WM_LBUTTONDOWN && tw && InCloseBox(*tw, x, y)) {
      in.pressedClose = top;
      return;
    }
    if (message == WM_LBUTTONDOWN && tw && InCaption(*tw, x, y)) {
      in.dragging = top;
      in.dragOffset = POINT{x - tw->rect.left, y - tw->rect.top};
      return;
    }
    in.capture = target;
  }
  RECT client = ClientRectScreen(*w);
  if (!PtInRect(&client, POINT{x, y}) && !in.capture) return;
  PostMessageA(target, message, message == WM_MOUSEMOVE ? 0 : (message == WM_RBUTTONDOWN ? 2 : 1),
               ClientPoint(target, x, y));
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

SHORT WINAPI GetKeyState(int key) {
  if (key < 0 || key > 255) return 0;
  return In().keys[key] ? SHORT(0x8000) : SHORT(0);
}

}  // extern "C"
