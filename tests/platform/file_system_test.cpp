// Tests of the by-name file operations: renames that must never overwrite by
// accident, folder enumeration with masks (Cyrillic case folding included),
// path arithmetic and free space. Files are set up through the standard
// library with their UTF-8 names, independent of the code under test.
#include "engine/platform/file_system.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "tests/support/temp_folder.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;

// "Отчёт.adb" in code page 1251 and on disk in UTF-8.
const std::string kReportCp = "\xCE\xF2\xF7\xB8\xF2.adb";
const std::string kReportUtf8 = "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82.adb";

void WriteText(const std::string& sysPath, const std::string& text) {
  std::ofstream(sysPath, std::ios::binary) << text;
}

std::string ReadText(const std::string& sysPath) {
  std::ifstream in(sysPath, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class FileSystemTest : public ::testing::Test {
 protected:
  testing::TTempFolder dir_;
};

TEST_F(FileSystemTest, RenameWithoutReplaceLeavesAnExistingTargetAlone) {
  WriteText(dir_ / "a.adb", "one");
  WriteText(dir_ / "b.adb", "two");
  EXPECT_FALSE(RenameFileByName(dir_ / "a.adb", dir_ / "b.adb", false));
  EXPECT_EQ(ReadText(dir_ / "a.adb"), "one");
  EXPECT_EQ(ReadText(dir_ / "b.adb"), "two");
}

TEST_F(FileSystemTest, RenameWithoutReplaceMovesToAFreeName) {
  WriteText(dir_ / "a.adb", "one");
  ASSERT_TRUE(CreateFolder(dir_ / "other"));
  EXPECT_TRUE(RenameFileByName(dir_ / "a.adb", dir_ / "other/c.adb", false));
  EXPECT_FALSE(fs::exists(dir_ / "a.adb"));
  EXPECT_EQ(ReadText(dir_ / "other/c.adb"), "one");
}

TEST_F(FileSystemTest, RenameWithReplaceOverwrites) {
  WriteText(dir_ / "a.adb", "one");
  WriteText(dir_ / "b.adb", "two");
  EXPECT_TRUE(RenameFileByName(dir_ / "a.adb", dir_ / "b.adb", true));
  EXPECT_FALSE(fs::exists(dir_ / "a.adb"));
  EXPECT_EQ(ReadText(dir_ / "b.adb"), "one");
}

TEST_F(FileSystemTest, RenameConvertsNamesAndFailsForAMissingSource) {
  WriteText(dir_ / "a.adb", "one");
  EXPECT_TRUE(RenameFileByName(dir_ / "a.adb", dir_ / kReportCp, false));
  EXPECT_EQ(ReadText(dir_ / kReportUtf8), "one");
  EXPECT_FALSE(RenameFileByName(dir_ / "a.adb", dir_ / "z.adb", true));
  EXPECT_FALSE(fs::exists(dir_ / "z.adb"));
}

TEST_F(FileSystemTest, ExistenceAndFolders) {
  WriteText(dir_ / kReportUtf8, "x");
  ASSERT_TRUE(CreateFolder(dir_ / "sub"));
  EXPECT_FALSE(CreateFolder(dir_ / "sub")) << "an existing folder is not created again";
  WriteText(dir_ / "sub/inner", "y");

  EXPECT_TRUE(FileExists(dir_ / kReportCp));
  EXPECT_FALSE(FileExists(dir_ / "sub"));
  EXPECT_FALSE(FileExists(dir_ / "missing"));
  EXPECT_TRUE(DirectoryExists(dir_ / "sub"));
  EXPECT_FALSE(DirectoryExists(dir_ / kReportCp));
  EXPECT_FALSE(DirectoryExists(dir_ / "missing"));

  EXPECT_FALSE(RemoveFolder(dir_ / "sub")) << "a folder with files is not removed";
  EXPECT_FALSE(DeleteFileByName(dir_ / "sub")) << "a folder is not a file";
  EXPECT_TRUE(DeleteFileByName(dir_ / "sub/inner"));
  EXPECT_FALSE(DeleteFileByName(dir_ / "sub/inner"));
  EXPECT_TRUE(RemoveFolder(dir_ / "sub"));
  EXPECT_FALSE(fs::exists(dir_ / "sub"));
  EXPECT_TRUE(DeleteFileByName(dir_ / kReportCp));
  EXPECT_FALSE(fs::exists(dir_ / kReportUtf8));

  EXPECT_TRUE(SyncFolder(dir_.Path()));
  EXPECT_FALSE(SyncFolder(dir_ / "missing"));
}

struct MaskCase {
  std::string mask;
  std::set<std::string> names;
};

TEST_F(FileSystemTest, EnumerateFolderWithMasks) {
  const std::set<std::string> all = {"base.adb", "BASE2.ADB", "abc",   "abcd.txt", "aXc.log",
                                     "xabc",     "noext",     "sub.adb", kReportCp};
  for (const std::string& name : all) {
    if (name == "sub.adb") continue;
    WriteText(dir_ / (name == kReportCp ? kReportUtf8 : name), std::string(name.size(), 'x'));
  }
  fs::create_directory(dir_ / "sub.adb");
  // A name code page 1251 cannot hold is never listed.
  WriteText(dir_ / "\xE4\xB8\xAD.adb", "z");

  const MaskCase kCases[] = {
      {"*.adb", {"base.adb", "BASE2.ADB", "sub.adb", kReportCp}},
      {"*.ADB", {"base.adb", "BASE2.ADB", "sub.adb", kReportCp}},
      {"a?c*", {"abc", "abcd.txt", "aXc.log"}},
      {"*c", {"abc", "xabc"}},
      {"*.*", all},
      {"*", all},
      {"NOEXT", {"noext"}},
      {"\xCE\xD2\xD7\xA8\xD2*", {kReportCp}},  // "ОТЧЁТ*"
      {"?", {}},
  };
  for (const MaskCase& c : kCases) {
    std::set<std::string> got;
    for (const TFolderEntry& e : EnumerateFolder(dir_.Path(), c.mask)) got.insert(e.Name);
    EXPECT_EQ(got, c.names) << "mask " << c.mask;
  }

  for (const TFolderEntry& e : EnumerateFolder(dir_.Path(), "*.adb")) {
    EXPECT_EQ(e.IsFolder, e.Name == "sub.adb") << e.Name;
    if (!e.IsFolder) {
      EXPECT_EQ(e.Size, static_cast<int64_t>(e.Name.size())) << e.Name;
    }
  }
  EXPECT_TRUE(EnumerateFolder(dir_ / "missing", "*").empty());
}

struct MatchCase {
  std::string name, mask;
  bool matches;
};
const MatchCase kMatches[] = {
    {"abc", "abc", true},          {"ABC", "abc", true},
    {"abc", "a*", true},           {"abc", "*c", true},
    {"abc", "a?c", true},          {"ac", "a?c", false},
    {"abbbc", "a*c", true},        {"abcd", "a*c", false},
    {"", "*", true},               {"", "?", false},
    {"noext", "*.*", true},        {"a.b.c", "*.c", true},
    {"mississippi", "m*iss*ppi", true}, {"mississippi", "m*iss*ppx", false},
    {"abc", "abcd", false},        {"abcd", "abc", false},
    // Codes 32 apart that are not a letter pair must stay different.
    {"@", "`", false},             {"[", "{", false},
    {"\xA9", "\x89", false},       {"\xB0", "\x90", false},  // © ‰, ° ђ
    {"\xC0", "\xA0", false},       // А and no-break space
    // Cyrillic capitals and small letters.
    {"\xD7", "\xF7", true},        {"\xF7", "\xD7", true},   // Ч ч
    {"\xA8", "\xB8", true},        {"\xB8", "\xA8", true},   // Ё ё
    {"\xAF", "\xBF", true},        {"\xB2", "\xB3", true},   // Ї ї, І і
    {"\xC0\xE1", "\xE0\xC1", true},
};

TEST(MatchesMaskTest, Table) {
  for (const MatchCase& c : kMatches) {
    EXPECT_EQ(MatchesMask(c.name, c.mask), c.matches) << "name '" << c.name << "' mask '" << c.mask << "'";
  }
}

class ExpandFileNameTest : public FileSystemTest {
 protected:
  void SetUp() override {
    ASSERT_NE(getcwd(saved_, sizeof saved_), nullptr);
    ASSERT_EQ(chdir(dir_.Path().c_str()), 0);
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    cwd_ = cwd;
  }
  void TearDown() override { EXPECT_EQ(chdir(saved_), 0); }

  char saved_[PATH_MAX] = {};
  std::string cwd_;
};

TEST_F(ExpandFileNameTest, Cases) {
  const std::string parent = cwd_.substr(0, cwd_.rfind('/'));
  const std::pair<std::string, std::string> kCases[] = {
      {"x.adb", cwd_ + "/x.adb"},
      {"./x.adb", cwd_ + "/x.adb"},
      {"a/../x.adb", cwd_ + "/x.adb"},
      {"a//b///c", cwd_ + "/a/b/c"},
      {"sub/", cwd_ + "/sub/"},
      {"..", parent.empty() ? "/" : parent},
      {"/a/b/../c", "/a/c"},
      {"/a/./b//c", "/a/b/c"},
      {"/a/b/..", "/a"},
      {"/a/b/", "/a/b/"},
      {"/..", "/"},
      {"/../..//a", "/a"},
      {"/", "/"},
      {"/" + kReportCp, "/" + kReportCp},
  };
  for (const auto& [name, expected] : kCases) EXPECT_EQ(ExpandFileName(name), expected) << name;
}

TEST(ExtractTest, FileNameAndPath) {
  struct Case {
    std::string name, file, path;
  };
  const Case kCases[] = {
      {"/a/b/c.adb", "c.adb", "/a/b/"}, {"c.adb", "c.adb", ""}, {"a/b", "b", "a/"},
      {"/a/b/", "", "/a/b/"},           {"/", "", "/"},         {"", "", ""},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(ExtractFileName(c.name), c.file) << c.name;
    EXPECT_EQ(ExtractFilePath(c.name), c.path) << c.name;
  }
}

TEST_F(FileSystemTest, DiskFreeBytes) {
  EXPECT_GT(DiskFreeBytes("/tmp"), 0);
  EXPECT_GT(DiskFreeBytes(dir_ / "not-yet-created.adb"), 0);
  EXPECT_EQ(DiskFreeBytes("/no-such-folder-here/x.adb"), -1);
}

}  // namespace
}  // namespace norvane
