// A tick counter that leaps 300 ms (or `step`) at every reading, so each
// password check ends after its first round (or `256 / step` rounds) instead
// of spending 256 ms of real time. The system counter comes back when the
// object goes.
#pragma once

#include <cstdint>

#include "engine/platform/tick_counter.h"

namespace norvane::testing {

class TFastClock {
 public:
  explicit TFastClock(uint32_t step = 300) {
    SetTickSource([this, step] { return ticks_ += step; });
  }
  ~TFastClock() { SetTickSource({}); }
  TFastClock(const TFastClock&) = delete;
  TFastClock& operator=(const TFastClock&) = delete;

 private:
  uint32_t ticks_ = 0;
};

}  // namespace norvane::testing
