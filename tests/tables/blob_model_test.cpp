// Large values against a model: random appends with values, values written,
// replaced and deleted, records deleted (the last one moving into the hole
// with its values), flushes and reopenings, in every store, plain and
// enciphered, stored as they are and compressed. After every reopening each
// value reads back byte for byte and T.bif describes exactly the records.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"
#include "tests/support/fast_clock.h"
#include "tests/tables/blob_table.h"
#include "tests/tables/table_store.h"

namespace norvane {
namespace {

using testing::TBlobTable;
using TBytes = std::vector<uint8_t>;

struct TModelRecord {
  int32_t key = 0;
  std::map<int32_t, TBytes> values;  // by field position
};

struct TSetup {
  testing::TStoreKind store;
  uint8_t compression;
  bool encrypted;
};

class TBlobModelTest : public ::testing::TestWithParam<TSetup> {};

TBytes RandomValue(std::mt19937& random) {
  // Mostly small values around the block size, sometimes several blocks,
  // text-like so compression has something to take.
  static const size_t kSizes[] = {1, 511, 512, 513, 1500, 4000, 20000};
  const size_t size = kSizes[random() % std::size(kSizes)] + random() % 3;
  TBytes bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random() % 5 == 0 ? random() : 'a' + random() % 4);
  return bytes;
}

unsigned Seed() {
  const char* seed = std::getenv("NORVANE_SEED");
  return seed != nullptr ? static_cast<unsigned>(std::stoul(seed)) : 2026u;
}

int Steps() {
  const char* steps = std::getenv("NORVANE_STEPS");
  return steps != nullptr ? std::stoi(steps) : 1200;
}

TEST_P(TBlobModelTest, EveryValueSurvivesChangesAndReopening) {
  const TSetup setup = GetParam();
  testing::TFastClock clock;
  testing::TTableStore stores(setup.store);
  std::mt19937 random(Seed());
  std::vector<TModelRecord> model;
  auto table = std::make_unique<TBlobTable>(stores.Store(), setup.compression, setup.encrypted, true);

  auto verify = [&] {
    ASSERT_EQ(table->Manager().Header().RecordCount, static_cast<int32_t>(model.size()));
    ASSERT_EQ(table->Manager().BLOBDirectory()->RowCount(), static_cast<int32_t>(model.size()));
    for (size_t r = 0; r < model.size(); ++r) {
      ASSERT_EQ(table->Key(static_cast<int32_t>(r)), model[r].key) << r;
      for (const int32_t field : TBlobTable::kLargeFields) {
        const auto found = model[r].values.find(field);
        const TBytes expected = found == model[r].values.end() ? TBytes() : found->second;
        ASSERT_EQ(table->Read(field, static_cast<int32_t>(r)), expected) << r << " " << field;
        ASSERT_EQ(table->IsNull(static_cast<int32_t>(r), field), expected.empty()) << r << " " << field;
      }
    }
  };

  int32_t nextKey = 1;
  for (int step = 0; step < Steps(); ++step) {
    const unsigned action = random() % 20;
    if (model.empty() || action < 7) {
      TModelRecord record{nextKey++, {}};
      for (const int32_t field : TBlobTable::kLargeFields)
        if (random() % 2 == 0) record.values[field] = RandomValue(random);
      table->Append(record.key, record.values);
      model.push_back(std::move(record));
    } else if (action < 12) {
      const int32_t r = static_cast<int32_t>(random() % model.size());
      const int32_t field = TBlobTable::kLargeFields[random() % std::size(TBlobTable::kLargeFields)];
      TBytes value = random() % 4 == 0 ? TBytes() : RandomValue(random);
      table->Write(field, r, value);
      if (value.empty())
        model[static_cast<size_t>(r)].values.erase(field);
      else
        model[static_cast<size_t>(r)].values[field] = std::move(value);
    } else if (action < 14) {
      const int32_t r = static_cast<int32_t>(random() % model.size());
      const int32_t field = TBlobTable::kLargeFields[random() % std::size(TBlobTable::kLargeFields)];
      table->Delete(field, r);
      model[static_cast<size_t>(r)].values.erase(field);
    } else if (action < 18) {
      const size_t r = random() % model.size();
      table->Manager().aaDeleteRecord(static_cast<int32_t>(r));
      model[r] = std::move(model.back());
      model.pop_back();
    } else if (action == 18) {
      const int32_t r = static_cast<int32_t>(random() % model.size());
      const int32_t field = TBlobTable::kLargeFields[random() % std::size(TBlobTable::kLargeFields)];
      const auto found = model[static_cast<size_t>(r)].values.find(field);
      ASSERT_EQ(table->Read(field, r), found == model[static_cast<size_t>(r)].values.end() ? TBytes() : found->second);
    } else {
      table.reset();
      stores.Reopen();
      table = std::make_unique<TBlobTable>(stores.Store(), setup.compression, setup.encrypted, false);
      ASSERT_NO_FATAL_FAILURE(verify()) << "after reopening at step " << step;
    }
  }
  table.reset();
  stores.Reopen();
  table = std::make_unique<TBlobTable>(stores.Store(), setup.compression, setup.encrypted, false);
  ASSERT_NO_FATAL_FAILURE(verify());
  // T.bdf holds the blocks the directory hands out, whole, and no more.
  const int64_t blockBytes = int64_t{table->Manager().BLOBDirectory()->BlockCount()} *
                             table->Manager().BLOBDirectory()->BlockSize();
  table.reset();
  EXPECT_EQ(static_cast<int64_t>(testing::ReadStoreFile(stores.Store(), "Art.bdf").size()), blockBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Stores, TBlobModelTest,
    ::testing::Values(TSetup{testing::TStoreKind::Folder, 0, false},
                      TSetup{testing::TStoreKind::Container, 1, false},
                      TSetup{testing::TStoreKind::Memory, 1, true},
                      TSetup{testing::TStoreKind::Container, 0, true}));

}  // namespace
}  // namespace norvane
