// norvane-bench: the engine against SQLite on the catalogue's own work. Both
// get the same generated articles and the same operations in one run; every
// workload's answers are compared with each other and with a plain model of
// the catalogue before its line of figures is printed, and a difference ends
// the run with exit code 1, naming the workload.
//
//   norvane-bench [--rows N] [--only WORKLOAD] [--keep FILE]
//
// What a figure covers: the calls of the workload and nothing around them.
// An append ends with everything written and closed on both sides (the
// engine flushes, closes the table and lets the container go; SQLite commits
// and closes, which checkpoints its log), so the reopen that follows starts
// with nothing of the table in the process on either side (the operating
// system's file cache is warm for both). Writes are one transaction on SQLite and a burst of record
// operations ended by a flush on the engine. SQLite keeps its own defaults
// apart from WAL and synchronous=NORMAL; the engine sizes its record cache
// from free memory, as the program does.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/article_data.h"
#include "bench/bench_folder.h"
#include "bench/norvane_side.h"
#include "bench/sqlite_side.h"
#include "engine/protection/collation.h"

namespace norvane::bench {
namespace {

constexpr uint32_t kSeed = 20261210;
constexpr size_t kLookups = 10000;
// In the order they run: each but the first two starts from the open table
// that the one before it left.
const char* const kWorkloads[] = {"append", "reopen", "lookup", "scan",
                                  "range",  "update", "delete", "compact"};

struct TOptions {
  int64_t Rows = 100000;
  std::string Only;
  std::string Keep;
};

// The engines answered differently (or one differs from the model).
class EMismatch : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TTiming {
  int64_t Rows = 0;
  double NorvaneMs = 0, SqliteMs = 0;
};

double TimedMs(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

std::string Describe(const TRow& row) { return "ID " + std::to_string(row.Id); }

// Same rows in the same order.
void ExpectSame(const std::vector<TRow>& expected, const std::vector<TRow>& got,
                const std::string& who) {
  if (expected.size() != got.size())
    throw EMismatch(who + " gives " + std::to_string(got.size()) + " rows, expected " +
                    std::to_string(expected.size()));
  const auto [e, g] = std::mismatch(expected.begin(), expected.end(), got.begin());
  if (e != expected.end())
    throw EMismatch(who + " differs at row " + std::to_string(e - expected.begin()) + ": " +
                    Describe(*g) + " where " + Describe(*e) + " was expected");
}

std::vector<TRow> ById(std::vector<TRow> rows) {
  std::sort(rows.begin(), rows.end(), [](const TRow& a, const TRow& b) { return a.Id < b.Id; });
  return rows;
}

// Same rows in the order of the title ignoring case: equal titles at every
// position; among titles that compare equal no order is defined, so each run
// of them must hold the same articles in any order.
void ExpectSameInTitleOrder(const std::vector<TRow>& a, const std::vector<TRow>& b) {
  if (a.size() != b.size())
    throw EMismatch("row counts " + std::to_string(a.size()) + " and " + std::to_string(b.size()));
  size_t runStart = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (CollateCompareCI(a[i].Title.c_str(), b[i].Title.c_str()) != 0)
      throw EMismatch("titles differ at row " + std::to_string(i) + " (" + Describe(a[i]) +
                      ", " + Describe(b[i]) + ")");
    const bool runEnds =
        i + 1 == a.size() || CollateCompareCI(a[i].Title.c_str(), a[i + 1].Title.c_str()) != 0;
    if (!runEnds) continue;
    const auto first = static_cast<std::ptrdiff_t>(runStart), last = static_cast<std::ptrdiff_t>(i + 1);
    ExpectSame(ById({a.begin() + first, a.begin() + last}), ById({b.begin() + first, b.begin() + last}),
               "the equal titles from row " + std::to_string(runStart));
    runStart = i + 1;
  }
  // The order itself: every title sorts no later than the next one.
  for (size_t i = 1; i < a.size(); ++i)
    if (CollateCompareCI(a[i - 1].Title.c_str(), a[i].Title.c_str()) > 0)
      throw EMismatch("both engines are out of title order at row " + std::to_string(i));
}

// Random picks that do not depend on the standard library's distributions.
class TPicker {
 public:
  explicit TPicker(uint32_t seed) : rng_(seed) {}
  size_t Below(size_t n) { return static_cast<size_t>(rng_() % n); }
  // `count` distinct rows of `rows`, in random order.
  std::vector<TRow> Sample(std::vector<TRow> rows, size_t count) {
    for (size_t i = 0; i < count && i < rows.size(); ++i)
      std::swap(rows[i], rows[i + Below(rows.size() - i)]);
    rows.resize(std::min(count, rows.size()));
    return rows;
  }

