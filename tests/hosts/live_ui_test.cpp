// The live host's own part: keys mapped to virtual keys, and the popup menu and
// message box it draws over the desktop and answers from the mouse and keyboard.
#if __has_include("overlay.h")
#include <SDL_keycode.h>
#include <gtest/gtest.h>

#include "keymap.h"
#include "overlay.h"
#include "resource.h"
#include "support/program_run.h"
#include "text.h"
#include "vdesktop.h"

namespace {

TEST(LiveKeys, SdlKeysMapToTheirVirtualKeys) {
  EXPECT_EQ(live::VirtualKeyFor(SDLK_a), 'A');
  EXPECT_EQ(live::VirtualKeyFor(SDLK_z), 'Z');
  EXPECT_EQ(live::VirtualKeyFor(SDLK_0), '0');
  EXPECT_EQ(live::VirtualKeyFor(SDLK_9), '9');
  EXPECT_EQ(live::VirtualKeyFor(SDLK_KP_0), '0');
  EXPECT_EQ(live::VirtualKeyFor(SDLK_KP_7), '7');
  EXPECT_EQ(live::VirtualKeyFor(SDLK_TAB), VK_TAB);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_RETURN), VK_RETURN);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_KP_ENTER), VK_RETURN);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_ESCAPE), VK_ESCAPE);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_BACKSPACE), VK_BACK);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_LEFT), VK_LEFT);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_UP), VK_UP);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_RIGHT), VK_RIGHT);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_DOWN), VK_DOWN);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_LALT), VK_MENU);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_RALT), VK_MENU);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_LSHIFT), VK_SHIFT);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_F1), VK_F1);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_MINUS), 0xBD);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_CAPSLOCK), 0);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_PRINTSCREEN), 0);
}

TEST(LiveMenu, ItemsSitInRowsOf19BelowA3PixelMarginWithTheMnemonicUnderlined) {
  RECT menu{949, 700, 1024, 768};
  auto items = live::LayOutMenu(menu, {{105, "E&xit"}, {0, ""}, {7, "Fish && &Chips"}});
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].label, "Exit");
  EXPECT_EQ(items[0].mnemonic, 1);
  EXPECT_EQ(items[0].rect.left, 952);
  EXPECT_EQ(items[0].rect.top, 703);
  EXPECT_EQ(items[0].rect.right, 1021);
  EXPECT_EQ(items[0].rect.bottom, 722);
  EXPECT_TRUE(items[1].separator);
  EXPECT_EQ(items[2].label, "Fish & Chips");
  EXPECT_EQ(items[2].mnemonic, 7);
  EXPECT_EQ(items[2].rect.top, 741);
  EXPECT_EQ(live::MenuItemAt(items, 960, 710), 0);
  EXPECT_EQ(live::MenuItemAt(items, 960, 730), -1) << "a separator is not chosen";
  EXPECT_EQ(live::MenuItemAt(items, 960, 745), 2);
  EXPECT_EQ(live::MenuItemAt(items, 950, 710), -1) << "the margin is no item";
}

class LiveOverlay : public ::testing::Test {
 protected:
  void SetUp() override {
    vd::Config config;
    config.registryPath = dir.path() + "/registry.hkcu";
    vd::Reset(config);
  }
  HMENU TrayMenu() { return GetSubMenu(LoadMenuA(vd::ModuleInstance(), MAKEINTRESOURCEA(IDM_TRAY)), 0); }
  std::vector<uint32_t> Compose() {
    std::vector<uint32_t> out;
    overlay.Compose(vd::Framebuffer(), vd::ScreenWidth(), vd::ScreenHeight(), &out);
    return out;
  }
  progtest::TempDir dir;
  live::TextRenderer text;
  live::Overlay overlay{text};
};

TEST_F(LiveOverlay, NothingOpenLeavesTheScreenAndTheInputAlone) {
  vd::PaintPending();
  EXPECT_FALSE(overlay.Active());
  EXPECT_FALSE(overlay.MouseDown(500, 500));
  EXPECT_FALSE(overlay.MouseUp(500, 500));
  EXPECT_FALSE(overlay.KeyDown(VK_ESCAPE));
  std::vector<uint32_t> out = Compose();
  EXPECT_TRUE(std::equal(out.begin(), out.end(), vd::Framebuffer()));
}

