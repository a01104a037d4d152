// Salvage in the situations the sweeps meet only by chance: a directory
// chain broken by its page type, by its link or with the header gone too;
// parents lost (items go to the lost-and-found folder by record number); a
// map chain of two pages with the first one damaged; encrypted catalogues.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "engine/container/container_check.h"
#include "engine/container/container_salvage.h"
#include "engine/platform/file_system.h"
#include "tests/container/container_fixture.h"
#include "tests/support/file_bytes.h"

namespace norvane {
namespace {

using testing::Bytes;

using testing::kBase;
using testing::kPageSize;
using testing::kPayload;
constexpr int64_t kBigSize = 1016 * kPayload + 5000;  // two map pages

// Folders /a and /a/b first (records 0 and 1, directory page 0), then 30
// small files in /a so the directory has five pages, a file of several pages
// below /a/b and one whose data pages need two map pages.
class SalvageCaseTest : public testing::ContainerTest {
 protected:
  void Make(const std::string& withPassword) {
    password = withPassword;
    fs.reset();
    fs = std::make_unique<TESingleFileSystem>(name, 16, 4, 0, "", "", password, false, kModeCreate);
    ASSERT_TRUE(fs->ForceDirectories("/a/b"));
    for (int i = 0; i < 30; ++i) files["\\a\\f" + std::to_string(i)] = Bytes(100 + i * 37, i);
    files["\\a\\b\\deep"] = Bytes(3 * kPayload - 10, 77);
    files["\\big"] = Bytes(kBigSize, 78);
    for (const auto& [path, bytes] : files) ASSERT_TRUE(Put(path, bytes)) << path;
    directory = fs->Directory().PageList();
    ASSERT_GE(directory.size(), 5u);
    for (const auto& [path, bytes] : files) {
      const int32_t record = fs->Directory().FindPath(path);
      records[path] = record;
      maps[path] = fs->PageMaps().GetMaps(fs->Directory().ReadItem(record));
    }
    fs.reset();
    sound = testing::ReadFileBytes(name);
  }

  void Flip(std::vector<uint8_t>& bytes, int32_t page, int64_t offset) {
    bytes.at(static_cast<size_t>(kBase + static_cast<int64_t>(page) * kPageSize + offset)) ^= 0x20;
  }

  TSalvageReport Salvage(const std::vector<uint8_t>& bytes, const std::string& with) {
    back.reset();
    testing::WriteFileBytes(name, bytes);
    TSalvageReport report = SalvageContainer(name, recovered, with);
    EXPECT_EQ(testing::ReadFileBytes(name), bytes);
    back = std::make_unique<TESingleFileSystem>(recovered, 16, 4, 0, "", "", with, false,
                                                kModeReadOnlyDenyNone);
    return report;
  }

  const TSalvagedFile* Find(const TSalvageReport& report, const std::string& path) {
    for (const TSalvagedFile& file : report.Files)
      if (file.Record == records.at(path)) return &file;
    return nullptr;
  }

  std::vector<uint8_t> Read(const std::string& path) {
    const int32_t handle = back->OpenFile(path, 0);
    if (handle < 0) return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(back->FileSize(path)));
    back->FileRead(handle, bytes.data(), static_cast<int64_t>(bytes.size()));
    back->CloseFile(handle);
    return bytes;
  }

  int32_t DirectoryPageOf(const std::string& path) const {
    return directory.at(static_cast<size_t>(records.at(path)) / 7);
  }

  std::string password;
  std::string recovered = dir / "recovered.adb";
  std::map<std::string, std::vector<uint8_t>> files;
  std::map<std::string, int32_t> records;
  std::map<std::string, TUserFilePageMapManager::TFileMaps> maps;
  std::vector<int32_t> directory;
  std::vector<uint8_t> sound;
  std::unique_ptr<TESingleFileSystem> back;
};

// Directory page 2 of the chain is damaged four ways, with the header sound
// and gone: the records of every other page keep their numbers (so their
// parent links still hold) and come back where they were.
TEST_F(SalvageCaseTest, ABrokenDirectoryChainLosesOnlyItsDamagedPage) {
  struct Case {
    const char* what;
    int64_t offset;    // in directory page 2
    bool recordsLost;  // whether that page's own records are lost
  };
  const Case kCases[] = {
      {"payload", 32 + 700, true},
      {"page type", 8, true},
      {"link to the next page", 1, false},
  };
  Make("");
  for (const bool headerToo : {false, true}) {
    for (const Case& c : kCases) {
      const std::string what = std::string(c.what) + (headerToo ? ", header damaged" : "");
      std::vector<uint8_t> bytes = sound;
      Flip(bytes, directory[2], c.offset);
      if (headerToo) Flip(bytes, 0, 20);
      const TSalvageReport report = Salvage(bytes, "");
      if (headerToo) {
        // The geometry comes from the pages: the engine's 4 KB and 16.
        const auto& log = report.Log;
        EXPECT_NE(std::find(log.begin(), log.end(),
                            "Extent size 16 pages (it fits the first free-space page)."),
                  log.end());
        EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
          return line.starts_with("Page size 4096 bytes");
        }));
      }
      for (const auto& [path, content] : files) {
        const TSalvagedFile* file = Find(report, path);
        if (c.recordsLost && DirectoryPageOf(path) == directory[2]) {
          EXPECT_EQ(file, nullptr) << what << ": " << path;
          continue;
        }
        ASSERT_NE(file, nullptr) << what << ": " << path;
        EXPECT_EQ(file->State, TSalvageState::Whole) << what << ": " << path;
        EXPECT_EQ(file->Path, path) << what;
        EXPECT_EQ(Read(path), content) << what << ": " << path;
      }
    }
  }
}

