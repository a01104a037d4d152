// Random requests and frees on one container, checked against a plain model
// (the set of pages in use and map pages placed by the geometry), after every
// step and after reopening. NORVANE_SEED and NORVANE_STEPS make long runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>

#include "engine/container/free_space_manager.h"
#include "tests/container/free_space_fixture.h"
#include "tests/support/temp_folder.h"

namespace norvane {
namespace {

using testing::TSpaceContainer;

uint64_t EnvNumber(const char* name, uint64_t fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

class TModel {
 public:
  explicit TModel(TSpaceContainer& box) : box_(box) {}

  // Page n is a map page by the geometry alone: map pages exist for every
  // PFS and GAM page the existing extents need.
  bool IsMap(int64_t n) const {
    const TFreeSpaceManager& s = *box_.space;
    const int64_t e = box_.pages->Header().ExtentPageCount(), extents = s.ExtentCount();
    const int64_t pfsSpan = s.ExtentsPerPFSPage() * e, gamSpan = s.ExtentsPerGAMPage() * e;
    const int64_t pfsCount = (extents + s.ExtentsPerPFSPage() - 1) / s.ExtentsPerPFSPage();
    const int64_t gamCount = (extents + s.ExtentsPerGAMPage() - 1) / s.ExtentsPerGAMPage();
    if (n == 0) return true;
    if ((n - 1) % pfsSpan == 0 && (n - 1) / pfsSpan < pfsCount) return true;
    for (int64_t offset : {2, 3})
      if (n >= offset && (n - offset) % gamSpan == 0 && (n - offset) / gamSpan < gamCount)
        return true;
    return false;
  }

  bool IsFree(int64_t n) const {
    const int64_t inExtents =
        int64_t{box_.space->ExtentCount()} * box_.pages->Header().ExtentPageCount();
    return n >= 1 && n <= inExtents && !IsMap(n) && !Used(n);
  }

  bool Used(int64_t n) const { return n < static_cast<int64_t>(used_.size()) && used_[n]; }

  void Request(int32_t count, int32_t hint, bool whole) {
    SCOPED_TRACE(::testing::Message() << count << " pages, hint " << hint << ", whole " << whole);
    const int64_t e = box_.pages->Header().ExtentPageCount();
    const int64_t hintExtent = (int64_t{hint} - 1) / e;
    int64_t hintFirstFree = -1;
    if (hintExtent >= 0 && hintExtent < box_.space->ExtentCount())
      for (int64_t n = 1 + hintExtent * e; n <= (hintExtent + 1) * e && hintFirstFree < 0; ++n)
        if (IsFree(n)) hintFirstFree = n;
    const std::vector<int32_t> got = box_.Get(count, hint, whole);
    ASSERT_EQ(static_cast<int32_t>(got.size()), count);
    if (hintFirstFree >= 0) {
      EXPECT_EQ(got.front(), hintFirstFree);
    }
    // Ascending inside each extent; after the hint's extent, extents ascend.
    size_t i = 0;
    while (i < got.size() && hintFirstFree >= 0 && (got[i] - 1) / e == hintExtent) ++i;
    for (size_t k = 1; k < got.size(); ++k) {
      const bool sameExtent = (got[k] - 1) / e == (got[k - 1] - 1) / e;
      if (sameExtent || k > i) {
        ASSERT_LT(got[k - 1], got[k]) << "at " << k;
      }
    }
    for (int32_t n : got) {
      ASSERT_GE(n, 1);
      ASSERT_LT(n, box_.pages->PageCount());
      ASSERT_FALSE(IsMap(n)) << n;
      ASSERT_FALSE(Used(n)) << n << " handed out twice";
      ASSERT_FALSE(box_.space->IsPageFree(n)) << n;
      if (static_cast<size_t>(n) >= used_.size()) used_.resize(static_cast<size_t>(n) + 1, false);
      used_[n] = true;
      list_.push_back(n);
    }
  }

  void Free(std::mt19937_64& rng) {
    if (list_.empty()) return;
    const size_t k = 1 + rng() % std::min<size_t>(40, list_.size());
    for (size_t i = 0; i < k; ++i)
      std::swap(list_[rng() % (list_.size() - i)], list_[list_.size() - 1 - i]);
    const std::vector<int32_t> freed(list_.end() - static_cast<ptrdiff_t>(k), list_.end());
    list_.resize(list_.size() - k);
    box_.space->FreePages(freed);
    for (int32_t n : freed) {
      used_[n] = false;
      ASSERT_TRUE(box_.space->IsPageFree(n)) << n;
    }
  }

  void CompareAll() const {
    const int32_t pageCount = box_.pages->PageCount();
    for (int32_t n = 0; n < pageCount; ++n) {
      ASSERT_EQ(box_.space->IsPageFree(n), IsFree(n)) << "page " << n;
      ASSERT_EQ(box_.space->IsMapPage(n), IsMap(n)) << "page " << n;
    }
    ASSERT_EQ(box_.FileBytesSize(), testing::kBase + int64_t{pageCount} * box_.pages->PageSize());
  }

 private:
  TSpaceContainer& box_;
  std::vector<bool> used_;
  std::vector<int32_t> list_;
};

TEST(FreeSpaceModel, RandomRequestsAndFreesMatchTheModel) {
  struct Case {
    int32_t kb, extent, growTo;
  };
  // Halfway through, each container grows past a PFS boundary (and for the
  // 1 KB geometries a GAM boundary too).
  const Case kCases[] = {
      {4, 16, 32600}, {1, 16, 127000}, {1, 3, 23800}, {1, 2, 15900}, {1, 1, 8000}};
  const uint64_t seed = EnvNumber("NORVANE_SEED", 20240611);
  const int steps = static_cast<int>(EnvNumber("NORVANE_STEPS", 1500));
  for (const Case& c : kCases) {
    SCOPED_TRACE(::testing::Message()
                 << "seed " << seed << ", " << c.kb << " KB, " << c.extent << " pages an extent");
    testing::TTempFolder dir;
    TSpaceContainer box(dir / "m.adb", c.extent, c.kb);
    TModel model(box);
    std::mt19937_64 rng(seed * 31 + static_cast<uint64_t>(c.extent * 7 + c.kb));
    for (int step = 0; step < steps; ++step) {
      SCOPED_TRACE(::testing::Message() << "step " << step);
      if (step == steps / 2) {
        while (box.pages->PageCount() < c.growTo)
          ASSERT_NO_FATAL_FAILURE(
              model.Request(std::min(c.growTo - box.pages->PageCount(), 40000), 1 << 30, true));
      }
      if (rng() % 100 < 55) {
        const bool big = rng() % 50 == 0;
        const auto count = static_cast<int32_t>(big ? 200 + rng() % 1800 : 1 + rng() % 40);
        const auto hint =
            static_cast<int32_t>(rng() % 2 ? 0 : rng() % (box.pages->PageCount() + 64));
        ASSERT_NO_FATAL_FAILURE(model.Request(count, hint, rng() % 4 == 0));
      } else {
        ASSERT_NO_FATAL_FAILURE(model.Free(rng));
      }
      if (step % 50 == 49) {
        ASSERT_NO_FATAL_FAILURE(model.CompareAll());
      }
      if (step % 300 == 299 || step == steps - 1) {
        const auto before = testing::StateOf(box);
        box.Reopen();
        ASSERT_EQ(testing::Difference(before, testing::StateOf(box)), "");
        ASSERT_NO_FATAL_FAILURE(model.CompareAll());
      }
    }
    EXPECT_GE(box.space->PFSPageMap().size(), 2u);
    if (c.kb == 1) {
      EXPECT_GE(box.space->GAMPageMap().size(), 2u);
    }
  }
}

}  // namespace
}  // namespace norvane
