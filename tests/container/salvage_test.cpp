// Salvage of damaged containers: damage sweeps over a catalogue of 200 files
// (a byte flipped in each page in turn, the file cut at many lengths), where
// every file whose own pages are intact must come back byte for byte, files
// with damaged data pages are reported with exactly those ranges, and the
// damaged file is never written. NORVANE_SALVAGE_STRIDE=1 sweeps every page
// (the default takes every few pages to stay quick) and prints the figures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>
#include <random>
#include <set>

#include "engine/common/engine_error.h"
#include "engine/container/container_salvage.h"
#include "tests/container/container_fixture.h"
#include "tests/support/file_bytes.h"

namespace norvane {
namespace {

using testing::Bytes;

using testing::kBase;
using testing::kPageSize;
using testing::kPayload;

int64_t StrideFromEnvironment(int64_t fallback) {
  const char* value = std::getenv("NORVANE_SALVAGE_STRIDE");
  const int64_t stride = value != nullptr && *value != '\0' ? std::atoll(value) : fallback;
  return std::max<int64_t>(stride, 1);
}

// One file of the catalogue as made: its bytes and the pages it stands on.
struct TOriginal {
  std::string Path;
  std::vector<uint8_t> Content;
  int32_t Record = -1;
  int32_t DirectoryPage = 0;
  std::vector<int32_t> MapPages, DataPages;
};

// Figures summed over a sweep.
struct TFigures {
  int64_t Damages = 0, Whole = 0, Partial = 0, Lost = 0;
};

class SalvageTest : public ::testing::Test {
 protected:
  // 200 files of small random sizes (most fit one or two pages, a few take
  // several) in a few folders, some nested.
  void SetUp() override {
    const std::vector<std::string> kFolders = {"", "\\docs", "\\docs\\old", "\\pics", "\\tmp"};
    std::mt19937 random(20261209);
    {
      TESingleFileSystem fs(damaged, 16, 4, 0, "", "", password, false, kModeCreate);
      for (int i = 0; i < 200; ++i) {
        const std::string folder = kFolders[static_cast<size_t>(i) % kFolders.size()];
        if (!folder.empty()) {
          ASSERT_TRUE(fs.ForceDirectories(folder));
        }
        const size_t size = i % 40 == 7 ? 20000 + random() % 30000 : random() % 6000;
        TOriginal file;
        file.Path = folder + "\\f" + std::to_string(i) + ".bin";
        file.Content = Bytes(size, static_cast<uint32_t>(i + 1));
        const int32_t handle = fs.OpenFile(file.Path, kModeCreate);
        ASSERT_GE(handle, 0);
        ASSERT_EQ(fs.FileWrite(handle, file.Content.data(), static_cast<int64_t>(size)),
                  static_cast<int64_t>(size));
        fs.CloseFile(handle);
        originals.push_back(std::move(file));
      }
      for (TOriginal& file : originals) {
        file.Record = fs.Directory().FindPath(file.Path);
        const TFileRec rec = fs.Directory().ReadItem(file.Record);
        file.DirectoryPage = fs.Directory().PageList().at(static_cast<size_t>(file.Record) / 7);
        if (rec.FirstMapPageNo < 0) continue;
        const auto maps = fs.PageMaps().GetMaps(rec);
        file.MapPages.assign(maps.MapPages.begin(), maps.MapPages.end());
        file.DataPages.assign(maps.DataPages.begin(), maps.DataPages.end());
      }
      pageCount = fs.PageFile().PageCount();
    }
    sound = testing::ReadFileBytes(damaged);
  }

