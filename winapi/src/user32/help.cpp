// The help engine behind WinHelpA: context help for dialog controls. The
// program's help file is its own text source, embedded at build time; a topic
// shows as a small popup at the control, which a click or a key closes. Every
// call is recorded for tests and hosts.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <deque>
#include <map>

#include "core/platform.h"
#include "user32/controls.h"
#include "user32/draw3d.h"
#include "user32/help.h"

extern "C" const unsigned char vd_help_topics[];
extern "C" const size_t vd_help_topics_size;

namespace vd::user {
namespace {

constexpr const char *kHelpFile = "mivora.hlp";
constexpr const char *kPopupClass = "HelpPopup";
constexpr const char *kNoTopic = "No Help topic is associated with this item.";
constexpr size_t kCallLimit = 1000;
constexpr int kPopupTextWidth = 300;
constexpr int kPadding = 6;

struct HelpState {
  std::deque<HelpCallRecord> calls;
  HWND popup = nullptr;
  HelpTopic shown;            // the topic in the popup
  HFONT popupFont = nullptr;  // borrowed from the dialog the help is for
  HFONT titleFont = nullptr;  // its bold form, made for the popup
  bool loaded = false;
  std::map<DWORD, HelpTopic> topics;
};

HelpState &H() {
  static HelpState state;
  return state;
}

// The help file this engine knows: the program's, whatever folder it is named in.
bool IsKnownFile(LPCSTR file) {
  if (!file) return false;
  std::string name = file;
  size_t slash = name.find_last_of("\\/:");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return name == kHelpFile;
}

const std::map<DWORD, HelpTopic> &Topics() {
  HelpState &h = H();
  if (!h.loaded) {
    h.loaded = true;
    std::string source(reinterpret_cast<const char *>(vd_help_topics), vd_help_topics_size);
    ParseHelpTopics(source, &h.topics);
  }
  return h.topics;
}

// The context id that a help-id table gives a control: pairs of control id
// and context id, ended by a zero control id.
bool LookUpContext(const DWORD *table, int controlId, DWORD *context) {
  if (!table) return false;
  for (int i = 0; i < 1000 && table[2 * i]; ++i) {
    if (int(table[2 * i]) == controlId) {
      *context = table[2 * i + 1];
      return true;
    }
  }
  return false;
}

void ClosePopup() {
  HelpState &h = H();
  HWND popup = h.popup;
  h.popup = nullptr;
  h.shown = HelpTopic();
  if (Find(popup)) DestroyWindow(popup);
  if (h.titleFont) DeleteObject(h.titleFont);
  h.titleFont = nullptr;
}

HGDIOBJ TextFont() { return H().popupFont ? static_cast<HGDIOBJ>(H().popupFont) : GetStockObject(DEFAULT_GUI_FONT); }

// The topic's title in bold over its text, laid out in `rc`; with
// DT_CALCRECT `rc` comes back as the size they take.
void LayOutTopic(HDC hdc, RECT *rc, UINT extra) {
  const HelpTopic &t = H().shown;
  UINT format = DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | extra;
  RECT title = *rc, text = *rc;
  int width = 0, height = 0;
  if (!t.title.empty()) {
    HGDIOBJ old = SelectObject(hdc, H().titleFont ? static_cast<HGDIOBJ>(H().titleFont) : TextFont());
    int drawn = DrawTextA(hdc, t.title.c_str(), int(t.title.size()), &title, format);
    SelectObject(hdc, old);
    width = title.right - title.left;
    height = drawn + (t.text.empty() ? 0 : kPadding);
    text.top += height;
  }
  HGDIOBJ old = SelectObject(hdc, TextFont());
  int drawn = DrawTextA(hdc, t.text.c_str(), int(t.text.size()), &text, format);
  SelectObject(hdc, old);
  if (extra & DT_CALCRECT) *rc = RECT{rc->left, rc->top, rc->left + std::max(width, int(text.right - text.left)), rc->top + height + drawn};
}

void PaintPopup(HWND hwnd, HDC hdc) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  FillRect(hdc, &rc, GetSysColorBrush(COLOR_INFOBK));
  SetBkMode(hdc, TRANSPARENT);
  SetTextColor(hdc, GetSysColor(COLOR_INFOTEXT));
  RECT text{kPadding, kPadding, rc.right - kPadding, rc.bottom - kPadding};
  LayOutTopic(hdc, &text, 0);
}

LRESULT CALLBACK PopupProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(hwnd, &ps);
      PaintPopup(hwnd, hdc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    // A click on it, a key, or the activation going elsewhere closes it.
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (H().popup == hwnd) ClosePopup();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE && H().popup == hwnd) ClosePopup();
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_NCDESTROY:
      if (H().popup == hwnd) {
        H().popup = nullptr;
        if (H().titleFont) DeleteObject(H().titleFont);
        H().titleFont = nullptr;
      }
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void RegisterPopupClass() {
  H() = HelpState();
  if (FindClass(kPopupClass)) return;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = PopupProc;
  wc.lpszClassName = kPopupClass;
  RegisterClassExA(&wc);
}

ResetHook helpReset(31, RegisterPopupClass);

// Shows `text` in a popup under the control (above it when there is no room),
// kept inside the work area.
void ShowPopup(HWND control, const HelpTopic &topic) {
  ClosePopup();
  HelpState &h = H();
  HWND top = TopLevelOf(control);
  h.popupFont = top ? reinterpret_cast<HFONT>(SendMessageA(top, WM_GETFONT, 0, 0)) : nullptr;
  LOGFONTA lf{};
  if (GetObjectA(TextFont(), sizeof lf, &lf) == sizeof lf) {
    lf.lfWeight = FW_BOLD;
    h.titleFont = CreateFontIndirectA(&lf);
  }
  h.shown = topic;
  HDC screen = GetDC(nullptr);
  RECT size{0, 0, kPopupTextWidth, 0};
  LayOutTopic(screen, &size, DT_CALCRECT);
  ReleaseDC(nullptr, screen);
  int width = size.right - size.left + 2 * kPadding + 2, height = size.bottom - size.top + 2 * kPadding + 2;
  RECT at{0, 0, 0, 0};
  if (!GetWindowRect(control, &at)) {
    POINT cursor;
    GetCursorPos(&cursor);
    at = RECT{cursor.x, cursor.y, cursor.x, cursor.y};
  }
  RECT work = WorkAreaRect();
  int x = at.left, y = at.bottom + 2;
  if (y + height > work.bottom) y = at.top - 2 - height;
  x = std::max(int(work.left), std::min(x, int(work.right) - width));
  y = std::max(int(work.top), std::min(y, int(work.bottom) - height));
  h.popup = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kPopupClass, "", WS_POPUP | WS_BORDER, x, y, width, height,
                            top, nullptr, nullptr, nullptr);
  // Shown, it takes the activation, so that a key reaches it and a click elsewhere closes it.
  if (h.popup) ShowWindow(h.popup, SW_SHOW);
}

