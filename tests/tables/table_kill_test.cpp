// A process killed anywhere in a long run of appends, replaces and deletes:
// at each write to the table's files, and at moments the parent chooses,
// the table opens again with unique identifiers and every record whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
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

class TCountingStore;

// A disk file whose writes and size changes the store counts. Syncing is
// left out: a killed process loses nothing the system already holds.
class TCountingFile : public TAbstractFile {
 public:
  TCountingFile(TCountingStore& store, TAbstractFile& inner);
  TAbstractFile& Inner() { return inner_; }
  void Open(bool create) override { inner_.Open(create); }
  void Close() override { inner_.Close(); }
  void Flush() override {}
  int32_t Read(void* buffer, int32_t n) override { return inner_.Read(buffer, n); }
  int32_t Write(const void* buffer, int32_t n) override;
  int32_t Seek(int32_t offset, int origin) override { return inner_.Seek(offset, origin); }
  void SetSize(int32_t size) override;

 private:
  TCountingStore& store_;
  TAbstractFile& inner_;
};

// A disk store over `folder` whose process kills itself just before the
// dieAt-th write to its files (never when dieAt is 0).
class TCountingStore : public TAbstractPlainFileSystem {
 public:
  TCountingStore(const std::string& folder, int64_t dieAt)
      : TAbstractPlainFileSystem(folder, smDisk), disk_(folder), dieAt_(dieAt) {}
  ~TCountingStore() override { FreeAll(); }
  TAbstractFile* OpenFile(const std::string& name, bool create, bool readOnly,
                          bool exclusive) override {
    TAbstractFile& inner = *disk_.OpenFile(name, create, readOnly, exclusive);
    return List(std::make_unique<TCountingFile>(*this, inner));
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
  void CountWrite() {
    if (++writes_ == dieAt_) raise(SIGKILL);
  }
  int64_t Writes() const { return writes_; }

 private:
  TDiskPlainFileSystem disk_;
  int64_t dieAt_;
  int64_t writes_ = 0;
};

TCountingFile::TCountingFile(TCountingStore& store, TAbstractFile& inner)
    : TAbstractFile(&store, inner.Name(), inner.Exclusive(), inner.ReadOnly(), inner.Temporary()),
      store_(store), inner_(inner) {}

int32_t TCountingFile::Write(const void* buffer, int32_t n) {
  store_.CountWrite();
  return inner_.Write(buffer, n);
}

void TCountingFile::SetSize(int32_t size) {
  store_.CountWrite();
  inner_.SetSize(size);
}

// Fields "K" (the row identifier again), "V" (the version) and two fillers
// drawn from both, so a record mixing two versions' bytes shows: 541 bytes.
const std::vector<TFieldDef> kFields = {{"K", ftInteger, 0, false},
                                        {"V", ftInteger, 0, false},
                                        {"P", ftString, 300, false},
                                        {"B", ftBytes, 200, false}};
constexpr int kSeedRecords = 30;
constexpr int kChanges = 300;
// A log of about 12 records' bytes, so flushes come every few changes.
constexpr int64_t kFreeMemory = 541 * 12 * 10;

TFieldValue Value(std::string bytes) { return {false, std::move(bytes)}; }

std::string Int32(int32_t n) {
  std::string bytes(4, '\0');
  PutI32LE(reinterpret_cast<uint8_t*>(bytes.data()), n);
  return bytes;
}

std::string Filler(int32_t id, int32_t version, size_t n, char first, int range) {
  std::minstd_rand random(static_cast<uint32_t>(id) * 65537u + static_cast<uint32_t>(version) + 1);
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(first + static_cast<int>(random() % range));
  return bytes;
}

TRecordValues Record(int32_t id, int32_t version) {
  return {id,
          {Value(Int32(id)), Value(Int32(version)), Value(Filler(id, version, 300, 'A', 26)),
           Value(Filler(id, version, 200, '\0', 256))}};
}

int32_t VersionOf(const TRecordValues& record) {
  const std::string& bytes = record.Fields.at(1).Bytes;
  return bytes.size() == 4 ? GetI32LE(reinterpret_cast<const uint8_t*>(bytes.data())) : -1;
}

void OpenTable(TDeziDataManager& table) {
  table.SetFreeMemorySource([] { return kFreeMemory; });
  ASSERT_TRUE(table.Open());
}

// The table's records in physical order.
std::vector<TRecordValues> Records(TDeziDataManager& table) {
  std::vector<TRecordValues> records;
  for (int32_t p = 0; p < table.Header().RecordCount; ++p)
    records.push_back(table.DecodeRecord(table.RecordPtr(p)));
  return records;
}

void Seed(TAbstractPlainFileSystem& store) {
  TDeziDataManager table(store, "T", false);
  table.CreateTable(kFields, 0, false);
  for (int32_t id = 1; id <= kSeedRecords; ++id) table.aaAddRecord(table.EncodeRecord(Record(id, 0)).data());
  table.CloseTable();
}

// The seeded run of changes, on a tick counter that only it moves (so the
// age rule flushes at the same changes every run); a byte goes to
// `progress` after each change. Returns the identifiers' versions it leaves.
std::map<int32_t, int32_t> RunChanges(TAbstractPlainFileSystem& store, int progress) {
  uint32_t now = 0;
  SetTickSource([&now] { return now; });
  struct TRestore {
    ~TRestore() { SetTickSource({}); }
  } restore;
  TDeziDataManager table(store, "T", false);
  OpenTable(table);
  std::map<int32_t, int32_t> model;
  for (const TRecordValues& record : Records(table)) model[record.RowId] = VersionOf(record);
  std::mt19937 random(2024);
  for (int i = 0; i < kChanges; ++i) {
    now += random() % 150;
    const int32_t count = table.Header().RecordCount;
    const uint32_t choice = random() % 10;
    if (count == 0 || choice < 4) {
      const int32_t id = table.Header().LastId + 1;
      table.aaAddRecord(table.EncodeRecord(Record(id, 0)).data());
      model[id] = 0;
    } else {
      const int32_t p = static_cast<int32_t>(random() % static_cast<uint32_t>(count));
      const TRecordValues old = table.DecodeRecord(table.RecordPtr(p));
      if (choice < 8) {
        table.aaUpdateRecord(table.EncodeRecord(Record(old.RowId, VersionOf(old) + 1)).data(), p);
        model[old.RowId] = VersionOf(old) + 1;
      } else {
        table.aaDeleteRecord(p);
        model.erase(old.RowId);
      }
    }
    if (progress >= 0 && write(progress, "+", 1) != 1) _exit(3);
  }
  table.CloseTable();
  return model;
}

// What a killed run must leave: a table that opens, unique identifiers at
// or below the last one, every record one whole version, its exact length,
// a next identifier past all, and the same records on the next open.
void ExpectSurvivor(TAbstractPlainFileSystem& store) {
  std::vector<TRecordValues> records;
  int32_t highest = 0;
  {
    TDeziDataManager table(store, "T", false);
    ASSERT_NO_FATAL_FAILURE(OpenTable(table));
    records = Records(table);
    std::set<int32_t> ids;
    for (const TRecordValues& record : records) {
      ASSERT_TRUE(ids.insert(record.RowId).second) << "identifier " << record.RowId << " twice";
      ASSERT_EQ(record, Record(record.RowId, VersionOf(record))) << "torn " << record.RowId;
      highest = std::max(highest, record.RowId);
    }
    ASSERT_GE(table.Header().LastId, highest);
    const int32_t id = table.Header().LastId + 1;
    const int32_t p = table.aaAddRecord(table.EncodeRecord(Record(id, 0)).data());
    EXPECT_EQ(table.DecodeRecord(table.RecordPtr(p)).RowId, id);
    records.push_back(Record(id, 0));
    table.CloseTable();
    EXPECT_EQ(static_cast<int64_t>(testing::ReadStoreFile(store, "T.dat").size()),
              table.ExactDataLength());
  }
  TDeziDataManager again(store, "T", false);
  ASSERT_NO_FATAL_FAILURE(OpenTable(again));
  EXPECT_EQ(Records(again), records);
}

std::string FolderOf(testing::TTableStore& store) {
  return dynamic_cast<TDiskPlainFileSystem&>(store.Store()).Folder();
}

// A kill point: the child's own at its n-th write, or the parent's once the
// child has reported n finished changes.
struct TKill {
  bool byParent;
  int64_t n;
};

// Runs the changes in a child killed at the point, then checks what it left.
void KillAndCheck(const TKill& point) {
  testing::TTableStore store(testing::TStoreKind::Folder);
  Seed(store.Store());
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(pipeEnds[0]);
    try {
      TCountingStore counting(FolderOf(store), point.byParent ? 0 : point.n);
      RunChanges(counting, point.byParent ? pipeEnds[1] : -1);
    } catch (...) {
      _exit(2);
    }
    _exit(0);
  }
  close(pipeEnds[1]);
  if (point.byParent) {
    char reports[kChanges];
    for (int64_t got = 0; got < point.n;) {
      const ssize_t n = read(pipeEnds[0], reports, static_cast<size_t>(point.n - got));
      if (n <= 0) break;
      got += n;
    }
    kill(child, SIGKILL);
  }
  close(pipeEnds[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  // The child dies at its own kill point; the parent's may come after it ended.
  const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  const bool finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  ASSERT_TRUE(killed || (point.byParent && finished)) << "status " << status;
  store.Reopen();
  ExpectSurvivor(store.Store());
}

TEST(TableKill, EveryKillPointLeavesWholeRecordsAndUniqueIdentifiers) {
  // A whole run, counted and checked against what it meant to leave.
  int64_t writes = 0;
  {
    testing::TTableStore store(testing::TStoreKind::Folder);
    Seed(store.Store());
    TCountingStore counting(FolderOf(store), 0);
    const std::map<int32_t, int32_t> model = RunChanges(counting, -1);
    writes = counting.Writes();
    TDeziDataManager table(store.Store(), "T", false);
    OpenTable(table);
    std::map<int32_t, int32_t> stored;
    for (const TRecordValues& record : Records(table)) stored[record.RowId] = VersionOf(record);
    ASSERT_EQ(stored, model);
  }
  ASSERT_GT(writes, 100);
  std::vector<TKill> kills;
  constexpr int64_t kPoints = 80;
  for (int64_t i = 0; i < kPoints; ++i) kills.push_back({false, 1 + i * (writes - 1) / (kPoints - 1)});
  std::mt19937 random(7);
  for (int i = 0; i < 8; ++i) kills.push_back({true, 1 + static_cast<int64_t>(random() % kChanges)});
  for (const TKill& kill : kills) {
    SCOPED_TRACE((kill.byParent ? "parent's kill after change " : "kill at write ") +
                 std::to_string(kill.n) + " of " + std::to_string(writes));
    KillAndCheck(kill);
    if (::testing::Test::HasFailure()) break;
  }
}

}  // namespace
}  // namespace norvane
