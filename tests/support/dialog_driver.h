// Drives the running program's settings dialog as a user does: mouse presses
// at the controls' places on the screen and keys, one step every 20 ms of
// virtual time, each step taken up by the message loop before the next.
#pragma once

#include <functional>
#include <string>

#include "app/app.h"
#include "support/program_run.h"

namespace progtest {

class DialogTest : public ProgramTest {
 protected:
  // Steps fall 10 ms after a tick, so a check made 1 ms after a step sees the
  // step's work before the next tick.
  uint64_t next_ = 1010;

  // Runs fn at the next step and answers its time.
  uint64_t Step(std::function<void()> fn) {
    uint64_t at = next_;
    vd::At(at, std::move(fn));
    next_ += 50;
    return at;
  }
  // Runs fn 1 ms after the last step, before anything else happens.
  void Check(std::function<void()> fn) { vd::At(next_ - 50 + 1, std::move(fn)); }
  void Wait(uint64_t ms) { next_ += ms; }
  void RunScript() { Run(next_ + 100); }

  static HWND Control(int id) { return GetDlgItem(SettingsDialog, id); }
  static POINT Center(int id) {
    RECT r{0, 0, 0, 0};
    GetWindowRect(Control(id), &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  static std::string Text(int id) {
    char text[100];
    GetWindowTextA(Control(id), text, sizeof text);
    return text;
  }
  static bool Checked(int id) { return IsDlgButtonChecked(SettingsDialog, id) == BST_CHECKED; }
  static int VirtualKeyOf(char c) {
    if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
    if (c == '-') return VK_OEM_MINUS;
    if (c == ' ') return VK_SPACE;
    return c;  // digits and capitals
  }

  void ShowDialog() {
    Step([] { vd::TrayDoubleClick(TRAY_ICON_ID); });
  }
  void Click(int id) {
    Step([id] {
      POINT p = Center(id);
      vd::MouseDown(p.x, p.y);
      vd::MouseUp(p.x, p.y);
    });
  }
  void DoubleClick(int id) {
    Step([id] {
      POINT p = Center(id);
      vd::MouseDown(p.x, p.y);
      vd::MouseUp(p.x, p.y);
      vd::DoubleClick(p.x, p.y);
      vd::MouseUp(p.x, p.y);
    });
  }
  void RightClick(int id) {
    Step([id] {
      POINT p = Center(id);
      vd::MouseDown(p.x, p.y, 1);
      vd::MouseUp(p.x, p.y, 1);
    });
  }
  void Key(int vk) {
    Step([vk] {
      vd::KeyDown(vk);
      vd::KeyUp(vk);
    });
  }
  // A key with a modifier held: the modifier stays down until the key is taken up.
  void KeyWith(int modifier, int vk) {
    Step([=] {
      vd::KeyDown(modifier);
      vd::KeyDown(vk);
    });
    Step([=] {
      vd::KeyUp(vk);
      vd::KeyUp(modifier);
    });
  }
  void Type(const std::string &text) {
    Step([text] {
      for (char c : text) {
        vd::KeyDown(VirtualKeyOf(c));
        vd::KeyUp(VirtualKeyOf(c));
      }
    });
  }
  // Clicks into an edit box, selects all its text and types over it.
  void Enter(int id, const std::string &text) {
    Click(id);
    KeyWith(VK_CONTROL, 'A');
    Type(text);
  }
};

}  // namespace progtest