// Two breaks in the chain without a header leave the pages after the first
// break unplaced: their records lose their numbers (so nothing can name them
// as a parent), but their own parent links still put them where they were.
TEST_F(SalvageCaseTest, RecordsOfUnplacedDirectoryPagesKeepTheirFolders) {
  Make("");
  std::vector<uint8_t> bytes = sound;
  Flip(bytes, 0, 20);
  Flip(bytes, directory[1], 8);
  Flip(bytes, directory[3], 8);
  const TSalvageReport report = Salvage(bytes, "");
  int unnumbered = 0;
  for (const auto& [path, content] : files) {
    const int32_t page = DirectoryPageOf(path);
    if (page == directory[1] || page == directory[3]) continue;
    const bool placed = page == directory[0];
    const auto file = std::find_if(report.Files.begin(), report.Files.end(),
                                   [&](const TSalvagedFile& f) { return f.Path == path; });
    ASSERT_NE(file, report.Files.end()) << path << "\n" << ::testing::PrintToString(report.Log);
    EXPECT_EQ(file->Record, placed ? records.at(path) : -1) << path;
    EXPECT_EQ(file->State, TSalvageState::Whole) << path;
    EXPECT_EQ(Read(path), content) << path;
    unnumbered += placed ? 0 : 1;
  }
  EXPECT_GT(unnumbered, 0);
}

// The page holding the folders' records is lost: their files go to
// \lost+found named by record number, a folder's files staying below it.
TEST_F(SalvageCaseTest, ItemsWhoseFolderIsLostGoToLostAndFound) {
  Make("");
  std::vector<uint8_t> bytes = sound;
  Flip(bytes, directory[0], 32 + 100);
  const TSalvageReport report = Salvage(bytes, "");
  for (const auto& [path, content] : files) {
    if (DirectoryPageOf(path) == directory[0]) continue;
    const TSalvagedFile* file = Find(report, path);
    ASSERT_NE(file, nullptr) << path;
    const std::string name = path.substr(path.rfind('\\') + 1);
    const std::string expected =
        path == "\\big" ? path : "\\lost+found\\" + std::to_string(records[path]) + "-" + name;
    EXPECT_EQ(file->Path, expected);
    EXPECT_EQ(Read(expected), content) << path;
  }
}

// Folders whose parent links make a cycle (/a names /a/b as its parent) are
// cut where the cycle closes: the folder reached last goes to \lost+found.
TEST_F(SalvageCaseTest, AFolderCycleIsCutIntoLostAndFound) {
  Make("");
  {
    TPageFileManager pages(name, 16, 4, false, "", "", "", kModeReadWriteDenyWrite);
    auto page = pages.NewPageBuffer();
    ASSERT_TRUE(pages.ReadPage(page->Rec, directory[0], false, "", 7 * TFileRec::kSize));
    PutI32LE(page->Payload.data() + 40, 1);  // record 0 (/a): parent record 1 (/a/b)
    ASSERT_TRUE(pages.WritePage(page->Rec, directory[0], "", 7 * TFileRec::kSize));
  }
  const TSalvageReport report = Salvage(testing::ReadFileBytes(name), "");
  EXPECT_EQ(report.Summary(), "32 files whole, 0 with missing ranges, 0 lost");
  EXPECT_EQ(Read("\\lost+found\\1-b\\a\\f3"), files.at("\\a\\f3"));
  EXPECT_EQ(Read("\\lost+found\\1-b\\deep"), files.at("\\a\\b\\deep"));
}

// A damaged part header (before the container's page 0) still leaves the
// pages where they were: everything comes back.
TEST_F(SalvageCaseTest, ADamagedPartHeaderLosesNothing) {
  Make("");
  std::vector<uint8_t> bytes = sound;
  bytes[3] ^= 0x20;  // the part header's magic
  const TSalvageReport report = Salvage(bytes, "");
  EXPECT_EQ(report.Log.front(), "The part header is damaged: the first part is read alone.");
  EXPECT_EQ(report.Summary(), "32 files whole, 0 with missing ranges, 0 lost");
  for (const auto& [path, content] : files) EXPECT_EQ(Read(path), content) << path;
}

