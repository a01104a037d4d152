// Record operations of one table: appends, reads, replaces and deletes of
// about 1 KB article records at seeded random positions, in tables of ten
// thousand, a hundred thousand and a million records, on disk (a folder store
// under the temporary folder) and in a memory store. Every figure is also
// given per operation, so how the cost grows with the table reads straight off.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_folder.h"
#include "bench/operation_counters.h"
#include "engine/common/byte_codec.h"
#include "engine/container/disk_plain_file_system.h"
#include "engine/container/memory_plain_file_system.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"

namespace norvane {
namespace {

// The free memory the table is told it has: a third of it is the record
// cache, enough to hold the million-record table whole, and a tenth the write
// log's byte limit, so the log flushes by its change count as on a desktop.
// Fixed so that the figures do not depend on what else the machine runs.
constexpr int64_t kFreeMemory = int64_t{6} << 30;
// Operations timed per iteration by the fixed-count benchmarks.
constexpr int32_t kOperations = 10000;
// Distinct record images the benchmarks cycle through.
constexpr size_t kImageCount = 256;
constexpr uint32_t kSeed = 20261209;

using bench::TBenchFolder;

const std::vector<TFieldDef>& ArticleFields() {
  static const std::vector<TFieldDef> fields = {
      {"Title", ftString, 255, true},      {"Authors", ftString, 255, false},
      {"Section", ftString, 100, false},   {"Publication", ftString, 100, false},
      {"KeyWords", ftString, 255, false},  {"Year", ftSmallint, 0, false},
      {"Volume", ftInteger, 0, false},     {"Issue", ftInteger, 0, false},
      {"FirstPage", ftInteger, 0, false},  {"PageCount", ftInteger, 0, false},
      {"Published", ftDate, 0, false},     {"Added", ftDateTime, 0, false},
  };
  return fields;
}

std::string Words(std::mt19937& rng, size_t length) {
  static const char* const kWords[] = {"storage", "engine", "record", "page",   "index",
                                       "journal", "review", "letter", "method", "survey"};
  std::string text;
  while (text.size() < length) {
    if (!text.empty()) text += ' ';
    text += kWords[rng() % std::size(kWords)];
  }
  text.resize(length);
  return text;
}

// The low `size` bytes of `bits`, little-endian: a number field's value.
std::string LowBytes(uint64_t bits, size_t size) {
  uint8_t all[8];
  PutU64LE(all, bits);
  return std::string(reinterpret_cast<const char*>(all), size);
}

// Plain images of articles whose texts fill between a quarter and all of
// their fields (the bytes on disk are the same size whatever they hold).
std::vector<std::vector<uint8_t>> ArticleImages(const TDeziDataManager& table) {
  std::mt19937 rng(kSeed);
  std::vector<std::vector<uint8_t>> images;
  for (size_t i = 0; i < kImageCount; ++i) {
    TRecordValues values;
    for (const TFieldDef& field : ArticleFields()) {
      const size_t size = static_cast<size_t>(field.Size);
      std::string bytes;
      if (field.Type == ftString) bytes = Words(rng, size / 4 + rng() % (size - size / 4 + 1));
      if (field.Type == ftSmallint) bytes = LowBytes(1990 + rng() % 36, 2);
      if (field.Type == ftInteger) bytes = LowBytes(rng() % 5000, 4);
      if (field.Type == ftDate || field.Type == ftDateTime) {
        const double day = 7.3e5 + static_cast<double>(rng() % 20000) / 3.0;
        bytes = LowBytes(std::bit_cast<uint64_t>(day), 8);
      }
      values.Fields.push_back({false, bytes});
    }
    images.push_back(table.EncodeRecord(values));
  }
  return images;
}

std::unique_ptr<TDeziDataManager> NewManager(TAbstractPlainFileSystem& store, bool readOnly) {
  auto table = std::make_unique<TDeziDataManager>(store, "Article", readOnly);
  table->SetFreeMemorySource([] { return kFreeMemory; });
  return table;
}

void AppendRecords(TDeziDataManager& table, const std::vector<std::vector<uint8_t>>& images,
                   int32_t count) {
  std::vector<uint8_t> image;
  for (int32_t i = 0; i < count; ++i) {
    image = images[static_cast<size_t>(i) % images.size()];
    table.aaAddRecord(image.data());
  }
}

// The store a benchmark names: a folder store in a new folder under the
// temporary folder (the real case, files on disk), or a memory store (the
// engine's own cost without the file system's).
class TBenchStore {
 public:
  explicit TBenchStore(bool memory) {
    if (memory) {
      store_ = std::make_unique<TMemoryPlainFileSystem>("bench");
      return;
    }
    folder_ = std::make_unique<TBenchFolder>();
    store_ = std::make_unique<TDiskPlainFileSystem>(folder_->Path());
  }
  TAbstractPlainFileSystem& Store() { return *store_; }

