// The tables behind every kind of handle. A program that makes and deletes GDI
// objects on every tick (a thousand a second) would take its handle values out
// of their range within a day and out of 32 bits within two weeks, if they only grew.
#include <gtest/gtest.h>

#include "core/handles.h"

namespace {

TEST(HandleTable, HandlesGoRoundTheirRangeSkippingLiveOnesAndRefuseWhenAllAreLive) {
  vd::HandleTable<int> table(0x100, 0x110);  // room for four
  uintptr_t a = table.Add(std::make_unique<int>(1));
  uintptr_t b = table.Add(std::make_unique<int>(2));
  EXPECT_EQ(a, 0x100u);
  EXPECT_EQ(b, 0x104u);
  ASSERT_TRUE(table.Remove(a));
  // A freed handle is not given again before the range has gone round.
  EXPECT_EQ(table.Add(std::make_unique<int>(3)), 0x108u);
  EXPECT_EQ(table.Add(std::make_unique<int>(4)), 0x10Cu);
  EXPECT_EQ(table.Find(a), nullptr) << "stale until then";
  EXPECT_EQ(table.Add(std::make_unique<int>(5)), 0x100u);  // round again; 0x104 is still live
  EXPECT_EQ(table.Add(std::make_unique<int>(6)), 0u) << "all four live";
  EXPECT_EQ(*table.Find(uintptr_t(0x104)), 2);
  EXPECT_EQ(table.Size(), 4u);
}

}  // namespace
