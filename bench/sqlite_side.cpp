// The SQLite workloads. The schema is derived from the article fields: per
// text field a case-insensitive and a case-sensitive index, per other
// indexable field one index, the row identifier as the integer primary key,
// and "IndexTree" descending over title, issue and year, as the catalogue has
// them; the lists of sections and journals likewise, their names in the
// engine's order. Writes run in one transaction each, as a bulk job would
// use SQLite, and so does a script of SQL changes.
#include "bench/sqlite_side.h"

#include <stdexcept>

#include "engine/common/byte_codec.h"
#include "engine/protection/collation.h"
#include "engine/tables/field_types.h"

namespace norvane::bench {
namespace {

constexpr char kCaseSensitive[] = "norvane";
constexpr char kCaseInsensitive[] = "norvane_ci";

// SQLite hands text over with a length, the engine's comparisons take
// terminated strings: each side is copied into a buffer kept for reuse.
int CollateText(void* ignoreCase, int lengthA, const void* a, int lengthB, const void* b) {
  thread_local std::string textA, textB;
  textA.assign(static_cast<const char*>(a), static_cast<size_t>(lengthA));
  textB.assign(static_cast<const char*>(b), static_cast<size_t>(lengthB));
  return ignoreCase != nullptr ? CollateCompareCI(textA.c_str(), textB.c_str())
                               : CollateCompare(textA.c_str(), textB.c_str());
}

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// The article fields stored as columns, in order, less the row identifier.
std::vector<TFieldDef> Columns() {
  std::vector<TFieldDef> columns;
  for (const TFieldDef& def : ArticleFields(true))
    if (def.Type != ftAutoInc) columns.push_back(def);
  return columns;
}

// The ordered scan: INDEXED BY makes SQLite read "@@ArticleName", and Create
// checks that it then needs no sort of its own.
std::string ScanSql() {
  return std::string("SELECT ID, ArticleName FROM Article INDEXED BY \"@@ArticleName\" ORDER BY ") +
         "ArticleName COLLATE " + kCaseInsensitive;
}

// The filters as SQL, each read in row identifier order: a year and a
// year with its issue by the indexes on those columns, and a part of the
// title by instr(). LIKE and GLOB cannot stand in for the engine's "like"
// here: they read text as UTF-8, in which every code page 1251 letter
// decodes as the same replacement character, so '%ab%' would match any two
// letters; instr() compares the bytes. It passes over bytes 0x80-0xBF as
// UTF-8 continuations when stepping, so a part must not begin with one
// (the titles' letters other than ё and Ё lie above 0xBF).
constexpr char kFilterYearSql[] =
    "SELECT ID, ArticleName FROM Article INDEXED BY \"@Year\" WHERE Year = ? ORDER BY ID";
constexpr char kFilterYearAndIssueSql[] =
    "SELECT ID, ArticleName FROM Article WHERE Year = ? AND NN = ? ORDER BY ID";
constexpr char kFilterTitleSql[] =
    "SELECT ID, ArticleName FROM Article WHERE instr(ArticleName, ?) > 0 ORDER BY ID";

// Locate's equivalent: the first article by identifier with the title,
// compared by the engine's case-sensitive collation so that the
// "@ArticleName" index answers it (a plain "=" compares bytes, which that
// index cannot serve, and would read the whole table for each title).
std::string LocateSql() {
  return std::string("SELECT ID, ArticleName FROM Article INDEXED BY \"@ArticleName\" WHERE ArticleName = ? ") +
         "COLLATE " + kCaseSensitive + " ORDER BY ID LIMIT 1";
}

// A table of `columns` and its row identifier `rowId`, with the indexes
// the engine's automatic ones answer to: per text field a case-insensitive
// and a case-sensitive one, per other indexable field one, named as the
// engine names them after `indexPrefix` (SQLite's index names are shared by
// all tables). Text columns take `textCollation` when it is given, so that
// ORDER BY on them sorts as the engine does.
std::vector<std::string> TableStatements(const std::string& name, const std::vector<TFieldDef>& columns,
                                         const std::string& rowId, const std::string& indexPrefix,
                                         const char* textCollation) {
  std::string table = "CREATE TABLE " + Quoted(name) + " (";
  std::vector<std::string> statements;
  for (const TFieldDef& def : columns) {
    const std::string column = Quoted(def.Name);
    table += column + (def.Type == ftInteger ? " INTEGER" : " TEXT");
    if (def.Type != ftInteger && textCollation != nullptr) table += std::string(" COLLATE ") + textCollation;
    table += ", ";
    const std::string on = " ON " + Quoted(name) + " (" + column;
    if (def.Type == ftString) {
      statements.push_back("CREATE INDEX " + Quoted(indexPrefix + "@@" + def.Name) + on + " COLLATE " +
                           kCaseInsensitive + ")");
      statements.push_back("CREATE INDEX " + Quoted(indexPrefix + "@" + def.Name) + on + " COLLATE " +
                           kCaseSensitive + ")");
    } else if (IsIndexableType(def.Type)) {
      statements.push_back("CREATE INDEX " + Quoted(indexPrefix + "@" + def.Name) + on + ")");
    }
  }
  table += Quoted(rowId) + " INTEGER PRIMARY KEY)";
  statements.insert(statements.begin(), table);
  return statements;
}

std::vector<std::string> SchemaStatements() {
  std::vector<std::string> statements = TableStatements("Article", Columns(), "ID", "", nullptr);
  statements.push_back(std::string("CREATE INDEX \"IndexTree\" ON Article (\"ArticleName\" COLLATE ") +
                       kCaseSensitive + " DESC, \"NN\" DESC, \"Year\" DESC)");
  return statements;
}

// A prepared statement, finalised when it goes.
class TStatement {
 public:
  TStatement(sqlite3* db, const std::string& sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK)
      throw std::runtime_error("SQLite: " + std::string(sqlite3_errmsg(db)) + " in: " + sql);
  }
  ~TStatement() { sqlite3_finalize(stmt_); }
  TStatement(const TStatement&) = delete;
  TStatement& operator=(const TStatement&) = delete;

