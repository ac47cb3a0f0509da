// What the modal loops of message boxes and popup menus share: their records
// (the answer of a box or menu lives in its record, so that a script, a host
// or the window's own mouse and keyboard handling can give it), and answers
// given before the box or menu opened.
#pragma once

#include <algorithm>
#include <functional>
#include <optional>

#include "core/platform.h"
#include "user32/wnd.h"

namespace vd::user {

// An answer given while no box (or menu) was open, for the next one: taken once.
std::optional<int> TakeEarlyMessageBoxAnswer();
std::optional<UINT> TakeEarlyMenuAnswer();

// A modal loop's record, found by its serial: records before it may be cleared
// while the loop runs.
template <typename Records>
auto *RecordOf(Records &records, uint64_t serial) {
  for (auto it = records.rbegin(); it != records.rend(); ++it)
    if (it->serial == serial) return &*it;
  return static_cast<typename Records::value_type *>(nullptr);
}

// Runs the modal loop of the record with `serial` until it closes, each
// message offered first to `filter` when there is one. False when the program
// is ending, or a reset took the record away, before an answer came.
template <typename Records>
bool RunRecordLoop(Records &records, uint64_t serial, const std::function<bool(MSG *)> &filter = nullptr) {
  Observations &o = Observed();
  o.modalLoops.push_back(serial);
  bool answered = RunModalLoop(
      [&records, serial] {
        auto *record = RecordOf(records, serial);
        return !record || !record->open;
      },
      filter);
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

// The popup menu being tracked, which takes all mouse and keyboard input
// while it is open; nullptr when none is.
HWND TrackedMenuWindow();

}  // namespace vd::user
