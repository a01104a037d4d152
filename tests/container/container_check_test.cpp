// The consistency checker: a sound container reports nothing; damage in each
// kind of page, wrong page numbers, pages owned twice, leaked pages and bad
// directory records are each reported with the page they concern; checking
// never changes the file.
#include "engine/container/container_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "tests/container/container_fixture.h"
#include "tests/support/file_bytes.h"

namespace norvane {
namespace {

using testing::Bytes;
using testing::ContainerTest;

using testing::kBase;
using testing::kPageSize;

// The files every case starts from: folders, an empty file, files of one and
// of several pages, and one whose data pages need two map pages.
class CheckTest : public ContainerTest {
 protected:
  void SetUp() override {
    fs.reset();  // cases that start again close the container first
    ContainerTest::SetUp();
    ASSERT_TRUE(fs->ForceDirectories("/docs/sub"));
    ASSERT_TRUE(fs->CreateDir("/empty"));
    ASSERT_TRUE(Put("/docs/a.txt", Bytes(10000, 1)));  // 3 data pages
    ASSERT_TRUE(Put("/docs/sub/b", Bytes(4064, 2)));   // exactly 1
    ASSERT_TRUE(Put("/zero", {}));
    ASSERT_TRUE(Put("/big", Bytes(1016 * 4064 + 1, 3)));  // 1017 data pages, 2 map pages
    a = MapsOf("/docs/a.txt");
    b = MapsOf("/docs/sub/b");
    directoryPage = fs->Directory().PageList().at(0);
  }

  TUserFilePageMapManager::TFileMaps MapsOf(const std::string& path) {
    return fs->PageMaps().GetMaps(fs->Directory().ReadItem(fs->Directory().FindPath(path)));
  }

  // Closes the container and checks it, expecting the bytes unchanged.
  std::vector<TCheckProblem> Check(const std::string& password = "") {
    fs.reset();
    const auto before = testing::ReadFileBytes(name);
    auto problems = CheckContainer(name, {}, password);
    EXPECT_EQ(testing::ReadFileBytes(name), before) << "checking changed the file";
    return problems;
  }

  void FlipByte(int32_t page, int32_t offset) {
    fs.reset();
    auto bytes = testing::ReadFileBytes(name);
    bytes.at(static_cast<size_t>(kBase + static_cast<int64_t>(page) * kPageSize + offset)) ^= 0x20;
    testing::WriteFileBytes(name, bytes);
  }

  // Rewrites `length` payload bytes of page n through the page layer, so
  // the checksum stays right and only the content is wrong.
  void EditPayload(int32_t n, int32_t length, const std::function<void(uint8_t*)>& edit) {
    fs.reset();
    TPageFileManager pages(name, 16, 4, false, "", "", "", kModeReadWriteDenyWrite);
    auto page = pages.NewPageBuffer();
    ASSERT_TRUE(pages.ReadPage(page->Rec, n, false, "", length));
    edit(page->Payload.data());
    ASSERT_TRUE(pages.WritePage(page->Rec, n, "", length));
  }


