// The dialog manager: dialogs made from DIALOG and DIALOGEX templates, laid out
// in the dialog units of the template's font; the default dialog procedure
// (focus kept across activations, the default push button, WM_CLOSE as
// Cancel); keyboard navigation (IsDialogMessageA); the dialog-item calls.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/platform.h"
#include "core/resources.h"
#include "user32/controls.h"
#include "user32/wnd.h"

namespace vd::user {

namespace {

uint16_t Word(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Dword(const uint8_t *p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

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
  int16_t S() { return int16_t(W()); }
  uint32_t D() {
    if (!Need(4)) return 0;
    uint32_t v = Dword(p);
    p += 4;
    return v;
  }
  uint8_t B() {
    if (!Need(1)) return 0;
    return *p++;
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
  DWORD style = 0, exStyle = 0, helpId = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  int id = 0;
  std::string cls, text;
};

struct DialogTemplate {
  DWORD style = 0, exStyle = 0, helpId = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::string title, font;
  int pointSize = 0;
  int weight = FW_DONTCARE;
  bool italic = false;
  int charset = DEFAULT_CHARSET;
  std::vector<ItemTemplate> items;
};

bool ParseTemplate(const res::Blob &blob, DialogTemplate *t) {
  Reader r{blob.data, blob.data + blob.size};
  bool extended = blob.size >= 4 && Word(blob.data) == 1 && Word(blob.data + 2) == 0xFFFF;
  if (extended) {
    r.W();
    r.W();
    t->helpId = r.D();
    t->exStyle = r.D();
    t->style = r.D();
  } else {
    t->style = r.D();
    t->exStyle = r.D();
  }
  int count = r.W();
  t->x = r.S();
  t->y = r.S();
  t->cx = r.S();
  t->cy = r.S();
  r.SzOrOrd();  // menu
  r.SzOrOrd();  // class
  t->title = r.SzOrOrd();
  if (t->style & DS_SETFONT) {
    t->pointSize = r.W();
    if (extended) {
      t->weight = r.W();
      t->italic = r.B() != 0;
      t->charset = r.B();
    }
    t->font = r.SzOrOrd();
  }
  if (!r.ok || count > 1000) return false;
  for (int i = 0; i < count; ++i) {
    r.AlignDword(blob.data);
    ItemTemplate item;
    if (extended) {
      item.helpId = r.D();
      item.exStyle = r.D();
      item.style = r.D();
    } else {
      item.style = r.D();
      item.exStyle = r.D();
    }
    item.x = r.S();
    item.y = r.S();
    item.cx = r.S();
    item.cy = r.S();
    item.id = extended ? int(r.D()) : int(int16_t(r.W()));
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

bool IsDialog(HWND hwnd) { return DialogOf(hwnd) != nullptr; }

DWORD Style(HWND hwnd) {
  Window *w = Find(hwnd);
  return w ? w->style : 0;
}

UINT DialogCode(HWND hwnd, WPARAM key = 0, MSG *msg = nullptr) {
  return UINT(SendMessageA(hwnd, WM_GETDLGCODE, key, reinterpret_cast<LPARAM>(msg)));
}

bool CanTakeFocus(HWND hwnd) {
  Window *w = Find(hwnd);
  return w && (w->style & WS_VISIBLE) && w->enabled;
}

// The dialog's children in template order (their order as siblings).
const std::vector<HWND> &Controls(HWND dialog) {
  static const std::vector<HWND> none;
  Window *d = Find(dialog);
  return d ? d->children : none;
}

// Puts the focus on a control as the dialog manager does: an edit box that
// gets it from the keyboard has all its text selected.
void SetDialogFocus(HWND control) {
  if (DialogCode(control) & DLGC_HASSETSEL) SendMessageA(control, EM_SETSEL, 0, -1);
  SetFocus(control);
}

// The control the focus goes to first: the first tab stop, else the first
// control that can take the focus.
HWND FirstControl(HWND dialog) {
  HWND control = GetNextDlgTabItem(dialog, nullptr, FALSE);
  return control ? control : GetNextDlgGroupItem(dialog, nullptr, FALSE);
}

void SaveFocus(HWND dialog) {
  DialogState *d = DialogOf(dialog);
  HWND focus = GetFocus();
  if (d && focus && IsDescendant(dialog, focus)) d->savedFocus = focus;
}

// Back to the control that had the focus when the dialog was left; with
// `justActivated` only when there is one. Not after EndDialog.
void RestoreFocus(HWND dialog, bool justActivated) {
  DialogState *d = DialogOf(dialog);
  if (!d || d->ended) return;
  HWND target = d->savedFocus;
  if (!Find(target) || !IsDescendant(dialog, target)) {
    if (justActivated) return;
    target = FirstControl(dialog);
    if (!target) return;
  }
  d->savedFocus = nullptr;
  if (justActivated)
    SetFocus(target);
  else
    SetDialogFocus(target);
}

void SetButtonStyle(HWND button, DWORD type) {
  Window *w = Find(button);
  if (!w || (w->style & BS_TYPEMASK) == type) return;
  SendMessageA(button, BM_SETSTYLE, type, TRUE);
}

// The dialog's default button looks default unless a focused push button
// stands in for it.
void ShowDefaultButton(HWND dialog, HWND focusedButton) {
  DialogState *d = DialogOf(dialog);
  if (!d) return;
  for (HWND c : Controls(dialog)) {
    UINT code = DialogCode(c);
    if (!(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) continue;
    bool isDefault = focusedButton ? c == focusedButton : (d->defId && GetDlgCtrlID(c) == d->defId);
    SetButtonStyle(c, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
  }
}

void OnNextControl(HWND dialog, WPARAM wParam, LPARAM lParam) {
  HWND target = lParam ? reinterpret_cast<HWND>(wParam) : GetNextDlgTabItem(dialog, GetFocus(), wParam != 0);
  if (target && Find(target)) SetDialogFocus(target);
}

// Sets or clears hide flags of the dialog's UI state; a change goes to every
// control as WM_UPDATEUISTATE. Initializing hides both cues, as Windows does
// while keyboard cues are off: the mouse brought the dialog up.
void ChangeUiState(HWND hwnd, DialogState &d, WORD action, WORD flags) {
  flags &= UISF_HIDEFOCUS | UISF_HIDEACCEL;
  UINT state = d.uiState;
  if (action == UIS_SET) state |= flags;
  if (action == UIS_CLEAR) state &= ~UINT(flags);
  if (action == UIS_INITIALIZE) state = UISF_HIDEFOCUS | UISF_HIDEACCEL;
  if (state == d.uiState) return;
  WORD changed = WORD(state ^ d.uiState);
  d.uiState = state;
  Window *w = Find(hwnd);
  if (!w) return;
  WPARAM update = MAKEWPARAM((state & changed) ? UIS_SET : UIS_CLEAR, changed);
  for (HWND child : std::vector<HWND>(w->children)) SendMessageA(child, WM_UPDATEUISTATE, update, 0);
}

LRESULT DefaultDialogMessage(HWND hwnd, DialogState &d, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND: {
      HDC hdc = reinterpret_cast<HDC>(wParam);
      HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageA(hwnd, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(hwnd)));
      if (!brush) brush = GetSysColorBrush(COLOR_BTNFACE);
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(hdc, &rc, brush);
      return 1;
    }
    case WM_CLOSE:
      // The close box acts as Cancel.
      PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDCANCEL)));
      return 0;
    case WM_SHOWWINDOW:
      if (!wParam) SaveFocus(hwnd);
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE)
        RestoreFocus(hwnd, true);
      else
        SaveFocus(hwnd);
      return 0;
    case WM_SETFOCUS:
      RestoreFocus(hwnd, false);
      return 0;
    case DM_GETDEFID:
      return d.defId ? MAKELONG(d.defId, DC_HASDEFID) : 0;
    case DM_SETDEFID:
      d.defId = int(wParam);
      ShowDefaultButton(hwnd, nullptr);
      return TRUE;
    case WM_NEXTDLGCTL:
      OnNextControl(hwnd, wParam, lParam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(d.font);
    case WM_CHANGEUISTATE:
      ChangeUiState(hwnd, d, LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_QUERYUISTATE:
      return d.uiState;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK DefDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window *w = Find(hwnd);
  if (!w || !w->dialog) return DefWindowProcA(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    // The template's font goes with the dialog.
    if (w->dialog->font) DeleteObject(w->dialog->font);
    w->dialog->font = nullptr;
    w->dialog->proc = nullptr;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  DLGPROC proc = w->dialog->proc;
  w->msgResult = 0;
  INT_PTR handled = proc ? proc(hwnd, msg, wParam, lParam) : FALSE;
  w = Find(hwnd);
  if (!w || !w->dialog) return 0;
  if (handled) {
    // Messages whose results are the procedure's own return value.
    if (msg == WM_INITDIALOG || msg == WM_CTLCOLORDLG || msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN ||
        msg == WM_CTLCOLOREDIT)
      return handled;
    return w->msgResult;
  }
  return DefaultDialogMessage(hwnd, *w->dialog, msg, wParam, lParam);
}

// The dialog class and the system's control classes, for every fresh desktop.
void RegisterDialogClass() {
  RegisterButtonClass();
  RegisterEditClass();
  RegisterStaticClass();
  if (FindClass("#32770")) return;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = DefDialogProc;
  wc.lpszClassName = "#32770";
  RegisterClassExA(&wc);
}

ResetHook dialogClassReset(30, RegisterDialogClass);

// The template's font at its point size on the screen, and the dialog base
// units it gives: the average width of the 52 letters, rounded as Windows
// rounds it, and the character height. The system font's units otherwise.
HFONT TemplateFont(const DialogTemplate &t, int *baseX, int *baseY) {
  LONG units = GetDialogBaseUnits();
  *baseX = LOWORD(units);
  *baseY = HIWORD(units);
  if (!(t.style & DS_SETFONT)) return nullptr;
  HDC screen = GetDC(nullptr);
  LOGFONTA lf{};
  lf.lfHeight = -MulDiv(t.pointSize, GetDeviceCaps(screen, LOGPIXELSY), 72);
  lf.lfWeight = t.weight;
  lf.lfItalic = t.italic ? 1 : 0;
  lf.lfCharSet = BYTE(t.charset);
  lf.lfQuality = PROOF_QUALITY;
  std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", t.font.c_str());
  HFONT font = CreateFontIndirectA(&lf);
  if (font) {
    HGDIOBJ old = SelectObject(screen, font);
    int width = 0, height = 0;
    if (AverageCharSize(screen, &width, &height)) {
      *baseX = width;
      *baseY = height;
    }
    SelectObject(screen, old);
  }
  ReleaseDC(nullptr, screen);
  return font;
}

// Where the dialog's window goes: centred in the work area with DS_CENTER,
// else the template's point from the owner's client area; kept on the work area.
POINT DialogPosition(const DialogTemplate &t, HWND owner, SIZE size, int frameLeft, int frameTop, int bx, int by) {
  RECT work = WorkAreaRect();
  POINT pos;
  if (t.style & DS_CENTER) {
    pos.x = (work.left + work.right - size.cx) / 2;
    pos.y = (work.top + work.bottom - size.cy) / 2;
  } else {
    pos.x = MulDiv(t.x, bx, 4) - frameLeft;
    pos.y = MulDiv(t.y, by, 8) - frameTop;
    if (owner && !(t.style & (WS_CHILD | DS_ABSALIGN))) ClientToScreen(owner, &pos);
  }
  if (pos.x + size.cx > work.right) pos.x = work.right - size.cx;
  if (pos.y + size.cy > work.bottom) pos.y = work.bottom - size.cy;
  if (pos.x < work.left) pos.x = work.left;
  if (pos.y < work.top) pos.y = work.top;
  return pos;
}

void CreateControls(HWND dialog, HINSTANCE instance, const DialogTemplate &t, DialogState &state) {
  HWND defaultButton = nullptr;
  for (const ItemTemplate &item : t.items) {
    // The point and the size are mapped each on its own, as Win32 does: the
    // size is not the difference of two mapped corners, which can be a pixel more.
    int x = MulDiv(item.x, state.baseX, 4), y = MulDiv(item.y, state.baseY, 8);
    int cx = MulDiv(item.cx, state.baseX, 4), cy = MulDiv(item.cy, state.baseY, 8);
    HWND child = CreateWindowExA(item.exStyle | WS_EX_NOPARENTNOTIFY, item.cls.c_str(), item.text.c_str(),
                                 item.style | WS_CHILD, x, y, cx, cy, dialog, reinterpret_cast<HMENU>(intptr_t(item.id)),
                                 instance, nullptr);
    if (!child) continue;
    SetWindowContextHelpId(child, item.helpId);
    if (state.font) SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
    // The last default push button of the template is the dialog's default.
    if (DialogCode(child) & DLGC_DEFPUSHBUTTON) {
      if (defaultButton) SendMessageA(defaultButton, BM_SETSTYLE, BS_PUSHBUTTON, FALSE);
      defaultButton = child;
      state.defId = item.id;
    }
  }
}

HWND CreateFromTemplate(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param) {
  res::Blob blob;
  DialogTemplate t;
  if (!res::IsModule(instance) || !res::Find(RT_DIALOG, name, &blob) || !ParseTemplate(blob, &t)) return nullptr;
  if (parent == GetDesktopWindow()) parent = nullptr;
  if (parent && !Find(parent)) return nullptr;
  auto state = std::make_unique<DialogState>();
  state->proc = proc;
  state->font = TemplateFont(t, &state->baseX, &state->baseY);
  int bx = state->baseX, by = state->baseY;

  DWORD style = t.style;
  DWORD exStyle = t.exStyle;
  if (style & DS_MODALFRAME) exStyle |= WS_EX_DLGMODALFRAME;
  if (style & DS_CONTEXTHELP) exStyle |= WS_EX_CONTEXTHELP;
  if (style & DS_SYSMODAL) exStyle |= WS_EX_TOPMOST;
  // The template gives the client area; the frame and caption come around it.
  RECT frame = WindowRectForClient(RECT{0, 0, MulDiv(t.cx, bx, 4), MulDiv(t.cy, by, 8)}, style, exStyle);
  SIZE size{frame.right - frame.left, frame.bottom - frame.top};
  HWND owner = parent ? TopLevelOf(parent) : nullptr;
  POINT pos = DialogPosition(t, parent, size, -frame.left, -frame.top, bx, by);

  HWND hwnd = CreateWindowExA(exStyle, "#32770", t.title.c_str(), style & ~WS_VISIBLE, pos.x, pos.y, size.cx, size.cy,
                              style & WS_CHILD ? parent : owner, nullptr, instance, nullptr);
  Window *w = Find(hwnd);
  if (!w) {
    if (state->font) DeleteObject(state->font);
    return nullptr;
  }
  w->contextHelpId = t.helpId;
  w->dialog = std::move(state);
  DialogState &d = *w->dialog;
  if (d.font) SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(d.font), FALSE);
  CreateControls(hwnd, instance, t, d);
  if (!Find(hwnd)) return nullptr;

  // WM_INITDIALOG is told the control that would take the focus; TRUE asks
  // the dialog manager to put it there.
  HWND focus = FirstControl(hwnd);
  LRESULT setFocus = SendMessageA(hwnd, WM_INITDIALOG, WPARAM(focus), param);
  if (!Find(hwnd)) return nullptr;
  if (setFocus && (!(style & DS_CONTROL) || (style & WS_VISIBLE))) {
    focus = FirstControl(hwnd);
    if (focus)
      SetDialogFocus(focus);
    else if (!(style & WS_CHILD))
      SetFocus(hwnd);
  }
  if (!Find(hwnd)) return nullptr;
  if ((style & WS_VISIBLE) && !(Style(hwnd) & WS_VISIBLE)) ShowWindow(hwnd, SW_SHOWNORMAL);
  return hwnd;
}

// Arrow keys move within a group: onto an auto radio button, which they check,
// or onto the next control of the group.
void MoveInGroup(HWND dialog, HWND from, bool previous) {
  HWND next = GetNextDlgGroupItem(dialog, from, previous ? TRUE : FALSE);
  if (next && DialogCode(next) == (DLGC_BUTTON | DLGC_RADIOBUTTON)) {
    SetFocus(next);
    if ((Style(next) & BS_TYPEMASK) == BS_AUTORADIOBUTTON && SendMessageA(next, BM_GETCHECK, 0, 0) != BST_CHECKED)
      SendMessageA(next, BM_CLICK, 1, 0);
  } else {
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), 1);
  }
}

// Enter: a focused push button, else the dialog's default button, else IDOK.
void PressDefault(HWND dialog) {
  HWND focus = GetFocus();
  if (IsChild(dialog, focus) && (DialogCode(focus) & DLGC_DEFPUSHBUTTON)) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED), reinterpret_cast<LPARAM>(focus));
    return;
  }
  LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
  if (HIWORD(def) == DC_HASDEFID) {
    HWND button = GetDlgItem(dialog, LOWORD(def));
    if (!button || IsWindowEnabled(button))
      SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(LOWORD(def), BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return;
  }
  SendMessageA(dialog, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

// The keys the dialog manager takes for itself; false leaves the key to the control.
bool HandleDialogKey(HWND dialog, MSG *msg) {
  UINT code = DialogCode(msg->hwnd, msg->wParam, msg);
  if (code & DLGC_WANTMESSAGE) return false;
  switch (msg->wParam) {
    case VK_TAB:
      if (code & DLGC_WANTTAB) return false;
      // Moving by the keyboard shows where the focus is from now on.
      SendMessageA(dialog, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
      SendMessageA(dialog, WM_NEXTDLGCTL, GetKeyState(VK_SHIFT) < 0 ? 1 : 0, 0);
      return true;
    case VK_RIGHT:
    case VK_DOWN:
    case VK_LEFT:
    case VK_UP:
      if (code & DLGC_WANTARROWS) return false;
      SendMessageA(dialog, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
      MoveInGroup(dialog, msg->hwnd, msg->wParam == VK_LEFT || msg->wParam == VK_UP);
      return true;
    case VK_ESCAPE:
      SendMessageA(dialog, WM_COMMAND, IDCANCEL, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
      return true;
    case VK_RETURN:
      PressDefault(dialog);
      return true;
  }
  return false;
}

}  // namespace

DialogState *DialogOf(HWND hwnd) {
  Window *w = Find(hwnd);
  return w && w->dialog && w->cls && w->cls->name == "#32770" ? w->dialog.get() : nullptr;
}

void DialogFocusChanged(HWND focus) {
  Window *w = Find(focus);
  if (!w || !w->parent || !IsDialog(w->parent)) return;
  bool pushButton = (DialogCode(focus) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
  ShowDefaultButton(w->parent, pushButton ? focus : nullptr);
}

bool DialogHandleMessage(HWND dialog, MSG *msg) {
  Window *d = Find(dialog);
  if (!d || !msg || (msg->hwnd != dialog && !IsDescendant(dialog, msg->hwnd))) return false;
  if (msg->message == WM_KEYDOWN && HandleDialogKey(dialog, msg)) return true;
  if (msg->message == WM_CHAR) {
    // The characters of the keys the dialog manager took never reach a control
    // that does not ask for them.
    UINT code = DialogCode(msg->hwnd, msg->wParam, msg);
    bool wants = (code & (DLGC_WANTMESSAGE | DLGC_WANTCHARS)) != 0;
    if (msg->wParam == '\t' && !(code & DLGC_WANTTAB)) return true;
    if (!wants && (msg->wParam == 27 || msg->wParam == '\r')) return true;
  }
  TranslateMessage(msg);
  DispatchMessageA(msg);
  return true;
}

}  // namespace vd::user

using namespace vd;
using namespace vd::user;

extern "C" {

HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param) {
  return CreateFromTemplate(instance, templateName, parent, proc, param);
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param) {
  HWND hwnd = CreateFromTemplate(instance, templateName, parent, proc, param);
  if (!hwnd) return -1;
  // The owner is disabled while the dialog runs; EndDialog enables it again.
  HWND owner = Find(hwnd)->owner;
  if (DialogState *d = DialogOf(hwnd); d && owner && IsWindowEnabled(owner) && !d->ended) {
    d->disabledOwner = owner;
    EnableWindow(owner, FALSE);
  }
  if (DialogState *d = DialogOf(hwnd); d && !d->ended) ShowWindow(hwnd, SW_SHOW);
  RunModalLoop(
      [hwnd] {
        DialogState *d = DialogOf(hwnd);
        return !d || d->ended;
      },
      [hwnd](MSG *msg) { return DialogHandleMessage(hwnd, msg); });
  DialogState *d = DialogOf(hwnd);
  INT_PTR result = d && d->ended ? d->result : IDCANCEL;
  if (d && d->disabledOwner && Find(d->disabledOwner)) EnableWindow(d->disabledOwner, TRUE);
  if (Find(hwnd)) DestroyWindow(hwnd);
  return result;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
  DialogState *d = DialogOf(dialog);
  if (!d) return FALSE;
  d->ended = true;
  d->result = result;
  // The owner comes back first, so that it can take the activation.
  HWND owner = Find(dialog)->owner;
  if (d->disabledOwner && Find(d->disabledOwner)) EnableWindow(d->disabledOwner, TRUE);
  d->disabledOwner = nullptr;
  // A modeless dialog is hidden and stays alive; a modal one ends its loop.
  if (IsChild(dialog, GetFocus())) SetFocus(dialog);
  SetWindowPos(dialog, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
  if (Find(dialog) && GetActiveWindow() == dialog) {
    if (owner && Find(owner))
      SetForegroundWindow(owner);
    else
      ActivateOtherWindow(dialog);
  }
  return TRUE;
}

BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG msg) { return DialogHandleMessage(dialog, msg) ? TRUE : FALSE; }

HWND WINAPI GetDlgItem(HWND dialog, int id) {
  Window *w = Find(dialog);
  if (!w) return nullptr;
  for (HWND c : w->children)
    if (Window *cw = Find(c); cw && int(cw->id) == id) return c;
  return nullptr;
}

int WINAPI GetDlgCtrlID(HWND hwnd) {
  Window *w = Find(hwnd);
  return w && w->parent ? int(w->id) : 0;
}

BOOL WINAPI IsChild(HWND parent, HWND hwnd) { return Find(parent) && IsDescendant(parent, hwnd) ? TRUE : FALSE; }

UINT WINAPI GetDlgItemInt(HWND dialog, int id, BOOL *translated, BOOL isSigned) {
  if (translated) *translated = FALSE;
  HWND item = GetDlgItem(dialog, id);
  if (!item) return 0;
  char buffer[64];
  GetWindowTextA(item, buffer, sizeof buffer);
  std::string text = buffer;
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
  Window *w = Find(dialog);
  if (!w) return FALSE;
  // Every child whose id lies in the range, checked or cleared, in child order.
  std::vector<HWND> children = w->children;
  for (HWND c : children) {
    int id = GetDlgCtrlID(c);
    if (id >= first && id <= last) SendMessageA(c, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return TRUE;
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND item = GetDlgItem(dialog, id);
  return item ? SendMessageA(item, msg, wParam, lParam) : 0;
}

BOOL WINAPI MapDialogRect(HWND dialog, LPRECT rect) {
  DialogState *d = DialogOf(dialog);
  if (!d || !rect) return FALSE;
  rect->left = MulDiv(rect->left, d->baseX, 4);
  rect->right = MulDiv(rect->right, d->baseX, 4);
  rect->top = MulDiv(rect->top, d->baseY, 8);
  rect->bottom = MulDiv(rect->bottom, d->baseY, 8);
  return TRUE;
}

// The base units of the system font: its average width and its height.
LONG WINAPI GetDialogBaseUnits(void) {
  static int cx = 0, cy = 0;
  if (!cx) {
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, GetStockObject(SYSTEM_FONT));
    if (!AverageCharSize(screen, &cx, &cy)) cx = 8, cy = 16;
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
  }
  return MAKELONG(cx, cy);
}

HWND WINAPI GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  Window *d = Find(dialog);
  if (!d) return nullptr;
  if (control == dialog) control = nullptr;
  if (!control && previous) return nullptr;
  const std::vector<HWND> &kids = d->children;
  size_t n = kids.size();
  if (!n) return nullptr;
  auto it = control ? std::find(kids.begin(), kids.end(), control) : kids.end();
  size_t start = it == kids.end() ? (previous ? 0 : n - 1) : size_t(it - kids.begin());
  // Around the children from the control, to the next visible, enabled tab stop.
  for (size_t step = 1; step <= n; ++step) {
    size_t i = previous ? (start + n - step % n) % n : (start + step) % n;
    HWND c = kids[i];
    if ((Style(c) & WS_TABSTOP) && CanTakeFocus(c)) return c;
  }
  return control;
}

HWND WINAPI GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
  Window *d = Find(dialog);
  if (!d || d->children.empty()) return nullptr;
  const std::vector<HWND> &kids = d->children;
  if (control == dialog || !control) control = kids.front();
  auto it = std::find(kids.begin(), kids.end(), control);
  if (it == kids.end()) return nullptr;
  // The group: from the control with WS_GROUP at or before it (or the first
  // child) up to the next control with WS_GROUP.
  size_t at = size_t(it - kids.begin());
  size_t first = at;
  while (first > 0 && !(Style(kids[first]) & WS_GROUP)) --first;
  size_t end = at + 1;
  while (end < kids.size() && !(Style(kids[end]) & WS_GROUP)) ++end;
  size_t n = end - first;
  for (size_t step = 1; step < n; ++step) {
    size_t offset = previous ? (at - first + n - step) % n : (at - first + step) % n;
    HWND c = kids[first + offset];
    if (CanTakeFocus(c)) return c;
  }
  return control;
}

}  // extern "C"
