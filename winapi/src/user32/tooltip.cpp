// The notification area's tooltips: when the mouse rests on an icon for the
// initial delay, a tooltip window ("tooltips_class32") shows the icon's tip
// near the cursor; it goes when the mouse leaves the icon, when a button is
// pressed, or after the pop-up time, as the taskbar's tooltips do.
#include <algorithm>
#include <string>

#include "core/platform.h"
#include "gdi32/font.h"
#include "shellapi.h"
#include "user32/modal.h"
#include "user32/wnd.h"

namespace vd::user {
namespace {

constexpr const char *kTipClass = "tooltips_class32";
constexpr UINT_PTR kShowTimer = 0x7401;  // on the taskbar: the initial delay ran out
constexpr UINT_PTR kHideTimer = 0x7402;  // the tip was shown for the pop-up time
constexpr UINT kInitialDelayMs = 500;    // the double-click time, as the tooltip control's default
constexpr UINT kPopUpMs = 5000;          // ten initial delays
constexpr int kPadding = 2;
constexpr int kCursorHeight = 20;        // a tip below the cursor starts under the arrow

struct TipState {
  int slot = -1;          // the icon under the mouse, or -1
  HWND owner = nullptr;   // and which icon that is
  UINT id = 0;
  bool clicked = false;   // a button went down on this icon: no tip until it is left
  HWND window = nullptr;  // the tooltip showing
  std::string text;
};

TipState &T() {
  static TipState state;
  return state;
}

HWND TimerWindow() { return Taskbar(); }

void HideTip() {
  TipState &t = T();
  HWND window = t.window;
  t.window = nullptr;
  if (Find(window)) DestroyWindow(window);
  if (HWND bar = TimerWindow()) KillTimer(bar, kHideTimer);
}

LRESULT CALLBACK TipProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(hdc, &rc, GetSysColorBrush(COLOR_INFOBK));
      HBRUSH frame = GetSysColorBrush(COLOR_INFOTEXT);
      RECT edges[] = {{0, 0, rc.right, 1}, {0, rc.bottom - 1, rc.right, rc.bottom}, {0, 0, 1, rc.bottom},
                      {rc.right - 1, 0, rc.right, rc.bottom}};
      for (const RECT &e : edges) FillRect(hdc, &e, frame);
      SelectObject(hdc, gdi::SystemUiFont(gdi::UiFont::Status));
      SetBkMode(hdc, TRANSPARENT);
      SetTextColor(hdc, GetSysColor(COLOR_INFOTEXT));
      RECT text{1 + kPadding, 1, rc.right - 1 - kPadding, rc.bottom - 1};
      char tip[128] = "";
      GetWindowTextA(hwnd, tip, int(sizeof tip));
      DrawTextA(hdc, tip, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_NCHITTEST:
      return HTTRANSPARENT;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void ResetTips() {
  T() = TipState();
  if (FindClass(kTipClass)) return;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_SAVEBITS;
  wc.lpfnWndProc = TipProc;
  wc.lpszClassName = kTipClass;
  RegisterClassExA(&wc);
}

ResetHook tipReset(33, ResetTips);

// Shows `text` below the cursor where it fits, above `tool` (screen coordinates) otherwise.
void ShowTip(const std::string &text, const RECT &tool) {
  HideTip();
  if (text.empty()) return;
  SIZE measure = MeasureText(gdi::SystemUiFont(gdi::UiFont::Status), text, 0, DT_SINGLELINE | DT_NOPREFIX);
  int width = measure.cx + 2 * (1 + kPadding), height = measure.cy + 4;
  POINT cursor;
  GetCursorPos(&cursor);
  int x = std::max(0, std::min(int(cursor.x), TheScreen().width - width));
  int y = cursor.y + kCursorHeight;
  if (y + height > TheScreen().height) y = std::min(int(cursor.y), int(tool.top)) - height - 2;
  y = std::max(0, y);
  TipState &t = T();
  t.text = text;
  t.window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kTipClass, text.c_str(), WS_POPUP, x, y, width, height, nullptr,
                             nullptr, nullptr, nullptr);
  if (!t.window) return;
  ShowWindow(t.window, SW_SHOWNA);
  SetTimer(TimerWindow(), kHideTimer, kPopUpMs, nullptr);
}

// The tip of the icon in `slot`, when it has one (NIF_TIP).
std::string TipOf(int slot) {
  const auto &icons = TrayIconList();
  if (slot < 0 || slot >= int(icons.size()) || !(icons[size_t(slot)].flags & NIF_TIP)) return std::string();
  return icons[size_t(slot)].tip;
}

int SlotAt(int x, int y) {
  const auto &icons = TrayIconList();
  for (size_t i = 0; i < icons.size(); ++i) {
    RECT r = TrayIconRect(int(i));
    if (PtInRect(&r, POINT{x, y})) return int(i);
  }
  return -1;
}

}  // namespace

void TrayTipMouse(int x, int y, UINT message) {
  HWND bar = TimerWindow();
  if (!bar) return;
  TipState &t = T();
  int slot = SlotAt(x, y);
  const auto &icons = TrayIconList();
  bool sameIcon = slot >= 0 && slot == t.slot && icons[size_t(slot)].owner == t.owner && icons[size_t(slot)].id == t.id;
  if (!sameIcon) {
    // A new icon (or none): what was shown or pending for the old one goes.
    HideTip();
    KillTimer(bar, kShowTimer);
    t.slot = slot;
    t.owner = slot >= 0 ? icons[size_t(slot)].owner : nullptr;
    t.id = slot >= 0 ? icons[size_t(slot)].id : 0;
    t.clicked = false;
  }
  if (message != WM_MOUSEMOVE || TrackedMenuWindow()) {
    // A press, or an open menu over the taskbar: no tip until the icon is left.
    HideTip();
    KillTimer(bar, kShowTimer);
    if (slot >= 0) t.clicked = true;
    return;
  }
  // The tip shows once the mouse has rested on the icon for the initial delay.
  if (slot >= 0 && !t.window && !t.clicked) SetTimer(bar, kShowTimer, kInitialDelayMs, nullptr);
}

void TrayTipKey() {
  HWND bar = TimerWindow();
  if (!bar) return;
  HideTip();
  KillTimer(bar, kShowTimer);
  if (T().slot >= 0) T().clicked = true;
}

void TrayTipTimer(UINT_PTR id) {
  HWND bar = TimerWindow();
  if (bar) KillTimer(bar, id);
  TipState &t = T();
  if (id == kHideTimer) {
    HideTip();
    t.clicked = true;  // popped: not again until the mouse leaves the icon
  } else if (id == kShowTimer && t.slot >= 0 && !t.clicked) {
    ShowTip(TipOf(t.slot), TrayIconRect(t.slot));
  }
}

void TrayIconsChanged() {
  // An icon that went, or moved to another slot, takes its tip with it.
  TipState &t = T();
  const auto &icons = TrayIconList();
  if (t.slot >= 0 && (t.slot >= int(icons.size()) || icons[size_t(t.slot)].owner != t.owner ||
                      icons[size_t(t.slot)].id != t.id)) {
    HideTip();
    if (HWND bar = TimerWindow()) KillTimer(bar, kShowTimer);
    t = TipState();
  } else if (t.window && TipOf(t.slot) != t.text) {
    ShowTip(TipOf(t.slot), TrayIconRect(t.slot));  // NIM_MODIFY changed the tip under the mouse
  }
}

HWND TrayTipWindow() { return Find(T().window) ? T().window : nullptr; }

}  // namespace vd::user
