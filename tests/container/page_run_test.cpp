// Runs of pages moved with one transfer: every page stored exactly as a
// page-by-page write stores it, payload ranges read as page-by-page reads
// give them, and the same failures, after the pages before a failing one.
#include "engine/container/page_file_manager.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "engine/common/engine_error.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"

namespace norvane {
namespace {

using TBytes = std::vector<uint8_t>;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

constexpr int64_t kPage = 4096;
constexpr int64_t kPayload = kPage - kPageHeaderSize;

std::unique_ptr<TPageFileManager> Create(const std::string& name, int64_t maxPartSize = -1) {
  return std::make_unique<TPageFileManager>(name, 16, 4, false, "", "", "", kModeCreate,
                                            TPartOptions{maxPartSize, {}});
}

TBytes Random(size_t n, std::mt19937& random) {
  TBytes bytes(n);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

// The stored bytes (header and payload) of page n.
TBytes PageImage(TPageFileManager& pages, int32_t n) {
  TBytes image(kPage);
  pages.Stream().Seek(0, pages.PageOffset(n));
  EXPECT_EQ(pages.Stream().Read(image.data(), kPage), kPage);
  return image;
}

TEST(PageRun, StoresAndReadsEveryPageAsOnePageTransfersDo) {
  // Plain and enciphered pages, in one part and over parts of 5000 payload
  // bytes (most pages then straddle a part border), for runs shorter and
  // longer than the block calls of the cipher take.
  struct Case { uint8_t encryption; std::string key; int64_t maxPartSize; int32_t count; };
  const Case kCases[] = {{0, "", -1, 1},          {0, "", -1, 70},
                         {1, "file key", -1, 1},  {1, "file key", -1, 70},
                         {0, "", kPartHeaderSize + 5000, 9},
                         {1, "file key", kPartHeaderSize + 5000, 9}};
  std::mt19937 random(11);
  for (const Case& c : kCases) {
    SCOPED_TRACE("encryption " + std::to_string(c.encryption) + ", " +
                 std::to_string(c.count) + " pages, part size " + std::to_string(c.maxPartSize));
    testing::TTempFolder dir;
    auto pages = Create(dir / "run.adb", c.maxPartSize);
    ASSERT_TRUE(pages->ExtendFile(2 * c.count));
    const TBytes payloads = Random(static_cast<size_t>(c.count * kPayload), random);
    TPageHeader header;
    header.PageType = ptFileData;
    header.EncryptionType = c.encryption;
    header.NextPageNo = 77;
    const TBytes before = payloads;
    ASSERT_EQ(pages->WritePageRun(header, 1, c.count, c.key, payloads.data()), c.count);
    EXPECT_EQ(payloads, before);  // the caller's bytes are never enciphered in place
    for (int32_t i = 0; i < c.count; ++i) {
      TBytes one(payloads.begin() + i * kPayload, payloads.begin() + (i + 1) * kPayload);
      TPageRecord rec{header, one.data()};
      ASSERT_TRUE(pages->WritePage(rec, c.count + 1 + i, c.key, -1));
    }
    for (int32_t i = 0; i < c.count; ++i)
      ASSERT_EQ(PageImage(*pages, 1 + i), PageImage(*pages, c.count + 1 + i)) << "page " << i;

    // Ranges that start and end inside pages and on their borders.
    const int64_t total = c.count * kPayload;
    for (auto [skip, length] : {std::pair<int64_t, int64_t>{0, total}, {1, total - 1},
                                {kPayload - 1, 2}, {100, total - 200}, {0, 0}}) {
      if (length < 0 || skip + length > total) continue;
      TBytes got(static_cast<size_t>(length) + 1, 0xEE);
      ASSERT_EQ(pages->ReadPayloadRun(c.count + 1, c.count, c.key, skip, length, got.data()),
                length);
      EXPECT_EQ(pages->LastError(), peNone);
      EXPECT_TRUE(std::equal(got.begin(), got.end() - 1, payloads.begin() + skip)) << skip;
      EXPECT_EQ(got.back(), 0xEE) << "nothing past the range is written";
    }
  }
}

TEST(PageRun, ReadStopsAtTheFirstFailingPageWithItsCode) {
  // Five pages; each case breaks one and reads from page 1 on. The pages
  // before the broken one arrive, as many bytes as they hold of the range.
  struct Case { const char* what; int32_t count; int64_t delivered; int32_t error; };
  const Case kCases[] = {
      {"checksum", 5, 2 * kPayload - 10, peChecksum},    // page 3 damaged
      {"past the end", 7, 5 * kPayload - 10, peHeaderRead},  // pages 6 and 7 do not exist
      {"cut header", 5, 3 * kPayload - 10, peHeaderRead},    // file cut inside page 4's header
      {"cut payload", 5, 3 * kPayload - 10, pePayloadRead},  // ... inside its payload
      {"no key", 5, 0, peDecipher},                          // enciphered, read without a key
  };
  std::mt19937 random(12);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    testing::TTempFolder dir;
    const std::string name = dir / "fail.adb";
    const TBytes payloads = Random(5 * kPayload, random);
    {
      auto pages = Create(name);
      ASSERT_TRUE(pages->ExtendFile(5));
      TPageHeader header;
      header.EncryptionType = std::string(c.what) == "no key" ? 1 : 0;
      ASSERT_EQ(pages->WritePageRun(header, 1, 5, "k", payloads.data()), 5);
    }
    const std::string what = c.what;
    if (what == "checksum") {
      auto bytes = ReadFileBytes(name);
      bytes[kPartHeaderSize + 3 * kPage + kPageHeaderSize + 9] ^= 1;
      WriteFileBytes(name, bytes);
    }
    auto pages = std::make_unique<TPageFileManager>(name, 16, 4, false, "", "", "", kModeReadWriteDenyWrite);
    if (what == "cut header" || what == "cut payload") {
      const int64_t into = what == "cut header" ? 20 : 40;  // bytes of page 4 left
      ASSERT_EQ(truncate(name.c_str(), kPartHeaderSize + 4 * kPage + into), 0);
    }
    const int64_t length = c.count * kPayload - 20;
    TBytes got(static_cast<size_t>(length));
    EXPECT_EQ(pages->ReadPayloadRun(1, c.count, "", 10, length, got.data()), c.delivered);
    EXPECT_EQ(pages->LastError(), c.error);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + c.delivered, payloads.begin() + 10));
  }
}

