// The program entry, the hidden main window, the notification icon and its
// menu, start-up and the orderly end.
#include <cstring>

#include "app/app.h"
#include "geometry/geometry.h"
#include "render/render.h"
#include "resource.h"
#include "settings/settings.h"
#include "sim/sim.h"

HINSTANCE Instance;
HWND MainWindow;
HWND SettingsDialog;
NOTIFYICONDATAA TrayIconData;
HMENU TrayMenu;
LONG DisplayColorCount;

static const char ColorWarningText[] =
    "Mivora needs more colors than your computer can display at this moment, some color may be lost.\n"
    "Please use the 256-color version, which is also included in the distribution, or fetch the 256-color\n"
    "version from https://mivora.example.org/256";

static void AddTrayIcon(HWND hwnd) {
  std::memset(&TrayIconData, 0, sizeof TrayIconData);
  TrayIconData.cbSize = TRAY_ICON_DATA_SIZE;
  TrayIconData.hWnd = hwnd;
  TrayIconData.uID = TRAY_ICON_ID;
  TrayIconData.uFlags = TRAY_ICON_FLAGS;
  TrayIconData.uCallbackMessage = WM_TRAYNOTIFY;
  TrayIconData.hIcon = LoadIconA(Instance, MAKEINTRESOURCEA(IDI_TRAY));
  std::strcpy(TrayIconData.szTip, "Mivora");
  Shell_NotifyIconA(NIM_ADD, &TrayIconData);
}

// The icon's menu is sub-menu 0 of the menu resource; the resource's own
// handle is not kept.
static void LoadTrayMenu() { TrayMenu = GetSubMenu(LoadMenuA(Instance, MAKEINTRESOURCEA(IDM_TRAY)), 0); }

// The nine regions, empty, in the order start-up makes them.
void CreateRegions() {
  LandingRegion = CreateRectRgn(0, 0, 0, 0);
  LayerRegion = CreateRectRgn(0, 0, 0, 0);
  WindowRegion = CreateRectRgn(0, 0, 0, 0);
  LandingChangeRegion = CreateRectRgn(0, 0, 0, 0);
  WindowChangeRegion = CreateRectRgn(0, 0, 0, 0);
  PreviousWindowRegion = CreateRectRgn(0, 0, 0, 0);
  ScratchRegion = CreateRectRgn(0, 0, 0, 0);
  WindowTopsRegion = CreateRectRgn(0, 0, 0, 0);
  SpriteRegion = CreateRectRgn(0, 0, 0, 0);
}

void Initialize() {
  LoadSettings();
  CreateRegions();
  RebuildGeometry();
  LoadBitmapSets(0);
  // Every slot gets a place and petals, however many are in use.
  LONG flowersInUse = Settings.flowersPerBranch;
  Settings.flowersPerBranch = FLOWER_SLOTS;
  SeedBranch(0);
  Settings.flowersPerBranch = flowersInUse;
  // A stored cap is not in force after a start.
  Settings.maxWindStrength = 40;
  DisplayColorCount = GetDeviceCaps(TargetDC, NUMCOLORS);
  ReleaseDC(DrawTarget, TargetDC);
}

void Cleanup() {
  DeleteObject(WindowRegion);
  DeleteObject(LandingRegion);
  DeleteObject(PreviousWindowRegion);
  DeleteObject(WindowChangeRegion);
  DeleteObject(LandingChangeRegion);
  DeleteObject(WindowTopsRegion);
  DeleteObject(ScratchRegion);
  DeleteObject(LayerRegion);
  DeleteObject(SpriteRegion);
  if (AboutFont) DeleteObject(AboutFont);
  AboutFont = 0;
  CloseHelpPopup();
  for (UINT_PTR id = TIMER_TICK; id <= TIMER_WEAKEN; ++id) KillTimer(MainWindow, id);
  DeleteSpriteObjects();
}

void Shutdown() {
  Shell_NotifyIconA(NIM_DELETE, &TrayIconData);
  // Wipes the branch, the falling petals and the piles from the desktop.
  RepaintScreen();
  Cleanup();
  PostQuitMessage(0);
}

void ToggleSettingsDialog() {
  if (IsWindowVisible(SettingsDialog))
    SetWindowPos(SettingsDialog, HWND_TOP, 0, 0, 300, 200, DIALOG_HIDE_FLAGS);
  else {
    // A click on the icon gives the foreground to the taskbar, and the hidden
    // dialog may still be this program's active window (its template sets the
    // foreground when it is created): showing it would change no activation,
    // and its caption would keep the inactive look. So the activation leaves
    // it first, and it comes back to it as the foreground window.
    if (GetActiveWindow() == SettingsDialog) SetActiveWindow(MainWindow);
    SetForegroundWindow(SettingsDialog);
    SetWindowPos(SettingsDialog, HWND_TOP, 0, 0, 300, 200, DIALOG_SHOW_FLAGS);
  }
}