 public:  // the cases' page selectors read these
  TUserFilePageMapManager::TFileMaps a, b;
  int32_t directoryPage = 0;
};

std::string Lines(const std::vector<TCheckProblem>& problems) {
  std::string text;
  for (const TCheckProblem& p : problems) text += FormatCheckProblem(p) + (p.Leak ? " [leak]\n" : "\n");
  return text;
}

TEST_F(CheckTest, SoundContainersReportNothing) {
  EXPECT_EQ(Lines(Check()), "");
  ContainerTest::SetUp();  // a new, empty container: only its header
  EXPECT_EQ(Lines(Check()), "");
}

TEST_F(CheckTest, AFlippedByteIsReportedWithItsPage) {
  struct Case {
    const char* what;
    std::function<int32_t(CheckTest&)> page;
    std::string message;
  };
  const Case kCases[] = {
      {"data page", [](CheckTest& t) { return t.a.DataPages[1]; },
       "checksum mismatch (data page 1 of \"\\docs\\a.txt\")"},
      {"map page", [](CheckTest& t) { return t.a.MapPages[0]; },
       "checksum mismatch (map page 0 of \"\\docs\\a.txt\")"},
      {"directory page", [](CheckTest& t) { return t.directoryPage; },
       "checksum mismatch (directory page 0)"},
      {"PFS page", [](CheckTest&) { return 1; }, "checksum mismatch (PFS page)"},
      {"GAM page", [](CheckTest&) { return 2; }, "checksum mismatch (GAM page)"},
  };
  for (const Case& c : kCases) {
    SetUp();
    const int32_t page = c.page(*this);
    FlipByte(page, 32 + 1000);
    const auto problems = Check();
    ASSERT_EQ(problems.size(), 1u) << c.what << "\n" << Lines(problems);
    EXPECT_EQ(problems[0].Page, page) << c.what;
    EXPECT_EQ(problems[0].What, c.message) << c.what;
  }
}

TEST_F(CheckTest, AMapEntryNamingAPFSPageIsReportedAndItsPageLeaks) {
  const int32_t lost = a.DataPages[0];
  EditPayload(a.MapPages[0], -1, [](uint8_t* p) { PutI32LE(p, 1); });
  EXPECT_EQ(Lines(Check()),
            "page " + std::to_string(a.MapPages[0]) +
                ": map page 0 of \"\\docs\\a.txt\" names page 1 as data page 0, which is a PFS page\n"
                "page " + std::to_string(lost) +
                ": is marked used in the PFS but owned by nothing [leak]\n");
}

TEST_F(CheckTest, APageOwnedTwiceIsReportedOnce) {
  const int32_t shared = a.DataPages[2];
  const int32_t lost = b.DataPages[0];
  EditPayload(b.MapPages[0], -1, [&](uint8_t* p) { PutI32LE(p, shared); });
  EXPECT_EQ(Lines(Check()),
            "page " + std::to_string(shared) +
                ": data page 0 of \"\\docs\\sub\\b\" is also data page 2 of \"\\docs\\a.txt\"\n"
                "page " + std::to_string(lost) +
                ": is marked used in the PFS but owned by nothing [leak]\n");
}

TEST_F(CheckTest, APageNobodyOwnsIsALeak) {
  std::vector<int32_t> got;
  ASSERT_TRUE(fs->FreeSpace().GetPages(1, 0, got, false));
  const auto problems = Check();
  ASSERT_EQ(problems.size(), 1u) << Lines(problems);
  EXPECT_TRUE(problems[0].Leak);
  EXPECT_EQ(problems[0].Page, got[0]);
}

TEST_F(CheckTest, AnOwnedPageMarkedFreeIsReported) {
  const int32_t page = a.DataPages[0];
  EditPayload(1, -1, [&](uint8_t* p) { p[(page - 1) / 8] |= static_cast<uint8_t>(1 << ((page - 1) % 8)); });
  EXPECT_EQ(Lines(Check()), "page " + std::to_string(page) +
                                ": data page 0 of \"\\docs\\a.txt\" is marked free in the PFS\n");
}

TEST_F(CheckTest, BrokenChainsAreReportedWhereTheyBreak) {
  // The big file's first map page ends its chain one map page early.
  const auto big = MapsOf("/big");
  ASSERT_EQ(big.MapPages.size(), 2u);
  fs.reset();
  {
    TPageFileManager pages(name, 16, 4, false, "", "", "", kModeReadWriteDenyWrite);
    TPageRecord rec;
    ASSERT_TRUE(pages.ReadPage(rec, big.MapPages[0], false, "", 0));
    rec.Header.NextPageNo = -1;
    ASSERT_TRUE(pages.WritePage(rec, big.MapPages[0], "", 0));
  }
  EXPECT_EQ(Lines(Check()), "page " + std::to_string(big.MapPages[0]) +
                                ": map page 0 of \"\\big\" ends the chain; size 4129025 needs 2 "
                                "map pages\n");
}

// A file cut short anywhere in its last page still opens: the checker names
// that page alone, every file that does not own it reads back whole, and
// compaction rebuilds the container from what can be read.
TEST_F(CheckTest, ACatalogueCutShortInItsLastPageOpensAndNamesThatPage) {
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> kFiles = {
      {"/docs/a.txt", Bytes(10000, 1)}, {"/docs/sub/b", Bytes(4064, 2)},
      {"/big", Bytes(1016 * 4064 + 1, 3)}};
  for (const int64_t cut : {1, 100, 4095, 4096}) {
    SetUp();
    const int32_t last = fs->PageFile().PageCount() - 1;
    const auto big = MapsOf("/big");
    const bool bigOwnsLast =
        std::find(big.DataPages.begin(), big.DataPages.end(), last) != big.DataPages.end();
    fs.reset();
    auto bytes = testing::ReadFileBytes(name);
    bytes.resize(bytes.size() - static_cast<size_t>(cut));
    testing::WriteFileBytes(name, bytes);

    const auto problems = Check();
    ASSERT_FALSE(problems.empty()) << cut;
    for (const TCheckProblem& p : problems)
      EXPECT_EQ(p.Page, last) << cut << ": " << FormatCheckProblem(p);

    ASSERT_NO_THROW(Reopen(kModeReadOnlyDenyNone)) << cut;
    for (const auto& [path, content] : kFiles) {
      if (path == "/big" && bigOwnsLast) {
        const int32_t handle = fs->OpenFile(path, 0);
        std::vector<uint8_t> back(content.size());
        EXPECT_LT(fs->FileRead(handle, back.data(), static_cast<int64_t>(back.size())),
                  static_cast<int64_t>(back.size()));
        EXPECT_TRUE(fs->LastError() == peHeaderRead || fs->LastError() == pePayloadRead);
        fs->CloseFile(handle);
      } else {
        EXPECT_EQ(Get(path), content) << cut << " " << path;
      }
    }

    Reopen();
    std::string log;
    ASSERT_TRUE(fs->RepairFile(log, false, "", "", "", false)) << cut << "\n" << log;
    EXPECT_EQ(fs->RepairLostData(), bigOwnsLast) << log;
    EXPECT_EQ(Get("/docs/a.txt"), kFiles[0].second);
    EXPECT_EQ(Lines(Check()), "") << cut;
  }
}

// Records are edited in the directory page: each damage names its record.
TEST_F(CheckTest, DamagedRecordsAreReportedByRecord) {
  struct Case {
    const char* what;
    std::function<void(uint8_t* records)> edit;
    std::string expected;
  };
  // Record order: docs 0, sub 1, empty 2, a.txt 3, b 4, zero 5, big 6.
  const auto rec = [](uint8_t* records, int i) { return records + 512 * i; };
  const Case kCases[] = {
      {"same name", [&](uint8_t* r) { PutZString(rec(r, 5) + 224, 260, "empty"); },
       "record 5: has the name of record 2 in the same folder"},
      {"invalid name", [&](uint8_t* r) { PutZString(rec(r, 5) + 224, 260, ".."); },
       "record 5: has an invalid name"},
      {"parent is a file", [&](uint8_t* r) { PutI32LE(rec(r, 5) + 40, 3); },
       "record 5: names parent 3, a file"},
      {"cycle", [&](uint8_t* r) { PutI32LE(rec(r, 0) + 40, 1); },
       "record 0: lies in or below a cycle of folders\n"
       "page D, record 1: lies in or below a cycle of folders\n"
       "page D, record 3: lies in or below a cycle of folders\n"
       "page D, record 4: lies in or below a cycle of folders"},
      {"folder with pages", [&](uint8_t* r) { PutI64LE(rec(r, 2) + 4, 10); },
       "record 2: is a folder with pages"},
      {"deleted parent", [&](uint8_t* r) { rec(r, 2)[221] = 1; PutI32LE(rec(r, 5) + 40, 2); },
       "record 5: names parent 2, a deleted record"},
  };
  for (const Case& c : kCases) {
    SetUp();
    EditPayload(directoryPage, 7 * 512, c.edit);
    const std::string at = "page " + std::to_string(directoryPage) + ", ";
    std::string expected = at + c.expected + "\n";
    for (size_t d; (d = expected.find("page D")) != std::string::npos;)
      expected.replace(d, 6, "page " + std::to_string(directoryPage));
    EXPECT_EQ(Lines(Check()), expected) << c.what;
  }
}

// Names that differ only in case were told apart by the locale that made
// them: each is reached by its own name, so they are worth a warning only.
TEST_F(CheckTest, NamesEqualOnlyIgnoringCaseAreAWarning) {
  EditPayload(directoryPage, 7 * 512, [](uint8_t* r) { PutZString(r + 5 * 512 + 224, 260, "EMPTY"); });
  const auto problems = Check();
  EXPECT_EQ(Lines(problems), "warning: page " + std::to_string(directoryPage) +
                                 ", record 2: has the name of record 5 in the same folder "
                                 "ignoring case; each is reached by its own name\n");
  EXPECT_EQ(CountProblems(problems), 0u);
}

TEST_F(CheckTest, EncryptedContainersAreCheckedWithTheirPassword) {
  fs.reset();
  fs = std::make_unique<TESingleFileSystem>(name, 16, 4, 0, "", "", "secret", false, kModeCreate);
  ASSERT_TRUE(fs->CreateDir("/docs"));
  ASSERT_TRUE(Put("/docs/a.txt", Bytes(10000, 1)));
  const int32_t grown = fs->OpenFile("/grown", kModeCreate);  // zero pages, written plain
  ASSERT_EQ(fs->FileSetSize(grown, 9000), 9000);
  fs->CloseFile(grown);
  const int32_t page = MapsOf("/docs/a.txt").DataPages[0];
  EXPECT_EQ(Lines(Check("secret")), "");
  const std::string locked =
      "page 0: the container is encrypted and no password given opens it; its directory and "
      "files cannot be checked\n";
  EXPECT_EQ(Lines(Check()), locked);
  EXPECT_EQ(Lines(Check("wrong")), locked);
  FlipByte(page, 32 + 5);
  EXPECT_EQ(Lines(Check("secret")),
            "page " + std::to_string(page) + ": checksum mismatch (data page 0 of \"\\docs\\a.txt\")\n");
}

TEST_F(CheckTest, AFileThePageLayerRefusesIsOneProblem) {
  FlipByte(0, 20);  // the container header's extent page count
  const auto problems = Check();
  ASSERT_EQ(problems.size(), 1u) << Lines(problems);
  EXPECT_EQ(problems[0].Page, -1);
  EXPECT_EQ(problems[0].What, "TESingleFileSystem.LoadHeader - Invalid VEZA file, header is corrupted.");
}

TEST_F(CheckTest, AMissingFileIsNoDamageAndThrows) {
  EXPECT_THROW(CheckContainer(dir / "missing.adb"), EEngineError);
}

}  // namespace
}  // namespace norvane
