// A stored settings value can hold any integers in its 24 fields. Seeded
// random values of the right version, with the extremes of a 32-bit integer
// in every field, each run by the whole program for a few virtual seconds with
// a window moving: the program starts, animates and keeps running, and (under
// the sanitizers of CI) does nothing undefined on the way.
#include <climits>
#include <cstring>
#include <random>

#include "geometry/geometry.h"
#include "sim/sim.h"
#include "render/render.h"
#include "support/program_run.h"

namespace {

constexpr int kShards = 4;            // run side by side by CTest
constexpr int kValuesPerShard = 70;
constexpr uint64_t kRunMs = 1500;

// Absurd or ordinary, one field at a time.
LONG FieldValue(std::mt19937 &rng) {
  static const LONG extremes[] = {INT_MIN, INT_MIN + 1, INT_MAX, INT_MAX - 1, -1, 0, 1, 2, 3,
                                  1 << 30, -(1 << 30), 1 << 24, 100000, -100000, 9, 11};
  switch (rng() % 4) {
    case 0:
    case 1:
      return extremes[rng() % (sizeof extremes / sizeof extremes[0])];
    case 2:
      return LONG(rng());  // any 32-bit pattern
    default:
      return LONG(rng() % 200) - 20;  // small, mostly sensible
  }
}

class StoredFuzzTest : public progtest::ProgramTest, public ::testing::WithParamInterface<int> {};

TEST_P(StoredFuzzTest, AnyIntegersInTheStoredFieldsStartAndRunWithoutHarm) {
  std::mt19937 rng(20240611 + GetParam());
  for (int n = 0; n < kValuesPerShard; ++n) {
    BYTE value[STORED_SETTINGS_SIZE];
    for (BYTE &b : value) b = BYTE(rng());
    std::memcpy(value + STORED_VERSION_OFFSET, SETTINGS_VERSION, sizeof SETTINGS_VERSION);
    LONG fields[SETTINGS_FIELD_COUNT];
    for (int i = 0; i < SETTINGS_FIELD_COUNT; ++i) {
      fields[i] = FieldValue(rng);
      DWORD u = DWORD(fields[i]);
      for (int k = 0; k < 4; ++k) value[STORED_FIELDS_OFFSET + 4 * i + k] = BYTE(u >> (8 * k));
    }
    ResetDesktop(32);
    StoreValue(value, sizeof value);
    HWND window = vd::CreateAppWindow("Editor", RECT{150, 300, 550, 600});
    vd::At(kRunMs / 2 + 7, [window] { vd::MoveAppWindow(window, 400, 200); });
    vd::At(kRunMs / 2 + 507, [] { vd::SetHtmlView(true); });
    int code = Run(kRunMs);
    std::string fieldList;
    for (LONG f : fields) fieldList += std::to_string(f) + " ";
    ASSERT_EQ(code, vd::kTimeUpExitCode) << "value " << n << ": " << fieldList;
    // Every field as stored, apart from what the model cannot hold.
    // (A negative tick period, which would stop the animation for good, runs at the fastest step.)
    ASSERT_EQ(Settings.tickInterval, fields[14] < 0 ? 0 : fields[14]) << "value " << n;
    ASSERT_EQ(Settings.branchX, fields[23]) << "value " << n;
    ASSERT_GE(Settings.flowersPerBranch, 0);
    ASSERT_LE(Settings.flowersPerBranch, FLOWER_SLOTS);
    // At most a context a modal loop holds, beside those the sprite work keeps for the run.
    ASSERT_LE(vd::LiveDCs(), 1 + KEPT_SPRITE_DCS) << "value " << n;
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, StoredFuzzTest, ::testing::Range(0, kShards));

}  // namespace
