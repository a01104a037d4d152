// Compaction of a container with damaged data pages: the rebuilt container
// must not vouch for bytes that could not be read. The damaged pages still
// fail to read there, at exactly their byte ranges, the checker still names
// them, every other byte comes across exact, and the repair reports the file,
// the ranges and the backup.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "engine/container/container_check.h"
#include "engine/platform/file_system.h"
#include "tests/container/container_fixture.h"
#include "tests/support/file_bytes.h"

namespace norvane {
namespace {

using testing::Bytes;
using testing::kBase;
using testing::kPageSize;
using testing::kPayload;

struct DamageCase {
  const char* name;
  int64_t size;                // of the damaged file
  std::vector<int32_t> pages;  // its data pages to damage, by index
  std::vector<TByteRange> ranges;
};

const DamageCase kDamage[] = {
    {"FirstPage", 3 * kPayload + 100, {0}, {{0, kPayload - 1}}},
    {"MiddlePage", 3 * kPayload + 100, {1}, {{kPayload, 2 * kPayload - 1}}},
    {"LastPage", 3 * kPayload + 100, {3}, {{3 * kPayload, 3 * kPayload + 99}}},
    {"LastPageFilledExactly", 3 * kPayload, {2}, {{2 * kPayload, 3 * kPayload - 1}}},
    {"NeighboursJoinAndGapsSplit",
     5 * kPayload + 7,
     {1, 2, 5},
     {{kPayload, 3 * kPayload - 1}, {5 * kPayload, 5 * kPayload + 6}}},
};

struct Param {
  DamageCase damage;
  std::string password;  // empty: a plain container
};

void PrintTo(const Param& param, std::ostream* out) {
  *out << (param.password.empty() ? "plain, " : "encrypted, ") << param.damage.name;
}

class CompactDamageTest : public ::testing::TestWithParam<Param> {
 protected:
  void Open(uint16_t mode) {
    fs.reset();
    fs = std::make_unique<TESingleFileSystem>(name, 16, 4, 0, "", "", GetParam().password,
                                              false, mode);
  }

  void Put(const std::string& path, const std::vector<uint8_t>& bytes) {
    const int32_t handle = fs->OpenFile(path, kModeCreate);
    ASSERT_GE(handle, 0) << path;
    const int64_t n = static_cast<int64_t>(bytes.size());
    ASSERT_EQ(fs->FileWrite(handle, bytes.data(), n), n) << path;
    fs->CloseFile(handle);
  }

  // Bytes [from, from + length) of the file, or as many as could be read.
  std::vector<uint8_t> Read(const std::string& path, int64_t from, int64_t length) {
    const int32_t handle = fs->OpenFile(path, 0);
    EXPECT_GE(handle, 0) << path;
    if (handle < 0) return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    fs->FileSeek(handle, 0, from);
    const int64_t got = fs->FileRead(handle, bytes.data(), length);
    bytes.resize(static_cast<size_t>(std::max<int64_t>(0, got)));
    fs->CloseFile(handle);
    return bytes;
  }

  std::vector<int32_t> DataPages(const std::string& path) {
    const TFileRec rec = fs->Directory().ReadItem(fs->Directory().FindPath(path));
    return fs->PageMaps().GetMaps(rec).DataPages;
  }

  testing::TTempFolder dir;
  std::string name = dir / "c.adb";
  std::unique_ptr<TESingleFileSystem> fs;
};

bool InRanges(int64_t byte, const std::vector<TByteRange>& ranges) {
  return std::any_of(ranges.begin(), ranges.end(),
                     [&](const TByteRange& r) { return r.First <= byte && byte <= r.Last; });
}

TEST_P(CompactDamageTest, DamagedBytesStillFailAndEverythingElseComesAcross) {
  const DamageCase& c = GetParam().damage;
  const auto before = Bytes(9000, 1);
  const auto bad = Bytes(static_cast<size_t>(c.size), 2);
  const auto after = Bytes(2 * kPayload + 1, 3);
  Open(kModeCreate);
  // A deleted file first, so the compaction moves every page it copies.
  Put("/gone", Bytes(3 * kPayload, 4));
  Put("/before", before);
  ASSERT_TRUE(fs->ForceDirectories("/d"));
  Put("/d/bad", bad);
  Put("/after", after);
  ASSERT_TRUE(fs->DeleteFile("/gone"));
  const std::vector<int32_t> oldPages = DataPages("/d/bad");
  fs.reset();
  auto stored = testing::ReadFileBytes(name);
  for (const int32_t i : c.pages) {
    const int64_t page = oldPages[static_cast<size_t>(i)];
    stored[static_cast<size_t>(kBase + page * kPageSize + 32 + 50)] ^= 0x10;  // one payload bit
  }
  testing::WriteFileBytes(name, stored);

  Open(kModeReadWriteDenyWrite);
  std::string log;
  ASSERT_TRUE(fs->RepairFile(log, false, "", "", "", false)) << log;
  EXPECT_TRUE(fs->RepairLostData());
  ASSERT_EQ(fs->RepairDamage().size(), 1u);
  EXPECT_EQ(fs->RepairDamage()[0].Path, "\\d\\bad");
  const auto& ranges = fs->RepairDamage()[0].Ranges;
  ASSERT_EQ(ranges.size(), c.ranges.size());
  for (size_t r = 0; r < ranges.size(); ++r) {
    EXPECT_EQ(ranges[r].First, c.ranges[r].First) << r;
    EXPECT_EQ(ranges[r].Last, c.ranges[r].Last) << r;
  }
  EXPECT_EQ(fs->RepairBackup(), name + "0");
  EXPECT_EQ(testing::ReadFileBytes(name + "0"), stored);
  EXPECT_NE(log.find("File \"\\d\\bad\" has unreadable bytes " + RangesText(c.ranges)),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Backup kept as \"" + name + "0\""), std::string::npos) << log;

