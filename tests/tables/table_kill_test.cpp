// A process killed anywhere in a long run of appends, replaces and deletes
// (before each write to the table's files, inside each at a page boundary,
// and when its parent chooses) leaves a table that opens with unique
// identifiers and every record whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <random>
#include <set>

#include "engine/common/byte_codec.h"
#include "engine/platform/tick_counter.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"
#include "tests/tables/table_store.h"

namespace norvane {
namespace {

// The system's file cache copies a write page by page and lets a killed
// process stop between two pages: a write is whole only up to the next page
// boundary of the file.
constexpr int32_t kCachePage = 4096;

// The writes made to a store's files; the process kills itself at write
// number DieAt (never when it is 0): just before it, or when Tear is set,
// once the part of it before the first page boundary it crosses is written
// (all of it when it crosses none).
struct TWriteCount {
  int64_t Writes = 0;
  int64_t DieAt = 0;
  bool Tear = false;
  // Counts a write; true when the process is to die at it.
  bool Dies() { return ++Writes == DieAt; }
};

// A disk file whose writes and size changes are counted. It never syncs: a
// killed process loses nothing the system already holds, and syncs would
// take most of the test's time.
class TCountingFile : public TAbstractFile {
 public:
  TCountingFile(TAbstractPlainFileSystem* owner, TAbstractFile& inner, TWriteCount& count)
      : TAbstractFile(owner, inner.Name(), inner.Exclusive(), inner.ReadOnly(), false),
        inner_(inner), count_(count) {}
  TAbstractFile& Inner() { return inner_; }
  void Open(bool create) override { inner_.Open(create); }
  void Close() override { inner_.Close(); }
  void Flush() override {}
  int32_t Read(void* buffer, int32_t n) override { return inner_.Read(buffer, n); }
  int32_t Write(const void* buffer, int32_t n) override {
    if (!count_.Dies()) return inner_.Write(buffer, n);
    if (count_.Tear) inner_.Write(buffer, std::min(n, kCachePage - inner_.Position() % kCachePage));
    raise(SIGKILL);
    return 0;
  }
  int32_t Seek(int32_t offset, int origin) override { return inner_.Seek(offset, origin); }
  void SetSize(int32_t size) override {
    if (count_.Dies()) raise(SIGKILL);
    inner_.SetSize(size);
  }

 private:
  TAbstractFile& inner_;
  TWriteCount& count_;
};

// A disk store over `folder` whose files count their writes. Tables are
// seeded and checked through it too, for the speed of files that never sync.
class TCountingStore : public TAbstractPlainFileSystem {
 public:
  explicit TCountingStore(const std::string& folder, int64_t dieAt = 0, bool tear = false)
      : TAbstractPlainFileSystem(folder, smDisk), disk_(folder), count_{0, dieAt, tear} {}
  ~TCountingStore() override { FreeAll(); }
  TAbstractFile* OpenFile(const std::string& name, bool create, bool readOnly,
                          bool exclusive) override {
    TAbstractFile& inner = *disk_.OpenFile(name, create, readOnly, exclusive);
    return List(std::make_unique<TCountingFile>(this, inner, count_));
  }
  void CloseFile(TAbstractFile* file) override {
    disk_.CloseFile(&static_cast<TCountingFile*>(file)->Inner());
    Unlist(file);
  }
  bool DeleteFile(const std::string& name) override { return disk_.DeleteFile(name); }
  bool RenameFile(const std::string& from, const std::string& to) override {
    return disk_.RenameFile(from, to);
  }
  bool FileExists(const std::string& name) override { return disk_.FileExists(name); }
  void GetFileNames(const std::string& extension, std::vector<std::string>& names) override {
    disk_.GetFileNames(extension, names);
  }
  int64_t Writes() const { return count_.Writes; }

