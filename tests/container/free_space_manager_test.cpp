// The free-space manager: map geometry, which pages a request gets and in
// what order, how extents become full, mixed or free, and where new PFS, GAM
// and SGAM pages land, each checked in memory and again after a reopen.
#include "engine/container/free_space_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <set>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "tests/container/free_space_fixture.h"
#include "tests/support/temp_folder.h"

namespace norvane {
namespace {

using testing::Range;
using testing::TSpaceContainer;

TEST(FreeSpaceGeometry, FollowsPageAndExtentSize) {
  struct Case {
    int32_t kb, extent, pfsBytes, pfsExtents, gamBytes, gamExtents;
  };
  const Case kCases[] = {
      {4, 16, 4064, 2032, 4064, 32512}, {1, 16, 992, 496, 992, 7936},
      {1, 4, 992, 1984, 992, 7936},     {1, 3, 991, 2642, 990, 7920},
      {1, 1, 992, 7936, 992, 7936},     {1, 2, 992, 3968, 992, 7936},
      {1, 7936, 992, 1, 992, 7936},     {4, 512, 4032, 63, 4063, 32504},
  };
  for (const Case& c : kCases) {
    testing::TTempFolder dir;
    TSpaceContainer box(dir / "g.adb", c.extent, c.kb);
    const auto& s = *box.space;
    EXPECT_EQ(s.PFSBytesPerPage(), c.pfsBytes) << c.kb << " KB, " << c.extent;
    EXPECT_EQ(s.ExtentsPerPFSPage(), c.pfsExtents) << c.kb << " KB, " << c.extent;
    EXPECT_EQ(s.GAMBytesPerPage(), c.gamBytes) << c.kb << " KB, " << c.extent;
    EXPECT_EQ(s.ExtentsPerGAMPage(), c.gamExtents) << c.kb << " KB, " << c.extent;
    EXPECT_EQ(s.ExtentCount(), 0);
  }
}

TEST(FreeSpaceGeometry, ExtentTooLargeForAnyPFSPageIsRefused) {
  // 7935 pages an extent in 1 KB pages leaves 991 bitmap bytes: 7928 bits,
  // fewer than one extent. The page layer refuses to create or open such a
  // container; the manager still refuses the header rather than divide by 0.
  testing::TTempFolder dir;
  TPageFileManager pages(dir / "x.adb", 16, 1, false, "", "", "", kModeCreate);
  PutI32LE(pages.Header().Bytes().data() + 20, 7935);
  try {
    TFreeSpaceManager space(pages);
    FAIL() << "accepted an extent no PFS page can describe";
  } catch (const EEngineError& e) {
    EXPECT_STREQ(
        e.what(),
        "TFreeSpaceManager.Create - extent page count 7935 leaves no room for a PFS bitmap.");
  }
}

TEST(FreeSpace, FirstRequestAddsExtentZeroWithItsMapPages) {
  testing::TTempFolder dir;
  TSpaceContainer box(dir / "first.adb");
  EXPECT_EQ(box.Get(1), std::vector<int32_t>{4});
  EXPECT_EQ(box.pages->PageCount(), 17);
  const auto bytes = box.FileBytes();
  ASSERT_EQ(bytes.size(), static_cast<size_t>(testing::kBase + 17 * 4096));
  // Page headers (next -1, checksum, type, plain, XOR32) and the first
  // payload bytes of PFS page 1, GAM page 2 and SGAM page 3.
  struct Golden {
    int32_t page;
    uint8_t type;
    uint8_t first[3];
  };
  const Golden kGolden[] = {
      {1, 4, {0xF0, 0xFF, 0xFF}}, {2, 2, {0xFE, 0xFF, 0xFF}}, {3, 3, {0x01, 0x00, 0x00}}};
  for (const Golden& g : kGolden) {
    const uint8_t* page = bytes.data() + testing::kBase + g.page * 4096;
    const uint8_t head[] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::vector<uint8_t>(page, page + 4), std::vector<uint8_t>(head, head + 4)) << g.page;
    EXPECT_EQ(page[8], g.type) << g.page;
    EXPECT_EQ(page[9], 0) << g.page;
    EXPECT_EQ(page[10], 0) << g.page;
    EXPECT_EQ(std::vector<uint8_t>(page + 32, page + 35),
              std::vector<uint8_t>(g.first, g.first + 3))
        << g.page;
  }
  for (int round = 0; round < 2; ++round) {
    const auto& s = *box.space;
    for (int32_t n = 1; n <= 16; ++n) EXPECT_EQ(s.IsPageFree(n), n > 4) << n << " round " << round;
    for (int32_t n = 0; n <= 5; ++n) EXPECT_EQ(s.IsMapPage(n), n <= 3) << n;
    EXPECT_FALSE(s.GAMBit(0));
    EXPECT_TRUE(s.SGAMBit(0));
    EXPECT_EQ(s.ExtentCount(), 1);
    EXPECT_EQ(s.FreeExtentCount(), 0);
    EXPECT_EQ(s.MixedExtentCount(), 1);
    EXPECT_EQ(s.PFSPageMap(), std::vector<int32_t>{1});
    EXPECT_EQ(s.GAMPageMap(), std::vector<int32_t>{2});
    EXPECT_EQ(box.pages->Header().PFSPageCount(), 1);
    EXPECT_EQ(box.pages->Header().GAMPageCount(), 1);
    box.Reopen();
  }
}

TEST(FreeSpace, TakingTheLastPageMakesAnExtentFull) {
  testing::TTempFolder dir;
  TSpaceContainer box(dir / "full.adb");
  EXPECT_EQ(box.Get(12), Range(4, 15));
  EXPECT_TRUE(box.space->SGAMBit(0));
  EXPECT_EQ(box.Get(1), std::vector<int32_t>{16});
  EXPECT_FALSE(box.space->SGAMBit(0));
  EXPECT_EQ(box.space->MixedExtentCount(), 0);
  box.space->FreePages({10});
  EXPECT_TRUE(box.space->IsPageFree(10));
  EXPECT_FALSE(box.space->GAMBit(0));
  EXPECT_FALSE(box.space->SGAMBit(0));
  box.Reopen();
  // No scan finds page 10: a hint outside extent 0 gets a new extent ...
  EXPECT_EQ(box.Get(1, 100), std::vector<int32_t>{17});
  // ... while a hint inside extent 0 finds it.
  EXPECT_EQ(box.Get(1, 5), std::vector<int32_t>{10});
}

TEST(FreeSpace, FreeingAWholeExtentMakesItFreeAgain) {
  testing::TTempFolder dir;
  TSpaceContainer box(dir / "whole.adb");
  EXPECT_EQ(box.Get(13), Range(4, 16));
  EXPECT_EQ(box.Get(16, 0, true), Range(17, 32));
  EXPECT_FALSE(box.space->GAMBit(1));
  EXPECT_EQ(box.space->FreeExtentCount(), 0);
  box.space->FreePages(Range(17, 31));
  EXPECT_FALSE(box.space->GAMBit(1));  // page 32 still used
  box.space->FreePages({32});
  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(box.space->GAMBit(1)) << round;
    EXPECT_FALSE(box.space->SGAMBit(1)) << round;
    EXPECT_EQ(box.space->FreeExtentCount(), 1) << round;
    box.Reopen();
  }
  // Extent 0 holds map pages, so freeing all its pages never makes it free;
  // a scan for a whole extent passes it by.
  box.space->FreePages(Range(4, 16));
  EXPECT_FALSE(box.space->GAMBit(0));
  EXPECT_EQ(box.Get(16, 100, true), Range(17, 32));
}

