// The "Edit" class, single-line: a caret, typing, a selection made with the
// mouse or Shift and the arrow keys, Backspace, Delete, Home, End, Ctrl+A,
// scrolling sideways with ES_AUTOHSCROLL, and the EN_ notifications.
#include <algorithm>

#include "core/platform.h"
#include "user32/controls.h"

namespace vd::user {
namespace {

constexpr int kMargin = 2;          // between the client edge and the text, at the left and right
constexpr int kTopMargin = 1;
constexpr size_t kDefaultLimit = 30000;

struct EditData : ControlData {
  size_t anchor = 0;  // where the selection started
  size_t caret = 0;   // where it ends, and the caret stands
  int scroll = 0;     // pixels of text scrolled out on the left
  bool focused = false;
  bool dragging = false;
  size_t limit = kDefaultLimit;
  HFONT font = nullptr;
};

std::string &Text(HWND hwnd) { return Find(hwnd)->title; }

size_t SelStart(const EditData &e) { return std::min(e.anchor, e.caret); }
size_t SelEnd(const EditData &e) { return std::max(e.anchor, e.caret); }

// Measures text in the control's font.
class Measure {
 public:
  Measure(HWND hwnd, const EditData &e) : hwnd_(hwnd), hdc_(GetDC(hwnd)) {
    old_ = e.font ? SelectObject(hdc_, e.font) : nullptr;
  }
  ~Measure() {
    if (old_) SelectObject(hdc_, old_);
    ReleaseDC(hwnd_, hdc_);
  }
  int Width(const std::string &text, size_t count) const {
    SIZE size{0, 0};
    if (count) GetTextExtentPoint32A(hdc_, text.c_str(), int(count), &size);
    return size.cx;
  }