  Open(kModeReadWriteDenyWrite);
  EXPECT_EQ(Read("/before", 0, 9000), before);
  EXPECT_EQ(Read("/after", 0, static_cast<int64_t>(after.size())), after);
  // Page by page: a damaged page reads nothing, any other page reads exact.
  for (int64_t from = 0; from < c.size; from += kPayload) {
    const int64_t length = std::min(kPayload, c.size - from);
    const auto got = Read("/d/bad", from, length);
    if (InRanges(from, c.ranges)) {
      EXPECT_TRUE(got.empty()) << "bytes from " << from << " read as sound";
    } else {
      EXPECT_TRUE(std::equal(got.begin(), got.end(), bad.begin() + from) &&
                  static_cast<int64_t>(got.size()) == length)
          << "bytes from " << from;
    }
  }
  std::set<int32_t> damagedPages;
  const std::vector<int32_t> newPages = DataPages("/d/bad");
  for (const int32_t i : c.pages) damagedPages.insert(newPages[static_cast<size_t>(i)]);
  fs.reset();

  const auto problems = CheckContainer(name, {}, GetParam().password);
  std::set<int32_t> named;
  for (const TCheckProblem& problem : problems) {
    if (problem.Warning) continue;
    named.insert(problem.Page);
    EXPECT_NE(problem.What.find("checksum mismatch (data page"), std::string::npos)
        << FormatCheckProblem(problem);
  }
  EXPECT_EQ(named, damagedPages);
  EXPECT_EQ(CountProblems(problems), c.pages.size());
}

// A page the old container holds only in part (its file cut short) is
// carried across under a checksum its bytes fail, rather than as zeros that
// would read as sound.
TEST(CompactCutShortTest, PageCutShortStaysUnreadable) {
  testing::TTempFolder dir;
  const std::string name = dir / "c.adb";
  const auto bytes = Bytes(11 * kPayload, 5);
  auto fs = std::make_unique<TESingleFileSystem>(name, 16, 4, 0, "", "", "", false, kModeCreate);
  const int32_t handle = fs->OpenFile("/x", kModeCreate);
  ASSERT_EQ(fs->FileWrite(handle, bytes.data(), 11 * kPayload), 11 * kPayload);
  fs->CloseFile(handle);
  const TFileRec rec = fs->Directory().ReadItem(fs->Directory().FindPath("/x"));
  ASSERT_EQ(fs->PageMaps().GetMaps(rec).DataPages.back(), fs->PageFile().PageCount() - 1);
  fs.reset();
  auto stored = testing::ReadFileBytes(name);
  stored.resize(stored.size() - 100);
  testing::WriteFileBytes(name, stored);

  fs = std::make_unique<TESingleFileSystem>(name, 16, 4, 0, "", "", "", false,
                                            kModeReadWriteDenyWrite);
  std::string log;
  ASSERT_TRUE(fs->RepairFile(log, false, "", "", "", false)) << log;
  ASSERT_EQ(fs->RepairDamage().size(), 1u);
  EXPECT_EQ(RangesText(fs->RepairDamage()[0].Ranges),
            std::to_string(10 * kPayload) + "-" + std::to_string(11 * kPayload - 1));
  const int32_t read = fs->OpenFile("/x", 0);
  std::vector<uint8_t> got(bytes.size());
  EXPECT_EQ(fs->FileRead(read, got.data(), 11 * kPayload), 10 * kPayload);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 10 * kPayload, got.begin()));
  fs->CloseFile(read);
  const int32_t last = fs->PageMaps()
                           .GetMaps(fs->Directory().ReadItem(fs->Directory().FindPath("/x")))
                           .DataPages.back();
  fs.reset();
  const auto problems = CheckContainer(name);
  ASSERT_EQ(CountProblems(problems), 1u);
  EXPECT_EQ(problems[0].Page, last);
  EXPECT_EQ(FormatCheckProblem(problems[0]),
            "page " + std::to_string(last) + ": checksum mismatch (data page 10 of \"\\x\")");
}

std::vector<Param> AllParams() {
  std::vector<Param> params;
  for (const std::string password : {"", "secret"})
    for (const DamageCase& c : kDamage) params.push_back({c, password});
  return params;
}

INSTANTIATE_TEST_SUITE_P(Cases, CompactDamageTest, ::testing::ValuesIn(AllParams()),
                         [](const ::testing::TestParamInfo<Param>& info) {
                           return std::string(info.param.password.empty() ? "Plain" : "Encrypted") +
                                  info.param.damage.name;
                         });

}  // namespace
}  // namespace norvane