TEST(PageRun, WriteStoresThePagesInsideAndFailsLikeOnePageWrites) {
  testing::TTempFolder dir;
  const std::string name = dir / "w.adb";
  auto pages = Create(name);
  ASSERT_TRUE(pages->ExtendFile(3));
  const TBytes payloads(5 * kPayload, 0x5A);
  TPageHeader header;
  header.PageType = ptFileData;
  // Pages 4 and 5 lie beyond the container: 2 and 3 are stored, then -8.
  EXPECT_EQ(pages->WritePageRun(header, 2, 4, "", payloads.data()), 2);
  EXPECT_EQ(pages->LastError(), peHeaderWrite);
  TBytes back(kPayload);
  TPageRecord rec{{}, back.data()};
  ASSERT_TRUE(pages->ReadPage(rec, 3, false, "", -1));
  EXPECT_EQ(back, TBytes(payloads.begin(), payloads.begin() + kPayload));
  EXPECT_EQ(pages->WritePageRun(header, 0, 2, "", payloads.data()), 0);
  EXPECT_EQ(pages->LastError(), peHeaderWrite);

  // A key that cannot encipher fails the first page and writes nothing.
  pages->Flush();
  const TBytes before = ReadFileBytes(name);
  header.EncryptionType = 1;
  EXPECT_EQ(pages->WritePageRun(header, 1, 3, "", payloads.data()), 0);
  EXPECT_EQ(pages->LastError(), peEncipher);
  header.EncryptionType = 7;
  EXPECT_THROW(pages->WritePageRun(header, 1, 3, "k", payloads.data()), EEngineError);
  pages->Flush();
  EXPECT_EQ(ReadFileBytes(name), before);
}

}  // namespace
}  // namespace norvane
