// The application shell: entry, main window, notification icon, random numbers, the tick.
#ifndef MIVORA_APP_H
#define MIVORA_APP_H

#include "win32.h"

#define WM_TRAYNOTIFY 1124
#define TRAY_ICON_ID 17
#define TRAY_ICON_FLAGS 7  // NIF_MESSAGE | NIF_ICON | NIF_TIP
#define MAIN_CLASS_NAME "Mivora"
#define MAIN_WINDOW_TITLE "Mivora"

// The first version of the notification record: 88 bytes with 32-bit handles,
// and the same record laid out with 64-bit handles on a 64-bit build.
#ifdef _WIN64
#define TRAY_ICON_DATA_SIZE NOTIFYICONDATAA_V1_SIZE
#else
#define TRAY_ICON_DATA_SIZE 88
#endif

#define TIMER_TICK 1
#define TIMER_CALM 2
#define TIMER_RISE 3
#define TIMER_BLOW 4
#define TIMER_STRENGTHEN 5
#define TIMER_WEAKEN 6

// Flags for SetWindowPos when the icon toggles the settings dialog.
#define DIALOG_HIDE_FLAGS 131  // SWP_NOSIZE | SWP_NOMOVE | SWP_HIDEWINDOW
#define DIALOG_SHOW_FLAGS 67   // SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW
#define TRAY_MENU_FLAGS 294    // TPM_RETURNCMD | TPM_BOTTOMALIGN | TPM_CENTERALIGN | TPM_RIGHTBUTTON

extern HINSTANCE Instance;
extern HWND MainWindow;
extern HWND SettingsDialog;
extern NOTIFYICONDATAA TrayIconData;
extern HMENU TrayMenu;
extern LONG DisplayColorCount;
extern DWORD RandomState;

int RandomBelow(int bound);
void CreateRegions();
void Initialize();
void Cleanup();
LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void ToggleSettingsDialog();
void ShowTrayMenu();
void Shutdown();
int RunMessageLoop();

// The animation tick.
extern LONG tickCounter;
extern int drawForward;
void Tick();
void PetalPass();
void RestartTick(LONG newPeriod, LONG oldPeriod);
void ResetTickState();

// Puts every piece of static state back to what a fresh process has: the
// shell's, the tick's, then each subsystem's.
void ResetShellState();
void ResetProgramState();

#endif
