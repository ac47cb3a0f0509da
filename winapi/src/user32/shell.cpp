// The shell's windows: "Program Manager" with the desktop's views, the taskbar
// with its notification area, and the application windows a script or the user opens.
#include <algorithm>
#include <cstring>

#include "core/platform.h"
#include "gdi32/gdi.h"
#include "user32/user.h"
#include "user32/wnd.h"

namespace vd::user {
namespace {

constexpr int kTaskbarHeight = 28;
constexpr COLORREF kDesktopColor = RGB(0, 128, 128);
constexpr COLORREF kHtmlColor = RGB(58, 110, 165);
constexpr COLORREF kFaceColor = RGB(192, 192, 192);

struct Shell {
  HWND progman = nullptr;
  HWND defView = nullptr;
  HWND listView = nullptr;
  HWND htmlView = nullptr;
  HWND taskbar = nullptr;
  HWND viewWorker = nullptr;       // a top-level "WorkerW" holding the icon view, once moved there
  HWND wallpaperWorker = nullptr;  // the "WorkerW" that shows the wallpaper below it
  RECT trayArea{};                 // where a display shows the icons (empty: in the taskbar)
  int trayIconSize = 20;
};

bool Foreign() { return CurrentConfig().foreignShell; }

Shell &S() {
  static Shell shell;
  return shell;
}

void FillClient(HDC hdc, HWND hwnd, COLORREF color) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(hdc, &rc, brush);
  DeleteObject(brush);
}

void FillBox(HDC hdc, RECT rc, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(hdc, &rc, brush);
  DeleteObject(brush);
}

// The icon list view paints the desktop: its colour and a column of icons.
LRESULT CALLBACK ListViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (Foreign() && msg != WM_ERASEBKGND && msg != WM_PAINT) return DefWindowProcA(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_ERASEBKGND:
      FillClient(reinterpret_cast<HDC>(wParam), hwnd, Foreign() ? kClearColor : kDesktopColor);
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(hwnd, &ps);
      if (!Foreign()) PaintDesktopIcons(hwnd, hdc, ps.rcPaint);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      POINT pt{short(LOWORD(lParam)), short(HIWORD(lParam))};
      ClientToScreen(hwnd, &pt);
      DesktopIconsMouse(hwnd, msg, pt);
      return 0;
    }
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// The HTML view paints a web page over the whole desktop while it is switched on.
LRESULT CALLBACK HtmlViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      FillClient(reinterpret_cast<HDC>(wParam), hwnd, kHtmlColor);
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillBox(hdc, RECT{rc.right - 260, 40, rc.right - 40, 200}, RGB(240, 240, 240));
      FillBox(hdc, RECT{rc.right - 250, 50, rc.right - 50, 70}, RGB(0, 0, 128));
      for (int i = 0; i < 6; ++i) FillBox(hdc, RECT{rc.right - 250, 84 + 18 * i, rc.right - 90 + 10 * (i % 3), 92 + 18 * i}, RGB(160, 160, 160));
      EndPaint(hwnd, &ps);
      return 0;
    }
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// The shell's windows are not the user's to close: Alt+F4 on the desktop or
// the taskbar (WM_SYSCOMMAND SC_CLOSE, then WM_CLOSE) leaves them standing,
// as Windows' shell does. Only the shell itself destroys them.
bool RefusesClose(UINT msg, WPARAM wParam) {
  return msg == WM_CLOSE || (msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE);
}

