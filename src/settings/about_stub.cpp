// TEMPORARY until the about box lands from its branch.
#include "settings/settings.h"
INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK) EndDialog(dialog, 0);
  if (message == WM_CLOSE) EndDialog(dialog, 0);
  return message == WM_INITDIALOG;
}
HFONT AboutFont;
