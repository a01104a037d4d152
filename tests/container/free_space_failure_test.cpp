// Failures while the free-space manager grows the container or writes its
// map pages, driven through fault-injecting part files: the operation fails,
// memory and file are exactly as before, and the next request behaves as it
// would have on a container that never saw the fault.
#include <gtest/gtest.h>

#include <functional>

#include "engine/common/engine_error.h"
#include "engine/container/free_space_manager.h"
#include "tests/container/faulty_part.h"
#include "tests/container/free_space_fixture.h"
#include "tests/support/temp_folder.h"

namespace norvane {
namespace {

using testing::TFaultPlan;
using testing::TSpaceContainer;

struct TRequest {
  int32_t count, hint;
  bool whole;
};

// A container on fault-injecting part files and a twin that never fails, given the same
// history of requests.
struct TTwins {
  testing::TTempFolder dir;
  std::shared_ptr<TFaultPlan> plan = std::make_shared<TFaultPlan>();
  TSpaceContainer faulty, clean;

  TTwins(int32_t extentPages, int32_t kb, const std::vector<TRequest>& history)
      : faulty(dir / "faulty.adb", extentPages, kb,
               TPartOptions{-1, testing::MakeFaultyFactory(plan)}),
        clean(dir / "clean.adb", extentPages, kb) {
    for (const TRequest& r : history) {
      EXPECT_EQ(faulty.Get(r.count, r.hint, r.whole), clean.Get(r.count, r.hint, r.whole));
    }
  }

  void Disarm() {
    plan->FailSetSizeAt = plan->FailWriteAt = 0;
    plan->FreeBytes = -1;
  }

  // Both containers hand out the same pages and leave the same bytes.
  void ExpectSameFuture(const TRequest& r) {
    EXPECT_EQ(faulty.Get(r.count, r.hint, r.whole), clean.Get(r.count, r.hint, r.whole));
    EXPECT_EQ(faulty.FileBytes(), clean.FileBytes());
    EXPECT_EQ(testing::Difference(testing::StateOf(faulty), testing::StateOf(clean)), "");
    faulty.Reopen();
    EXPECT_EQ(testing::Difference(testing::StateOf(faulty), testing::StateOf(clean)), "");
  }
};

TEST(FreeSpaceFailure, FailedGrowthRollsEverythingBack) {
  struct Case {
    const char* what;
    int32_t extentPages, kb;
    std::vector<TRequest> history;
    TRequest request;
    std::function<void(TFaultPlan&)> arm;
  };
  const auto failSize = [](TFaultPlan& p) { p.FailSetSizeAt = p.SetSizes + 1; };
  const auto diskFull = [](TFaultPlan& p) { p.FreeBytes = 0; };
  const auto failHeader = [](TFaultPlan& p) { p.FailWriteAt = p.Writes + 1; };
  const Case kCases[] = {
      {"first extent, size change fails", 16, 4, {}, {1, 0, false}, failSize},
      {"first extent, header write fails", 16, 4, {}, {5, 0, false}, failHeader},
      {"second extent, disk full", 16, 4, {{12, 0, false}}, {5, 0, false}, diskFull},
      {"new PFS page, size change fails", 16, 1, {{7920, 0, true}}, {1, 1 << 30, true}, failSize},
      {"new GAM pair, disk full", 4, 1, {{31728, 0, true}}, {12, 0, false}, diskFull},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    TTwins twins(c.extentPages, c.kb, c.history);
    const auto bytes = twins.faulty.FileBytes();
    const auto state = testing::StateOf(twins.faulty);
    c.arm(*twins.plan);
    std::vector<int32_t> got;
    EXPECT_FALSE(
        twins.faulty.space->GetPages(c.request.count, c.request.hint, got, c.request.whole));
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(testing::Difference(state, testing::StateOf(twins.faulty)), "");
    EXPECT_EQ(twins.faulty.FileBytes(), bytes);
    twins.Disarm();
    twins.ExpectSameFuture(c.request);
  }
}

TEST(FreeSpaceFailure, FailedMapWritesThrowAndRollBack) {
  struct Case {
    std::vector<TRequest> history;
    int write;  // which write of the request fails, from 1
    const char* message;
  };
  // A first request writes: the grown header, GAM page 2, SGAM page 3, PFS
  // page 1, the header with the map page counts. A later one that fills
  // extent 0 and grows writes the header, the GAM pair and PFS page 1.
  const std::vector<TRequest> fresh;
  const std::vector<TRequest> twelve{{12, 0, false}};
  const Case kCases[] = {
      {fresh, 2, "TFreeSpaceManager.SaveGAM - can not save page, pageNo = 2"},
      {fresh, 3, "TFreeSpaceManager.SaveGAM - can not save SGAM page, pageNo = 2"},
      {fresh, 4, "TFreeSpaceManager.SavePFS - can not save page, pageNo = 1"},
      {fresh, 5, "TPageFileManager.SaveHeader - The container header could not be written."},
      {twelve, 3, "TFreeSpaceManager.SaveGAM - can not save SGAM page, pageNo = 2"},
      {twelve, 4, "TFreeSpaceManager.SavePFS - can not save page, pageNo = 1"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.message);
    TTwins twins(16, 4, c.history);
    const auto bytes = twins.faulty.FileBytes();
    const auto state = testing::StateOf(twins.faulty);
    twins.plan->FailWriteAt = twins.plan->Writes + c.write;
    std::vector<int32_t> got;
    try {
      twins.faulty.space->GetPages(6, 0, got, false);
      ADD_FAILURE() << "no error";
    } catch (const EEngineError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(testing::Difference(state, testing::StateOf(twins.faulty)), "");
    EXPECT_EQ(twins.faulty.FileBytes(), bytes);
    twins.Disarm();
    twins.ExpectSameFuture({6, 0, false});
  }
}

TEST(FreeSpaceFailure, FailedFreeThrowsAndRollsBack) {
  struct Case {
    std::vector<int32_t> pages;
    int write;
    const char* message;
  };
  // Freeing all of extent 1 writes the GAM pair, then PFS page 1; freeing
  // one page writes PFS page 1 alone.
  const Case kCases[] = {
      {{20}, 1, "TFreeSpaceManager.SavePFS - can not save page, pageNo = 1"},
      {testing::Range(17, 32), 1, "TFreeSpaceManager.SaveGAM - can not save page, pageNo = 2"},
      {testing::Range(17, 32), 3, "TFreeSpaceManager.SavePFS - can not save page, pageNo = 1"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.message);
    TTwins twins(16, 4, {{13, 0, false}, {16, 0, true}});
    const auto bytes = twins.faulty.FileBytes();
    const auto state = testing::StateOf(twins.faulty);
    twins.plan->FailWriteAt = twins.plan->Writes + c.write;
    try {
      twins.faulty.space->FreePages(c.pages);
      ADD_FAILURE() << "no error";
    } catch (const EEngineError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_EQ(testing::Difference(state, testing::StateOf(twins.faulty)), "");
    EXPECT_EQ(twins.faulty.FileBytes(), bytes);
    twins.Disarm();
    twins.faulty.space->FreePages(c.pages);
    twins.clean.space->FreePages(c.pages);
    twins.ExpectSameFuture({16, 0, true});
  }
}

}  // namespace
}  // namespace norvane