TEST_F(LiveOverlay, ClickOnTheMenusItemChoosesItButTheReleaseThatOpenedItDoesNot) {
  RECT rect{};
  bool drawn = false, openAfterStrayRelease = false;
  vd::At(10, [&] {
    rect = vd::Menus().back().rect;
    std::vector<uint32_t> out = Compose();
    drawn = out[size_t(rect.top + 1) * vd::ScreenWidth() + rect.left + 10] != vd::Pixel(rect.left + 10, rect.top + 1);
    int x = (rect.left + rect.right) / 2, y = rect.top + 10;
    EXPECT_TRUE(overlay.MouseUp(x, y));  // the right button let go after the menu opened
    openAfterStrayRelease = vd::MenuOpen();
    EXPECT_TRUE(overlay.MouseDown(x, y));
    EXPECT_TRUE(overlay.MouseUp(x, y));
  });
  UINT command = UINT(TrackPopupMenu(TrayMenu(), TPM_RETURNCMD, 600, 400, 0, nullptr, nullptr));
  EXPECT_EQ(rect.left, 600);
  EXPECT_EQ(rect.top, 400);
  EXPECT_TRUE(drawn);
  EXPECT_TRUE(openAfterStrayRelease);
  EXPECT_EQ(command, UINT(IDM_EXIT));
  EXPECT_FALSE(overlay.Active());
}

TEST_F(LiveOverlay, ClickOutsideTheMenuDismissesIt) {
  vd::At(10, [&] { EXPECT_TRUE(overlay.MouseDown(100, 100)); });
  UINT command = UINT(TrackPopupMenu(TrayMenu(), TPM_RETURNCMD, 600, 400, 0, nullptr, nullptr));
  EXPECT_EQ(command, 0u);
  EXPECT_FALSE(vd::MenuOpen());
  EXPECT_TRUE(vd::Menus().empty()) << "as in the live host, no record outlives its menu";
}

TEST_F(LiveOverlay, KeysWorkTheMenuDownArrowThenEnterOrItsMnemonic) {
  vd::At(10, [&] {
    overlay.KeyDown(VK_DOWN);
    overlay.KeyDown(VK_RETURN);
  });
  EXPECT_EQ(UINT(TrackPopupMenu(TrayMenu(), TPM_RETURNCMD, 600, 400, 0, nullptr, nullptr)), UINT(IDM_EXIT));
  vd::At(vd::Now() + 10, [&] { overlay.KeyDown('X'); });
  EXPECT_EQ(UINT(TrackPopupMenu(TrayMenu(), TPM_RETURNCMD, 600, 400, 0, nullptr, nullptr)), UINT(IDM_EXIT));
  vd::At(vd::Now() + 10, [&] { overlay.KeyDown(VK_ESCAPE); });
  EXPECT_EQ(UINT(TrackPopupMenu(TrayMenu(), TPM_RETURNCMD, 600, 400, 0, nullptr, nullptr)), 0u);
}

TEST_F(LiveOverlay, MessageBoxIsDrawnCentredAndItsOkButtonAnswersIt) {
  live::MessageBoxView view{};
  bool openAfterMiss = false;
  uint32_t captionPixel = 0;
  vd::At(10, [&] {
    view = live::LayOutMessageBox(vd::MessageBoxes().back(), 1024, 768, text);
    std::vector<uint32_t> out = Compose();
    captionPixel = out[size_t(view.caption.top + 2) * 1024 + view.caption.right - 3];
    // A press on the text and a release on the button is no click on the button.
    overlay.MouseDown(view.box.left + 20, view.caption.bottom + 20);
    overlay.MouseUp(view.ok.left + 5, view.ok.top + 5);
    openAfterMiss = vd::MessageBoxOpen();
    EXPECT_TRUE(overlay.MouseDown(view.ok.left + 5, view.ok.top + 5));
    EXPECT_TRUE(overlay.MouseUp(view.ok.left + 5, view.ok.top + 5));
  });
  int answer = MessageBoxA(nullptr, "First line\nSecond line", "Caption", MB_OK);
  EXPECT_EQ(answer, IDOK);
  EXPECT_TRUE(openAfterMiss);
  EXPECT_EQ(captionPixel, 0x000080u);
  EXPECT_EQ(view.lines, (std::vector<std::string>{"First line", "Second line"}));
  EXPECT_NEAR(view.box.left + view.box.right, 1024, 1) << "centred across";
  EXPECT_NEAR(view.box.top + view.box.bottom, 768, 1) << "and down";
  EXPECT_GT(view.ok.top, view.caption.bottom);
}

TEST_F(LiveOverlay, EnterAnswersTheMessageBox) {
  vd::At(10, [&] { EXPECT_TRUE(overlay.KeyDown(VK_RETURN)); });
  EXPECT_EQ(MessageBoxA(nullptr, "Text", "Caption", MB_OK), IDOK);
}

}  // namespace
#endif