  // Salvages `bytes` (written as the damaged file), checks what came back
  // against the originals, given which pages are damaged, and adds to the
  // figures. `exact`: every damaged page fails its checksum, so a file is
  // reported with exactly the ranges of its damaged data pages.
  void SalvageAndCompare(const std::vector<uint8_t>& bytes, const std::set<int32_t>& hit,
                         bool exact, const std::string& what) {
    testing::WriteFileBytes(damaged, bytes);
    TSalvageReport report;
    try {
      report = SalvageContainer(damaged, recovered, password);
    } catch (const EEngineError& e) {
      FAIL() << what << ": " << e.what();
    }
    EXPECT_EQ(testing::ReadFileBytes(damaged), bytes) << what << ": the damaged file changed";
    ++figures.Damages;
    std::map<int32_t, const TSalvagedFile*> byRecord;
    for (const TSalvagedFile& file : report.Files)
      if (file.Record >= 0) byRecord[file.Record] = &file;
    TESingleFileSystem back(recovered, 16, 4, 0, "", "", password, false, kModeReadOnlyDenyNone);
    for (const TOriginal& original : originals) {
      const auto own = [&](int32_t page) { return hit.count(page) != 0; };
      const bool recordHit = own(original.DirectoryPage);
      const bool mapHit = std::any_of(original.MapPages.begin(), original.MapPages.end(), own);
      const auto found = byRecord.find(original.Record);
      if (!recordHit && !mapHit &&
          std::none_of(original.DataPages.begin(), original.DataPages.end(), own)) {
        ASSERT_NE(found, byRecord.end()) << what << ": " << original.Path << " not found";
        EXPECT_EQ(found->second->State, TSalvageState::Whole) << what << ": " << original.Path;
      }
      if (found == byRecord.end() || found->second->State == TSalvageState::Lost) {
        ++figures.Lost;
        continue;
      }
      const TSalvagedFile& file = *found->second;
      std::vector<uint8_t> expected = original.Content;
      for (const auto& [first, end] : file.Missing)
        std::fill(expected.begin() + first, expected.begin() + end, 0);
      EXPECT_EQ(Read(back, file.Path), expected) << what << ": " << original.Path;
      ++(file.State == TSalvageState::Whole ? figures.Whole : figures.Partial);
      if (exact && !recordHit && !mapHit) {
        std::vector<std::pair<int64_t, int64_t>> ranges;
        for (size_t j = 0; j < original.DataPages.size(); ++j) {
          if (!own(original.DataPages[j])) continue;
          const int64_t first = static_cast<int64_t>(j) * kPayload;
          const int64_t end = std::min<int64_t>(first + kPayload, original.Content.size());
          if (!ranges.empty() && ranges.back().second == first)
            ranges.back().second = end;
          else
            ranges.emplace_back(first, end);
        }
        EXPECT_EQ(file.Missing, ranges) << what << ": " << original.Path;
      }
    }
  }

  static std::vector<uint8_t> Read(TESingleFileSystem& fs, const std::string& path) {
    const int32_t handle = fs.OpenFile(path, 0);
    if (handle < 0) return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(fs.FileSize(path)));
    EXPECT_EQ(fs.FileRead(handle, bytes.data(), static_cast<int64_t>(bytes.size())),
              static_cast<int64_t>(bytes.size()));
    fs.CloseFile(handle);
    return bytes;
  }

  void PrintFigures(const char* sweep) const {
    std::cout << sweep << ": " << figures.Damages << " damaged copies, " << figures.Whole
              << " files back byte-exact, " << figures.Partial << " with missing ranges, "
              << figures.Lost << " lost" << std::endl;
  }

  testing::TTempFolder dir;
  std::string damaged = dir / "damaged.adb";
  std::string recovered = dir / "recovered.adb";
  std::string password;
  std::vector<TOriginal> originals;
  int32_t pageCount = 0;
  std::vector<uint8_t> sound;
  TFigures figures;
};

TEST_F(SalvageTest, ASoundCatalogueComesBackWhole) {
  SalvageAndCompare(sound, {}, true, "sound");
  EXPECT_EQ(figures.Whole, 200);
}

// Each page in turn gets one byte flipped: most in the payload (the
// checksum fails), every fifth in the page type and every fifth in the
// link to the next page, which only directory and map pages use. Page 0
// loses its header, so the geometry must come from the pages.
TEST_F(SalvageTest, AByteFlippedInAnyPageLosesOnlyThatPage) {
  const int64_t stride = StrideFromEnvironment(11);
  for (int32_t page = 0; page < pageCount; page += static_cast<int32_t>(stride)) {
    std::vector<uint8_t> bytes = sound;
    int64_t offset = 32 + (page * 2654435761u) % 3584;
    if (page == 0)
      offset = 20;  // the header's extent page count
    else if (page % 5 == 1)
      offset = 8;  // page type
    else if (page % 5 == 3)
      offset = 0;  // next page
    bytes.at(static_cast<size_t>(kBase + static_cast<int64_t>(page) * kPageSize + offset)) ^= 0x20;
    SalvageAndCompare(bytes, {page}, offset >= 32, "page " + std::to_string(page));
  }
  PrintFigures("byte flips");
}

// Cut at many lengths: pages wholly before the cut are intact.
TEST_F(SalvageTest, ACatalogueCutShortKeepsEveryFileBeforeTheCut) {
  const int64_t stride = StrideFromEnvironment(11);
  for (int32_t page = 1; page < pageCount; page += static_cast<int32_t>(stride)) {
    const int64_t cut = kBase + static_cast<int64_t>(page) * kPageSize + (page * 7919) % kPageSize;
    std::vector<uint8_t> bytes(sound.begin(), sound.begin() + cut);
    std::set<int32_t> hit;
    for (int32_t n = page; n < pageCount; ++n) hit.insert(n);
    SalvageAndCompare(bytes, hit, true, "cut at " + std::to_string(cut));
  }
  PrintFigures("cuts");
}

}  // namespace
}  // namespace norvane
