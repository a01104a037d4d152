// The rules of large values one by one: how many blocks a value takes, how
// freed runs are reused, what a damaged T.bdf or T.bif gives, what an open
// mends, the graphic prefix, a failed append, and the messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/common/byte_codec.h"
#include "engine/container/memory_plain_file_system.h"
#include "engine/protection/compress_buffer.h"
#include "engine/tables/field_types.h"
#include "tests/support/error_message.h"
#include "tests/support/fast_clock.h"
#include "tests/tables/blob_table.h"
#include "tests/tables/table_store.h"

namespace norvane {
namespace {

using testing::MessageOf;
using testing::ReadStoreFile;
using testing::TBlobTable;
using testing::WriteStoreFile;
using TBytes = std::vector<uint8_t>;

constexpr int32_t kMemo = TBlobTable::kMemo;
constexpr int32_t kData = TBlobTable::kData;

TBytes Text(size_t n, char c = 'x') { return TBytes(n, static_cast<uint8_t>(c)); }

const TBlobValueHeader& HeaderOf(TBlobTable& table, int32_t row, int32_t largeField) {
  return const_cast<TaaBLOBDirectory*>(table.Manager().BLOBDirectory())->Value(row, largeField);
}

TEST(BlobRules, BlocksTakenAndFreedRunsReused) {
  TMemoryPlainFileSystem store("mem");
  TBlobTable table(store, 0, false, true);
  struct Case {
    size_t size;
    int32_t blocks;
  };
  const Case cases[] = {{1, 1}, {512, 1}, {513, 2}, {1024, 2}, {1025, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const int32_t r = table.Append(1, {{kMemo, Text(c.size)}});
    const TBlobValueHeader& value = HeaderOf(table, r, 0);
    ASSERT_EQ(value.Runs.size(), 1u);
    EXPECT_EQ(value.Runs[0].Count, c.blocks);
    EXPECT_EQ(value.StoredSize, static_cast<int32_t>(c.size));
    EXPECT_EQ(value.PlainSize, static_cast<int32_t>(c.size));
  }
  // 1 + 1 + 2 + 2 + 3 blocks in T.bdf; deleting the 2-block value frees
  // its run, and a value of the same size takes it back without growing.
  table.Manager().FlushBuffers();
  EXPECT_EQ(table.Manager().BLOBDirectory()->BlockCount(), 9);
  table.Delete(kMemo, 2);
  EXPECT_EQ(table.Manager().BLOBDirectory()->FreeRuns(), (std::vector<TBlobRun>{{2, 2}}));
  table.Write(kMemo, 0, Text(600, 'y'));
  EXPECT_EQ(HeaderOf(table, 0, 0).Runs, (std::vector<TBlobRun>{{2, 2}}));
  EXPECT_TRUE(table.Manager().BLOBDirectory()->FreeRuns().empty());
  EXPECT_EQ(table.Manager().BLOBDirectory()->BlockCount(), 9);
  table.Manager().FlushBuffers();
  EXPECT_EQ(ReadStoreFile(store, "Art.bdf").size(), 9u * 512);
  EXPECT_EQ(table.Read(kMemo, 0), Text(600, 'y'));
  // The value it replaced keeps its block until the table is rebuilt.
  EXPECT_TRUE(table.Manager().BLOBDirectory()->FreeRuns().empty());
}

TEST(BlobRules, RunsComeFromTheEndOfTheFreeListAndALongerRunIsSplit) {
  TMemoryPlainFileSystem store("mem");
  TBlobTable table(store, 0, false, true);
  // Three values of 1, 2 and 3 blocks, then one between them so the runs of
  // a value made later from the free list are apart.
  table.Append(1, {{kMemo, Text(100)}});        // block 0
  table.Append(2, {{kMemo, Text(1000)}});       // blocks 1-2
  table.Append(3, {{kMemo, Text(1500)}});       // blocks 3-5
  table.Append(4, {});
  for (int32_t r : {0, 1, 2}) table.Delete(kMemo, r);
  EXPECT_EQ(table.Manager().BLOBDirectory()->FreeRuns(),
            (std::vector<TBlobRun>{{0, 1}, {1, 2}, {3, 3}}));
  // Four blocks: the last run whole (3 blocks), then 1 of the 2-block run,
  // which keeps its second block.
  table.Write(kData, 3, Text(1800, 'z'));
  EXPECT_EQ(HeaderOf(table, 3, 1).Runs, (std::vector<TBlobRun>{{3, 3}, {1, 1}}));
  EXPECT_EQ(table.Manager().BLOBDirectory()->FreeRuns(), (std::vector<TBlobRun>{{0, 1}, {2, 1}}));
  EXPECT_EQ(table.Read(kData, 3), Text(1800, 'z'));
  // Deleting a record gives back every run of its values, in order.
  table.Manager().aaDeleteRecord(3);
  EXPECT_EQ(table.Manager().BLOBDirectory()->FreeRuns(),
            (std::vector<TBlobRun>{{0, 1}, {2, 1}, {3, 3}, {1, 1}}));
}

struct TCodingCase {
  uint8_t compression;
  bool encrypted;
};

class TBlobDamage : public ::testing::TestWithParam<TCodingCase> {};

TEST_P(TBlobDamage, AFlippedByteInTBdfFailsThatValueAlone) {
  testing::TFastClock clock;
  TMemoryPlainFileSystem store("mem");
  {
    TBlobTable table(store, GetParam().compression, GetParam().encrypted, true);
    for (int32_t r = 0; r < 4; ++r) table.Append(r, {{kMemo, Text(700 + r, static_cast<char>('a' + r))}});
  }
  TBytes bdf = ReadStoreFile(store, "Art.bdf");
  TBlobTable reader(store, GetParam().compression, GetParam().encrypted, false);
  const TBlobValueHeader& victim = HeaderOf(reader, 2, 0);
  bdf[static_cast<size_t>(victim.Runs[0].First) * 512 + 5] ^= 0x20;
  reader.Manager().CloseTable();
  WriteStoreFile(store, "Art.bdf", bdf);
  TBlobTable table(store, GetParam().compression, GetParam().encrypted, false);
  const std::string message = MessageOf([&] { table.Read(kMemo, 2); });
  // Stored plain, the check catches it; compressed, the stream or the check.
  EXPECT_TRUE(message == "Error in TDeziDataManager.aaReadBLOBValue - crc error" ||
              message.rfind("Error in TDeziDataManager.aaReadBLOBValue - aaDecompress decompressing error! mode = 1", 0) == 0 ||
              message.rfind("Error in TDeziDataManager.aaReadBLOBValue - decompressing error! mode = 1", 0) == 0)
      << message;
  for (int32_t r : {0, 1, 3}) EXPECT_EQ(table.Read(kMemo, r), Text(700 + static_cast<size_t>(r), static_cast<char>('a' + r)));
}

INSTANTIATE_TEST_SUITE_P(Codings, TBlobDamage,
                         ::testing::Values(TCodingCase{0, false}, TCodingCase{1, false},
                                           TCodingCase{0, true}, TCodingCase{1, true}));

// The image of T.bif, decompressed, for tests that damage it.
TBytes BifImage(TAbstractPlainFileSystem& store) {
  const TBytes bif = ReadStoreFile(store, "Art.bif");
  TBytes image;
  size_t size = GetU32LE(bif.data());
  EXPECT_TRUE(aaDecompressBuffer(bif.data() + 4, bif.size() - 4, image, cmZlib, size));
  return image;
}

void PutBifImage(TAbstractPlainFileSystem& store, const TBytes& image, int32_t length) {
  TBytes packed;
  size_t size = 0;
  ASSERT_TRUE(aaCompressBuffer(image.data(), image.size(), packed, cmZlib, size));
  TBytes bif(4 + packed.size());
  PutI32LE(bif.data(), length);
  std::copy(packed.begin(), packed.end(), bif.begin() + 4);
  WriteStoreFile(store, "Art.bif", bif);
}

TEST(BlobRules, ADamagedDirectoryIsRefusedWithTheDamageMessage) {
  // Two records, the first with a memo of 2 blocks, the second with a value
  // of 1 block; one free run of 1 block at the end of the image.
  TMemoryPlainFileSystem store("mem");
  {
    TBlobTable table(store, 0, false, true);
    table.Append(1, {{kMemo, Text(600)}});
    table.Append(2, {{kData, Text(10)}, {TBlobTable::kRich, Text(5)}});
    table.Delete(TBlobTable::kRich, 1);
  }
  const TBytes good = BifImage(store);
  // Headers of row 0 at 24, 4 fields of 32 bytes a row; runs at 24 + 256.
  const int32_t row1Data = 24 + 4 * 32 + 32;
  struct Case {
    const char* what;
    std::function<void(TBytes&, int32_t&)> damage;
    const char* message;
  };
  auto i32 = [](TBytes& image, size_t at, int32_t value) { PutI32LE(&image[at], value); };
  const Case cases[] = {
      {"block size 0", [&](TBytes& b, int32_t&) { i32(b, 0, 0); }, "the block size 0 is impossible"},
      {"other field count", [&](TBytes& b, int32_t&) { i32(b, 8, 3); },
       "it describes 3 large-value fields, the table has 4"},
      {"negative record count", [&](TBytes& b, int32_t&) { i32(b, 12, -1); },
       "the record count -1 or free run count 1 is negative"},
      {"rows beyond the image", [&](TBytes& b, int32_t&) { i32(b, 12, 1000); },
       "its 1000 rows do not fit the image"},
      {"free list beyond the image", [&](TBytes& b, int32_t&) { i32(b, 4, 1000); },
       "its free list does not fit the image"},
      {"runs outside the image", [&](TBytes& b, int32_t&) { i32(b, row1Data + 4, 100000); },
       "the value 1 of row 1 has its runs outside the image"},
      {"negative size", [&](TBytes& b, int32_t&) { i32(b, row1Data + 12, -5); },
       "the value 1 of row 1 has a negative size or run count"},
      {"bad check string", [&](TBytes& b, int32_t&) { b[row1Data + 16] = 16; },
       "the value 1 of row 1 has no valid check string"},
      {"more bytes than blocks", [&](TBytes& b, int32_t&) { i32(b, row1Data + 8, 513); },
       "the value 1 of row 1 stores 513 bytes in 512"},
      {"a run of no blocks", [&](TBytes& b, int32_t&) { i32(b, GetI32LE(&b[row1Data + 4]) + 4, 0); },
       "the value 1 of row 1 has the run of 0 blocks from block 2"},
      {"a run past 2 GiB", [&](TBytes& b, int32_t&) { i32(b, GetI32LE(&b[row1Data + 4]), 5000000); },
       "the value 1 of row 1 has the run of 1 blocks from block 5000000"},
      {"a block claimed twice", [&](TBytes& b, int32_t&) { i32(b, GetI32LE(&b[row1Data + 4]), 1); },
       "the value 1 of row 1 claims block 1, which the value 0 of row 0 holds"},
      {"a free run over a value", [&](TBytes& b, int32_t&) { i32(b, static_cast<int32_t>(b.size()) - 8, 0); },
       "the free list claims block 0, which the value 0 of row 0 holds"},
      {"image length off", [&](TBytes&, int32_t& length) { length += 1; },
       "its directory does not decompress to 305 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TBytes image = good;
    int32_t length = static_cast<int32_t>(image.size());
    c.damage(image, length);
    PutBifImage(store, image, length);
    TDeziDataManager table(store, "Art", true);
    EXPECT_EQ(MessageOf([&] { table.Open(); }),
              std::string("Error in TDeziDataManager.OpenTable - table file \"Art.bif\" is damaged: ") +
                  c.message + ".");
    EXPECT_FALSE(table.IsOpen());
  }
  for (const TBytes& bif : {TBytes{1, 2}, TBytes{4, 0, 0, 0}, TBytes{30, 0, 0, 0, 1, 2, 3}}) {
    WriteStoreFile(store, "Art.bif", bif);
    TDeziDataManager table(store, "Art", true);
    EXPECT_NE(MessageOf([&] { table.Open(); }).find("table file \"Art.bif\" is damaged"), std::string::npos);
  }
}

TEST(BlobRules, AnOpenGivesTheDirectoryOneRowPerRecord) {
  TMemoryPlainFileSystem store("mem");
  {
    TBlobTable table(store, 1, false, true);
    for (int32_t r = 0; r < 3; ++r) table.Append(r, {{kMemo, Text(300, static_cast<char>('a' + r))}});
  }
  const TBytes threeRows = ReadStoreFile(store, "Art.bif");
  {
    TBlobTable table(store, 1, false, false);
    table.Manager().aaDeleteRecord(2);
  }
  // A T.bif with a row more than T.dat has records (a program stopped
  // between the two): the surplus row goes, with its value's blocks.
  WriteStoreFile(store, "Art.bif", threeRows);
  {
    TBlobTable table(store, 1, false, false);
    EXPECT_EQ(table.Manager().BLOBDirectory()->RowCount(), 2);
    EXPECT_EQ(table.Manager().BLOBDirectory()->FreeRuns().size(), 1u);
    EXPECT_EQ(table.Read(kMemo, 1), Text(300, 'b'));
  }
  EXPECT_EQ(BifImage(store).size(), 24u + 2 * 128 + 2 * 8 + 8);
  // An empty T.bif: the records open without values and new values go
  // after every block T.bdf holds.
  const size_t bdf = ReadStoreFile(store, "Art.bdf").size();
  WriteStoreFile(store, "Art.bif", {});
  TBlobTable table(store, 1, false, false);
  EXPECT_EQ(table.Manager().BLOBDirectory()->RowCount(), 2);
  EXPECT_EQ(table.Read(kMemo, 0), TBytes());
  table.Write(kMemo, 0, Text(20));
  EXPECT_EQ(HeaderOf(table, 0, 0).Runs[0].First, static_cast<int32_t>(bdf / 512));
}

TEST(BlobRules, OnlyAPictureLosesTheGraphicPrefix) {
  TMemoryPlainFileSystem store("mem");
  TBlobTable table(store, 0, false, true);
  const TBytes bitmap = {'B', 'M', 1, 2, 3};
  TBytes prefixed = {1, 0, 0, 1, 9, 9, 9, 9};
  prefixed.insert(prefixed.end(), bitmap.begin(), bitmap.end());
  const int32_t r = table.Append(1, {{TBlobTable::kPicture, prefixed}, {kMemo, prefixed}, {kData, prefixed}});
  EXPECT_EQ(table.Read(TBlobTable::kPicture, r), bitmap);
  EXPECT_EQ(table.Read(kMemo, r), prefixed);
  EXPECT_EQ(table.Read(kData, r), prefixed);
  TMemoryStream shortOne(TBytes(prefixed.begin(), prefixed.begin() + 9));
  EXPECT_FALSE(TDeziDataManager::IsStreamGraphic(&shortOne));
  EXPECT_EQ(MessageOf([] { TDeziDataManager::IsStreamGraphic(nullptr); }),
            "Error in TDeziDataManager.IsStreamGraphic - buf 0 pointer.");
}

TEST(BlobRules, AFailedAppendLeavesNoRowAndNoValueBehind) {
  TMemoryPlainFileSystem store("mem");
  TBlobTable table(store, 2, false, true);
  table.Append(1, {});
  // Every identifier is spent: the record, and with it its value, is refused.
  table.Manager().ReserveRowIds(INT32_MAX);
  EXPECT_EQ(MessageOf([&] { table.Append(2, {{kMemo, Text(50)}}); }),
            "TDeziDataManager.aaAddRecord - no row identifier is left.");
  EXPECT_EQ(table.Manager().Header().RecordCount, 1);
  EXPECT_EQ(table.Manager().BLOBDirectory()->RowCount(), 1);
  EXPECT_EQ(table.Manager().BLOBDirectory()->BlockCount(), 0);
  EXPECT_EQ(table.Read(kMemo, 0), TBytes());
  // The strong modes store values like the others.
  table.Write(kMemo, 0, Text(5000));
  EXPECT_EQ(table.Read(kMemo, 0), Text(5000));
  EXPECT_LT(HeaderOf(table, 0, 0).StoredSize, 5000);
}

TEST(BlobRules, EmptyValuesAndAnEmptyTableKeepNoBlocks) {
  TMemoryPlainFileSystem store("mem");
  TBlobTable table(store, 1, false, true);
  const TBytes same = Text(1000, 'q');
  table.Append(1, {{kMemo, same}});
  EXPECT_LT(HeaderOf(table, 0, 0).StoredSize, 1000);
  EXPECT_EQ(HeaderOf(table, 0, 0).PlainSize, 1000);
  EXPECT_EQ(table.Read(kMemo, 0), same);
  table.Write(kMemo, 0, {});
  EXPECT_TRUE(table.IsNull(0, kMemo));
  EXPECT_FALSE(HeaderOf(table, 0, 0).Stored());
  EXPECT_EQ(table.Read(kMemo, 0), TBytes());
  table.Append(2, {{kData, Text(3000)}});
  table.Manager().FlushBuffers();
  EXPECT_GT(ReadStoreFile(store, "Art.bdf").size(), 0u);
  table.Manager().aaDeleteRecord(1);
  table.Manager().aaDeleteRecord(0);
  table.Manager().FlushBuffers();
  EXPECT_EQ(ReadStoreFile(store, "Art.bdf").size(), 0u);
  EXPECT_EQ(BifImage(store).size(), 24u);
  EXPECT_EQ(GetI32LE(ReadStoreFile(store, "Art.bif").data()), 24);
  EXPECT_TRUE(table.Manager().BLOBDirectory()->FreeRuns().empty());
}

TEST(BlobRules, Messages) {
  TMemoryPlainFileSystem store("mem");
  {
    TBlobTable table(store, 0, false, true);
    table.Append(1, {{kMemo, Text(3)}});
    TMemoryStream stream;
    TDeziDataManager& m = table.Manager();
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { m.ReadBLOBValue(&stream, 1, 0); },
         "Error in TDeziDataManager.ReadBLOBValue - 0 pointer to pFieldHeader, fieldNum = .1"},
        {[&] { m.WriteBLOBValue(&stream, 9, 0); },
         "Error in TDeziDataManager.WriteBLOBValue - 0 pointer to pFieldHeader, fieldNum = .9"},
        {[&] { m.DeleteBLOBValue(-1, 0); },
         "Error in TDeziDataManager.DeleteBLOBValue - 0 pointer to pFieldHeader, fieldNum = .-1"},
        {[&] { m.ReadBLOBValue(nullptr, kMemo, 0); },
         "Error in TDeziDataManager.aaReadBLOBValue - stream is not opened."},
        {[&] { m.WriteBLOBValue(nullptr, kMemo, 0); },
         "Error in TDeziDataManager.aaWriteBLOBValue - stream is not opened."},
        {[&] { m.ReadBLOBValue(&stream, kMemo, 1); },
         "TDeziDataManager.aaReadBLOBValue - invalid record Number, recPos = 1"},
        {[&] { m.SetBLOBBlockSize(0); },
         "Error in TDeziDataManager.SetBLOBBlockSize - invalid block size 0 !"},
    };
    for (const auto& [action, message] : cases) EXPECT_EQ(MessageOf(action), message);
  }
  TDeziDataManager readOnly(store, "Art", true);
  ASSERT_TRUE(readOnly.Open());
  TMemoryStream stream(Text(4));
  EXPECT_EQ(MessageOf([&] { readOnly.WriteBLOBValue(&stream, kMemo, 0); }),
            "TDeziDataManager.aaWriteBLOBValue - table is in ReadOnly mode!");
  EXPECT_EQ(MessageOf([&] { readOnly.DeleteBLOBValue(kMemo, 0); }),
            "TDeziDataManager.DeleteBLOBValue - table is in ReadOnly mode!");
  readOnly.ReadBLOBValue(&stream, kMemo, 0);
  EXPECT_EQ(stream.Bytes(), Text(3));
}

}  // namespace
}  // namespace norvane
