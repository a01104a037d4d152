// The comparison benchmark's workloads: both engines get the same generated
// articles and the same operations, and every workload's answers are checked
// against each other and against a plain model of the catalogue before its
// figures count. The workloads themselves are in comparison.cpp (writes,
// reads by key and order) and filter_workloads.cpp (filters and Locate).
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
// that the one before it left. The filters and Locate come before the
// writes, so they read the articles as generated.
inline constexpr const char* kWorkloads[] = {
    "append",     "reopen",      "lookup", "scan",   "range",  "filter_eq", "filter_and",
    "filter_like", "locate",     "update", "delete", "compact"};

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
  // Both hold exactly the model's articles.
  void ExpectModel();
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

  TNorvaneSide norvane_;
  TSqliteSide sqlite_;
  std::vector<TArticle> articles_;
  std::vector<std::string> newTitles_;
  // The catalogue as it should be: row identifier and title, by identifier.
  std::vector<TRow> model_;
  TPicker picker_;
};

}  // namespace norvane::bench
