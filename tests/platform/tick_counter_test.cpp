// Tests of the millisecond tick counter: an injected source replaces the
// clock and can be removed again, and the real counter is CLOCK_MONOTONIC in
// milliseconds, never running backwards.
#include "engine/platform/tick_counter.h"

#include <gtest/gtest.h>
#include <time.h>

#include <cstdint>

namespace norvane {
namespace {

uint64_t MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

class TickCounterTest : public ::testing::Test {
 protected:
  // A failed assertion must not leave a fake clock behind for later tests.
  void TearDown() override { SetTickSource({}); }
};

TEST_F(TickCounterTest, InjectedSourceIsUsedThenRestored) {
  uint32_t fake = 0xFFFFFFFEu;
  SetTickSource([&fake] { return fake++; });
  // Values pass through untouched, including the wrap to zero.
  EXPECT_EQ(GetTickCount(), 0xFFFFFFFEu);
  EXPECT_EQ(GetTickCount(), 0xFFFFFFFFu);
  EXPECT_EQ(GetTickCount(), 0u);
  EXPECT_EQ(fake, 1u);

  SetTickSource({});
  const uint32_t before = static_cast<uint32_t>(MonotonicMs());
  const uint32_t ticks = GetTickCount();
  const uint32_t after = static_cast<uint32_t>(MonotonicMs());
  EXPECT_EQ(fake, 1u) << "the fake source was still called";
  // Differences taken modulo 2^32, so a wrap between the reads is harmless.
  EXPECT_LE(static_cast<uint32_t>(ticks - before), static_cast<uint32_t>(after - before))
      << "ticks " << ticks << " outside [" << before << ", " << after << "]";
}

TEST_F(TickCounterTest, RealCounterAdvancesAndNeverGoesBack) {
  // Spins until the counter has moved by 3 ms (a few ms of busy loop, never
  // a sleep), checking every step; the own clock bounds the loop.
  const uint64_t giveUp = MonotonicMs() + 1000;
  const uint32_t start = GetTickCount();
  uint32_t last = start;
  while (static_cast<uint32_t>(last - start) < 3 && MonotonicMs() < giveUp) {
    const uint32_t now = GetTickCount();
    const uint32_t step = now - last;
    ASSERT_LT(step, 0x80000000u) << "counter went back from " << last << " to " << now;
    ASSERT_LT(step, 100u) << "counter jumped from " << last << " to " << now;
    last = now;
  }
  EXPECT_GE(static_cast<uint32_t>(last - start), 3u) << "counter did not advance";
}

}  // namespace
}  // namespace norvane
