// One table manager shared by the datasets of a table: the store mode its
// datasets choose, read-only and writable datasets together, passwords of
// encrypted tables, and tables kept in memory (copied in from the default
// store and saved back into it).
#include <gtest/gtest.h>

#include "engine/platform/file_system.h"
#include "engine/tables/database_lookup.h"
#include "engine/tables/database_manager.h"
#include "engine/tables/dezi_database.h"
#include "tests/support/error_message.h"
#include "tests/support/temp_folder.h"
#include "tests/tables/database_fixtures.h"

namespace norvane {
namespace {

using testing::MessageOf;
using testing::TFakeDataset;

// The records of a folder table as its files on disk hold them.
std::vector<int32_t> NumbersOnDisk(const std::string& folder, const std::string& table) {
  TDiskPlainFileSystem store(folder);
  TDeziDataManager reader(store, table, true);
  if (!reader.Open()) return {};
  return testing::RecordNumbers(reader);
}

void Append(TDeziDataManager& table, int32_t n) {
  std::vector<uint8_t> image = testing::NumberedRecord(table, n);
  table.aaAddRecord(image.data());
}

// The files of a table that readers opened read-only must be opened again
// for writing when a writer joins, or its changes cannot reach the files.
TEST(TableSharing, AWriterJoiningReadersReopensTheFilesWritable) {
  testing::TTempFolder dir;
  testing::MakeFolderTables(dir.Path(), {{"Article", 2}});
  // A writable component: a manager made from a read-only dataset would be
  // read-only itself, and make every later dataset so.
  TDeziDatabase db;
  db.SetDatabaseName("Folder");
  db.SetDirectory(dir.Path());
  TFakeDataset reader("Folder"), writer("Folder");
  reader.readOnly_ = true;
  ASSERT_EQ(reader.Open("Article"), 0);
  EXPECT_TRUE(reader.Table()->ReadOnly());
  ASSERT_EQ(writer.Open("Article"), 0);
  TDeziDataManager& table = *writer.Table();
  EXPECT_EQ(&table, reader.Table());
  EXPECT_FALSE(table.ReadOnly());
  EXPECT_FALSE(writer.ReadOnly());
  EXPECT_TRUE(reader.ReadOnly());  // its own choice stays
  EXPECT_FALSE(table.FileOpenedReadOnly());
  Append(table, 3);
  writer.Close();
  reader.Close();
  db.SetConnected(false);
  testing::ExpectNothingShared();
  EXPECT_EQ(NumbersOnDisk(dir.Path(), "Article"), (std::vector<int32_t>{1, 2, 3}));
}

TEST(TableSharing, InMemoryAndOtherDatasetsDoNotMix) {
  testing::TTempFolder dir;
  testing::MakeFolderTables(dir.Path(), {{"Article", 1}});
  TFakeDataset onDisk(dir.Path()), inMemory(dir.Path());
  inMemory.inMemory_ = true;
  ASSERT_EQ(onDisk.Open("Article"), 0);
  EXPECT_EQ(onDisk.Table()->FileStoreMode(), 0);
  EXPECT_EQ(MessageOf([&] { inMemory.Open("Article"); }),
            "TDeziDataManager.ConnectDataset - Cannot open dataset in both InMemory and other "
            "modes.");
  EXPECT_FALSE(inMemory.Active());
  EXPECT_EQ(onDisk.Table()->DatasetList().size(), 1u);
  EXPECT_EQ(onDisk.Table()->DatabaseManager()->Datasets().size(), 1u);

  // A dataset that changes its mind while open makes the mix detectable.
  TFakeDataset second(dir.Path());
  ASSERT_EQ(second.Open("Article"), 0);
  second.inMemory_ = true;
  EXPECT_EQ(MessageOf([&] { onDisk.Table()->DetectFileStoreMode(); }),
            "TDeziDataManager.DetectFileStoreMode - Cannot open table in both InMemory and not "
            "InMemory modes.");
  second.inMemory_ = false;
  second.Close();
  onDisk.Close();

  TDeziDatabaseManager& manager = aaGetDatabaseManager(dir.Path());
  TDeziDataManager& lonely = aaGetDataManager("Article", &manager);
  EXPECT_EQ(MessageOf([&] { lonely.DetectFileStoreMode(); }),
            "TDeziDataManager.DetectFileStoreMode - there is no datasets, datasetList.count = 0");
  TEngineRegistries::Instance().DestroyDataManager(&lonely);
  aaReleaseDatabaseManager(&manager);
  testing::ExpectNothingShared();
}

TEST(TableSharing, OpenFailuresGiveTheirCodesAndLeaveNothing) {
  testing::TTempFolder dir;
  {
    TDiskPlainFileSystem store(dir.Path());
    TDeziDataManager table(store, "Secret", false);
    table.SetPassword(TSecret("key"));
    table.CreateTable(testing::CatalogueFields(), 0, true);
    Append(table, 1);  // a record for a wrong password to fail on
    table.CloseTable();
  }
  struct Case { const char* table; const char* password; int32_t result; };
  const Case kCases[] = {{"Missing", "", -1}, {"Secret", "", -3}, {"Secret", "nope", -3}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.table) + "/" + c.password);
    TFakeDataset dataset(dir.Path());
    dataset.password_ = c.password;
    EXPECT_EQ(dataset.Open(c.table), c.result);
    EXPECT_FALSE(dataset.Active());
    testing::ExpectNothingShared();
  }

