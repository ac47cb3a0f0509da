// Popup menus. TrackPopupMenu shows the menu as a window of the desktop (class
// "#32768", as Win32 names it), in the classic 3-D look with the menu font, and
// tracks it in a modal loop that keeps dispatching (so timers go on): the mouse
// highlights items, a click chooses one and a click outside dismisses the menu;
// the arrows, Enter, Esc and the items' underlined letters work it from the
// keyboard. While it is open it takes every mouse and keyboard input.
#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "core/platform.h"
#include "gdi32/font.h"
#include "user32/controls.h"
#include "user32/draw3d.h"
#include "user32/modal.h"
#include "user32/wnd.h"

namespace vd::user {
namespace {

constexpr const char *kMenuClass = "#32768";
constexpr int kBorder = 3;        // the raised edge and a pixel of the face
constexpr int kTextLeft = 17;     // room for a check mark left of the text
constexpr int kTextRight = 17;    // and for a sub-menu arrow right of it
constexpr int kRowPadding = 6;    // above and below the text of an item
constexpr int kSeparatorHeight = 9;
constexpr int kMinWidth = 60;

struct Entry {
  UINT command = 0;
  std::string text;
  bool separator = false;
  RECT rect{};  // client coordinates
  bool Selectable() const { return !separator && command != 0; }
};

// What a menu window keeps while it is tracked.
struct MenuData : ControlData {
  uint64_t serial = 0;  // its record's
  UINT flags = 0;
  std::vector<Entry> entries;
  int hover = -1;
  bool pressedInside = false;  // a button went down on the menu
  bool moved = false;          // the mouse moved since the menu opened
  POINT openedAt{0, 0};
};

std::vector<HWND> &TrackedStack() {
  static std::vector<HWND> stack;
  return stack;
}

MenuData *DataOf(HWND hwnd) {
  Window *w = Find(hwnd);
  return w ? dynamic_cast<MenuData *>(w->control.get()) : nullptr;
}

HFONT MenuFont() { return gdi::SystemUiFont(gdi::UiFont::Menu); }

// Lays out the items one row each inside the border; returns the window's size.
SIZE LayOut(const std::vector<std::pair<UINT, std::string>> &items, std::vector<Entry> *entries) {
  HDC hdc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(hdc, MenuFont());
  TEXTMETRICA tm{};
  GetTextMetricsA(hdc, &tm);
  int row = tm.tmHeight + kRowPadding;
  int width = kMinWidth, y = kBorder;
  entries->clear();
  for (const auto &item : items) {
    Entry e;
    e.command = item.first;
    e.text = item.second;
    e.separator = item.first == 0 && item.second.empty();
    int height = e.separator ? kSeparatorHeight : row;
    e.rect = RECT{kBorder, y, 0, y + height};
    y += height;
    if (!e.separator) {
      RECT measure{0, 0, 0, 0};
      DrawTextA(hdc, e.text.c_str(), int(e.text.size()), &measure, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
      width = std::max(width, int(measure.right) + kTextLeft + kTextRight + 2 * kBorder);
    }
    entries->push_back(e);
  }
  SelectObject(hdc, old);
  ReleaseDC(nullptr, hdc);
  for (Entry &e : *entries) e.rect.right = width - kBorder;
  return SIZE{width, y + kBorder};
}

int EntryAt(const MenuData &m, int x, int y) {
  for (size_t i = 0; i < m.entries.size(); ++i)
    if (m.entries[i].Selectable() && PtInRect(&m.entries[i].rect, POINT{x, y})) return int(i);
  return -1;
}

void Paint(HWND hwnd, HDC hdc, const MenuData &m) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  draw3d::Canvas c(hdc);
  c.Fill(rc, GetSysColor(COLOR_MENU));
  draw3d::RaisedEdge(c, rc);
  SelectObject(hdc, MenuFont());
  SetBkMode(hdc, TRANSPARENT);
  for (size_t i = 0; i < m.entries.size(); ++i) {
    const Entry &e = m.entries[i];
    if (e.separator) {
      int mid = (e.rect.top + e.rect.bottom) / 2;
      c.Fill(RECT{e.rect.left + 1, mid - 1, e.rect.right - 1, mid}, draw3d::Shadow());
      c.Fill(RECT{e.rect.left + 1, mid, e.rect.right - 1, mid + 1}, draw3d::Highlight());
      continue;
    }
    bool hot = int(i) == m.hover;
    if (hot) c.Fill(e.rect, GetSysColor(COLOR_HIGHLIGHT));
    RECT text{e.rect.left + kTextLeft, e.rect.top, e.rect.right - kTextRight, e.rect.bottom};
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_EXPANDTABS;
    if (!e.Selectable() && !hot) {
      // Greyed the classic way: embossed.
      DrawCaption(hdc, e.text, text, format, true);
      continue;
    }
    SetTextColor(hdc, GetSysColor(hot ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
    DrawTextA(hdc, e.text.c_str(), int(e.text.size()), &text, format);
  }
}

void SetHover(HWND hwnd, MenuData &m, int index) {
  if (m.hover == index) return;
  m.hover = index;
  InvalidateRect(hwnd, nullptr, FALSE);
}

// Ends the tracking with `command` (0: no choice).
void Close(MenuData &m, UINT command) {
  if (MenuRecord *record = RecordOf(Observed().menus, m.serial)) {
    record->result = command;
    record->open = false;
  }
}

// The next selectable item from `from` in direction `step`, round the ends.
int NextSelectable(const MenuData &m, int from, int step) {
  int n = int(m.entries.size());
  for (int k = 1; k <= n; ++k) {
    int i = ((from < 0 ? (step > 0 ? -1 : 0) : from) + step * k + 2 * n) % n;
    if (m.entries[size_t(i)].Selectable()) return i;
  }
  return -1;
}

// The letter after a single '&' in an item's text, lower case; 0 for none.
int Mnemonic(const std::string &text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    return std::tolower(static_cast<unsigned char>(text[i + 1]));
  }
  return 0;
}

void OnKey(HWND hwnd, MenuData &m, int vk) {
  switch (vk) {
    case VK_DOWN:
      SetHover(hwnd, m, NextSelectable(m, m.hover, 1));
      return;
    case VK_UP:
      SetHover(hwnd, m, NextSelectable(m, m.hover, -1));
      return;
    case VK_RETURN:
      Close(m, m.hover >= 0 ? m.entries[size_t(m.hover)].command : 0);
      return;
    case VK_ESCAPE:
    case VK_MENU:
      Close(m, 0);
      return;
  }
  if (!std::isalnum(vk)) return;
  // A letter chooses the one item it underlines; with several, it moves among them.
  std::vector<int> matches;
  for (size_t i = 0; i < m.entries.size(); ++i)
    if (m.entries[i].Selectable() && Mnemonic(m.entries[i].text) == std::tolower(vk)) matches.push_back(int(i));
  if (matches.size() == 1) {
    Close(m, m.entries[size_t(matches[0])].command);
  } else if (!matches.empty()) {
    auto next = std::upper_bound(matches.begin(), matches.end(), m.hover);
    SetHover(hwnd, m, next == matches.end() ? matches[0] : *next);
  }
}

void OnMouse(HWND hwnd, MenuData &m, UINT msg, LPARAM lParam) {
  int x = int(short(LOWORD(lParam))), y = int(short(HIWORD(lParam)));
  RECT rc;
  GetClientRect(hwnd, &rc);
  bool inside = PtInRect(&rc, POINT{x, y}) != FALSE;
  POINT cursor;
  GetCursorPos(&cursor);
  if (cursor.x != m.openedAt.x || cursor.y != m.openedAt.y) m.moved = true;
  int at = EntryAt(m, x, y);
  switch (msg) {
    case WM_MOUSEMOVE:
      if (inside || m.pressedInside) SetHover(hwnd, m, at);
      return;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      if (!inside) {
        Close(m, 0);  // a press outside dismisses the menu, and goes no further
        return;
      }
      m.pressedInside = true;
      SetHover(hwnd, m, at);
      return;
    case WM_RBUTTONUP:
      if (!(m.flags & TPM_RIGHTBUTTON)) return;
      [[fallthrough]];
    case WM_LBUTTONUP:
      // The release of the press that opened the menu chooses only once the
      // mouse has moved onto an item.
      if (at >= 0 && (m.pressedInside || m.moved)) Close(m, m.entries[size_t(at)].command);
      m.pressedInside = false;
      return;
  }
}

LRESULT CALLBACK MenuProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  MenuData *m = DataOf(hwnd);
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(hwnd, &ps);
      if (m) Paint(hwnd, hdc, *m);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the paint fills everything
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      if (m) OnMouse(hwnd, *m, msg, lParam);
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (m) OnKey(hwnd, *m, int(wParam));
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void RegisterMenuClass() {
  TrackedStack().clear();
  if (FindClass(kMenuClass)) return;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_SAVEBITS;
  wc.lpfnWndProc = MenuProc;
  wc.lpszClassName = kMenuClass;
  RegisterClassExA(&wc);
}

ResetHook menuClassReset(32, RegisterMenuClass);

// Where the menu goes: the alignment flags around (x, y), then kept on the screen.
POINT PlaceMenu(UINT flags, int x, int y, SIZE size) {
  int left = x, top = y;
  if (flags & TPM_CENTERALIGN)
    left = x - size.cx / 2;
  else if (flags & TPM_RIGHTALIGN)
    left = x - size.cx;
  if (flags & TPM_BOTTOMALIGN)
    top = y - size.cy;
  else if (flags & TPM_VCENTERALIGN)
    top = y - size.cy / 2;
  left = std::max(0, std::min(left, TheScreen().width - int(size.cx)));
  top = std::max(0, std::min(top, TheScreen().height - int(size.cy)));
  return POINT{left, top};
}

}  // namespace

HWND TrackedMenuWindow() {
  auto &stack = TrackedStack();
  while (!stack.empty() && !Find(stack.back())) stack.pop_back();
  return stack.empty() ? nullptr : stack.back();
}

}  // namespace vd::user

using namespace vd;
using namespace vd::user;

extern "C" {

BOOL WINAPI TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND hwnd, const RECT *rect) {
  (void)reserved;
  (void)rect;
  std::vector<std::pair<UINT, std::string>> items;
  if (!MenuItemsOf(menu, &items) || (hwnd && !Find(hwnd))) return FALSE;
  std::vector<Entry> entries;
  SIZE size = LayOut(items, &entries);
  POINT at = PlaceMenu(flags, x, y, size);
  auto &menus = Observed().menus;
  uint64_t serial = ++Observed().lastSerial;
  menus.push_back(MenuRecord{ClockNow(), menu, flags, x, y, hwnd,
                             RECT{at.x, at.y, at.x + size.cx, at.y + size.cy}, 0, true, serial});
  if (std::optional<UINT> early = TakeEarlyMenuAnswer()) {
    menus.back().result = *early;
    menus.back().open = false;
  }
  HWND window = nullptr;
  if (menus.back().open) {
    window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kMenuClass, "", WS_POPUP, at.x, at.y, size.cx,
                             size.cy, hwnd, nullptr, nullptr, nullptr);
    if (MenuData *m = ControlDataOf<MenuData>(window)) {
      m->serial = serial;
      m->flags = flags;
      m->entries = std::move(entries);
      GetCursorPos(&m->openedAt);
      TrackedStack().push_back(window);
      ShowWindow(window, SW_SHOWNA);
    }
  }
  UINT command = 0;  // the program is ending: the menu goes without a choice
  if (RunRecordLoop(menus, serial)) command = RecordOf(menus, serial)->result;
  if (MenuRecord *record = RecordOf(menus, serial)) {
    record->open = false;
    record->result = command;
  }
  DropRecordUnlessRecording(menus, serial);
  auto &stack = TrackedStack();
  stack.erase(std::remove(stack.begin(), stack.end(), window), stack.end());
  if (Find(window)) DestroyWindow(window);
  bool known = std::any_of(items.begin(), items.end(), [&](auto &i) { return i.first == command && command != 0; });
  if (!known) command = 0;
  if (flags & TPM_RETURNCMD) return BOOL(command);
  if (command && hwnd) PostMessageA(hwnd, WM_COMMAND, command, 0);
  return command ? TRUE : FALSE;
}

}  // extern "C"
