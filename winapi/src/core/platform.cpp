#include "core/platform.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <thread>

namespace vd {
namespace {

struct Scheduled {
  uint64_t time;
  uint64_t seq;
  bool operator<(const Scheduled &o) const { return time != o.time ? time < o.time : seq < o.seq; }
};

struct ClockState {
  bool virtualTime = true;
  uint64_t now = 0;
  uint64_t stopAt = UINT64_MAX;
  uint64_t seq = 0;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  std::map<Scheduled, std::function<void()>> callbacks;
  std::function<void(int)> idleHook;
};

ClockState &Clock() {
  static ClockState clock;
  return clock;
}

Screen &ScreenState() {
  static Screen screen;
  return screen;
}

// The screen drawn on since a host last took it.
struct Damage {
  Damage() { pixman_region32_init(&region); }
  ~Damage() { pixman_region32_fini(&region); }
  pixman_region32_t region;
};

Damage &ScreenDamage() {
  static Damage damage;
  return damage;
}

Config &ConfigState() {
  static Config config;
  return config;
}

std::vector<std::pair<int, void (*)()>> &ResetHooks() {
  static std::vector<std::pair<int, void (*)()>> hooks;
  return hooks;
}

void UpdateRealNow() {
  ClockState &c = Clock();
  if (c.virtualTime) return;
  auto elapsed = std::chrono::steady_clock::now() - c.start;
  c.now = uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

}  // namespace

ResetHook::ResetHook(int order, void (*fn)()) { ResetHooks().emplace_back(order, fn); }

Screen &TheScreen() { return ScreenState(); }

namespace {

// Nobody may take the damage for a long while (the recorder never does): past
// a few hundred rectangles it becomes its bounding box, which covers it, so
// that adding to it stays cheap.
constexpr int kMaxDamageRects = 256;

void KeepDamageSimple(pixman_region32_t *r) {
  if (pixman_region32_n_rects(r) <= kMaxDamageRects) return;
  pixman_box32_t box = *pixman_region32_extents(r);
  pixman_region32_fini(r);
  pixman_region32_init_rect(r, box.x1, box.y1, unsigned(box.x2 - box.x1), unsigned(box.y2 - box.y1));
}

}  // namespace

void DamageScreen(int x1, int y1, int x2, int y2) {
  const Screen &s = ScreenState();
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, s.width);
  y2 = std::min(y2, s.height);
  if (x1 >= x2 || y1 >= y2) return;
  pixman_region32_t *r = &ScreenDamage().region;
  // Most drawing lands where something was already drawn this frame (a petal on
  // its saved background): no need to grow the region then.
  pixman_box32_t box{x1, y1, x2, y2};
  if (pixman_region32_contains_rectangle(r, &box) == PIXMAN_REGION_IN) return;
  pixman_region32_union_rect(r, r, x1, y1, unsigned(x2 - x1), unsigned(y2 - y1));
  KeepDamageSimple(r);
}

void DamageScreen(const pixman_region32_t *region) {
  pixman_region32_t *r = &ScreenDamage().region;
  pixman_region32_union(r, r, const_cast<pixman_region32_t *>(region));
  pixman_region32_intersect_rect(r, r, 0, 0, unsigned(ScreenState().width), unsigned(ScreenState().height));
  KeepDamageSimple(r);
}
const Config &CurrentConfig() { return ConfigState(); }

Observations &Observed() {
  static Observations observations;
  return observations;
}

uint64_t ClockNow() {
  UpdateRealNow();
  return Clock().now;
}

uint64_t NextCallbackTime() {
  ClockState &c = Clock();
  return c.callbacks.empty() ? UINT64_MAX : c.callbacks.begin()->first.time;
}

bool TimeIsUp() { return ClockNow() >= Clock().stopAt; }

void ClockWaitUntil(uint64_t until) {
  ClockState &c = Clock();
  until = std::min({until, NextCallbackTime(), c.stopAt});
  if (c.virtualTime) {
    if (until != UINT64_MAX && until > c.now) c.now = until;
    return;
  }
  UpdateRealNow();
  if (until <= c.now) return;
  // Wake at least every 100 ms so a host can present frames and read input.
  int ms = int(std::min<uint64_t>(until - c.now, 100));
  if (c.idleHook) {
    c.idleHook(ms);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
  UpdateRealNow();
}

bool RunDueCallbacks() {
  ClockState &c = Clock();
  bool ran = false;
  while (!c.callbacks.empty() && c.callbacks.begin()->first.time <= ClockNow()) {
    auto node = c.callbacks.extract(c.callbacks.begin());
    node.mapped()();
    ran = true;
  }
  return ran;
}

void Reset(const Config &config) {
  ConfigState() = config;
  ClockState &c = Clock();
  c.virtualTime = config.virtualTime;
  c.now = 0;
  c.stopAt = UINT64_MAX;
  c.callbacks.clear();
  c.idleHook = nullptr;
  c.start = std::chrono::steady_clock::now();
  Screen &s = ScreenState();
  s.width = std::max(config.width, 64);
  s.height = std::max(config.height, 64);
  s.bitsPerPixel = config.bitsPerPixel;
  s.pixels.assign(size_t(s.width) * s.height, 0);
  pixman_region32_fini(&ScreenDamage().region);
  pixman_region32_init_rect(&ScreenDamage().region, 0, 0, unsigned(s.width), unsigned(s.height));
  Observed() = Observations();
  Observed().recording = config.recordObservations;
  auto hooks = ResetHooks();
  std::stable_sort(hooks.begin(), hooks.end(), [](auto &a, auto &b) { return a.first < b.first; });
  for (auto &hook : hooks) hook.second();
}

uint64_t Now() { return ClockNow(); }

void At(uint64_t ms, std::function<void()> fn) {
  ClockState &c = Clock();
  c.callbacks.emplace(Scheduled{ms, c.seq++}, std::move(fn));
}

namespace {
void RunEvery(std::shared_ptr<std::function<void()>> fn, uint64_t period, uint64_t t) {
  (*fn)();
  At(t + period, [fn, period, t] { RunEvery(fn, period, t + period); });
}
}  // namespace

void Every(uint64_t first, uint64_t period, std::function<void()> fn) {
  if (period == 0) period = 1;
  auto shared = std::make_shared<std::function<void()>>(std::move(fn));
  At(first, [shared, period, first] { RunEvery(shared, period, first); });
}

void StopAt(uint64_t ms) { Clock().stopAt = ms; }

void SetIdleHook(std::function<void(int)> hook) { Clock().idleHook = std::move(hook); }

const std::vector<BeepRecord> &Beeps() { return Observed().beeps; }
const std::vector<MessageBoxRecord> &MessageBoxes() { return Observed().messageBoxes; }
const std::vector<MenuRecord> &Menus() { return Observed().menus; }
const std::vector<RepaintRecord> &Repaints() { return Observed().repaints; }
int ScreenRepaints() { return Observed().screenRepaints; }
void RecordObservations(bool on) { Observed().recording = on; }
bool RecordingObservations() { return Observed().recording; }

void ClearRecords() {
  Observations &o = Observed();
  o.beeps.clear();
  o.repaints.clear();
  o.screenRepaints = 0;
  // A box or menu answered but whose modal loop has not yet returned keeps its
  // record too: the loop reads the answer there.
  auto clearClosed = [&o](auto &records) {
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [&o](const auto &r) {
                                   return !r.open && std::find(o.modalLoops.begin(), o.modalLoops.end(),
                                                               r.serial) == o.modalLoops.end();
                                 }),
                  records.end());
  };
  clearClosed(o.messageBoxes);
  clearClosed(o.menus);
}

const uint32_t *Framebuffer() { return ScreenState().pixels.data(); }

bool ScreenDamaged() { return pixman_region32_not_empty(&ScreenDamage().region); }

void TakeScreenDamage(std::vector<RECT> *rects) {
  rects->clear();
  pixman_region32_t *r = &ScreenDamage().region;
  int n = 0;
  const pixman_box32_t *boxes = pixman_region32_rectangles(r, &n);
  for (int i = 0; i < n; ++i) rects->push_back(RECT{boxes[i].x1, boxes[i].y1, boxes[i].x2, boxes[i].y2});
  pixman_region32_clear(r);
}
int ScreenWidth() { return ScreenState().width; }
int ScreenHeight() { return ScreenState().height; }
uint32_t Pixel(int x, int y) {
  Screen &s = ScreenState();
  if (x < 0 || y < 0 || x >= s.width || y >= s.height) return 0;
  return s.pixels[size_t(y) * s.width + x];
}

}  // namespace vd

namespace vd {
HINSTANCE ModuleInstance() { return GetModuleHandleA(nullptr); }
}  // namespace vd
