// Pages named twice: a container whose file maps share a page with another
// file or with the directory opens and reads, but refuses every change with a
// damage error before anything is freed or written, so the other owner's
// bytes survive; the checker still reports the sharing. A page map that
// cannot be read hides its pages, and a directory page marked free would be
// handed out again, so they refuse changes too.
#include "engine/container/page_owners.h"

#include <gtest/gtest.h>

#include <functional>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "engine/container/container_check.h"
#include "tests/container/container_fixture.h"
#include "tests/support/file_bytes.h"

namespace norvane {
namespace {

using testing::Bytes;
using testing::ContainerTest;

const TFileRec& RecordOf(TESingleFileSystem& fs, const std::string& path) {
  return fs.Directory().ReadItem(fs.Directory().FindPath(path));
}

void WriteNew(TESingleFileSystem& fs, int32_t handle) {
  const auto bytes = Bytes(9000, 3);
  fs.FileWrite(handle, bytes.data(), static_cast<int64_t>(bytes.size()));
}

constexpr int64_t kBase = 280;  // file offset of page 0
constexpr int64_t kPageSize = 4096;

class PageOwnersTest : public ContainerTest {
 public:  // the cases' lambdas use these
  using ContainerTest::fs;
  using ContainerTest::name;

  // "/a" (two data pages) and "/b" (one), then b's map made to name `shared`
  // (chosen from a's pages and the directory's) in place of its own page,
  // through the page layer so that every checksum holds.
  int32_t ShareWithB(const std::function<int32_t(TESingleFileSystem&)>& pick) {
    fs.reset();
    ContainerTest::SetUp();
    EXPECT_TRUE(Put("/a", original));
    EXPECT_TRUE(Put("/b", Bytes(100, 2)));
    const int32_t bMap = fs->PageMaps().GetMaps(RecordOf(*fs, "/b")).MapPages.at(0);
    const int32_t shared = pick(*fs);
    fs.reset();
    {
      TPageFileManager pages(name, 16, 4, false, "", "", "", kModeReadWriteDenyWrite);
      auto page = pages.NewPageBuffer();
      EXPECT_TRUE(pages.ReadPage(page->Rec, bMap, false, "", -1));
      PutI32LE(page->Payload.data(), shared);
      EXPECT_TRUE(pages.WritePage(page->Rec, bMap, "", -1));
    }
    Reopen();
    return shared;
  }

