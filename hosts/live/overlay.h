// What the desktop leaves to its host: the open popup menu and the open
// message box, drawn over the screen and answered by the mouse and keyboard.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "text.h"
#include "vdesktop.h"

namespace live {

struct MenuItemView {
  UINT command;
  std::string label;  // without the mnemonic marker
  int mnemonic;       // index in label of the underlined letter, or -1
  bool separator;
  RECT rect;          // on the screen
};

// The items of a menu placed in its rectangle, one row each below a 3-pixel margin.
std::vector<MenuItemView> LayOutMenu(const RECT &menuRect, const std::vector<std::pair<UINT, std::string>> &items);
// The index of the selectable item under a point, or -1.
int MenuItemAt(const std::vector<MenuItemView> &items, int x, int y);

struct MessageBoxView {
  RECT box;
  RECT caption;
  RECT ok;
  std::vector<std::string> lines;
};

// A message box centred on the screen, wide enough for its longest line.
MessageBoxView LayOutMessageBox(const vd::MessageBoxRecord &record, int screenWidth, int screenHeight,
                                TextRenderer &text);

// The innermost open record, or -1.
int OpenMenu();
int OpenMessageBox();

class Overlay {
 public:
  explicit Overlay(TextRenderer &text) : text_(text) {}
  bool Active() const;
  // The screen with the open menu and message box drawn over it.
  void Compose(const uint32_t *screen, int width, int height, std::vector<uint32_t> *out);
  // Each returns true when the input was the overlay's and must not reach the desktop.
  bool MouseDown(int x, int y);
  bool MouseUp(int x, int y);
  bool MouseMove(int x, int y);
  bool KeyDown(int vk);

 private:
  void FollowRecords();
  std::vector<MenuItemView> CurrentMenu() const;
  void DrawMenu(Canvas &canvas);
  void DrawMessageBox(Canvas &canvas);

  TextRenderer &text_;
  int menu_ = -1;    // the menu record the state below belongs to
  int box_ = -1;     // likewise for the message box
  int hover_ = -1;   // highlighted item
  bool pressedInMenu_ = false;
  bool pressedOk_ = false;
  int screenWidth_ = 1024, screenHeight_ = 768;
};

}  // namespace live