LRESULT CALLBACK ProgmanProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (RefusesClose(msg, wParam)) return 0;
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// A worker window of the shell shows the wallpaper: the desktop's colour.
LRESULT CALLBACK WorkerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (RefusesClose(msg, wParam)) return 0;
  if (msg == WM_ERASEBKGND) {
    FillClient(reinterpret_cast<HDC>(wParam), hwnd, kDesktopColor);
    return 1;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// The taskbar: a raised grey bar with a start button and the notification area.
LRESULT CALLBACK TaskbarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (RefusesClose(msg, wParam)) return 0;
  switch (msg) {
    case WM_TIMER:
      TrayTipTimer(UINT_PTR(wParam));
      return 0;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;  // the active window stays active
    case WM_LBUTTONDOWN: {
      POINT pt{short(LOWORD(lParam)), short(HIWORD(lParam))};
      ClientToScreen(hwnd, &pt);
      if (!Foreign()) StartButtonPress(hwnd, pt);
      return 0;
    }
    case WM_ERASEBKGND:
      FillClient(reinterpret_cast<HDC>(wParam), hwnd, Foreign() ? kClearColor : kFaceColor);
      return 1;
    case WM_PAINT: {
      if (Foreign()) break;  // the display's own panel shows there
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillBox(hdc, RECT{0, 0, rc.right, 1}, RGB(223, 223, 223));
      FillBox(hdc, RECT{0, 1, rc.right, 2}, RGB(255, 255, 255));
      PaintStartButton(hwnd, hdc);
      RECT area = TrayIconRect(-1);
      RECT win;
      GetWindowRect(hwnd, &win);
      OffsetRect(&area, -win.left, -win.top);
      FillBox(hdc, area, RGB(128, 128, 128));
      FillBox(hdc, RECT{area.left + 1, area.top + 1, area.right, area.bottom}, RGB(255, 255, 255));
      FillBox(hdc, RECT{area.left + 1, area.top + 1, area.right - 1, area.bottom - 1}, kFaceColor);
      EndPaint(hwnd, &ps);
      pixman_region32_t clip;
      pixman_region32_init(&clip);
      DrawableArea(hwnd, true, &clip, nullptr);
      const auto &icons = TrayIconList();
      for (size_t i = 0; i < icons.size(); ++i) {
        RECT r = TrayIconRect(int(i));
        if (icons[i].icon) DrawIconOnScreen(icons[i].icon, r.left + 2, r.top + 2, 16, &clip);
      }
      pixman_region32_fini(&clip);
      return 0;
    }
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// An application window: white client with lines of grey "text".
LRESULT CALLBACK AppWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    for (int y = 10, i = 0; y + 6 < rc.bottom - 6; y += 16, ++i) {
      int right = std::max(12, int(rc.right - 12 - (i * 37) % 90));
      FillBox(hdc, RECT{10, y, right, y + 6}, RGB(200, 200, 200));
    }
    EndPaint(hwnd, &ps);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Another program's window on the display: the display shows it, so it paints
// the colour that lets the display's own pixels through.
LRESULT CALLBACK ForeignProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      FillClient(reinterpret_cast<HDC>(wParam), hwnd, kClearColor);
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATEANDEAT;
    case WM_NCHITTEST:
      return HTTRANSPARENT;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void Register(const char *name, WNDPROC proc, HBRUSH background, UINT style = 0) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.lpszClassName = name;
  wc.hbrBackground = background;
  RegisterClassExA(&wc);
}

}  // namespace