// A damaged first map page loses the data pages it lists; its link still
// leads to the second, whose pages come back.
TEST_F(SalvageCaseTest, ADamagedMapPageLosesTheRangeItLists) {
  Make("");
  const auto& big = maps.at("\\big");
  ASSERT_EQ(big.MapPages.size(), 2u);
  std::vector<uint8_t> bytes = sound;
  Flip(bytes, big.MapPages[0], 32 + 3000);
  const TSalvageReport report = Salvage(bytes, "");
  const TSalvagedFile* file = Find(report, "\\big");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->State, TSalvageState::Partial);
  const int64_t listed = 1016 * kPayload;
  EXPECT_EQ(file->Missing, (std::vector<std::pair<int64_t, int64_t>>{{0, listed}}));
  std::vector<uint8_t> expected = files.at("\\big");
  std::fill(expected.begin(), expected.begin() + listed, 0);
  EXPECT_EQ(Read("\\big"), expected);
  EXPECT_EQ(report.Summary(), "31 files whole, 1 with missing ranges, 0 lost");
}

// Progress runs up to 100; a cancel during the copy leaves the new
// container sound, holding byte-exact copies of what was done so far.
TEST_F(SalvageCaseTest, ProgressRunsToTheEndAndACancelLeavesASoundCatalogue) {
  Make("");
  std::vector<double> seen;
  const TSalvageReport whole = SalvageContainer(
      name, recovered, "", [&](bool&, double percent) { seen.push_back(percent); });
  EXPECT_FALSE(whole.Cancelled);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 100.0);

  int copies = 0;
  const TSalvageReport cancelled =
      SalvageContainer(name, recovered, "", [&](bool& cancel, double percent) {
        if (percent >= 30.0 && ++copies == 10) cancel = true;
      });
  EXPECT_TRUE(cancelled.Cancelled);
  EXPECT_GT(cancelled.Whole, 0);
  EXPECT_LT(cancelled.Whole, 32);
  EXPECT_TRUE(CheckContainer(recovered).empty());
  back = std::make_unique<TESingleFileSystem>(recovered, 16, 4, 0, "", "", "", false,
                                              kModeReadOnlyDenyNone);
  for (const TSalvagedFile& file : cancelled.Files) {
    const auto original = std::find_if(records.begin(), records.end(),
                                       [&](const auto& r) { return r.second == file.Record; });
    ASSERT_NE(original, records.end());
    EXPECT_EQ(Read(file.Path), files.at(original->first)) << file.Path;
  }
  EXPECT_EQ(testing::ReadFileBytes(name), sound);
}

// An encrypted catalogue is read with its key from a sound header and
// salvaged into one with the same password; a wrong password, or a damaged
// header (the key lives there), stops the salvage before anything is made.
TEST_F(SalvageCaseTest, EncryptedCataloguesNeedThePasswordAndTheHeader) {
  Make("secret");
  std::vector<uint8_t> bytes = sound;
  const int32_t page = maps.at("\\a\\b\\deep").DataPages[1];
  Flip(bytes, page, 32 + 10);
  const TSalvageReport report = Salvage(bytes, "secret");
  const TSalvagedFile* deep = Find(report, "\\a\\b\\deep");
  ASSERT_NE(deep, nullptr);
  EXPECT_EQ(deep->Missing, (std::vector<std::pair<int64_t, int64_t>>{{kPayload, 2 * kPayload}}));
  EXPECT_EQ(Read("\\a\\f3"), files.at("\\a\\f3"));
  EXPECT_TRUE(back->IsEncrypted());
  back.reset();

  const struct {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
    const char* password;
    const char* message;
  } kRefusals[] = {
      {"wrong password", [](std::vector<uint8_t>&) {}, "wrong",
       "the password does not open the container"},
      {"header damaged", [this](std::vector<uint8_t>& b) { Flip(b, 0, 20); }, "secret",
       "cannot be recovered without the header"},
  };
  for (const auto& refusal : kRefusals) {
    std::vector<uint8_t> damaged = sound;
    refusal.damage(damaged);
    testing::WriteFileBytes(name, damaged);
    const std::string other = dir / "other.adb";
    try {
      SalvageContainer(name, other, refusal.password);
      ADD_FAILURE() << refusal.what << ": no error";
    } catch (const EEngineError& e) {
      EXPECT_NE(std::string(e.what()).find(refusal.message), std::string::npos)
          << refusal.what << ": " << e.what();
    }
    EXPECT_FALSE(FileExists(other)) << refusal.what;
    EXPECT_EQ(testing::ReadFileBytes(name), damaged) << refusal.what;
  }
}

}  // namespace
}  // namespace norvane
