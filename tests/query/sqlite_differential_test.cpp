// SELECT against SQLite: generated tables (sql_generator.h) are loaded into a
// folder database and an in-memory SQLite one, and a few hundred generated
// queries must return the same rows from both (NORVANE_SEED, NORVANE_STEPS).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/protection/collation.h"
#include "engine/query/script_processor.h"
#include "tests/query/sql_generator.h"
#include "tests/support/temp_folder.h"

namespace norvane {
namespace {

using testing::TGenQuery;
using testing::TGenTable;
using TRow = std::vector<std::string>;
using TRows = std::vector<TRow>;

constexpr uint64_t kSeed = 20240611;
constexpr int kSteps = 300;
constexpr int kQueriesPerRound = 60;
constexpr int kMaxReported = 5;
const char* const kNull = "<null>";

uint64_t EnvNumber(const char* name, uint64_t fallback) {
  const char* text = std::getenv(name);
  return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
}

// What a query returned, or the error it failed with.
struct TOutcome {
  TRows Rows;
  std::string Error;
};

// The engine's order of 8-bit text, so that SQLite's text columns sort and
// compare as the engine's do; SQLite's own BINARY order is another.
int EngineCollation(void*, int lengthA, const void* a, int lengthB, const void* b) {
  const std::string x(static_cast<const char*>(a), static_cast<size_t>(lengthA));
  const std::string y(static_cast<const char*>(b), static_cast<size_t>(lengthB));
  return CollateCompare(x.c_str(), y.c_str());
}

// The script that creates and fills the tables, in either dialect.
std::string LoadScript(const std::vector<TGenTable>& tables, bool sqlite) {
  std::string script;
  for (const TGenTable& table : tables) {
    std::string columns, names;
    for (const testing::TGenColumn& column : table.Columns) {
      const std::string type = !column.Text ? "INTEGER" : sqlite ? "TEXT COLLATE ENGINE" : "STRING(4)";
      columns += (columns.empty() ? "" : ", ") + column.Name + " " + type;
      names += (names.empty() ? "" : ", ") + column.Name;
    }
    script += "CREATE TABLE " + table.Name + " (" + columns + ");\n";
    for (const std::vector<testing::TGenValue>& row : table.Rows) {
      std::string values;
      for (size_t i = 0; i < row.size(); ++i)
        values += (i ? ", " : "") + testing::Literal(row[i], table.Columns[i].Text);
      script += "INSERT INTO " + table.Name + " (" + names + ") VALUES (" + values + ");\n";
    }
  }
  return script;
}

class TSqliteSide {
 public:
  explicit TSqliteSide(const std::vector<TGenTable>& tables) {
    if (sqlite3_open(":memory:", &db_) != SQLITE_OK) throw std::runtime_error("cannot open SQLite");
    sqlite3_create_collation(db_, "ENGINE", SQLITE_UTF8, nullptr, EngineCollation);
    // The engine's LIKE tells case apart.
    Exec("PRAGMA case_sensitive_like = ON; BEGIN; " + LoadScript(tables, true) + "COMMIT;");
  }
  ~TSqliteSide() { sqlite3_close(db_); }
  TSqliteSide(const TSqliteSide&) = delete;
  TSqliteSide& operator=(const TSqliteSide&) = delete;

  TOutcome Run(const std::string& sql) {
    TOutcome outcome;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      outcome.Error = sqlite3_errmsg(db_);
      return outcome;
    }
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
      TRow row;
      for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        const unsigned char* text = sqlite3_column_text(statement, i);
        row.push_back(text ? reinterpret_cast<const char*>(text) : kNull);
      }
      outcome.Rows.push_back(std::move(row));
    }
    if (step != SQLITE_DONE) outcome.Error = sqlite3_errmsg(db_);
    sqlite3_finalize(statement);
    return outcome;
  }

 private:
  void Exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      const std::string text = message ? message : "?";
      sqlite3_free(message);
      throw std::runtime_error("SQLite: " + text);
    }
  }

  sqlite3* db_ = nullptr;
};

class TEngineSide {
 public:
  explicit TEngineSide(const std::vector<TGenTable>& tables) {
    const TOutcome loaded = Run(LoadScript(tables, false));
    if (!loaded.Error.empty()) throw std::runtime_error("loading the tables: " + loaded.Error);
  }

  TOutcome Run(const std::string& sql) {
    TOutcome outcome;
    try {
      TSQLQueryContext context(folder_.Path(), "");
      TSQLScriptProcessor processor(sql, nullptr);
      processor.ExecuteAll(context);
      if (TDeziTable* result = processor.ResultDataset()) {
        TFields& fields = result->Fields();
        for (result->First(); !result->Eof(); result->Next()) {
          TRow row;
          for (int32_t i = 0; i < fields.Count(); ++i)
            row.push_back(fields[i].IsNull() ? std::string(kNull) : fields[i].AsString());
          outcome.Rows.push_back(std::move(row));
        }
      }
    } catch (const std::exception& error) {
      outcome.Error = error.what();
    }
    return outcome;
  }

 private:
  testing::TTempFolder folder_;
};

