// Model tests of the filter machinery: record sets against std::set, the
// pattern match against a plain recursive definition, and random filters
// answered from the automatic indexes against the same filters tested
// record by record on a table without indexes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <random>
#include <set>

#include "engine/container/disk_plain_file_system.h"
#include "engine/tables/data_source.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/dezi_table.h"
#include "engine/tables/field_types.h"
#include "engine/tables/record_match.h"
#include "engine/tables/record_set.h"
#include "tests/query/filter_catalogue.h"
#include "tests/support/engine_text.h"
#include "tests/support/temp_folder.h"

namespace norvane {
namespace {

uint32_t Seed() {
  const char* text = std::getenv("NORVANE_SEED");
  return text != nullptr ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) : 20261211u;
}

std::set<int32_t> AsSet(const TRecordSet& s) {
  const std::vector<int32_t> m = s.Members();
  return {m.begin(), m.end()};
}

TEST(RecordSetModel, CombinationsMatchPlainSets) {
  std::mt19937 rng(Seed());
  for (int round = 0; round < 300; ++round) {
    const int32_t total = static_cast<int32_t>(rng() % 40);
    auto randomSet = [&](std::set<int32_t>& model) {
      std::vector<int32_t> listed;
      for (int32_t p = 0; p < total; ++p)
        if (rng() % 3 == 0) listed.push_back(p);
      model = {listed.begin(), listed.end()};
      TRecordSet set = TRecordSet::Of(total, listed);
      if (rng() % 2 == 0) {  // the same members held as a complement
        set = set.Not().Not();
      }
      return set;
    };
    std::set<int32_t> a, b;
    const TRecordSet sa = randomSet(a), sb = randomSet(b);
    std::set<int32_t> notA, both, either;
    for (int32_t p = 0; p < total; ++p) {
      if (!a.count(p)) notA.insert(p);
      if (a.count(p) && b.count(p)) both.insert(p);
      if (a.count(p) || b.count(p)) either.insert(p);
    }
    EXPECT_EQ(AsSet(sa.Not()), notA);
    EXPECT_EQ(AsSet(sa.And(sb)), both);
    EXPECT_EQ(AsSet(sa.Or(sb)), either);
    EXPECT_EQ(AsSet(sa.Not().And(sb.Not()).Not()), either);
    EXPECT_EQ(sa.Or(sb).Count(), static_cast<int64_t>(either.size()));
    for (int32_t p = -1; p <= total; ++p) EXPECT_EQ(sa.Not().Contains(p), notA.count(p) == 1) << p;
    const std::vector<uint8_t> map = sa.And(sb).Map();
    for (int32_t p = 0; p < total; ++p) EXPECT_EQ(map[static_cast<size_t>(p)] == 1, both.count(p) == 1);
  }
}

// The definition of "like" written the obvious, exponential way.
bool SlowLike(const std::string& t, size_t i, const std::string& p, size_t j) {
  if (j == p.size()) return i == t.size();
  if (p[j] == '%') return SlowLike(t, i, p, j + 1) || (i < t.size() && SlowLike(t, i + 1, p, j));
  return i < t.size() && (p[j] == '_' || p[j] == t[i]) && SlowLike(t, i + 1, p, j + 1);
}

TEST(LikeModel, AgreesWithTheDefinition) {
  std::mt19937 rng(Seed());
  const char alphabet[] = "ab%_";
  for (int round = 0; round < 20000; ++round) {
    std::string text, pattern;
    for (size_t n = rng() % 7; n > 0; --n) text += "ab"[rng() % 2];
    for (size_t n = rng() % 6; n > 0; --n) pattern += alphabet[rng() % 4];
    EXPECT_EQ(LikeMatches(text, pattern, false), SlowLike(text, 0, pattern, 0)) << text << " " << pattern;
  }
  const struct { const char* text; const char* pattern; bool ci; bool match; } kCases[] = {
      {"Alpha", "a%", false, false}, {"Alpha", "a%", true, true}, {"", "%", false, true},
      {"", "_", false, false},        {"abc", "a_c", false, true}, {"ab", "%%%b", false, true},
      {"Ёлка", "ё%", true, true},     {"Ёлка", "ё%", false, false}, {"100%", "100%", false, true},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(LikeMatches(testing::W(c.text), testing::W(c.pattern), c.ci), c.match) << c.text << " " << c.pattern;
}

// A pattern that sends a backtracking matcher into exponential time is
// answered by one pass per % here.
TEST(LikeModel, ManyPercentsStayLinear) {
  const std::string text(200000, 'a');
  EXPECT_FALSE(LikeMatches(text, "%a%a%a%a%a%a%a%a%a%a%a%a%b", false));
  EXPECT_TRUE(LikeMatches(text + "b", "%a%a%a%a%a%a%a%a%a%a%a%a%b", false));
}

// Random data, with nulls, repeated values and texts that differ by case
// and by length only, in two tables: one with the automatic indexes, one
// without. Random filters must show the same records in both.
class FilterModel : public ::testing::Test {
 protected:
  void SetUp() override {
    TDiskPlainFileSystem store(dir.Path());
    const std::vector<TFieldDef> fields = {{"N", ftInteger, 0, false}, {"Name", ftString, 12, false},
                                           {"F", ftFloat, 0, false}, {"B", ftBoolean, 0, false}};
    for (const bool indexed : {true, false}) {
      TDeziDataManager table(store, indexed ? "Indexed" : "Plain", false);
      table.CreateTable(fields, 0, false, indexed);
    }
    std::mt19937 rng(Seed());
    const char* const names[] = {"ab", "Ab", "abc", "ABC", "b", "ba", "Bab", "", "a_b", "a%"};
    std::vector<std::vector<TFieldArgument>> rows;
    for (int i = 0; i < 300; ++i) {
      const bool gap = rng() % 7 == 0;
      rows.push_back({gap ? TFieldArgument() : TFieldArgument(static_cast<int>(rng() % 9) - 3),
                      names[rng() % 10], rng() % 5 == 0 ? TFieldArgument() : TFieldArgument((rng() % 7) / 2.0),
                      rng() % 2 == 0});
    }
    for (const char* name : {"Indexed", "Plain"}) {
      auto table = Open(name);
      for (const auto& row : rows) table->AppendRecord(row);
    }
  }
  std::unique_ptr<TDeziTable> Open(const std::string& name) { return testing::OpenFolderTable(dir.Path(), name); }
  testing::TTempFolder dir;
};

std::string RandomCondition(std::mt19937& rng) {
  const char* const ops[] = {"=", "<>", "<", ">", "<=", ">="};
  const char* const texts[] = {"''", "'a'", "'A'", "'ab'", "'abc*'", "'b'", "'Ba'", "'zz'"};
  switch (rng() % 6) {
    case 0: return std::string("N ") + ops[rng() % 6] + " " + std::to_string(static_cast<int>(rng() % 11) - 5);
    case 1: return std::string("Name ") + ops[rng() % 6] + " " + texts[rng() % 8];
    case 2: return std::string("F ") + ops[rng() % 6] + " " + std::to_string(rng() % 4) + ".5";
    case 3: return std::string("B = ") + (rng() % 2 ? "true" : "False");
    case 4: return std::string("Name ") + (rng() % 2 ? "like" : "not like") + " '" + "%a_b%"[rng() % 5] + "b%'";
    default: return std::string(rng() % 2 ? "N" : "Name") + (rng() % 2 ? " is null" : " is not null");
  }
}

std::string RandomFilter(std::mt19937& rng, int depth) {
  if (depth > 3 || rng() % 3 == 0) return RandomCondition(rng);
  switch (rng() % 4) {
    case 0: return "not (" + RandomFilter(rng, depth + 1) + ")";
    case 1: return "(" + RandomFilter(rng, depth + 1) + ") and (" + RandomFilter(rng, depth + 1) + ")";
    case 2: return RandomFilter(rng, depth + 1) + " or " + RandomFilter(rng, depth + 1);
    default: return RandomCondition(rng) + " and " + RandomFilter(rng, depth + 1);
  }
}

std::vector<int32_t> View(TDeziTable& table) {
  std::vector<int32_t> ids;
  for (table.First(); !table.Eof(); table.Next()) ids.push_back(table.Fields()[table.Fields().Count() - 1].AsInteger());
  return ids;
}

TEST_F(FilterModel, IndexesAnswerAsRecordTestsDo) {
  auto indexed = Open("Indexed");
  auto plain = Open("Plain");
  std::mt19937 rng(Seed());
  int nonEmpty = 0;
  for (int round = 0; round < 400; ++round) {
    const std::string filter = RandomFilter(rng, 0);
    const auto options = static_cast<uint8_t>(rng() % 4);
    for (TDeziTable* table : {indexed.get(), plain.get()}) {
      table->SetFiltered(false);
      table->SetFilterOptions(options);
      table->SetFilter(filter);
      table->SetFiltered(true);
    }
    const std::vector<int32_t> view = View(*indexed);
    ASSERT_EQ(view, View(*plain)) << filter << " options " << int{options};
    if (!view.empty() && view.size() < 300) ++nonEmpty;
    // Each record of the view passes the filter on its own, and Locate by
    // row identifier finds exactly the records of the view.
    if (!view.empty()) {
      const int32_t id = view[rng() % view.size()];
      EXPECT_EQ(indexed->FindRowPosition(id) >= 0, true) << filter;
    }
  }
  EXPECT_GT(nonEmpty, 100);  // the filters tell records apart
}

// The order of a filtered view against the table's whole order: a filter
// that passes a handful of 4,000 records and one that passes many, in the
// order of a number, of a text with and without case, and within a
// master's range of half the table, give the records of the unfiltered
// order that pass.
TEST(FilterOrderModel, AFilteredViewKeepsTheIndexOrder) {
  testing::TTempFolder dir;
  {
    TDiskPlainFileSystem store(dir.Path());
    TDeziDataManager groups(store, "Groups", false);
    groups.CreateTable({{"G", ftInteger, 0, false}}, 0, false);
    TDeziDataManager rows(store, "Rows", false);
    rows.CreateTable({{"G", ftInteger, 0, false}, {"N", ftInteger, 0, false}, {"Name", ftString, 8, false}}, 0,
                     false, true);
  }
  std::mt19937 rng(Seed());
  {
    auto groups = testing::OpenFolderTable(dir.Path(), "Groups");
    for (int g = 0; g < 2; ++g) groups->AppendRecord({g});
    auto rows = testing::OpenFolderTable(dir.Path(), "Rows");
    const char* const names[] = {"ab", "Ab", "b", "B", "abc", "c"};
    for (int i = 0; i < 4000; ++i)
      rows->AppendRecord({static_cast<int>(rng() % 2),
                          rng() % 9 == 0 ? TFieldArgument() : TFieldArgument(static_cast<int>(rng() % 2000)),
                          names[rng() % 6]});
  }
  auto groups = testing::OpenFolderTable(dir.Path(), "Groups");
  auto whole = testing::OpenFolderTable(dir.Path(), "Rows");
  auto passing = testing::OpenFolderTable(dir.Path(), "Rows");
  auto viewed = testing::OpenFolderTable(dir.Path(), "Rows");
  TDataSource master(groups.get());
  const auto ids = [](TDeziTable& table) {
    std::vector<int32_t> out;
    for (table.First(); !table.Eof(); table.Next()) out.push_back(table.FieldByName("id").AsInteger());
    return out;
  };
  int few = 0, many = 0;
  for (int round = 0; round < 60; ++round) {
    const bool ranged = round % 3 == 0;
    const char* const orders[] = {"@N", "@@Name", "@Name"};
    const std::string order = ranged ? "@G" : orders[round % 3];
    const std::string filter = round % 2 == 0 ? "N = " + std::to_string(rng() % 2000)
                                              : "N >= " + std::to_string(rng() % 2000);
    for (TDeziTable* table : {whole.get(), viewed.get()}) {
      table->SetIndexName(order);
      table->SetMasterSource(ranged ? &master : nullptr);
      table->SetMasterFields(ranged ? "G" : "");
    }
    if (ranged) {
      ASSERT_TRUE(groups->Locate("G", {static_cast<int>(rng() % 2)}));
    }
    for (TDeziTable* table : {passing.get(), viewed.get()}) {
      table->SetFiltered(false);
      table->SetFilter(filter);
      table->SetFiltered(true);
    }
    const std::vector<int32_t> chosen = ids(*passing);
    const std::set<int32_t> pass(chosen.begin(), chosen.end());
    std::vector<int32_t> expected;
    for (const int32_t id : ids(*whole))
      if (pass.count(id) != 0) expected.push_back(id);
    ASSERT_EQ(ids(*viewed), expected) << filter << " in " << order << (ranged ? " within a group" : "");
    (chosen.size() * 256 < 4000 ? few : many) += 1;
  }
  EXPECT_GT(few, 10);
  EXPECT_GT(many, 10);
}

}  // namespace
}  // namespace norvane
