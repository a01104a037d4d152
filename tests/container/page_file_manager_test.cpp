// The page layer and the container object: the exact bytes of a new
// container, page transfers and their error codes, and the checks a header
// read from disk must pass.
#include "engine/container/page_file_manager.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "engine/container/single_file_system.h"
#include "engine/platform/file_system.h"
#include "tests/support/error_message.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"

namespace norvane {
namespace {

using testing::ReadFileBytes;
using testing::WriteFileBytes;

constexpr int64_t kBase = kPartHeaderSize;  // file offset of logical byte 0
constexpr char kCorrupted[] = "TESingleFileSystem.LoadHeader - Invalid VEZA file, header is corrupted.";

std::unique_ptr<TPageFileManager> Create(const std::string& name, int32_t extents = 16,
                                         int32_t kb = 4) {
  return std::make_unique<TPageFileManager>(name, extents, kb, false, "", "", "", kModeCreate);
}

std::unique_ptr<TPageFileManager> Open(const std::string& name,
                                       uint16_t mode = kModeReadWriteDenyWrite) {
  return std::make_unique<TPageFileManager>(name, 16, 4, false, "", "", "", mode);
}

using testing::MessageOf;

// Edits the container header in a file and, unless asked not to, fixes its
// checksum so only the edited value is wrong.
void EditHeader(const std::string& name, const std::function<void(TContainerHeader&)>& edit,
                bool fixChecksum = true) {
  auto bytes = ReadFileBytes(name);
  TContainerHeader header;
  std::memcpy(header.Bytes().data(), bytes.data() + kBase, TContainerHeader::kSize);
  edit(header);
  if (fixChecksum) header.UpdateChecksum();
  std::memcpy(bytes.data() + kBase, header.Bytes().data(), TContainerHeader::kSize);
  WriteFileBytes(name, bytes);
}

TEST(PageFileManager, NewContainerIsExactly536KnownBytes) {
  testing::TTempFolder dir;
  Create(dir / "new.adb");
  const auto bytes = ReadFileBytes(dir / "new.adb");
  ASSERT_EQ(bytes.size(), 536u);
  const uint8_t part[] = {'A', 'A', 'M', 'V', 'H', 'F', 'S', 'S', 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(bytes.data(), part, sizeof part), 0);
  for (size_t i = sizeof part; i < 280; ++i) ASSERT_EQ(bytes[i], 0) << i;
  const uint8_t header[] = {
      'A', 'A', 'S', 'F', 'S', 'S', 'G', 'N',  // magic
      0x8A, 0x89, 0x99, 0x3F,                  // XOR32 of bytes 12..255
      0x9A, 0x99, 0x99, 0x3F,                  // version 1.2
      0x00, 0x10, 0x00, 0x00,                  // page size 4096
      0x10, 0x00, 0x00, 0x00,                  // 16 pages an extent
      0x01, 0x00, 0x00, 0x00,                  // first extent page
      0, 0, 0, 0, 0, 0, 0, 0,                  // GAM and PFS page counts
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,      // directory pages, first, items
      0x01, 0x00, 0x00, 0x00,                  // page count
  };
  EXPECT_EQ(std::memcmp(bytes.data() + 280, header, sizeof header), 0);
  for (size_t i = 280 + sizeof header; i < 536; ++i) ASSERT_EQ(bytes[i], 0) << i;
}

TEST(PageFileManager, PagesRoundTripAcrossReopen) {
  testing::TTempFolder dir;
  const std::string name = dir / "p.adb";
  {
    auto pages = Create(name);
    ASSERT_TRUE(pages->ExtendFile(3));
    EXPECT_EQ(pages->PageCount(), 4);
    for (int32_t n = 1; n <= 3; ++n) {
      auto page = pages->NewPageBuffer();
      page->Rec.Header.PageType = ptFileData;
      page->Rec.Header.NextPageNo = n + 100;
      for (size_t i = 0; i < page->Payload.size(); ++i) page->Payload[i] = static_cast<uint8_t>(n * 31 + i);
      ASSERT_TRUE(pages->WritePage(page->Rec, n, "", n == 2 ? 100 : -1));
    }
  }
  EXPECT_EQ(ReadFileBytes(name).size(), static_cast<size_t>(kBase + 4 * 4096));
  auto pages = Open(name);
  EXPECT_EQ(pages->PageCount(), 4);
  for (int32_t n = 1; n <= 3; ++n) {
    auto page = pages->NewPageBuffer();
    const int32_t length = n == 2 ? 100 : -1;
    ASSERT_TRUE(pages->ReadPage(page->Rec, n, false, "", length)) << pages->LastError();
    EXPECT_EQ(page->Rec.Header.PageType, ptFileData);
    EXPECT_EQ(page->Rec.Header.NextPageNo, n + 100);
    const size_t used = n == 2 ? 100 : page->Payload.size();
    for (size_t i = 0; i < used; ++i) ASSERT_EQ(page->Payload[i], static_cast<uint8_t>(n * 31 + i));
  }
  TPageRecord headerOnly;
  ASSERT_TRUE(pages->ReadPage(headerOnly, 3, false, "", 0));
  EXPECT_EQ(headerOnly.Header.NextPageNo, 103);
  EXPECT_THROW(pages->ReadPage(headerOnly, 3, false, "", -1), EEngineError);
}

TEST(PageFileManager, PageHeaderBytesAreFixed) {
  testing::TTempFolder dir;
  const std::string name = dir / "h.adb";
  {
    auto pages = Create(name);
    ASSERT_TRUE(pages->ExtendFile(1));
    auto page = pages->NewPageBuffer();
    page->Rec.Header = {7, 0, ptMap, 0, 0};
    page->Payload[0] = 0x11;
    page->Payload[5] = 0x22;
    ASSERT_TRUE(pages->WritePage(page->Rec, 1, "", -1));
  }
  const auto bytes = ReadFileBytes(name);
  const uint8_t expected[32] = {7, 0, 0, 0, 0x11, 0x22, 0, 0, ptMap, 0, 0};
  EXPECT_EQ(std::memcmp(bytes.data() + kBase + 4096, expected, 32), 0);
}

TEST(PageFileManager, DamagedPayloadReadsAsChecksumError) {
  testing::TTempFolder dir;
  const std::string name = dir / "c.adb";
  {
    auto pages = Create(name);
    ASSERT_TRUE(pages->ExtendFile(2));
    auto page = pages->NewPageBuffer();
    ASSERT_TRUE(pages->WritePage(page->Rec, 2, "", -1));
  }
  auto bytes = ReadFileBytes(name);
  bytes[kBase + 2 * 4096 + 32 + 4000] ^= 0x40;
  WriteFileBytes(name, bytes);
  auto pages = Open(name);
  auto page = pages->NewPageBuffer();
  EXPECT_FALSE(pages->ReadPage(page->Rec, 2, false, "", -1));
  EXPECT_EQ(pages->LastError(), peChecksum);
  EXPECT_TRUE(pages->ReadPage(page->Rec, 2, false, "", 100));  // the damage lies beyond
}

TEST(PageFileManager, FileCutUnderneathGivesShortReadCodes) {
  testing::TTempFolder dir;
  const std::string name = dir / "cut.adb";
  auto pages = Create(name);
  ASSERT_TRUE(pages->ExtendFile(3));
  auto page = pages->NewPageBuffer();
  for (int32_t n = 1; n <= 3; ++n) ASSERT_TRUE(pages->WritePage(page->Rec, n, "", -1));
  // Another program cuts the file in the middle of page 2's payload.
  ASSERT_EQ(truncate(name.c_str(), kBase + 2 * 4096 + 100), 0);
  EXPECT_FALSE(pages->ReadPage(page->Rec, 3, false, "", -1));
  EXPECT_EQ(pages->LastError(), peHeaderRead);
  EXPECT_FALSE(pages->ReadPage(page->Rec, 2, false, "", -1));
  EXPECT_EQ(pages->LastError(), pePayloadRead);
  EXPECT_TRUE(pages->ReadPage(page->Rec, 1, false, "", -1));
}

// Pages of 4096 bytes over parts of 5000 payload bytes: most pages straddle
// a part border.
TEST(PageFileManager, PagesSpanPartBorders) {
  testing::TTempFolder dir;
  const std::string name = dir / "span.adb";
  {
    TPageFileManager pages(name, 16, 4, false, "", "", "", kModeCreate,
                           TPartOptions{kPartHeaderSize + 5000, {}});
    ASSERT_TRUE(pages.ExtendFile(9));
    auto page = pages.NewPageBuffer();
    for (int32_t n = 1; n <= 9; ++n) {
      std::fill(page->Payload.begin(), page->Payload.end(), static_cast<uint8_t>(n));
      ASSERT_TRUE(pages.WritePage(page->Rec, n, "", -1)) << n;
    }
    EXPECT_EQ(pages.Stream().PartCount(), 9u);  // 40960 bytes in parts of 5000
  }
  EXPECT_TRUE(FileExists(name + "8"));
  auto pages = Open(name);
  auto page = pages->NewPageBuffer();
  for (int32_t n = 1; n <= 9; ++n) {
    ASSERT_TRUE(pages->ReadPage(page->Rec, n, false, "", -1)) << n;
    EXPECT_TRUE(std::all_of(page->Payload.begin(), page->Payload.end(),
                            [n](uint8_t b) { return b == n; })) << n;
  }
}

TEST(PageFileManager, UnknownChecksumKindIsDamage) {
  testing::TTempFolder dir;
  auto pages = Create(dir / "k.adb");
  ASSERT_TRUE(pages->ExtendFile(1));
  auto page = pages->NewPageBuffer();
  page->Rec.Header.ChecksumType = 9;
  ASSERT_TRUE(pages->WritePage(page->Rec, 1, "", -1));
  EXPECT_FALSE(pages->ReadPage(page->Rec, 1, false, "", -1));
  EXPECT_EQ(pages->LastError(), peChecksum);
}

TEST(PageFileManager, PageNumbersOutsideTheContainerAreRefused) {
  testing::TTempFolder dir;
  const std::string name = dir / "n.adb";
  auto pages = Create(name);
  ASSERT_TRUE(pages->ExtendFile(2));
  pages->Flush();
  const auto before = ReadFileBytes(name);
  auto page = pages->NewPageBuffer();
  for (int32_t n : {0, -1, 3, 1000}) {
    EXPECT_FALSE(pages->ReadPage(page->Rec, n, false, "", -1)) << n;
    EXPECT_EQ(pages->LastError(), peHeaderRead);
    EXPECT_FALSE(pages->WritePage(page->Rec, n, "", -1)) << n;
    EXPECT_EQ(pages->LastError(), peHeaderWrite);
  }
  pages->Flush();
  EXPECT_EQ(ReadFileBytes(name), before);
}

TEST(PageFileManager, EveryHeaderByteIsCoveredByTheChecksum) {
  testing::TTempFolder dir;
  const std::string name = dir / "x.adb";
  Create(name);
  const auto good = ReadFileBytes(name);
  for (size_t offset : {0, 7, 8, 12, 16, 48, 52, 200, 224, 225, 255}) {
    auto bytes = good;
    bytes[kBase + offset] ^= 0x01;
    WriteFileBytes(name, bytes);
    EXPECT_EQ(MessageOf([&] { Open(name); }), kCorrupted) << offset;
  }
}

// Headers whose checksum is right but whose numbers the engine never writes.
TEST(PageFileManager, InsaneHeaderValuesAreRefusedOnOpen) {
  struct Case { const char* what; std::function<void(TContainerHeader&)> edit; };
  auto set = [](int offset, int32_t v) {
    return [=](TContainerHeader& h) { PutI32LE(h.Bytes().data() + offset, v); };
  };
  const Case kCases[] = {
      {"page size 0", set(16, 0)},
      {"page size not whole KB", set(16, 4000)},
      {"page size 2 GB", set(16, 0x7FFFFC00)},
      {"extent 0", set(20, 0)},
      {"extent beyond one PFS page", set(20, 8 * 4064 + 1)},
      {"extent leaving no whole PFS bitmap", set(20, 8 * 4064 - 1)},
      {"first extent page 0", set(24, 0)},
      {"page count 0", set(48, 0)},
      {"page count beyond the file", set(48, 3)},
      {"negative GAM count", set(28, -1)},
      {"PFS count beyond pages", set(32, 5)},
      {"first directory page 0 with pages", set(40, 1)},
      {"directory items without pages", set(44, 1)},
      {"encryption type 2", [](TContainerHeader& h) { h.SetEncryptionType(2); }},
  };
  for (const Case& c : kCases) {
    testing::TTempFolder dir;
    const std::string name = dir / "i.adb";
    Create(name);
    EditHeader(name, c.edit);
    EXPECT_EQ(MessageOf([&] { Open(name); }), kCorrupted) << c.what;
  }
}

TEST(PageFileManager, DamagedPartHeaderOrMissingFileFailsClearly) {
  testing::TTempFolder dir;
  const std::string name = dir / "part.adb";
  Create(name);
  auto bytes = ReadFileBytes(name);
  bytes[3] = 'X';
  WriteFileBytes(name, bytes);
  EXPECT_EQ(MessageOf([&] { Open(name); }), "File part.adb has corrupted header.");
  EXPECT_NE(MessageOf([&] { Open(dir / "missing.adb"); }).find("Cannot open the file"),
            std::string::npos);
}

TEST(PageFileManager, ArgumentsAreCheckedBeforeTheOldFileIsTouched) {
  testing::TTempFolder dir;
  const std::string name = dir / "keep.adb";
  Create(name);
  const auto before = ReadFileBytes(name);
  struct Case { std::function<void()> create; const char* message; };
  const Case kCases[] = {
      {[&] { TPageFileManager(name, 16, 0, false, "", "", "", kModeCreate); },
       "TPageFileManager.Create - page size should be >= 1 Kb."},
      {[&] { TPageFileManager(name, 0, 4, false, "", "", "", kModeCreate); },
       "TPageFileManager.Create - extent page count should be >= 1 Page."},
      {[&] { TPageFileManager(name, 16, 4, false, "", "", std::string(33, 'p'), kModeCreate); },
       "Password length should be shorter then 32"},
      {[&] { TPageFileManager(name, 16, 4, false, "a", std::string(101, 'q'), "pw", kModeCreate); },
       "Question length should be shorter then 100"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(MessageOf(c.create), c.message);
    EXPECT_EQ(ReadFileBytes(name), before) << c.message;
  }
}

TEST(PageFileManager, OpenTakesTheGeometryFromTheHeader) {
  testing::TTempFolder dir;
  const std::string name = dir / "g.adb";
  {
    auto pages = Create(name, 32, 8);
    ASSERT_TRUE(pages->ExtendFile(2));
  }
  auto pages = Open(name);
  EXPECT_EQ(pages->PageSize(), 8192);
  EXPECT_EQ(pages->Header().ExtentPageCount(), 32);
  EXPECT_EQ(pages->PayloadSize(), 8160);
  EXPECT_EQ(pages->PageOffset(2), 16384);
}

TEST(PageFileManager, ReadOnlyContainerNeverWrites) {
  testing::TTempFolder dir;
  const std::string name = dir / "ro.adb";
  {
    auto pages = Create(name);
    ASSERT_TRUE(pages->ExtendFile(1));
  }
  const auto before = ReadFileBytes(name);
  auto pages = Open(name, kModeReadOnlyDenyNone);
  EXPECT_TRUE(pages->ReadOnly());
  EXPECT_FALSE(pages->ExtendFile(1));
  EXPECT_EQ(pages->PageCount(), 2);
  pages->SaveHeader();
  auto page = pages->NewPageBuffer();
  EXPECT_FALSE(pages->WritePage(page->Rec, 1, "", -1));
  pages.reset();
  EXPECT_EQ(ReadFileBytes(name), before);
}

TEST(SingleFileSystem, EncryptedContainerWithoutPasswordIsRefused) {
  testing::TTempFolder dir;
  const std::string name = dir / "say \"hi\".adb";
  Create(name);
  EXPECT_FALSE(IsEncryptedFile(name));
  EXPECT_TRUE(CheckPassword(name, ""));
  EditHeader(name, [](TContainerHeader& h) { h.SetEncryptionType(1); });
  EXPECT_TRUE(IsEncryptedFile(name));
  EXPECT_FALSE(CheckPassword(name, ""));
  EXPECT_EQ(MessageOf([&] { TESingleFileSystem(name, 16, 4, 0, "", "", "", false, kModeReadWriteDenyWrite); }),
            "TESingleFileSystem.Create - invalid password specified, file name = \"" + dir.Path() +
                "say \"\"hi\"\".adb\"");
  EXPECT_FALSE(IsEncryptedFile(dir / "nothing.adb"));
}

TEST(SingleFileSystem, MemoryContainerLoadsAnExistingFileInsteadOfReplacingIt) {
  testing::TTempFolder dir;
  const std::string name = dir / "m.adb";
  {
    auto pages = Create(name);
    ASSERT_TRUE(pages->ExtendFile(5));
  }
  const auto before = ReadFileBytes(name);
  {
    TESingleFileSystem container(name, 16, 4, 0, "", "", "", true, kModeCreate);
    EXPECT_EQ(container.PageFile().PageCount(), 6);
    EXPECT_TRUE(container.PageFile().ExtendFile(2));
  }
  EXPECT_EQ(ReadFileBytes(name), before);
}

TEST(SingleFileSystem, CreateOnDiskReplacesTheOldContainer) {
  testing::TTempFolder dir;
  const std::string name = dir / "r.adb";
  {
    auto pages = Create(name);
    ASSERT_TRUE(pages->ExtendFile(5));
  }
  TESingleFileSystem container(name, 16, 4, 0, "", "", "", false, kModeCreate);
  EXPECT_EQ(container.PageFile().PageCount(), 1);
  EXPECT_TRUE(container.Exclusive());
  EXPECT_FALSE(container.ReadOnly());
  container.Flush();
  EXPECT_EQ(ReadFileBytes(name).size(), 536u);
}

}  // namespace
}  // namespace norvane
