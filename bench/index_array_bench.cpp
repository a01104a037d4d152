// One index's order in memory: inserts at seeded random positions and appends
// of up to a million entries, and random reads, in the chunked index array and
// in a flat vector (random inserts into the vector only up to a hundred
// thousand: each moves the whole tail). Figures are also given per operation.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <type_traits>
#include <vector>

#include "engine/tables/index_array.h"

namespace norvane {
namespace {

using TVector = std::vector<int32_t>;

constexpr uint32_t kSeed = 20261209;
// Reads timed per iteration by the random-read benchmark.
constexpr int32_t kReads = 100000;

void InsertAt(TaaIntArray& array, size_t position, int32_t value) { array.Insert(position, value); }
void InsertAt(std::vector<int32_t>& array, size_t position, int32_t value) {
  array.insert(array.begin() + static_cast<std::ptrdiff_t>(position), value);
}
int32_t ReadAt(const TaaIntArray& array, size_t position) { return array.At(position); }
int32_t ReadAt(const std::vector<int32_t>& array, size_t position) { return array[position]; }

void PerOperation(benchmark::State& state, int64_t perIteration) {
  state.SetItemsProcessed(state.iterations() * perIteration);
  state.counters["per_op"] = benchmark::Counter(
      static_cast<double>(perIteration),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// N = range(0) entries, each inserted at a random position of what is there.
template <class TArray>
TArray FilledAtRandom(size_t count, std::mt19937& rng) {
  TArray array;
  for (size_t i = 0; i < count; ++i) {
    InsertAt(array, rng() % (i + 1), static_cast<int32_t>(i));
  }
  return array;
}

template <class TArray>
void BM_RandomInsert(benchmark::State& state) {
  const auto count = static_cast<size_t>(state.range(0));
  std::mt19937 rng(kSeed);
  for (auto _ : state) benchmark::DoNotOptimize(FilledAtRandom<TArray>(count, rng));
  PerOperation(state, state.range(0));
}

template <class TArray>
void BM_Append(benchmark::State& state) {
  const auto count = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    TArray array;
    for (size_t i = 0; i < count; ++i) InsertAt(array, i, static_cast<int32_t>(i));
    benchmark::DoNotOptimize(array);
  }
  PerOperation(state, state.range(0));
}

// Random reads of an array of N entries built by random inserts, so that its
// chunks are filled unevenly as an index's are after a while of changes (the
// vector is given the same entries whole).
template <class TArray>
void BM_RandomAt(benchmark::State& state) {
  const auto count = static_cast<size_t>(state.range(0));
  std::mt19937 rng(kSeed);
  const TaaIntArray chunked = FilledAtRandom<TaaIntArray>(count, rng);
  TArray array;
  if constexpr (std::is_same_v<TArray, TaaIntArray>) {
    array = chunked;
  } else {
    array = chunked.Flatten();
  }
  for (auto _ : state) {
    for (int32_t i = 0; i < kReads; ++i) benchmark::DoNotOptimize(ReadAt(array, rng() % count));
  }
  PerOperation(state, kReads);
}

BENCHMARK_TEMPLATE(BM_RandomInsert, TaaIntArray)
    ->ArgName("entries")
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(4000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_RandomInsert, TVector)->ArgName("entries")->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Append, TaaIntArray)->ArgName("entries")->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Append, TVector)->ArgName("entries")->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_RandomAt, TaaIntArray)->ArgName("entries")->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_RandomAt, TVector)->ArgName("entries")->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace norvane

BENCHMARK_MAIN();