 private:
  std::mt19937 rng_;
};

class TComparison {
 public:
  // The two databases are made in `folder` (with its trailing separator).
  TComparison(const TOptions& options, const std::string& folder)
      : norvane_(folder + "catalogue.adb"), sqlite_(folder + "catalogue.sqlite") {
    TArticleGenerator generator(kSeed);
    articles_.reserve(static_cast<size_t>(options.Rows));
    for (int64_t i = 0; i < options.Rows; ++i) {
      articles_.push_back(generator.Next());
      model_.push_back({static_cast<int32_t>(i + 1), articles_.back().ArticleName});
    }
    for (size_t i = 0; i < model_.size() / 10; ++i) newTitles_.push_back(generator.Title());
  }

  // Each workload draws its picks from a seed of its own, so one run alone
  // (--only) picks as it does in the full run.
  TTiming Run(const std::string& workload) {
    const auto at = std::find(std::begin(kWorkloads), std::end(kWorkloads), workload);
    picker_ = TPicker(kSeed + 1 + static_cast<uint32_t>(at - std::begin(kWorkloads)));
    if (workload == "append") return Append();
    if (workload == "reopen") return Reopen();
    if (workload == "lookup") return Lookup();
    if (workload == "scan") return Scan();
    if (workload == "range") return Range();
    if (workload == "update") return Update();
    if (workload == "delete") return Delete();
    if (workload == "compact") return Compact();
    throw std::logic_error("no workload " + workload);
  }

  // Leaves both closed, the catalogue file whole.
  void Finish() {
    norvane_.Close();
    sqlite_.Close();
  }
  const std::string& CatalogueFile() const { return norvane_.File(); }

 private:
  // Times the same work on both engines.
  TTiming Both(const std::function<void(TEngineSide&)>& work) {
    TTiming t;
    t.NorvaneMs = TimedMs([&] { work(norvane_); });
    t.SqliteMs = TimedMs([&] { work(sqlite_); });
    return t;
  }
  // Both hold exactly the model's articles.
  void ExpectModel() {
    ExpectSame(model_, norvane_.RowsById(), "Norvane");
    ExpectSame(model_, sqlite_.RowsById(), "SQLite");
  }

  TTiming Append() {
    norvane_.Create();
    sqlite_.Create();
    TTiming t = Both([&](TEngineSide& side) { side.Append(articles_); });
    norvane_.Reopen();
    sqlite_.Reopen();
    ExpectModel();
    Finish();
    t.Rows = static_cast<int64_t>(articles_.size());
    return t;
  }

  TTiming Reopen() {
    int64_t counts[2] = {};
    TTiming t;
    t.NorvaneMs = TimedMs([&] { counts[0] = norvane_.Reopen(); });
    t.SqliteMs = TimedMs([&] { counts[1] = sqlite_.Reopen(); });
    if (counts[0] != static_cast<int64_t>(model_.size()) || counts[1] != counts[0])
      throw EMismatch("counts " + std::to_string(counts[0]) + " and " + std::to_string(counts[1]) +
                      ", expected " + std::to_string(model_.size()));
    t.Rows = counts[0];
    return t;
  }

  TTiming Lookup() {
    std::vector<int32_t> ids;
    std::vector<TRow> expected;
    for (size_t i = 0; i < kLookups; ++i) {
      expected.push_back(model_[picker_.Below(model_.size())]);
      ids.push_back(expected.back().Id);
    }
    std::vector<TRow> found[2];
    TTiming t;
    t.NorvaneMs = TimedMs([&] { found[0] = norvane_.Lookup(ids); });
    t.SqliteMs = TimedMs([&] { found[1] = sqlite_.Lookup(ids); });
    ExpectSame(expected, found[0], "Norvane");
    ExpectSame(expected, found[1], "SQLite");
    t.Rows = static_cast<int64_t>(ids.size());
    return t;
  }

  TTiming Scan() {
    std::vector<TRow> rows[2];
    TTiming t;
    t.NorvaneMs = TimedMs([&] { rows[0] = norvane_.ScanByTitle(); });
    t.SqliteMs = TimedMs([&] { rows[1] = sqlite_.ScanByTitle(); });
    ExpectSame(model_, ById(rows[0]), "Norvane's scan");
    ExpectSameInTitleOrder(rows[0], rows[1]);
    t.Rows = static_cast<int64_t>(rows[0].size());
    return t;
  }

  TTiming Range() {
    const auto year = kFirstYear + static_cast<int32_t>(picker_.Below(kLastYear - kFirstYear + 1));
    std::vector<TRow> rows[2];
    TTiming t;
    t.NorvaneMs = TimedMs([&] { rows[0] = norvane_.Range(year); });
    t.SqliteMs = TimedMs([&] { rows[1] = sqlite_.Range(year); });
    std::vector<TRow> expected;
    for (const TRow& row : model_)
      if (articles_[static_cast<size_t>(row.Id - 1)].Year == year) expected.push_back(row);
    // One key for all: the order within the year is not defined.
    ExpectSame(expected, ById(rows[0]), "Norvane");
    ExpectSame(expected, ById(rows[1]), "SQLite");
    t.Rows = static_cast<int64_t>(expected.size());
    return t;
  }