  void BindInt(int n, int32_t value) { sqlite3_bind_int(stmt_, n, value); }
  void BindText(int n, const std::string& text) {
    sqlite3_bind_text(stmt_, n, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  }
  void BindNull(int n) { sqlite3_bind_null(stmt_, n); }
  // True while there is a row; throws on an error.
  bool Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw std::runtime_error("SQLite: " + std::string(sqlite3_errmsg(db_)));
  }
  void Done() {
    while (Step()) {
    }
    sqlite3_reset(stmt_);
  }
  void Reset() { sqlite3_reset(stmt_); }
  int32_t Int(int column) { return sqlite3_column_int(stmt_, column); }
  int Columns() { return sqlite3_column_count(stmt_); }
  bool IsNull(int column) { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  std::string Text(int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return text != nullptr ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
                           : std::string();
  }
  TRow Row() { return {Int(0), Text(1)}; }
  // Every row left, as Row reads them.
  std::vector<TRow> Rows() {
    std::vector<TRow> rows;
    while (Step()) rows.push_back(Row());
    return rows;
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace

TSqliteSide::~TSqliteSide() { Close(); }

void TSqliteSide::Fail(const std::string& what) const {
  throw std::runtime_error("SQLite: " + what + (db_ != nullptr ? ": " + std::string(sqlite3_errmsg(db_)) : ""));
}

void TSqliteSide::Execute(const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string text = error != nullptr ? error : "unknown error";
    sqlite3_free(error);
    throw std::runtime_error("SQLite: " + text + " in: " + sql);
  }
}

void TSqliteSide::Open() {
  if (sqlite3_open_v2(file_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK)
    Fail("cannot open " + file_);
  static int ignoreCase = 1;
  if (sqlite3_create_collation_v2(db_, kCaseSensitive, SQLITE_UTF8, nullptr, CollateText,
                                  nullptr) != SQLITE_OK ||
      sqlite3_create_collation_v2(db_, kCaseInsensitive, SQLITE_UTF8, &ignoreCase, CollateText,
                                  nullptr) != SQLITE_OK)
    Fail("cannot register the collations");
  Execute("PRAGMA journal_mode=WAL");
  Execute("PRAGMA synchronous=NORMAL");
}

void TSqliteSide::Close() {
  if (db_ == nullptr) return;
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

void TSqliteSide::Create() {
  Open();
  for (const std::string& sql : SchemaStatements()) Execute(sql);
  for (const std::string& sql : {ScanSql(), std::string(kFilterYearSql), std::string(kFilterYearAndIssueSql),
                                 std::string(kFilterTitleSql), LocateSql()})
    CheckNoSort(sql);
}

void TSqliteSide::Append(const std::vector<TArticle>& articles) {
  const std::vector<TFieldDef> columns = Columns();
  std::string names, marks;
  for (const TFieldDef& def : columns) {
    names += (names.empty() ? "" : ", ") + Quoted(def.Name);
    marks += marks.empty() ? "?" : ", ?";
  }
  {
    TStatement insert(db_, "INSERT INTO Article (" + names + ") VALUES (" + marks + ")");
    Execute("BEGIN");
    for (const TArticle& article : articles) {
      const TRecordValues values = ArticleValues(article, true);
      for (size_t f = 0; f < columns.size(); ++f) {
        const int n = static_cast<int>(f) + 1;
        const TFieldValue& value = values.Fields[f];
        if (f == afSummary) {
          if (article.Summary.empty()) insert.BindNull(n); else insert.BindText(n, article.Summary);
        } else if (value.Null) {
          insert.BindNull(n);
        } else if (columns[f].Type == ftInteger) {
          insert.BindInt(n, GetI32LE(reinterpret_cast<const uint8_t*>(value.Bytes.data())));
        } else {
          insert.BindText(n, value.Bytes);
        }
      }
      insert.Done();
    }
    Execute("COMMIT");
  }
  Close();
}

int64_t TSqliteSide::Reopen() {
  Open();
  TStatement count(db_, "SELECT COUNT(*) FROM Article");
  if (!count.Step()) Fail("no count");
  return count.Int(0);
}

std::vector<TRow> TSqliteSide::Lookup(const std::vector<int32_t>& ids) {
  TStatement select(db_, "SELECT ID, ArticleName FROM Article WHERE ID = ?");
  std::vector<TRow> rows;
  rows.reserve(ids.size());
  for (const int32_t id : ids) {
    select.BindInt(1, id);
    if (select.Step()) rows.push_back(select.Row());
    select.Reset();
  }
  return rows;
}

void TSqliteSide::CheckNoSort(const std::string& sql) {
  TStatement plan(db_, "EXPLAIN QUERY PLAN " + sql);
  while (plan.Step()) {
    const std::string step = plan.Text(3);
    if (step.find("TEMP B-TREE") != std::string::npos)
      throw std::runtime_error("SQLite sorts instead of reading its index: " + step);
  }
}

std::vector<TRow> TSqliteSide::Rows(const std::string& sql, const std::vector<int32_t>& numbers) {
  TStatement select(db_, sql);
  for (size_t i = 0; i < numbers.size(); ++i) select.BindInt(static_cast<int>(i) + 1, numbers[i]);
  return select.Rows();
}

std::vector<TRow> TSqliteSide::ScanByTitle() { return Rows(ScanSql()); }

std::vector<TRow> TSqliteSide::Range(int32_t year) {
  return Rows("SELECT ID, ArticleName FROM Article INDEXED BY \"@Year\" WHERE Year = ?", {year});
}

std::vector<TRow> TSqliteSide::FilterYear(int32_t year) { return Rows(kFilterYearSql, {year}); }

std::vector<TRow> TSqliteSide::FilterYearAndIssue(int32_t year, int32_t issue) {
  return Rows(kFilterYearAndIssueSql, {year, issue});
}

std::vector<TRow> TSqliteSide::FilterTitleHolds(const std::string& part) {
  if (part.empty() || (static_cast<uint8_t>(part[0]) >= 0x80 && static_cast<uint8_t>(part[0]) < 0xC0))
    throw std::logic_error("instr() cannot look for a part beginning with this byte");
  TStatement select(db_, kFilterTitleSql);
  select.BindText(1, part);
  return select.Rows();
}

std::vector<TRow> TSqliteSide::LocateTitles(const std::vector<std::string>& titles) {
  TStatement select(db_, LocateSql());
  std::vector<TRow> rows;
  rows.reserve(titles.size());
  for (const std::string& title : titles) {
    select.BindText(1, title);
    if (select.Step()) rows.push_back(select.Row());
    select.Reset();
  }
  return rows;
}

void TSqliteSide::Update(const std::vector<TRow>& titles) {
  TStatement update(db_, "UPDATE Article SET ArticleName = ? WHERE ID = ?");
  Execute("BEGIN");
  for (const TRow& change : titles) {
    update.BindText(1, change.Title);
    update.BindInt(2, change.Id);
    update.Done();
  }
  Execute("COMMIT");
}

void TSqliteSide::Delete(const std::vector<int32_t>& ids) {
  TStatement remove(db_, "DELETE FROM Article WHERE ID = ?");
  Execute("BEGIN");
  for (const int32_t id : ids) {
    remove.BindInt(1, id);
    remove.Done();
  }
  Execute("COMMIT");
}

void TSqliteSide::Compact() {
  Execute("VACUUM");
  Close();
}

void TSqliteSide::CreateLists(const std::vector<TCatalogueList>& lists) {
  Execute("BEGIN");
  for (const TCatalogueList& list : lists) {
    for (const std::string& sql : TableStatements(list.Table, list.Fields(), "id", list.Table, kCaseSensitive))
      Execute(sql);
    TStatement insert(db_, "INSERT INTO " + Quoted(list.Table) + " (" + Quoted(list.IdField) + ", " +
                               Quoted(list.NameField) + ") VALUES (?, ?)");
    for (const TListEntry& entry : list.Entries) {
      insert.BindInt(1, entry.Id);
      insert.BindText(2, entry.Name);
      insert.Done();
    }
  }
  Execute("COMMIT");
}

std::vector<TSqlRow> TSqliteSide::Select(const std::string& sql) {
  TStatement select(db_, sql);
  std::vector<TSqlRow> rows;
  while (select.Step()) {
    TSqlRow& row = rows.emplace_back();
    const int count = select.Columns();
    row.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) row.push_back(select.IsNull(i) ? TSqlValue() : TSqlValue(select.Text(i)));
  }
  return rows;
}

int64_t TSqliteSide::Change(const std::string& script) {
  const int64_t before = sqlite3_total_changes64(db_);
  Execute("BEGIN");
  Execute(script);
  Execute("COMMIT");
  return sqlite3_total_changes64(db_) - before;
}

std::vector<TRow> TSqliteSide::RowsById() {
  return Rows("SELECT ID, ArticleName FROM Article ORDER BY ID");
}

}  // namespace norvane::bench
