// Failures of the part layer driven through a fault-injecting part: each one
// surfaces as the page layer's error code or exception, never as success, a
// crash or a leaked part.
#include <gtest/gtest.h>

#include "engine/common/engine_error.h"
#include "engine/container/page_file_manager.h"
#include "tests/container/faulty_part.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"

namespace norvane {
namespace {

using testing::TFaultPlan;

struct TFaultyContainer {
  std::shared_ptr<TFaultPlan> plan = std::make_shared<TFaultPlan>();
  std::unique_ptr<TPageFileManager> pages;

  // A container with pages 1..3 written, on disk or in memory; the plan's
  // counters start from zero afterwards.
  TFaultyContainer(const std::string& name, bool inMemory, int64_t maxPart = -1) {
    pages = std::make_unique<TPageFileManager>(name, 16, 4, inMemory, "", "", "", kModeCreate,
                                               TPartOptions{maxPart, testing::MakeFaultyFactory(plan)});
    EXPECT_TRUE(pages->ExtendFile(3));
    auto page = pages->NewPageBuffer();
    for (int32_t n = 1; n <= 3; ++n) EXPECT_TRUE(pages->WritePage(page->Rec, n, "", -1));
    *plan = TFaultPlan{};
    plan->LiveParts = static_cast<int>(pages->Stream().PartCount());
  }
};

TEST(FaultInjection, FailedTransfersGiveTheirPageCodes) {
  struct Case {
    const char* what;
    void (*arm)(TFaultPlan&);
    bool write;
    int32_t code;
  };
  const Case kCases[] = {
      {"read fails", [](TFaultPlan& p) { p.FailReadAt = 1; }, false, peHeaderRead},
      {"read short", [](TFaultPlan& p) { p.ShortReadAt = 1; }, false, pePayloadRead},
      {"write fails", [](TFaultPlan& p) { p.FailWriteAt = 1; }, true, peHeaderWrite},
      {"write short", [](TFaultPlan& p) { p.ShortWriteAt = 1; }, true, pePayloadWrite},
  };
  for (bool inMemory : {false, true}) {
    for (const Case& c : kCases) {
      testing::TTempFolder dir;
      TFaultyContainer container(dir / "f.adb", inMemory);
      c.arm(*container.plan);
      auto page = container.pages->NewPageBuffer();
      const bool ok = c.write ? container.pages->WritePage(page->Rec, 2, "", -1)
                              : container.pages->ReadPage(page->Rec, 2, false, "", -1);
      EXPECT_FALSE(ok) << c.what;
      EXPECT_EQ(container.pages->LastError(), c.code) << c.what;
      // The next transfer, with no fault armed, works again.
      EXPECT_TRUE(container.pages->WritePage(page->Rec, 2, "", -1)) << c.what;
      EXPECT_TRUE(container.pages->ReadPage(page->Rec, 2, false, "", -1)) << c.what;
    }
  }
}

TEST(FaultInjection, GrowthThatFailsChangesNothing) {
  struct Case {
    const char* what;
    void (*arm)(TFaultPlan&);
  };
  const Case kCases[] = {
      {"size change fails", [](TFaultPlan& p) { p.FailSetSizeAt = 1; }},
      {"disk full", [](TFaultPlan& p) { p.FreeBytes = 4096; }},
      {"header write fails", [](TFaultPlan& p) { p.FailWriteAt = 1; }},
  };
  for (const Case& c : kCases) {
    testing::TTempFolder dir;
    const std::string name = dir / "g.adb";
    TFaultyContainer container(name, false);
    container.pages->Flush();
    const auto before = testing::ReadFileBytes(name);
    c.arm(*container.plan);
    EXPECT_FALSE(container.pages->ExtendFile(2)) << c.what;
    EXPECT_EQ(container.pages->PageCount(), 4) << c.what;
    container.pages->Flush();
    EXPECT_EQ(testing::ReadFileBytes(name), before) << c.what;
    *container.plan = TFaultPlan{};
    EXPECT_TRUE(container.pages->ExtendFile(2)) << c.what;
  }
}

TEST(FaultInjection, FullDiskWhileAddingPartsLeavesAConsistentStream) {
  testing::TTempFolder dir;
  const std::string name = dir / "parts.adb";
  const int64_t maxPart = kPartHeaderSize + 3 * 4096;  // three pages a part
  TFaultyContainer container(name, false, maxPart);
  container.plan->FreeBytes = 5 * 4096;
  EXPECT_FALSE(container.pages->ExtendFile(12));
  EXPECT_EQ(container.pages->PageCount(), 4);
  EXPECT_GE(container.pages->Stream().Size(), 4 * 4096);
  auto page = container.pages->NewPageBuffer();
  for (int32_t n = 1; n <= 3; ++n) EXPECT_TRUE(container.pages->ReadPage(page->Rec, n, false, "", -1));
  container.plan->FreeBytes = -1;
  ASSERT_TRUE(container.pages->ExtendFile(12));
  for (int32_t n = 4; n < 16; ++n) ASSERT_TRUE(container.pages->WritePage(page->Rec, n, "", -1)) << n;
  container.pages.reset();
  auto reopened = std::make_unique<TPageFileManager>(name, 16, 4, false, "", "", "", 0x22);
  EXPECT_EQ(reopened->PageCount(), 16);
  for (int32_t n = 1; n < 16; ++n) EXPECT_TRUE(reopened->ReadPage(page->Rec, n, false, "", -1)) << n;
}

TEST(FaultInjection, FailedFlushAndHeaderWriteThrow) {
  testing::TTempFolder dir;
  TFaultyContainer container(dir / "h.adb", false);
  container.plan->FailFlushAt = 1;
  EXPECT_THROW(container.pages->Flush(), EEngineError);
  container.plan->FailWriteAt = container.plan->Writes + 1;
  EXPECT_THROW(container.pages->SaveHeader(), EEngineError);
}

TEST(FaultInjection, FailuresWhileCreatingOrOpeningLeakNoPart) {
  for (int failAt = 1; failAt <= 3; ++failAt) {
    testing::TTempFolder dir;
    auto plan = std::make_shared<TFaultPlan>();
    plan->FailWriteAt = failAt;
    const TPartOptions parts{-1, testing::MakeFaultyFactory(plan)};
    try {
      TPageFileManager pages(dir / "c.adb", 16, 4, false, "", "", "", kModeCreate, parts);
      // Creation writes the part header and the container header; a failure
      // in either must not be reported as success.
      EXPECT_GT(failAt, 2);
    } catch (const EEngineError&) {
      EXPECT_LE(failAt, 2);
    }
    EXPECT_EQ(plan->LiveParts, 0) << failAt;

  }
}

// Opening reads the prefix scan, the part header and the container header;
// failing any of them fails the open.
TEST(FaultInjection, EveryFailedReadWhileOpeningFailsTheOpen) {
  testing::TTempFolder dir;
  const std::string name = dir / "o.adb";
  TPageFileManager(name, 16, 4, false, "", "", "", kModeCreate);
  auto plan = std::make_shared<TFaultPlan>();
  const TPartOptions parts{-1, testing::MakeFaultyFactory(plan)};
  TPageFileManager(name, 16, 4, false, "", "", "", 0x22, parts);
  const int readsOnOpen = plan->Reads;
  ASSERT_GE(readsOnOpen, 3);
  for (int failAt = 1; failAt <= readsOnOpen; ++failAt) {
    *plan = TFaultPlan{};
    plan->FailReadAt = failAt;
    EXPECT_THROW(TPageFileManager(name, 16, 4, false, "", "", "", 0x22, parts), EEngineError)
        << failAt;
    EXPECT_EQ(plan->LiveParts, 0) << failAt;
  }
}

}  // namespace
}  // namespace norvane
