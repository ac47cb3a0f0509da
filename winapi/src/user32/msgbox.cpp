// Message boxes. MessageBoxA shows a dialog window of the desktop: the caption,
// the text in the message font and the buttons of the box's type, centred on
// the screen, and runs it modally through the dialog manager (timers go on).
// The mouse clicks a button; Enter presses the default button, Space the
// focused one, Esc answers Cancel (OK on a box whose only button is OK).
#include <algorithm>
#include <string>
#include <vector>

#include "core/platform.h"
#include "gdi32/font.h"
#include "user32/controls.h"
#include "user32/modal.h"
#include "user32/wnd.h"

namespace vd::user {
namespace {

constexpr int kMargin = 12;        // around the text and below the buttons
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 6;
constexpr int kTextToButtons = 14;
constexpr int kMinTextWidth = 120;

struct ButtonSpec {
  int id;
  const char *label;
};

std::vector<ButtonSpec> ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}};
    case MB_YESNOCANCEL: return {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO: return {{IDYES, "&Yes"}, {IDNO, "&No"}};
    case MB_RETRYCANCEL: return {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}};
  }
  return {{IDOK, "OK"}};
}

// What Esc (and the close box) answers: Cancel where there is one, OK on an
// OK box, nothing otherwise.
int EscapeAnswer(const std::vector<ButtonSpec> &buttons) {
  for (const ButtonSpec &b : buttons)
    if (b.id == IDCANCEL) return IDCANCEL;
  return buttons.size() == 1 && buttons[0].id == IDOK ? IDOK : 0;
}

struct BoxData : ControlData {
  uint64_t serial = 0;
  int escape = 0;
};

BoxData *BoxOf(HWND hwnd) {
  Window *w = Find(hwnd);
  return w ? dynamic_cast<BoxData *>(w->control.get()) : nullptr;
}

void Answer(HWND box, int id) {
  BoxData *b = BoxOf(box);
  if (!b || !id) return;
  if (MessageBoxRecord *record = RecordOf(Observed().messageBoxes, b->serial)) {
    record->answer = id;
    record->open = false;
  }
}

INT_PTR CALLBACK BoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  switch (msg) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      BoxData *b = BoxOf(hwnd);
      // The dialog manager's Esc (and the close box) arrive as IDCANCEL.
      if (id == IDCANCEL && b && !GetDlgItem(hwnd, IDCANCEL)) id = b->escape;
      Answer(hwnd, id);
      return TRUE;
    }
  }
  return FALSE;
}

