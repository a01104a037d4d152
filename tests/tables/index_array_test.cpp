// The chunked index array against a plain vector: random inserts, erases and
// overwrites in phases that grow, shrink and work at either end, from every
// starting size around the chunk size; and partition points with their cost.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <random>
#include <vector>

#include "engine/tables/index_array.h"

namespace norvane {
namespace {

constexpr size_t kC = TaaIntArray::kChunkEntries;

uint32_t Seed() {
  const char* text = std::getenv("NORVANE_TEST_SEED");
  return text != nullptr ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) : 20261209;
}

void ExpectSame(const TaaIntArray& array, const std::vector<int32_t>& model) {
  ASSERT_EQ(array.Size(), model.size());
  EXPECT_EQ(array.Empty(), model.empty());
  ASSERT_EQ(array.Flatten(), model);
  for (size_t i = 0; i < model.size(); ++i) ASSERT_EQ(array.At(i), model[i]) << "position " << i;
  // Runs read in one pass, across chunk borders, as the positions say.
  const size_t n = model.size();
  for (const auto& [from, to] : {std::pair<size_t, size_t>{0, n}, {n / 3, n - n / 4}, {n / 2, n / 2}, {n, n}}) {
    std::vector<int32_t> run;
    array.ForEach(from, to, [&](int32_t value) { run.push_back(value); });
    ASSERT_EQ(run, std::vector<int32_t>(model.begin() + static_cast<std::ptrdiff_t>(from),
                                        model.begin() + static_cast<std::ptrdiff_t>(to)));
  }
}

enum class TWhere { kAnywhere, kFront, kBack };

// One phase of random changes: the weights of insert, erase and overwrite,
// and where in the array they land.
struct TPhase {
  const char* name;
  int steps;
  int insertWeight;
  int eraseWeight;
  int setWeight;
  TWhere where;
};

const TPhase kPhases[] = {
    {"trim the back", 3000, 1, 6, 1, TWhere::kBack},
    {"trim the front", 3000, 1, 6, 1, TWhere::kFront},
    {"grow anywhere", 20000, 7, 2, 1, TWhere::kAnywhere},
    {"grow at the front", 3000, 6, 3, 1, TWhere::kFront},
    {"grow at the back", 4000, 6, 3, 1, TWhere::kBack},
    {"churn anywhere", 4000, 4, 4, 2, TWhere::kAnywhere},
    {"shrink at the front", 3000, 1, 6, 1, TWhere::kFront},
    {"shrink anywhere", 12000, 1, 6, 1, TWhere::kAnywhere},
    {"shrink at the back", 4000, 1, 6, 1, TWhere::kBack},
    {"empty out", 60000, 0, 1, 0, TWhere::kAnywhere},
};

// A position in [0, limit] picked as the phase says; the ends are picked
// exactly often, as they are the chunk boundaries appends and removals hit.
size_t PickPosition(std::mt19937& rng, size_t limit, TWhere where) {
  const size_t nearEnd = std::uniform_int_distribution<size_t>(0, std::min<size_t>(limit, 8))(rng);
  switch (where) {
    case TWhere::kFront:
      return nearEnd;
    case TWhere::kBack:
      return limit - nearEnd;
    case TWhere::kAnywhere:
      break;
  }
  return std::uniform_int_distribution<size_t>(0, limit)(rng);
}

void RunPhase(const TPhase& phase, std::mt19937& rng, TaaIntArray& array,
              std::vector<int32_t>& model) {
  std::discrete_distribution<int> op({static_cast<double>(phase.insertWeight),
                                      static_cast<double>(phase.eraseWeight),
                                      static_cast<double>(phase.setWeight)});
  for (int step = 0; step < phase.steps; ++step) {
    const int kind = op(rng);
    if (kind != 0 && model.empty()) continue;
    const auto value = static_cast<int32_t>(rng());
    const size_t position = PickPosition(rng, kind == 0 ? model.size() : model.size() - 1, phase.where);
    const auto at = model.begin() + static_cast<std::ptrdiff_t>(position);
    if (kind == 0) {
      array.Insert(position, value);
      model.insert(at, value);
    } else if (kind == 1) {
      array.Erase(position);
      model.erase(at);
    } else {
      array.Set(position, value);
      *at = value;
    }
    ASSERT_EQ(array.Size(), model.size());
    if (position < model.size()) {
      ASSERT_EQ(array.At(position), model[position]);
    }
  }
}

std::vector<int32_t> RandomValues(std::mt19937& rng, size_t count) {
  std::vector<int32_t> values(count);
  for (int32_t& value : values) value = static_cast<int32_t>(rng());
  return values;
}

const size_t kStartSizes[] = {0, 1, kC - 1, kC, kC + 1, 5 * kC + 3};

TEST(IndexArrayTest, MatchesAVectorThroughEveryPhaseFromEveryStartingSize) {
  std::mt19937 rng(Seed());
  for (const size_t startSize : kStartSizes) {
    SCOPED_TRACE(testing::Message() << "start size " << startSize);
    TaaIntArray array;
    array.Insert(0, 42);  // Assign replaces what was there
    std::vector<int32_t> model = RandomValues(rng, startSize);
    array.Assign(model);
    ExpectSame(array, model);
    for (const TPhase& phase : kPhases) {
      SCOPED_TRACE(phase.name);
      RunPhase(phase, rng, array, model);
      ExpectSame(array, model);
    }
    array.Clear();
    ExpectSame(array, {});
  }
}

// Sorted arrays with runs of equal entries, assigned whole or built by inserts
// at random places (chunks of uneven fill); every threshold from below the
// smallest entry to above the largest is searched.
TEST(IndexArrayTest, PartitionPointMatchesTheStandardOneInLogarithmicCalls) {
  std::mt19937 rng(Seed());
  const size_t kSizes[] = {0, 1, 2, kC - 1, kC, kC + 1, 5 * kC + 3, 40 * kC + 7};
  for (const size_t size : kSizes) {
    for (const bool byInserts : {false, true}) {
      SCOPED_TRACE(testing::Message() << "size " << size << (byInserts ? " by inserts" : " assigned"));
      std::vector<int32_t> model;
      TaaIntArray array;
      if (byInserts) {
        for (size_t i = 0; i < size; ++i) {
          const auto value = static_cast<int32_t>(rng() % (size / 3 + 1));
          const size_t at = static_cast<size_t>(std::upper_bound(model.begin(), model.end(), value) - model.begin());
          model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), value);
          array.Insert(at, value);
        }
      } else {
        for (size_t i = 0; i < size; ++i) model.push_back(static_cast<int32_t>(i / 3));
        array.Assign(model);
      }
      const int32_t last = model.empty() ? 0 : model.back();
      const size_t maxCalls = 2 * static_cast<size_t>(std::bit_width(size)) + 4;
      for (int32_t threshold = -1; threshold <= last + 1; ++threshold) {
        size_t calls = 0;
        const size_t got = array.PartitionPoint([&](int32_t entry) {
          ++calls;
          return entry < threshold;
        });
        const auto expected = std::partition_point(model.begin(), model.end(),
                                                   [&](int32_t entry) { return entry < threshold; });
        ASSERT_EQ(got, static_cast<size_t>(expected - model.begin())) << "threshold " << threshold;
        ASSERT_LE(calls, maxCalls) << "threshold " << threshold;
      }
    }
  }
}

}  // namespace
}  // namespace norvane
