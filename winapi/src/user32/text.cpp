// Title-bar text, drawn by gdi32's text engine in the caption font, and the
// measuring of the window manager's own text.
#include "gdi32/font.h"
#include "user32/wnd.h"

namespace vd::user {

void DrawTitleText(Window &w, const RECT &bar, const pixman_region32_t *clip) {
  if (w.title.empty()) return;
  // A context on the whole window, kept to the frame's drawable part.
  HDC hdc = gdi::CreateWindowDC(w.handle, false);
  if (!hdc) return;
  gdi::SetExtraClip(hdc, clip);
  SelectObject(hdc, gdi::SystemUiFont(gdi::UiFont::Caption));
  SetBkMode(hdc, TRANSPARENT);
  bool active = GetActiveWindow() == w.handle;
  SetTextColor(hdc, active ? GetSysColor(COLOR_CAPTIONTEXT) : GetSysColor(COLOR_INACTIVECAPTIONTEXT));
  // Window coordinates; the close box keeps the right end of the bar.
  RECT text{bar.left - w.rect.left + 3, bar.top - w.rect.top, bar.right - w.rect.left - 20, bar.bottom - w.rect.top};
  DrawTextA(hdc, w.title.c_str(), int(w.title.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
  gdi::ReleaseWindowDC(hdc);
}

SIZE MeasureText(HFONT font, const std::string &text, int maxWidth, UINT format) {
  HDC hdc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(hdc, font);
  RECT rc{0, 0, maxWidth, 0};
  DrawTextA(hdc, text.c_str(), int(text.size()), &rc, DT_CALCRECT | format);
  SelectObject(hdc, old);
  ReleaseDC(nullptr, hdc);
  return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

}  // namespace vd::user
