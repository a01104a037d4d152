// The records of a table against a model: appends, replaces and deletes read
// back through the cache and the write log, in every store, plain and
// enciphered, with the cache and the log squeezed so pages are evicted and
// flushes come often; the flush rule on a clock the test moves; the last
// record moving into a hole; and what an open repairs.
#include <gtest/gtest.h>

#include <random>

#include "engine/common/byte_codec.h"
#include "engine/platform/tick_counter.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"
#include "tests/support/error_message.h"
#include "tests/tables/table_store.h"

namespace norvane {
namespace {

using testing::MessageOf;
using testing::ReadStoreFile;
using testing::WriteStoreFile;
using TBytes = std::vector<uint8_t>;

// A tick counter the test moves by hand, moving on its own by `perReading`
// milliseconds at every reading (so a password check ends).
class TManualClock {
 public:
  explicit TManualClock(uint32_t perReading) {
    SetTickSource([this, perReading] { return now += perReading; });
  }
  ~TManualClock() { SetTickSource({}); }
  uint32_t now = 5;
};

const std::vector<TFieldDef> kFields = {
    {"N", ftInteger, 0, false}, {"S", ftString, 500, false}, {"D", ftDate, 0, false}};

TRecordValues RandomValues(std::mt19937& random) {
  TRecordValues values;
  values.Fields.resize(3);
  if (random() % 4 != 0) {
    values.Fields[0] = {false, std::string(4, static_cast<char>(random()))};
  }
  values.Fields[1] = {false, std::string(random() % 480, static_cast<char>('a' + random() % 26))};
  if (random() % 3 == 0) values.Fields[2] = {false, std::string(8, static_cast<char>(random()))};
  return values;
}

struct TModelCase {
  testing::TStoreKind kind;
  bool encrypted;
  int64_t freeMemory;  // a third sizes the cache, a tenth the log
  uint32_t msPerReading;
};

class TRecordModel : public ::testing::TestWithParam<TModelCase> {};

TEST_P(TRecordModel, ReadsBackWhatWasWrittenBeforeAndAfterReopening) {
  const TModelCase c = GetParam();
  TManualClock clock(c.msPerReading);
  testing::TTableStore stores(c.kind);
  std::mt19937 random(17);
  std::vector<TRecordValues> model;
  int32_t lastId = 0;
  auto open = [&](TDeziDataManager& table) {
    table.SetFreeMemorySource([&] { return c.freeMemory; });
    if (c.encrypted) table.SetPassword(TSecret("model"));
  };
  {
    TDeziDataManager table(stores.Store(), "M", false);
    open(table);
    table.CreateTable(kFields, 0, c.encrypted);
    for (int step = 0; step < 2500; ++step) {
      const uint32_t kind = random() % 20;
      if (kind < 9 || model.empty()) {
        TRecordValues values = RandomValues(random);
        values.RowId = 777;  // the table assigns its own
        TBytes image = table.EncodeRecord(values);
        const int32_t at = table.aaAddRecord(image.data());
        ASSERT_EQ(at, static_cast<int32_t>(model.size()));
        values.RowId = ++lastId;
        model.push_back(values);
      } else if (kind < 14) {
        const size_t at = random() % model.size();
        TRecordValues values = RandomValues(random);
        values.RowId = -3;  // an identifier is kept for life
        TBytes image = table.EncodeRecord(values);
        table.aaUpdateRecord(image.data(), static_cast<int32_t>(at));
        values.RowId = model[at].RowId;
        model[at] = values;
      } else if (kind < 18) {
        const size_t at = random() % model.size();
        const bool moved = table.aaDeleteRecord(static_cast<int32_t>(at));
        EXPECT_EQ(moved, at + 1 < model.size());
        model[at] = model.back();
        model.pop_back();
      } else if (kind == 18) {
        clock.now += 1500;
      } else {
        table.FlushBuffers();
      }
      if (!model.empty()) {
        const size_t at = random() % model.size();
        ASSERT_EQ(table.DecodeRecord(table.RecordPtr(static_cast<int32_t>(at))), model[at])
            << "step " << step << ", record " << at;
      }
    }
    for (size_t at = 0; at < model.size(); ++at)
      ASSERT_EQ(table.DecodeRecord(table.RecordPtr(static_cast<int32_t>(at))), model[at]) << at;
    table.CloseTable();
  }
  stores.Reopen();
  TDeziDataManager table(stores.Store(), "M", false);
  open(table);
  ASSERT_TRUE(table.Open());
  EXPECT_EQ(table.Header().LastId, lastId);
  ASSERT_EQ(table.Header().RecordCount, static_cast<int32_t>(model.size()));
  for (size_t at = 0; at < model.size(); ++at)
    ASSERT_EQ(table.DecodeRecord(table.RecordPtr(static_cast<int32_t>(at))), model[at]) << at;
  const int64_t exact = table.ExactDataLength();
  table.CloseTable();
  EXPECT_EQ(ReadStoreFile(stores.Store(), "M.dat").size(), static_cast<size_t>(exact));
}

INSTANTIATE_TEST_SUITE_P(
    Squeezed, TRecordModel,
    ::testing::Values(
        // A cache of the four-page minimum and a log of a few dozen records.
        TModelCase{testing::TStoreKind::Memory, false, 256 * 1024, 1},
        TModelCase{testing::TStoreKind::Folder, false, 256 * 1024, 1},
        TModelCase{testing::TStoreKind::Container, false, 256 * 1024, 1},
        TModelCase{testing::TStoreKind::Memory, true, 256 * 1024, 1},
        // Plenty of memory and a slow clock: only explicit flushes and the
        // pauses write anything.
        TModelCase{testing::TStoreKind::Folder, false, int64_t{1} << 34, 0},
        TModelCase{testing::TStoreKind::Container, true, int64_t{1} << 34, 1}));

}  // namespace
}  // namespace norvane
