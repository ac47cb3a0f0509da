// Message boxes, beeps and popup menus: modal loops that keep dispatching
// messages (so timers go on) until a script or the host answers them.
#include <algorithm>
#include <optional>

#include "core/platform.h"
#include "user32/wnd.h"

namespace vd::user {
namespace {

struct ModalAnswers {
  std::optional<int> messageBox;
  std::optional<UINT> menu;
};

ModalAnswers &Answers() {
  static ModalAnswers answers;
  return answers;
}

void ResetAnswers() { Answers() = ModalAnswers(); }
ResetHook answersReset(12, ResetAnswers);

template <typename Records>
int InnermostOpen(const Records &records) {
  for (int i = int(records.size()) - 1; i >= 0; --i)
    if (records[size_t(i)].open) return i;
  return -1;
}

// A modal loop's record, found by its serial: records before it may be cleared
// while the loop runs.
template <typename Records>
auto *RecordOf(Records &records, uint64_t serial) {
  for (auto it = records.rbegin(); it != records.rend(); ++it)
    if (it->serial == serial) return &*it;
  return static_cast<typename Records::value_type *>(nullptr);
}

// Runs the modal loop of the record with `serial` until it closes. False when
// the program is ending, or a reset took the record away, before an answer came.
template <typename Records>
bool RunRecordLoop(Records &records, uint64_t serial) {
  Observations &o = Observed();
  o.modalLoops.push_back(serial);
  bool answered = RunModalLoop([&records, serial] {
    auto *record = RecordOf(records, serial);
    return !record || !record->open;
  });
  auto running = std::find(o.modalLoops.begin(), o.modalLoops.end(), serial);
  if (running != o.modalLoops.end()) o.modalLoops.erase(running);  // a reset in the loop took it already
  return answered && RecordOf(records, serial);
}

// Once its loop has returned, a record stays only for a test or host that asked for records.
template <typename Records>
void DropRecordUnlessRecording(Records &records, uint64_t serial) {
  if (Observed().recording) return;
  auto *record = RecordOf(records, serial);
  if (record) records.erase(records.begin() + (record - records.data()));
}

}  // namespace
}  // namespace vd::user

using namespace vd;
using namespace vd::user;

namespace vd {

void AnswerMessageBox(int id) {
  auto &boxes = Observed().messageBoxes;
  int open = InnermostOpen(boxes);
  if (open < 0) {
    Answers().messageBox = id;
    return;
  }
  boxes[size_t(open)].answer = id;
  boxes[size_t(open)].open = false;
}

bool MessageBoxOpen() { return InnermostOpen(Observed().messageBoxes) >= 0; }

void ChooseMenuItem(UINT command) {
  auto &menus = Observed().menus;
  int open = InnermostOpen(menus);
  if (open < 0) {
    Answers().menu = command;
    return;
  }
  menus[size_t(open)].result = command;
  menus[size_t(open)].open = false;
}

void DismissMenu() { ChooseMenuItem(0); }

bool MenuOpen() { return InnermostOpen(Observed().menus) >= 0; }

}  // namespace vd

extern "C" {

BOOL WINAPI MessageBeep(UINT type) {
  if (Observed().recording) Observed().beeps.push_back(BeepRecord{ClockNow(), type});
  return TRUE;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  if (owner && !Find(owner)) owner = nullptr;
  auto &boxes = Observed().messageBoxes;
  uint64_t serial = ++Observed().lastSerial;
  boxes.push_back(
      MessageBoxRecord{ClockNow(), owner, caption ? caption : "Error", text ? text : "", type, true, 0, serial});
  if (Answers().messageBox) {
    boxes.back().answer = *Answers().messageBox;
    boxes.back().open = false;
    Answers().messageBox.reset();
  }
  // The program is ending: the box goes as if closed with Esc (OK for a box with only OK).
  int answer = (type & 0xF) == MB_OK ? IDOK : IDCANCEL;
  if (RunRecordLoop(boxes, serial)) answer = RecordOf(boxes, serial)->answer;
  if (MessageBoxRecord *box = RecordOf(boxes, serial)) {
    box->open = false;
    box->answer = answer;
  }
  DropRecordUnlessRecording(boxes, serial);
  return answer;
}

BOOL WINAPI TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND hwnd, const RECT *rect) {
  (void)reserved;
  (void)rect;
  std::vector<std::pair<UINT, std::string>> items;
  if (!MenuItemsOf(menu, &items) || (hwnd && !Find(hwnd))) return FALSE;
  // Its size from its items; its place from the alignment flags, then kept on the screen.
  int width = 40, height = 6 + 19 * int(items.size());
  for (auto &item : items) width = std::max(width, 40 + 7 * int(item.second.size()));
  int left = x, top = y;
  if (flags & TPM_CENTERALIGN) left = x - width / 2;
  else if (flags & TPM_RIGHTALIGN) left = x - width;
  if (flags & TPM_BOTTOMALIGN) top = y - height;
  else if (flags & TPM_VCENTERALIGN) top = y - height / 2;
  left = std::max(0, std::min(left, TheScreen().width - width));
  top = std::max(0, std::min(top, TheScreen().height - height));
  auto &menus = Observed().menus;
  uint64_t serial = ++Observed().lastSerial;
  menus.push_back(MenuRecord{ClockNow(), menu, flags, x, y, hwnd, RECT{left, top, left + width, top + height}, 0,
                             true, serial});
  if (Answers().menu) {
    menus.back().result = *Answers().menu;
    menus.back().open = false;
    Answers().menu.reset();
  }
  UINT command = 0;  // the program is ending: the menu goes without a choice
  if (RunRecordLoop(menus, serial)) command = RecordOf(menus, serial)->result;
  if (MenuRecord *record = RecordOf(menus, serial)) {
    record->open = false;
    record->result = command;
  }
  DropRecordUnlessRecording(menus, serial);
  bool known = std::any_of(items.begin(), items.end(), [&](auto &i) { return i.first == command && command != 0; });
  if (!known) command = 0;
  if (flags & TPM_RETURNCMD) return BOOL(command);
  if (command && hwnd) PostMessageA(hwnd, WM_COMMAND, command, 0);
  return command ? TRUE : FALSE;
}

}  // extern "C"
