// Compacting a catalogue through its database component: the file shrinks
// and keeps every record and large value, progress runs from 0 to 100, a
// cancel leaves the file as it was, and the refusals carry their messages.
#include <gtest/gtest.h>

#include "engine/platform/file_system.h"
#include "engine/tables/dezi_database.h"
#include "tests/support/error_message.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"
#include "tests/tables/blob_table.h"
#include "tests/tables/database_fixtures.h"

namespace norvane {
namespace {

using testing::MessageOf;
using testing::TFakeDataset;

const char kCancelLine[] = "\r\nCompactDatabase cancelled. Original database file restored.";

// The memo of record n of "Notes".
std::vector<uint8_t> NoteOf(int32_t n) {
  std::vector<uint8_t> note(300 + static_cast<size_t>(n % 7) * 200);
  for (size_t i = 0; i < note.size(); ++i) note[i] = static_cast<uint8_t>('a' + (n + i * 3) % 26);
  return note;
}

// "Notes", a table with large values: 600 records with a memo each, 500 of
// them deleted with their values.
void MakeThinnedNotes(const std::string& file) {
  bool readOnly = false;
  auto store = TPFSManager::Instance().GetPFSHandle(file, "", false, readOnly, smContainer);
  ASSERT_NE(store, nullptr);
  {
    testing::TBlobTable notes(*store, 1, false, true, 512, "Notes");
    for (int32_t n = 0; n < 600; ++n) notes.Append(n, {{testing::TBlobTable::kMemo, NoteOf(n)}});
    while (notes.Manager().Header().RecordCount > 100) notes.Manager().aaDeleteRecord(0);
  }
  store.reset();
  TPFSManager::Instance().ReleasePFS(file, false);
}

// A catalogue of several tables from which most records were deleted; the
// numbers that remain in "Article", in physical order.
std::vector<int32_t> MakeThinnedCatalogue(const std::string& file) {
  testing::MakeCatalogue(file, {{"Article", 4000}, {"Razdel", 300}, {"Ahutor", 50}});
  MakeThinnedNotes(file);
  TFakeDataset dataset("", file);
  EXPECT_EQ(dataset.Open("Article"), 0);
  TDeziDataManager& table = *dataset.Table();
  while (table.Header().RecordCount > 150) table.aaDeleteRecord(0);
  std::vector<int32_t> kept = testing::RecordNumbers(table);
  dataset.Close();
  TFakeDataset sections("", file);
  EXPECT_EQ(sections.Open("Razdel"), 0);
  while (sections.Table()->Header().RecordCount > 10) sections.Table()->aaDeleteRecord(0);
  sections.Close();
  return kept;
}

struct TProgressLog {
  std::vector<double> percents;
  bool allCompaction = true;
  // Cancels at this report (counted from 0); -1 never.
  int cancelAt = -1;