HelpTopic TopicFor(DWORD context) {
  auto it = Topics().find(context);
  return it != Topics().end() ? it->second : HelpTopic{"", kNoTopic};
}

// What a record keeps of a topic: the words the popup shows.
std::string Shown(const HelpTopic &t) { return t.title.empty() ? t.text : t.title + "\n\n" + t.text; }

// The control a help request names: the window itself, or for a dialog the
// control under the pointer (disabled ones included).
HWND ControlFor(HWND hwnd) {
  Window *w = Find(hwnd);
  if (!w || w->parent) return hwnd;
  POINT cursor;
  GetCursorPos(&cursor);
  return ChildAtPoint(hwnd, cursor.x, cursor.y);
}

// Shows a topic in a popup by `control`, and notes in the record what was shown.
void ShowTopic(HWND control, DWORD context, const HelpTopic &topic, HelpCallRecord &record) {
  record.contextId = context;
  record.topic = Shown(topic);
  ShowPopup(control, topic);
  record.shown = H().popup != nullptr;
}

// The topic the control's id has in the help table, or the note that there is none.
void ShowControlHelp(HWND control, const DWORD *table, HelpCallRecord &record) {
  DWORD context = 0;
  if (LookUpContext(table, GetDlgCtrlID(control), &context))
    ShowTopic(control, context, TopicFor(context), record);
  else
    ShowTopic(control, 0, HelpTopic{"", kNoTopic}, record);
}

// The "What's This?" menu that comes before help on a right click.
bool AskWhatsThis(HWND control) {
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, kWhatsThisCommand, "What's This?");
  POINT cursor;
  GetCursorPos(&cursor);
  HWND owner = TopLevelOf(control);
  UINT chosen = UINT(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, owner, nullptr));
  DestroyMenu(menu);
  return chosen == kWhatsThisCommand;
}

}  // namespace
}  // namespace vd::user

using namespace vd;
using namespace vd::user;

namespace vd {

std::vector<HelpCallRecord> HelpCalls() { return std::vector<HelpCallRecord>(H().calls.begin(), H().calls.end()); }

HWND HelpPopup() { return Find(H().popup) ? H().popup : nullptr; }

std::string HelpPopupText() { return HelpPopup() ? Shown(H().shown) : std::string(); }

std::string HelpTopicText(DWORD contextId) {
  auto it = Topics().find(contextId);
  return it != Topics().end() ? Shown(it->second) : std::string();
}

}  // namespace vd

extern "C" BOOL WINAPI WinHelpA(HWND hwnd, LPCSTR helpFile, UINT command, ULONG_PTR data) {
  HelpState &h = H();
  HelpCallRecord record{ClockNow(), hwnd, helpFile ? helpFile : "", command, data, 0, std::string(), false};
  BOOL result = TRUE;
  const DWORD *table = reinterpret_cast<const DWORD *>(data);
  if (!IsKnownFile(helpFile)) {
    result = FALSE;
  } else if (command == HELP_WM_HELP) {
    if (Find(hwnd)) ShowControlHelp(ControlFor(hwnd), table, record);
  } else if (command == HELP_CONTEXTMENU) {
    HWND control = ControlFor(hwnd);
    if (Find(control) && AskWhatsThis(control)) ShowControlHelp(control, table, record);
  } else if (command == HELP_CONTEXTPOPUP) {
    ShowTopic(hwnd, DWORD(data), TopicFor(DWORD(data)), record);
  } else if (command == HELP_QUIT) {
    ClosePopup();
  }
  h.calls.push_back(record);
  if (h.calls.size() > kCallLimit) h.calls.pop_front();
  return result;
}
