// The records of a table against a model: appends, replaces and deletes read
// back through the cache and the write log, in every store, plain and
// enciphered, with the cache and the log squeezed so pages are evicted and
// flushes come often; the flush rule on a clock the test moves; the last
// record moving into a hole; and what an open repairs.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <functional>
#include <memory>
#include <random>

#include "engine/common/byte_codec.h"
#include "engine/platform/tick_counter.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"
#include "tests/support/error_message.h"
#include "tests/support/fast_clock.h"
#include "tests/tables/table_store.h"

namespace norvane {
namespace {

using testing::MessageOf;
using testing::ReadStoreFile;
using testing::WriteStoreFile;
using TBytes = std::vector<uint8_t>;

// A tick counter the test moves by hand, moving on its own by `perReading`
// milliseconds at every reading (so a password check ends).
class TManualClock {
 public:
  explicit TManualClock(uint32_t perReading) {
    SetTickSource([this, perReading] { return now += perReading; });
  }
  ~TManualClock() { SetTickSource({}); }
  uint32_t now = 5;
};

const std::vector<TFieldDef> kFields = {
    {"N", ftInteger, 0, false}, {"S", ftString, 500, false}, {"D", ftDate, 0, false}};

TRecordValues RandomValues(std::mt19937& random) {
  TRecordValues values;
  values.Fields.resize(3);
  if (random() % 4 != 0) {
    values.Fields[0] = {false, std::string(4, static_cast<char>(random()))};
  }
  values.Fields[1] = {false, std::string(random() % 480, static_cast<char>('a' + random() % 26))};
  if (random() % 3 == 0) values.Fields[2] = {false, std::string(8, static_cast<char>(random()))};
  return values;
}

TRecordValues RandomValuesOf(unsigned seed) {
  std::mt19937 random(seed);
  return RandomValues(random);
}

struct TModelCase {
  testing::TStoreKind kind;
  bool encrypted;
  int64_t freeMemory;  // a third sizes the cache, a tenth the log
  uint32_t msPerReading;
};

class TRecordModel : public ::testing::TestWithParam<TModelCase> {};

TEST_P(TRecordModel, ReadsBackWhatWasWrittenBeforeAndAfterReopening) {
  const TModelCase c = GetParam();
  TManualClock clock(c.msPerReading);
  testing::TTableStore stores(c.kind);
  std::mt19937 random(17);
  std::vector<TRecordValues> model;
  int32_t lastId = 0;
  auto open = [&](TDeziDataManager& table) {
    table.SetFreeMemorySource([&] { return c.freeMemory; });
    if (c.encrypted) table.SetPassword(TSecret("model"));
  };
  {
    TDeziDataManager table(stores.Store(), "M", false);
    open(table);
    table.CreateTable(kFields, 0, c.encrypted);
    for (int step = 0; step < 2500; ++step) {
      const uint32_t kind = random() % 20;
      if (kind < 9 || model.empty()) {
        TRecordValues values = RandomValues(random);
        values.RowId = 777;  // the table assigns its own
        TBytes image = table.EncodeRecord(values);
        const int32_t at = table.aaAddRecord(image.data());
        ASSERT_EQ(at, static_cast<int32_t>(model.size()));
        values.RowId = ++lastId;
        model.push_back(values);
      } else if (kind < 14) {
        const size_t at = random() % model.size();
        TRecordValues values = RandomValues(random);
        values.RowId = -3;  // an identifier is kept for life
        TBytes image = table.EncodeRecord(values);
        table.aaUpdateRecord(image.data(), static_cast<int32_t>(at));
        values.RowId = model[at].RowId;
        model[at] = values;
      } else if (kind < 18) {
        const size_t at = random() % model.size();
        const bool moved = table.aaDeleteRecord(static_cast<int32_t>(at));
        EXPECT_EQ(moved, at + 1 < model.size());
        model[at] = model.back();
        model.pop_back();
      } else if (kind == 18) {
        clock.now += 1500;
      } else {
        table.FlushBuffers();
      }
      if (!model.empty()) {
        const size_t at = random() % model.size();
        ASSERT_EQ(table.DecodeRecord(table.RecordPtr(static_cast<int32_t>(at))), model[at])
            << "step " << step << ", record " << at;
      }
    }
    for (size_t at = 0; at < model.size(); ++at)
      ASSERT_EQ(table.DecodeRecord(table.RecordPtr(static_cast<int32_t>(at))), model[at]) << at;
    table.CloseTable();
  }
  stores.Reopen();
  TDeziDataManager table(stores.Store(), "M", false);
  open(table);
  ASSERT_TRUE(table.Open());
  EXPECT_EQ(table.Header().LastId, lastId);
  ASSERT_EQ(table.Header().RecordCount, static_cast<int32_t>(model.size()));
  for (size_t at = 0; at < model.size(); ++at)
    ASSERT_EQ(table.DecodeRecord(table.RecordPtr(static_cast<int32_t>(at))), model[at]) << at;
  const int64_t exact = table.ExactDataLength();
  table.CloseTable();
  EXPECT_EQ(ReadStoreFile(stores.Store(), "M.dat").size(), static_cast<size_t>(exact));
}

INSTANTIATE_TEST_SUITE_P(
    Squeezed, TRecordModel,
    ::testing::Values(
        // A cache of the four-page minimum and a log of a few dozen records.
        TModelCase{testing::TStoreKind::Memory, false, 256 * 1024, 1},
        TModelCase{testing::TStoreKind::Folder, false, 256 * 1024, 1},
        TModelCase{testing::TStoreKind::Container, false, 256 * 1024, 1},
        TModelCase{testing::TStoreKind::Memory, true, 256 * 1024, 1},
        // Plenty of memory and a slow clock: only explicit flushes and the
        // pauses write anything.
        TModelCase{testing::TStoreKind::Folder, false, int64_t{1} << 34, 0},
        TModelCase{testing::TStoreKind::Container, true, int64_t{1} << 34, 1}));


// Five records of the model's fields in a memory store, identifiers 1 to 5,
// N holding the identifier too.
std::unique_ptr<TDeziDataManager> FiveRecords(TAbstractPlainFileSystem& store) {
  auto table = std::make_unique<TDeziDataManager>(store, "F", false);
  table->CreateTable(kFields, 0, false);
  for (int32_t id = 1; id <= 5; ++id) {
    TRecordValues values{0, {{false, std::string(4, '\0')}, {false, "r" + std::to_string(id)}, {}}};
    PutI32LE(reinterpret_cast<uint8_t*>(values.Fields[0].Bytes.data()), id);
    TBytes image = table->EncodeRecord(values);
    table->aaAddRecord(image.data());
  }
  return table;
}

std::vector<int32_t> Identifiers(TDeziDataManager& table) {
  std::vector<int32_t> ids;
  for (int32_t at = 0; at < table.Header().RecordCount; ++at)
    ids.push_back(table.DecodeRecord(table.RecordPtr(at)).RowId);
  return ids;
}

TEST(Records, TheLastRecordMovesIntoAHoleAndIdentifiersAreNeverReused) {
  struct Case {
    std::vector<int32_t> deletes;  // physical numbers, in order
    std::vector<int32_t> after;
  };
  const Case cases[] = {
      {{0}, {5, 2, 3, 4}},
      {{4}, {1, 2, 3, 4}},
      {{1, 1, 0}, {3, 4}},
      {{4, 3, 2, 1, 0}, {}},
  };
  for (const Case& c : cases) {
    TMemoryPlainFileSystem store("mem");
    std::unique_ptr<TDeziDataManager> table = FiveRecords(store);
    for (int32_t p : c.deletes) table->aaDeleteRecord(p);
    EXPECT_EQ(Identifiers(*table), c.after);
    for (size_t at = 0; at < c.after.size(); ++at)  // the whole record moved, not only its identifier
      EXPECT_EQ(GetI32LE(table->RecordPtr(static_cast<int32_t>(at))), c.after[at]);
    table->CloseTable();
    TDeziDataManager reopened(store, "F", false);
    ASSERT_TRUE(reopened.Open());
    EXPECT_EQ(Identifiers(reopened), c.after);
    TBytes image = reopened.EncodeRecord(RandomValuesOf(1));
    EXPECT_EQ(reopened.aaAddRecord(image.data()), static_cast<int32_t>(c.after.size()));
    EXPECT_EQ(GetI32LE(image.data() + reopened.Geometry().RowIdOffset), 6);
    EXPECT_EQ(reopened.Header().LastId, 6);
  }
}

TEST(Records, AHundredThousandAppendsReadBackAfterReopening) {
  TMemoryPlainFileSystem store("mem");
  const int32_t count = 100000;
  auto valuesOf = [](int32_t i) {
    TRecordValues values{i + 1, {{false, std::string(4, '\0')}, {false, std::to_string(i * 7919)}, {}}};
    PutI32LE(reinterpret_cast<uint8_t*>(values.Fields[0].Bytes.data()), i);
    return values;
  };
  {
    TDeziDataManager table(store, "H", false);
    table.CreateTable(kFields, 0, false);
    for (int32_t i = 0; i < count; ++i) {
      TBytes image = table.EncodeRecord(valuesOf(i));
      ASSERT_EQ(table.aaAddRecord(image.data()), i);
    }
    table.CloseTable();
  }
  TDeziDataManager table(store, "H", false);
  ASSERT_TRUE(table.Open());
  EXPECT_EQ(table.Header().RecordCount, count);
  EXPECT_EQ(table.Header().LastId, count);
  for (int32_t i = 0; i < count; ++i) ASSERT_EQ(table.DecodeRecord(table.RecordPtr(i)), valuesOf(i)) << i;
  const int64_t exact = table.Geometry().DataStart + int64_t{count} * table.Geometry().RecordSize;
  EXPECT_EQ(table.ExactDataLength(), exact);
  table.CloseTable();
  EXPECT_EQ(ReadStoreFile(store, "H.dat").size(), static_cast<size_t>(exact));
}

TEST(Records, TheLogIsWrittenWhenItIsOldFullOrLarge) {
  struct Case {
    const char* name;
    int changes;
    uint32_t pauseBeforeLast;  // ms
    int64_t freeMemory;        // a tenth is the log's byte limit
    bool suspended;
    bool written;
  };
  const int64_t plenty = int64_t{1} << 40;
  const int64_t fiveRecords = 10 * 5 * 545;  // record size 545
  const Case cases[] = {
      {"one change stays", 1, 0, plenty, false, false},
      {"a change after 1001 ms", 2, 1001, plenty, false, true},
      {"a change after 1000 ms", 2, 1000, plenty, false, false},
      {"9999 changes", 9999, 0, plenty, false, false},
      {"10000 changes", 10000, 0, plenty, false, true},
      {"four records' bytes", 4, 0, fiveRecords, false, false},
      {"five records' bytes", 5, 0, fiveRecords, false, true},
      {"suspended", 10000, 1001, fiveRecords, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TManualClock clock(0);
    TMemoryPlainFileSystem store("mem");
    TDeziDataManager table(store, "L", false);
    table.SetFreeMemorySource([&] { return c.freeMemory; });
    table.CreateTable(kFields, 0, false);
    ASSERT_EQ(table.Geometry().RecordSize, 545);
    if (c.suspended) table.SuspendAutoFlush();
    TBytes image = table.EncodeRecord(RandomValuesOf(2));
    for (int i = 0; i < c.changes; ++i) {
      if (i + 1 == c.changes) clock.now += c.pauseBeforeLast;
      if (i % 2 == 0 || i + 1 == c.changes)
        table.aaAddRecord(image.data());
      else
        table.aaUpdateRecord(image.data(), 0);
    }
    const int32_t count = table.Header().RecordCount;
    const TBytes file = ReadStoreFile(store, "L.dat");
    EXPECT_EQ(GetI32LE(&file[32]), c.written ? count : 0);
    EXPECT_EQ(file.size(), static_cast<size_t>(c.written ? table.ExactDataLength() : 152));
    // Logged or written, the records read the same.
    EXPECT_EQ(table.DecodeRecord(table.RecordPtr(count - 1)).Fields, RandomValuesOf(2).Fields);
    if (c.suspended) {
      table.ResumeAutoFlush();
      EXPECT_EQ(GetI32LE(&ReadStoreFile(store, "L.dat")[32]), count);
    }
  }
}

// What an open finds after a program stopped inside a flush: record 4 (id
// 5) already copied over record 1, the count not yet written.
TEST(Records, AnOpenAfterAnUnfinishedFlushRemovesDuplicatedIdentifiers) {
  struct Case {
    const char* name;
    bool indexFileStale;  // how a flush leaves T.idx once it starts writing
    bool readOnly;
    int32_t idOfRecord3;  // 4 unless raised past the last identifier
    std::vector<int32_t> ids;
    int32_t lastId;
  };
  const Case cases[] = {
      {"stopped inside a flush", true, false, 4, {1, 5, 3, 4}, 5},
      {"and an identifier past the last", true, false, 9, {1, 5, 3, 9}, 9},
      {"read-only: nothing is written", true, true, 4, {1, 5, 3, 4, 5}, 5},
      // A current T.idx is trusted only while its row identifier order
      // holds: here it no longer matches the records.
      {"a current index file that the records contradict", false, false, 4, {1, 5, 3, 4}, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TMemoryPlainFileSystem store("mem");
    FiveRecords(store)->CloseTable();
    TBytes dat = ReadStoreFile(store, "F.dat");
    const size_t start = 56 + 32 * 3, size = 545;
    std::copy_n(dat.begin() + static_cast<std::ptrdiff_t>(start + 4 * size), size,
                dat.begin() + static_cast<std::ptrdiff_t>(start + 1 * size));
    PutI32LE(&dat[start + 3 * size + 513], c.idOfRecord3);
    WriteStoreFile(store, "F.dat", dat);
    TBytes idx = ReadStoreFile(store, "F.idx");
    if (c.indexFileStale) PutI32LE(&idx[0], GetI32LE(&idx[0]) - 1);
    WriteStoreFile(store, "F.idx", idx);

    TDeziDataManager table(store, "F", c.readOnly);
    ASSERT_TRUE(table.Open());
    EXPECT_EQ(Identifiers(table), c.ids);
    EXPECT_EQ(table.Header().LastId, c.lastId);
    table.CloseTable();
    if (c.readOnly) {
      EXPECT_EQ(ReadStoreFile(store, "F.dat"), dat);
      EXPECT_EQ(ReadStoreFile(store, "F.idx"), idx);
    } else {
      EXPECT_EQ(ReadStoreFile(store, "F.dat").size(), start + c.ids.size() * size);
    }
  }
}

TEST(Records, RefusalsAndCacheMessages) {
  TMemoryPlainFileSystem store("mem");
  std::unique_ptr<TDeziDataManager> table = FiveRecords(store);
  TBytes image = table->EncodeRecord(RandomValuesOf(3));
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[&] { table->RecordPtr(5); }, "TRecordsPage.GetRecordPtr - Cannot find record"},
      {[&] { table->RecordPtr(-1); }, "TRecordsPage.GetRecordPtr - Cannot find record"},
      {[&] { table->aaUpdateRecord(image.data(), 5); },
       "TDeziDataManager.aaUpdateRecord - invalid record Number, recPos = 5"},
      {[&] { table->aaDeleteRecord(-1); },
       "TDeziDataManager.aaDeleteRecord - invalid record Number, recPos = -1"},
      {[&] { table->UnlockRecordPage(0); },
       "TaaRecordsArray.UnlockRecordPage - Page is already unloaded."},
  };
  for (const auto& [action, message] : cases) EXPECT_EQ(MessageOf(action), message);
  table->CloseTable();
  TDeziDataManager readOnly(store, "F", true);
  ASSERT_TRUE(readOnly.Open());
  EXPECT_EQ(MessageOf([&] { readOnly.aaAddRecord(image.data()); }),
            "TDeziDataManager.aaAddRecord - table is in ReadOnly mode!");
  EXPECT_EQ(MessageOf([&] { readOnly.aaDeleteRecord(0); }),
            "TDeziDataManager.aaDeleteRecord - table is in ReadOnly mode!");
  readOnly.CloseTable();
  // Identifiers are never reused, so the last one ends the table's appends.
  TBytes dat = ReadStoreFile(store, "F.dat");
  PutI32LE(&dat[0], INT32_MAX);
  WriteStoreFile(store, "F.dat", dat);
  TDeziDataManager full(store, "F", false);
  ASSERT_TRUE(full.Open());
  EXPECT_EQ(MessageOf([&] { full.aaAddRecord(image.data()); }),
            "TDeziDataManager.aaAddRecord - no row identifier is left.");
  EXPECT_EQ(full.Header().RecordCount, 5);
}

// A close whose flush fails (the disk refuses to grow the file) still closes
// the table and says so; the table on disk opens as it was last flushed.
TEST(Records, AFailedFlushOnCloseIsReportedAndTheTableStillCloses) {
  testing::TTableStore stores(testing::TStoreKind::Folder);
  FiveRecords(stores.Store())->CloseTable();
  stores.Reopen();
  const pid_t child = fork();
  if (child == 0) {
    TDeziDataManager table(stores.Store(), "F", false);
    table.SetFreeMemorySource([] { return int64_t{1} << 40; });
    if (!table.Open()) _exit(10);
    const TBytes image = table.EncodeRecord(RandomValuesOf(4));
    for (int i = 0; i < 50; ++i) {
      TBytes copy = image;
      table.aaAddRecord(copy.data());
    }
    const rlimit limit{8192, 8192};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(11);
    signal(SIGXFSZ, SIG_IGN);
    const std::string message = MessageOf([&] { table.CloseTable(); });
    if (message != "TDeziDataManager.CloseTable - Cannot flush changes. Probably the table is "
                   "opened by other application.")
      _exit(12);
    _exit(table.IsOpen() ? 13 : 0);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  stores.Reopen();
  TDeziDataManager table(stores.Store(), "F", false);
  ASSERT_TRUE(table.Open());
  EXPECT_EQ(Identifiers(table), (std::vector<int32_t>{1, 2, 3, 4, 5}));
}

// One damaged enciphered record costs only itself: its neighbours read, it
// can be written over.
TEST(Records, ADamagedEncipheredRecordFailsAloneAndCanBeReplaced) {
  testing::TFastClock clock;
  TMemoryPlainFileSystem store("mem");
  const TRecordValues good = RandomValuesOf(5);
  {
    TDeziDataManager table(store, "E", false);
    table.SetPassword(TSecret("pw"));
    table.CreateTable(kFields, 0, true);
    for (int i = 0; i < 3; ++i) {
      TBytes image = table.EncodeRecord(RandomValuesOf(10 + i));
      table.aaAddRecord(image.data());
    }
    table.CloseTable();
  }
  TBytes dat = ReadStoreFile(store, "E.dat");
  dat[152 + 545 + 7] ^= 0x40;  // inside record 1's enciphered field data
  WriteStoreFile(store, "E.dat", dat);
  TDeziDataManager table(store, "E", false);
  table.SetPassword(TSecret("pw"));
  ASSERT_TRUE(table.Open());
  const std::string crc = "Error in TDeziDataManager.ChangeBufferEncryption - crc error, decoding";
  for (int attempt = 0; attempt < 2; ++attempt)
    EXPECT_EQ(MessageOf([&] { table.RecordPtr(1); }), crc);
  EXPECT_EQ(table.DecodeRecord(table.RecordPtr(0)).Fields, RandomValuesOf(10).Fields);
  EXPECT_EQ(table.DecodeRecord(table.RecordPtr(2)).Fields, RandomValuesOf(12).Fields);
  TBytes image = table.EncodeRecord(good);
  table.aaUpdateRecord(image.data(), 1);
  const TRecordValues replaced = table.DecodeRecord(table.RecordPtr(1));
  EXPECT_EQ(replaced.RowId, 2);
  EXPECT_EQ(replaced.Fields, good.Fields);
}

// Pages give way within the budget, but never a locked page or the page
// appends go to; a cache whose pages are all locked grows instead.
TEST(Records, TheCacheKeepsLockedPagesAndTheAppendPage) {
  const int32_t recordSize = 65536;  // one record a page
  TaaRecordsArray cache(recordSize, 4 * int64_t{recordSize});
  ASSERT_EQ(cache.PageRecords(), 1);
  auto load = [&](int32_t pageNo, int32_t keep) {
    TRecordsPage& page = cache.GetPageToUse(pageNo, keep);
    page.SetCount(1);
    page.Data()[0] = static_cast<uint8_t>(pageNo);
  };
  for (int32_t pageNo = 0; pageNo < 4; ++pageNo) load(pageNo, 3);
  cache.LockRecordPage(1);
  for (int32_t pageNo = 4; pageNo < 40; ++pageNo) load(pageNo, 3);
  for (int32_t kept : {1, 3}) {
    ASSERT_NE(cache.Find(kept), nullptr) << kept;
    EXPECT_EQ(cache.Find(kept)->GetRecordPtr(kept)[0], kept);
  }
  EXPECT_EQ(cache.Find(0), nullptr);
  // Four slots: 1, 3 and the last two loaded.
  EXPECT_EQ(cache.Find(37), nullptr);
  EXPECT_NE(cache.Find(38), nullptr);
  EXPECT_NE(cache.Find(39), nullptr);
  cache.UnlockRecordPage(1);
  for (int32_t pageNo = 40; pageNo < 44; ++pageNo) {
    load(pageNo, -1);
    cache.LockRecordPage(pageNo);
  }
  load(44, -1);  // every other page locked: a fifth slot
  for (int32_t pageNo = 40; pageNo <= 44; ++pageNo) EXPECT_NE(cache.Find(pageNo), nullptr) << pageNo;
}

}  // namespace
}  // namespace norvane
