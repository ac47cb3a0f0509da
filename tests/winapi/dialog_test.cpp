// Statements about Win32's dialog manager and its controls, checked on the
// virtual desktop with a dialog made from the program's own template 1020.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "resource.h"
#include "user32/help.h"
#include "vdesktop.h"

namespace {

struct Command {
  int id;
  int code;
};
std::vector<Command> commands;
std::vector<UINT> dialogMessages;
INT_PTR initResult = TRUE;

INT_PTR CALLBACK RecordingDialogProc(HWND, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_COMMAND) commands.push_back(Command{LOWORD(wParam), HIWORD(wParam)});
  if (msg == WM_LBUTTONDOWN || msg == WM_CONTEXTMENU || msg == WM_HELP) dialogMessages.push_back(msg);
  return msg == WM_INITDIALOG ? initResult : FALSE;
}

class DialogManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vd::Reset();
    commands.clear();
    dialogMessages.clear();
    initResult = TRUE;
  }
  HWND Create() {
    dialog = CreateDialogParamA(vd::ModuleInstance(), MAKEINTRESOURCEA(IDD_SETTINGS), nullptr, RecordingDialogProc, 0);
    ShowWindow(dialog, SW_SHOW);
    Pump();
    commands.clear();
    return dialog;
  }
  // Takes every waiting message through the dialog's keyboard handling, as a message loop does.
  void Pump() {
    MSG msg;
    for (int i = 0; i < 10000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
      if (msg.message == WM_QUIT) break;
      if (dialog && IsDialogMessageA(dialog, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    vd::PaintPending();
  }
  HWND Item(int id) const { return GetDlgItem(dialog, id); }
  POINT Center(int id) const {
    RECT r;
    GetWindowRect(Item(id), &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  void Click(int id) {
    POINT p = Center(id);
    vd::MouseDown(p.x, p.y);
    vd::MouseUp(p.x, p.y);
    Pump();
  }
  void DoubleClick(int id) {
    POINT p = Center(id);
    vd::MouseDown(p.x, p.y);
    vd::MouseUp(p.x, p.y);
    vd::DoubleClick(p.x, p.y);
    vd::MouseUp(p.x, p.y);
    Pump();
  }
  void Key(int vk) {
    vd::KeyDown(vk);
    Pump();
    vd::KeyUp(vk);
    Pump();
  }
  void KeyWith(int modifier, int vk) {
    vd::KeyDown(modifier);
    Key(vk);
    vd::KeyUp(modifier);
    Pump();
  }
  void Type(const std::string &text) {
    for (char c : text) Key(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  std::string Text(int id) const {
    char buffer[100];
    GetWindowTextA(Item(id), buffer, sizeof buffer);
    return buffer;
  }
  std::vector<int> CodesFrom(int id) const {
    std::vector<int> codes;
    for (const Command &c : commands)
      if (c.id == id) codes.push_back(c.code);
    return codes;
  }
  DWORD Selection(int id) const {
    DWORD from = 0, to = 0;
    SendMessageA(Item(id), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    return MAKELONG(from, to);
  }
  HWND dialog = nullptr;
};

// ---------------------------------------------------------------- buttons

TEST_F(DialogManagerTest, AClickOnAnAutoCheckBoxTogglesItAndSendsClicked) {
  Create();
  Click(IDC_WIND);
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_WIND), UINT(BST_CHECKED));
  // BS_NOTIFY: the focus it takes is told too, before the click.
  EXPECT_EQ(CodesFrom(IDC_WIND), (std::vector<int>{BN_SETFOCUS, BN_CLICKED}));
  Click(IDC_WIND);
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_WIND), UINT(BST_UNCHECKED));
  EXPECT_EQ(CodesFrom(IDC_WIND), (std::vector<int>{BN_SETFOCUS, BN_CLICKED, BN_CLICKED}));
}

TEST_F(DialogManagerTest, ADoubleClickOnANotifyCheckBoxTogglesItOnceAndReportsTheDoubleClick) {
  Create();
  DoubleClick(IDC_WIND);
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_WIND), UINT(BST_CHECKED));
  EXPECT_EQ(CodesFrom(IDC_WIND), (std::vector<int>{BN_SETFOCUS, BN_CLICKED, BN_DBLCLK}));
}

TEST_F(DialogManagerTest, APressReleasedOutsideTheButtonDoesNotClickIt) {
  Create();
  POINT p = Center(IDC_APPLY), away = Center(IDC_ABOUT);
  vd::MouseDown(p.x, p.y);
  vd::MouseMove(away.x, away.y);
  vd::MouseUp(away.x, away.y);
  Pump();
  EXPECT_TRUE(CodesFrom(IDC_APPLY).empty());
  EXPECT_TRUE(CodesFrom(IDC_ABOUT).empty());
}

TEST_F(DialogManagerTest, SpaceClicksTheFocusedButton) {
  Create();
  SetFocus(Item(IDC_BOTTOM_LAYER));
  commands.clear();
  Key(VK_SPACE);
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_BOTTOM_LAYER), UINT(BST_CHECKED));
  EXPECT_EQ(CodesFrom(IDC_BOTTOM_LAYER), (std::vector<int>{BN_CLICKED}));
}

