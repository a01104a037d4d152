// Files inside a container: page geometry, reads and writes, size changes,
// deletion, reuse of free pages, and failures that must change nothing.
#include <gtest/gtest.h>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "tests/container/container_fixture.h"
#include "tests/container/faulty_part.h"
#include "tests/support/file_bytes.h"

namespace norvane {
namespace {

using testing::Bytes;
using testing::ContainerTest;
using FilesTest = ContainerTest;

constexpr int64_t kPayload = 4064;

struct Geometry { int64_t size; size_t dataPages; size_t mapPages; };
const Geometry kGeometry[] = {
    {0, 0, 0}, {1, 1, 1}, {4064, 1, 1}, {4065, 2, 1},
    {1016 * kPayload, 1016, 1}, {1016 * kPayload + 1, 1017, 2},
};

TEST_F(FilesTest, SizesTakeWholePagesAndMapPages) {
  for (const Geometry& g : kGeometry) {
    const std::string path = "/g" + std::to_string(g.size);
    const int32_t handle = fs->OpenFile(path, kModeCreate);
    ASSERT_GE(handle, 0);
    ASSERT_EQ(fs->FileSetSize(handle, g.size), g.size);
    fs->CloseFile(handle);
  }
  Reopen();
  for (const Geometry& g : kGeometry) {
    const TFileRec& rec = fs->Directory().ReadItem(fs->Directory().FindPath("/g" + std::to_string(g.size)));
    EXPECT_EQ(rec.Size, g.size);
    if (g.dataPages == 0) {
      EXPECT_EQ(rec.FirstMapPageNo, -1);
      continue;
    }
    const auto& maps = fs->PageMaps().GetMaps(rec);
    EXPECT_EQ(maps.DataPages.size(), g.dataPages) << g.size;
    EXPECT_EQ(maps.MapPages.size(), g.mapPages) << g.size;
  }
}

TEST_F(FilesTest, OneByteWritesOneMapPageAndOneDataPageExactly) {
  const int32_t handle = fs->OpenFile("/one", kModeCreate);
  ASSERT_EQ(fs->FileWrite(handle, "\x5A", 1), 1);
  fs->CloseFile(handle);
  fs->Flush();
  const TFileRec& rec = fs->Directory().ReadItem(fs->Directory().FindPath("/one"));
  EXPECT_EQ(rec.Size, 1);
  const auto maps = fs->PageMaps().GetMaps(rec);
  ASSERT_EQ(maps.MapPages.size(), 1u);
  ASSERT_EQ(maps.DataPages.size(), 1u);
  const auto raw = testing::ReadFileBytes(name);
  const uint8_t* map = raw.data() + 280 + static_cast<int64_t>(maps.MapPages[0]) * 4096;
  EXPECT_EQ(GetI32LE(map), -1);        // the end of the chain
  EXPECT_EQ(map[8], ptMap);
  EXPECT_EQ(map[9], 0);
  EXPECT_EQ(GetU32LE(map + 32), static_cast<uint32_t>(maps.DataPages[0]));
  const uint8_t* data = raw.data() + 280 + static_cast<int64_t>(maps.DataPages[0]) * 4096;
  EXPECT_EQ(data[8], ptFileData);
  EXPECT_EQ(data[32], 0x5A);
  EXPECT_EQ(data[33], 0);
  EXPECT_EQ(GetU32LE(data + 4), 0x5Au);  // XOR32 of the payload
}

TEST_F(FilesTest, ReadsStopAtTheEndAndSeeksRefuseNegativePositions) {
  ASSERT_TRUE(Put("/f", Bytes(5000, 1)));
  const int32_t handle = fs->OpenFile("/f", 0);
  uint8_t buffer[100];
  EXPECT_EQ(fs->FileSeek(handle, 2, 0), 5000);
  EXPECT_EQ(fs->FileRead(handle, buffer, 100), 0);
  EXPECT_EQ(fs->FileSeek(handle, 1, 0), 5000);   // position left alone
  EXPECT_EQ(fs->FileSeek(handle, 0, 4990), 4990);
  EXPECT_EQ(fs->FileRead(handle, buffer, 100), 10);
  EXPECT_EQ(fs->FileSeek(handle, 1, -6000), -1);
  EXPECT_EQ(fs->FileSeek(handle, 1, 0), 5000);
  EXPECT_EQ(fs->FileSeek(12345, 0, 1), 0);       // unknown handle
  EXPECT_EQ(fs->FileSetSize(12345, 1), -6);
  fs->CloseFile(handle);
}

TEST_F(FilesTest, WritingPastTheEndLeavesZerosInTheGap) {
  const int32_t handle = fs->OpenFile("/gap", kModeCreate);
  ASSERT_EQ(fs->FileWrite(handle, "ab", 2), 2);
  fs->FileSeek(handle, 0, 3 * kPayload + 10);
  ASSERT_EQ(fs->FileWrite(handle, "xyz", 3), 3);
  fs->CloseFile(handle);
  Reopen();
  const auto bytes = Get("/gap");
  ASSERT_EQ(bytes.size(), static_cast<size_t>(3 * kPayload + 13));
  EXPECT_EQ(bytes[0], 'a');
  EXPECT_TRUE(std::all_of(bytes.begin() + 2, bytes.end() - 3, [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(bytes.back(), 'z');
}

TEST_F(FilesTest, ShrinkingThenGrowingShowsZerosNotOldBytes) {
  ASSERT_TRUE(Put("/s", std::vector<uint8_t>(3000, 'x')));
  const int32_t handle = fs->OpenFile("/s", 0x22);
  ASSERT_EQ(fs->FileSetSize(handle, 10), 10);
  ASSERT_EQ(fs->FileSetSize(handle, 3000), 3000);
  fs->CloseFile(handle);
  const auto bytes = Get("/s");
  EXPECT_TRUE(std::all_of(bytes.begin(), bytes.begin() + 10, [](uint8_t b) { return b == 'x'; }));
  EXPECT_TRUE(std::all_of(bytes.begin() + 10, bytes.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(FilesTest, SizeZeroReleasesEveryPage) {
  ASSERT_TRUE(Put("/z", Bytes(kPayload, 2)));
  const TFileRec before = fs->Directory().ReadItem(fs->Directory().FindPath("/z"));
  const auto maps = fs->PageMaps().GetMaps(before);
  const int32_t handle = fs->OpenFile("/z", 0x22);
  ASSERT_EQ(fs->FileSetSize(handle, 0), 0);
  fs->CloseFile(handle);
  EXPECT_EQ(fs->Directory().ReadItem(fs->Directory().FindPath("/z")).FirstMapPageNo, -1);
  EXPECT_TRUE(fs->FreeSpace().IsPageFree(maps.MapPages[0]));
  EXPECT_TRUE(fs->FreeSpace().IsPageFree(maps.DataPages[0]));
}

TEST_F(FilesTest, OpenFilesAreNeitherDeletedNorReplaced) {
  ASSERT_TRUE(Put("/open", {1, 2, 3}));
  const int32_t handle = fs->OpenFile("/open", 0);
  EXPECT_FALSE(fs->DeleteFile("/open"));
  EXPECT_EQ(fs->CreateFile("/open"), -16);
  fs->CloseFile(handle);
  EXPECT_EQ(Get("/open"), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_TRUE(fs->DeleteFile("/open"));
  EXPECT_FALSE(fs->DeleteFile("/open"));
}

TEST_F(FilesTest, FilesNeedTheirFolders) {
  EXPECT_LT(fs->CreateFile("/no/such/file"), 0);
  ASSERT_TRUE(fs->ForceDirectories("/no/such"));
  EXPECT_GE(fs->CreateFile("/no/such/file"), 0);
}

TEST_F(FilesTest, ReadOnlyContainerRefusesChanges) {
  ASSERT_TRUE(Put("/r", {1}));
  Reopen(kModeReadOnlyDenyNone);
  const int32_t handle = fs->OpenFile("/r", 0);
  EXPECT_THROW(fs->FileWrite(handle, "x", 1), EEngineError);
  EXPECT_THROW(fs->FileSetSize(handle, 5), EEngineError);
  EXPECT_THROW(fs->DeleteFile("/r"), EEngineError);
  EXPECT_THROW(fs->CreateDir("/d"), EEngineError);
  EXPECT_EQ(Get("/r"), std::vector<uint8_t>{1});
}

// Writing and deleting the same 10 MB file again and again reuses the pages.
TEST_F(FilesTest, FreePagesAreReused) {
  const auto data = Bytes(10 << 20, 3);
  ASSERT_TRUE(Put("/big", data));
  const int64_t first = fs->ContainerSize();
  for (int round = 0; round < 20; ++round) {
    ASSERT_TRUE(fs->DeleteFile("/big"));
    ASSERT_TRUE(Put("/big", data));
  }
  EXPECT_LE(fs->ContainerSize(), 2 * first);
  Reopen();
  EXPECT_EQ(Get("/big"), data);
}

class FaultyFilesTest : public ContainerTest {
 protected:
  void SetUp() override {
    parts.Factory = testing::MakeFaultyFactory(plan);
    ContainerTest::SetUp();
  }
  std::shared_ptr<testing::TFaultPlan> plan = std::make_shared<testing::TFaultPlan>();
};

TEST_F(FaultyFilesTest, NoSpaceFailsTheWriteAndChangesNothing) {
  ASSERT_TRUE(Put("/keep", Bytes(100, 4)));
  fs->Flush();
  const auto before = testing::ReadFileBytes(name);
  int noSpace = 0;
  fs->OnNoSpace = [&](TESingleFileSystem&) { ++noSpace; };
  plan->FreeBytes = 0;
  const int32_t handle = fs->OpenFile("/keep", 0x22);
  const auto more = Bytes(100000, 5);
  fs->FileSeek(handle, 2, 0);
  EXPECT_EQ(fs->FileWrite(handle, more.data(), static_cast<int64_t>(more.size())), 0);
  EXPECT_EQ(fs->LastError(), -17);
  EXPECT_EQ(fs->FileSetSize(handle, 100000), -17);
  EXPECT_EQ(noSpace, 2);
  fs->CloseFile(handle);
  plan->FreeBytes = -1;
  EXPECT_EQ(Get("/keep"), Bytes(100, 4));
  EXPECT_EQ(fs->FileSize("/keep"), 100);
  Reopen();
  EXPECT_EQ(Get("/keep"), Bytes(100, 4));
  (void)before;
}

// Pages leave a file only after its record stops naming them: when the
// record cannot be written, the pages stay in use.
TEST_F(FaultyFilesTest, PagesAreFreedOnlyAfterTheRecordIsWritten) {
  ASSERT_TRUE(Put("/f", Bytes(3 * kPayload, 6)));
  const TFileRec rec = fs->Directory().ReadItem(fs->Directory().FindPath("/f"));
  const auto maps = fs->PageMaps().GetMaps(rec);
  const int32_t handle = fs->OpenFile("/f", 0x22);
  plan->FailWriteAt = plan->Writes + 1;  // the directory page
  EXPECT_THROW(fs->FileSetSize(handle, 0), EEngineError);
  for (int32_t page : maps.DataPages) EXPECT_FALSE(fs->FreeSpace().IsPageFree(page)) << page;
  plan->FailWriteAt = 0;
  fs->CloseFile(handle);
  fs.reset();
  Reopen();
  EXPECT_EQ(Get("/f"), Bytes(3 * kPayload, 6));
}

// The cached maps of a growing file take new pages in place: when a map or
// zero page cannot be written, they must be cut back to what the record
// names, or later writes would use pages the file does not own.
TEST_F(FaultyFilesTest, FailedGrowthLeavesTheCachedMapsAsTheRecordSays) {
  ASSERT_TRUE(Put("/f", Bytes(3 * kPayload, 6)));
  // The first writes of the growth are free-space pages and the header,
  // then map pages, then some of the 2000 zero pages: a failure of any of
  // them fails the growth, with an exception or with -17.
  for (int write = 1; write <= 10; ++write) {
    const int32_t handle = fs->OpenFile("/f", 0x22);
    plan->FailWriteAt = plan->Writes + write;
    bool grew = false;
    try {
      grew = fs->FileSetSize(handle, 2000 * kPayload) >= 0;
    } catch (const EEngineError&) {
    }
    EXPECT_FALSE(grew) << write;
    plan->FailWriteAt = 0;
    fs->CloseFile(handle);
    const TFileRec rec = fs->Directory().ReadItem(fs->Directory().FindPath("/f"));
    EXPECT_EQ(rec.Size, 3 * kPayload) << write;
    EXPECT_EQ(fs->PageMaps().DataPageCount(rec), 3) << write;
  }
  EXPECT_EQ(Get("/f"), Bytes(3 * kPayload, 6));
  fs.reset();
  Reopen();
  EXPECT_EQ(Get("/f"), Bytes(3 * kPayload, 6));
}

}  // namespace
}  // namespace norvane
