// The recorder's scenes: which application windows stand on the virtual
// desktop, and what happens to them (and to the desktop) while the program runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "windows.h"

namespace rec {

struct SceneWindow {
  std::string title;
  RECT rect;  // window rectangle at the start
};

const std::vector<std::string> &SceneNames();
std::string JoinedSceneNames();  // "a, b, c" for a --help text
bool KnownScene(const std::string &name);

// The windows a scene opens at the start, before anything moves.
std::vector<SceneWindow> SceneStartWindows(const std::string &name);

// On a fresh desktop: opens the scene's windows and schedules its changes.
// The changes fall a few milliseconds after whole seconds, so they never share
// a moment with a frame and each frame shows a fully repainted screen.
bool SetUpScene(const std::string &name);

// The time between two changes of the default and html scenes.
constexpr uint64_t kSceneStepMs = 4000;
constexpr uint64_t kSceneOffsetMs = 7;

}  // namespace rec
