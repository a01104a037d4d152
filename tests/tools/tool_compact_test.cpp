// norvane-db compact on a damaged catalogue and on a disk without room: the
// damage stays visible after the rebuild, and a compaction the disk cannot
// hold is refused before anything is written.
#include <gtest/gtest.h>

#include "engine/container/single_file_system.h"
#include "engine/platform/file_system.h"
#include "engine/platform/free_space.h"
#include "tests/support/file_bytes.h"
#include "tests/tools/tool_runner.h"

namespace norvane {
namespace {

constexpr int64_t kPayload = 4064;
constexpr int64_t kMB = 1024 * 1024;

using ToolCompactTest = NorvaneDbFiles;

std::string LastLine(const std::string& text) {
  const auto lines = LinesOf(text);
  return lines.empty() ? std::string() : lines.back();
}

TEST_F(ToolCompactTest, DamagedPageStillFailsAfterCompact) {
  std::string big(3 * kPayload + 10, 'b');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  ASSERT_EQ(RunDb({"put", file, "/big.bin"}, big).status, 0);
  int32_t page = 0;
  {
    TESingleFileSystem fs(file, 16, 4, 0, "", "", "", false, kModeReadWriteDenyWrite);
    const TFileRec rec = fs.Directory().ReadItem(fs.Directory().FindPath("/big.bin"));
    page = fs.PageMaps().GetMaps(rec).DataPages[1];
  }
  auto bytes = testing::ReadFileBytes(file);
  bytes[static_cast<size_t>(280 + int64_t{page} * 4096 + 32 + 9)] ^= 0x01;  // one bit
  testing::WriteFileBytes(file, bytes);

  const TRun compact = RunDb({"compact", file});
  EXPECT_EQ(compact.status, 1);
  EXPECT_EQ(LastLine(compact.err),
            "Some data could not be copied: /big.bin bytes 4064-8127 cannot be read; the "
            "catalogue as it was is kept as " + file + "0.");
  EXPECT_EQ(testing::ReadFileBytes(file + "0"), bytes);

  const TRun check = RunDb({"check", file});
  EXPECT_EQ(check.status, 1) << check.out;
  EXPECT_EQ(LastLine(check.out), "1 problem") << check.out;
  EXPECT_NE(check.out.find("checksum mismatch (data page 1 of \"/big.bin\")"), std::string::npos)
      << check.out;
  EXPECT_EQ(RunDb({"get", file, "/big.bin"}).status, 1);
  EXPECT_EQ(RunDb({"get", file, "/top.txt"}).out, "hello");
}

// The free space the tests pretend the disk has.
int64_t pretendFree = 0;
int64_t PretendFree(const std::string&) { return pretendFree; }

struct RoomCase {
  const char* name;
  size_t liveBytes;     // a file kept
  size_t deletedBytes;  // a file deleted before the compaction
  int64_t free;
  int status;
  const char* lastLine;  // or its start on success; FILE: the catalogue's name
};

// The need is the whole catalogue's size, free pages included: the new
// catalogue is built beside the old one, which stays until the end.
const RoomCase kRoom[] = {
    {"RoomForTheWholeCatalogue", 0, 3 * kMB, 4 * kMB, 0, "size after: "},
    {"DeletedPagesCountToo", 0, 3 * kMB, 2 * kMB, 1,
     "compact needs about 4 MB free beside FILE; only 2 MB are free."},
    {"LivePagesNeedRoom", 3 * kMB, 0, 2 * kMB, 1,
     "compact needs about 4 MB free beside FILE; only 2 MB are free."},
    {"NoRoomAtAll", 10, 0, 100, 1,
     "compact needs about 1 MB free beside FILE; only 0 MB are free."},
};

TEST_F(ToolCompactTest, RefusesToStartWithoutRoomForASecondCatalogue) {
  struct ProbeGuard {
    TFreeSpaceProbe old = SetFreeSpaceProbe(PretendFree);
    ~ProbeGuard() { SetFreeSpaceProbe(old); }
  } guard;
  for (const RoomCase& c : kRoom) {
    const std::string name = dir / (std::string(c.name) + ".adb");
    ASSERT_EQ(RunDb({"create", name}).status, 0);
    ASSERT_EQ(RunDb({"put", name, "/live"}, std::string(c.liveBytes, 'l')).status, 0);
    ASSERT_EQ(RunDb({"put", name, "/deleted"}, std::string(c.deletedBytes, 'd')).status, 0);
    ASSERT_EQ(RunDb({"rm", name, "/deleted"}).status, 0);
    const auto before = testing::ReadFileBytes(name);
    pretendFree = c.free;
    const TRun compact = RunDb({"compact", name});
    pretendFree = 0;
    EXPECT_EQ(compact.status, c.status) << c.name << "\n" << compact.err;
    std::string expected = c.lastLine;
    if (const size_t at = expected.find("FILE"); at != std::string::npos)
      expected.replace(at, 4, name);
    if (c.status == 0) {
      EXPECT_EQ(LastLine(compact.out).rfind(expected, 0), 0u) << c.name << "\n" << compact.out;
    } else {
      EXPECT_EQ(LastLine(compact.err), expected) << c.name;
      EXPECT_EQ(testing::ReadFileBytes(name), before) << c.name;
      EXPECT_FALSE(FileExists(name + "_new")) << c.name;
    }
  }
}

}  // namespace
}  // namespace norvane
