// A table's indexes against a model: thousands of random appends, replaces
// and deletes over text, integer, descending, mixed and unique indexes, each
// index checked against the model's records sorted from scratch; the
// unique-key check against the model's duplicates; and what reopening does
// with the arrays T.idx keeps: used as they are when they describe T.dat,
// rebuilt when they do not.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "engine/common/byte_codec.h"
#include "engine/platform/cp1251.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"
#include "tests/support/scoped_collation.h"
#include "tests/tables/field_values.h"
#include "tests/tables/table_store.h"

namespace norvane {
namespace {

using testing::Cp1251;
using TBytes = std::vector<uint8_t>;

const std::vector<TFieldDef> kFields = {{"Name", ftString, 24, false},
                                        {"N", ftInteger, 0, false},
                                        {"W", ftWideString, 8, false},
                                        {"F", ftFloat, 0, false},
                                        {"U", ftInteger, 0, false}};

struct TUserIndex {
  const char* name;
  const char* fields;
  const char* caseInsensitive;
  const char* descending;
  uint8_t options;
};
const TUserIndex kUserIndexes[] = {
    {"NDown", "N", "", "N", 0},
    {"NameN", "Name; N", "name", "n", 0},
    {"FW", "F,W", "", "", ixDescending},
    {"IdName", "id;Name", "", "", 0},
    {"UniqueU", "U", "", "", ixUnique},
};

class TProgressCount : public TIndexBuildProgress {
 public:
  void IndexBuildStarted(const std::string&) override { ++started; }
  void IndexBuildProgress(int percent) override { last = percent; }
  void IndexBuildEnded() override { ++ended; }
  int started = 0, ended = 0, last = -1;
};

class TIndexModel {
 public:
  explicit TIndexModel(std::mt19937& random) : random_(random) {}

  TRecordValues RandomRecord() {
    // The long words share more than an entry's head holds.
    static const char* const kWords[] = {"",    "a",   "A",   "b",   "B",  "ёж", "Ёж", "ель", "все", "всё", "вся", "zz",
                                         "приложение к журналу 1", "Приложение к журналу 2"};
    static const char16_t* const kWide[] = {u"", u"ё", u"Е", u"я", u"Z", u"zz"};
    static const double kFloats[] = {-1.5, -0.0, 0.0, 2.25, NAN, INFINITY, 1e300};
    TRecordValues values;
    values.Fields.resize(kFields.size());
    const auto pick = [&](size_t n) { return random_() % n; };
    if (pick(6) != 0) values.Fields[0] = testing::TextValue(Cp1251(kWords[pick(std::size(kWords))]));
    if (pick(5) != 0) values.Fields[1] = testing::IntValue(static_cast<int32_t>(pick(9)) - 4);
    if (pick(4) != 0) values.Fields[2] = testing::WideValue(kWide[pick(std::size(kWide))]);
    if (pick(4) != 0) values.Fields[3] = testing::FloatValue(kFloats[pick(std::size(kFloats))]);
    if (pick(40) != 0) values.Fields[4] = testing::IntValue(static_cast<int32_t>(pick(3000)));
    return values;
  }

  // The record images of the model, row identifiers in place.
  TBytes Image(TDeziDataManager& table, size_t physical) const {
    TBytes image = table.EncodeRecord(records[physical]);
    PutI32LE(&image[table.Geometry().RowIdOffset], records[physical].RowId);
    return image;
  }

  // Whether a record other than `except` has the key of `values` on U.
  bool DuplicatesU(const TRecordValues& values, int32_t exceptRowId) const {
    return std::any_of(records.begin(), records.end(), [&](const TRecordValues& r) {
      return r.RowId != exceptRowId && r.Fields[4] == values.Fields[4];
    });
  }

  // Every index of `table` holds exactly the model's records sorted from
  // scratch by their keys, and finds each record at its place.
  void Check(TDeziDataManager& table) const {
    std::vector<TBytes> images;
    for (size_t p = 0; p < records.size(); ++p) images.push_back(Image(table, p));
    for (int32_t i = 0; i < table.IndexCount(); ++i) {
      SCOPED_TRACE(table.IndexDescription(i).Name);
      TIndexKeyEncoder encoder(table.Fields(), table.Geometry(), table.IndexDescription(i));
      std::vector<std::pair<std::string, int32_t>> keyed;
      for (size_t p = 0; p < images.size(); ++p) {
        std::string key;
        encoder.EncodeRow(images[p].data(), key);
        keyed.emplace_back(key, static_cast<int32_t>(p));
      }
      std::sort(keyed.begin(), keyed.end());
      for (size_t pos = 0; pos < keyed.size(); ++pos) {
        ASSERT_EQ(table.IndexRecord(i, static_cast<int32_t>(pos)), keyed[pos].second) << pos;
        ASSERT_EQ(table.RecordPosition(i, keyed[pos].second), static_cast<int32_t>(pos));
      }
      // The first of each run of equal keys, among every record and among
      // every third one.
      for (const size_t step : {1u, 3u}) {
        std::vector<uint8_t> wanted(records.size(), 0);
        for (size_t p = 0; p < records.size(); p += step) wanted[p] = 1;
        std::vector<int32_t> firsts;
        std::string previous, key;
        for (const auto& [unused, p] : keyed) {
          if (wanted[static_cast<size_t>(p)] == 0) continue;
          encoder.Encode(images[static_cast<size_t>(p)].data(), key);
          if (firsts.empty() || key != previous) firsts.push_back(p);
          previous = key;
        }
        ASSERT_EQ(table.FirstOfEachKey(i, wanted), firsts) << "every " << step;
      }
    }
  }

