// Dialogs from templates (standard and extended), their controls, and the
// dialog manager's keyboard handling (IsDialogMessageA).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/platform.h"
#include "core/resources.h"
#include "user32/wnd.h"

namespace vd::user {

namespace {

uint16_t Word(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Dword(const uint8_t *p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
int16_t Short(const uint8_t *p) { return int16_t(Word(p)); }

// A reader that never runs past the end of the template.
struct Reader {
  const uint8_t *p;
  const uint8_t *end;
  bool ok = true;
  bool Need(size_t n) {
    if (size_t(end - p) < n) ok = false;
    return ok;
  }
  uint16_t W() {
    if (!Need(2)) return 0;
    uint16_t v = Word(p);
    p += 2;
    return v;
  }
  uint32_t D() {
    if (!Need(4)) return 0;
    uint32_t v = Dword(p);
    p += 4;
    return v;
  }
  // A string or an ordinal (0xFFFF then a WORD); ordinals come back as "#n".
  std::string SzOrOrd() {
    if (!Need(2)) return "";
    if (Word(p) == 0xFFFF) {
      p += 2;
      return "#" + std::to_string(W());
    }
    std::string s;
    while (Need(2)) {
      uint16_t c = Word(p);
      p += 2;
      if (!c) break;
      s.push_back(c < 256 ? char(c) : '?');
    }
    return s;
  }
  void AlignDword(const uint8_t *base) {
    size_t off = size_t(p - base);
    size_t pad = (4 - off % 4) % 4;
    if (Need(pad)) p += pad;
  }
};

struct ItemTemplate {
  DWORD style, exStyle;
  int x, y, cx, cy;
  int id;
  std::string cls, text;
};

struct DialogTemplate {
  DWORD style = 0, exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::string title, font;
  int pointSize = 8;
  std::vector<ItemTemplate> items;
};

bool ParseTemplate(const res::Blob &blob, DialogTemplate *t) {
  Reader r{blob.data, blob.data + blob.size};
  bool extended = blob.size >= 4 && Word(blob.data) == 1 && Word(blob.data + 2) == 0xFFFF;
  int count = 0;
  if (extended) {
    r.W();
    r.W();
    r.D();  // help id
    t->exStyle = r.D();
    t->style = r.D();
  } else {
    t->style = r.D();
    t->exStyle = r.D();
  }
  count = r.W();
  t->x = Short(r.p), r.W();
  t->y = Short(r.p), r.W();
  t->cx = Short(r.p), r.W();
  t->cy = Short(r.p), r.W();
  r.SzOrOrd();  // menu
  r.SzOrOrd();  // class
  t->title = r.SzOrOrd();
  if (t->style & DS_SETFONT) {
    t->pointSize = r.W();
    if (extended) {
      r.W();
      r.W();
    }
    t->font = r.SzOrOrd();
  }
  if (!r.ok || count > 1000) return false;
  for (int i = 0; i < count; ++i) {
    r.AlignDword(blob.data);
    ItemTemplate item{};
    if (extended) {
      r.D();
      item.exStyle = r.D();
      item.style = r.D();
    } else {
      item.style = r.D();
      item.exStyle = r.D();
    }
    item.x = Short(r.p), r.W();
    item.y = Short(r.p), r.W();
    item.cx = Short(r.p), r.W();
    item.cy = Short(r.p), r.W();
    item.id = extended ? int(r.D()) : int(r.W());
    item.cls = r.SzOrOrd();
    item.text = r.SzOrOrd();
    uint16_t extra = r.W();
    if (r.Need(extra)) r.p += extra;
    if (!r.ok) return false;
    static const char *kOrdinalClasses[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
    if (item.cls.size() > 1 && item.cls[0] == '#') {
      int ord = std::atoi(item.cls.c_str() + 1);
      if (ord >= 0x80 && ord <= 0x85) item.cls = kOrdinalClasses[ord - 0x80];
    }
    t->items.push_back(item);
  }
  return true;
}

LRESULT CALLBACK DefDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window *w = Find(hwnd);
  if (!w || !w->dialog) return DefWindowProcA(hwnd, msg, wParam, lParam);
  DLGPROC proc = w->dialog->proc;
  w->msgResult = 0;
  INT_PTR handled = proc ? proc(hwnd, msg, wParam, lParam) : FALSE;
  w = Find(hwnd);
  if (!w) return 0;
  if (handled) {
    // Messages whose results are the procedure's own return value.
    if (msg == WM_INITDIALOG || msg == WM_CTLCOLORDLG || msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN ||
        msg == WM_CTLCOLOREDIT)
      return handled;
    return w->msgResult;
  }
  switch (msg) {
    case WM_CLOSE:
      // The close box acts as Cancel.
      PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDCANCEL)));
      return 0;
    case WM_ERASEBKGND: {
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(reinterpret_cast<HDC>(wParam), &rc, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// ---------------------------------------------------------------- controls

bool IsButtonOfType(const Window &w, DWORD type) {
  return w.cls && w.cls->name == "Button" && (w.style & BS_TYPEMASK) == type;
}

void NotifyParent(HWND hwnd, WORD code) {
  Window *w = Find(hwnd);
  if (!w || !w->parent) return;
  SendMessageA(w->parent, WM_COMMAND, MAKEWPARAM(WORD(w->id), code), reinterpret_cast<LPARAM>(hwnd));
}

void ClickButton(HWND hwnd) {
  Window *w = Find(hwnd);
  if (!w || !w->enabled) return;
  if (IsButtonOfType(*w, BS_AUTOCHECKBOX)) {
    w->userData = w->userData ? 0 : 1;
  } else if (IsButtonOfType(*w, BS_AUTORADIOBUTTON)) {
    // An auto radio button checks itself and clears the others of its group.
    Window *parent = Find(w->parent);
    if (parent) {
      for (HWND c : parent->children)
        if (Window *cw = Find(c); cw && IsButtonOfType(*cw, BS_AUTORADIOBUTTON)) cw->userData = 0;
    }
    w->userData = 1;
  }
  InvalidateRect(hwnd, nullptr, TRUE);
  NotifyParent(hwnd, BN_CLICKED);
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window *w = Find(hwnd);
  switch (msg) {
    case BM_GETCHECK:
      return w ? w->userData : 0;
    case BM_SETCHECK:
      if (w) w->userData = LONG_PTR(wParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case BM_CLICK:
      ClickButton(hwnd);
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      return 0;
    case WM_LBUTTONUP:
      ClickButton(hwnd);
      return 0;
    case WM_SETFOCUS:
      if (w && (w->style & BS_NOTIFY)) NotifyParent(hwnd, BN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      if (w && (w->style & BS_NOTIFY)) NotifyParent(hwnd, BN_KILLFOCUS);
      return 0;
    case WM_GETDLGCODE: {
      if (!w) return 0;
      DWORD type = w->style & BS_TYPEMASK;
      if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
      if (type == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
      return DLGC_BUTTON;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      DWORD type = w ? (w->style & BS_TYPEMASK) : 0;
      if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
        FillRect(hdc, &rc, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        RECT inner{1, 1, rc.right - 1, rc.bottom - 1};
        FillRect(hdc, &inner, GetSysColorBrush(COLOR_BTNFACE));
        if (w && !w->title.empty()) {
          SelectObject(hdc, GetStockObject(DEFAULT_GUI_FONT));
          SetBkMode(hdc, TRANSPARENT);
          SetTextColor(hdc, GetSysColor(COLOR_BTNTEXT));
          DrawTextA(hdc, w->title.c_str(), -1, &inner, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
      } else {
        int box = std::min(13, int(rc.bottom));
        RECT b{0, (rc.bottom - box) / 2, box, (rc.bottom - box) / 2 + box};
        FillRect(hdc, &b, reinterpret_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
        RECT in{b.left + 1, b.top + 1, b.right - 1, b.bottom - 1};
        FillRect(hdc, &in, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        if (w && w->userData) {
          RECT mark{b.left + 3, b.top + 3, b.right - 3, b.bottom - 3};
          FillRect(hdc, &mark, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        }
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window *w = Find(hwnd);
  switch (msg) {
    case WM_CHAR:
      if (!w) return 0;
      if (wParam == '\b') {
        if (!w->title.empty()) w->title.pop_back();
      } else if (wParam >= 32 && wParam < 127) {
        w->title.push_back(char(wParam));
      } else {
        return 0;
      }
      InvalidateRect(hwnd, nullptr, TRUE);
      NotifyParent(hwnd, EN_CHANGE);
      return 0;
    case WM_SETTEXT:
      DefWindowProcA(hwnd, msg, wParam, lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      return 0;
    case WM_SETFOCUS:
      NotifyParent(hwnd, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      NotifyParent(hwnd, EN_KILLFOCUS);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_HASSETSEL;
    case WM_ERASEBKGND: {
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(reinterpret_cast<HDC>(wParam), &rc, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      return 1;
    }
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window *w = Find(hwnd);
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      if (msg == WM_LBUTTONUP && w && (w->style & SS_NOTIFY) && w->enabled) NotifyParent(hwnd, STN_CLICKED);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(hwnd, &ps);
      if (w && (w->style & 0x1F) == SS_ICON && w->userData) DrawIcon(hdc, 0, 0, reinterpret_cast<HICON>(w->userData));
      if (w && (w->style & 0x1F) == SS_BITMAP && w->userData) {
        HBITMAP bitmap = reinterpret_cast<HBITMAP>(w->userData);
        BITMAP info{};
        HDC memory = CreateCompatibleDC(hdc);
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (old && GetObjectA(bitmap, sizeof info, &info))
          BitBlt(hdc, 0, 0, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
        if (old) SelectObject(memory, old);
        DeleteDC(memory);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void RegisterControls() {
  auto reg = [](const char *name, WNDPROC proc, HBRUSH brush) {
    if (FindClass(name)) return;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.lpszClassName = name;
    wc.hbrBackground = brush;
    RegisterClassExA(&wc);
  };
  reg("#32770", DefDialogProc, nullptr);
  reg("Button", ButtonProc, GetSysColorBrush(COLOR_BTNFACE));
  reg("Edit", EditProc, nullptr);
  reg("Static", StaticProc, GetSysColorBrush(COLOR_BTNFACE));
}

ResetHook controlsReset(30, RegisterControls);

HWND CreateFromTemplate(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param, bool modal) {
  res::Blob blob;
  DialogTemplate t;
  if (!res::IsModule(instance) || !res::Find(RT_DIALOG, name, &blob) || !ParseTemplate(blob, &t)) return nullptr;
  auto state = std::make_unique<DialogState>();
  state->proc = proc;
  state->modal = modal;
  // Base units of the template's font at 96 dots per inch: about 6 x 13 pixels at 8 points.
  state->baseX = std::max(1, (t.pointSize * 6 + 4) / 8);
  state->baseY = std::max(1, (t.pointSize * 13 + 4) / 8);
  int bx = state->baseX, by = state->baseY;
  auto px = [&](int du) { return du * bx / 4; };
  auto py = [&](int du) { return du * by / 8; };
  // The template gives the client area; the frame and caption come around it.
  DWORD style = t.style & ~WS_VISIBLE;
  Window probe;
  probe.style = style;
  probe.exStyle = t.exStyle;
  probe.rect = RECT{0, 0, 1000, 1000};
  RECT client = ClientRectScreen(probe);
  int extraW = 1000 - (client.right - client.left), extraH = 1000 - (client.bottom - client.top);
  int width = px(t.cx) + extraW, height = py(t.cy) + extraH;
  int x = px(t.x), y = py(t.y);
  if (t.style & DS_CENTER) {
    x = (TheScreen().width - width) / 2;
    y = (TheScreen().height - height) / 2;
  }
  HWND hwnd = CreateWindowExA(t.exStyle, "#32770", t.title.c_str(), style, x, y, width, height, parent, nullptr,
                              instance, nullptr);
  Window *w = Find(hwnd);
  if (!w) return nullptr;
  w->dialog = std::move(state);
  for (const ItemTemplate &item : t.items) {
    if (!FindClass(item.cls)) continue;
    HWND child = CreateWindowExA(item.exStyle, item.cls.c_str(), item.text.c_str(), item.style | WS_CHILD, px(item.x),
                                 py(item.y), px(item.cx), py(item.cy), hwnd,
                                 reinterpret_cast<HMENU>(uintptr_t(item.id)), instance, nullptr);
    Window *cw = Find(child);
    if (!cw) continue;
    if (item.cls == "Static" && ((item.style & 0x1F) == SS_ICON) && item.text.size() > 1 && item.text[0] == '#')
      cw->userData = reinterpret_cast<LONG_PTR>(LoadIconA(instance, MAKEINTRESOURCEA(std::atoi(item.text.c_str() + 1))));
    if (item.cls == "Static" && ((item.style & 0x1F) == SS_BITMAP) && item.text.size() > 1 && item.text[0] == '#')
      cw->userData = reinterpret_cast<LONG_PTR>(LoadBitmapA(instance, MAKEINTRESOURCEA(std::atoi(item.text.c_str() + 1))));
    if (item.style & WS_DISABLED) cw->enabled = false;
  }
  // WM_INITDIALOG is told the first tab stop, the control that would take the focus.
  HWND firstTab = nullptr;
  for (HWND c : w->children)
    if (Window *cw = Find(c); cw && (cw->style & WS_TABSTOP) && cw->enabled) {
      firstTab = c;
      break;
    }
  SendMessageA(hwnd, WM_INITDIALOG, WPARAM(firstTab), param);
  if (!Find(hwnd)) return nullptr;
  if (t.style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
  return hwnd;
}

// The next (or previous) enabled, visible tab stop among the dialog's controls.
HWND NextTabStop(Window &dialog, HWND from, bool backwards) {
  std::vector<HWND> stops;
  for (HWND c : dialog.children)
    if (Window *cw = Find(c); cw && (cw->style & WS_TABSTOP) && cw->enabled && (cw->style & WS_VISIBLE))
      stops.push_back(c);
  if (stops.empty()) return nullptr;
  auto it = std::find(stops.begin(), stops.end(), from);
  if (it == stops.end()) return backwards ? stops.back() : stops.front();
  size_t i = size_t(it - stops.begin());
  return backwards ? stops[(i + stops.size() - 1) % stops.size()] : stops[(i + 1) % stops.size()];
}

HWND DefaultButton(Window &dialog) {
  for (HWND c : dialog.children)
    if (Window *cw = Find(c); cw && IsButtonOfType(*cw, BS_DEFPUSHBUTTON)) return c;
  return nullptr;
}

}  // namespace

bool DialogHandleMessage(HWND dialog, MSG *msg) {
  Window *d = Find(dialog);
  if (!d || !msg || (msg->hwnd != dialog && !IsDescendant(dialog, msg->hwnd))) return false;
  if (msg->message == WM_KEYDOWN) {
    switch (msg->wParam) {
      case VK_TAB: {
        bool back = GetKeyState(VK_SHIFT) < 0;
        if (HWND next = NextTabStop(*d, GetFocus(), back)) SetFocus(next);
        return true;
      }
      case VK_ESCAPE:
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
        return true;
      case VK_RETURN: {
        HWND def = DefaultButton(*d);
        int id = def ? int(Find(def)->id) : IDOK;
        if (!def || Find(def)->enabled)
          SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(def));
        return true;
      }
      case VK_SPACE: {
        Window *f = Find(GetFocus());
        if (f && f->cls->name == "Button") {
          ClickButton(f->handle);
          return true;
        }
        break;
      }
    }
  }
  if (msg->message == WM_CHAR && (msg->wParam == '\t' || msg->wParam == 27 || msg->wParam == '\r')) return true;
  TranslateMessage(msg);
  DispatchMessageA(msg);
  return true;
}

}  // namespace vd::user

using namespace vd;
using namespace vd::user;

extern "C" {

HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param) {
  return CreateFromTemplate(instance, templateName, parent, proc, param, false);
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param) {
  HWND hwnd = CreateFromTemplate(instance, templateName, parent, proc, param, true);
  if (!hwnd) return -1;
  if (Window *w = Find(hwnd); w && !w->dialog->ended) ShowWindow(hwnd, SW_SHOW);
  RunModalLoop([hwnd] {
    Window *w = Find(hwnd);
    return !w || w->dialog->ended;
  });
  Window *w = Find(hwnd);
  INT_PTR result = w ? w->dialog->result : IDCANCEL;
  if (w) DestroyWindow(hwnd);
  return result;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
  Window *w = Find(dialog);
  if (!w || !w->dialog) return FALSE;
  w->dialog->ended = true;
  w->dialog->result = result;
  if (!w->dialog->modal) ShowWindow(dialog, SW_HIDE);
  return TRUE;
}

BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG msg) { return DialogHandleMessage(dialog, msg) ? TRUE : FALSE; }

HWND WINAPI GetDlgItem(HWND dialog, int id) {
  Window *w = Find(dialog);
  if (!w) return nullptr;
  for (HWND c : w->children)
    if (Window *cw = Find(c); cw && cw->id == id) return c;
  return nullptr;
}

int WINAPI GetDlgCtrlID(HWND hwnd) {
  Window *w = Find(hwnd);
  return w && w->parent ? int(w->id) : 0;
}

UINT WINAPI GetDlgItemInt(HWND dialog, int id, BOOL *translated, BOOL isSigned) {
  if (translated) *translated = FALSE;
  HWND item = GetDlgItem(dialog, id);
  if (!item) return 0;
  const std::string &text = Find(item)->title;
  // Leading spaces, an optional sign when signed, then digits to the end: as Win32 parses it.
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (isSigned && i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i >= text.size()) return 0;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    value = value * 10 + (text[i] - '0');
    if (value > (isSigned ? int64_t(INT32_MAX) + (negative ? 1 : 0) : int64_t(UINT32_MAX))) return 0;
  }
  if (translated) *translated = TRUE;
  return negative ? UINT(-value) : UINT(value);
}

BOOL WINAPI SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
  char text[16];
  if (isSigned)
    std::snprintf(text, sizeof text, "%d", int(value));
  else
    std::snprintf(text, sizeof text, "%u", value);
  return SetDlgItemTextA(dialog, id, text);
}

UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR text, int maxCount) {
  HWND item = GetDlgItem(dialog, id);
  if (!item) {
    if (text && maxCount > 0) text[0] = 0;
    return 0;
  }
  return UINT(GetWindowTextA(item, text, maxCount));
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
  HWND item = GetDlgItem(dialog, id);
  return item ? SetWindowTextA(item, text) : FALSE;
}

BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND item = GetDlgItem(dialog, id);
  if (!item) return FALSE;
  SendMessageA(item, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item ? UINT(SendMessageA(item, BM_GETCHECK, 0, 0)) : 0;
}

BOOL WINAPI CheckRadioButton(HWND dialog, int first, int last, int check) {
  if (!Find(dialog)) return FALSE;
  for (int id = first; id <= last; ++id)
    if (HWND item = GetDlgItem(dialog, id)) SendMessageA(item, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
  return TRUE;
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND item = GetDlgItem(dialog, id);
  return item ? SendMessageA(item, msg, wParam, lParam) : 0;
}

BOOL WINAPI MapDialogRect(HWND dialog, LPRECT rect) {
  Window *w = Find(dialog);
  if (!w || !w->dialog || !rect) return FALSE;
  int bx = w->dialog->baseX, by = w->dialog->baseY;
  rect->left = rect->left * bx / 4;
  rect->right = rect->right * bx / 4;
  rect->top = rect->top * by / 8;
  rect->bottom = rect->bottom * by / 8;
  return TRUE;
}

// There is no help engine here: requests are recorded as accepted and show nothing.
BOOL WINAPI WinHelpA(HWND hwnd, LPCSTR helpFile, UINT command, ULONG_PTR data) {
  (void)hwnd;
  (void)helpFile;
  (void)command;
  (void)data;
  return TRUE;
}

}  // extern "C"
