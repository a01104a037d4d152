// Damage the free-space manager must refuse: page lists that would free what
// is not in use, and map pages or header counts on disk that cannot be right.
// Each is reported with the engine's message and changes nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "engine/common/engine_error.h"
#include "engine/container/free_space_manager.h"
#include "tests/container/free_space_fixture.h"
#include "tests/support/error_message.h"
#include "tests/support/temp_folder.h"

namespace norvane {
namespace {

using testing::kBase;
using testing::TSpaceContainer;

using testing::MessageOf;

TEST(FreeSpaceDamage, FreePagesRefusesWhatIsNotInUse) {
  struct Case {
    std::vector<int32_t> pages;
    const char* message;
  };
  const std::string at = "TFreeSpaceManager.FreePages - page ";
  const Case kCases[] = {
      {{0}, "0 is the container header."}, {{5, -3}, "-3 does not exist."},
      {{1}, "1 is a map page."},           {{2}, "2 is a map page."},
      {{3}, "3 is a map page."},           {{17}, "17 lies beyond the page count 17."},
      {{5, 9}, "9 is already free."},      {{4, 5, 4}, "4 is listed twice."},
      {{4, 6, 8, 3}, "3 is a map page."},
  };
  for (const Case& c : kCases) {
    testing::TTempFolder dir;
    TSpaceContainer box(dir / "f.adb");
    box.Get(5);  // pages 4..8
    const auto bytes = box.FileBytes();
    const auto state = testing::StateOf(box);
    EXPECT_EQ(MessageOf([&] { box.space->FreePages(c.pages); }), at + c.message);
    EXPECT_EQ(testing::Difference(state, testing::StateOf(box)), "") << c.message;
    EXPECT_EQ(box.FileBytes(), bytes) << c.message;
  }
}

TEST(FreeSpaceDamage, PagesBeyondTheLastWholeExtentBelongToNoExtent) {
  testing::TTempFolder dir;
  TSpaceContainer box(dir / "tail.adb");
  box.Get(1);
  ASSERT_TRUE(box.pages->ExtendFile(3));  // pages 17..19 lie in no extent
  box.Reopen();
  EXPECT_EQ(box.space->ExtentCount(), 1);
  EXPECT_FALSE(box.space->IsPageFree(18));
  EXPECT_EQ(MessageOf([&] { box.space->FreePages({18}); }),
            "TFreeSpaceManager.FreePages - page 18 lies in no extent.");
}

// Rewrites page n's payload through the page layer, so its checksum stays
// right and only the edited content is wrong.
void EditPayload(const std::string& name, int32_t n, int32_t length,
                 const std::function<void(uint8_t*)>& edit) {
  TPageFileManager pages(name, 16, 4, false, "", "", "", kModeReadWriteDenyWrite);
  auto page = pages.NewPageBuffer();
  ASSERT_TRUE(pages.ReadPage(page->Rec, n, false, "", length));
  edit(page->Payload.data());
  ASSERT_TRUE(pages.WritePage(page->Rec, n, "", length));
}

void EditHeader(const std::string& name, const std::function<void(TContainerHeader&)>& edit) {
  TPageFileManager pages(name, 16, 4, false, "", "", "", kModeReadWriteDenyWrite);
  edit(pages.Header());
  pages.SaveHeader();
}

void EditFileByte(const std::string& name, int64_t offset, uint8_t mask) {
  auto bytes = testing::ReadFileBytes(name);
  bytes[static_cast<size_t>(offset)] ^= mask;
  testing::WriteFileBytes(name, bytes);
}

TEST(FreeSpaceDamage, DamagedMapsAreReportedOnOpen) {
  struct Case {
    const char* what;
    std::function<void(const std::string&)> damage;
    const char* message;
  };
  const auto payload = [](int32_t page, int32_t at) { return kBase + page * 4096 + 32 + at; };
  const Case kCases[] = {
      {"PFS payload", [&](auto& f) { EditFileByte(f, payload(1, 100), 0x10); },
       "TFreeSpaceManager.LoadPFS - can not load page, pageNo = 1"},
      {"GAM payload", [&](auto& f) { EditFileByte(f, payload(2, 7), 0x01); },
       "TFreeSpaceManager.LoadGAM - can not load page, pageNo = 2"},
      {"SGAM payload", [&](auto& f) { EditFileByte(f, payload(3, 4000), 0x80); },
       "TFreeSpaceManager.LoadGAM - can not load SGAM page, pageNo = 2"},
      {"too few PFS pages", [](auto& f) { EditHeader(f, [](auto& h) { h.SetPFSPageCount(0); }); },
       "TFreeSpaceManager.Create - PFSPageCount * FPageSize < FExtentCount!"},
      {"too few GAM pages", [](auto& f) { EditHeader(f, [](auto& h) { h.SetGAMPageCount(0); }); },
       "TFreeSpaceManager.Create - GAMPageCount * FPageSize < FExtentCount!"},
      {"too many PFS pages", [](auto& f) { EditHeader(f, [](auto& h) { h.SetPFSPageCount(2); }); },
       "TFreeSpaceManager.Create - PFSPageCount 2 exceeds the 1 PFS pages of 2 extents."},
      {"too many GAM pages", [](auto& f) { EditHeader(f, [](auto& h) { h.SetGAMPageCount(3); }); },
       "TFreeSpaceManager.Create - GAMPageCount 3 exceeds the 1 GAM pages of 2 extents."},
      {"PFS page type", [&](auto& f) { EditFileByte(f, kBase + 4096 + 8, 0x02); },
       "TFreeSpaceManager.LoadPFS - page 1 has type 6 and cipher 0, expected type 4 plain."},
      {"GAM page type", [&](auto& f) { EditFileByte(f, kBase + 2 * 4096 + 8, 0x01); },
       "TFreeSpaceManager.LoadGAM - page 2 has type 3 and cipher 0, expected type 2 plain."},
      {"SGAM page type", [&](auto& f) { EditFileByte(f, kBase + 3 * 4096 + 8, 0x01); },
       "TFreeSpaceManager.LoadGAM - page 3 has type 2 and cipher 0, expected type 3 plain."},
      {"PFS page marked free",
       [](auto& f) { EditPayload(f, 1, 4064, [](uint8_t* p) { p[0] |= 0x01; }); },
       "TFreeSpaceManager.Create - map page 1 is marked free."},
      {"SGAM page marked free",
       [](auto& f) { EditPayload(f, 1, 4064, [](uint8_t* p) { p[0] |= 0x04; }); },
       "TFreeSpaceManager.Create - map page 3 is marked free."},
  };
  for (const Case& c : kCases) {
    testing::TTempFolder dir;
    const std::string name = dir / "d.adb";
    {
      TSpaceContainer box(name);
      box.Get(20);  // two extents, pages 4..23
    }
    c.damage(name);
    EXPECT_EQ(MessageOf([&] {
                TPageFileManager pages(name, 16, 4, false, "", "", "", kModeReadWriteDenyWrite);
                TFreeSpaceManager space(pages);
              }),
              c.message)
        << c.what;
  }
}

TEST(FreeSpaceDamage, MapPagesBeyondThePageCountAreReported) {
  // One-page extents: the first extent's GAM and SGAM pages are pages 2 and
  // 3, so a header counting them with only extent 0 present is damage.
  testing::TTempFolder dir;
  const std::string name = dir / "short.adb";
  {
    TPageFileManager pages(name, 1, 1, false, "", "", "", kModeCreate);
    ASSERT_TRUE(pages.ExtendFile(1));
    pages.Header().SetPFSPageCount(1);
    pages.Header().SetGAMPageCount(1);
    pages.SaveHeader();
  }
  EXPECT_EQ(MessageOf([&] {
              TPageFileManager pages(name, 16, 4, false, "", "", "", kModeReadWriteDenyWrite);
              TFreeSpaceManager space(pages);
            }),
            "TFreeSpaceManager.Create - SGAM page 3 lies beyond the page count 2.");
}

}  // namespace
}  // namespace norvane
