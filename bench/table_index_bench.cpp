// Index upkeep on the catalogue's article table: its 21 automatic indexes
// (most over text fields) and "IndexTree", on the generated articles of
// bench/article_data.h less their annotations, in tables
// of ten thousand, a hundred thousand and a million records in a memory
// store, so the figures are the engine's own cost. Appends, exact lookups of
// a title, replaces of the title, deletes, and the sort of every index that
// a bulk load or a stale index file ends with. Every figure is also given per
// operation, so how the cost grows with the table reads straight off.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/article_data.h"
#include "bench/operation_counters.h"
#include "engine/container/memory_plain_file_system.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"

namespace norvane {
namespace {

constexpr int64_t kFreeMemory = int64_t{6} << 30;
constexpr int32_t kOperations = 10000;
constexpr uint32_t kSeed = 20261210;

struct TArticleTable {
  // With every index of a catalogue's article table, or with the row
  // identifier index only (the baseline: what the records cost alone).
  explicit TArticleTable(bool indexes = true)
      : store("bench"), table(std::make_unique<TDeziDataManager>(store, "Article", false)) {
    table->SetFreeMemorySource([] { return kFreeMemory; });
    table->CreateTable(bench::ArticleFields(false), 0, false, indexes);
    if (indexes)
      table->AddIndex("IndexTree", "ArticleName;NN;Year", true, "", "ArticleName;NN;Year",
                      ixDescending);
  }
  void Append(int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
      std::vector<uint8_t> image = table->EncodeRecord(bench::ArticleValues(articles.Next(), false));
      table->aaAddRecord(image.data());
    }
  }
  int32_t RandomRecord() {
    return static_cast<int32_t>(articles.Below(static_cast<uint32_t>(table->Header().RecordCount)));
  }

  TMemoryPlainFileSystem store;
  std::unique_ptr<TDeziDataManager> table;
  bench::TArticleGenerator articles{kSeed};
};

// A table of a given count, filled once in bulk and shared; benchmarks that
// change it leave it with as many records as it had.
TArticleTable& FilledTable(int32_t records) {
  static std::map<int32_t, std::unique_ptr<TArticleTable>> tables;
  auto& made = tables[records];
  if (!made) {
    made = std::make_unique<TArticleTable>();
    made->table->SuspendIndexUpkeep();
    made->Append(records);
    made->table->ResumeIndexUpkeep();
  }
  return *made;
}

// Times N appends to a new table, each kept in every index (with range(1)
// clear: in the row identifier index only), and the close that writes T.idx.
// The difference of the two is what keeping the indexes costs.
void BM_IndexedAppend(benchmark::State& state) {
  const auto records = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto made = std::make_unique<TArticleTable>(state.range(1) != 0);
    state.ResumeTiming();
    made->Append(records);
    made->table->CloseTable();
    state.PauseTiming();
    made.reset();
    state.ResumeTiming();
  }
  CountOperations(state, records);
}

// Times N appends with the upkeep suspended and the one sort of every index
// that resuming does: a bulk load.
void BM_BulkAppend(benchmark::State& state) {
  const auto records = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto made = std::make_unique<TArticleTable>();
    state.ResumeTiming();
    made->table->SuspendIndexUpkeep();
    made->Append(records);
    made->table->ResumeIndexUpkeep();
    state.PauseTiming();
    made.reset();
    state.ResumeTiming();
  }
  CountOperations(state, records);
}

// Times 10000 exact lookups of the title of a random record in "@@ArticleName".
void BM_TitleLookup(benchmark::State& state) {
  TArticleTable& filled = FilledTable(static_cast<int32_t>(state.range(0)));
  TDeziDataManager& table = *filled.table;
  const int32_t index = table.InternalGetIndexNo("@@ArticleName");
  std::vector<std::vector<uint8_t>> keys;
  for (int32_t i = 0; i < kOperations; ++i) {
    const uint8_t* record = table.RecordPtr(filled.RandomRecord());
    keys.emplace_back(record, record + table.Geometry().RecordSize);
  }
  for (auto _ : state)
    for (const auto& key : keys)
      if (table.KeyPosition(key.data(), index, true, false, 1) < 0)
        throw std::runtime_error("a title was not found");
  CountOperations(state, kOperations);
}

// Times 10000 replaces of the title of a random record: the record moves in
// "@@ArticleName", "@ArticleName" and "IndexTree".
void BM_ReplaceTitle(benchmark::State& state) {
  TArticleTable& filled = FilledTable(static_cast<int32_t>(state.range(0)));
  TDeziDataManager& table = *filled.table;
  const int32_t title = 2;
  for (auto _ : state) {
    for (int32_t i = 0; i < kOperations; ++i) {
      const int32_t physical = filled.RandomRecord();
      TRecordValues values = table.DecodeRecord(table.RecordPtr(physical));
      values.Fields[title].Bytes = filled.articles.Title();
      const std::vector<uint8_t> image = table.EncodeRecord(values);
      table.aaUpdateRecord(image.data(), physical);
    }
  }
  CountOperations(state, kOperations);
}

// Times 10000 deletes at random positions; as many articles are appended
// again untimed.
void BM_Delete(benchmark::State& state) {
  TArticleTable& filled = FilledTable(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    for (int32_t i = 0; i < kOperations; ++i) filled.table->aaDeleteRecord(filled.RandomRecord());
    state.PauseTiming();
    filled.Append(kOperations);
    state.ResumeTiming();
  }
  CountOperations(state, kOperations);
}

void Counts(benchmark::internal::Benchmark* bench) {
  bench->ArgName("records")->Arg(10000)->Arg(100000)->Arg(1000000);
}

BENCHMARK(BM_IndexedAppend)
    ->ArgNames({"records", "indexes"})
    ->ArgsProduct({{10000, 100000, 1000000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(BM_BulkAppend)->Apply(Counts)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_TitleLookup)->Apply(Counts)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReplaceTitle)->Apply(Counts)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Delete)->Apply(Counts)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace norvane

BENCHMARK_MAIN();