  TTiming Update() {
    std::vector<TRow> changes = picker_.Sample(model_, model_.size() / 10);
    for (size_t i = 0; i < changes.size(); ++i) changes[i].Title = newTitles_[i % newTitles_.size()];
    TTiming t = Both([&](TEngineSide& side) { side.Update(changes); });
    for (const TRow& change : changes) ModelRow(change.Id).Title = change.Title;
    ExpectModel();
    t.Rows = static_cast<int64_t>(changes.size());
    return t;
  }

  TTiming Delete() {
    std::vector<int32_t> ids;
    for (const TRow& row : picker_.Sample(model_, model_.size() / 10)) ids.push_back(row.Id);
    TTiming t = Both([&](TEngineSide& side) { side.Delete(ids); });
    std::vector<int32_t> gone = ids;
    std::sort(gone.begin(), gone.end());
    std::erase_if(model_, [&](const TRow& row) {
      return std::binary_search(gone.begin(), gone.end(), row.Id);
    });
    ExpectModel();
    t.Rows = static_cast<int64_t>(ids.size());
    return t;
  }

  TTiming Compact() {
    TTiming t = Both([](TEngineSide& side) { side.Compact(); });
    norvane_.Reopen();
    sqlite_.Reopen();
    ExpectModel();
    t.Rows = static_cast<int64_t>(model_.size());
    return t;
  }

  TRow& ModelRow(int32_t id) {
    const auto at = std::lower_bound(model_.begin(), model_.end(), id,
                                     [](const TRow& row, int32_t n) { return row.Id < n; });
    if (at == model_.end() || at->Id != id) throw std::logic_error("no model row");
    return *at;
  }

  TNorvaneSide norvane_;
  TSqliteSide sqlite_;
  std::vector<TArticle> articles_;
  std::vector<std::string> newTitles_;
  // The catalogue as it should be: row identifier and title, by identifier.
  std::vector<TRow> model_;
  TPicker picker_{kSeed};
};

[[noreturn]] void Usage(const std::string& problem) {
  std::fprintf(stderr,
               "norvane-bench: %s\nusage: norvane-bench [--rows N] [--only WORKLOAD] [--keep FILE]\n"
               "workloads: append reopen lookup scan range update delete compact\n",
               problem.c_str());
  std::exit(2);
}

TOptions ParseOptions(int argc, char** argv) {
  TOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) Usage("missing value after " + option);
    const std::string value = argv[++i];
    if (option == "--rows") {
      char* end = nullptr;
      options.Rows = std::strtoll(value.c_str(), &end, 10);
      if (*end != '\0' || options.Rows < 1 || options.Rows > 10000000)
        Usage("--rows takes a count from 1 to 10000000");
    } else if (option == "--only") {
      if (std::find(std::begin(kWorkloads), std::end(kWorkloads), value) == std::end(kWorkloads))
        Usage("no workload " + value);
      options.Only = value;
    } else if (option == "--keep") {
      options.Keep = value;
    } else {
      Usage("unknown option " + option);
    }
  }
  return options;
}

int Main(int argc, char** argv) {
  const TOptions options = ParseOptions(argc, argv);
  TBenchFolder folder;
  TComparison comparison(options, folder.Path());
  std::printf("%-9s %9s %12s %12s %7s\n", "workload", "rows", "norvane_ms", "sqlite_ms", "ratio");
  std::fflush(stdout);
  std::string current;
  try {
    for (const char* workload : kWorkloads) {
      current = workload;
      if (!options.Only.empty() && current == "reopen" && options.Only == "append") break;
      const bool shown = options.Only.empty() || options.Only == current;
      // A workload run alone still needs the table: append first, then the
      // reopen that the others start from, both unreported.
      if (!shown && current != "append" && current != "reopen") continue;
      const TTiming t = comparison.Run(current);
      if (!shown) continue;
      std::printf("%-9s %9lld %12.2f %12.2f %7.2f\n", workload, static_cast<long long>(t.Rows),
                  t.NorvaneMs, t.SqliteMs, t.SqliteMs > 0 ? t.NorvaneMs / t.SqliteMs : 0.0);
      std::fflush(stdout);
    }
    comparison.Finish();
    if (!options.Keep.empty())
      std::filesystem::copy_file(comparison.CatalogueFile(), options.Keep,
                                 std::filesystem::copy_options::overwrite_existing);
  } catch (const EMismatch& e) {
    std::fprintf(stderr, "norvane-bench: workload %s: the engines differ: %s\n", current.c_str(), e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "norvane-bench: workload %s failed: %s\n", current.c_str(), e.what());
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace norvane::bench

int main(int argc, char** argv) { return norvane::bench::Main(argc, argv); }