std::string Print(const TRow& row) {
  std::string text = "(";
  for (size_t i = 0; i < row.size(); ++i) text += (i ? ", " : "") + row[i];
  return text + ")";
}

// Rows in a form that two equal results share: sorted within each run of
// equal ORDER BY keys (the whole result is one run without ORDER BY), the
// runs left in the order the query returned them.
TRows Canonical(TRows rows, const std::vector<int>& orderColumns) {
  auto key = [&](const TRow& row) {
    TRow k;
    for (int c : orderColumns) k.push_back(row.at(static_cast<size_t>(c)));
    return k;
  };
  for (size_t begin = 0, end; begin < rows.size(); begin = end) {
    for (end = begin + 1; end < rows.size() && key(rows[end]) == key(rows[begin]);) ++end;
    std::sort(rows.begin() + static_cast<std::ptrdiff_t>(begin), rows.begin() + static_cast<std::ptrdiff_t>(end));
  }
  return rows;
}

// Empty when the two results hold the same rows (in the same order of
// ORDER BY keys); otherwise what tells them apart.
std::string Difference(const TOutcome& engine, const TOutcome& sqlite, const std::vector<int>& orderColumns) {
  if (!engine.Error.empty() || !sqlite.Error.empty())
    return "error from the engine: " + engine.Error + "\nerror from SQLite: " + sqlite.Error + "\n";
  const TRows a = Canonical(engine.Rows, orderColumns), b = Canonical(sqlite.Rows, orderColumns);
  if (a == b) return "";
  std::string text =
      "rows: " + std::to_string(a.size()) + " from the engine, " + std::to_string(b.size()) + " from SQLite\n";
  TRows sortedA = a, sortedB = b, onlyA, onlyB;
  std::sort(sortedA.begin(), sortedA.end());
  std::sort(sortedB.begin(), sortedB.end());
  std::set_difference(sortedA.begin(), sortedA.end(), sortedB.begin(), sortedB.end(), std::back_inserter(onlyA));
  std::set_difference(sortedB.begin(), sortedB.end(), sortedA.begin(), sortedA.end(), std::back_inserter(onlyB));
  if (onlyA.empty() && onlyB.empty()) {
    size_t at = 0;
    while (a[at] == b[at]) ++at;
    text += "the same rows in another order, first at row " + std::to_string(at) + "\n";
    onlyA.assign(a.begin() + static_cast<std::ptrdiff_t>(at),
                 a.begin() + static_cast<std::ptrdiff_t>(std::min(a.size(), at + 8)));
    onlyB.assign(b.begin() + static_cast<std::ptrdiff_t>(at),
                 b.begin() + static_cast<std::ptrdiff_t>(std::min(b.size(), at + 8)));
  }
  for (const auto& [name, rows] : {std::pair{"engine", &onlyA}, std::pair{"SQLite", &onlyB}}) {
    text += std::string("  from the ") + name + " only:";
    for (size_t i = 0; i < rows->size() && i < 8; ++i) text += " " + Print((*rows)[i]);
    text += rows->size() > 8 ? " ...\n" : "\n";
  }
  return text;
}

// SQLite's rows for `query`, the repeated ones removed for DISTINCT (the
// first of each kept, so that the order stays).
TOutcome RunSqlite(TSqliteSide& sqlite, const TGenQuery& query) {
  TOutcome outcome = sqlite.Run(query.Sqlite);
  if (!query.Distinct) return outcome;
  std::set<TRow> seen;
  TRows rows;
  for (TRow& row : outcome.Rows)
    if (seen.insert(row).second) rows.push_back(std::move(row));
  outcome.Rows = std::move(rows);
  return outcome;
}

std::string RunBoth(const std::vector<TGenTable>& tables, const TGenQuery& query) {
  TEngineSide engine(tables);
  TSqliteSide sqlite(tables);
  return Difference(engine.Run(query.Norvane), RunSqlite(sqlite, query), query.OrderColumns);
}

// The fewest rows under which `query` still differs, found by taking out
// halves, quarters, ... and then single rows of each table while it does.
std::vector<TGenTable> ShrinkData(std::vector<TGenTable> tables, const TGenQuery& query) {
  for (TGenTable& table : tables)
    for (size_t chunk = table.Rows.size(); chunk > 0; chunk /= 2)
      for (size_t at = 0; at < table.Rows.size();) {
        const auto begin = table.Rows.begin() + static_cast<std::ptrdiff_t>(at);
        const auto end = table.Rows.begin() + static_cast<std::ptrdiff_t>(std::min(table.Rows.size(), at + chunk));
        std::vector<std::vector<testing::TGenValue>> removed(begin, end);
        table.Rows.erase(begin, end);
        if (!RunBoth(tables, query).empty()) continue;
        table.Rows.insert(table.Rows.begin() + static_cast<std::ptrdiff_t>(at), removed.begin(), removed.end());
        at += chunk;
      }
  return tables;
}