// Creates the box, hidden, with its controls; nullptr when it cannot.
HWND CreateBox(HWND owner, const std::string &text, const std::string &caption, UINT type, uint64_t serial) {
  std::vector<ButtonSpec> buttons = ButtonsOf(type);
  int escape = EscapeAnswer(buttons);
  RECT work = WorkAreaRect();
  // The text wrapped to at most three fifths of the work area.
  SIZE textSize = MeasureText(gdi::SystemUiFont(gdi::UiFont::Message), text,
                              std::max(kMinTextWidth, int(work.right - work.left) * 3 / 5),
                              DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
  int captionWidth = MeasureText(gdi::SystemUiFont(gdi::UiFont::Caption), caption, 0, DT_SINGLELINE | DT_NOPREFIX).cx;
  int buttonsWidth = int(buttons.size()) * kButtonWidth + (int(buttons.size()) - 1) * kButtonGap;
  int clientWidth = std::max({int(textSize.cx), buttonsWidth, captionWidth + 24}) + 2 * kMargin;
  int clientHeight = kMargin + int(textSize.cy) + kTextToButtons + kButtonHeight + kMargin;

  DWORD style = WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | (escape ? WS_SYSMENU : 0);
  DWORD exStyle = WS_EX_DLGMODALFRAME | ((type & MB_SYSTEMMODAL) ? WS_EX_TOPMOST : 0);
  RECT frame = WindowRectForClient(RECT{0, 0, clientWidth, clientHeight}, style, exStyle);
  int width = frame.right - frame.left, height = frame.bottom - frame.top;
  int x = work.left + (work.right - work.left - width) / 2, y = work.top + (work.bottom - work.top - height) / 2;
  HWND box = CreateWindowExA(exStyle, "#32770", caption.c_str(), style, std::max(x, 0), std::max(y, 0), width, height,
                             owner, nullptr, nullptr, nullptr);
  Window *w = Find(box);
  if (!w) return nullptr;
  w->dialog = std::make_unique<DialogState>();
  w->dialog->proc = BoxProc;
  BoxData *data = ControlDataOf<BoxData>(box);
  data->serial = serial;
  data->escape = escape;

  HFONT font = gdi::SystemUiFont(gdi::UiFont::Message);
  HWND label = CreateWindowExA(0, "STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, kMargin,
                               kMargin, textSize.cx, textSize.cy, box, reinterpret_cast<HMENU>(uintptr_t(0xFFFF)),
                               nullptr, nullptr);
  SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  int defIndex = (type & MB_DEFMASK) == MB_DEFBUTTON2 ? 1 : (type & MB_DEFMASK) == MB_DEFBUTTON3 ? 2 : 0;
  if (defIndex >= int(buttons.size())) defIndex = 0;
  int bx = (clientWidth - buttonsWidth) / 2, by = clientHeight - kMargin - kButtonHeight;
  HWND first = nullptr;
  for (size_t i = 0; i < buttons.size(); ++i) {
    DWORD bstyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (int(i) == defIndex ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    if (i == 0) bstyle |= WS_GROUP;
    HWND button = CreateWindowExA(0, "BUTTON", buttons[i].label, bstyle, bx, by, kButtonWidth, kButtonHeight, box,
                                  reinterpret_cast<HMENU>(uintptr_t(buttons[i].id)), nullptr, nullptr);
    SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (int(i) == defIndex) first = button;
    bx += kButtonWidth + kButtonGap;
  }
  SendMessageA(box, DM_SETDEFID, WPARAM(buttons[size_t(defIndex)].id), 0);
  SendMessageA(box, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), 0);
  if (first) SendMessageA(box, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);
  return Find(box) ? box : nullptr;
}

}  // namespace
}  // namespace vd::user

using namespace vd;
using namespace vd::user;

extern "C" {

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  if (owner && !Find(owner)) owner = nullptr;
  auto &boxes = Observed().messageBoxes;
  uint64_t serial = ++Observed().lastSerial;
  std::string captionText = caption ? caption : "Error", bodyText = text ? text : "";
  boxes.push_back(MessageBoxRecord{ClockNow(), owner, captionText, bodyText, type, true, 0, serial});
  if (std::optional<int> early = TakeEarlyMessageBoxAnswer()) {
    boxes.back().answer = *early;
    boxes.back().open = false;
  }
  HWND box = nullptr, disabledOwner = nullptr;
  if (boxes.back().open) {
    box = CreateBox(owner ? TopLevelOf(owner) : nullptr, bodyText, captionText, type, serial);
    // The owner takes no input while its box is open.
    HWND top = owner ? TopLevelOf(owner) : nullptr;
    if (box && top && IsWindowEnabled(top)) {
      disabledOwner = top;
      EnableWindow(top, FALSE);
    }
    if (box) ShowWindow(box, SW_SHOW);
  }
  // The program is ending: the box goes as if closed with Esc (OK for a box with only OK).
  int answer = (type & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
  std::function<bool(MSG *)> filter;
  if (box) filter = [box](MSG *msg) { return Find(box) && DialogHandleMessage(box, msg); };
  if (RunRecordLoop(boxes, serial, filter)) answer = RecordOf(boxes, serial)->answer;
  if (MessageBoxRecord *record = RecordOf(boxes, serial)) {
    record->open = false;
    record->answer = answer;
  }
  DropRecordUnlessRecording(boxes, serial);
  if (disabledOwner && Find(disabledOwner)) EnableWindow(disabledOwner, TRUE);
  if (Find(box)) DestroyWindow(box);
  return answer;
}

}  // extern "C"