  TProgressEvent Handler() {
    return [this](TDeziDatabase&, double percent, TaaProgressProcess process, bool& cancel) {
      if (process != aappCompactDB) allCompaction = false;
      if (static_cast<int>(percents.size()) == cancelAt) cancel = true;
      percents.push_back(percent);
    };
  }
};

TEST(CompactDatabase, ShrinksTheFileAndKeepsEveryRecordAndValue) {
  testing::TTempFolder dir;
  const std::string file = dir / "cat.adb";
  const std::vector<int32_t> kept = MakeThinnedCatalogue(file);
  const size_t before = testing::ReadFileBytes(file).size();

  TDeziDatabase db;
  db.SetDatabaseFileName(file);
  TProgressLog progress;
  db.OnProgress = progress.Handler();
  std::string log = "stale";
  ASSERT_TRUE(db.CompactDatabase(log)) << log;
  EXPECT_EQ(log, "");
  EXPECT_FALSE(db.Connected());
  testing::ExpectNothingShared();
  EXPECT_LT(testing::ReadFileBytes(file).size(), before / 2);

  ASSERT_GE(progress.percents.size(), 3u);
  EXPECT_TRUE(progress.allCompaction);
  EXPECT_EQ(progress.percents.front(), 0.0);
  EXPECT_EQ(progress.percents.back(), 100.0);
  for (size_t i = 1; i < progress.percents.size(); ++i)
    EXPECT_LE(progress.percents[i - 1], progress.percents[i]);

  struct Case { const char* table; size_t count; };
  const Case kTables[] = {{"Article", 150}, {"Razdel", 10}, {"Ahutor", 50}};
  for (const Case& c : kTables) {
    TFakeDataset dataset("", file);
    ASSERT_EQ(dataset.Open(c.table), 0) << c.table;
    const std::vector<int32_t> numbers = testing::RecordNumbers(*dataset.Table());
    EXPECT_EQ(numbers.size(), c.count) << c.table;
    if (std::string(c.table) == "Article") {
      EXPECT_EQ(numbers, kept);
    }
    dataset.Close();
  }
  // Every value that stayed reads back whole, from the records it belongs to.
  TFakeDataset notes("", file);
  ASSERT_EQ(notes.Open("Notes"), 0);
  TDeziDataManager& table = *notes.Table();
  ASSERT_EQ(table.Header().RecordCount, 100);
  for (int32_t r = 0; r < 100; ++r) {
    const int32_t n = GetI32LE(table.RecordPtr(r));
    TMemoryStream memo;
    table.ReadBLOBValue(&memo, testing::TBlobTable::kMemo, r);
    EXPECT_EQ(memo.Bytes(), NoteOf(n)) << n;
  }
  notes.Close();
  db.SetConnected(false);  // the datasets connected it: it names their file
  testing::ExpectNothingShared();
}

// Memos compressed by the strongest mode: 10,000 of them read back whole
// after the table is closed and opened again, and after compaction.
TEST(CompactDatabase, TenThousandStronglyCompressedMemosSurvive) {
  testing::TTempFolder dir;
  const std::string file = dir / "memos.adb";
  const int32_t kCount = 10000;
  const auto readAll = [&] {
    bool readOnly = false;
    auto store = TPFSManager::Instance().GetPFSHandle(file, "", false, readOnly, smContainer);
    ASSERT_NE(store, nullptr);
    {
      TDeziDataManager table(*store, "Memos", true);
      ASSERT_TRUE(table.Open());
      EXPECT_EQ(table.Header().Compression, 3);
      ASSERT_EQ(table.Header().RecordCount, kCount);
      for (int32_t r = 0; r < kCount; ++r) {
        TMemoryStream memo;
        table.ReadBLOBValue(&memo, testing::TBlobTable::kMemo, r);
        ASSERT_EQ(memo.Bytes(), NoteOf(GetI32LE(table.RecordPtr(r)))) << r;
      }
    }
    store.reset();
    TPFSManager::Instance().ReleasePFS(file, false);
  };
  ASSERT_TRUE(TPFSManager::Instance().CreateContainer(file, "", false));
  {
    bool readOnly = false;
    auto store = TPFSManager::Instance().GetPFSHandle(file, "", false, readOnly, smContainer);
    ASSERT_NE(store, nullptr);
    {
      testing::TBlobTable memos(*store, 3, false, true, 512, "Memos");
      for (int32_t n = 0; n < kCount; ++n) memos.Append(n, {{testing::TBlobTable::kMemo, NoteOf(n)}});
    }
    store.reset();
    TPFSManager::Instance().ReleasePFS(file, false);
  }
  readAll();
  TDeziDatabase db;
  db.SetDatabaseFileName(file);
  std::string log;
  ASSERT_TRUE(db.CompactDatabase(log)) << log;
  readAll();
}

TEST(CompactDatabase, ACancelLeavesTheFileByteForByte) {
  struct Case { const char* when; int cancelAt; };
  const Case kCases[] = {{"at the start", 0}, {"inside the rebuild", 2}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.when);
    testing::TTempFolder dir;
    const std::string file = dir / "cat.adb";
    MakeThinnedCatalogue(file);
    const std::vector<uint8_t> before = testing::ReadFileBytes(file);
    TDeziDatabase db;
    db.SetDatabaseFileName(file);
    TProgressLog progress;
    progress.cancelAt = c.cancelAt;
    db.OnProgress = progress.Handler();
    std::string log;
    EXPECT_FALSE(db.CompactDatabase(log));
    ASSERT_GE(log.size(), sizeof kCancelLine - 1);
    EXPECT_EQ(log.substr(log.size() - (sizeof kCancelLine - 1)), kCancelLine);
    EXPECT_EQ(progress.percents.back(), 100.0);
    EXPECT_FALSE(db.Connected());
    testing::ExpectNothingShared();
    EXPECT_TRUE(testing::ReadFileBytes(file) == before);
    EXPECT_FALSE(FileExists(file + "_new"));
  }
}

TEST(CompactDatabase, RefusesWithItsMessages) {
  testing::TTempFolder dir;
  const std::string file = dir / "cat.adb";
  testing::MakeCatalogue(file, {{"Article", 2}});
  std::string log;
  TDeziDatabase db;
  EXPECT_EQ(MessageOf([&] { db.CompactDatabase(log); }),
            "TDeziDatabase.CompactDatabase - DatabaseFileName property is blank.");
  db.SetDatabaseFileName(file);
  db.SetConnected(true);
  EXPECT_EQ(MessageOf([&] { db.CompactDatabase(log); }),
            "TDeziDatabase.CompactDatabase -  Database is connected.");
  db.SetConnected(false);

  // The dataset connects db, the first component naming its file; another
  // component of the file finds the dataset at the manager.
  TFakeDataset reader("", file);
  ASSERT_EQ(reader.Open("Article"), 0);
  TDeziDatabase compactor;
  compactor.SetDatabaseFileName(file);
  EXPECT_EQ(MessageOf([&] { compactor.CompactDatabase(log); }),
            "TDeziDatabase.CompactDatabase - Some datasets are connected.");
  EXPECT_FALSE(compactor.Connected());
  EXPECT_TRUE(reader.Active());
  reader.Close();
  db.SetConnected(false);
  testing::ExpectNothingShared();

  const std::string locked = dir / "locked.adb";
  testing::MakeCatalogue(locked, {{"Article", 1}}, "right");
  TDeziDatabase secret;
  secret.SetDatabaseFileName(locked);
  secret.SetPassword("wrong");
  EXPECT_EQ(MessageOf([&] { secret.CompactDatabase(log); }),
            "TDeziDatabase.CompactDatabase - Invalid password.");
  EXPECT_FALSE(secret.Connected());
  testing::ExpectNothingShared();
}

TEST(CompactDatabase, AFolderDatabaseHasNothingToCompact) {
  testing::TTempFolder dir;
  testing::MakeFolderTables(dir.Path(), {{"Article", 2}});
  TDeziDatabase db;
  db.SetDatabaseFileName(dir.Path());
  TProgressLog progress;
  db.OnProgress = progress.Handler();
  std::string log;
  EXPECT_TRUE(db.CompactDatabase(log));
  EXPECT_EQ(progress.percents, std::vector<double>{0.0});
  testing::ExpectNothingShared();
}

}  // namespace
}  // namespace norvane