 private:
  std::unique_ptr<TBenchFolder> folder_;  // outlives the store's files
  std::unique_ptr<TAbstractPlainFileSystem> store_;
};

// A new, empty, open table in a store of its own, and article images for it.
struct TNewTable {
  explicit TNewTable(bool memory) : store(memory), table(NewManager(store.Store(), false)) {
    // Records only: the index upkeep has its own benchmark.
    table->CreateTable(ArticleFields(), 0, false, false);
    images = ArticleImages(*table);
  }
  TBenchStore store;
  std::unique_ptr<TDeziDataManager> table;
  std::vector<std::vector<uint8_t>> images;
};

// A table of a given record count, closed, made once and shared by every
// benchmark of that count and store. Benchmarks that change it leave it with
// as many records as it had.
struct TFilledTable : TNewTable {
  TFilledTable(int32_t records, bool memory) : TNewTable(memory) {
    AppendRecords(*table, images, records);
    table->CloseTable();
  }
};

TFilledTable& FilledTable(int32_t records, bool memory) {
  static std::map<std::pair<int32_t, bool>, std::unique_ptr<TFilledTable>> tables;
  auto& table = tables[{records, memory}];
  if (!table) table = std::make_unique<TFilledTable>(records, memory);
  return *table;
}

// Times N = range(0) appends to a new table and the close that writes the
// last of them, in a memory store when range(1) is set; the table's creation
// and removal are not timed.
void BM_Append(benchmark::State& state) {
  const auto records = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto made = std::make_unique<TNewTable>(state.range(1) != 0);
    state.ResumeTiming();
    AppendRecords(*made->table, made->images, records);
    made->table->CloseTable();
    state.PauseTiming();
    made.reset();
    state.ResumeTiming();
  }
  CountOperations(state, records);
}

// Times deleting every record of a table of N = range(0) records, each at a
// random position, and the close; in a memory store when range(1) is set.
// Filling the table and removing it are not timed.
void BM_DeleteAll(benchmark::State& state) {
  const auto records = static_cast<int32_t>(state.range(0));
  std::mt19937 rng(kSeed);
  for (auto _ : state) {
    state.PauseTiming();
    auto made = std::make_unique<TNewTable>(state.range(1) != 0);
    AppendRecords(*made->table, made->images, records);
    made->table->FlushBuffers();
    state.ResumeTiming();
    for (int32_t count = records; count > 0; --count)
      made->table->aaDeleteRecord(static_cast<int32_t>(rng() % count));
    made->table->CloseTable();
    state.PauseTiming();
    made.reset();
    state.ResumeTiming();
  }
  CountOperations(state, records);
}

// The shared table of a record count, opened; a warm one has had every record
// read once, so the whole table is in the record cache.
struct TOpenTable {
  TOpenTable(int64_t records, bool warm, bool memory, bool readOnly)
      : filled(FilledTable(static_cast<int32_t>(records), memory)),
        readOnly(readOnly),
        warm(warm) {
    Reopen();
  }
  ~TOpenTable() { table->CloseTable(); }

  // Times `batch` of `perBatch` operations once per iteration, then puts the
  // table back with `restore` untimed. A cold iteration first closes and
  // opens the table, so it starts with an empty record cache (the system's
  // file cache still holds the file). One untimed round goes first: in a
  // virtual machine the first touch of memory the process never had costs
  // far more than the work measured, and would swamp a single long iteration.
  template <class Batch, class Restore>
  void Run(benchmark::State& state, int64_t perBatch, Batch batch, Restore restore) {
    batch();
    restore();
    for (auto _ : state) {
      if (!warm) {
        state.PauseTiming();
        table->CloseTable();
        Reopen();
        state.ResumeTiming();
      }
      batch();
      state.PauseTiming();
      restore();
      state.ResumeTiming();
    }
    CountOperations(state, perBatch);
  }

  void Reopen() {
    table = NewManager(filled.store.Store(), readOnly);
    if (!table->Open()) throw std::runtime_error("the benchmark table is missing");
    if (!warm) return;
    for (int32_t i = 0; i < table->Header().RecordCount; ++i)
      benchmark::DoNotOptimize(*table->RecordPtr(i));
  }
  int32_t RandomRecord() { return static_cast<int32_t>(rng() % table->Header().RecordCount); }

