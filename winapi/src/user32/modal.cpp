// Beeps, and the answers that scripts and hosts give to message boxes and
// popup menus (the windows themselves: msgbox.cpp and menu.cpp).
#include <algorithm>
#include <optional>

#include "core/platform.h"
#include "user32/modal.h"
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

}  // namespace

std::optional<int> TakeEarlyMessageBoxAnswer() {
  std::optional<int> answer = Answers().messageBox;
  Answers().messageBox.reset();
  return answer;
}

std::optional<UINT> TakeEarlyMenuAnswer() {
  std::optional<UINT> answer = Answers().menu;
  Answers().menu.reset();
  return answer;
}

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

}  // extern "C"