  const std::vector<uint8_t> original = Bytes(5000, 1);
};

TEST_F(PageOwnersTest, SharedPagesRefuseEveryChangeAndKeepTheOtherOwnersBytes) {
  struct Share {
    const char* what;
    std::function<int32_t(TESingleFileSystem&)> pick;
    std::string owners;
  };
  const Share kShares[] = {
      {"a data page of /a",
       [](TESingleFileSystem& fs) { return fs.PageMaps().GetMaps(RecordOf(fs, "/a")).DataPages.at(1); },
       "\"\\a\" and by \"\\b\""},
      {"a directory page", [](TESingleFileSystem& fs) { return fs.Directory().PageList().at(0); },
       "the directory and by \"\\b\""},
  };
  struct Change {
    const char* operation;
    std::function<void(TESingleFileSystem&)> run;
  };
  const Change kChanges[] = {
      {"DeleteFile", [](TESingleFileSystem& fs) { fs.DeleteFile("/b"); }},
      {"FileSetSize",
       [](TESingleFileSystem& fs) { fs.FileSetSize(fs.OpenFile("/b", kModeReadWriteDenyWrite), 0); }},
      {"FileWrite",
       [](TESingleFileSystem& fs) { WriteNew(fs, fs.OpenFile("/b", kModeReadWriteDenyWrite)); }},
      {"CreateFile", [](TESingleFileSystem& fs) { WriteNew(fs, fs.OpenFile("/c", kModeCreate)); }},
      {"RenameFile", [](TESingleFileSystem& fs) { fs.RenameFile("/b", "/d"); }},
      {"CreateDir", [](TESingleFileSystem& fs) { fs.CreateDir("/e"); }},
  };
  for (const Share& share : kShares) {
    for (const Change& change : kChanges) {
      SCOPED_TRACE(std::string(share.what) + ", " + change.operation);
      const int32_t shared = ShareWithB(share.pick);
      EXPECT_EQ(Get("/a"), original);  // reading is still allowed
      try {
        change.run(*fs);
        ADD_FAILURE() << "the change was allowed";
      } catch (const EEngineError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "TESingleFileSystem." + std::string(change.operation) + " - page " +
                      std::to_string(shared) + " is named by " + share.owners +
                      ": the container is damaged and must be repaired before it is changed.");
      }
      EXPECT_FALSE(fs->FreeSpace().IsPageFree(shared));
      Reopen();
      EXPECT_EQ(Get("/a"), original);
      EXPECT_TRUE(fs->FileExists("/b"));
      fs.reset();
      bool reported = false;
      for (const TCheckProblem& problem : CheckContainer(name))
        reported = reported || problem.Page == shared;
      EXPECT_TRUE(reported) << "the checker no longer reports page " << shared;
    }
  }
}

TEST_F(PageOwnersTest, DamageThatHidesOwnersRefusesChangesUntilRepaired) {
  struct Damage {
    const char* what;
    // Damages the container (open with "/a" and "/b"), closes it and returns
    // what the refusal must say.
    std::function<std::string(PageOwnersTest&)> apply;
  };
  const Damage kDamages[] = {
      {"a map page that fails its checksum",
       [](PageOwnersTest& t) {
         const int32_t bMap = t.fs->PageMaps().GetMaps(RecordOf(*t.fs, "/b")).MapPages.at(0);
         t.fs.reset();
         auto bytes = testing::ReadFileBytes(t.name);
         bytes.at(static_cast<size_t>(kBase + int64_t{bMap} * kPageSize + 1000)) ^= 0x20;
         testing::WriteFileBytes(t.name, bytes);
         return std::string("the page map of \"\\b\" cannot be read "
                            "(TUserFilePageMapManager.GetMaps - Error on reading map page.)");
       }},
      {"a directory page marked free",
       [](PageOwnersTest& t) {
         const int32_t page = t.fs->Directory().PageList().at(0);
         t.fs.reset();
         TPageFileManager pages(t.name, 16, 4, false, "", "", "", kModeReadWriteDenyWrite);
         auto pfs = pages.NewPageBuffer();
         EXPECT_TRUE(pages.ReadPage(pfs->Rec, 1, false, "", -1));
         pfs->Payload.at(static_cast<size_t>(page - 1) / 8) |= static_cast<uint8_t>(1 << ((page - 1) % 8));
         EXPECT_TRUE(pages.WritePage(pfs->Rec, 1, "", -1));
         return "page " + std::to_string(page) + " of the directory is marked free";
       }},
  };
  for (const Damage& damage : kDamages) {
    SCOPED_TRACE(damage.what);
    fs.reset();
    ContainerTest::SetUp();
    ASSERT_TRUE(Put("/a", original));
    ASSERT_TRUE(Put("/b", Bytes(100, 2)));
    const std::string refusal = damage.apply(*this);
    Reopen();
    EXPECT_EQ(Get("/a"), original);
    try {
      fs->DeleteFile("/a");
      ADD_FAILURE() << "the change was allowed";
    } catch (const EEngineError& e) {
      EXPECT_EQ(std::string(e.what()), "TESingleFileSystem.DeleteFile - " + refusal +
                                           ": the container is damaged and must be repaired "
                                           "before it is changed.");
    }
    EXPECT_EQ(Get("/a"), original);
    // Repair copies what can be read into a sound container, which takes
    // changes again.
    std::string log;
    fs->RepairFile(log, false, "", "", "", false);
    EXPECT_TRUE(Put("/c", Bytes(9000, 3))) << log;
    EXPECT_EQ(Get("/a"), original);
  }
}

}  // namespace
}  // namespace norvane