void CreateShell() {
  S() = Shell();
  int w = TheScreen().width, h = TheScreen().height;
  Register("Progman", ProgmanProc, nullptr);
  Register("SHELLDLL_DefView", PlainProc, nullptr);
  Register("SysListView32", ListViewProc, nullptr, CS_DBLCLKS);
  Register("Internet Explorer_Server", HtmlViewProc, nullptr);
  Register("Shell_TrayWnd", TaskbarProc, nullptr);
  Register("WorkerW", WorkerProc, nullptr);
  Register("AppWindow", AppWindowProc, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  S().progman = CreateWindowExA(WS_EX_TOOLWINDOW, "Progman", "Program Manager", WS_POPUP | WS_CLIPCHILDREN, 0, 0, w,
                                h, nullptr, nullptr, nullptr, nullptr);
  S().defView = CreateWindowExA(0, "SHELLDLL_DefView", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, w, h,
                                S().progman, nullptr, nullptr, nullptr);
  S().listView = CreateWindowExA(0, "SysListView32", "FolderView", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, w,
                                 h, S().defView, reinterpret_cast<HMENU>(1), nullptr, nullptr);
  ShowWindow(S().progman, SW_SHOWNA);
  SetWindowPos(S().progman, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (Foreign()) {
    // Until the display says where its panel is, the taskbar waits below the screen.
    S().taskbar = CreateWindowExA(WS_EX_TOOLWINDOW, "Shell_TrayWnd", "", WS_POPUP, 0, h, w, kTaskbarHeight, nullptr,
                                  nullptr, nullptr, nullptr);
    ShowWindow(S().taskbar, SW_SHOWNA);
    SetWindowPos(S().taskbar, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(S().progman, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return;
  }
  S().taskbar = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "Shell_TrayWnd", "", WS_POPUP, 0,
                                h - kTaskbarHeight, w, kTaskbarHeight, nullptr, nullptr, nullptr, nullptr);
  ShowWindow(S().taskbar, SW_SHOWNA);
}

RECT TrayIconRect(int slot) {
  if (!IsRectEmpty(&S().trayArea)) {
    if (slot < 0) return S().trayArea;
    int left = S().trayArea.left + S().trayIconSize * slot;
    return RECT{left, S().trayArea.top, left + S().trayIconSize, S().trayArea.top + S().trayIconSize};
  }
  // The notification area sits at the right of the taskbar; slot -1 is the area itself.
  RECT bar{0, 0, 0, 0};
  if (Window *t = Find(S().taskbar)) bar = t->rect;
  else bar = RECT{0, TheScreen().height - kTaskbarHeight, TheScreen().width, TheScreen().height};
  int n = int(TrayIconList().size());
  int areaRight = bar.right - 4;
  int areaLeft = areaRight - 8 - 20 * std::max(n, 1);
  if (slot < 0) return RECT{areaLeft, bar.top + 4, areaRight, bar.bottom - 3};
  int left = areaLeft + 4 + 20 * slot;
  return RECT{left, bar.top + 5, left + 20, bar.top + 25};
}

bool TrayHitTest(int x, int y, HWND *owner, UINT *id, UINT *callback) {
  const auto &icons = TrayIconList();
  for (size_t i = 0; i < icons.size(); ++i) {
    RECT r = TrayIconRect(int(i));
    if (PtInRect(&r, POINT{x, y})) {
      *owner = icons[i].owner;
      *id = icons[i].id;
      *callback = icons[i].callbackMessage;
      return true;
    }
  }
  return false;
}

RECT WorkAreaRect() {
  // The screen less the taskbar along its bottom edge.
  RECT work{0, 0, TheScreen().width, TheScreen().height};
  Window *t = Find(S().taskbar);
  if (t && (t->style & WS_VISIBLE) && t->rect.bottom >= work.bottom && t->rect.top > work.top)
    work.bottom = t->rect.top;
  return work;
}

void TaskbarChanged() {
  if (S().taskbar) InvalidateRect(S().taskbar, nullptr, TRUE);
  TrayIconsChanged();
}

}  // namespace vd::user

using namespace vd;
using namespace vd::user;

namespace vd {

HWND ProgramManager() { return Find(S().progman) ? S().progman : nullptr; }
HWND DesktopListView() { return Find(S().listView) ? S().listView : nullptr; }
HWND DesktopHtmlView() { return Find(S().htmlView) ? S().htmlView : nullptr; }
HWND Taskbar() { return Find(S().taskbar) ? S().taskbar : nullptr; }

void SetHtmlView(bool on) {
  if (on == (DesktopHtmlView() != nullptr) || !Find(S().defView)) return;
  if (on) {
    RECT rc = Find(S().defView)->rect;
    S().htmlView = CreateWindowExA(0, "Internet Explorer_Server", "", WS_CHILD | WS_CLIPSIBLINGS, 0, 0,
                                   rc.right - rc.left, rc.bottom - rc.top, S().defView, nullptr, nullptr, nullptr);
    // It lies over the icon view, first among the view's children.
    Window *view = Find(S().defView);
    auto &kids = view->children;
    kids.erase(std::remove(kids.begin(), kids.end(), S().htmlView), kids.end());
    kids.insert(kids.begin(), S().htmlView);
    ShowWindow(S().htmlView, SW_SHOWNA);
  } else {
    DestroyWindow(S().htmlView);
    S().htmlView = nullptr;
  }
}

void RemoveProgramManager() {
  DestroyWindow(S().progman);
  S().progman = nullptr;
  // Views that the shell had moved into a worker window live on there.
  for (HWND *view : {&S().defView, &S().listView, &S().htmlView})
    if (!Find(*view)) *view = nullptr;
}

HWND DesktopViewWorker() { return Find(S().viewWorker) ? S().viewWorker : nullptr; }

void MoveDesktopViewToWorker() {
  Window *view = Find(S().defView);
  Window *progman = Find(S().progman);
  if (!view || !progman || view->parent != S().progman) return;
  int w = TheScreen().width, h = TheScreen().height;
  DWORD style = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  S().wallpaperWorker = CreateWindowExA(WS_EX_TOOLWINDOW, "WorkerW", "", style, 0, 0, w, h, nullptr, nullptr,
                                        nullptr, nullptr);
  S().viewWorker = CreateWindowExA(WS_EX_TOOLWINDOW, "WorkerW", "", style, 0, 0, w, h, nullptr, nullptr, nullptr,
                                   nullptr);
  // The view changes parent as SetParent would move it: same place on the screen.
  auto &kids = progman->children;
  kids.erase(std::remove(kids.begin(), kids.end(), S().defView), kids.end());
  view->parent = S().viewWorker;
  Find(S().viewWorker)->children.insert(Find(S().viewWorker)->children.begin(), S().defView);
  LayoutChanged();
  ShowWindow(S().wallpaperWorker, SW_SHOWNA);
  ShowWindow(S().viewWorker, SW_SHOWNA);
  // Bottom up: "Program Manager", the wallpaper's worker, the view's worker.
  UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  SetWindowPos(S().viewWorker, HWND_BOTTOM, 0, 0, 0, 0, keep);
  SetWindowPos(S().wallpaperWorker, HWND_BOTTOM, 0, 0, 0, 0, keep);
  SetWindowPos(S().progman, HWND_BOTTOM, 0, 0, 0, 0, keep);
  InvalidateRect(S().viewWorker, nullptr, TRUE);
  InvalidateRect(S().defView, nullptr, TRUE);
  InvalidateRect(S().listView, nullptr, TRUE);
}

void AddWorkerUnderProgramManager() {
  Window *progman = Find(S().progman);
  if (!progman) return;
  RECT rc = progman->rect;
  HWND worker = CreateWindowExA(0, "WorkerW", "", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, rc.right - rc.left,
                                rc.bottom - rc.top, S().progman, nullptr, nullptr, nullptr);
  // Below the view among the children of "Program Manager".
  auto &kids = Find(S().progman)->children;
  kids.erase(std::remove(kids.begin(), kids.end(), worker), kids.end());
  kids.push_back(worker);
  ShowWindow(worker, SW_SHOWNA);
}

void RemoveDesktopViews() {
  DestroyWindow(S().defView);
  S().defView = S().listView = S().htmlView = nullptr;
}

HWND CreateAppWindow(const std::string &title, RECT rect, bool visible) {
  HWND hwnd = CreateWindowExA(0, "AppWindow", title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, rect.left,
                              rect.top, rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, nullptr,
                              nullptr);
  if (hwnd && visible) ShowWindow(hwnd, SW_SHOWNA);
  return hwnd;
}

void MoveAppWindow(HWND hwnd, int x, int y) {
  SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ResizeAppWindow(HWND hwnd, int width, int height) {
  SetWindowPos(hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void RaiseWindow(HWND hwnd) { SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

void ShowAppWindow(HWND hwnd, bool visible) { ShowWindow(hwnd, visible ? SW_SHOWNA : SW_HIDE); }

void CloseAppWindow(HWND hwnd) { DestroyWindow(hwnd); }

HWND CreateForeignWindow(const std::string &title, const std::string &className, RECT rect, bool visible) {
  // Another program's class name may be one this desktop already has for
  // windows of its own; such a window gets a name of its own instead.
  std::string name = className.empty() ? "ForeignWindow" : className;
  if (WindowClass *c = FindClass(name); c && c->proc != ForeignProc) name = "Foreign:" + name;
  if (!FindClass(name)) Register(name.c_str(), ForeignProc, nullptr);
  HWND hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, name.c_str(), title.c_str(),
                              WS_POPUP | WS_CLIPSIBLINGS, rect.left, rect.top, rect.right - rect.left,
                              rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
  if (!hwnd) return nullptr;
  // Born at the top; it belongs down with the display's other windows.
  StackForeignWindows({hwnd});
  if (visible) ShowWindow(hwnd, SW_SHOWNA);
  return hwnd;
}

bool IsForeignWindow(HWND hwnd) {
  Window *w = Find(hwnd);
  return w && !w->parent && w->cls && w->cls->proc == ForeignProc;
}

void StackForeignWindows(const std::vector<HWND> &topFirst) {
  std::vector<HWND> order;
  const std::vector<HWND> &current = TopLevels();
  auto listed = [&](HWND h) { return std::find(topFirst.begin(), topFirst.end(), h) != topFirst.end(); };
  auto bottom = [&](HWND h) { return h == S().progman || h == S().taskbar; };
  for (HWND h : current)
    if (!IsForeignWindow(h) && !bottom(h)) order.push_back(h);
  for (HWND h : topFirst)
    if (IsForeignWindow(h) && std::find(order.begin(), order.end(), h) == order.end()) order.push_back(h);
  for (HWND h : current)
    if (IsForeignWindow(h) && !listed(h)) order.push_back(h);
  for (HWND h : {S().taskbar, S().progman})
    if (std::find(current.begin(), current.end(), h) != current.end()) order.push_back(h);
  if (order == current) return;
  ChangeLayout([&] { const_cast<std::vector<HWND> &>(TopLevels()) = order; }, nullptr);
}

void PlaceTrayIcons(RECT area, int iconSize) {
  S().trayArea = area;
  S().trayIconSize = std::max(iconSize, 1);
  TrayIconsChanged();
}

}  // namespace vd

extern "C" BOOL WINAPI SystemParametersInfoA(UINT action, UINT param, LPVOID out, UINT winIni) {
  (void)param;
  (void)winIni;
  if (action != SPI_GETWORKAREA || !out) return FALSE;
  *static_cast<RECT *>(out) = WorkAreaRect();
  return TRUE;
}
