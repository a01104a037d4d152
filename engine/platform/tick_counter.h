// A millisecond tick counter that wraps modulo 2^32, as the engine's delays
// and timers expect. Tests may put their own source in its place.
#pragma once

#include <cstdint>
#include <functional>

namespace norvane {

uint32_t GetTickCount();
// Replaces the counter's source; an empty function restores the system clock.
void SetTickSource(std::function<uint32_t()> source);

}  // namespace norvane
