// The database component: its properties and their setters, connecting and
// its refusals, the encryption flag, creating container files and moving an
// open container between disk and memory.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/container/esfs_plain_file_system.h"
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

TEST(ProgressProcess, CodesRunFromImportToAddingRecords) {
  struct Case { TaaProgressProcess process; int32_t code; };
  const Case kCodes[] = {{aappImport, 0},           {aappExport, 1},
                         {aappRestructure, 2},      {aappRepair, 3},
                         {aappChangeCompression, 4}, {aappCompactDB, 5},
                         {aappRepairDB, 6},         {aappChangeEncryption, 7},
                         {aappChangeEncryptionDB, 8}, {aappAddingRecords, 9}};
  for (const Case& c : kCodes) EXPECT_EQ(static_cast<int32_t>(c.process), c.code);
}

TEST(DeziDatabase, StartsEmptyAndDisconnected) {
  TDeziDatabase db;
  EXPECT_FALSE(db.Connected());
  EXPECT_EQ(db.DatabaseFileName(), "");
  EXPECT_EQ(db.DatabaseName(), "");
  EXPECT_EQ(db.Directory(), "");
  EXPECT_EQ(db.Password(), "");
  EXPECT_FALSE(db.InMemory());
  EXPECT_FALSE(db.ReadOnly());
  EXPECT_FALSE(db.Encrypted());
  EXPECT_FALSE(static_cast<bool>(db.OnProgress));
}

// Each name setter disconnects first; a non-empty place clears the other.
TEST(DeziDatabase, ChangingANameDisconnectsAndAPlaceClearsTheOther) {
  testing::TTempFolder dir;
  const std::string file = dir / "cat.adb";
  testing::MakeCatalogue(file, {{"A", 1}});
  struct Case {
    const char* what;
    void (*change)(TDeziDatabase&, const std::string& folder);
    std::string fileAfter;  // "=" keeps the file name
    bool directoryAfter;
  };
  const Case kCases[] = {
      {"name", [](TDeziDatabase& db, const std::string&) { db.SetDatabaseName("Other"); }, "=",
       false},
      {"file", [](TDeziDatabase& db, const std::string&) { db.SetDatabaseFileName("x.adb"); },
       "x.adb", false},
      {"directory", [](TDeziDatabase& db, const std::string& f) { db.SetDirectory(f); }, "", true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    TDeziDatabase db;
    db.SetDatabaseName("Cat");
    db.SetDatabaseFileName(file);
    db.SetConnected(true);
    ASSERT_TRUE(db.Connected());
    c.change(db, dir.Path());
    EXPECT_FALSE(db.Connected());
    EXPECT_EQ(db.DatabaseFileName(), c.fileAfter == "=" ? file : c.fileAfter);
    EXPECT_EQ(!db.Directory().empty(), c.directoryAfter);
    testing::ExpectNothingShared();
  }
  TDeziDatabase db;
  db.SetDirectory(dir.Path());
  db.SetDatabaseFileName("");  // an empty place clears nothing
  EXPECT_EQ(db.Directory(), dir.Path());
}

TEST(DeziDatabase, ConnectingWithNoPlaceDoesNothing) {
  TDeziDatabase db;
  db.SetDatabaseName("Nowhere");
  db.SetConnected(true);
  EXPECT_FALSE(db.Connected());
  EXPECT_EQ(db.Manager(), nullptr);
  testing::ExpectNothingShared();
}

TEST(DeziDatabase, AMissingFileOrFolderIsNamedInTheMessage) {
  testing::TTempFolder dir;
  const std::string folder = dir / "absent";
  const std::string file = dir / "absent.adb";
  TDeziDatabase byFolder;
  byFolder.SetDirectory(folder);
  EXPECT_EQ(MessageOf([&] { byFolder.SetConnected(true); }),
            "TDeziDatabase.SetConnected - Directory \"" + folder + "\" doesn't exist.");
  TDeziDatabase byFile;
  byFile.SetDatabaseFileName(file);
  EXPECT_EQ(MessageOf([&] { byFile.SetConnected(true); }),
            "TDeziDatabase.SetConnected - File \"" + file + "\" doesn't exist.");
  EXPECT_FALSE(byFolder.Connected());
  EXPECT_FALSE(byFile.Connected());
  testing::ExpectNothingShared();
}

TEST(DeziDatabase, AFailedConnectionLeavesNoManagerAndNoStore) {
  testing::TTempFolder dir;
  const std::string file = dir / "locked.adb";
  testing::MakeCatalogue(file, {{"A", 2}}, "right");
  const size_t stores = TPFSManager::Instance().OpenStoreCount();
  TDeziDatabase db;
  db.SetDatabaseFileName(file);
  db.SetPassword("wrong");
  EXPECT_EQ(MessageOf([&] { db.SetConnected(true); }),
            "TDeziDatabaseManager.SetConnected - Invalid password or corrupted database file.");
  EXPECT_FALSE(db.Connected());
  EXPECT_EQ(db.Manager(), nullptr);
  EXPECT_EQ(aaFindDatabaseManager(file), nullptr);
  EXPECT_EQ(TPFSManager::Instance().OpenStoreCount(), stores);
  testing::ExpectNothingShared();

  db.SetPassword("right");
  db.SetConnected(true);
  EXPECT_TRUE(db.Connected());
  EXPECT_EQ(db.Password(), "right");  // kept: the container is enciphered
  db.SetConnected(false);
  EXPECT_EQ(TPFSManager::Instance().OpenStoreCount(), stores);
}

TEST(DeziDatabase, ThePasswordOfAContainerWithoutCipherIsCleared) {
  testing::TTempFolder dir;
  const std::string file = dir / "open.adb";
  testing::MakeCatalogue(file, {{"A", 1}});
  TDeziDatabase db;
  db.SetDatabaseFileName(file);
  db.SetPassword("anything");
  db.SetConnected(true);
  EXPECT_TRUE(db.Connected());
  EXPECT_EQ(db.Password(), "");
}

TEST(DeziDatabase, EncryptedComesFromTheOpenContainerOrTheFileHeader) {
  struct Case { const char* password; bool encrypted; };
  const Case kCases[] = {{"", false}, {"secret", true}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.password);
    testing::TTempFolder dir;
    const std::string file = dir / "e.adb";
    TDeziDatabase db;
    db.SetDatabaseFileName(file);
    EXPECT_FALSE(db.Encrypted());  // no file yet
    testing::MakeCatalogue(file, {{"A", 1}}, c.password);
    EXPECT_EQ(db.Encrypted(), c.encrypted);  // from the header
    db.SetPassword(c.password);
    db.SetConnected(true);
    EXPECT_EQ(db.Encrypted(), c.encrypted);  // from the container
    db.SetConnected(false);
  }
}

