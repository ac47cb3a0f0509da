// The "Button" class: push buttons, the default push button, check boxes and
// radio buttons (plain and automatic), with the mouse, the space bar and the
// notifications Windows sends.
#include <algorithm>

#include "core/platform.h"
#include "user32/controls.h"
#include "user32/draw3d.h"

namespace vd::user {
namespace {

struct ButtonData : ControlData {
  UINT state = BST_UNCHECKED;  // check state, BST_PUSHED and BST_FOCUS
  bool pressed = false;        // a click is under way (mouse or space bar)
  HFONT font = nullptr;
};

constexpr UINT kCheckMask = 3;

DWORD TypeOf(HWND hwnd) {
  Window *w = Find(hwnd);
  return w ? w->style & BS_TYPEMASK : 0;
}

bool IsPush(DWORD type) { return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON; }
bool IsRadio(DWORD type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }

void Repaint(HWND hwnd) { InvalidateRect(hwnd, nullptr, FALSE); }

void Paint(HWND hwnd, HDC hdc) {
  Window *w = Find(hwnd);
  ButtonData *b = ControlDataOf<ButtonData>(hwnd);
  if (!w || !b) return;
  DWORD type = w->style & BS_TYPEMASK;
  RECT client;
  GetClientRect(hwnd, &client);
  bool disabled = !w->enabled;
  bool pushed = (b->state & BST_PUSHED) != 0;
  bool focused = (b->state & BST_FOCUS) != 0 && !FocusCuesHidden(hwnd);
  HGDIOBJ oldFont = b->font ? SelectObject(hdc, b->font) : nullptr;
  draw3d::Canvas c(hdc);
  if (IsPush(type)) {
    ParentBrush(hwnd, hdc, WM_CTLCOLORBTN);
    SetTextColor(hdc, GetSysColor(COLOR_BTNTEXT));
    RECT face = draw3d::PushButton(c, client, type == BS_DEFPUSHBUTTON, pushed);
    DrawCaption(hdc, w->title, face, DT_CENTER | DT_VCENTER | DT_SINGLELINE, disabled);
    if (focused) {
      int inset = type == BS_DEFPUSHBUTTON || pushed ? 4 : 3;
      draw3d::FocusRect(c, RECT{client.left + inset, client.top + inset, client.right - inset, client.bottom - inset});
    }
  } else {
    HBRUSH brush = ParentBrush(hwnd, hdc, WM_CTLCOLORSTATIC);
    FillRect(hdc, &client, brush);
    int box = IsRadio(type) ? draw3d::kRadioSize : draw3d::kCheckSize;
    int top = client.top + (client.bottom - client.top - box) / 2;
    bool checked = (b->state & kCheckMask) != 0;
    if (IsRadio(type))
      draw3d::RadioButton(c, client.left, top, checked, pushed, disabled);
    else
      draw3d::CheckBox(c, client.left, top, checked, pushed, disabled);
    RECT label{client.left + box + 4, client.top, client.right, client.bottom};
    DrawCaption(hdc, w->title, label, DT_LEFT | DT_VCENTER | DT_SINGLELINE, disabled);
    if (focused) {
      // Around the caption; a button without one shows where its caption would be.
      RECT around{label.left - 2, client.top, label.right, client.bottom};
      if (!w->title.empty()) {
        RECT text = label;
        DrawTextA(hdc, w->title.c_str(), int(w->title.size()), &text, DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
        int height = text.bottom - text.top;
        around = RECT{label.left - 1, client.top + (client.bottom - client.top - height) / 2 - 1,
                      std::min(text.right + 1, client.right), 0};
        around.bottom = std::min(around.top + height + 2, client.bottom);
        around.top = std::max(around.top, client.top);
      }
      if (around.right > around.left + 1) draw3d::FocusRect(c, around);
    }
  }
  if (oldFont) SelectObject(hdc, oldFont);
}

// An automatic radio button that is clicked checks itself and clears the other
// automatic radio buttons of its group.
void CheckAutoRadio(HWND hwnd) {
  SendMessageA(hwnd, BM_SETCHECK, BST_CHECKED, 0);
  Window *w = Find(hwnd);
  if (!w || !w->parent) return;
  HWND parent = w->parent;
  HWND sibling = GetNextDlgGroupItem(parent, hwnd, FALSE);
  for (int guard = 0; sibling && sibling != hwnd && guard < 1000; ++guard) {
    if (TypeOf(sibling) == BS_AUTORADIOBUTTON) SendMessageA(sibling, BM_SETCHECK, BST_UNCHECKED, 0);
    HWND next = GetNextDlgGroupItem(parent, sibling, FALSE);
    if (next == sibling) break;
    sibling = next;
  }
}

void Press(HWND hwnd, ButtonData &b) {
  b.pressed = true;
  SendMessageA(hwnd, BM_SETSTATE, TRUE, 0);
}

// The end of a click: the button acts when it was released over itself (or
// by the space bar), and tells its parent.
void Release(HWND hwnd, ButtonData &b, bool inside) {
  if (!b.pressed) return;
  b.pressed = false;
  bool wasPushed = (b.state & BST_PUSHED) != 0;
  if (wasPushed) SendMessageA(hwnd, BM_SETSTATE, FALSE, 0);
  ReleaseCapture();
  if (!wasPushed || !inside) return;
  switch (TypeOf(hwnd)) {
    case BS_AUTOCHECKBOX:
      SendMessageA(hwnd, BM_SETCHECK, (b.state & kCheckMask) ? BST_UNCHECKED : BST_CHECKED, 0);
      break;
    case BS_AUTORADIOBUTTON:
      CheckAutoRadio(hwnd);
      break;
  }
  NotifyParent(hwnd, BN_CLICKED);
}

LRESULT SetCheck(HWND hwnd, ButtonData &b, WPARAM check) {
  DWORD type = TypeOf(hwnd);
  UINT most = IsPush(type) ? 0 : (type == 5 || type == 6) ? 2 : 1;
  if (check > most) check = most;
  // A radio button is a tab stop while it is checked, and only then.
  if (IsRadio(type)) {
    Window *w = Find(hwnd);
    if (check)
      w->style |= WS_TABSTOP;
    else
      w->style &= ~WS_TABSTOP;
  }
  if ((b.state & kCheckMask) != check) {
    b.state = (b.state & ~kCheckMask) | UINT(check);
    Repaint(hwnd);
  }
  return 0;
}

UINT DialogCodeOf(DWORD type) {
  if (type == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
  if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
  if (IsRadio(type)) return DLGC_BUTTON | DLGC_RADIOBUTTON;
  if (type == BS_GROUPBOX) return DLGC_STATIC;
  return DLGC_BUTTON;
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  ButtonData *b = ControlDataOf<ButtonData>(hwnd);
  if (!b) return 0;
  DWORD type = TypeOf(hwnd);
  Window *w = Find(hwnd);
  bool notify = (w->style & BS_NOTIFY) != 0;
  switch (msg) {
    case WM_GETDLGCODE:
      return DialogCodeOf(type);
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(hwnd, &ps);
      Paint(hwnd, hdc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_UPDATEUISTATE:
      if (HIWORD(wParam) & UISF_HIDEFOCUS) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_ENABLE:
      Repaint(hwnd);
      return 0;
    case WM_SETTEXT:
      DefWindowProcA(hwnd, msg, wParam, lParam);
      Repaint(hwnd);
      return TRUE;
    case WM_SETFONT:
      b->font = reinterpret_cast<HFONT>(wParam);
      if (lParam) Repaint(hwnd);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(b->font);
    case WM_LBUTTONDBLCLK:
      // With BS_NOTIFY (and for plain radio buttons) the second click is a double-click, not a click.
      if (notify || type == BS_RADIOBUTTON) {
        NotifyParent(hwnd, BN_DBLCLK);
        return 0;
      }
      [[fallthrough]];
    case WM_LBUTTONDOWN:
      SetCapture(hwnd);
      SetFocus(hwnd);
      if (!Find(hwnd)) return 0;
      Press(hwnd, *b);
      return 0;
    case WM_MOUSEMOVE:
      if ((wParam & MK_LBUTTON) && b->pressed && GetCapture() == hwnd) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        POINT pt{short(LOWORD(lParam)), short(HIWORD(lParam))};
        SendMessageA(hwnd, BM_SETSTATE, PtInRect(&rc, pt), 0);
      }
      return 0;
    case WM_LBUTTONUP: {
      RECT rc;
      GetClientRect(hwnd, &rc);
      POINT pt{short(LOWORD(lParam)), short(HIWORD(lParam))};
      Release(hwnd, *b, PtInRect(&rc, pt) != FALSE);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_SPACE && !b->pressed) {
        SetCapture(hwnd);
        Press(hwnd, *b);
      }
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE) Release(hwnd, *b, true);
      return 0;
    case WM_CAPTURECHANGED:
      if (b->pressed) {
        b->pressed = false;
        if (b->state & BST_PUSHED) SendMessageA(hwnd, BM_SETSTATE, FALSE, 0);
      }
      return 0;
    case WM_SETFOCUS:
      b->state |= BST_FOCUS;
      Repaint(hwnd);
      if (notify) NotifyParent(hwnd, BN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      b->state &= ~BST_FOCUS;
      if (b->pressed && GetCapture() == hwnd) ReleaseCapture();
      Repaint(hwnd);
      if (notify) NotifyParent(hwnd, BN_KILLFOCUS);
      return 0;
    case BM_GETCHECK:
      return b->state & kCheckMask;
    case BM_SETCHECK:
      return SetCheck(hwnd, *b, wParam);
    case BM_GETSTATE:
      return b->state;
    case BM_SETSTATE:
      if (wParam)
        b->state |= BST_PUSHED;
      else
        b->state &= ~BST_PUSHED;
      Repaint(hwnd);
      return 0;
    case BM_SETSTYLE:
      w->style = (w->style & ~BS_TYPEMASK) | (DWORD(wParam) & BS_TYPEMASK);
      if (lParam) Repaint(hwnd);
      return 0;
    case BM_CLICK:
      if (!w->enabled) return 0;
      SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
      SendMessageA(hwnd, WM_LBUTTONUP, 0, 0);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

void RegisterButtonClass() { RegisterControlClass("Button", ButtonProc); }

}  // namespace vd::user