TEST_F(DialogManagerTest, ARadioButtonIsATabStopOnlyWhileChecked) {
  Create();
  CheckRadioButton(dialog, IDC_TYPE1, IDC_TYPE7, IDC_TYPE3);
  EXPECT_TRUE(GetWindowLongA(Item(IDC_TYPE3), GWL_STYLE) & WS_TABSTOP);
  EXPECT_FALSE(GetWindowLongA(Item(IDC_TYPE1), GWL_STYLE) & WS_TABSTOP);
  EXPECT_FALSE(GetWindowLongA(Item(IDC_TYPE7), GWL_STYLE) & WS_TABSTOP);
}

TEST_F(DialogManagerTest, AnAutoRadioButtonClearsTheOthersOfItsGroupOnly) {
  Create();
  // Types 1-3 and 4-7 lie in two groups: the text line between them starts the second.
  CheckRadioButton(dialog, IDC_TYPE1, IDC_TYPE7, IDC_TYPE2);
  SendMessageA(Item(IDC_TYPE5), BM_SETCHECK, BST_CHECKED, 0);
  Click(IDC_TYPE1);
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_TYPE1), UINT(BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_TYPE2), UINT(BST_UNCHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_TYPE5), UINT(BST_CHECKED));
}

// ---------------------------------------------------------------- statics

TEST_F(DialogManagerTest, ANotifyStaticReportsThePressAndTheDoubleClick) {
  Create();
  DoubleClick(IDC_BRANCH_PICTURE);
  EXPECT_EQ(CodesFrom(IDC_BRANCH_PICTURE), (std::vector<int>{STN_CLICKED, STN_DBLCLK}));
}

TEST_F(DialogManagerTest, ADisabledStaticSendsNothingAndItsParentGetsTheMouse) {
  Create();
  Click(IDC_FLOWERS_ICON);
  EXPECT_TRUE(CodesFrom(IDC_FLOWERS_ICON).empty());
  EXPECT_EQ(dialogMessages, std::vector<UINT>{WM_LBUTTONDOWN});
}