  TFakeDataset owner(dir.Path()), stranger(dir.Path()), friendly(dir.Path());
  owner.password_ = friendly.password_ = "key";
  stranger.password_ = "guess";
  ASSERT_EQ(owner.Open("Secret"), 0);
  EXPECT_EQ(MessageOf([&] { stranger.Open("Secret"); }),
            "TDeziDataManager.ConnectDataset - Inavlid password for table \"Secret\"");
  EXPECT_EQ(owner.Table()->DatasetList().size(), 1u);
  ASSERT_EQ(friendly.Open("Secret"), 0);
  EXPECT_EQ(owner.Table()->DatasetList().size(), 2u);
  owner.Close();
  friendly.Close();
  testing::ExpectNothingShared();
}

// A memory-mode table of a folder database reads a copy of the files made
// when it opens; only saving puts its changes into the folder.
TEST(TableSharing, AMemoryTableIsCopiedInAndSavedBack) {
  testing::TTempFolder dir;
  testing::MakeFolderTables(dir.Path(), {{"Article", 3}});
  TDeziDatabase db;
  db.SetDatabaseName("Folder");
  db.SetDirectory(dir.Path());
  TFakeDataset dataset("Folder");
  dataset.inMemory_ = true;
  ASSERT_EQ(dataset.Open("Article"), 0);
  TDeziDataManager& table = *dataset.Table();
  EXPECT_EQ(table.FileStoreMode(), smMemory);
  EXPECT_EQ(testing::RecordNumbers(table), (std::vector<int32_t>{1, 2, 3}));
  Append(table, 4);
  table.FlushBuffers();
  EXPECT_EQ(NumbersOnDisk(dir.Path(), "Article"), (std::vector<int32_t>{1, 2, 3}));
  table.SaveToDefaultStore();
  EXPECT_EQ(NumbersOnDisk(dir.Path(), "Article"), (std::vector<int32_t>{1, 2, 3, 4}));

  // A save that cannot happen is reported, not passed over: here a folder
  // stands where the index file has to be written.
  Append(table, 5);
  ASSERT_TRUE(DeleteFileByName(dir / "Article.idx"));
  ASSERT_TRUE(CreateFolder(dir / "Article.idx"));
  EXPECT_NE(MessageOf([&] { table.SaveToDefaultStore(); }), "(no error)");
  dataset.Close();
  db.SetConnected(false);
  testing::ExpectNothingShared();
}

// A container held in memory already holds every file in memory: its
// memory-mode tables use it directly, with no second copy.
TEST(TableSharing, AMemoryTableOfAContainerInMemoryUsesTheContainer) {
  testing::TTempFolder dir;
  const std::string file = dir / "mem.adb";
  testing::MakeCatalogue(file, {{"Article", 2}});
  TDeziDatabase db;
  db.SetDatabaseName("Mem");
  db.SetDatabaseFileName(file);
  db.SetInMemory(true);
  db.SetConnected(true);
  const size_t stores = TPFSManager::Instance().OpenStoreCount();
  TFakeDataset dataset("Mem");
  dataset.inMemory_ = true;
  ASSERT_EQ(dataset.Open("Article"), 0);
  EXPECT_EQ(dataset.Table()->FileStoreMode(), smMemory);
  EXPECT_EQ(TPFSManager::Instance().OpenStoreCount(), stores);  // no memory store made
  Append(*dataset.Table(), 3);
  dataset.Close();
  TFakeDataset again("Mem");
  ASSERT_EQ(again.Open("Article"), 0);
  EXPECT_EQ(testing::RecordNumbers(*again.Table()), (std::vector<int32_t>{1, 2, 3}));
  again.Close();
  db.SetConnected(false);
  // The container stays in memory for the process; let it go.
  TPFSManager::Instance().ReleasePFS(ExpandFileName(file), true);
  testing::ExpectNothingShared();
}

}  // namespace
}  // namespace norvane
