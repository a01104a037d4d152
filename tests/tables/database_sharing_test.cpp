// Sharing among components and datasets: one database manager per database
// and one table manager per table, found by component name, folder or
// container path; read-only and in-memory sharing rules; and the last user
// to leave destroys what it shared.
#include <gtest/gtest.h>

#include <cstdlib>

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

TEST(DatabaseSharing, ComponentsAndDatasetsOfOneCatalogueShareItsManagers) {
  testing::TTempFolder dir;
  const std::string file = dir / "cat.adb";
  testing::MakeCatalogue(file, {{"Article", 3}, {"Razdel", 2}});
  const size_t stores = TPFSManager::Instance().OpenStoreCount();
  TDeziDatabase first, second;
  first.SetDatabaseName("Cat");
  first.SetDatabaseFileName(file);
  second.SetDatabaseName("Same");
  second.SetDatabaseFileName(dir.Path() + "./cat.adb");
  first.SetConnected(true);
  second.SetConnected(true);
  ASSERT_NE(first.Manager(), nullptr);
  EXPECT_EQ(first.Manager(), second.Manager());
  EXPECT_EQ(TEngineRegistries::Instance().DatabaseManagers().size(), 1u);

  struct Case { const char* name; const char* file; const char* table; };
  const Case kDatasets[] = {{"Cat", "", "Article"},
                            {"SAME", "", "article"},
                            {"", "", "Razdel"},  // by file name, below
                            {"cat", "", "RAZDEL"}};
  std::vector<std::unique_ptr<TFakeDataset>> datasets;
  for (const Case& c : kDatasets) {
    datasets.push_back(std::make_unique<TFakeDataset>(c.name, *c.name ? "" : file));
    ASSERT_EQ(datasets.back()->Open(c.table), 0) << c.name;
  }
  EXPECT_EQ(TEngineRegistries::Instance().DatabaseManagers().size(), 1u);
  EXPECT_EQ(TEngineRegistries::Instance().DataManagers().size(), 2u);
  EXPECT_EQ(datasets[0]->Table(), datasets[1]->Table());
  EXPECT_EQ(datasets[2]->Table(), datasets[3]->Table());
  EXPECT_NE(datasets[0]->Table(), datasets[2]->Table());
  EXPECT_EQ(datasets[0]->Table()->DatabaseManager(), first.Manager());
  EXPECT_EQ(first.Manager()->Datasets().size(), 4u);

  // A record posted through one dataset's table is the other's.
  TDeziDataManager& article = *datasets[1]->Table();
  std::vector<uint8_t> image = testing::NumberedRecord(article, 4);
  article.aaAddRecord(image.data());
  EXPECT_EQ(testing::RecordNumbers(*datasets[0]->Table()), (std::vector<int32_t>{1, 2, 3, 4}));

  // Managers go with their last user, not before.
  datasets[0]->Close();
  EXPECT_EQ(TEngineRegistries::Instance().DataManagers().size(), 2u);
  datasets[1]->Close();
  EXPECT_EQ(TEngineRegistries::Instance().DataManagers().size(), 1u);
  datasets[2]->Close();
  datasets[3]->Close();
  EXPECT_TRUE(TEngineRegistries::Instance().DataManagers().empty());
  EXPECT_EQ(TEngineRegistries::Instance().DatabaseManagers().size(), 1u);
  first.SetConnected(false);
  EXPECT_EQ(TEngineRegistries::Instance().DatabaseManagers().size(), 1u);
  second.SetConnected(false);
  testing::ExpectNothingShared();
  EXPECT_EQ(TPFSManager::Instance().OpenStoreCount(), stores);

  // What was posted reached the file when the last user left.
  TFakeDataset again("", file);
  ASSERT_EQ(again.Open("Article"), 0);
  EXPECT_EQ(testing::RecordNumbers(*again.Table()), (std::vector<int32_t>{1, 2, 3, 4}));
}