TEST(DeziDatabase, CreateDatabaseRefusesAndReportsWithItsMessages) {
  testing::TTempFolder dir;
  TDeziDatabase db;
  EXPECT_EQ(MessageOf([&] { db.CreateDatabase(); }), "DatabaseFileName property is blank.");

  const std::string nowhere = dir / "no/such/cat.adb";
  EXPECT_EQ(MessageOf([&] { db.CreateDatabase(nowhere); }),
            "TDeziDatabaseManager.CreateDatabase - Cannot create database file \"" + nowhere +
                "\" as the directory \"" + dir.Path() + "no/such/\" does not exist");
  EXPECT_EQ(db.DatabaseFileName(), nowhere);  // set first
  testing::ExpectNothingShared();

  const std::string file = dir / "new.adb";
  db.CreateDatabase(file);
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(db.Connected());
  testing::ExpectNothingShared();

  db.SetConnected(true);
  EXPECT_EQ(MessageOf([&] { db.CreateDatabase(); }),
            "CreateDatabase error. Database is connected.");
  db.SetConnected(false);

  {
    bool readOnly = false;
    auto store = TPFSManager::Instance().GetPFSHandle(file, "", false, readOnly, smContainer);
    ASSERT_NE(store, nullptr);
    testing::MakeTable(*store, "A", 1);
  }
  // The dataset connects the first component naming its file (db); another
  // component of the same file finds the manager with the dataset.
  testing::TFakeDataset reader("", file);
  ASSERT_EQ(reader.Open("A"), 0);
  EXPECT_TRUE(db.Connected());
  TDeziDatabase creator;
  creator.SetDatabaseFileName(file);
  EXPECT_EQ(MessageOf([&] { creator.CreateDatabase(); }),
            "TDeziDatabaseManager.CreateDatabase - Some datasets are connected.");
  EXPECT_FALSE(creator.Connected());
  reader.Close();
  db.SetConnected(false);
  testing::ExpectNothingShared();
}

TEST(DeziDatabase, AContainerThatCannotBeMadeIsReported) {
  testing::TTempFolder dir;
  // The name leads nowhere that can be written: a link into a missing folder.
  const std::string file = dir / "dangling.adb";
  std::filesystem::create_symlink(dir / "missing/target.adb", file);
  TDeziDatabase db;
  EXPECT_EQ(MessageOf([&] { db.CreateDatabase(file); }),
            "TDeziDatabaseManager.CreateDatabase - Cannot create database file \"" + file + "\"");
  EXPECT_FALSE(db.Connected());
  testing::ExpectNothingShared();

  // A folder of that name is a folder database: there is no file to make.
  const std::string folder = dir / "folder.adb";
  ASSERT_TRUE(CreateFolder(folder));
  db.CreateDatabase(folder);
  EXPECT_FALSE(FileExists(folder));
  testing::ExpectNothingShared();
}

TEST(DeziDatabase, InMemoryMovesTheOpenContainerAndIsOnlyStoredWhileClosed) {
  testing::TTempFolder dir;
  const std::string file = dir / "m.adb";
  testing::MakeCatalogue(file, {{"A", 3}});
  TDeziDatabase db;
  db.SetDatabaseFileName(file);
  db.SetInMemory(true);
  EXPECT_TRUE(db.InMemory());
  EXPECT_EQ(db.Manager(), nullptr);
  db.SetInMemory(false);
  db.SetConnected(true);
  auto container = [&]() -> TESFSPlainFileSystem& {
    return static_cast<TESFSPlainFileSystem&>(*db.Manager()->Store(smContainer));
  };
  EXPECT_FALSE(container().Container().PageFile().Stream().InMemory());
  db.SetInMemory(true);
  EXPECT_TRUE(db.InMemory());
  EXPECT_TRUE(db.Manager()->InMemory());
  EXPECT_TRUE(container().Container().PageFile().Stream().InMemory());
  db.SetInMemory(false);
  EXPECT_FALSE(container().Container().PageFile().Stream().InMemory());
  db.SetConnected(false);
  testing::ExpectNothingShared();
}

}  // namespace
}  // namespace norvane
