// The "Static" class: text (left, centred, right, wrapped at words), icons and
// bitmaps. With SS_NOTIFY a static tells its parent about clicks and
// double-clicks; without it the mouse passes through it.
#include <cstdlib>

#include "core/platform.h"
#include "user32/controls.h"

namespace vd::user {
namespace {

struct StaticData : ControlData {
  HANDLE image = nullptr;  // HICON or HBITMAP, by the style
  bool ownsImage = false;  // a bitmap the control loaded from its template
  HFONT font = nullptr;
};

DWORD Kind(HWND hwnd) {
  Window *w = Find(hwnd);
  return w ? w->style & SS_TYPEMASK : 0;
}

bool ImageSize(HANDLE image, DWORD kind, SIZE *size) {
  if (!image) return false;
  if (kind == SS_ICON) {
    *size = SIZE{GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)};
    return true;
  }
  BITMAP bm;
  if (GetObjectA(image, sizeof bm, &bm) == 0) return false;
  *size = SIZE{bm.bmWidth, bm.bmHeight};
  return true;
}

// An icon or bitmap static takes the size of its picture, unless told to keep
// its own. The window does, edges included: an edge is drawn over the
// picture's outer pixels rather than around them.
void FitToImage(HWND hwnd, StaticData &s) {
  Window *w = Find(hwnd);
  SIZE size;
  if (!w || (w->style & (SS_CENTERIMAGE | SS_REALSIZECONTROL)) || !ImageSize(s.image, Kind(hwnd), &size)) return;
  SetWindowPos(hwnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Where the picture's corner goes in the client area: at the window's corner,
// under the edge, so that the picture stays centred in the window.
POINT ImageOrigin(HWND hwnd) {
  Window *w = Find(hwnd);
  int frame = w ? FrameWidth(w->style, w->exStyle) : 0;
  return POINT{-frame, -frame};
}

// Sets the picture and answers the previous one, which its caller then owns.
HANDLE SetImage(HWND hwnd, StaticData &s, HANDLE image, bool owned) {
  HANDLE old = s.image;
  s.image = image;
  s.ownsImage = owned;
  FitToImage(hwnd, s);
  InvalidateRect(hwnd, nullptr, TRUE);
  return old;
}

// A picture named in the template ("#id") is loaded from the module.
void LoadTemplateImage(HWND hwnd, StaticData &s, const CREATESTRUCTA *cs) {
  Window *w = Find(hwnd);
  DWORD kind = Kind(hwnd);
  if (!w || (kind != SS_ICON && kind != SS_BITMAP) || w->title.size() < 2 || w->title[0] != '#') return;
  LPCSTR name = MAKEINTRESOURCEA(std::atoi(w->title.c_str() + 1));
  w->title.clear();
  if (kind == SS_ICON)
    SetImage(hwnd, s, LoadIconA(cs->hInstance, name), false);
  else
    SetImage(hwnd, s, LoadBitmapA(cs->hInstance, name), true);
}

UINT TextFormat(DWORD style) {
  UINT noPrefix = (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
  switch (style & SS_TYPEMASK) {
    case SS_CENTER: return DT_CENTER | DT_EXPANDTABS | DT_WORDBREAK | noPrefix;
    case SS_RIGHT: return DT_RIGHT | DT_EXPANDTABS | DT_WORDBREAK | noPrefix;
    case SS_SIMPLE: return DT_LEFT | DT_SINGLELINE | DT_VCENTER | noPrefix;
    case SS_LEFTNOWORDWRAP: return DT_LEFT | DT_EXPANDTABS | noPrefix;
  }
  return DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK | noPrefix;
}

void Paint(HWND hwnd, HDC hdc) {
  Window *w = Find(hwnd);
  StaticData *s = ControlDataOf<StaticData>(hwnd);
  if (!w || !s) return;
  RECT client;
  GetClientRect(hwnd, &client);
  HBRUSH brush = ParentBrush(hwnd, hdc, WM_CTLCOLORSTATIC);
  DWORD kind = w->style & SS_TYPEMASK;
  if (kind == SS_ICON) {
    FillRect(hdc, &client, brush);
    POINT at = ImageOrigin(hwnd);
    if (s->image) DrawIcon(hdc, at.x, at.y, static_cast<HICON>(s->image));
    return;
  }
  if (kind == SS_BITMAP) {
    FillRect(hdc, &client, brush);
    SIZE size;
    if (!ImageSize(s->image, kind, &size)) return;
    HDC memory = CreateCompatibleDC(hdc);
    HGDIOBJ old = SelectObject(memory, s->image);
    POINT at = ImageOrigin(hwnd);
    BitBlt(hdc, at.x, at.y, size.cx, size.cy, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    return;
  }
  if (kind > SS_LEFTNOWORDWRAP) return;  // frames and rectangles are not drawn here
  FillRect(hdc, &client, brush);
  HGDIOBJ oldFont = s->font ? SelectObject(hdc, s->font) : nullptr;
  int mode = SetBkMode(hdc, TRANSPARENT);
  if (!w->enabled) SetTextColor(hdc, GetSysColor(COLOR_GRAYTEXT));
  if (!w->title.empty()) DrawTextA(hdc, w->title.c_str(), int(w->title.size()), &client, TextFormat(w->style));
  SetBkMode(hdc, mode);
  if (oldFont) SelectObject(hdc, oldFont);
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  StaticData *s = ControlDataOf<StaticData>(hwnd);
  Window *w = Find(hwnd);
  if (!s || !w) return 0;
  bool notify = (w->style & SS_NOTIFY) != 0;
  switch (msg) {
    case WM_CREATE:
      LoadTemplateImage(hwnd, *s, reinterpret_cast<const CREATESTRUCTA *>(lParam));
      return 0;
    case WM_NCDESTROY:
      if (s->ownsImage && s->image) DeleteObject(s->image);
      s->image = nullptr;
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_NCHITTEST:
      return notify ? HTCLIENT : HTTRANSPARENT;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(hwnd, &ps);
      Paint(hwnd, hdc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:
      if (notify) NotifyParent(hwnd, STN_CLICKED);
      return 0;
    case WM_LBUTTONDBLCLK:
      if (notify) NotifyParent(hwnd, STN_DBLCLK);
      return 0;
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, TRUE);
      if (notify) NotifyParent(hwnd, wParam ? STN_ENABLE : STN_DISABLE);
      return 0;
    case WM_SETTEXT:
      DefWindowProcA(hwnd, msg, wParam, lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    case WM_SETFONT:
      s->font = reinterpret_cast<HFONT>(wParam);
      if (lParam) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(s->font);
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case STM_SETIMAGE:
      if ((wParam == IMAGE_ICON && Kind(hwnd) == SS_ICON) || (wParam == IMAGE_BITMAP && Kind(hwnd) == SS_BITMAP))
        return reinterpret_cast<LRESULT>(SetImage(hwnd, *s, reinterpret_cast<HANDLE>(lParam), false));
      return 0;
    case STM_GETIMAGE:
      if ((wParam == IMAGE_ICON && Kind(hwnd) == SS_ICON) || (wParam == IMAGE_BITMAP && Kind(hwnd) == SS_BITMAP))
        return reinterpret_cast<LRESULT>(s->image);
      return 0;
    case STM_SETICON:
      if (Kind(hwnd) != SS_ICON) return 0;
      return reinterpret_cast<LRESULT>(SetImage(hwnd, *s, reinterpret_cast<HANDLE>(wParam), false));
    case STM_GETICON:
      return Kind(hwnd) == SS_ICON ? reinterpret_cast<LRESULT>(s->image) : 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

void RegisterStaticClass() { RegisterControlClass("Static", StaticProc); }

}  // namespace vd::user
