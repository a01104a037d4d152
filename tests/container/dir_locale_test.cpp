// Containers made under one user's locale and used under another: names the
// making locale told apart, but the using one finds equal ignoring case, load,
// list once each, read back each by its own name, survive compaction, and the
// checker warns of them without calling them damage. New clashing names are
// still refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/container/container_check.h"
#include "tests/container/container_fixture.h"
#include "tests/support/scoped_collation.h"

namespace norvane {
namespace {

using testing::ContainerTest;
using testing::TScopedCollation;

// Under the Turkish rules the dotted and the dotless i are two letters, so
// I and i are not the same letter in another case: FILE and file are two
// names. Code page 1251 bytes 0xDD and 0xFD (Cyrillic E and e) are, for
// those rules, the dotted capital and the dotless small i, which are no pair
// either. Every other locale folds each pair into one name.
struct TItem {
  const char* path;
  const char* content;  // nullptr: a folder
};
const TItem kMadeUnderTurkish[] = {
    {"/FILE", "upper"},
    {"/file", "lower"},
    {"/\xDD", "capital e"},
    {"/\xFD", "small e"},
    {"/DIR", nullptr},
    {"/dir", nullptr},
    {"/DIR/x", "in DIR"},
    {"/dir/y", "in dir"},
    {"/DIR/IN", nullptr},
    {"/DIR/in", nullptr},
    {"/DIR/IN/I", "deep capital"},
    {"/DIR/IN/i", "deep small"},
    {"/DIR/in/I", "beside"},
};
// The pairs above that the other locales find equal ignoring case.
constexpr size_t kClashes = 5;

std::vector<uint8_t> BytesOf(const char* text) {
  return std::vector<uint8_t>(text, text + std::char_traits<char>::length(text));
}

class DirLocaleTest : public ContainerTest {
 protected:
  void SetUp() override {}  // each case makes its container under its locale

  void MakeUnderTurkish() {
    TScopedCollation turkish("tr_TR.UTF-8");
    ContainerTest::SetUp();
    for (const TItem& item : kMadeUnderTurkish) {
      if (item.content == nullptr)
        ASSERT_TRUE(fs->CreateDir(item.path)) << item.path;
      else
        ASSERT_TRUE(Put(item.path, BytesOf(item.content))) << item.path;
    }
    fs.reset();
  }

  // Every path reached by enumerating folder by folder, as the tools list.
  void Walk(const std::string& folder, std::vector<std::string>& paths) {
    TSearchRec found;
    for (int32_t rc = fs->FindFirst(folder + "\\*", faDirectory, found); rc == 0;
         rc = fs->FindNext(found)) {
      const std::string path = folder + "/" + found.Name;
      paths.push_back(path);
      if ((found.Attr & faDirectory) != 0) Walk(path, paths);
    }
    fs->FindClose(found);
  }