// The window takes the picture's size, its static edge drawn over the picture's outer pixels.
TEST_F(DialogManagerTest, APictureStaticsWindowTakesThePictureSizeEdgeIncluded) {
  Create();
  RECT window, client;
  GetWindowRect(Item(IDC_FALLING_PICTURE), &window);
  GetClientRect(Item(IDC_FALLING_PICTURE), &client);
  EXPECT_EQ(window.right - window.left, 64);
  EXPECT_EQ(window.bottom - window.top, 32);
  EXPECT_EQ(client.right, 62);
  EXPECT_EQ(client.bottom, 30);
  GetWindowRect(Item(IDC_TYPE1_ICON), &window);
  EXPECT_EQ(window.right - window.left, 32);
  EXPECT_EQ(window.bottom - window.top, 32);
  EXPECT_NE(SendMessageA(Item(IDC_FALLING_PICTURE), STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
}

// ---------------------------------------------------------------- keyboard navigation

TEST_F(DialogManagerTest, TabVisitsTheTabStopsInTemplateOrderAndShiftTabGoesBack) {
  Create();
  CheckRadioButton(dialog, IDC_TYPE1, IDC_TYPE7, IDC_TYPE1);
  EnableWindow(Item(IDC_FLUTTER), FALSE);
  SetFocus(Item(IDC_FALL_BEHIND));
  Key(VK_TAB);
  EXPECT_EQ(GetFocus(), Item(IDC_TYPE1));  // the checked radio button; the others are no tab stops
  Key(VK_TAB);
  EXPECT_EQ(GetFocus(), Item(IDC_FLOWERS));
  Key(VK_TAB);
  EXPECT_EQ(GetFocus(), Item(IDC_SIDE_SPEED));  // the disabled box is passed over
  KeyWith(VK_SHIFT, VK_TAB);
  EXPECT_EQ(GetFocus(), Item(IDC_FLOWERS));
  SetFocus(Item(IDC_APPLY));
  Key(VK_TAB);
  EXPECT_EQ(GetFocus(), Item(IDC_FALLING));  // round to the first
}

TEST_F(DialogManagerTest, TabbingIntoAnEditBoxSelectsAllItsText) {
  Create();
  SetDlgItemTextA(dialog, IDC_FLUTTER, "1234");
  SetFocus(Item(IDC_FLOWERS));
  Key(VK_TAB);
  EXPECT_EQ(GetFocus(), Item(IDC_FLUTTER));
  EXPECT_EQ(Selection(IDC_FLUTTER), DWORD(MAKELONG(0, 4)));
  Type("7");
  EXPECT_EQ(Text(IDC_FLUTTER), "7");
}

TEST_F(DialogManagerTest, EnterPressesTheDefaultButtonOrTheFocusedPushButton) {
  Create();
  EXPECT_EQ(SendMessageA(dialog, DM_GETDEFID, 0, 0), MAKELONG(IDC_APPLY, DC_HASDEFID));
  SetFocus(Item(IDC_FLOWERS));
  commands.clear();
  Key(VK_RETURN);
  EXPECT_EQ(CodesFrom(IDC_APPLY), std::vector<int>{BN_CLICKED});
  // A push button with the focus stands in for the default button.
  SetFocus(Item(IDC_SAVE));
  EXPECT_EQ(GetWindowLongA(Item(IDC_SAVE), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_EQ(GetWindowLongA(Item(IDC_APPLY), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
  commands.clear();
  Key(VK_RETURN);
  EXPECT_EQ(CodesFrom(IDC_SAVE), std::vector<int>{BN_CLICKED});
  EXPECT_TRUE(CodesFrom(IDC_APPLY).empty());
  SetFocus(Item(IDC_FLOWERS));
  EXPECT_EQ(GetWindowLongA(Item(IDC_APPLY), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_EQ(GetWindowLongA(Item(IDC_SAVE), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
}

TEST_F(DialogManagerTest, EscSendsCancelAndTheCloseBoxToo) {
  Create();
  Key(VK_ESCAPE);
  EXPECT_EQ(CodesFrom(IDCANCEL), std::vector<int>{BN_CLICKED});
  commands.clear();
  SendMessageA(dialog, WM_CLOSE, 0, 0);
  Pump();
  EXPECT_EQ(CodesFrom(IDCANCEL), std::vector<int>{BN_CLICKED});
  EXPECT_TRUE(IsWindow(dialog));
}

TEST_F(DialogManagerTest, ArrowKeysMoveWithinTheGroupAndCheckAutoRadioButtons) {
  Create();
  CheckRadioButton(dialog, IDC_TYPE1, IDC_TYPE7, IDC_TYPE1);
  SetFocus(Item(IDC_TYPE1));
  commands.clear();
  Key(VK_DOWN);
  EXPECT_EQ(GetFocus(), Item(IDC_TYPE2));
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_TYPE2), UINT(BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_TYPE1), UINT(BST_UNCHECKED));
  EXPECT_EQ(CodesFrom(IDC_TYPE2), (std::vector<int>{BN_SETFOCUS, BN_CLICKED}));
  Key(VK_UP);
  EXPECT_EQ(GetFocus(), Item(IDC_TYPE1));
  // Past the group's last radio button the arrow goes on to the next control of the group.
  SetFocus(Item(IDC_TYPE3));
  Key(VK_DOWN);
  EXPECT_EQ(GetFocus(), Item(IDC_FLOWERS));
}

TEST_F(DialogManagerTest, TheFocusComesBackToItsControlWhenTheDialogIsActivatedAgain) {
  Create();
  SetFocus(Item(IDC_BLOW_PERIOD));
  HWND other = vd::CreateAppWindow("Other", RECT{0, 0, 100, 100});
  SetActiveWindow(other);
  EXPECT_EQ(GetFocus(), other);
  SetActiveWindow(dialog);
  EXPECT_EQ(GetFocus(), Item(IDC_BLOW_PERIOD));
}

TEST_F(DialogManagerTest, InitDialogReturningFalseLeavesTheFocusAlone) {
  initResult = FALSE;
  HWND d = CreateDialogParamA(vd::ModuleInstance(), MAKEINTRESOURCEA(IDD_SETTINGS), nullptr, RecordingDialogProc, 0);
  EXPECT_EQ(GetFocus(), nullptr);
  initResult = TRUE;
  HWND e = CreateDialogParamA(vd::ModuleInstance(), MAKEINTRESOURCEA(IDD_SETTINGS), nullptr, RecordingDialogProc, 0);
  EXPECT_EQ(GetFocus(), GetDlgItem(e, IDC_FALLING));  // the first tab stop
  EXPECT_FALSE(IsWindowVisible(e));
  DestroyWindow(d);
  DestroyWindow(e);
}

// ---------------------------------------------------------------- edit boxes

TEST_F(DialogManagerTest, AnEditBoxTypesAtTheCaretAndEditsItsSelection) {
  Create();
  SetDlgItemTextA(dialog, IDC_FLOWERS, "");
  Click(IDC_FLOWERS);
  Type("123");
  EXPECT_EQ(Text(IDC_FLOWERS), "123");
  Key(VK_LEFT);
  Type("9");
  EXPECT_EQ(Text(IDC_FLOWERS), "1293");
  KeyWith(VK_SHIFT, VK_LEFT);
  KeyWith(VK_SHIFT, VK_LEFT);
  EXPECT_EQ(Selection(IDC_FLOWERS), DWORD(MAKELONG(1, 3)));
  Key(VK_BACK);
  EXPECT_EQ(Text(IDC_FLOWERS), "13");
  Key(VK_HOME);
  Key(VK_DELETE);
  EXPECT_EQ(Text(IDC_FLOWERS), "3");
  Key(VK_END);
  Key(VK_OEM_MINUS);
  EXPECT_EQ(Text(IDC_FLOWERS), "3-");
  KeyWith(VK_CONTROL, 'A');
  EXPECT_EQ(Selection(IDC_FLOWERS), DWORD(MAKELONG(0, 2)));
  Key(VK_BACK);
  EXPECT_EQ(Text(IDC_FLOWERS), "");
}

TEST_F(DialogManagerTest, AnEditBoxTellsItsChangesAndFocus) {
  Create();
  Click(IDC_FLOWERS);
  EXPECT_EQ(CodesFrom(IDC_FLOWERS), std::vector<int>{EN_SETFOCUS});
  commands.clear();
  Type("5");
  EXPECT_EQ(CodesFrom(IDC_FLOWERS), (std::vector<int>{EN_UPDATE, EN_CHANGE}));
  commands.clear();
  SetDlgItemTextA(dialog, IDC_FLOWERS, "42");
  EXPECT_EQ(CodesFrom(IDC_FLOWERS), (std::vector<int>{EN_UPDATE, EN_CHANGE}));
  EXPECT_EQ(Selection(IDC_FLOWERS), DWORD(MAKELONG(0, 0)));
  commands.clear();
  Click(IDC_FLUTTER);
  EXPECT_EQ(CodesFrom(IDC_FLOWERS), std::vector<int>{EN_KILLFOCUS});
}

TEST_F(DialogManagerTest, DraggingTheMouseSelectsAndSetSelSelectsToTheEnd) {
  Create();
  SetDlgItemTextA(dialog, IDC_TICK_INTERVAL, "123456");
  RECT r;
  GetWindowRect(Item(IDC_TICK_INTERVAL), &r);
  vd::MouseDown(r.left + 3, (r.top + r.bottom) / 2);
  vd::MouseMove(r.right - 3, (r.top + r.bottom) / 2);
  vd::MouseUp(r.right - 3, (r.top + r.bottom) / 2);
  Pump();
  EXPECT_EQ(Selection(IDC_TICK_INTERVAL), DWORD(MAKELONG(0, 6)));
  SendMessageA(Item(IDC_TICK_INTERVAL), EM_SETSEL, 2, -1);
  EXPECT_EQ(Selection(IDC_TICK_INTERVAL), DWORD(MAKELONG(2, 6)));
  SendMessageA(Item(IDC_TICK_INTERVAL), EM_SETSEL, WPARAM(-1), 0);
  EXPECT_EQ(Selection(IDC_TICK_INTERVAL), DWORD(MAKELONG(6, 6)));
}

TEST_F(DialogManagerTest, ALongNumberScrollsSoTheCaretStaysInTheBox) {
  Create();
  SetDlgItemTextA(dialog, IDC_FLOWERS, "");
  Click(IDC_FLOWERS);
  Type("12345678901234567890");
  EXPECT_EQ(Text(IDC_FLOWERS), "12345678901234567890");
  // The caret is drawn inside the box: a dark column near its right end.
  RECT r;
  GetWindowRect(Item(IDC_FLOWERS), &r);
  RECT inner{r.left + 2, r.top + 2, r.right - 2, r.bottom - 2};
  int darkRightHalf = 0;
  for (int y = inner.top; y < inner.bottom; ++y)
    for (int x = (inner.left + inner.right) / 2; x < inner.right; ++x) darkRightHalf += vd::Pixel(x, y) == 0x000000;
  EXPECT_GT(darkRightHalf, 10);
}

// ---------------------------------------------------------------- the dialog window

TEST_F(DialogManagerTest, EndDialogHidesAModelessDialogAndKeepsItAlive) {
  Create();
  EXPECT_TRUE(EndDialog(dialog, 5));
  EXPECT_FALSE(IsWindowVisible(dialog));
  EXPECT_TRUE(IsWindow(dialog));
  EXPECT_FALSE(EndDialog(nullptr, 0));
}

INT_PTR CALLBACK EndsOnTimer(HWND hwnd, UINT msg, WPARAM, LPARAM) {
  static int ticks;
  if (msg == WM_INITDIALOG) {
    ticks = 0;
    SetTimer(hwnd, 1, 100, nullptr);
    return TRUE;
  }
  if (msg == WM_TIMER && ++ticks == 5) EndDialog(hwnd, 42);
  return FALSE;
}

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  static int *count;
  if (msg == WM_USER) count = reinterpret_cast<int *>(lParam);
  if (msg == WM_TIMER && count) ++*count;
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST_F(DialogManagerTest, AModalDialogRunsTimersDisablesItsOwnerAndReturnsItsResult) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = CountingProc;
  wc.lpszClassName = "Owner";
  RegisterClassExA(&wc);
  HWND owner = CreateWindowExA(0, "Owner", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  int ownerTicks = 0;
  SendMessageA(owner, WM_USER, 0, reinterpret_cast<LPARAM>(&ownerTicks));
  SetTimer(owner, 9, 50, nullptr);
  bool disabledDuring = false;
  vd::At(250, [&] { disabledDuring = !IsWindowEnabled(owner); });
  INT_PTR result = DialogBoxParamA(vd::ModuleInstance(), MAKEINTRESOURCEA(IDD_SETTINGS), owner, EndsOnTimer, 0);
  EXPECT_EQ(result, 42);
  EXPECT_TRUE(disabledDuring);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_GE(ownerTicks, 9);
}

// Without DS_CENTER the template's point (0, 0 for the about box) places the
// dialog's client area from the owner's client area; the whole window is then
// moved back inside the work area where it would leave it.
TEST_F(DialogManagerTest, ADialogWithoutDsCenterSitsAtItsTemplatePointFromTheOwnersClientArea) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "Owner";
  RegisterClassExA(&wc);
  RECT work;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
  HWND owner = CreateWindowExA(0, "Owner", "", WS_OVERLAPPEDWINDOW, 40, 30, 300, 200, nullptr, nullptr, nullptr, nullptr);
  HWND about = CreateDialogParamA(vd::ModuleInstance(), MAKEINTRESOURCEA(IDD_ABOUT), owner, RecordingDialogProc, 0);
  ASSERT_NE(about, nullptr);
  POINT ownerClient{0, 0}, aboutClient{0, 0};
  ClientToScreen(owner, &ownerClient);
  ClientToScreen(about, &aboutClient);
  EXPECT_EQ(aboutClient.x, ownerClient.x);
  EXPECT_EQ(aboutClient.y, ownerClient.y);
  RECT frame;
  GetWindowRect(about, &frame);
  int width = frame.right - frame.left, height = frame.bottom - frame.top;
  EXPECT_LT(frame.left, aboutClient.x) << "the frame lies around the client area";
  EXPECT_LT(frame.top, aboutClient.y);
  DestroyWindow(about);

  // Near the bottom right corner it would run off the work area: it ends at its edges.
  SetWindowPos(owner, nullptr, work.right - 100, work.bottom - 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  about = CreateDialogParamA(vd::ModuleInstance(), MAKEINTRESOURCEA(IDD_ABOUT), owner, RecordingDialogProc, 0);
  GetWindowRect(about, &frame);
  EXPECT_EQ(frame.right, work.right);
  EXPECT_EQ(frame.bottom, work.bottom);
  EXPECT_EQ(frame.right - frame.left, width);
  EXPECT_EQ(frame.bottom - frame.top, height);
  DestroyWindow(about);

  // Above and left of the screen it starts at the work area's top left corner.
  SetWindowPos(owner, nullptr, work.left - 200, work.top - 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  about = CreateDialogParamA(vd::ModuleInstance(), MAKEINTRESOURCEA(IDD_ABOUT), owner, RecordingDialogProc, 0);
  GetWindowRect(about, &frame);
  EXPECT_EQ(frame.left, work.left);
  EXPECT_EQ(frame.top, work.top);
  DestroyWindow(about);
  DestroyWindow(owner);
}

TEST_F(DialogManagerTest, BaseUnitsComeFromTheTemplateFontAndMapDialogRectRoundsAsMulDiv) {
  Create();
  RECT r{1, 1, 21, 21};
  ASSERT_TRUE(MapDialogRect(dialog, &r));
  EXPECT_EQ(r.left, 2);    // 1.5 rounds up
  EXPECT_EQ(r.top, 2);     // 1.625
  EXPECT_EQ(r.right, 32);  // 31.5
  EXPECT_EQ(r.bottom, 34); // 34.125
  EXPECT_FALSE(MapDialogRect(vd::Taskbar(), &r));
  EXPECT_EQ(MulDiv(7, 3, 2), 11);
  EXPECT_EQ(MulDiv(-7, 3, 2), -11);
  EXPECT_EQ(MulDiv(7, 3, -2), -11);  // halves round away from zero whatever sign carries them
  EXPECT_EQ(MulDiv(-7, 3, -2), 11);
  EXPECT_EQ(MulDiv(5, 5, 0), -1);
  EXPECT_EQ(MulDiv(0x7FFFFFFF, 2, 1), -1);
  LONG units = GetDialogBaseUnits();
  EXPECT_GT(LOWORD(units), 0);
  EXPECT_GT(HIWORD(units), 0);
}

// ---------------------------------------------------------------- help

TEST_F(DialogManagerTest, F1AsksTheDialogForHelpWithTheFocusedControl) {
  Create();
  SetFocus(Item(IDC_CALM_PERIOD));
  Key(VK_F1);
  EXPECT_EQ(dialogMessages, std::vector<UINT>{WM_HELP});
}

TEST_F(DialogManagerTest, ARightClickOnAControlReachesTheDialogAsAContextMenuRequest) {
  Create();
  POINT p = Center(IDC_SAVE);
  vd::MouseDown(p.x, p.y, 1);
  vd::MouseUp(p.x, p.y, 1);
  Pump();
  EXPECT_EQ(dialogMessages, std::vector<UINT>{WM_CONTEXTMENU});
}

TEST_F(DialogManagerTest, WinHelpShowsTheTableTopicAtTheControlAndAClickElsewhereClosesIt) {
  Create();
  static const DWORD table[] = {IDC_SAVE, 152, IDC_APPLY, 101, 0, 0};
  EXPECT_TRUE(WinHelpA(Item(IDC_SAVE), "C:\\Program Files\\Mivora\\MIVORA.HLP", HELP_WM_HELP,
                       reinterpret_cast<ULONG_PTR>(table)));
  HWND popup = vd::HelpPopup();
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(vd::HelpCalls().back().contextId, 152u);
  RECT button, at;
  GetWindowRect(Item(IDC_SAVE), &button);
  GetWindowRect(popup, &at);
  EXPECT_EQ(at.left, button.left);
  EXPECT_EQ(at.top, button.bottom + 2);
  Click(IDC_FLOWERS);
  EXPECT_EQ(vd::HelpPopup(), nullptr);
  // A control the table does not name gets the system's answer.
  WinHelpA(Item(IDC_FLOWERS), "Mivora.hlp", HELP_WM_HELP, reinterpret_cast<ULONG_PTR>(table));
  EXPECT_EQ(vd::HelpPopupText(), "No Help topic is associated with this item.");
  WinHelpA(dialog, "Mivora.hlp", HELP_QUIT, 0);
  EXPECT_EQ(vd::HelpPopup(), nullptr);
  // A help file this engine does not have.
  EXPECT_FALSE(WinHelpA(Item(IDC_SAVE), "other.hlp", HELP_WM_HELP, reinterpret_cast<ULONG_PTR>(table)));
  EXPECT_EQ(vd::HelpPopup(), nullptr);
  EXPECT_EQ(vd::HelpCalls().size(), 4u);
}

TEST_F(DialogManagerTest, WinHelpContextPopupShowsTheTopicOfTheContextIdUnderTheWindow) {
  Create();
  ASSERT_FALSE(vd::HelpTopicText(152).empty());
  EXPECT_TRUE(WinHelpA(Item(IDC_APPLY), "Mivora.hlp", HELP_CONTEXTPOPUP, 152));
  HWND popup = vd::HelpPopup();
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(vd::HelpPopupText(), vd::HelpTopicText(152));
  EXPECT_EQ(vd::HelpCalls().back().contextId, 152u);
  EXPECT_EQ(vd::HelpCalls().back().topic, vd::HelpTopicText(152));
  EXPECT_TRUE(vd::HelpCalls().back().shown);
  RECT button, at;
  GetWindowRect(Item(IDC_APPLY), &button);
  GetWindowRect(popup, &at);
  EXPECT_EQ(at.left, button.left);
  EXPECT_EQ(at.top, button.bottom + 2);
  // The next popup takes the place of the first.
  EXPECT_TRUE(WinHelpA(Item(IDC_SAVE), "Mivora.hlp", HELP_CONTEXTPOPUP, 101));
  EXPECT_EQ(vd::HelpPopupText(), vd::HelpTopicText(101));
  EXPECT_EQ(vd::HelpCalls().back().contextId, 101u);
}

TEST_F(DialogManagerTest, WinHelpKeepsOnlyTheLastThousandCalls) {
  for (int i = 0; i < 1005; ++i) WinHelpA(nullptr, "none.hlp", HELP_QUIT, ULONG_PTR(i));
  std::vector<vd::HelpCallRecord> calls = vd::HelpCalls();
  ASSERT_EQ(calls.size(), 1000u);
  EXPECT_EQ(calls.front().data, 5u);
}

TEST(HelpTopics, CommentsTitlesParagraphsAndStrayLines) {
  std::map<DWORD, vd::user::HelpTopic> topics;
  vd::user::ParseHelpTopics(
      "; a comment\nstray text before any topic\n[7] Seven \n  one\ntwo  \n\n\nthree\n\n"
      "[x] not a topic\n[8]\n; inside\nfour\n[7] Again\nfive",
      &topics);
  ASSERT_EQ(topics.size(), 2u);
  EXPECT_EQ(topics[7].title, "Again");
  EXPECT_EQ(topics[7].text, "five");
  EXPECT_EQ(topics[8].title, "");
  EXPECT_EQ(topics[8].text, "four");
  vd::user::ParseHelpTopics("[3] Three\none\ntwo\n\nthree\n[x] more", &topics);
  EXPECT_EQ(topics[3].text, "one two\n\nthree [x] more");
}

// ---------------------------------------------------------------- the look

// Focus rectangles stay hidden (UISF_HIDEFOCUS) until the keyboard moves the focus;
// the dotted line then shows, and stays.
TEST_F(DialogManagerTest, TheFocusRectangleShowsOnlyOnceTheKeyboardMovesTheFocus) {
  Create();
  SetFocus(Item(IDC_ABOUT));
  Pump();
  RECT about;
  GetWindowRect(Item(IDC_ABOUT), &about);
  LRESULT before = SendMessageA(dialog, WM_QUERYUISTATE, 0, 0);
  uint32_t hidden = vd::Pixel(about.left + 4, about.top + 4);
  KeyWith(VK_SHIFT, VK_TAB);
  Key(VK_TAB);
  Pump();
  EXPECT_EQ(GetFocus(), Item(IDC_ABOUT));
  EXPECT_EQ(before, LRESULT(UISF_HIDEFOCUS | UISF_HIDEACCEL));
  EXPECT_EQ(SendMessageA(dialog, WM_QUERYUISTATE, 0, 0), LRESULT(UISF_HIDEACCEL));
  EXPECT_EQ(hidden, 0xC0C0C0u);
  EXPECT_EQ(vd::Pixel(about.left + 4, about.top + 4), 0x000000u);
  EXPECT_EQ(vd::Pixel(about.left + 5, about.top + 4), 0xC0C0C0u);
  SetFocus(Item(IDC_SAVE));  // a click's focus change keeps the cues shown
  Pump();
  RECT save;
  GetWindowRect(Item(IDC_SAVE), &save);
  EXPECT_EQ(vd::Pixel(save.left + 4, save.top + 4), 0x000000u);
}

TEST_F(DialogManagerTest, ControlsAreDrawnInTheClassic3DLook) {
  Create();
  CheckDlgButton(dialog, IDC_FALLING, BST_CHECKED);
  CheckDlgButton(dialog, IDC_WIND, BST_UNCHECKED);
  SetFocus(Item(IDC_ABOUT));
  SendMessageA(dialog, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);  // as after a key
  Pump();
  auto origin = [&](int id) {
    POINT p{0, 0};
    ClientToScreen(Item(id), &p);
    return p;
  };
  // A check box: a sunken 13 x 13 box, white inside, with a black tick when checked.
  POINT c = origin(IDC_FALLING);
  EXPECT_EQ(vd::Pixel(c.x, c.y), 0x808080u);          // outer shadow
  EXPECT_EQ(vd::Pixel(c.x + 1, c.y + 1), 0x000000u);  // inner dark shadow
  EXPECT_EQ(vd::Pixel(c.x + 12, c.y + 12), 0xFFFFFFu);  // outer highlight
  EXPECT_EQ(vd::Pixel(c.x + 3, c.y + 5), 0x000000u);  // the tick
  EXPECT_EQ(vd::Pixel(c.x + 8, c.y + 3), 0xFFFFFFu);
  POINT w = origin(IDC_WIND);
  EXPECT_EQ(vd::Pixel(w.x + 3, w.y + 5), 0xFFFFFFu);  // unchecked: white
  // A push button with the focus: the default outline, a raised edge, a dotted focus rectangle.
  RECT about;
  GetWindowRect(Item(IDC_ABOUT), &about);
  EXPECT_EQ(vd::Pixel(about.left, about.top), 0x000000u);
  EXPECT_EQ(vd::Pixel(about.left + 1, about.top + 1), 0xFFFFFFu);
  EXPECT_EQ(vd::Pixel(about.right - 2, about.bottom - 2), 0x000000u);
  EXPECT_EQ(vd::Pixel(about.right - 3, about.bottom - 3), 0x808080u);
  EXPECT_EQ(vd::Pixel(about.left + 4, about.top + 4), 0x000000u);
  EXPECT_EQ(vd::Pixel(about.left + 5, about.top + 4), 0xC0C0C0u);
  EXPECT_EQ(vd::Pixel(about.left + 6, about.top + 4), 0x000000u);
  // An edit box: sunken, white inside.
  RECT edit;
  GetWindowRect(Item(IDC_FLUTTER), &edit);
  EXPECT_EQ(vd::Pixel(edit.left, edit.top), 0x808080u);
  EXPECT_EQ(vd::Pixel(edit.left + 1, edit.top + 1), 0x000000u);
  EXPECT_EQ(vd::Pixel(edit.right - 1, edit.bottom - 1), 0xFFFFFFu);
  EXPECT_EQ(vd::Pixel(edit.right - 4, edit.bottom - 4), 0xFFFFFFu);
}

}  // namespace
