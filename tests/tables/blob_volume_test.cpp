// A table of 100,000 records, every tenth with a memo of 2 KB and every
// hundredth with a binary value of 200 KB, closed and opened again: every
// value comes back byte for byte, in a folder and in a container, plain and
// enciphered; enciphered, the raw files hold none of the plain text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/tables/field_types.h"
#include "tests/support/fast_clock.h"
#include "tests/tables/blob_table.h"
#include "tests/tables/table_store.h"

namespace norvane {
namespace {

using testing::TBlobTable;
using TBytes = std::vector<uint8_t>;

// The sanitizer build checks the same paths for memory faults on a tenth of
// the records, which keeps its run within minutes.
#if defined(__SANITIZE_ADDRESS__)
constexpr int32_t kRecords = 10000;
#else
constexpr int32_t kRecords = 100000;
#endif
constexpr char kMemoMark[] = "MEMO-TEXT:";
constexpr char kBinaryMark[] = "BINARY-VALUE:";

// The value of record r: a marker, the record number, then bytes drawn from
// the record number, so every value differs and can be made again.
TBytes ValueOf(int32_t r, const char* mark, size_t size, bool text) {
  TBytes bytes(size);
  // xorshift64: cheap enough that making the values costs less than
  // storing them.
  uint64_t state = 0x9E3779B97F4A7C15ull * (static_cast<uint64_t>(r) * 2 + (text ? 1 : 0) + 1);
  for (uint8_t& b : bytes) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    b = text ? static_cast<uint8_t>('a' + (state >> 40) % 26) : static_cast<uint8_t>(state >> 32);
  }
  const std::string head = mark + std::to_string(r) + ";";
  std::memcpy(bytes.data(), head.data(), head.size());
  return bytes;
}

TBytes MemoOf(int32_t r) { return ValueOf(r, kMemoMark, 2048, true); }
TBytes BinaryOf(int32_t r) { return ValueOf(r, kBinaryMark, 200 * 1024, false); }

bool Holds(const TBytes& haystack, const char* needle) {
  const size_t n = std::strlen(needle);
  return std::search(haystack.begin(), haystack.end(), needle, needle + n) != haystack.end();
}

struct TVolumeCase {
  testing::TStoreKind store;
  bool encrypted;
};

class TBlobVolume : public ::testing::TestWithParam<TVolumeCase> {};

TEST_P(TBlobVolume, HundredThousandRecordsWithValuesSurviveReopening) {
  // A millisecond a reading: the log flushes about once a second of such
  // work, as it would in use, not after every few changes.
  testing::TFastClock clock(1);
  testing::TTableStore stores(GetParam().store);
  {
    TBlobTable table(stores.Store(), 0, GetParam().encrypted, true);
    for (int32_t r = 0; r < kRecords; ++r) {
      std::map<int32_t, TBytes> values;
      if (r % 10 == 0) values[TBlobTable::kMemo] = MemoOf(r);
      if (r % 100 == 0) values[TBlobTable::kData] = BinaryOf(r);
      ASSERT_EQ(table.Append(r, values), r);
    }
    table.Manager().CloseTable();
  }
  stores.Reopen();
  {
    TBlobTable table(stores.Store(), 0, GetParam().encrypted, false);
    ASSERT_EQ(table.Manager().Header().RecordCount, kRecords);
    for (int32_t r = 0; r < kRecords; ++r) {
      ASSERT_EQ(table.Key(r), r);
      ASSERT_EQ(table.Read(TBlobTable::kMemo, r), r % 10 == 0 ? MemoOf(r) : TBytes()) << r;
      ASSERT_EQ(table.IsNull(r, TBlobTable::kMemo), r % 10 != 0) << r;
      if (r % 10 == 0) {
        ASSERT_EQ(table.Read(TBlobTable::kData, r), r % 100 == 0 ? BinaryOf(r) : TBytes()) << r;
      }
    }
  }
  if (!GetParam().encrypted) return;
  for (const char* file : {"Art.bdf", "Art.bif", "Art.dat"}) {
    const TBytes raw = testing::ReadStoreFile(stores.Store(), file);
    EXPECT_FALSE(Holds(raw, kMemoMark)) << file;
    EXPECT_FALSE(Holds(raw, kBinaryMark)) << file;
  }
}

INSTANTIATE_TEST_SUITE_P(Stores, TBlobVolume,
                         ::testing::Values(TVolumeCase{testing::TStoreKind::Folder, false},
                                           TVolumeCase{testing::TStoreKind::Container, false},
                                           TVolumeCase{testing::TStoreKind::Folder, true},
                                           TVolumeCase{testing::TStoreKind::Container, true}));

}  // namespace
}  // namespace norvane
