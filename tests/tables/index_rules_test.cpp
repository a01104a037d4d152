// The rules of a table's indexes one by one: the automatic set and its names,
// the order of text under the Russian collation and of nulls, the checks and
// messages of adding and deleting indexes, temporary indexes, searches by key,
// unique keys, the burst rule of tiny tables, and the arrays of T.idx that
// must not be trusted.
#include <gtest/gtest.h>

#include <set>

#include "engine/common/byte_codec.h"
#include "engine/platform/cp1251.h"
#include "engine/platform/tick_counter.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"
#include "engine/tables/table_version.h"
#include "tests/support/error_message.h"
#include "tests/support/scoped_collation.h"
#include "tests/tables/field_values.h"
#include "tests/tables/table_store.h"

namespace norvane {
namespace {

using testing::Cp1251;
using testing::IntValue;
using testing::MessageOf;
using testing::NullValue;
using testing::TextValue;
using TBytes = std::vector<uint8_t>;

// A table in memory with text, 16-bit text and integer fields.
struct TTextTable {
  TTextTable() : table(store, "T", false) {
    table.CreateTable({{"ID", ftAutoInc, 0, false},
                       {"Name", ftString, 20, false},
                       {"Wide", ftWideString, 20, false},
                       {"Year", ftInteger, 0, false}},
                      0, false);
  }
  int32_t Add(const TFieldValue& name, const TFieldValue& wide, const TFieldValue& year) {
    TBytes image = table.EncodeRecord({0, {name, wide, year}});
    return table.aaAddRecord(image.data());
  }
  // Field `field` of the records in the order of index `index`: text as
  // UTF-8, integers in decimal, "null".
  std::vector<std::string> Column(const std::string& index, size_t field = 0) {
    const int32_t number = table.InternalGetIndexNo(index);
    EXPECT_GE(number, 0) << index;
    std::vector<std::string> column;
    for (int32_t pos = 0; pos < table.Header().RecordCount; ++pos) {
      const TFieldValue value =
          table.DecodeRecord(table.RecordPtr(table.IndexRecord(number, pos))).Fields[field];
      if (value.Null) column.push_back("null");
      else if (table.Fields()[field].Type == ftInteger)
        column.push_back(std::to_string(GetI32LE(reinterpret_cast<const uint8_t*>(value.Bytes.data()))));
      else column.push_back(Cp1251ToUtf8(value.Bytes));
    }
    return column;
  }
  TMemoryPlainFileSystem store{"mem"};
  TDeziDataManager table;
};

TEST(IndexRules, AutomaticIndexesAreNamedAndOrderedByField) {
  TTextTable t;
  std::vector<std::string> names;
  for (int32_t i = 0; i < t.table.IndexCount(); ++i) names.push_back(t.table.IndexDescription(i).Name);
  EXPECT_EQ(names, (std::vector<std::string>{"@ID", "@@Name", "@Name", "@@Wide", "@Wide", "@Year"}));
  EXPECT_EQ(t.table.IndexDescription(1).Options, ixCaseInsensitive);
  EXPECT_EQ(t.table.IndexDescription(0).KeyFields, std::vector<int32_t>{-1});
}

TEST(IndexRules, RussianOrderOfTextAndOrderOfNulls) {
  testing::TScopedCollation russian("ru_RU");
  TTextTable latin;
  for (const char* word : {"b", "A", "a", "B"}) latin.Add(TextValue(word), NullValue(), NullValue());
  EXPECT_EQ(latin.Column("@@Name"), (std::vector<std::string>{"A", "a", "b", "B"}));
  EXPECT_EQ(latin.Column("@Name"), (std::vector<std::string>{"a", "A", "b", "B"}));

  struct TWord {
    const char* text;
    const char16_t* wide;
  };
  const TWord dictionary[] = {{"все", u"все"},   {"всё", u"всё"},   {"вся", u"вся"},
                              {"Дом", u"Дом"},   {"дом", u"дом"},   {"ёлка", u"ёлка"},
                              {"Ёлка", u"Ёлка"}, {"жёлудь", u"жёлудь"}, {"Яма", u"Яма"}};
  TTextTable words;
  // Out of order; words equal but for case keep the order they came in.
  for (size_t i : {5, 2, 8, 0, 4, 3, 7, 1, 6})
    words.Add(TextValue(Cp1251(dictionary[i].text)), testing::WideValue(dictionary[i].wide), NullValue());
  const std::vector<std::string> expected = {"все", "всё", "вся", "дом", "Дом", "ёлка", "Ёлка", "жёлудь", "Яма"};
  EXPECT_EQ(words.Column("@@Name"), expected);
  EXPECT_EQ(words.Column("@@Wide"), expected);

  TTextTable years;
  for (int y : {3, 0, 1, 0, 2}) years.Add(NullValue(), NullValue(), y == 0 ? NullValue() : IntValue(y));
  years.table.AddIndex("YearDown", "Year", false, "", "year", 0);
  EXPECT_EQ(years.Column("@Year", 2), (std::vector<std::string>{"null", "null", "1", "2", "3"}));
  EXPECT_EQ(years.Column("YearDown", 2), (std::vector<std::string>{"3", "2", "1", "null", "null"}));
}

TEST(IndexRules, AddingAndDeletingIndexesChecksEachRuleInTurn) {
  TMemoryPlainFileSystem store("mem");
  TDeziDataManager table(store, "T", false);
  table.CreateTable({{"Name", ftString, 10, false}, {"Raw", ftBytes, 4, false}, {"N", ftInteger, 0, false}}, 0, false);
  table.AddIndex("Taken", "N", true, "", "", 0);
  const std::string add = "Error in TDeziDataManager.InternalAddIndex - ";
  struct Case {
    std::string name, fields, message;
  };
  const Case adds[] = {
      {"", "N", add + "name is empty."},
      {std::string(21, 'x'), "N", add + "name length > .20"},
      {"X", "", add + "empty field name list"},
      {"X", " ; , ", add + "empty field name list"},
      {"TAKEN", "N", add + "index \"TAKEN\" already exists!"},
      {"X", "N;Nope", "Error in TDeziDataManager.InternalGetFieldNo - field \"Nope\" not found!"},
      {"X", "Raw", add + "unsupported field type!"},
      {std::string(20, 'x'), "Name", "(no error)"},
      {"@x", "id", "(no error)"},
  };
  for (const Case& c : adds) {
    SCOPED_TRACE(c.name);
    const int32_t before = table.IndexCount();
    EXPECT_EQ(MessageOf([&] { table.AddIndex(c.name, c.fields, false, "", "", 0); }), c.message);
    EXPECT_EQ(table.IndexCount(), before + (c.message == "(no error)" ? 1 : 0));
  }
  EXPECT_EQ(MessageOf([&] { table.InternalAddIndex("X", {"N"}, 0, {}, {}); }),
            add + "empty sort orders list");
  // The case bit is kept for text fields only.
  table.AddIndex("Mixed", "N;Name", false, "N,Name", "Name", ixUnique);
  const TIndexDescription& mixed = table.IndexDescription(table.InternalGetIndexNo("mixed"));
  EXPECT_EQ(mixed.CaseInsensitive, (std::vector<bool>{false, true}));
  EXPECT_EQ(mixed.Ascending, (std::vector<bool>{true, false}));
  EXPECT_EQ(mixed.Options, ixUnique);

  const std::string del = "Error in TDeziDataManager.DeleteIndex - ";
  const Case deletes[] = {
      {"", "", del + "name is empty."},
      {std::string(21, 'x'), "", del + "name length > .20"},
      {"Nope", "", del + "index \"Nope\" doesn't exist!"},
  };
  for (const Case& c : deletes) EXPECT_EQ(MessageOf([&] { table.DeleteIndex(c.name, true); }), c.message);
  // "@" names are never deleted, not even one added by name.
  EXPECT_EQ(table.DeleteIndex("@x", false), 0);
  EXPECT_GE(table.InternalGetIndexNo("@x"), 0);
  const int32_t taken = table.InternalGetIndexNo("Taken");
  EXPECT_EQ(table.DeleteIndex("taken", false), taken);
  EXPECT_EQ(table.InternalGetIndexNo("Taken"), -1);
  EXPECT_EQ(table.IndexDescription(taken).Name, std::string(20, 'x'));
  table.CloseTable();
  EXPECT_EQ(MessageOf([&] { table.DeleteIndex("Mixed", false); }), del + "table is not opened.");
  // What was added and deleted is what the next open finds.
  TDeziDataManager reopened(store, "T", true);
  ASSERT_TRUE(reopened.Open());
  EXPECT_EQ(reopened.InternalGetIndexNo("Taken"), -1);
  EXPECT_GE(reopened.InternalGetIndexNo("Mixed"), 0);
  EXPECT_GE(reopened.InternalGetIndexNo(std::string(20, 'X')), 0);
}

TEST(IndexRules, UniqueKeys) {
  TTextTable t;
  const int32_t first = t.Add(TextValue("one"), NullValue(), IntValue(1));
  t.Add(TextValue("two"), NullValue(), IntValue(1));
  // Over keys that are not unique the index is not made.
  EXPECT_EQ(MessageOf([&] { t.table.AddIndex("UYear", "Year", true, "", "", ixUnique); }),
            "Error in TDeziDataManager.InternalAddIndex - key violation.\nTable name = \"T\".\n"
            "Unique index name = \"UYear\".");
  EXPECT_EQ(t.table.InternalGetIndexNo("UYear"), -1);
  t.table.AddIndex("UName", "Name", true, "Name", "", ixUnique);
  const TBytes clash = t.table.EncodeRecord({0, {TextValue("ONE"), NullValue(), NullValue()}});
  EXPECT_EQ(MessageOf([&] { t.table.CheckKeyViolation(clash.data(), 0, "TDeziDataSet.InternalPost"); }),
            "TDeziDataSet.InternalPost - key violation.\nTable name = \"T\".\n"
            "Unique index name = \"UName\".");
  EXPECT_THROW(t.table.CheckKeyViolation(clash.data(), 0, "x"), EKeyViolation);
  // The record itself posted again, changed or not, is no violation.
  const int32_t firstId = GetI32LE(t.table.RecordPtr(first) + t.table.Geometry().RowIdOffset);
  EXPECT_NO_THROW(t.table.CheckKeyViolation(clash.data(), firstId, "x"));
  const TBytes fresh = t.table.EncodeRecord({0, {TextValue("three"), NullValue(), NullValue()}});
  EXPECT_NO_THROW(t.table.CheckKeyViolation(fresh.data(), 0, "x"));
}

TEST(IndexRules, KeyPositions) {
  testing::TScopedCollation russian("ru_RU");
  TTextTable t;
  // Name order: "ab", "abc", "abc", "b", "B"; years 1..5 in that order.
  for (auto [name, year] : std::vector<std::pair<const char*, int>>{{"b", 4}, {"abc", 2}, {"ab", 1}, {"abc", 3}, {"B", 5}})
    t.Add(TextValue(name), NullValue(), IntValue(year));
  const int32_t byName = t.table.InternalGetIndexNo("@Name");
  t.table.AddIndex("NameYear", "Name;Year", false, "", "", 0);
  const int32_t nameYear = t.table.InternalGetIndexNo("NameYear");
  struct Case {
    const char* key;
    int32_t index;
    bool exact, last;
    size_t k;
    bool caseInsensitive, partial;
    int32_t position;
  };
  const Case cases[] = {
      {"abc", byName, true, false, 1, false, false, 1},
      {"abc", byName, true, true, 1, false, false, 2},
      {"abd", byName, true, false, 1, false, false, -1},
      {"abd", byName, false, false, 1, false, false, 3},  // the first after it
      {"a", byName, false, false, 1, false, false, 0},    // before every key
      {"zzz", byName, false, false, 1, false, false, 4},  // after every key: the last
      {"zzz", byName, true, true, 1, false, false, -1},
      {"ab", byName, true, true, 1, false, true, 2},      // "ab" as a prefix
      {"B", byName, true, false, 1, true, false, 3},      // case ignored
      {"B", byName, true, true, 1, true, false, 4},
      {"abc", nameYear, true, true, 1, false, false, 2},  // first key field only
      {"abc", nameYear, true, false, 2, false, false, -1},  // year null: no record
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " k=" + std::to_string(c.k));
    const TBytes key = t.table.EncodeRecord({0, {TextValue(c.key), NullValue(), NullValue()}});
    EXPECT_EQ(t.table.KeyPosition(key.data(), c.index, c.exact, c.last, c.k, c.caseInsensitive, c.partial),
              c.position);
  }
  TTextTable empty;
  const TBytes key = empty.table.EncodeRecord({0, {TextValue("a"), NullValue(), NullValue()}});
  EXPECT_EQ(empty.table.KeyPosition(key.data(), 1, false, false, 1), -1);
}

TEST(IndexRules, TemporaryIndexesHaveFreeNamesAndStayOutOfTheIndexFile) {
  TTextTable t;
  t.Add(TextValue("b"), NullValue(), IntValue(1));
  t.Add(TextValue("a"), NullValue(), IntValue(2));
  const TBytes before = testing::ReadStoreFile(t.store, "T.idx");
  // Far more than the number range makes likely to come up twice.
  std::set<std::string> names;
  for (int i = 0; i < 1500; ++i) {
    const std::string name = t.table.CreateTemporaryIndex("Year", "Year", "");
    ASSERT_EQ(name.rfind("$_IDX_", 0), 0u);
    ASSERT_TRUE(names.insert(name).second);
  }
  const std::string name = *names.begin();
  EXPECT_EQ(t.Column(name, 2), (std::vector<std::string>{"2", "1"}));
  // The row identifier is not a field a temporary index can name.
  EXPECT_EQ(MessageOf([&] { t.table.CreateTemporaryIndex("ID", "", ""); }),
            "Error in TDeziDataManager.InternalGetFieldNo - field \"ID\" not found!");
  t.table.DeleteIndex(name, false);
  t.table.AddIndex("ByName", "Name", true, "", "", 0);
  t.table.CloseTable();
  TDeziDataManager reopened(t.store, "T", true);
  ASSERT_TRUE(reopened.Open());
  EXPECT_EQ(reopened.IndexCount(), 7);
  EXPECT_GT(testing::ReadStoreFile(t.store, "T.idx").size(), before.size());
}

TEST(IndexRules, TinyTablesLeaveIndexesBehindInABurstAndSortThemWhenUsed) {
  uint32_t now = 0;
  SetTickSource([&] { return now += 3; });
  TTextTable t;
  for (int i = 0; i < 5; ++i) t.Add(TextValue("x"), NullValue(), IntValue(i));
  const int32_t own = t.table.InternalGetIndexNo("@Year");
  TBytes image = t.table.EncodeRecord({0, {TextValue("y"), NullValue(), IntValue(0)}});
  for (int i = 0; i < 300; ++i) {
    PutI32LE(&image[t.table.Geometry().FieldOffsets[2]], 100 - i);
    PutI32LE(&image[t.table.Geometry().FieldOffsets[0]], 'a' + i % 26);
    t.table.aaUpdateRecord(image.data(), i % 5, own);
  }
  SetTickSource({});
  // Years of the five records, last written: 100 - 295 .. 100 - 299.
  EXPECT_EQ(t.Column("@Year", 2), (std::vector<std::string>{"-199", "-198", "-197", "-196", "-195"}));
  EXPECT_EQ(t.Column("@Name"), (std::vector<std::string>{"j", "k", "l", "m", "n"}));
}

class TRebuildCount : public TIndexBuildProgress {
 public:
  void IndexBuildStarted(const std::string& table) override { started.push_back(table); }
  void IndexBuildProgress(int percent) override { percents.push_back(percent); }
  void IndexBuildEnded() override { ++ended; }
  std::vector<std::string> started;
  std::vector<int> percents;
  int ended = 0;
};

// Arrays in T.idx whose counter matches are still checked before use: one
// that is not each record once, or not in order under this machine's
// collation, is sorted again.
TEST(IndexRules, UntrustworthyArraysAreRebuilt) {
  // Two characters the Turkish and the Russian collations order differently.
  std::string first, second;
  {
    auto turkish = MakeLocale("tr_TR");
    auto russian = MakeLocale("ru_RU");
    const TCollationTables tr = BuildCollationTables(*turkish), ru = BuildCollationTables(*russian);
    for (int a = 1; a < 256 && first.empty(); ++a)
      for (int b = 1; b < 256 && first.empty(); ++b) {
        const char sa[2] = {static_cast<char>(a), 0}, sb[2] = {static_cast<char>(b), 0};
        if (CollateCompare(tr, sa, sb) < 0 && CollateCompare(ru, sa, sb) > 0) {
          first = sa;
          second = sb;
        }
      }
  }
  ASSERT_FALSE(first.empty());
  enum class TDamage { None, Swapped, Repeated, OtherCollation };
  for (TDamage damage : {TDamage::None, TDamage::Swapped, TDamage::Repeated, TDamage::OtherCollation}) {
    SCOPED_TRACE(static_cast<int>(damage));
    TMemoryPlainFileSystem store("mem");
    {
      testing::TScopedCollation turkish("tr_TR");
      TDeziDataManager table(store, "T", false);
      table.CreateTable({{"Name", ftString, 4, false}}, 0, false);
      for (const std::string& name : {second, first, second}) {
        TBytes image = table.EncodeRecord({0, {TextValue(name)}});
        table.aaAddRecord(image.data());
      }
      table.CloseTable();
    }
    TBytes idx = testing::ReadStoreFile(store, "T.idx");
    uint8_t* rowIdArray = &idx[idx.size() - 3 * 4 * 3];  // 3 indexes of 3 records
    if (damage == TDamage::Swapped) {
      PutI32LE(rowIdArray, 1);
      PutI32LE(rowIdArray + 4, 0);
    }
    if (damage == TDamage::Repeated) PutI32LE(rowIdArray, 2);
    testing::WriteStoreFile(store, "T.idx", idx);
    testing::TScopedCollation collation(damage == TDamage::OtherCollation ? "ru_RU" : "tr_TR");
    TDeziDataManager table(store, "T", true);
    TRebuildCount progress;
    table.AddIndexBuildProgress(&progress);
    ASSERT_TRUE(table.Open());
    for (int32_t pos = 0; pos < 3; ++pos) EXPECT_EQ(table.IndexRecord(0, pos), pos);
    const int32_t byName = table.InternalGetIndexNo("@Name");
    const bool russian = damage == TDamage::OtherCollation;
    const std::vector<int32_t> expected = russian ? std::vector<int32_t>{0, 2, 1} : std::vector<int32_t>{1, 0, 2};
    for (int32_t pos = 0; pos < 3; ++pos) EXPECT_EQ(table.IndexRecord(byName, pos), expected[pos]);
    // Rebuilt and shown: at open for a damaged row identifier array, at
    // first use for another index (its order is checked only then).
    EXPECT_EQ(progress.started, damage == TDamage::None ? std::vector<std::string>{}
                                                        : std::vector<std::string>{"T"});
    if (damage != TDamage::None) {
      EXPECT_EQ(progress.percents.back(), 100);
    }
    EXPECT_EQ(progress.ended, progress.started.empty() ? 0 : 1);
  }
}

// Two keys alike in their first sixteen bytes are told apart by the whole
// keys when a stored array is checked: swapped, they are sorted again.
TEST(IndexRules, ArraysOutOfOrderPastTheirHeadsAreRebuilt) {
  testing::TScopedCollation russian("ru_RU");
  for (const bool swapped : {false, true}) {
    SCOPED_TRACE(swapped);
    TMemoryPlainFileSystem store("mem");
    {
      TDeziDataManager table(store, "T", false);
      table.CreateTable({{"Name", ftString, 30, false}}, 0, false);
      for (const char* name : {"Приложение к журналу 2", "Приложение к журналу 1"}) {
        TBytes image = table.EncodeRecord({0, {TextValue(Cp1251(name))}});
        table.aaAddRecord(image.data());
      }
      table.CloseTable();
    }
    TBytes idx = testing::ReadStoreFile(store, "T.idx");
    uint8_t* byNameArray = &idx[idx.size() - 2 * 4];  // the last of 3 arrays of 2 records
    ASSERT_EQ(GetI32LE(byNameArray), 1);
    if (swapped) {
      PutI32LE(byNameArray, 0);
      PutI32LE(byNameArray + 4, 1);
    }
    testing::WriteStoreFile(store, "T.idx", idx);
    TDeziDataManager table(store, "T", true);
    TRebuildCount progress;
    table.AddIndexBuildProgress(&progress);
    ASSERT_TRUE(table.Open());
    const int32_t byName = table.InternalGetIndexNo("@Name");
    EXPECT_EQ(table.IndexRecord(byName, 0), 1);
    EXPECT_EQ(table.IndexRecord(byName, 1), 0);
    EXPECT_EQ(progress.started.size(), swapped ? 1u : 0u);
  }
}

// Table T of five records (Name, N), the names in kNames' order, record i's
// number numberOf(i), closed with its T.idx written.
const std::vector<std::string> kNames = {"d", "b", "e", "a", "c"};
void WriteNamedNumbers(TMemoryPlainFileSystem& store, int32_t (*numberOf)(int32_t)) {
  TDeziDataManager table(store, "T", false);
  table.CreateTable({{"Name", ftString, 4, false}, {"N", ftInteger, 0, false}}, 0, false);
  for (int32_t i = 0; i < static_cast<int32_t>(kNames.size()); ++i) {
    TBytes image = table.EncodeRecord({0, {TextValue(kNames[static_cast<size_t>(i)]), IntValue(numberOf(i))}});
    table.aaAddRecord(image.data());
  }
}

// An update that leaves a record's entry where it is in an index does not
// need that index's array: one still unchecked in T.idx stays so, and is
// checked (here found out of order and sorted again) when first used.
TEST(IndexRules, AnUpdateChecksOnlyTheArraysWhoseEntryMoves) {
  TMemoryPlainFileSystem store("mem");
  WriteNamedNumbers(store, [](int32_t i) { return i; });
  // Arrays of "@ID", "@@Name", "@Name", "@N", 5 records each: the two first
  // entries of "@Name" change places.
  TBytes idx = testing::ReadStoreFile(store, "T.idx");
  uint8_t* byNameArray = &idx[idx.size() - 2 * 5 * 4];
  const int32_t first = GetI32LE(byNameArray);
  PutI32LE(byNameArray, GetI32LE(byNameArray + 4));
  PutI32LE(byNameArray + 4, first);
  testing::WriteStoreFile(store, "T.idx", idx);

  TDeziDataManager table(store, "T", false);
  TRebuildCount progress;
  table.AddIndexBuildProgress(&progress);
  ASSERT_TRUE(table.Open());
  TBytes image = table.EncodeRecord({0, {TextValue(kNames[0]), IntValue(99)}});
  table.aaUpdateRecord(image.data(), 0);
  EXPECT_TRUE(progress.started.empty()) << "the update looked at the array of @Name";
  const int32_t byName = table.InternalGetIndexNo("@Name");
  const std::vector<int32_t> alphabetical = {3, 1, 4, 0, 2};
  for (int32_t pos = 0; pos < 5; ++pos) EXPECT_EQ(table.IndexRecord(byName, pos), alphabetical[pos]);
  EXPECT_EQ(progress.started.size(), 1u);
  const int32_t byN = table.InternalGetIndexNo("@N");
  const std::vector<int32_t> byNumber = {1, 2, 3, 4, 0};
  for (int32_t pos = 0; pos < 5; ++pos) EXPECT_EQ(table.IndexRecord(byN, pos), byNumber[pos]);
}

// Arrays are read from T.idx when their index is first used; rewriting T.idx
// (an index added) first reads the ones still there, so a reopening trusts
// every array again and sorts nothing.
TEST(IndexRules, ArraysStillInTheIndexFileSurviveItsRewriting) {
  TMemoryPlainFileSystem store("mem");
  WriteNamedNumbers(store, [](int32_t i) { return 10 - i; });
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    TDeziDataManager table(store, "T", false);
    TRebuildCount progress;
    table.AddIndexBuildProgress(&progress);
    ASSERT_TRUE(table.Open());
    if (round == 0) table.AddIndex("ByN", "N", true, "", "", 0);  // T.idx written whole
    const int32_t byName = table.InternalGetIndexNo("@Name");
    const std::vector<int32_t> alphabetical = {3, 1, 4, 0, 2};
    for (int32_t pos = 0; pos < 5; ++pos) EXPECT_EQ(table.IndexRecord(byName, pos), alphabetical[pos]);
    const int32_t byN = table.InternalGetIndexNo("ByN");
    for (int32_t pos = 0; pos < 5; ++pos) EXPECT_EQ(table.IndexRecord(byN, pos), 4 - pos);
    EXPECT_TRUE(progress.started.empty());
  }
}

