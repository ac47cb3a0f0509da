// Helpers the controls share.
#include "user32/controls.h"

namespace vd::user {

void NotifyParent(HWND control, WORD code) {
  Window *w = Find(control);
  if (!w || !w->parent) return;
  SendMessageA(w->parent, WM_COMMAND, MAKEWPARAM(WORD(w->id), code), reinterpret_cast<LPARAM>(control));
}

HBRUSH ParentBrush(HWND control, HDC hdc, UINT ctlColorMessage) {
  Window *w = Find(control);
  HWND parent = w && w->parent ? w->parent : control;
  auto brush = reinterpret_cast<HBRUSH>(SendMessageA(parent, ctlColorMessage, reinterpret_cast<WPARAM>(hdc),
                                                     reinterpret_cast<LPARAM>(control)));
  // A parent that answers nothing gets the default colours.
  if (!brush)
    brush = reinterpret_cast<HBRUSH>(DefWindowProcA(parent, ctlColorMessage, reinterpret_cast<WPARAM>(hdc),
                                                    reinterpret_cast<LPARAM>(control)));
  return brush;
}

bool FocusCuesHidden(HWND control) {
  Window *w = Find(control);
  return w && w->parent && (SendMessageA(w->parent, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
}

bool AverageCharSize(HDC hdc, int *width, int *height) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  SIZE size;
  TEXTMETRICA tm;
  if (!GetTextExtentPoint32A(hdc, kAlphabet, 52, &size) || !GetTextMetricsA(hdc, &tm)) return false;
  if (size.cx <= 0 || tm.tmHeight <= 0) return false;
  *width = (size.cx / 26 + 1) / 2;
  *height = tm.tmHeight;
  return true;
}

void DrawCaption(HDC hdc, const std::string &text, RECT rc, UINT format, bool disabled) {
  if (text.empty()) return;
  int mode = SetBkMode(hdc, TRANSPARENT);
  if (disabled) {
    COLORREF old = SetTextColor(hdc, GetSysColor(COLOR_BTNHIGHLIGHT));
    RECT shifted{rc.left + 1, rc.top + 1, rc.right + 1, rc.bottom + 1};
    DrawTextA(hdc, text.c_str(), int(text.size()), &shifted, format);
    SetTextColor(hdc, GetSysColor(COLOR_GRAYTEXT));
    DrawTextA(hdc, text.c_str(), int(text.size()), &rc, format);
    SetTextColor(hdc, old);
  } else {
    DrawTextA(hdc, text.c_str(), int(text.size()), &rc, format);
  }
  SetBkMode(hdc, mode);
}

void RegisterControlClass(const char *name, WNDPROC proc) {
  if (FindClass(name)) return;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.lpszClassName = name;
  RegisterClassExA(&wc);
}

}  // namespace vd::user
