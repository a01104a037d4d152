// The comparison's driver and its workloads of writes and of reads by key
// and by order: the append, the reopen, lookups by row identifier, the
// ordered scan, the year's range, updates, deletes and the compaction.
#include "bench/comparison.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "bench/row_checks.h"

namespace norvane::bench {
namespace {

constexpr uint32_t kSeed = 20261210;
constexpr size_t kLookups = 10000;
constexpr size_t kInserts = 1000;

double TimedMs(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

std::vector<TRow> TPicker::Sample(std::vector<TRow> rows, size_t count) {
  for (size_t i = 0; i < count && i < rows.size(); ++i) std::swap(rows[i], rows[i + Below(rows.size() - i)]);
  rows.resize(std::min(count, rows.size()));
  return rows;
}

TComparison::TComparison(int64_t rows, const std::string& folder)
    : norvane_(folder + "catalogue.adb"), sqlite_(folder + "catalogue.sqlite"), picker_(kSeed) {
  TArticleGenerator generator(kSeed);
  articles_.reserve(static_cast<size_t>(rows));
  for (int64_t i = 0; i < rows; ++i) {
    articles_.push_back(generator.Next());
    model_.push_back({static_cast<int32_t>(i + 1), articles_.back().ArticleName});
  }
  for (size_t i = 0; i < model_.size() / 10; ++i) newTitles_.push_back(generator.Title());
  for (size_t i = 0; i < kInserts; ++i) inserted_.push_back(generator.Next());
  sections_ = SectionList();
  journals_ = JournalList();
}

TTiming TComparison::Run(const std::string& workload) {
  const auto at = std::find(std::begin(kWorkloads), std::end(kWorkloads), workload);
  if (at == std::end(kWorkloads)) throw std::logic_error("no workload " + workload);
  picker_ = TPicker(kSeed + 1 + static_cast<uint32_t>(at - std::begin(kWorkloads)));
  using TWork = TTiming (TComparison::*)();
  static constexpr TWork kRuns[] = {
      &TComparison::Append,      &TComparison::Reopen,       &TComparison::Lookup,
      &TComparison::Scan,        &TComparison::Range,        &TComparison::FilterEq,
      &TComparison::FilterAnd,   &TComparison::FilterLike,   &TComparison::Locate,
      &TComparison::TreeRoot,    &TComparison::TreeChild,    &TComparison::ExportJoin,
      &TComparison::SelectYearAndIssue, &TComparison::SelectLike, &TComparison::Distinct,
      &TComparison::Update,      &TComparison::Delete,       &TComparison::Compact,
      &TComparison::UpdateWhere, &TComparison::DeleteWhere,  &TComparison::InsertScript};
  static_assert(std::size(kRuns) == std::size(kWorkloads), "one run per workload name");
  return (this->*kRuns[at - std::begin(kWorkloads)])();
}

void TComparison::Finish() {
  norvane_.Close();
  sqlite_.Close();
}

TTiming TComparison::Both(const std::function<void(TEngineSide&)>& work) {
  TTiming t;
  t.NorvaneMs = TimedMs([&] { work(norvane_); });
  t.SqliteMs = TimedMs([&] { work(sqlite_); });
  return t;
}

TTiming TComparison::BothGive(const std::vector<TRow>& expected,
                              const std::function<std::vector<TRow>(TEngineSide&)>& query) {
  std::vector<TRow> rows[2];
  TTiming t = Both([&](TEngineSide& side) { rows[&side == &norvane_ ? 0 : 1] = query(side); });
  ExpectSame(expected, rows[0], "Norvane");
  ExpectSame(expected, rows[1], "SQLite");
  t.Rows = static_cast<int64_t>(expected.size());
  return t;
}

void TComparison::ExpectModel() {
  ExpectSame(model_, norvane_.RowsById(), "Norvane");
  ExpectSame(model_, sqlite_.RowsById(), "SQLite");
}

std::vector<TRow> TComparison::ModelRowsWhere(const std::function<bool(const TArticle&)>& test) const {
  std::vector<TRow> rows;
  for (const TRow& row : model_)
    if (test(ArticleOf(row))) rows.push_back(row);
  return rows;
}

TRow& TComparison::ModelRow(int32_t id) {
  const auto at = std::lower_bound(model_.begin(), model_.end(), id,
                                   [](const TRow& row, int32_t n) { return row.Id < n; });
  if (at == model_.end() || at->Id != id) throw std::logic_error("no model row");
  return *at;
}

int32_t TComparison::PickYear() {
  return kFirstYear + static_cast<int32_t>(picker_.Below(kLastYear - kFirstYear + 1));
}

TTiming TComparison::Append() {
  norvane_.Create();
  sqlite_.Create();
  norvane_.CreateLists({sections_, journals_});
  sqlite_.CreateLists({sections_, journals_});
  TTiming t = Both([&](TEngineSide& side) { side.Append(articles_); });
  norvane_.Reopen();
  sqlite_.Reopen();
  ExpectModel();
  Finish();
  t.Rows = static_cast<int64_t>(articles_.size());
  return t;
}

TTiming TComparison::Reopen() {
  int64_t counts[2] = {};
  TTiming t = Both([&](TEngineSide& side) { counts[&side == &norvane_ ? 0 : 1] = side.Reopen(); });
  if (counts[0] != static_cast<int64_t>(model_.size()) || counts[1] != counts[0])
    throw EMismatch("counts " + std::to_string(counts[0]) + " and " + std::to_string(counts[1]) +
                    ", expected " + std::to_string(model_.size()));
  t.Rows = counts[0];
  return t;
}

TTiming TComparison::Lookup() {
  std::vector<int32_t> ids;
  std::vector<TRow> expected;
  for (size_t i = 0; i < kLookups; ++i) {
    expected.push_back(model_[picker_.Below(model_.size())]);
    ids.push_back(expected.back().Id);
  }
  return BothGive(expected, [&](TEngineSide& side) { return side.Lookup(ids); });
}

TTiming TComparison::Scan() {
  std::vector<TRow> rows[2];
  TTiming t = Both([&](TEngineSide& side) { rows[&side == &norvane_ ? 0 : 1] = side.ScanByTitle(); });
  ExpectSame(model_, ById(rows[0]), "Norvane's scan");
  ExpectSameInTitleOrder(rows[0], rows[1]);
  t.Rows = static_cast<int64_t>(rows[0].size());
  return t;
}

TTiming TComparison::Range() {
  const int32_t year = PickYear();
  std::vector<TRow> rows[2];
  TTiming t = Both([&](TEngineSide& side) { rows[&side == &norvane_ ? 0 : 1] = side.Range(year); });
  const std::vector<TRow> expected = ModelRowsWhere([&](const TArticle& a) { return a.Year == year; });
  // One key for all: the order within the year is not defined.
  ExpectSame(expected, ById(rows[0]), "Norvane");
  ExpectSame(expected, ById(rows[1]), "SQLite");
  t.Rows = static_cast<int64_t>(expected.size());
  return t;
}

TTiming TComparison::Update() {
  std::vector<TRow> changes = picker_.Sample(model_, model_.size() / 10);
  for (size_t i = 0; i < changes.size(); ++i) changes[i].Title = newTitles_[i % newTitles_.size()];
  TTiming t = Both([&](TEngineSide& side) { side.Update(changes); });
  for (const TRow& change : changes) ModelRow(change.Id).Title = change.Title;
  ExpectModel();
  t.Rows = static_cast<int64_t>(changes.size());
  return t;
}

TTiming TComparison::Delete() {
  std::vector<int32_t> ids;
  for (const TRow& row : picker_.Sample(model_, model_.size() / 10)) ids.push_back(row.Id);
  TTiming t = Both([&](TEngineSide& side) { side.Delete(ids); });
  std::vector<int32_t> gone = ids;
  std::sort(gone.begin(), gone.end());
  std::erase_if(model_, [&](const TRow& row) { return std::binary_search(gone.begin(), gone.end(), row.Id); });
  ExpectModel();
  t.Rows = static_cast<int64_t>(ids.size());
  return t;
}

TTiming TComparison::Compact() {
  TTiming t = Both([](TEngineSide& side) { side.Compact(); });
  norvane_.Reopen();
  sqlite_.Reopen();
  ExpectModel();
  t.Rows = static_cast<int64_t>(model_.size());
  return t;
}

}  // namespace norvane::bench