void ShowTrayMenu() {
  POINT cursor;
  GetCursorPos(&cursor);
  SetActiveWindow(MainWindow);
  UINT command = UINT(TrackPopupMenu(TrayMenu, TRAY_MENU_FLAGS, cursor.x, GetSystemMetrics(SM_CYSCREEN), 0,
                                     MainWindow, NULL));
  if (command) PostMessageA(MainWindow, WM_DESTROY, 0, 0);
}

// Returns true when the message was answered here and needs no default handling.
static bool HandleTrayNotify(HWND hwnd, WPARAM iconId, LPARAM mouseMessage) {
  (void)hwnd;
  switch (mouseMessage) {
    case WM_LBUTTONDBLCLK:
      if (iconId == TRAY_ICON_ID) {
        FindDrawTarget();
        // Nothing on this path draws with the context the search fetched.
        ReleaseDC(DrawTarget, TargetDC);
        ToggleSettingsDialog();
      } else {
        MessageBeep(0);
      }
      return false;
    case WM_RBUTTONDOWN:
      ShowTrayMenu();
      return true;
  }
  return false;
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      AddTrayIcon(hwnd);
      LoadTrayMenu();
      return 0;
    case WM_DESTROY:
      Shutdown();
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_SYSCOMMAND:
      switch (wParam) {
        case SC_MINIMIZE:
        case SC_CLOSE:
          ShowWindow(SettingsDialog, SW_HIDE);
          return 0;
        case SC_MAXIMIZE:
          ShowWindow(SettingsDialog, SW_SHOWDEFAULT);
          return 0;
      }
      break;
    case WM_TIMER:
      if (wParam == TIMER_TICK)
        Tick();
      else if (wParam >= TIMER_CALM && wParam <= TIMER_WEAKEN)
        OnWindTimer(hwnd, wParam);
      return 0;
    case WM_PARENTNOTIFY:
      PostMessageA(MainWindow, WM_QUIT, 0, 0);
      return 0;
    case WM_TRAYNOTIFY:
      if (HandleTrayNotify(hwnd, wParam, lParam)) return 0;
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

int RunMessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, NULL, 0, 0)) {
    if (SettingsDialog && IsDialogMessageA(SettingsDialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return int(msg.wParam);
}

void ResetShellState() {
  Instance = 0;
  MainWindow = 0;
  SettingsDialog = 0;
  std::memset(&TrayIconData, 0, sizeof TrayIconData);
  TrayMenu = 0;
  DisplayColorCount = 0;
  RandomState = 1;
}

// Each subsystem puts back its own state.
void ResetProgramState() {
  ResetShellState();
  ResetTickState();
  ResetSettingsState();
  ResetGeometryState();
  ResetSimState();
  ResetRenderState();
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int showCmd) {
  (void)prevInstance;
  (void)cmdLine;
  (void)showCmd;
  ResetProgramState();
  Instance = instance;

  WNDCLASSEXA wc;
  std::memset(&wc, 0, sizeof wc);
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MIVORA));
  wc.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MIVORA));
  wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
  wc.lpszClassName = MAIN_CLASS_NAME;
  RegisterClassExA(&wc);
  RegisterHelpPopupClass();
  char programPath[MAX_PATH];
  DWORD length = GetModuleFileNameA(NULL, programPath, MAX_PATH);
  FindHelpFile(length > 0 && length < MAX_PATH ? programPath : "");

  HWND hwnd = CreateWindowExA(0, MAIN_CLASS_NAME, MAIN_WINDOW_TITLE, WS_OVERLAPPEDWINDOW, 100, 100, 550, 400, NULL,
                              NULL, instance, NULL);
  MainWindow = hwnd;
  Initialize();

  SettingsDialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_SETTINGS), GetDesktopWindow(), SettingsDialogProc, 0);
  // The pointer-sized call: on 32-bit Windows it is SetClassLongA itself.
  SetClassLongPtrA(SettingsDialog, GCLP_HICON, (LONG_PTR)LoadIconA(instance, MAKEINTRESOURCEA(IDI_MIVORA)));

  SetTimer(MainWindow, TIMER_TICK, UINT(Settings.tickInterval), NULL);
  if (Settings.windEnabled) SetTimer(MainWindow, TIMER_CALM, UINT(Settings.calmPeriod), NULL);
  if (DisplayColorCount != -1) MessageBoxA(MainWindow, ColorWarningText, "Color", MB_OK);
  return RunMessageLoop();
}
