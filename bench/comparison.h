// The comparison benchmark's workloads: both engines get the same generated
// articles and the same operations, and every workload's answers are checked
// against each other and against a plain model of the catalogue before its
// figures count. The workloads themselves are in comparison.cpp (writes,
// reads by key and order), filter_workloads.cpp (filters and Locate) and
// sql_workloads.cpp (the catalogue's own SQL).
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/article_data.h"
#include "bench/norvane_side.h"
#include "bench/sqlite_side.h"

namespace norvane::bench {

// In the order they run: each but the first two starts from the open table
// that the one before it left. The filters, Locate and the SQL reads come
// before the writes, so they read the articles as generated. The SQL writes
// come last, after the compaction, so that the workloads before them see
// the table as they would without them; with --only each of them starts
// from the articles as generated.
inline constexpr const char* kWorkloads[] = {
    "append",       "reopen",       "lookup",        "scan",      "range",       "filter_eq",
    "filter_and",   "filter_like",  "locate",        "tree_root", "tree_child",  "export_join",
    "select_year_nn", "select_like", "distinct",     "update",    "delete",      "compact",
    "update_where", "delete_where", "insert_script"};

// One workload's figures: the rows it covered and each engine's time.
struct TTiming {
  int64_t Rows = 0;
  double NorvaneMs = 0, SqliteMs = 0;
};

// Random picks that do not depend on the standard library's distributions.
class TPicker {
 public:
  explicit TPicker(uint32_t seed) : rng_(seed) {}
  size_t Below(size_t n) { return static_cast<size_t>(rng_() % n); }
  // `count` distinct rows of `rows`, in random order.
  std::vector<TRow> Sample(std::vector<TRow> rows, size_t count);

 private:
  std::mt19937 rng_;
};

// The run of letters the title filters look for (filter_like,
// select_like), in code page 1251.
std::string TitlePart();

class TComparison {
 public:
  // Generates `rows` articles; the two databases are made in `folder` (with
  // its trailing separator).
  TComparison(int64_t rows, const std::string& folder);

  // Runs one workload of kWorkloads and returns its figures; throws
  // EMismatch when the answers differ. Each workload draws its picks from a
  // seed of its own, so one run alone (--only) picks as it does in the full
  // run.
  TTiming Run(const std::string& workload);

  // Leaves both closed, the catalogue file whole.
  void Finish();
  const std::string& CatalogueFile() const { return norvane_.File(); }

 private:
  // Times the same work on both engines.
  TTiming Both(const std::function<void(TEngineSide&)>& work);
  // Times a query on both engines and checks each gives `expected`, in order.
  TTiming BothGive(const std::vector<TRow>& expected,
                   const std::function<std::vector<TRow>(TEngineSide&)>& query);
  // Times one SELECT on both engines, `sqliteSql` on SQLite when it needs
  // a form of its own (else `sql`), and checks each gives `expected` in the
  // order of the first `orderedBy` values (see ExpectSameRows).
  TTiming BothSelect(const std::string& sql, const std::string& sqliteSql,
                     const std::vector<TSqlRow>& expected, size_t orderedBy);
  // Times one script of changes on both engines and checks each reports
  // `expected` rows inserted, changed or deleted.
  TTiming BothChange(const std::string& script, int64_t expected);
  // Both hold exactly the model's articles.
  void ExpectModel();
  // Both hold the model's articles in every column but the annotation, and
  // after them (by row identifier, which each engine gives by its own
  // rule) `added` in order.
  void ExpectModelContent(const std::vector<TArticle>& added = {});
  // The model's article with this row identifier, as the content query
  // reads it.
  TSqlRow ContentRow(const TRow& row) const;
  // The generated article of a model row.
  const TArticle& ArticleOf(const TRow& row) const { return articles_[static_cast<size_t>(row.Id - 1)]; }
  // The distinct values of a number field among the model's articles, in
  // ascending order, none first, as SELECT DISTINCT gives them.
  std::vector<TSqlRow> ModelDistinct(std::optional<int32_t> TArticle::*field) const;
  // The model's rows, by identifier, whose article passes `test`.
  std::vector<TRow> ModelRowsWhere(const std::function<bool(const TArticle&)>& test) const;
  TRow& ModelRow(int32_t id);
  // A year of the generated range.
  int32_t PickYear();

  TTiming Append();
  TTiming Reopen();
  TTiming Lookup();
  TTiming Scan();
  TTiming Range();
  TTiming FilterEq();
  TTiming FilterAnd();
  TTiming FilterLike();
  TTiming Locate();
  TTiming Update();
  TTiming Delete();
  TTiming Compact();
  TTiming TreeRoot();
  TTiming TreeChild();
  TTiming ExportJoin();
  TTiming SelectYearAndIssue();
  TTiming SelectLike();
  TTiming Distinct();
  TTiming UpdateWhere();
  TTiming DeleteWhere();
  TTiming InsertScript();

  TNorvaneSide norvane_;
  TSqliteSide sqlite_;
  // The articles as generated, by row identifier less one; UpdateWhere
  // writes its pages here.
  std::vector<TArticle> articles_;
  std::vector<std::string> newTitles_;
  // The articles of the insert script, and the lists of the catalogue.
  std::vector<TArticle> inserted_;
  TCatalogueList sections_, journals_;
  // The catalogue as it should be: row identifier and title, by identifier.
  std::vector<TRow> model_;
  TPicker picker_;
};

}  // namespace norvane::bench