TEST(DatabaseSharing, DisconnectingAComponentClosesTheDatasetsThatUseIt) {
  testing::TTempFolder dir;
  testing::MakeFolderTables(dir.Path(), {{"Article", 1}});
  TDeziDatabase db;
  db.SetDatabaseName("Folder");
  db.SetDirectory(dir.Path());
  TFakeDataset user("Folder"), byPath(dir.Path());
  ASSERT_EQ(user.Open("Article"), 0);  // connects the component it names
  EXPECT_TRUE(db.Connected());
  ASSERT_EQ(byPath.Open("Article"), 0);
  EXPECT_EQ(user.Table(), byPath.Table());
  db.SetConnected(false);
  EXPECT_EQ(user.closedByDisconnect_, 1);
  EXPECT_FALSE(user.Active());
  EXPECT_TRUE(byPath.Active());  // names the folder, not the component
  byPath.Close();
  testing::ExpectNothingShared();
}

TEST(DatabaseSharing, AReadOnlyDatabaseRefusesAWritableComponent) {
  testing::TTempFolder dir;
  const std::string file = dir / "ro.adb";
  testing::MakeCatalogue(file, {{"Article", 1}});
  TDeziDatabase reader, writer, alsoReader;
  for (TDeziDatabase* db : {&reader, &writer, &alsoReader}) db->SetDatabaseFileName(file);
  reader.SetReadOnly(true);
  alsoReader.SetReadOnly(true);
  reader.SetConnected(true);
  TDeziDatabaseManager* manager = reader.Manager();
  ASSERT_NE(manager, nullptr);
  EXPECT_TRUE(manager->ReadOnly());
  EXPECT_EQ(MessageOf([&] { writer.SetConnected(true); }),
            "TDeziDatabaseManager.ConnectDatabase - database is already open in read-only mode.");
  EXPECT_FALSE(writer.Connected());
  alsoReader.SetConnected(true);
  EXPECT_EQ(alsoReader.Manager(), manager);

  // A dataset registering with a read-only database becomes read-only.
  TFakeDataset dataset("", file);
  ASSERT_EQ(dataset.Open("Article"), 0);
  EXPECT_TRUE(dataset.ReadOnly());
  EXPECT_TRUE(dataset.Table()->ReadOnly());
  dataset.Close();
  reader.SetConnected(false);
  alsoReader.SetConnected(false);
  testing::ExpectNothingShared();
}

TEST(DatabaseSharing, AnotherInMemoryValueIsRefused) {
  testing::TTempFolder dir;
  const std::string file = dir / "m.adb";
  testing::MakeCatalogue(file, {{"Article", 1}});
  TDeziDatabase onDisk, inMemory;
  onDisk.SetDatabaseFileName(file);
  inMemory.SetDatabaseFileName(file);
  inMemory.SetInMemory(true);
  onDisk.SetConnected(true);
  EXPECT_EQ(MessageOf([&] { inMemory.SetConnected(true); }),
            "TDeziDatabaseManager.ConnectDatabase - database is already open with other "
            "in-memory mode value.");
  EXPECT_FALSE(inMemory.Connected());
  EXPECT_EQ(TEngineRegistries::Instance().DatabaseManagers().size(), 1u);
  onDisk.SetConnected(false);
  testing::ExpectNothingShared();
}

