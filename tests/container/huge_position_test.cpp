// Positions and sizes at the edge of what a container can hold: seeks never
// overflow, a write or size change the format cannot hold fails with -17
// before anything in the container changes, and a store file whose flush
// fails still gives its handle back.
#include <gtest/gtest.h>

#include <cstdint>

#include "engine/common/engine_error.h"
#include "engine/container/container_check.h"
#include "engine/container/esfs_plain_file_system.h"
#include "tests/container/container_fixture.h"
#include "tests/container/faulty_part.h"
#include "tests/support/file_bytes.h"

namespace norvane {
namespace {

using testing::Bytes;

constexpr int64_t kPayload = 4064;
// 4096-byte pages, extents of 16 pages: page numbers stop at 2^31 - 2, so
// 134,217,727 extents after page 0 (2,147,483,632 pages). 66,053 of them are
// PFS pages (one per 2032 extents), 8,258 GAM/SGAM pages (a pair per 32,512
// extents), one is a directory page: 2,147,409,320 left for one file, which
// can use 2,145,297,806 as data pages and the other 2,111,514 as its map
// pages (1016 entries each).
constexpr int64_t kMaxPages = 2145297806;
constexpr int64_t kMax = kMaxPages * kPayload;
// Where 2^32 data pages begin: a page count that wraps to 0 in 32 bits.
constexpr int64_t k4GPages = (int64_t{1} << 32) * kPayload;

class HugePositionTest : public testing::ContainerTest {
 protected:
  void SetUp() override {
    ContainerTest::SetUp();
    ASSERT_TRUE(Put("/keep", keep));
    ASSERT_TRUE(Put("/ten", Bytes(10, 2)));
    ASSERT_TRUE(Put("/empty", {}));
  }

  // Opens the file, counting OnNoSpace from zero, and remembers the
  // container's bytes from then on (the open touches the access time).
  int32_t OpenAndSnapshot(const std::string& path) {
    noSpace = 0;
    fs->OnNoSpace = [this](TESingleFileSystem&) { ++noSpace; };
    const int32_t handle = fs->OpenFile(path, kModeReadWriteDenyWrite);
    EXPECT_GE(handle, 0);
    fs->FileFlush(handle);
    before = testing::ReadFileBytes(name);
    return handle;
  }

  // The container holds exactly the bytes of the snapshot, checks clean and
  // reopens with every file as it was.
  void ExpectUnchanged(int32_t handle, const std::string& what) {
    fs->FileFlush(handle);
    EXPECT_TRUE(testing::ReadFileBytes(name) == before) << what << ": the container changed";
    fs->CloseFile(handle);
    fs.reset();
    for (const TCheckProblem& problem : CheckContainer(name))
      ADD_FAILURE() << what << ": " << FormatCheckProblem(problem);
    Reopen();
    EXPECT_EQ(Get("/keep"), keep) << what;
    EXPECT_EQ(Get("/ten"), Bytes(10, 2)) << what;
    EXPECT_EQ(fs->FileSize("/empty"), 0) << what;
  }