// A failed store frees the pages it was given; releasing the free tail then
// takes the container back to its size and maps from before the growth,
// in memory and on disk, map pages that landed in the tail included. A page
// still in use in the last extent keeps the tail.
TEST(FreeSpaceTail, ReleasingTheFreeTailUndoesGrowth) {
  struct Case {
    int32_t kb, extent, held, grown;  // held fills whole extents
  };
  const Case kCases[] = {
      {4, 16, 0, 1},      // back to the header alone
      {4, 16, 13, 40},    // extent 0 stays, three go
      {1, 1, 0, 5},       // one-page extents: the GAM/SGAM pair goes with its PFS page
      {1, 2, 1, 7},       // the SGAM page and page 4 stay in extent 1
      {1, 16, 7933, 20},  // the tail starts a second PFS page, which goes
  };
  for (const Case& c : kCases) {
    const std::string what = std::to_string(c.kb) + " KB, extent " + std::to_string(c.extent) +
                             ", held " + std::to_string(c.held);
    testing::TTempFolder dir;
    TSpaceContainer box(dir / "tail.adb", c.extent, c.kb);
    if (c.held > 0) box.Get(c.held);
    const testing::TSpaceState before = testing::StateOf(box);
    const int64_t bytes = box.FileBytesSize();
    const std::vector<int32_t> grown = box.Get(c.grown);
    const int32_t grownCount = box.pages->PageCount();
    ASSERT_GT(grownCount, before.pageCount) << what;

    // The last page given out still in use: nothing can go.
    std::vector<int32_t> allButLast(grown.begin(), grown.end() - 1);
    box.space->FreePages(allButLast);
    EXPECT_EQ(box.space->ReleaseFreeTail(), 0) << what;
    box.space->FreePages({grown.back()});
    EXPECT_EQ(box.space->ReleaseFreeTail(), grownCount - before.pageCount) << what;
    EXPECT_EQ(box.space->ReleaseFreeTail(), 0) << what << ": nothing is left to cut";
    for (int round = 0; round < 2; ++round) {
      EXPECT_EQ(testing::Difference(testing::StateOf(box), before), "") << what << ", " << round;
      EXPECT_EQ(box.FileBytesSize(), bytes) << what;
      box.Reopen();
    }
    // The container grows again as it did the first time.
    EXPECT_EQ(box.Get(c.grown), grown) << what;
  }
}

