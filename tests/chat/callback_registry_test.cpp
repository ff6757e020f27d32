// CallbackRegistry on its own: key order (the pointer widened with sign, so a pointer with the
// top bit set sorts before every other), and what closing and removing do to a walk.
#include "callback_registry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kuvochat {
namespace {

struct Callback {};

Callback* At(uintptr_t address) {
  return reinterpret_cast<Callback*>(address);
}

std::vector<Callback*> Walk(CallbackRegistry<Callback>& registry) {
  std::vector<Callback*> seen;
  registry.ForEach([&](Callback* c) { seen.push_back(c); });
  return seen;
}

TEST(CallbackRegistryTest, PointersWithTheTopBitSetSortFirstAndNullIsSkipped) {
  CallbackRegistry<Callback> registry;
  Callback* low = At(0x1000);
  Callback* mid = At(UINTPTR_MAX >> 1);        // the largest value without the top bit
  Callback* high = At(~uintptr_t{0} - 0xFFF);  // top bit set: a negative key
  Callback* top = At(uintptr_t{1} << (sizeof(uintptr_t) * 8 - 1));
  for (Callback* c : {mid, low, high, top, static_cast<Callback*>(nullptr), low}) registry.Add(c);
  EXPECT_EQ(Walk(registry), (std::vector<Callback*>{top, high, low, mid}));
  const auto keys = registry.Snapshot();
  ASSERT_EQ(keys.size(), 5u);
  EXPECT_EQ(keys.begin()->first,
            static_cast<int64_t>(static_cast<intptr_t>(reinterpret_cast<uintptr_t>(top))));
  EXPECT_LT(keys.begin()->first, 0);
}

TEST(CallbackRegistryTest, ARemovalDuringAWalkSkipsTheRemovedAndClosingEndsIt) {
  CallbackRegistry<Callback> registry;
  Callback* a = At(0x10);
  Callback* b = At(0x20);
  Callback* c = At(0x30);
  for (Callback* x : {a, b, c}) registry.Add(x);
  std::vector<Callback*> seen;
  registry.ForEach([&](Callback* x) {
    seen.push_back(x);
    if (x == a) registry.Remove(b);  // from inside a call: returns at once
  });
  EXPECT_EQ(seen, (std::vector<Callback*>{a, c}));

  seen.clear();
  registry.ForEach([&](Callback* x) {
    seen.push_back(x);
    registry.Close();
  });
  EXPECT_EQ(seen, std::vector<Callback*>{a});
  registry.Add(b);
  EXPECT_TRUE(Walk(registry).empty()) << "closed for good";
}

}  // namespace
}  // namespace kuvochat
