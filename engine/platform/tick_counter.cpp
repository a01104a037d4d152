// The millisecond tick counter: CLOCK_MONOTONIC cut to 32 bits, so it wraps
// every 49.7 days exactly as the engine's timers expect. A test may install
// its own source to drive time by hand.
#include "engine/platform/tick_counter.h"

#include <time.h>

#include <mutex>

namespace norvane {
namespace {

std::mutex sourceLock;
std::function<uint32_t()> tickSource;  // empty: the system clock

uint32_t SystemTicks() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  // Unsigned arithmetic keeps the low 32 bits, which is the wrap we want.
  const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u +
                      static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

}  // namespace

uint32_t GetTickCount() {
  std::function<uint32_t()> source;
  {
    // Copied out so the source runs unlocked and may itself read the counter.
    std::lock_guard<std::mutex> guard(sourceLock);
    source = tickSource;
  }
  return source ? source() : SystemTicks();
}

void SetTickSource(std::function<uint32_t()> source) {
  std::lock_guard<std::mutex> guard(sourceLock);
  tickSource = std::move(source);
}

}  // namespace norvane