TEST(FreeSpace, WholeExtentRequestUsesHintThenAddsAnExtent) {
  testing::TTempFolder dir;
  TSpaceContainer box(dir / "w.adb");
  EXPECT_EQ(box.Get(1), std::vector<int32_t>{4});
  box.space->FreePages({4});
  std::vector<int32_t> expected = Range(4, 16);
  for (int32_t n : Range(17, 23)) expected.push_back(n);
  EXPECT_EQ(box.Get(20, 1, true), expected);
  EXPECT_EQ(box.pages->PageCount(), 33);
  EXPECT_EQ(box.space->ExtentCount(), 2);
  EXPECT_TRUE(box.space->GAMBit(1));  // pages 24..32 still free
}

TEST(FreeSpace, HintExtentComesFirstThenExtentsAscend) {
  testing::TTempFolder dir;
  TSpaceContainer box(dir / "order.adb");
  EXPECT_EQ(box.Get(13), Range(4, 16));
  EXPECT_EQ(box.Get(48, 0, true), Range(17, 64));  // extents 1..3, all full
  box.space->FreePages({20, 21, 40, 41, 48, 50});
  struct Step {
    int32_t count, hint;
    bool whole;
    std::vector<int32_t> expected;
  };
  const Step kSteps[] = {
      {4, 45, false, {40, 41, 48, 65}},  // extent 2 first; no candidates, so extent 4 is added
      {1, 35, false, {66}},              // extent 2 is used up; extent 4 is a candidate
      {3, 17, true, {20, 21, 67}},       // hint in extent 1, then the free extent 4
      {2, -40, false, {68, 69}},         // a hint before page 1 is no hint
      {1, 49, false, {50}},              // hint in extent 3
      {2, INT32_MIN, false, {70, 71}},
  };
  for (const Step& s : kSteps)
    EXPECT_EQ(box.Get(s.count, s.hint, s.whole), s.expected) << s.count << " at " << s.hint;
}

TEST(FreeSpace, RequestsThatCannotOrNeedNotGrowChangeNothing) {
  testing::TTempFolder dir;
  TSpaceContainer box(dir / "none.adb");
  box.Get(3);
  const auto bytes = box.FileBytes();
  const auto state = testing::StateOf(box);
  struct Case {
    int32_t count;
    bool ok;
  };
  const Case kCases[] = {{0, true}, {-5, true}, {INT32_MAX, false}};
  for (const Case& c : kCases) {
    std::vector<int32_t> got{99};
    EXPECT_EQ(box.space->GetPages(c.count, 0, got, false), c.ok) << c.count;
    EXPECT_TRUE(got.empty()) << c.count;
    EXPECT_EQ(testing::Difference(state, testing::StateOf(box)), "") << c.count;
    EXPECT_EQ(box.FileBytes(), bytes) << c.count;
  }
  box.space->FreePages({});
  EXPECT_EQ(box.FileBytes(), bytes);
}

