#include "overlay.h"

#include <algorithm>
#include <cctype>

namespace live {
namespace {

constexpr int kMenuMargin = 3;
constexpr int kMenuRow = 19;   // the desktop sizes menus with these rows
constexpr int kMenuTextLeft = 20;
constexpr int kBoxPadding = 16;
constexpr int kCaptionHeight = 18;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;

constexpr uint32_t kFace = 0xC0C0C0;
constexpr uint32_t kLight = 0xFFFFFF;
constexpr uint32_t kShadow = 0x808080;
constexpr uint32_t kDark = 0x404040;
constexpr uint32_t kText = 0x000000;
constexpr uint32_t kHighlight = 0x000080;
constexpr uint32_t kHighlightText = 0xFFFFFF;

bool Inside(const RECT &r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

void RaisedBox(Canvas &c, const RECT &r, bool pressed = false) {
  c.Fill(r.left, r.top, r.right, r.bottom, kFace);
  uint32_t topLeft = pressed ? kDark : kLight, bottomRight = pressed ? kLight : kDark;
  c.Fill(r.left, r.top, r.right, r.top + 1, topLeft);
  c.Fill(r.left, r.top, r.left + 1, r.bottom, topLeft);
  c.Fill(r.left, r.bottom - 1, r.right, r.bottom, bottomRight);
  c.Fill(r.right - 1, r.top, r.right, r.bottom, bottomRight);
  if (!pressed) {
    c.Fill(r.left + 1, r.bottom - 2, r.right - 1, r.bottom - 1, kShadow);
    c.Fill(r.right - 2, r.top + 1, r.right - 1, r.bottom - 1, kShadow);
  }
}

// "E&xit" is shown as "Exit" with the x underlined; "&&" is a plain "&".
std::pair<std::string, int> WithoutMnemonic(const std::string &text) {
  std::string label;
  int mnemonic = -1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) {
      ++i;
      if (text[i] != '&' && mnemonic < 0) mnemonic = int(label.size());
    }
    if (text[i] == '\t') break;
    label += text[i];
  }
  return {label, mnemonic};
}

std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\n')
      lines.emplace_back();
    else if (c != '\r')
      lines.back() += c;
  }
  return lines;
}

// The desktop's modal loops see an answer as soon as the idle hook returns.
void Answer(int messageBoxAnswer) { vd::AnswerMessageBox(messageBoxAnswer); }

void Choose(UINT command) { vd::ChooseMenuItem(command); }

}  // namespace

std::vector<MenuItemView> LayOutMenu(const RECT &menuRect, const std::vector<std::pair<UINT, std::string>> &items) {
  std::vector<MenuItemView> views;
  int top = menuRect.top + kMenuMargin;
  for (const auto &item : items) {
    auto [label, mnemonic] = WithoutMnemonic(item.second);
    bool separator = item.first == 0 && item.second.empty();
    RECT r{menuRect.left + kMenuMargin, top, menuRect.right - kMenuMargin, top + kMenuRow};
    views.push_back(MenuItemView{item.first, label, mnemonic, separator, r});
    top += kMenuRow;
  }
  return views;
}

int MenuItemAt(const std::vector<MenuItemView> &items, int x, int y) {
  for (size_t i = 0; i < items.size(); ++i)
    if (!items[i].separator && items[i].command != 0 && Inside(items[i].rect, x, y)) return int(i);
  return -1;
}

