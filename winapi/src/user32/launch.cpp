// What opens application windows: the desktop's icons, each named after its
// window (a click selects one, a double-click opens its window, or raises it
// when it is open), and the taskbar's start button, whose menu lists the same
// windows. So a window that was closed can always be had again.
#include <algorithm>
#include <string>
#include <vector>

#include "core/platform.h"
#include "gdi32/font.h"
#include "user32/draw3d.h"
#include "user32/wnd.h"

namespace vd::user {
namespace {

constexpr int kIconX = 22;        // the column of icons at the desktop's left
constexpr int kIconTop = 14;
constexpr int kIconPitch = 72;
constexpr int kIconSize = 32;
constexpr int kLabelWidth = 70;   // labels wrap within this, centred under the icon
constexpr int kLabelGap = 3;

struct Launcher {
  std::string title;
  RECT rect;   // where its window opens
  RECT icon;   // where the icon and its label are, screen coordinates
  RECT label;
};

struct Launchers {
  std::vector<Launcher> icons;
  int selected = -1;
  bool startPressed = false;
};

Launchers &L() {
  static Launchers launchers;
  return launchers;
}

void ResetLaunchers() { L() = Launchers(); }
ResetHook launchersReset(14, ResetLaunchers);

HFONT LabelFont() { return gdi::SystemUiFont(gdi::UiFont::Message); }

// Lays out icon `i`: its place in the column, its label wrapped under it.
void LayOut(int i) {
  RECT *icon = &L().icons[size_t(i)].icon, *label = &L().icons[size_t(i)].label;
  int y = kIconTop + kIconPitch * i;
  *icon = RECT{kIconX, y, kIconX + kIconSize, y + kIconSize};
  const std::string &title = L().icons[size_t(i)].title;
  SIZE text = MeasureText(LabelFont(), title, kLabelWidth, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
  int width = std::min(int(text.cx) + 2, kLabelWidth + 2), centre = kIconX + kIconSize / 2;
  *label = RECT{centre - width / 2, y + kIconSize + kLabelGap, centre - width / 2 + width,
                y + kIconSize + kLabelGap + text.cy};
}

int IconAt(POINT pt) {
  for (int i = 0; i < int(L().icons.size()); ++i) {
    const Launcher &l = L().icons[size_t(i)];
    if (PtInRect(&l.icon, pt) || PtInRect(&l.label, pt)) return i;
  }
  return -1;
}

void InvalidateIcon(HWND listView, int i) {
  if (i < 0 || i >= int(L().icons.size())) return;
  RECT both;
  UnionRect(&both, &L().icons[size_t(i)].icon, &L().icons[size_t(i)].label);
  POINT origin{0, 0};
  ClientToScreen(listView, &origin);
  OffsetRect(&both, -origin.x, -origin.y);
  InvalidateRect(listView, &both, TRUE);
}

// The application window a launcher opens, when it is there.
HWND WindowOf(const Launcher &launcher) {
  for (HWND h : TopLevels()) {
    Window *w = Find(h);
    if (w && !w->destroying && w->cls && w->cls->name == "AppWindow" && w->title == launcher.title) return h;
  }
  return nullptr;
}

void Open(int i) {
  if (i < 0 || i >= int(L().icons.size())) return;
  Launcher launcher = L().icons[size_t(i)];
  HWND hwnd = WindowOf(launcher);
  if (!hwnd) hwnd = CreateAppWindow(launcher.title, launcher.rect, false);
  if (!hwnd) return;
  // Shown, on top and active: one window per icon, raised when it was open.
  SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  SetForegroundWindow(hwnd);
}

}  // namespace

void PaintDesktopIcons(HWND listView, HDC hdc, const RECT &paint) {
  POINT origin{0, 0};
  ClientToScreen(listView, &origin);
  HGDIOBJ old = SelectObject(hdc, LabelFont());
  SetBkMode(hdc, TRANSPARENT);
  for (int i = 0; i < int(L().icons.size()); ++i) {
    RECT icon = L().icons[size_t(i)].icon, label = L().icons[size_t(i)].label;
    OffsetRect(&icon, -origin.x, -origin.y);
    OffsetRect(&label, -origin.x, -origin.y);
    RECT both, visible;
    UnionRect(&both, &icon, &label);
    if (!IntersectRect(&visible, &both, &paint)) continue;  // petals repaint small parts often
    DrawIcon(hdc, icon.left, icon.top, LoadIconA(nullptr, IDI_APPLICATION));
    bool selected = i == L().selected;
    if (selected) FillRect(hdc, &label, GetSysColorBrush(COLOR_HIGHLIGHT));
    SetTextColor(hdc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : RGB(255, 255, 255));
    const std::string &title = L().icons[size_t(i)].title;
    DrawTextA(hdc, title.c_str(), int(title.size()), &label, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
  }
  SelectObject(hdc, old);
}

void DesktopIconsMouse(HWND listView, UINT message, POINT screen) {
  int at = IconAt(screen);
  if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_LBUTTONDBLCLK) {
    if (at != L().selected) {
      InvalidateIcon(listView, L().selected);
      L().selected = at;
      InvalidateIcon(listView, at);
    }
  }
  if (message == WM_LBUTTONDBLCLK && at >= 0) Open(at);
}

RECT StartButtonRect() {
  HWND bar = Taskbar();
  RECT r{0, 0, 0, 0};
  if (!GetWindowRect(bar, &r)) return r;
  return RECT{r.left + 2, r.top + 4, r.left + 56, r.bottom - 2};
}

void PaintStartButton(HWND taskbar, HDC hdc) {
  RECT button = StartButtonRect();
  POINT origin{0, 0};
  ClientToScreen(taskbar, &origin);
  OffsetRect(&button, -origin.x, -origin.y);
  draw3d::Canvas c(hdc);
  RECT face = draw3d::PushButton(c, button, false, L().startPressed);
  // A small four-pane window as the logo, then the bold word.
  int lx = face.left + 3, ly = (face.top + face.bottom) / 2 - 5;
  const COLORREF panes[4] = {RGB(255, 0, 0), RGB(0, 160, 0), RGB(0, 0, 255), RGB(255, 200, 0)};
  for (int p = 0; p < 4; ++p) {
    RECT pane{lx + (p % 2) * 6, ly + (p / 2) * 6, lx + (p % 2) * 6 + 5, ly + (p / 2) * 6 + 5};
    c.Fill(pane, panes[p]);
  }
  RECT text{lx + 14, face.top, face.right, face.bottom};
  HGDIOBJ old = SelectObject(hdc, gdi::SystemUiFont(gdi::UiFont::Caption));
  SetBkMode(hdc, TRANSPARENT);
  SetTextColor(hdc, GetSysColor(COLOR_BTNTEXT));
  DrawTextA(hdc, "Start", 5, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
  SelectObject(hdc, old);
}

bool StartButtonPress(HWND taskbar, POINT screen) {
  RECT button = StartButtonRect();
  if (!PtInRect(&button, screen)) return false;
  HMENU menu = CreatePopupMenu();
  for (size_t i = 0; i < L().icons.size(); ++i) AppendMenuA(menu, MF_STRING, i + 1, L().icons[i].title.c_str());
  if (L().icons.empty()) AppendMenuA(menu, MF_STRING, 0, "(Empty)");
  L().startPressed = true;
  InvalidateRect(taskbar, nullptr, FALSE);
  UpdateWindow(taskbar);
  // Above the button, its left edges in line.
  UINT command = UINT(TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_BOTTOMALIGN | TPM_RETURNCMD, button.left, button.top - 2,
                                     0, taskbar, nullptr));
  DestroyMenu(menu);
  L().startPressed = false;
  if (Find(taskbar)) InvalidateRect(taskbar, nullptr, FALSE);
  if (command) Open(int(command) - 1);
  return true;
}

}  // namespace vd::user

using namespace vd;
using namespace vd::user;

namespace vd {

void AddDesktopIcon(const std::string &title, RECT rect) {
  for (Launcher &l : L().icons) {
    if (l.title == title) {
      l.rect = rect;
      return;
    }
  }
  L().icons.push_back(Launcher{title, rect, RECT{}, RECT{}});
  LayOut(int(L().icons.size()) - 1);
  if (HWND view = DesktopListView()) InvalidateIcon(view, int(L().icons.size()) - 1);
}

std::vector<DesktopIconInfo> DesktopIcons() {
  std::vector<DesktopIconInfo> list;
  for (int i = 0; i < int(L().icons.size()); ++i) {
    DesktopIconInfo info;
    info.title = L().icons[size_t(i)].title;
    info.icon = L().icons[size_t(i)].icon;
    info.label = L().icons[size_t(i)].label;
    list.push_back(info);
  }
  return list;
}

RECT StartButton() { return StartButtonRect(); }

}  // namespace vd