// A name no component has is a folder when one exists, else a container.
TEST(DatabaseSharing, ADatasetsNameIsAFolderWhenOneExistsElseAContainerFile) {
  testing::TTempFolder dir;
  const std::string folder = dir / "tables";
  ASSERT_TRUE(CreateFolder(folder));
  testing::MakeFolderTables(folder, {{"Article", 2}});
  const std::string file = dir / "cat.adb";
  testing::MakeCatalogue(file, {{"Article", 3}});
  struct Case {
    std::string name;
    int32_t result;
    int32_t mode;
    TDatabaseKind kind;
    size_t records;
  };
  const Case kCases[] = {{folder, 0, smDisk, TDatabaseKind::Folder, 2},
                         {file, 0, smContainer, TDatabaseKind::ContainerFile, 3},
                         {dir / "neither", -1, smContainer, TDatabaseKind::ContainerFile, 0}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    TFakeDataset dataset(c.name);
    TDeziDatabaseManager& manager = aaGetDatabaseManager(c.name, &dataset);
    EXPECT_EQ(manager.DefaultMode(), c.mode);
    EXPECT_EQ(manager.Kind(), c.kind);
    EXPECT_EQ(manager.Name(), ExpandFileName(c.name));
    aaReleaseDatabaseManager(&manager);
    ASSERT_EQ(dataset.Open("Article"), c.result);
    if (c.result == 0) {
      EXPECT_EQ(testing::RecordNumbers(*dataset.Table()).size(), c.records);
    }
    dataset.Close();
    testing::ExpectNothingShared();
  }
}

// On Linux "cat.adb" and "CAT.adb" are two files: they must not share a
// manager (or a store). Names of components still match without case.
TEST(DatabaseSharing, PathsDifferingInCaseAreDifferentDatabases) {
  testing::TTempFolder dir;
  const std::string lower = dir / "cat.adb";
  const std::string upper = dir / "CAT.adb";
  testing::MakeCatalogue(lower, {{"Article", 2}});
  testing::MakeCatalogue(upper, {{"Article", 5}});
  TFakeDataset a("", lower), b("", upper);
  ASSERT_EQ(a.Open("Article"), 0);
  ASSERT_EQ(b.Open("Article"), 0);
  EXPECT_NE(a.Table()->DatabaseManager(), b.Table()->DatabaseManager());
  EXPECT_EQ(testing::RecordNumbers(*a.Table()).size(), 2u);
  EXPECT_EQ(testing::RecordNumbers(*b.Table()).size(), 5u);
  a.Close();
  b.Close();

  TDeziDatabase db;
  db.SetDatabaseName("Catalogue");
  db.SetDatabaseFileName(upper);
  EXPECT_EQ(aaFindDatabase("CATALOGUE"), &db);
  EXPECT_EQ(aaFindDatabase(upper), &db);
  EXPECT_EQ(aaFindDatabase(lower), nullptr);
  TFakeDataset byName("catalogue");
  ASSERT_EQ(byName.Open("Article"), 0);
  EXPECT_EQ(testing::RecordNumbers(*byName.Table()).size(), 5u);
  byName.Close();
  db.SetConnected(false);
  testing::ExpectNothingShared();
}

// At exit the registries go in an order in which every object still
// reaches what it needs: the open dataset is closed, its table flushed
// through the container store, and the container released and closed.
TEST(EngineRegistriesDeathTest, AtExitOpenTablesReachTheirFiles) {
  testing::TTempFolder dir;
  const std::string file = dir / "exit.adb";
  testing::MakeCatalogue(file, {{"Article", 2}});
  EXPECT_EXIT(
      {
        auto* db = new TDeziDatabase;  // left for the exit, as a program's own would be
        db->SetDatabaseName("Cat");
        db->SetDatabaseFileName(file);
        auto* dataset = new TFakeDataset("Cat");
        if (dataset->Open("Article") != 0) std::_Exit(2);
        std::vector<uint8_t> image = testing::NumberedRecord(*dataset->Table(), 3);
        dataset->Table()->aaAddRecord(image.data());
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  TFakeDataset reader("", file);
  ASSERT_EQ(reader.Open("Article"), 0);
  EXPECT_EQ(testing::RecordNumbers(*reader.Table()), (std::vector<int32_t>{1, 2, 3}));
  reader.Close();
  testing::ExpectNothingShared();
}

TEST(DatabaseSharing, TableManagerLookupNeedsADatabaseManager) {
  EXPECT_EQ(MessageOf([] { aaGetDataManager("Article", nullptr); }),
            "aaGetDataManager - nil pointer to DatabaseManager.");
}

}  // namespace
}  // namespace norvane