MessageBoxView LayOutMessageBox(const vd::MessageBoxRecord &record, int screenWidth, int screenHeight,
                                TextRenderer &text) {
  MessageBoxView v;
  v.lines = Lines(record.text);
  int textWidth = text.Width(record.caption) + 40;
  for (const std::string &line : v.lines) textWidth = std::max(textWidth, text.Width(line));
  int width = std::min(std::max(textWidth + 2 * kBoxPadding, 200), screenWidth);
  int height = kCaptionHeight + kBoxPadding + int(v.lines.size()) * text.LineHeight() + kBoxPadding +
               kButtonHeight + 12;
  height = std::min(height, screenHeight);
  int left = (screenWidth - width) / 2, top = (screenHeight - height) / 2;
  v.box = RECT{left, top, left + width, top + height};
  v.caption = RECT{left + 3, top + 3, left + width - 3, top + 3 + kCaptionHeight};
  int okLeft = left + (width - kButtonWidth) / 2, okTop = top + height - 12 - kButtonHeight;
  v.ok = RECT{okLeft, okTop, okLeft + kButtonWidth, okTop + kButtonHeight};
  return v;
}

template <typename Records>
static int Innermost(const Records &records) {
  for (int i = int(records.size()) - 1; i >= 0; --i)
    if (records[size_t(i)].open) return i;
  return -1;
}

int OpenMenu() { return Innermost(vd::Menus()); }
int OpenMessageBox() { return Innermost(vd::MessageBoxes()); }

bool Overlay::Active() const { return OpenMenu() >= 0 || OpenMessageBox() >= 0; }

// A newly opened menu or box starts with nothing pressed or highlighted.
void Overlay::FollowRecords() {
  int menu = OpenMenu(), box = OpenMessageBox();
  if (menu != menu_) {
    menu_ = menu;
    hover_ = -1;
    pressedInMenu_ = false;
  }
  if (box != box_) {
    box_ = box;
    pressedOk_ = false;
  }
}

std::vector<MenuItemView> Overlay::CurrentMenu() const {
  if (menu_ < 0) return {};
  const vd::MenuRecord &m = vd::Menus()[size_t(menu_)];
  return LayOutMenu(m.rect, vd::MenuItems(m.menu));
}

void Overlay::DrawMenu(Canvas &canvas) {
  const vd::MenuRecord &m = vd::Menus()[size_t(menu_)];
  RaisedBox(canvas, m.rect);
  std::vector<MenuItemView> items = CurrentMenu();
  for (size_t i = 0; i < items.size(); ++i) {
    const MenuItemView &item = items[i];
    const RECT &r = item.rect;
    if (item.separator) {
      int mid = (r.top + r.bottom) / 2;
      canvas.Fill(r.left + 1, mid - 1, r.right - 1, mid, kShadow);
      canvas.Fill(r.left + 1, mid, r.right - 1, mid + 1, kLight);
      continue;
    }
    bool lit = int(i) == hover_;
    if (lit) canvas.Fill(r.left, r.top, r.right, r.bottom, kHighlight);
    uint32_t colour = lit ? kHighlightText : (item.command ? kText : kShadow);
    int x = r.left + kMenuTextLeft, y = r.top + (kMenuRow - text_.LineHeight()) / 2;
    text_.Draw(canvas, x, y, item.label, colour);
    if (item.mnemonic >= 0) {
      int ux = x + text_.Width(item.label.substr(0, size_t(item.mnemonic)));
      int uw = text_.Width(item.label.substr(size_t(item.mnemonic), 1));
      int uy = y + text_.Ascent() + 1;
      canvas.Fill(ux, uy, ux + uw, uy + 1, colour);
    }
  }
}

void Overlay::DrawMessageBox(Canvas &canvas) {
  const vd::MessageBoxRecord &record = vd::MessageBoxes()[size_t(box_)];
  MessageBoxView v = LayOutMessageBox(record, canvas.width, canvas.height, text_);
  RaisedBox(canvas, v.box);
  canvas.Fill(v.caption.left, v.caption.top, v.caption.right, v.caption.bottom, kHighlight);
  text_.Draw(canvas, v.caption.left + 4, v.caption.top + (kCaptionHeight - text_.LineHeight()) / 2, record.caption,
             kHighlightText);
  int y = v.caption.bottom + kBoxPadding;
  for (const std::string &line : v.lines) {
    text_.Draw(canvas, v.box.left + kBoxPadding, y, line, kText);
    y += text_.LineHeight();
  }
  RaisedBox(canvas, v.ok, pressedOk_);
  int w = text_.Width("OK");
  text_.Draw(canvas, v.ok.left + (kButtonWidth - w) / 2, v.ok.top + (kButtonHeight - text_.LineHeight()) / 2, "OK",
             kText);
}

