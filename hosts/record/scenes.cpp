#include "scenes.h"

#include <memory>

#include "vdesktop.h"

namespace rec {
namespace {

// Three windows under the branch, which hangs from the top left: one to move,
// one that stays, one to close and reopen. They overlap, so piles form on
// covered and uncovered edges alike.
const std::vector<SceneWindow> &ThreeWindows() {
  static const std::vector<SceneWindow> windows = {
      {"Notes", RECT{60, 330, 340, 530}},
      {"Mail", RECT{300, 430, 680, 690}},
      {"Calendar", RECT{250, 190, 510, 360}},
  };
  return windows;
}

// Where the moving window goes next, in turn (its top left corner).
const POINT kNotesPlaces[] = {{190, 300}, {20, 260}, {130, 380}, {60, 330}};
constexpr int kNotesPlaceCount = int(sizeof kNotesPlaces / sizeof kNotesPlaces[0]);

constexpr uint64_t kCloseFirstMs = 6000 + kSceneOffsetMs;
constexpr uint64_t kClosedForMs = 4000;
constexpr uint64_t kCloseCycleMs = 12000;

struct DefaultSceneState {
  HWND notes = nullptr;
  HWND calendar = nullptr;
  int nextPlace = 0;
};

// Each window has its desktop icon, which opens it again once it is closed.
std::vector<HWND> OpenWindows(const std::vector<SceneWindow> &windows) {
  std::vector<HWND> handles;
  for (const SceneWindow &w : windows) {
    vd::AddDesktopIcon(w.title, w.rect);
    handles.push_back(vd::CreateAppWindow(w.title, w.rect));
  }
  return handles;
}

void SetUpDefault() {
  auto state = std::make_shared<DefaultSceneState>();
  std::vector<HWND> handles = OpenWindows(ThreeWindows());
  state->notes = handles[0];
  state->calendar = handles[2];
  vd::Every(kSceneStepMs + kSceneOffsetMs, kSceneStepMs, [state] {
    POINT p = kNotesPlaces[state->nextPlace];
    state->nextPlace = (state->nextPlace + 1) % kNotesPlaceCount;
    vd::MoveAppWindow(state->notes, p.x, p.y);
  });
  vd::Every(kCloseFirstMs, kCloseCycleMs, [state] {
    vd::CloseAppWindow(state->calendar);
    state->calendar = nullptr;
  });
  vd::Every(kCloseFirstMs + kClosedForMs, kCloseCycleMs, [state] {
    const SceneWindow &w = ThreeWindows()[2];
    state->calendar = vd::CreateAppWindow(w.title, w.rect);
  });
}

void SetUpHtml() {
  OpenWindows(ThreeWindows());
  auto on = std::make_shared<bool>(false);
  vd::Every(kSceneStepMs + kSceneOffsetMs, kSceneStepMs, [on] {
    *on = !*on;
    vd::SetHtmlView(*on);
  });
}

}  // namespace

const std::vector<std::string> &SceneNames() {
  static const std::vector<std::string> names = {"default", "still", "html"};
  return names;
}

std::string JoinedSceneNames() {
  std::string all;
  for (const std::string &s : SceneNames()) all += (all.empty() ? "" : ", ") + s;
  return all;
}

bool KnownScene(const std::string &name) {
  for (const std::string &n : SceneNames())
    if (n == name) return true;
  return false;
}

std::vector<SceneWindow> SceneStartWindows(const std::string &name) {
  if (!KnownScene(name)) return {};
  return ThreeWindows();
}

bool SetUpScene(const std::string &name) {
  if (name == "default") {
    SetUpDefault();
  } else if (name == "still") {
    OpenWindows(ThreeWindows());
  } else if (name == "html") {
    SetUpHtml();
  } else {
    return false;
  }
  return true;
}

}  // namespace rec
