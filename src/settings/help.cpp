// Context help for the settings dialog. Where a help file lies beside the
// program, WinHelpA shows its topics. Everywhere else (no Windows since Vista
// has a WinHelp viewer) the program shows the topic itself: its string table
// holds the topics, string N the topic of context id N, and a small popup at
// the control or at the pointer shows it until a click or a key.
#include <cstring>

#include "app/app.h"
#include "resource.h"
#include "settings/settings.h"

#define HELP_FILE_NAME "Mivora.hlp"
#define HELP_POPUP_WIDTH 300  // the text's width before it wraps
#define HELP_POPUP_MARGIN 6   // between the border and the text
#define HELP_POPUP_GAP 2      // between the control and the popup

char HelpFile[MAX_PATH];
HWND HelpPopup;
char HelpPopupTopic[HELP_TOPIC_SIZE];
HFONT HelpTitleFont;

// Keeps in HelpFile the help file's full name when it lies beside the
// program, whose full name is given; else an empty string.
void FindHelpFile(LPCSTR programPath) {
  char path[MAX_PATH];
  HelpFile[0] = '\0';
  if (std::strlen(programPath) >= MAX_PATH) return;
  std::strcpy(path, programPath);
  char *name = NULL;
  for (char *p = path; *p; ++p)
    if (*p == '\\' || *p == '/') name = p + 1;
  if (!name || size_t(name - path) + sizeof HELP_FILE_NAME > sizeof path) return;
  std::strcpy(name, HELP_FILE_NAME);
  DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    std::strcpy(HelpFile, path);
}

// The help context id the help table gives a control, or the dialog itself; 0 when it has none.
DWORD HelpContextOf(HWND window) {
  int id = window == SettingsDialog ? IDD_SETTINGS : GetDlgCtrlID(window);
  for (const DWORD *pair = SettingsHelpIds; pair[0]; pair += 2)
    if (int(pair[0]) == id) return pair[1];
  return 0;
}

static HFONT HelpTextFont() {
  HFONT font = (HFONT)SendMessageA(SettingsDialog, WM_GETFONT, 0, 0);
  return font ? font : (HFONT)GetStockObject(DEFAULT_GUI_FONT);
}

// The topic's title (its first line, in bold) over its paragraphs, drawn in
// `box`; with DT_CALCRECT `box` comes back as the size they take.
static void LayOutHelpTopic(HDC dc, RECT *box, UINT extra) {
  UINT format = DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | extra;
  const char *text = std::strchr(HelpPopupTopic, '\n');
  int titleLength = text ? int(text - HelpPopupTopic) : int(std::strlen(HelpPopupTopic));
  while (text && *text == '\n') ++text;
  RECT title = *box;
  HGDIOBJ old = SelectObject(dc, HelpTitleFont ? HelpTitleFont : HelpTextFont());
  int height = DrawTextA(dc, HelpPopupTopic, titleLength, &title, format);
  SelectObject(dc, HelpTextFont());
  RECT body = *box;
  body.top += height + HELP_POPUP_MARGIN;
  int bodyHeight = text && *text ? DrawTextA(dc, text, -1, &body, format) : 0;
  SelectObject(dc, old);
  if (extra & DT_CALCRECT) {
    int width = title.right - title.left;
    if (bodyHeight && body.right - body.left > width) width = body.right - body.left;
    box->right = box->left + width;
    box->bottom = box->top + height + (bodyHeight ? HELP_POPUP_MARGIN + bodyHeight : 0);
  }
}

static void PaintHelpPopup(HWND popup) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(popup, &ps);
  RECT client;
  GetClientRect(popup, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_INFOBK));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
  RECT box = {HELP_POPUP_MARGIN, HELP_POPUP_MARGIN, client.right - HELP_POPUP_MARGIN,
              client.bottom - HELP_POPUP_MARGIN};
  LayOutHelpTopic(dc, &box, 0);
  EndPaint(popup, &ps);
}

void CloseHelpPopup() {
  HWND popup = HelpPopup;
  HelpPopup = NULL;
  if (popup) DestroyWindow(popup);
  if (HelpTitleFont) DeleteObject(HelpTitleFont);
  HelpTitleFont = NULL;
}