// A table from before 2.099 gains the case-insensitive automatic indexes and
// the current version when it is opened for writing.
TEST(IndexRules, OldTablesGainCaseInsensitiveIndexes) {
  TMemoryPlainFileSystem store("mem");
  {
    TDeziDataManager table(store, "T", false);
    table.CreateTable({{"Name", ftString, 4, false}, {"Day", ftDate, 0, false}}, 0, false, false);
    for (const char* name : {"b", "A"}) {
      TBytes image = table.EncodeRecord({0, {TextValue(name), NullValue()}});
      table.aaAddRecord(image.data());
    }
  }
  TBytes dat = testing::ReadStoreFile(store, "T.dat");
  PutF64LE(&dat[40], 2.05);
  testing::WriteStoreFile(store, "T.dat", dat);
  // Descriptions without the options byte, and no arrays.
  TBytes idx(16);
  EncodeIndexFileHeader({GetI32LE(&dat[52]), 2, 2.05}, idx.data());
  EncodeIndexDescription({"@id", {-1}, {true}, {false}, false, false, 0}, false, idx);
  EncodeIndexDescription({"@Day", {1}, {true}, {false}, false, false, 0}, false, idx);
  testing::WriteStoreFile(store, "T.idx", idx);
  for (int open = 0; open < 2; ++open) {
    TDeziDataManager table(store, "T", open == 1);
    ASSERT_TRUE(table.Open());
    EXPECT_EQ(table.Header().Version, kCurrentTableVersion);
    ASSERT_EQ(table.IndexCount(), 3);
    EXPECT_EQ(table.IndexDescription(2).Name, "@@Name");
    EXPECT_EQ(table.IndexDescription(2).Options, ixCaseInsensitive);
    EXPECT_EQ(table.IndexRecord(2, 0), 1);
  }
}

}  // namespace
}  // namespace norvane