 private:
  TDiskPlainFileSystem disk_;
  TWriteCount count_;
};

// Records of 540 bytes: "K" repeats the row identifier, "V" is the version
// and "B" bytes drawn from both, so a record mixing two records' bytes shows.
const std::vector<TFieldDef> kFields = {
    {"K", ftInteger, 0, false}, {"V", ftInteger, 0, false}, {"B", ftBytes, 500, false}};
constexpr int kSeedRecords = 30;
constexpr int kChanges = 200;
// A write log of about 12 records' bytes: a flush every few changes.
constexpr int64_t kFreeMemory = 540 * 12 * 10;

std::string Int32(int32_t n) {
  std::string bytes(4, '\0');
  PutI32LE(reinterpret_cast<uint8_t*>(bytes.data()), n);
  return bytes;
}

TRecordValues Record(int32_t id, int32_t version) {
  std::minstd_rand random(static_cast<uint32_t>(id) * 65537u + static_cast<uint32_t>(version) + 1);
  std::string filler(500, '\0');
  for (char& c : filler) c = static_cast<char>(random());
  return {id, {{false, Int32(id)}, {false, Int32(version)}, {false, filler}}};
}

int32_t VersionOf(const TRecordValues& record) {
  const std::string& bytes = record.Fields.at(1).Bytes;
  return bytes.size() == 4 ? GetI32LE(reinterpret_cast<const uint8_t*>(bytes.data())) : -1;
}

void Append(TDeziDataManager& table) {
  table.aaAddRecord(table.EncodeRecord(Record(table.Header().LastId + 1, 0)).data());
}

void OpenTable(TDeziDataManager& table) {
  table.SetFreeMemorySource([] { return kFreeMemory; });
  if (!table.Open()) throw EEngineError("no table");
}

// The table's records in physical order.
std::vector<TRecordValues> Records(TDeziDataManager& table) {
  std::vector<TRecordValues> records;
  for (int32_t p = 0; p < table.Header().RecordCount; ++p)
    records.push_back(table.DecodeRecord(table.RecordPtr(p)));
  return records;
}

// Identifier -> version of a table's records.
using TModel = std::map<int32_t, int32_t>;

TModel ModelOf(const std::vector<TRecordValues>& records) {
  TModel model;
  for (const TRecordValues& record : records) model[record.RowId] = VersionOf(record);
  return model;
}

void Seed(const std::string& folder) {
  TCountingStore store(folder);
  TDeziDataManager table(store, "T", false);
  table.CreateTable(kFields, 0, false);
  for (int i = 0; i < kSeedRecords; ++i) Append(table);
  table.CloseTable();
}

// The records a run meant to have after its open (step 0), each change and
// its close, with the writes made by then.
struct TStep {
  int64_t Writes;
  TModel Model;
};

// The seeded run of changes, on a tick counter only it moves (so the age
// rule flushes at the same changes every run); a byte goes to `progress`
// after each change.
std::vector<TStep> RunChanges(TCountingStore& store, int progress) {
  uint32_t now = 0;
  SetTickSource([&now] { return now; });
  struct TRestore {
    ~TRestore() { SetTickSource({}); }
  } restore;
  TDeziDataManager table(store, "T", false);
  OpenTable(table);
  std::vector<TStep> steps{{store.Writes(), ModelOf(Records(table))}};
  std::mt19937 random(2024);
  for (int i = 0; i < kChanges; ++i) {
    TModel model = steps.back().Model;
    now += random() % 150;
    const int32_t count = table.Header().RecordCount;
    const uint32_t choice = random() % 10;
    if (count == 0 || choice < 4) {
      model[table.Header().LastId + 1] = 0;
      Append(table);
    } else {
      const int32_t p = static_cast<int32_t>(random() % static_cast<uint32_t>(count));
      const TRecordValues old = table.DecodeRecord(table.RecordPtr(p));
      if (choice < 8) {
        model[old.RowId] = VersionOf(old) + 1;
        table.aaUpdateRecord(table.EncodeRecord(Record(old.RowId, VersionOf(old) + 1)).data(), p);
      } else {
        model.erase(old.RowId);
        table.aaDeleteRecord(p);
      }
    }
    // A new session now and then: its first flush is the one that marks
    // T.idx stale.
    if (i % 50 == 49) {
      table.CloseTable();
      OpenTable(table);
    }
    steps.push_back({store.Writes(), std::move(model)});
    if (progress >= 0 && write(progress, "+", 1) != 1) _exit(3);
  }
  table.CloseTable();
  steps.push_back({store.Writes(), steps.back().Model});
  return steps;
}

// What a killed run must leave: a table that opens, unique identifiers up
// to its last one, every record one whole version, the exact length, a next
// identifier past all, and the same records on the next open. Returns the
// records found.
TModel ExpectSurvivor(TAbstractPlainFileSystem& store) {
  std::vector<TRecordValues> records;
  {
    TDeziDataManager table(store, "T", false);
    OpenTable(table);
    records = Records(table);
    std::set<int32_t> ids;
    for (const TRecordValues& record : records) {
      EXPECT_TRUE(ids.insert(record.RowId).second) << "identifier " << record.RowId << " twice";
      EXPECT_TRUE(record == Record(record.RowId, VersionOf(record))) << "torn " << record.RowId;
    }
    const int32_t highest = ids.empty() ? 0 : *ids.rbegin();
    EXPECT_GE(table.Header().LastId, highest);
    Append(table);
    records.push_back(table.DecodeRecord(table.RecordPtr(table.Header().RecordCount - 1)));
    EXPECT_GT(records.back().RowId, highest);
    table.CloseTable();
    EXPECT_EQ(static_cast<int64_t>(testing::ReadStoreFile(store, "T.dat").size()),
              table.ExactDataLength());
  }
  TDeziDataManager again(store, "T", false);
  OpenTable(again);
  EXPECT_TRUE(Records(again) == records) << "records changed on reopening";
  records.pop_back();
  return ModelOf(records);
}

// A kill before write n stops the flush of the step that made it; the flush
// before it had completed. A record of both steps' tables survives in one
// of its two versions, a record of one survives in its version or not at all.
void ExpectBetween(const TModel& found, const std::vector<TStep>& steps, int64_t n) {
  size_t stopped = 0;
  while (stopped + 1 < steps.size() && steps[stopped].Writes < n) ++stopped;
  size_t done = stopped == 0 ? 0 : stopped - 1;
  while (done > 0 && steps[done].Writes == steps[done - 1].Writes) --done;
  const TModel& before = steps[done].Model;
  const TModel& after = steps[stopped].Model;
  const auto versionIn = [](const TModel& model, int32_t id) {
    const auto it = model.find(id);
    return it == model.end() ? -1 : it->second;
  };
  for (const auto& [id, version] : found)
    EXPECT_TRUE(version == versionIn(before, id) || version == versionIn(after, id))
        << "identifier " << id << " version " << version;
  for (const auto& [id, version] : before)
    EXPECT_TRUE(after.count(id) == 0 || found.count(id) == 1) << "identifier " << id << " lost";
}

// A kill point: the child's own at its n-th write (before it, or inside it
// at a page boundary), or the parent's once the child has reported n
// finished changes.
struct TKill {
  bool ByParent;
  int64_t N;
  bool Tear = false;
};

// Runs the changes in a child killed at the point; returns what it left.
TModel KillAndCheck(const TKill& point) {
  testing::TTableStore store(testing::TStoreKind::Folder);
  const std::string folder = dynamic_cast<TDiskPlainFileSystem&>(store.Store()).Folder();
  Seed(folder);
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) throw EEngineError("no pipe");
  const pid_t child = fork();
  if (child < 0) throw EEngineError("no child process");
  if (child == 0) {
    close(pipeEnds[0]);
    try {
      TCountingStore counting(folder, point.ByParent ? 0 : point.N, point.Tear);
      RunChanges(counting, point.ByParent ? pipeEnds[1] : -1);
    } catch (...) {
      _exit(2);
    }
    _exit(0);
  }
  close(pipeEnds[1]);
  char reports[kChanges];
  for (int64_t got = 0, n = 1; point.ByParent && got < point.N && n > 0; got += n)
    n = read(pipeEnds[0], reports, static_cast<size_t>(point.N - got));
  if (point.ByParent) kill(child, SIGKILL);
  close(pipeEnds[0]);
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
  // The child dies at its own kill point; the parent's may come after it ended.
  const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  const bool finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  EXPECT_TRUE(killed || (point.ByParent && finished)) << "status " << status;
  TCountingStore checked(folder);
  return ExpectSurvivor(checked);
}

TEST(TableKill, EveryKillPointLeavesWholeRecordsAndUniqueIdentifiers) {
  // A whole run, counted, and leaving what it meant to.
  std::vector<TStep> steps;
  {
    testing::TTableStore store(testing::TStoreKind::Folder);
    const std::string folder = dynamic_cast<TDiskPlainFileSystem&>(store.Store()).Folder();
    Seed(folder);
    TCountingStore counting(folder);
    steps = RunChanges(counting, -1);
    TDeziDataManager table(counting, "T", false);
    OpenTable(table);
    ASSERT_EQ(ModelOf(Records(table)), steps.back().Model);
  }
  const int64_t writes = steps.back().Writes;
  ASSERT_GT(writes, 150);
  std::vector<TKill> kills;
  for (int64_t n = 1; n <= writes; ++n) {
    kills.push_back({false, n});
    kills.push_back({false, n, true});
  }
  std::mt19937 random(7);
  for (int i = 0; i < 10; ++i) kills.push_back({true, 1 + static_cast<int64_t>(random() % kChanges)});
  for (const TKill& kill : kills) {
    SCOPED_TRACE((kill.ByParent ? "parent's kill after change " : kill.Tear ? "kill inside write " : "kill before write ") +
                 std::to_string(kill.N) + " of " + std::to_string(writes));
    try {
      const TModel found = KillAndCheck(kill);
      if (!kill.ByParent) ExpectBetween(found, steps, kill.N);
    } catch (const std::exception& error) {
      ADD_FAILURE() << error.what();
    }
    if (::testing::Test::HasFailure()) break;
  }
}

}  // namespace
}  // namespace norvane