LRESULT CALLBACK HelpPopupProc(HWND popup, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      PaintHelpPopup(popup);
      return 0;
    // A click on it or a key closes it, and so does a click anywhere else,
    // which takes the activation away from it.
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (popup == HelpPopup) CloseHelpPopup();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE && popup == HelpPopup) PostMessageA(popup, WM_CLOSE, 0, 0);
      break;
    case WM_CLOSE:
      if (popup == HelpPopup) CloseHelpPopup();
      return 0;
  }
  return DefWindowProcA(popup, message, wParam, lParam);
}

void RegisterHelpPopupClass() {
  WNDCLASSEXA wc;
  std::memset(&wc, 0, sizeof wc);
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = HelpPopupProc;
  wc.hInstance = Instance;
  wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
  wc.lpszClassName = HELP_POPUP_CLASS;
  RegisterClassExA(&wc);
}

// Shows the topic of `context` in a popup whose top left corner is at `at`
// (below a control, or at the pointer), moved up over `above` and kept on the
// work area when it does not fit below. No topic, no popup.
void ShowHelpPopup(DWORD context, POINT at, int above) {
  CloseHelpPopup();
  if (context == 0 || LoadStringA(Instance, context, HelpPopupTopic, HELP_TOPIC_SIZE) == 0) return;
  LOGFONTA lf;
  if (GetObjectA(HelpTextFont(), sizeof lf, &lf) == sizeof lf) {
    lf.lfWeight = FW_BOLD;
    HelpTitleFont = CreateFontIndirectA(&lf);
  }
  HDC screen = GetDC(NULL);
  RECT box = {0, 0, HELP_POPUP_WIDTH, 0};
  LayOutHelpTopic(screen, &box, DT_CALCRECT);
  ReleaseDC(NULL, screen);
  int width = box.right + 2 * HELP_POPUP_MARGIN + 2, height = box.bottom + 2 * HELP_POPUP_MARGIN + 2;
  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  int x = at.x, y = at.y;
  if (y + height > work.bottom) y = at.y - above - height - 2 * HELP_POPUP_GAP;
  if (x + width > work.right) x = work.right - width;
  if (y + height > work.bottom) y = work.bottom - height;
  if (x < work.left) x = work.left;
  if (y < work.top) y = work.top;
  // Its text is the topic, so that tools reading window titles see what it shows.
  HelpPopup = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, HELP_POPUP_CLASS, HelpPopupTopic, WS_POPUP | WS_BORDER,
                              x, y, width, height, SettingsDialog, NULL, Instance, NULL);
  if (!HelpPopup) {
    CloseHelpPopup();
    return;
  }
  // Shown active, it has the keyboard: a key closes it, and so does a click elsewhere.
  ShowWindow(HelpPopup, SW_SHOW);
  UpdateWindow(HelpPopup);
}

// Help on a control: the topic just below it.
void ShowControlHelp(HWND control) {
  RECT r;
  if (!GetWindowRect(control, &r)) return;
  if (HelpFile[0]) {
    WinHelpA(control, HelpFile, HELP_WM_HELP, (ULONG_PTR)SettingsHelpIds);
    return;
  }
  POINT at = {r.left, r.bottom + HELP_POPUP_GAP};
  ShowHelpPopup(HelpContextOf(control), at, r.bottom - r.top);
}

// Help on what was right-clicked: the topic at the pointer. A right click on
// a disabled control reaches the dialog, which finds the control under the
// pointer; Shift+F10 (no point) asks about the control with the focus.
void ShowContextHelp(HWND window, LPARAM point) {
  if (HelpFile[0]) {
    WinHelpA(window, HelpFile, HELP_CONTEXTMENU, (ULONG_PTR)SettingsHelpIds);
    return;
  }
  POINT at = {(short)LOWORD(point), (short)HIWORD(point)};
  if (at.x == -1 && at.y == -1) {
    HWND focus = GetFocus();
    ShowControlHelp(focus && IsChild(SettingsDialog, focus) ? focus : window);
    return;
  }
  if (window == SettingsDialog) {
    POINT inside = at;
    ScreenToClient(SettingsDialog, &inside);
    HWND child = ChildWindowFromPointEx(SettingsDialog, inside, CWP_SKIPINVISIBLE);
    if (child) window = child;
  }
  ShowHelpPopup(HelpContextOf(window), at, 0);
}
