// The counters every table benchmark reports: the operations an iteration
// times, as a rate and as the time each one takes, so how the cost grows with
// the table reads straight off.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

namespace norvane {

inline void CountOperations(benchmark::State& state, int64_t perIteration) {
  state.SetItemsProcessed(state.iterations() * perIteration);
  state.counters["per_op"] = benchmark::Counter(
      static_cast<double>(perIteration),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace norvane