  std::vector<TRecordValues> records;  // by physical number
  int32_t lastId = 0;

 private:
  std::mt19937& random_;
};

void AddUserIndexes(TDeziDataManager& table) {
  for (const TUserIndex& index : kUserIndexes)
    table.AddIndex(index.name, index.fields, true, index.caseInsensitive, index.descending,
                   index.options);
}

class TIndexModelTest : public ::testing::TestWithParam<testing::TStoreKind> {};

TEST_P(TIndexModelTest, EveryIndexStaysInOrderThroughChangesAndReopening) {
  testing::TScopedCollation russian("ru_RU");
  testing::TTableStore stores(GetParam());
  std::mt19937 random(29);
  TIndexModel model(random);
  {
    TDeziDataManager table(stores.Store(), "T", false);
    table.CreateTable(kFields, 0, false);
    AddUserIndexes(table);
    ASSERT_EQ(table.IndexCount(), 13);
    const int32_t unique = table.InternalGetIndexNo("uniqueu");
    int violations = 0;
    for (int step = 0; step < 3000; ++step) {
      const unsigned what = random() % 20;
      const size_t count = model.records.size();
      // Appends outweigh deletes until the table holds a few hundred.
      if (count == 0 || what < (count < 300 ? 9u : 7u)) {
        TRecordValues values = model.RandomRecord();
        TBytes image = table.EncodeRecord(values);
        const bool duplicate = model.DuplicatesU(values, 0);
        try {
          table.CheckKeyViolation(image.data(), 0, "TDeziDataSet.InternalPost");
          ASSERT_FALSE(duplicate) << step;
        } catch (const EKeyViolation&) {
          ASSERT_TRUE(duplicate) << step;
          ++violations;
          continue;
        }
        values.RowId = ++model.lastId;
        ASSERT_EQ(table.aaAddRecord(image.data(), unique), static_cast<int32_t>(count));
        model.records.push_back(values);
      } else if (what < 15) {
        const size_t p = random() % count;
        TRecordValues values = model.RandomRecord();
        values.RowId = model.records[p].RowId;
        // Half the replaces keep the key of the unique index: a post of the
        // record's own key is no violation.
        if (random() % 2 == 0) values.Fields[4] = model.records[p].Fields[4];
        const TBytes image = table.EncodeRecord(values);
        const bool duplicate = model.DuplicatesU(values, values.RowId);
        try {
          table.CheckKeyViolation(image.data(), values.RowId, "TDeziDataSet.InternalPost");
          ASSERT_FALSE(duplicate) << step;
        } catch (const EKeyViolation&) {
          ASSERT_TRUE(duplicate) << step;
          ++violations;
          continue;
        }
        table.aaUpdateRecord(image.data(), static_cast<int32_t>(p));
        model.records[p] = values;
      } else {
        const size_t p = random() % count;
        table.aaDeleteRecord(static_cast<int32_t>(p));
        model.records[p] = model.records.back();
        model.records.pop_back();
      }
      if (step < 200 || step % 50 == 0) {
        SCOPED_TRACE(step);
        model.Check(table);
        if (::testing::Test::HasFatalFailure()) return;
      }
    }
    EXPECT_GT(violations, 0);
    model.Check(table);
    table.CloseTable();
  }
  stores.Reopen();
  {
    // Closed cleanly: the arrays come from T.idx, nothing is sorted.
    TDeziDataManager table(stores.Store(), "T", true);
    TProgressCount progress;
    table.AddIndexBuildProgress(&progress);
    ASSERT_TRUE(table.Open());
    EXPECT_EQ(progress.started, 0);
    ASSERT_EQ(table.IndexCount(), 13);
    model.Check(table);
  }
  // T.idx no longer describes T.dat: every index is sorted again.
  TBytes idx = testing::ReadStoreFile(stores.Store(), "T.idx");
  PutI32LE(idx.data(), GetI32LE(idx.data()) + 1);
  testing::WriteStoreFile(stores.Store(), "T.idx", idx);
  TDeziDataManager table(stores.Store(), "T", false);
  TProgressCount progress;
  table.AddIndexBuildProgress(&progress);
  ASSERT_TRUE(table.Open());
  EXPECT_EQ(progress.started, 1);
  EXPECT_EQ(progress.ended, 1);
  EXPECT_EQ(progress.last, 100);
  model.Check(table);
  table.CloseTable();
  // ... and written back, so the next open sorts nothing.
  TDeziDataManager again(stores.Store(), "T", true);
  TProgressCount quiet;
  again.AddIndexBuildProgress(&quiet);
  ASSERT_TRUE(again.Open());
  EXPECT_EQ(quiet.started, 0);
}

INSTANTIATE_TEST_SUITE_P(Stores, TIndexModelTest,
                         ::testing::Values(testing::TStoreKind::Container,
                                           testing::TStoreKind::Memory));

}  // namespace
}  // namespace norvane
