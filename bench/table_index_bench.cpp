// Index upkeep on the catalogue's article table: its 21 automatic indexes
// (most over text fields that are usually empty) and "IndexTree", in tables
// of ten thousand, a hundred thousand and a million records in a memory
// store, so the figures are the engine's own cost. Appends, exact lookups of
// a title, replaces of the title, deletes, and the sort of every index that
// a bulk load or a stale index file ends with. Every figure is also given per
// operation, so how the cost grows with the table reads straight off.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/operation_counters.h"
#include "engine/common/byte_codec.h"
#include "engine/container/memory_plain_file_system.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"

namespace norvane {
namespace {

constexpr int64_t kFreeMemory = int64_t{6} << 30;
constexpr int32_t kOperations = 10000;
constexpr uint32_t kSeed = 20261210;

// The article table of a catalogue with every optional field, less the
// annotation, a large value that no index holds.
const std::vector<TFieldDef>& ArticleFields() {
  static const std::vector<TFieldDef> fields = {
      {"Year", ftInteger, 0, false},        {"IDRazdel", ftInteger, 0, false},
      {"ArticleName", ftString, 250, true}, {"NN", ftInteger, 0, false},
      {"Month", ftString, 20, false},       {"Ahutor", ftString, 200, false},
      {"Page", ftString, 30, false},        {"KeyWords", ftString, 200, false},
      {"IDJournal", ftInteger, 0, false},   {"DatePublic", ftString, 20, false},
      {"Tom", ftString, 30, false},         {"FileName", ftString, 250, false},
      {"ID", ftAutoInc, 0, true},
  };
  return fields;
}

std::string Words(std::mt19937& rng, size_t count) {
  static const char* const kWords[] = {"storage", "engine",  "record", "page",    "index",
                                       "journal", "review",  "letter", "method",  "survey",
                                       "history", "science", "music",  "country", "energy"};
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    if (!text.empty()) text += ' ';
    text += kWords[rng() % std::size(kWords)];
  }
  return text;
}

TFieldValue Int(int32_t n) {
  std::string bytes(4, '\0');
  PutI32LE(reinterpret_cast<uint8_t*>(bytes.data()), n);
  return {false, bytes};
}

// An article as people enter them: a title of a few words, an author from a
// few hundred, a month, pages; key words now and then; the rest empty.
TRecordValues Article(std::mt19937& rng) {
  static const char* const kMonths[] = {"January", "February", "March",     "April",
                                        "May",     "June",     "July",      "August",
                                        "September", "October", "November", "December"};
  TRecordValues values;
  values.Fields.resize(ArticleFields().size() - 1);
  values.Fields[0] = Int(1990 + static_cast<int32_t>(rng() % 36));
  values.Fields[1] = Int(1 + static_cast<int32_t>(rng() % 50));
  values.Fields[2] = {false, Words(rng, 3 + rng() % 6)};
  values.Fields[3] = Int(1 + static_cast<int32_t>(rng() % 12));
  values.Fields[4] = {false, kMonths[rng() % 12]};
  values.Fields[5] = {false, "Author " + std::to_string(rng() % 500)};
  values.Fields[6] = {false, std::to_string(rng() % 300) + "-" + std::to_string(rng() % 300)};
  if (rng() % 4 == 0) values.Fields[7] = {false, Words(rng, 2)};
  values.Fields[8] = Int(1 + static_cast<int32_t>(rng() % 20));
  return values;
}

struct TArticleTable {
  // With every index of a catalogue's article table, or with the row
  // identifier index only (the baseline: what the records cost alone).
  explicit TArticleTable(bool indexes = true)
      : store("bench"), table(std::make_unique<TDeziDataManager>(store, "Article", false)) {
    table->SetFreeMemorySource([] { return kFreeMemory; });
    table->CreateTable(ArticleFields(), 0, false, indexes);
    if (indexes)
      table->AddIndex("IndexTree", "ArticleName;NN;Year", true, "", "ArticleName;NN;Year",
                      ixDescending);
  }
  void Append(int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
      std::vector<uint8_t> image = table->EncodeRecord(Article(rng));
      table->aaAddRecord(image.data());
    }
  }
  int32_t RandomRecord() { return static_cast<int32_t>(rng() % table->Header().RecordCount); }

  TMemoryPlainFileSystem store;
  std::unique_ptr<TDeziDataManager> table;
  std::mt19937 rng{kSeed};
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
      values.Fields[title].Bytes = Words(filled.rng, 3 + filled.rng() % 6);
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
