// The native side of the Wine suite's ruler: the settings dialog and the
// about box made from their templates on the virtual desktop, each control
// listed as mivora-layout lists it under Wine.
//
//   mivora-native-layout SETTINGS_OUT ABOUT_OUT
#include <cstdio>

#include "resource.h"
#include "vdesktop.h"
#include "windows.h"

namespace {

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

struct Listing {
  HWND dialog;
  POINT origin;
  FILE *out;
};

BOOL CALLBACK ListControl(HWND control, LPARAM param) {
  Listing *l = reinterpret_cast<Listing *>(param);
  if (GetParent(control) != l->dialog) return TRUE;
  char cls[64] = "";
  RECT r;
  GetClassNameA(control, cls, sizeof cls);
  GetWindowRect(control, &r);
  std::fprintf(l->out, "control %d %s %ld %ld %ld %ld\n", GetDlgCtrlID(control), cls, long(r.left - l->origin.x),
               long(r.top - l->origin.y), long(r.right - l->origin.x), long(r.bottom - l->origin.y));
  return TRUE;
}

bool List(int templateId, const char *path) {
  HWND dialog = CreateDialogParamA(vd::ModuleInstance(), MAKEINTRESOURCEA(templateId), nullptr, QuietDialogProc, 0);
  FILE *out = dialog ? std::fopen(path, "w") : nullptr;
  if (!out) return false;
  Listing l{dialog, POINT{0, 0}, out};
  ClientToScreen(dialog, &l.origin);
  RECT client;
  GetClientRect(dialog, &client);
  std::fprintf(out, "dialog %ld %ld\n", long(client.right), long(client.bottom));
  EnumChildWindows(dialog, ListControl, reinterpret_cast<LPARAM>(&l));
  std::fclose(out);
  DestroyWindow(dialog);
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3) return 2;
  vd::Reset();
  return List(IDD_SETTINGS, argv[1]) && List(IDD_ABOUT, argv[2]) ? 0 : 1;
}