  std::vector<std::string> Listing() {
    std::vector<std::string> paths;
    Walk("", paths);
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  static std::vector<std::string> Expected() {
    std::vector<std::string> paths;
    for (const TItem& item : kMadeUnderTurkish) paths.push_back(item.path);
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  // Every item listed once, each path reaching a record of its own, and each
  // file reading back its own bytes.
  void ExpectWhole(const std::string& label) {
    EXPECT_EQ(Listing(), Expected()) << label;
    std::set<int32_t> records;
    for (const TItem& item : kMadeUnderTurkish) {
      records.insert(fs->Directory().FindPath(item.path));
      EXPECT_EQ(fs->Directory().GetFullPath(fs->Directory().FindPath(item.path)),
                [&] {
                  std::string shown = item.path;
                  std::replace(shown.begin(), shown.end(), '/', '\\');
                  return shown;
                }())
          << label;
      if (item.content != nullptr) {
        EXPECT_EQ(Get(item.path), BytesOf(item.content)) << label << " " << item.path;
      }
    }
    EXPECT_EQ(records.size(), std::size(kMadeUnderTurkish)) << label;
    EXPECT_EQ(records.count(-1) + records.count(kPathNotFound) + records.count(kPathNotInFolder), 0u)
        << label;
  }

  // The checker's entries, split into warnings and problems.
  std::pair<std::vector<std::string>, size_t> CheckLines() {
    fs.reset();
    const std::vector<TCheckProblem> found = CheckContainer(name);
    std::vector<std::string> warnings;
    for (const TCheckProblem& p : found)
      if (p.Warning) warnings.push_back(FormatCheckProblem(p));
    return {warnings, CountProblems(found)};
  }
};

const char* const kOtherLocales[] = {"C", "en_US.UTF-8", "ru_RU.UTF-8"};

TEST_F(DirLocaleTest, NamesToldApartByTheMakingLocaleStayApartUnderEveryOther) {
  MakeUnderTurkish();
  {
    TScopedCollation turkish("tr_TR.UTF-8");
    EXPECT_EQ(CheckLines(), (std::pair<std::vector<std::string>, size_t>{{}, 0}));
  }
  for (const char* locale : kOtherLocales) {
    TScopedCollation other(locale);
    ASSERT_NO_THROW(Reopen()) << locale;
    ExpectWhole(locale);
    const auto [warnings, problems] = CheckLines();
    EXPECT_EQ(problems, 0u) << locale;
    EXPECT_EQ(warnings.size(), kClashes) << locale;
    for (const std::string& line : warnings)
      EXPECT_EQ(line.rfind("warning: page ", 0), 0u) << locale << ": " << line;
  }
}

// Under the using locale a name equal ignoring case to one already in the
// folder is still no new name to give; the items that clash already keep
// theirs, and replacing a file under its very name keeps the other.
TEST_F(DirLocaleTest, ClashingNamesAreRefusedWhenGivenButExistingOnesAreKept) {
  MakeUnderTurkish();
  TScopedCollation russian("C");
  Reopen();
  struct Case {
    const char* what;
    std::function<bool()> attempt;
    bool succeeds;
  };
  const Case kCases[] = {
      {"new folder of a clashing name", [&] { return fs->CreateDir("/Dir"); }, false},
      {"new folder in a clashing folder", [&] { return fs->CreateDir("/dir/new"); }, true},
      {"new file of a clashing name", [&] { return fs->CreateFile("/fiLE") >= 0; }, false},
      {"opening for creation under a clashing name",
       [&] { return fs->OpenFile("/fiLE", kModeCreate) >= 0; }, false},
      {"rename onto a clashing name", [&] { return fs->RenameFile("/DIR/x", "/FiLe"); }, false},
      {"rename to another case", [&] { return fs->RenameFile("/FILE", "/File"); }, false},
      {"rename to its own name", [&] { return fs->RenameFile("/FILE", "/FILE"); }, true},
      {"rename into the other folder", [&] { return fs->RenameFile("/DIR/x", "/dir/x"); }, true},
      {"replace under its very name", [&] { return Put("/file", BytesOf("again")); }, true},
  };
  for (const Case& c : kCases) EXPECT_EQ(c.attempt(), c.succeeds) << c.what;
  // Nothing was lost on the way.
  EXPECT_EQ(Get("/FILE"), BytesOf("upper"));
  // Replacing by deletion and rename, as the tools put a file, keeps the
  // clash; once another name is given, the deleted one is a new name again.
  ASSERT_TRUE(Put("/new", BytesOf("renamed in")));
  ASSERT_TRUE(fs->DeleteFile("/FILE"));
  EXPECT_TRUE(fs->RenameFile("/new", "/FILE"));
  EXPECT_EQ(Get("/FILE"), BytesOf("renamed in"));
  ASSERT_TRUE(fs->DeleteFile("/\xFD"));
  ASSERT_TRUE(fs->CreateDir("/other"));
  EXPECT_FALSE(fs->CreateDir("/\xFD"));
  EXPECT_EQ(Get("/\xDD"), BytesOf("capital e"));
  EXPECT_EQ(Get("/file"), BytesOf("again"));
  EXPECT_EQ(Get("/dir/x"), BytesOf("in DIR"));
  EXPECT_EQ(Get("/dir/y"), BytesOf("in dir"));
  Reopen();
  EXPECT_EQ(Get("/file"), BytesOf("again"));
  EXPECT_TRUE(fs->DirectoryExists("/dir/new"));
  EXPECT_FALSE(fs->FileExists("/DIR/x"));
  fs.reset();  // closed under the locale it was opened with
}

// A chain of folders I, each beside a folder i: walked by path, a lookup
// that reached the same one of each pair for both names would list the
// chain's deepest level 2^24 times. Each record is listed once.
TEST_F(DirLocaleTest, NestedClashesAreListedOnceEach) {
  constexpr int kDepth = 24;
  std::vector<std::string> expected;
  {
    TScopedCollation turkish("tr_TR.UTF-8");
    ContainerTest::SetUp();
    std::string folder;
    for (int level = 0; level < kDepth; ++level) {
      for (const char* name : {"/i", "/I"}) {
        expected.push_back(folder + name);
        ASSERT_TRUE(fs->CreateDir(expected.back())) << expected.back();
      }
      folder += "/I";
    }
    fs.reset();
  }
  std::sort(expected.begin(), expected.end());
  TScopedCollation russian("ru_RU.UTF-8");
  Reopen();
  EXPECT_EQ(Listing(), expected);
  fs.reset();
}

TEST_F(DirLocaleTest, CompactionUnderAnotherLocaleKeepsEveryName) {
  MakeUnderTurkish();
  TScopedCollation english("en_US.UTF-8");
  Reopen();
  std::string log;
  ASSERT_TRUE(fs->RepairFile(log, false, "", "", "", false)) << log;
  EXPECT_EQ(log, "");
  Reopen();
  ExpectWhole("compacted");
  fs.reset();
}

}  // namespace
}  // namespace norvane