// One request for `count` whole-extent pages on a new container, reaching
// past a PFS or GAM boundary. Every extent holding a map page must be mixed
// and keep its free pages; all other extents give their pages in order.
TEST(FreeSpaceBoundaries, MapPagesLandWhereTheGeometrySays) {
  struct Case {
    int32_t kb, extent, count, pageCount;
    std::vector<int32_t> pfs, gam, mixed;
  };
  const Case kCases[] = {
      {4, 16, 32497, 32545, {1, 32513}, {2}, {0, 2032}},
      {1, 16, 7921, 7969, {1, 7937}, {2}, {0, 496}},
      {1, 4, 31729, 31753, {1, 7937, 15873, 23809, 31745}, {2, 31746}, {0, 1984, 3968, 5952, 7936}},
      // 3-page extents: PFS and GAM boundaries fall apart; extent 7920 holds
      // a GAM pair but no PFS page.
      {1, 3, 23767, 23785, {1, 7927, 15853, 23779}, {2, 23762}, {0, 2642, 5284, 7920, 7926}},
      // 1- and 2-page extents: a GAM/SGAM pair reaches into the next extents.
      {1, 1, 7934, 7941, {1, 7937}, {2, 7938}, {0, 1, 2, 7936, 7937, 7938}},
      {1, 2, 15867, 15879, {1, 7937, 15873}, {2, 15874}, {0, 1, 3968, 7936, 7937}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(::testing::Message() << c.kb << " KB, " << c.extent << " pages an extent");
    testing::TTempFolder dir;
    TSpaceContainer box(dir / "b.adb", c.extent, c.kb);
    const std::vector<int32_t> got = box.Get(c.count, 0, true);
    std::set<int32_t> maps(c.pfs.begin(), c.pfs.end());
    for (int32_t g : c.gam) maps.insert({g, g + 1});
    const std::set<int32_t> mixed(c.mixed.begin(), c.mixed.end());
    std::vector<int32_t> expected;
    for (int32_t n = 1; static_cast<int32_t>(expected.size()) < c.count; ++n)
      if (!mixed.count((n - 1) / c.extent)) expected.push_back(n);
    EXPECT_EQ(got, expected);
    const std::set<int32_t> taken(got.begin(), got.end());
    for (int round = 0; round < 2; ++round) {
      const auto& s = *box.space;
      EXPECT_EQ(box.pages->PageCount(), c.pageCount);
      EXPECT_EQ(s.PFSPageMap(), c.pfs);
      EXPECT_EQ(s.GAMPageMap(), c.gam);
      EXPECT_EQ(box.pages->Header().PFSPageCount(), static_cast<int32_t>(c.pfs.size()));
      EXPECT_EQ(box.pages->Header().GAMPageCount(), static_cast<int32_t>(c.gam.size()));
      EXPECT_EQ(s.MixedExtentCount(), static_cast<int32_t>(c.mixed.size()));
      for (int32_t j = 0; j < s.ExtentCount(); ++j) {
        const bool isMixed = mixed.count(j) > 0;
        ASSERT_EQ(s.SGAMBit(j), isMixed) << "extent " << j;
        if (isMixed) {
          ASSERT_FALSE(s.GAMBit(j)) << "extent " << j;
        }
      }
      for (int32_t n = 0; n < c.pageCount; ++n) {
        ASSERT_EQ(s.IsMapPage(n), n == 0 || maps.count(n) > 0) << n;
        ASSERT_EQ(s.IsPageFree(n), n > 0 && !maps.count(n) && !taken.count(n)) << n;
      }
      box.Reopen();
    }
    // A request of single pages now finds the mixed extents' pages first,
    // or, when they hold nothing but map pages, a new extent.
    const int32_t firstMixedFree = [&] {
      for (int32_t n = 1; n < c.pageCount; ++n)
        if (mixed.count((n - 1) / c.extent) && !maps.count(n)) return n;
      return c.pageCount;
    }();
    EXPECT_EQ(box.Get(1), std::vector<int32_t>{firstMixedFree});
  }
}

}  // namespace
}  // namespace norvane