  TFilledTable& filled;
  bool readOnly;
  bool warm;
  std::unique_ptr<TDeziDataManager> table;
  std::mt19937 rng{kSeed};
};

void ReadAtRandom(TOpenTable& open, int32_t count) {
  for (int32_t i = 0; i < count; ++i)
    benchmark::DoNotOptimize(*open.table->RecordPtr(open.RandomRecord()));
}

// Replaces records at random positions, then flushes them.
void ReplaceAtRandom(TOpenTable& open, int32_t count) {
  const auto& images = open.filled.images;
  for (int32_t i = 0; i < count; ++i)
    open.table->aaUpdateRecord(images[static_cast<size_t>(i) % images.size()].data(),
                               open.RandomRecord());
  open.table->FlushBuffers();
}

// The fixed-count benchmarks' arguments: record count, warm, memory store.
TOpenTable OpenForFixedCount(benchmark::State& state, bool readOnly) {
  return TOpenTable(state.range(0), state.range(1) != 0, state.range(2) != 0, readOnly);
}

// Times 10000 reads of records at random positions.
void BM_RandomRead(benchmark::State& state) {
  TOpenTable open = OpenForFixedCount(state, true);
  open.Run(state, kOperations, [&] { ReadAtRandom(open, kOperations); }, [] {});
}

// Times 10000 replaces of records at random positions and the flush that
// writes them.
void BM_RandomReplace(benchmark::State& state) {
  TOpenTable open = OpenForFixedCount(state, false);
  open.Run(state, kOperations, [&] { ReplaceAtRandom(open, kOperations); }, [] {});
}

// Times N = range(0) reads at random positions in a table of N records just
// opened, in a memory store when range(1) is set: the cost of reading a
// whole table in random order.
void BM_ReadAll(benchmark::State& state) {
  const auto records = static_cast<int32_t>(state.range(0));
  TOpenTable open(records, false, state.range(1) != 0, true);
  open.Run(state, records, [&] { ReadAtRandom(open, records); }, [] {});
}

// As BM_ReadAll, for N replaces at random positions and the flush.
void BM_ReplaceAll(benchmark::State& state) {
  const auto records = static_cast<int32_t>(state.range(0));
  TOpenTable open(records, false, state.range(1) != 0, false);
  open.Run(state, records, [&] { ReplaceAtRandom(open, records); }, [] {});
}

// Times a tenth of the table, at most 10000, of deletes at random positions
// and the flush that writes them; as many records are appended again
// untimed, so every iteration starts from the same count.
void BM_RandomDelete(benchmark::State& state) {
  TOpenTable open = OpenForFixedCount(state, false);
  const int32_t deletes = std::min<int32_t>(kOperations, open.table->Header().RecordCount / 10);
  open.Run(
      state, deletes,
      [&] {
        for (int32_t i = 0; i < deletes; ++i) open.table->aaDeleteRecord(open.RandomRecord());
        open.table->FlushBuffers();
      },
      [&] {
        AppendRecords(*open.table, open.filled.images, deletes);
        open.table->FlushBuffers();
      });
}

constexpr int64_t kRecordCounts[] = {10000, 100000, 1000000};

void CountsAndStores(benchmark::internal::Benchmark* bench) {
  bench->ArgNames({"records", "memory"});
  for (int64_t memory : {0, 1})
    for (int64_t records : kRecordCounts) bench->Args({records, memory});
}

void CountsWarmthAndStores(benchmark::internal::Benchmark* bench) {
  bench->ArgNames({"records", "warm", "memory"});
  for (int64_t memory : {0, 1})
    for (int64_t records : kRecordCounts)
      for (int64_t warm : {0, 1}) bench->Args({records, warm, memory});
}

// The floor for random reads: 10000 reads of the first byte of a random
// record in a plain array of N records of the same size. Memory (caches and
// page tables) makes even this grow with N; the table's reads are judged
// against it in the same run.
void BM_PlainArrayRead(benchmark::State& state) {
  const auto records = static_cast<size_t>(state.range(0));
  const auto size = static_cast<size_t>(TNewTable(true).table->Geometry().RecordSize);
  std::vector<uint8_t> bytes(records * size, 1);
  std::mt19937 rng(kSeed);
  for (auto _ : state)
    for (int32_t i = 0; i < kOperations; ++i) benchmark::DoNotOptimize(bytes[(rng() % records) * size]);
  CountOperations(state, kOperations);
}

// Wall-clock time throughout: waiting for the disk is part of the cost.
BENCHMARK(BM_Append)->Apply(CountsAndStores)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RandomRead)
    ->Apply(CountsWarmthAndStores)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_RandomReplace)
    ->Apply(CountsWarmthAndStores)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_RandomDelete)
    ->Apply(CountsWarmthAndStores)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PlainArrayRead)
    ->ArgName("records")
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ReadAll)->Apply(CountsAndStores)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReplaceAll)->Apply(CountsAndStores)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DeleteAll)->Apply(CountsAndStores)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace norvane

BENCHMARK_MAIN();