 private:
  HWND hwnd_;
  HDC hdc_;
  HGDIOBJ old_;
};

int FormatWidth(HWND hwnd) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  return std::max(1, int(rc.right) - 2 * kMargin);
}

// Scrolls so that the caret can be seen, a quarter of the width at a time.
void ScrollToCaret(HWND hwnd, EditData &e) {
  Window *w = Find(hwnd);
  if (!w || !(w->style & ES_AUTOHSCROLL)) {
    e.scroll = 0;
    return;
  }
  Measure m(hwnd, e);
  const std::string &text = Text(hwnd);
  int width = FormatWidth(hwnd);
  int caretX = m.Width(text, e.caret);
  int total = m.Width(text, text.size());
  if (caretX < e.scroll) e.scroll = std::max(0, caretX - width / 4);
  if (caretX > e.scroll + width - 1) e.scroll = caretX - width + 1 + width / 4;
  e.scroll = std::max(0, std::min(e.scroll, std::max(0, total - width + 1)));
}

void Changed(HWND hwnd, EditData &e) {
  ScrollToCaret(hwnd, e);
  InvalidateRect(hwnd, nullptr, FALSE);
  NotifyParent(hwnd, EN_UPDATE);
  NotifyParent(hwnd, EN_CHANGE);
}

void Select(HWND hwnd, EditData &e, size_t anchor, size_t caret) {
  size_t len = Text(hwnd).size();
  e.anchor = std::min(anchor, len);
  e.caret = std::min(caret, len);
  ScrollToCaret(hwnd, e);
  InvalidateRect(hwnd, nullptr, FALSE);
}

// Replaces the selection with `insert`; false when the text would not fit.
bool ReplaceSelection(HWND hwnd, EditData &e, const std::string &insert) {
  Window *w = Find(hwnd);
  std::string &text = w->title;
  size_t from = SelStart(e), to = SelEnd(e);
  std::string next = text.substr(0, from) + insert + text.substr(to);
  if (next.size() > e.limit) return false;
  if (!(w->style & ES_AUTOHSCROLL)) {
    // Without sideways scrolling the text must fit the box.
    Measure m(hwnd, e);
    if (m.Width(next, next.size()) > FormatWidth(hwnd) && !insert.empty()) return false;
  }
  text = next;
  e.anchor = e.caret = from + insert.size();
  return true;
}

size_t PositionAt(HWND hwnd, EditData &e, int x) {
  Measure m(hwnd, e);
  const std::string &text = Text(hwnd);
  int target = x - kMargin + e.scroll;
  size_t best = 0;
  int bestDistance = std::abs(target);
  for (size_t i = 1; i <= text.size(); ++i) {
    int d = std::abs(m.Width(text, i) - target);
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

bool IsWordChar(char c) { return c != ' ' && c != '\t'; }

void Paint(HWND hwnd, HDC hdc, EditData &e) {
  Window *w = Find(hwnd);
  RECT client;
  GetClientRect(hwnd, &client);
  bool plain = w->enabled && !(w->style & ES_READONLY);
  HBRUSH brush = ParentBrush(hwnd, hdc, plain ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC);
  FillRect(hdc, &client, brush);
  HGDIOBJ oldFont = e.font ? SelectObject(hdc, e.font) : nullptr;
  if (!w->enabled) SetTextColor(hdc, GetSysColor(COLOR_GRAYTEXT));
  int mode = SetBkMode(hdc, TRANSPARENT);
  const std::string &text = w->title;
  TEXTMETRICA tm{};
  GetTextMetricsA(hdc, &tm);
  auto width = [&](size_t n) {
    SIZE size{0, 0};
    if (n) GetTextExtentPoint32A(hdc, text.c_str(), int(n), &size);
    return int(size.cx);
  };
  int x0 = kMargin - e.scroll, y = kTopMargin;
  // The selection shows only while the box has the focus.
  size_t from = e.focused ? SelStart(e) : 0, to = e.focused ? SelEnd(e) : 0;
  if (from > 0) TextOutA(hdc, x0, y, text.c_str(), int(from));
  if (to > from) {
    int left = x0 + width(from), right = x0 + width(to);
    RECT band{left, y, right, y + tm.tmHeight};
    FillRect(hdc, &band, GetSysColorBrush(COLOR_HIGHLIGHT));
    COLORREF old = SetTextColor(hdc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    TextOutA(hdc, left, y, text.c_str() + from, int(to - from));
    SetTextColor(hdc, old);
  }
  if (to < text.size()) TextOutA(hdc, x0 + width(to), y, text.c_str() + to, int(text.size() - to));
  if (e.focused) {
    // The caret: a line of the text's height (it does not blink here).
    int cx = x0 + width(e.caret);
    RECT caret{cx, y, cx + 1, y + tm.tmHeight};
    FillRect(hdc, &caret, GetSysColorBrush(COLOR_WINDOWTEXT));
  }
  SetBkMode(hdc, mode);
  if (oldFont) SelectObject(hdc, oldFont);
}

void OnKeyDown(HWND hwnd, EditData &e, WPARAM key) {
  bool shift = GetKeyState(VK_SHIFT) < 0;
  size_t len = Text(hwnd).size();
  Window *w = Find(hwnd);
  switch (key) {
    case VK_LEFT: {
      size_t to = e.caret ? e.caret - 1 : 0;
      Select(hwnd, e, shift ? e.anchor : to, to);
      break;
    }
    case VK_RIGHT: {
      size_t to = std::min(e.caret + 1, len);
      Select(hwnd, e, shift ? e.anchor : to, to);
      break;
    }
    case VK_HOME:
      Select(hwnd, e, shift ? e.anchor : 0, 0);
      break;
    case VK_END:
      Select(hwnd, e, shift ? e.anchor : len, len);
      break;
    case VK_DELETE:
      if (w->style & ES_READONLY) break;
      if (e.anchor == e.caret) {
        if (e.caret >= len) break;
        e.anchor = e.caret + 1;
      }
      ReplaceSelection(hwnd, e, "");
      Changed(hwnd, e);
      break;
  }
}

void OnChar(HWND hwnd, EditData &e, WPARAM ch) {
  Window *w = Find(hwnd);
  if (ch == 1) {  // Ctrl+A
    Select(hwnd, e, 0, Text(hwnd).size());
    return;
  }
  if (w->style & ES_READONLY) return;
  if (ch == '\b') {
    if (e.anchor == e.caret) {
      if (e.caret == 0) return;
      e.anchor = e.caret - 1;
    }
    ReplaceSelection(hwnd, e, "");
    Changed(hwnd, e);
    return;
  }
  if (ch < 32 || ch == 127 || ch > 255) return;
  if (ReplaceSelection(hwnd, e, std::string(1, char(ch)))) Changed(hwnd, e);
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  EditData *e = ControlDataOf<EditData>(hwnd);
  Window *w = Find(hwnd);
  if (!e || !w) return 0;
  switch (msg) {
    case WM_NCCREATE:
      // Since Windows 95 an edit box's border is the sunken client edge.
      if (w->style & WS_BORDER) {
        w->style &= ~WS_BORDER;
        w->exStyle |= WS_EX_CLIENTEDGE;
        LayoutChanged();
      }
      return TRUE;
    case WM_GETDLGCODE:
      return DLGC_HASSETSEL | DLGC_WANTCHARS | DLGC_WANTARROWS;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(hwnd, &ps);
      Paint(hwnd, hdc, *e);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_SETFONT:
      e->font = reinterpret_cast<HFONT>(wParam);
      ScrollToCaret(hwnd, *e);
      if (lParam) InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(e->font);
    case WM_SETTEXT:
      w->title = lParam ? reinterpret_cast<const char *>(lParam) : "";
      if (w->title.size() > e->limit) w->title.resize(e->limit);
      e->anchor = e->caret = 0;
      e->scroll = 0;
      Changed(hwnd, *e);
      return TRUE;
    case WM_CHAR:
      OnChar(hwnd, *e, wParam);
      return 0;
    case WM_KEYDOWN:
      OnKeyDown(hwnd, *e, wParam);
      return 0;
    case WM_LBUTTONDOWN: {
      if (!e->focused) SetFocus(hwnd);
      if (!Find(hwnd) || GetFocus() != hwnd) return 0;
      SetCapture(hwnd);
      e->dragging = true;
      size_t at = PositionAt(hwnd, *e, short(LOWORD(lParam)));
      Select(hwnd, *e, (wParam & MK_SHIFT) ? e->anchor : at, at);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (e->dragging && GetCapture() == hwnd) Select(hwnd, *e, e->anchor, PositionAt(hwnd, *e, short(LOWORD(lParam))));
      return 0;
    case WM_LBUTTONUP:
      if (e->dragging) {
        e->dragging = false;
        ReleaseCapture();
      }
      return 0;
    case WM_CAPTURECHANGED:
      e->dragging = false;
      return 0;
    case WM_LBUTTONDBLCLK: {
      // The word under the pointer.
      const std::string &text = Text(hwnd);
      size_t at = PositionAt(hwnd, *e, short(LOWORD(lParam)));
      size_t from = at, to = at;
      while (from > 0 && IsWordChar(text[from - 1])) --from;
      while (to < text.size() && IsWordChar(text[to])) ++to;
      Select(hwnd, *e, from, to);
      return 0;
    }
    case WM_SETFOCUS:
      e->focused = true;
      InvalidateRect(hwnd, nullptr, FALSE);
      NotifyParent(hwnd, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      e->focused = false;
      if (e->dragging && GetCapture() == hwnd) ReleaseCapture();
      e->dragging = false;
      InvalidateRect(hwnd, nullptr, FALSE);
      NotifyParent(hwnd, EN_KILLFOCUS);
      return 0;
    case EM_SETSEL: {
      size_t len = Text(hwnd).size();
      // -1 as the start keeps the caret and drops the selection; -1 as the end is the end of the text.
      if (LONG(wParam) == -1) {
        Select(hwnd, *e, e->caret, e->caret);
        return 0;
      }
      size_t from = std::min(size_t(UINT(wParam)), len), to = std::min(size_t(UINT(lParam)), len);
      if (LONG(lParam) < 0) to = len;
      Select(hwnd, *e, from, to);
      return 0;
    }
    case EM_GETSEL: {
      DWORD from = DWORD(SelStart(*e)), to = DWORD(SelEnd(*e));
      if (wParam) *reinterpret_cast<DWORD *>(wParam) = from;
      if (lParam) *reinterpret_cast<DWORD *>(lParam) = to;
      return from > 0xFFFF || to > 0xFFFF ? -1 : MAKELONG(from, to);
    }
    case EM_REPLACESEL:
      if (ReplaceSelection(hwnd, *e, lParam ? reinterpret_cast<const char *>(lParam) : "")) Changed(hwnd, *e);
      return 0;
    case EM_LIMITTEXT:
      e->limit = wParam ? size_t(wParam) : size_t(0x7FFFFFFE);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

void RegisterEditClass() { RegisterControlClass("Edit", EditProc); }

}  // namespace vd::user
