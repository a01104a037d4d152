// The directory: record placement in pages, path resolution, reuse of deleted
// records, renames, enumeration, and refusal of damaged records on load.
#include "engine/container/dir_manager.h"

#include <gtest/gtest.h>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "engine/protection/page_checksum.h"
#include "tests/container/container_fixture.h"
#include "tests/support/file_bytes.h"

namespace norvane {
namespace {

using testing::ContainerTest;
using DirTest = ContainerTest;

constexpr int64_t kBase = 280;

// Rewrites bytes of a page's payload in the file and fixes its checksum.
void PatchPayload(const std::string& file, int32_t page, int offset, const std::vector<uint8_t>& bytes,
                  int payloadLength) {
  auto raw = testing::ReadFileBytes(file);
  uint8_t* start = raw.data() + kBase + static_cast<int64_t>(page) * 4096;
  std::copy(bytes.begin(), bytes.end(), start + 32 + offset);
  PutU32LE(start + 4, Xor32Checksum(start + 32, static_cast<size_t>(payloadLength)));
  testing::WriteFileBytes(file, raw);
}

TEST_F(DirTest, FirstRecordTakesPage4AndTheEighthStartsASecondPage) {
  ASSERT_TRUE(fs->CreateDir("/a"));
  const TContainerHeader& header = fs->PageFile().Header();
  EXPECT_EQ(header.FirstDirectoryPage(), 4);
  EXPECT_EQ(header.DirectoryPageCount(), 1);
  EXPECT_EQ(header.DirectoryItemCount(), 1);
  EXPECT_EQ(header.PageCount(), 17);
  for (int i = 2; i <= 8; ++i) ASSERT_GE(fs->CreateFile("/f" + std::to_string(i)), 0);
  EXPECT_EQ(header.DirectoryPageCount(), 2);
  EXPECT_EQ(header.DirectoryItemCount(), 8);
  const auto pages = fs->Directory().PageList();
  ASSERT_EQ(pages.size(), 2u);
  fs->Flush();
  const auto raw = testing::ReadFileBytes(name);
  EXPECT_EQ(GetI32LE(raw.data() + kBase + 4 * 4096), pages[1]);  // the first page leads on
  Reopen();
  EXPECT_EQ(fs->Directory().Count(), 8);
  EXPECT_TRUE(fs->FileExists("/f8"));
}

TEST_F(DirTest, PathsResolveWithEitherSeparatorAndWithoutCase) {
  ASSERT_TRUE(fs->ForceDirectories("/a/b"));
  ASSERT_GE(fs->CreateFile("/a/b/c.txt"), 0);
  ASSERT_GE(fs->CreateFile("/x.txt"), 0);
  TDIRManager& dir = fs->Directory();
  const int32_t b = dir.FindPath("/a/b");
  ASSERT_GE(b, 0);
  struct Case { const char* path; int32_t expected; };
  const Case kCases[] = {
      {"/a/b/", b},          {"\\a\\b", b},         {"/A/B", b},   {"a/b", b},
      {"/a/b/../b", b},      {"/..", -1},           {"/", -1},     {"\\", -1},
      {"", kPathNotFound},   {"/a//b", kPathNotFound}, {"/nope", kPathNotFound},
      {"/a/x.txt", kPathNotInFolder}, {"/x.txt/c.txt", kPathNotInFolder},
  };
  for (const Case& c : kCases) EXPECT_EQ(dir.FindPath(c.path), c.expected) << c.path;
  EXPECT_EQ(dir.FindPath("c.txt", b), dir.FindPath("/a/b/c.txt"));
  EXPECT_EQ(dir.GetFullPath(dir.FindPath("/A/B/C.TXT")), "\\a\\b\\c.txt");
  EXPECT_EQ(dir.GetFullPath(99), "\\");
}

TEST_F(DirTest, DeletedRecordsAreReusedFirst) {
  ASSERT_GE(fs->CreateFile("/one"), 0);
  const int32_t two = fs->CreateFile("/two");
  ASSERT_GE(fs->CreateFile("/three"), 0);
  ASSERT_TRUE(fs->DeleteFile("/two"));
  EXPECT_FALSE(fs->FileExists("/two"));
  EXPECT_EQ(fs->CreateFile("/four"), two);
  EXPECT_EQ(fs->PageFile().Header().DirectoryItemCount(), 3);
  Reopen();
  EXPECT_EQ(fs->Directory().FindPath("/four"), two);
}

TEST_F(DirTest, FilesAndFoldersKeepTheirPlaces) {
  ASSERT_GE(fs->CreateFile("/file"), 0);
  ASSERT_TRUE(fs->CreateDir("/folder"));
  EXPECT_TRUE(fs->DirectoryExists("/folder"));
  EXPECT_TRUE(fs->DirectoryExists("/"));
  EXPECT_TRUE(fs->DirectoryExists("."));
  EXPECT_FALSE(fs->DirectoryExists("/file"));          // a file is not a folder
  EXPECT_FALSE(fs->CreateDir("/FILE"));                // one name, one item
  EXPECT_EQ(fs->CreateFile("/folder"), -16);           // a folder is not replaced
  EXPECT_LT(fs->CreateFile("/file/child"), 0);         // files have no children
  EXPECT_FALSE(fs->CreateDir("/file/sub"));
  EXPECT_THROW(fs->ForceDirectories("/file/sub/deeper"), EEngineError);
  EXPECT_FALSE(fs->ForceDirectories("/file"));
  EXPECT_FALSE(fs->DeleteFile("/folder"));             // folders are removed as folders
  ASSERT_GE(fs->CreateFile("/folder/inner"), 0);
  EXPECT_FALSE(fs->RemoveDir("/folder"));              // not while it holds something
  ASSERT_TRUE(fs->DeleteFile("/folder/inner"));
  EXPECT_TRUE(fs->RemoveDir("/folder"));
  EXPECT_FALSE(fs->FileExists("/folder"));
}

TEST_F(DirTest, NamesAreLimitedTo259Characters) {
  EXPECT_GE(fs->CreateFile("/" + std::string(259, 'n')), 0);
  EXPECT_LT(fs->CreateFile("/" + std::string(260, 'n')), 0);
  EXPECT_FALSE(fs->CreateDir("/" + std::string(260, 'd')));
  EXPECT_LT(fs->CreateFile("/.."), 0);
  Reopen();
  EXPECT_TRUE(fs->FileExists("/" + std::string(259, 'n')));
}

TEST_F(DirTest, RenameComparesRecordsAndRefusesCycles) {
  ASSERT_GE(fs->CreateFile("/t.dat"), 0);
  ASSERT_GE(fs->CreateFile("/other.dat"), 0);
  ASSERT_TRUE(fs->ForceDirectories("/a/b"));
  EXPECT_TRUE(fs->RenameFile("/t.dat", "/T.DAT"));         // the same record
  EXPECT_EQ(fs->Directory().GetFullPath(fs->Directory().FindPath("/t.dat")), "\\T.DAT");
  EXPECT_FALSE(fs->RenameFile("/T.DAT", "/other.dat"));    // another record
  EXPECT_FALSE(fs->RenameFile("/a", "/a/b/a"));             // into itself
  EXPECT_FALSE(fs->RenameFile("/a", "/a/new/deeper"));      // below itself, nothing made
  EXPECT_FALSE(fs->DirectoryExists("/a/new"));
  EXPECT_TRUE(fs->RenameFile("/T.DAT", "/x/y/moved.dat"));   // folders made on the way
  EXPECT_TRUE(fs->DirectoryExists("/x/y"));
  EXPECT_TRUE(fs->RenameFile("/a/b", "/b"));
  EXPECT_TRUE(fs->DirectoryExists("/b"));
  const int32_t handle = fs->OpenFile("/x/y/moved.dat", 0);
  EXPECT_FALSE(fs->RenameFile("/x/y/moved.dat", "/z.dat"));  // open
  fs->CloseFile(handle);
  Reopen();
  EXPECT_TRUE(fs->FileExists("/x/y/moved.dat"));
  EXPECT_TRUE(fs->FileExists("/b"));
  EXPECT_FALSE(fs->FileExists("/a/b"));
}

TEST_F(DirTest, EnumerationFiltersByMaskAndAttributes) {
  for (const char* file : {"/abcdef", "/Abc.dat", "/x.dat", "/A", "/\xE0\xE1\xE2"})  // "абв"
    ASSERT_GE(fs->CreateFile(file), 0);
  ASSERT_TRUE(fs->CreateDir("/folder.dat"));
  auto names = [&](const std::string& mask, uint32_t attributes) {
    std::vector<std::string> found;
    TSearchRec rec;
    for (int32_t rc = fs->FindFirst(mask, attributes, rec); rc == 0; rc = fs->FindNext(rec))
      found.push_back(rec.Name);
    fs->FindClose(rec);
    std::sort(found.begin(), found.end());
    return found;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(names("/A?C*", 0), (V{"Abc.dat", "abcdef"}));
  EXPECT_EQ(names("/*.dat", 0), (V{"Abc.dat", "x.dat"}));
  EXPECT_EQ(names("/*.dat", faDirectory), (V{"Abc.dat", "folder.dat", "x.dat"}));
  EXPECT_EQ(names("/!", 0), V{});                            // "!" is not "A"
  EXPECT_EQ(names("/\xC0\xC1\xC2", 0), V{"\xE0\xE1\xE2"});  // "АБВ" finds "абв"
  EXPECT_EQ(names("*.*", faDirectory).size(), 6u);

  TSearchRec rec;
  EXPECT_EQ(fs->FindFirst("/missing/*", 0, rec), kFindFolderNotFound);
  EXPECT_EQ(fs->FindFirst("/x.dat/*", 0, rec), kFindFolderNotFound);
  EXPECT_EQ(fs->FindFirst("/none*", 0, rec), kFindNoMore);
  ASSERT_EQ(fs->FindFirst("/x.dat", 0, rec), 0);
  TSearchRec copy = rec;
  fs->FindClose(rec);
  EXPECT_EQ(fs->FindNext(copy), kFindClosed);
}

TEST_F(DirTest, ReadOnlyContainerKeepsAccessTimes) {
  ASSERT_TRUE(Put("/f", {1, 2, 3}));
  fs->Flush();
  Reopen(kModeReadOnlyDenyNone);
  const auto before = testing::ReadFileBytes(name);
  EXPECT_EQ(Get("/f"), (std::vector<uint8_t>{1, 2, 3}));
  fs.reset();
  EXPECT_EQ(testing::ReadFileBytes(name), before);
}

// The bytes that move record 1 of a directory page to the root under a
// one-letter name: parent -1, the zero fields up to the name, then the name.
std::vector<uint8_t> MovedToRootAs(char letter) {
  std::vector<uint8_t> bytes(224 - 40 + 2, 0);
  std::fill(bytes.begin(), bytes.begin() + 4, 0xFF);
  bytes[224 - 40] = static_cast<uint8_t>(letter);
  return bytes;
}

// Records whose bytes cannot be right are refused when the directory loads.
TEST_F(DirTest, DamagedRecordsFailTheOpen) {
  ASSERT_TRUE(fs->CreateDir("/d"));
  ASSERT_TRUE(Put("/d/f", {7}));
  const int32_t page = fs->PageFile().Header().FirstDirectoryPage();
  fs.reset();
  const auto good = testing::ReadFileBytes(name);
  struct Case { const char* what; int offset; std::vector<uint8_t> bytes; };
  const Case kCases[] = {
      {"name taken in its folder", 512 + 40, MovedToRootAs('d')},
      {"parent out of range", 512 + 40, {50, 0, 0, 0}},
      {"parent is a file", 40, {1, 0, 0, 0}},  // record 0 under record 1
      {"name without terminator", 512 + 224, std::vector<uint8_t>(260, 'z')},
      {"flag not 0 or 1", 512 + 221, {7}},
      {"first map page 0", 512, {0, 0, 0, 0}},
      {"first map page beyond the file", 512, {0, 1, 0, 0}},
      {"negative size", 512 + 4, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const Case& c : kCases) {
    testing::WriteFileBytes(name, good);
    PatchPayload(name, page, c.offset, c.bytes, 3584);
    EXPECT_THROW(Reopen(), EEngineError) << c.what;
  }
  testing::WriteFileBytes(name, good);
  Reopen();
  EXPECT_EQ(Get("/d/f"), std::vector<uint8_t>{7});
}

// A directory from elsewhere may hold names equal ignoring case in one
// folder: it loads, and each item is reached by its own name.
TEST_F(DirTest, NamesEqualIgnoringCaseFromElsewhereLoad) {
  ASSERT_TRUE(fs->CreateDir("/d"));
  ASSERT_TRUE(Put("/d/f", {7}));
  const int32_t page = fs->PageFile().Header().FirstDirectoryPage();
  fs.reset();
  PatchPayload(name, page, 512 + 40, MovedToRootAs('D'), 3584);
  ASSERT_NO_THROW(Reopen());
  EXPECT_EQ(Get("/D"), std::vector<uint8_t>{7});
  EXPECT_TRUE(fs->DirectoryExists("/d"));
  EXPECT_EQ(fs->Directory().FindPath("/d"), 0);
  EXPECT_EQ(fs->Directory().FindPath("/D"), 1);
}

}  // namespace
}  // namespace norvane