std::string PrintData(const std::vector<TGenTable>& tables) {
  std::string text;
  for (const TGenTable& table : tables) {
    if (table.Rows.empty()) continue;
    text += "  " + table.Name + " (";
    for (size_t i = 0; i < table.Columns.size(); ++i) text += (i ? ", " : "") + table.Columns[i].Name;
    text += "):";
    for (const std::vector<testing::TGenValue>& row : table.Rows) {
      text += " (";
      for (size_t i = 0; i < row.size(); ++i) text += (i ? ", " : "") + testing::Literal(row[i], table.Columns[i].Text);
      text += ")";
    }
    text += "\n";
  }
  return text.empty() ? "  every table empty\n" : text;
}

struct TDifferenceCase {
  const char* Name;
  TRows Engine, Sqlite;
  std::vector<int> OrderColumns;
  bool Differs;
};

const TDifferenceCase kDifferences[] = {
    {"the same rows unordered", {{"1", "a"}, {"2", "b"}}, {{"2", "b"}, {"1", "a"}}, {}, false},
    {"a row missing", {{"1", "a"}, {"1", "a"}}, {{"1", "a"}}, {}, true},
    {"a value null on one side", {{"1", kNull}}, {{"1", ""}}, {}, true},
    {"ties of the sort key in any order",
     {{"1", "a"}, {"1", "b"}, {"2", "c"}},
     {{"1", "b"}, {"1", "a"}, {"2", "c"}},
     {0},
     false},
    {"sort keys out of order", {{"1", "a"}, {"2", "b"}}, {{"2", "b"}, {"1", "a"}}, {0}, true},
    {"a second sort key out of order", {{"1", "a"}, {"1", "b"}}, {{"1", "b"}, {"1", "a"}}, {0, 1}, true},
};

TEST(SqliteDifferential, ComparisonTellsResultsApart) {
  for (const TDifferenceCase& c : kDifferences) {
    const std::string difference = Difference({c.Engine, ""}, {c.Sqlite, ""}, c.OrderColumns);
    EXPECT_EQ(!difference.empty(), c.Differs) << c.Name << "\n" << difference;
  }
  EXPECT_FALSE(Difference({{}, "no such table"}, {{}, ""}, {}).empty());
}

// The reference must order text and match LIKE as the engine does, or every
// comparison below would be against another meaning.
TEST(SqliteDifferential, SqliteTreatsTextAsTheEngine) {
  TSqliteSide sqlite({{"t", {{"s", true}}, {{"b"}, {"B"}, {"a"}, {"A"}, {"ab"}}}});
  EXPECT_EQ(sqlite.Run("SELECT s FROM t WHERE s LIKE 'a%'").Rows, (TRows{{"a"}, {"ab"}}));
  TRows expected = {{"b"}, {"B"}, {"a"}, {"A"}, {"ab"}};
  std::sort(expected.begin(), expected.end(),
            [](const TRow& x, const TRow& y) { return CollateCompare(x[0].c_str(), y[0].c_str()) < 0; });
  EXPECT_EQ(sqlite.Run("SELECT s FROM t ORDER BY s").Rows, expected);
}

TEST(SqliteDifferential, GeneratedQueriesReturnTheSameRows) {
  const uint64_t seed = EnvNumber("NORVANE_SEED", kSeed);
  const int steps = static_cast<int>(EnvNumber("NORVANE_STEPS", kSteps));
  int done = 0, withRows = 0, reported = 0;
  size_t rows = 0;
  std::map<std::string, int> shapes;
  for (int round = 0; done < steps && reported < kMaxReported; ++round) {
    testing::TSqlGenerator generator(seed * 1000 + static_cast<uint64_t>(round));
    const std::vector<TGenTable> tables = generator.Tables();
    TEngineSide engine(tables);
    TSqliteSide sqlite(tables);
    for (const TGenTable& table : tables) rows += table.Rows.size();
    for (int q = 0; q < kQueriesPerRound && done < steps && reported < kMaxReported; ++q, ++done) {
      const TGenQuery query = generator.Query(tables);
      const TOutcome fromEngine = engine.Run(query.Norvane), fromSqlite = RunSqlite(sqlite, query);
      ++shapes[query.Shape];
      withRows += !fromSqlite.Rows.empty();
      const std::string difference = Difference(fromEngine, fromSqlite, query.OrderColumns);
      if (difference.empty()) continue;
      ++reported;
      const std::vector<TGenTable> smallest = ShrinkData(tables, query);
      ADD_FAILURE() << "NORVANE_SEED=" << seed << ", round " << round << ", query " << q
                    << "\n  engine: " << query.Norvane << "\n  SQLite: " << query.Sqlite << "\n"
                    << difference << "smallest data that still differs:\n"
                    << PrintData(smallest) << RunBoth(smallest, query);
    }
  }
  std::string coverage;
  for (const auto& [shape, count] : shapes) coverage += "  " + shape + ": " + std::to_string(count) + "\n";
  std::cout << done << " queries over " << rows << " rows, " << withRows << " with rows; shapes:\n" << coverage;
  // Queries that all return nothing would compare nothing.
  EXPECT_GT(withRows * 2, done);
}

}  // namespace
}  // namespace norvane
