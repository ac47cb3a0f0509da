// The Wine suite's ruler: the controls of a dialog shown by another program,
// each with its id, class and rectangle in the dialog's client coordinates.
//
//   mivora-layout TITLE OUT
//
// Waits up to five seconds for a dialog ("#32770") titled TITLE, then writes
// one line a control to OUT: "control ID CLASS LEFT TOP RIGHT BOTTOM", after a
// line "dialog CLIENT_WIDTH CLIENT_HEIGHT". Exit code 1 when no such dialog showed.
#include <windows.h>

#include <cstdio>

namespace {

struct Listing {
  HWND dialog;
  POINT origin;
  FILE *out;
  int count;
};

BOOL CALLBACK ListControl(HWND control, LPARAM param) {
  Listing *l = reinterpret_cast<Listing *>(param);
  if (GetParent(control) != l->dialog) return TRUE;  // the dialog's own controls only
  char cls[64] = "";
  RECT r;
  GetClassNameA(control, cls, sizeof cls);
  GetWindowRect(control, &r);
  std::fprintf(l->out, "control %d %s %ld %ld %ld %ld\n", GetDlgCtrlID(control), cls, r.left - l->origin.x,
               r.top - l->origin.y, r.right - l->origin.x, r.bottom - l->origin.y);
  ++l->count;
  return TRUE;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3) return 2;
  HWND dialog = nullptr;
  for (int i = 0; i < 50 && !(dialog && IsWindowVisible(dialog)); ++i) {
    dialog = FindWindowA("#32770", argv[1]);
    if (!dialog || !IsWindowVisible(dialog)) Sleep(100);
  }
  if (!dialog) return 1;
  FILE *out = std::fopen(argv[2], "w");
  if (!out) return 2;
  Listing l{dialog, POINT{0, 0}, out, 0};
  ClientToScreen(dialog, &l.origin);
  RECT client;
  GetClientRect(dialog, &client);
  std::fprintf(out, "dialog %ld %ld\n", client.right, client.bottom);
  EnumChildWindows(dialog, ListControl, reinterpret_cast<LPARAM>(&l));
  std::fclose(out);
  return l.count > 0 ? 0 : 1;
}