void Overlay::Compose(const uint32_t *screen, int width, int height, std::vector<uint32_t> *out) {
  FollowRecords();
  screenWidth_ = width;
  screenHeight_ = height;
  out->assign(screen, screen + size_t(width) * height);
  Canvas canvas{out->data(), width, height};
  if (menu_ >= 0) DrawMenu(canvas);
  if (box_ >= 0) DrawMessageBox(canvas);
}

bool Overlay::MouseDown(int x, int y) {
  FollowRecords();
  if (box_ >= 0) {
    MessageBoxView v = LayOutMessageBox(vd::MessageBoxes()[size_t(box_)], screenWidth_, screenHeight_, text_);
    pressedOk_ = Inside(v.ok, x, y);
    return true;
  }
  if (menu_ >= 0) {
    const vd::MenuRecord &m = vd::Menus()[size_t(menu_)];
    if (Inside(m.rect, x, y))
      pressedInMenu_ = true;
    else
      Choose(0);
    return true;
  }
  return false;
}

bool Overlay::MouseUp(int x, int y) {
  FollowRecords();
  if (box_ >= 0) {
    MessageBoxView v = LayOutMessageBox(vd::MessageBoxes()[size_t(box_)], screenWidth_, screenHeight_, text_);
    if (pressedOk_ && Inside(v.ok, x, y)) Answer(IDOK);
    pressedOk_ = false;
    return true;
  }
  if (menu_ >= 0) {
    // The release of the click that opened the menu chooses nothing.
    if (pressedInMenu_) {
      int item = MenuItemAt(CurrentMenu(), x, y);
      if (item >= 0) Choose(CurrentMenu()[size_t(item)].command);
    }
    pressedInMenu_ = false;
    return true;
  }
  return false;
}

bool Overlay::MouseMove(int x, int y) {
  FollowRecords();
  if (menu_ >= 0) hover_ = MenuItemAt(CurrentMenu(), x, y);
  return box_ >= 0 || menu_ >= 0;
}

bool Overlay::KeyDown(int vk) {
  FollowRecords();
  if (box_ >= 0) {
    if (vk == VK_RETURN || vk == VK_SPACE || vk == VK_ESCAPE) Answer(IDOK);
    return true;
  }
  if (menu_ < 0) return false;
  std::vector<MenuItemView> items = CurrentMenu();
  auto selectable = [&](int i) { return !items[size_t(i)].separator && items[size_t(i)].command != 0; };
  int n = int(items.size());
  if (vk == VK_ESCAPE) {
    Choose(0);
  } else if (vk == VK_RETURN) {
    if (hover_ >= 0 && hover_ < n) Choose(items[size_t(hover_)].command);
  } else if ((vk == VK_DOWN || vk == VK_UP) && n > 0) {
    int step = vk == VK_DOWN ? 1 : -1;
    int i = hover_ >= 0 ? hover_ : (step > 0 ? -1 : n);
    for (int tries = 0; tries < n; ++tries) {
      i = (i + step + n) % n;
      if (selectable(i)) {
        hover_ = i;
        break;
      }
    }
  } else {
    // A letter picks the item it underlines.
    for (int i = 0; i < n; ++i) {
      const MenuItemView &item = items[size_t(i)];
      if (selectable(i) && item.mnemonic >= 0 && std::toupper(static_cast<unsigned char>(item.label[size_t(item.mnemonic)])) == vk) {
        Choose(item.command);
        break;
      }
    }
  }
  return true;
}

}  // namespace live