  const std::vector<uint8_t> keep = Bytes(3 * kPayload + 100, 1);
  std::vector<uint8_t> before;
  int noSpace = 0;
};

TEST_F(HugePositionTest, TheLargestFileFollowsFromTheGeometry) {
  EXPECT_EQ(fs->PageMaps().MaxDataPages(), kMaxPages);
  EXPECT_EQ(fs->PageMaps().MaxFileSize(), kMax);
}

// Seeks on a file of 10 bytes from position 5.
TEST_F(HugePositionTest, SeeksNeverOverflow) {
  struct Case {
    int origin;
    int64_t offset;
    int64_t result;  // -1: refused, the position stays 5
  };
  const Case kCases[] = {
      {0, kMax - 1, kMax - 1},
      {0, kMax, kMax},
      {0, kMax + 1, kMax + 1},
      {0, k4GPages, k4GPages},
      {0, INT64_MAX, INT64_MAX},
      {1, INT64_MAX - 5, INT64_MAX},
      {1, INT64_MAX - 4, -1},
      {1, INT64_MAX, -1},
      {2, INT64_MAX - 10, INT64_MAX},
      {2, INT64_MAX - 9, -1},
      {2, INT64_MAX, -1},
      {0, -1, -1},
      {1, -5, 0},
      {1, -6, -1},
      {1, INT64_MIN, -1},
      {2, -10, 0},
      {2, -11, -1},
      {2, INT64_MIN, -1},
  };
  const int32_t handle = fs->OpenFile("/ten", kModeReadWriteDenyWrite);
  for (const Case& c : kCases) {
    const std::string what = std::to_string(c.origin) + ", " + std::to_string(c.offset);
    ASSERT_EQ(fs->FileSeek(handle, 0, 5), 5);
    EXPECT_EQ(fs->FileSeek(handle, c.origin, c.offset), c.result) << what;
    EXPECT_EQ(fs->FileSeek(handle, 1, 0), c.result < 0 ? 5 : c.result) << what;
    // Nothing can be read beyond the end, however far.
    uint8_t byte = 0;
    if (c.result >= 10) {
      EXPECT_EQ(fs->FileRead(handle, &byte, 1), 0) << what;
    }
  }
  fs->CloseFile(handle);
  EXPECT_EQ(Get("/ten"), Bytes(10, 2));
}

// Writes whose last byte would lie beyond the largest file, on an empty file
// and on one with pages. (A file up to the largest size is the free-space
// maps' to grant or refuse, which takes terabytes to try; the rows start at
// the first byte refused before any page is taken.)
TEST_F(HugePositionTest, WritesBeyondTheLargestFileChangeNothing) {
  struct Case {
    const char* path;
    int64_t position;
    int64_t length;
  };
  const Case kCases[] = {
      {"/empty", kMax, 1},
      {"/empty", kMax - 1, 2},
      {"/ten", kMax, 1},
      {"/empty", kMax + 1, 1},
      {"/empty", k4GPages, 1},
      {"/empty", k4GPages + 5 * kPayload, 1},
      {"/ten", k4GPages + 5 * kPayload, 1},
      {"/ten", INT64_MAX - 1, 1},
      {"/ten", INT64_MAX, 1},
      {"/ten", 5, INT64_MAX},
  };
  for (const Case& c : kCases) {
    const std::string what = std::string(c.path) + " at " + std::to_string(c.position) + " + " +
                             std::to_string(c.length);
    const int32_t handle = OpenAndSnapshot(c.path);
    ASSERT_EQ(fs->FileSeek(handle, 0, c.position), c.position) << what;
    const uint8_t byte = 0x5A;  // never read: the write is refused first
    EXPECT_EQ(fs->FileWrite(handle, &byte, c.length), 0) << what;
    EXPECT_EQ(fs->LastError(), -17) << what;
    EXPECT_EQ(noSpace, 1) << what;
    EXPECT_EQ(fs->FileSeek(handle, 1, 0), c.position) << what;
    ExpectUnchanged(handle, what);
  }
}

TEST_F(HugePositionTest, SizesBeyondTheLargestFileChangeNothing) {
  struct Case {
    const char* path;
    int64_t size;
  };
  const Case kCases[] = {
      {"/empty", kMax + 1},
      {"/ten", kMax + 1},
      {"/keep", kMax + 1},
      {"/empty", k4GPages},
      {"/empty", k4GPages + kPayload},
      {"/ten", k4GPages + kPayload},
      {"/empty", INT64_MAX},
      {"/keep", INT64_MAX},
  };
  for (const Case& c : kCases) {
    const std::string what = std::string(c.path) + " to " + std::to_string(c.size);
    const int32_t handle = OpenAndSnapshot(c.path);
    EXPECT_EQ(fs->FileSetSize(handle, c.size), -17) << what;
    EXPECT_EQ(fs->LastError(), -17) << what;
    EXPECT_EQ(noSpace, 1) << what;
    ExpectUnchanged(handle, what);
  }
  const int32_t handle = OpenAndSnapshot("/ten");
  EXPECT_THROW(fs->FileSetSize(handle, -1), EEngineError);
  ExpectUnchanged(handle, "size -1");
}

// A store file whose flush fails on close still gives its container handle
// back, so the file can be deleted or renamed afterwards.
TEST(StoreFileClose, AFailedFlushStillReleasesTheHandle) {
  testing::TTempFolder dir;
  auto plan = std::make_shared<testing::TFaultPlan>();
  TESFSPlainFileSystem store(dir / "db.adb", true, false, false, smContainer, "",
                             TPartOptions{-1, testing::MakeFaultyFactory(plan)});
  for (const char* name : {"a.dat", "b.dat"}) {
    TAbstractFile* file = store.OpenFile(name, true, false, false);
    file->WriteBuffer("abc", 3);
    plan->FailFlushAt = plan->Flushes + 1;
    EXPECT_THROW(file->Close(), EEngineError) << name;
    const int32_t record = store.Container().Directory().FindPath(std::string("\\") + name);
    EXPECT_EQ(store.Container().Directory().OpenCount(record), 0) << name;
    store.CloseFile(file);
  }
  EXPECT_TRUE(store.DeleteFile("a.dat"));
  EXPECT_TRUE(store.RenameFile("b.dat", "c.dat"));
  EXPECT_FALSE(store.FileExists("a.dat"));
  TAbstractFile* file = store.OpenFile("c.dat", false, false, false);
  char text[3] = {};
  file->ReadBuffer(text, 3);
  EXPECT_EQ(std::string(text, 3), "abc");
}

}  // namespace
}  // namespace norvane
