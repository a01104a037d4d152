// Whole tables through the table component, in a folder database: creating
// over an old table (which a failing definition leaves whole), deleting,
// renaming over idle and open tables and with a rename failing at every
// step, saving an in-memory table, temporary tables, asked-for row
// identifiers, and the cursor's index additions and deletions.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "engine/container/disk_plain_file_system.h"
#include "engine/tables/database_error.h"
#include "engine/tables/dezi_database.h"
#include "engine/tables/dezi_table.h"
#include "engine/tables/field_types.h"
#include "tests/support/error_message.h"
#include "tests/tables/folder_tables.h"

namespace norvane {
namespace {

using testing::MessageOf;

class TableMaintenance : public testing::FolderTables {
 protected:
  // "name" (text) and "No" (integer) with records "a".."" as given.
  void MakeTable(const std::string& name, const std::vector<std::string>& records) {
    auto table = Table(name);
    table->FieldDefs() = {{"Name", ftString, 20, false}, {"No", ftInteger, 0, false}};
    table->CreateTable();
    table->Open();
    int32_t no = 0;
    for (const std::string& record : records) table->AppendRecord({record, ++no});
  }
  std::vector<std::string> Names(const std::string& table) {
    auto t = Table(table);
    t->Open();
    std::vector<std::string> names;
    for (t->First(); !t->Eof(); t->Next()) names.push_back(t->FieldByName("Name").AsString());
    return names;
  }
  // Every file of the folder with its bytes.

};

TEST_F(TableMaintenance, CreatingReplacesTheOldTableOnlyWithAWholeNewOne) {
  MakeTable("Art", {"x", "y"});
  const auto before = Files();
  // Each definition fails after the old table could have been touched; the
  // old table stays byte for byte and nothing new is left beside it.
  const struct {
    const char* Name;
    std::vector<TFieldDef> Fields;
    std::vector<TIndexDef> Indexes;
    std::string Message;
  } failures[] = {
      {"duplicate field", {{"A", ftInteger, 0, false}, {"a", ftString, 5, false}}, {},
       "Error in TDeziDataManager.CreateTable - duplicate field name \"a\"."},
      {"index over no field", {{"A", ftInteger, 0, false}}, {{"ByB", "B", 0, "", ""}},
       "Error in TDeziDataManager.InternalGetFieldNo - field \"B\" not found!"},
      {"index over a memo", {{"M", ftMemo, 0, false}}, {{"ByM", "M", 0, "", ""}},
       "Error in TDeziDataManager.InternalAddIndex - unsupported field type!"},
  };
  for (const auto& failure : failures) {
    SCOPED_TRACE(failure.Name);
    auto table = Table("Art");
    table->FieldDefs() = failure.Fields;
    table->IndexDefs() = failure.Indexes;
    EXPECT_EQ(MessageOf([&] { table->CreateTable(); }), failure.Message);
    EXPECT_EQ(Files(), before);
  }
  auto table = Table("Art");
  table->FieldDefs() = {{"Title", ftString, 30, false}, {"Key", ftInteger, 0, false}};
  table->IndexDefs() = {{"Primary", "Key", ixPrimary, "", ""}, {"@skipped", "Title", 0, "", ""},
                        {"ByTitle", "Title", ixDescending, "", ""}};
  table->SetAutoIndexes(false);
  table->CreateTable();
  EXPECT_EQ((FileNames()), (std::set<std::string>{"Art.dat", "Art.idx"}));
  table->Open();
  EXPECT_EQ(table->RecordCount(), 0);
  // The single integer field of the primary index is the row identifier.
  EXPECT_EQ(table->Table()->Header().RowIdName, "Key");
  std::vector<std::string> indexes;
  for (const TIndexDef& index : table->IndexDefs()) indexes.push_back(index.Name);
  EXPECT_EQ(indexes, (std::vector<std::string>{"@Key", "Primary", "ByTitle"}));
}

TEST_F(TableMaintenance, CreationChecks) {
  MakeTable("Art", {"x"});
  auto open = Table("Art");
  open->Open();
  auto other = Table("Art");
  other->FieldDefs() = {{"A", ftInteger, 0, false}};
  EXPECT_EQ(MessageOf([&] { open->CreateTable(); }),
            "TDeziDataSet.InternalCreateTable - Cannot perform this operation on an open DataSet.");
  EXPECT_EQ(MessageOf([&] { other->CreateTable(); }), "TDeziDataSet.InternalCreateTable - Table is busy, table Art");
  open->Close();
  other->SetBLOBBlockSize(0);
  EXPECT_EQ(MessageOf([&] { other->CreateTable(); }), "TDeziDataSet.InternalCreateTable - BlobBlockSize must be > 0");
  EXPECT_EQ(Names("Art"), (std::vector<std::string>{"x"}));
}

TEST_F(TableMaintenance, CreatingInAContainerThatIsNotThereMakesIt) {
  const std::string file = dir / "new.adb";
  TDeziTable table;
  table.SetDatabaseFileName(file);
  table.SetTableName("Art");
  table.FieldDefs() = {{"Name", ftString, 20, false}};
  table.CreateTable();
  EXPECT_TRUE(std::filesystem::exists(file));
  table.Open();
  table.AppendRecord({"in the container"});
  table.Close();
  table.Open();
  EXPECT_EQ(table.FieldByName("Name").AsString(), "in the container");
}

TEST_F(TableMaintenance, DeletingTakesEveryFileAndRefusesABusyTable) {
  MakeTable("Art", {"x"});
  auto reader = Table("Art");
  reader->Open();
  auto table = Table("Art");
  EXPECT_EQ(MessageOf([&] { table->DeleteTable(); }), "TDeziDataSet.InternalDeleteTable - Table is busy, table Art");
  EXPECT_EQ(MessageOf([&] { reader->DeleteTable(); }), "Error in TDeziDataset.InternalDeleteTable - table is opened.");
  reader->Close();
  testing::WriteFileBytes(dir / "Art.jnl", {1, 2, 3});
  table->DeleteTable();
  EXPECT_TRUE(FileNames().empty());
  table->DeleteTable();  // nothing left to delete is no failure
  EXPECT_FALSE(table->Exists());
}

TEST_F(TableMaintenance, RenamingOverAnOpenTableIsRefusedAndChangesNothing) {
  MakeTable("Art", {"a"});
  MakeTable("Old", {"o"});
  auto open = Table("Old");
  open->Open();
  const auto before = Files();
  auto table = Table("Art");
  EXPECT_EQ(MessageOf([&] { table->RenameTable("Old"); }), "TDeziDataSet.InternalRenameTable - Table is busy, table Old");
  EXPECT_EQ(table->TableName(), "Art");
  EXPECT_EQ(Files(), before);
  open->Close();
  // Idle, it is replaced whole: none of its files stays behind.
  {
    auto blobs = Table("Old");
    blobs->FieldDefs() = {{"Name", ftString, 20, false}, {"Notes", ftMemo, 0, false}};
    blobs->CreateTable();
  }
  table->RenameTable("Old.dat");
  EXPECT_EQ(table->TableName(), "Old");
  EXPECT_EQ(FileNames(), (std::set<std::string>{"Old.dat", "Old.idx"}));
  EXPECT_EQ(Names("Old"), (std::vector<std::string>{"a"}));
}

// A store whose n-th rename fails: the rename of a whole table must come
// back to where it started from every step.
class TFailingRenames : public TDiskPlainFileSystem {
 public:
  TFailingRenames(const std::string& root, int failAt) : TDiskPlainFileSystem(root), failAt_(failAt) {}
  bool RenameFile(const std::string& from, const std::string& to) override {
    if (++renames_ == failAt_) return false;
    return TDiskPlainFileSystem::RenameFile(from, to);
  }
  int renames_ = 0;

 private:
  int failAt_;
};

TEST_F(TableMaintenance, ARenameFailingAtAnyStepPutsEveryFileBack) {
  {
    auto table = Table("Art");
    table->FieldDefs() = {{"Name", ftString, 20, false}, {"Notes", ftMemo, 0, false}};
    table->CreateTable();
  }
  MakeTable("Old", {"o"});
  const auto before = Files();
  int steps = 0;
  {
    // How many renames a whole rename takes: the target's two files step
    // aside, then the source's four move.
    TFailingRenames counting(dir.Path(), 0);
    TDeziDataManager::RenameTable(counting, "Art", "Old");
    steps = counting.renames_;
    TDeziDataManager::RenameTable(counting, "Old", "Art");
    MakeTable("Old", {"o"});
  }
  ASSERT_EQ(steps, 6);
  const auto restored = Files();
  for (int failAt = 1; failAt <= steps; ++failAt) {
    SCOPED_TRACE(failAt);
    TFailingRenames store(dir.Path(), failAt);
    EXPECT_NE(MessageOf([&] { TDeziDataManager::RenameTable(store, "Art", "Old"); }), "");
    EXPECT_EQ(FileNames(), (std::set<std::string>{"Art.bdf", "Art.bif", "Art.dat", "Art.idx", "Old.dat", "Old.idx"}));
    EXPECT_EQ(Files().at("Art.dat"), before.at("Art.dat"));
    EXPECT_EQ(Files().at("Old.dat"), restored.at("Old.dat"));
  }
}

TEST_F(TableMaintenance, AnInMemoryTableReachesTheFolderOnlyWhenSaved) {
  // The folder through a component: a bare name with the flag set would
  // name a database kept only in memory.
  TDeziDatabase database;
  database.SetDatabaseName("Sections");
  database.SetDirectory(dir.Path());
  auto table = Table("Mem");
  table->SetDatabaseName("Sections");
  EXPECT_EQ(MessageOf([&] { table->SaveTable(); }), "TDeziDataset.InternalSaveTable - table is not opened.");
  table->SetInMemory(true);
  table->FieldDefs() = {{"Name", ftString, 20, false}, {"No", ftInteger, 0, false}};
  table->Open();  // made in memory from the definitions
  table->AppendRecord({"kept", 1});
  EXPECT_TRUE(FileNames().empty());
  table->SaveTable();
  EXPECT_EQ(FileNames(), (std::set<std::string>{"Mem.dat", "Mem.idx"}));
  table->Close();
  table->SetInMemory(false);
  EXPECT_EQ(Names("Mem"), (std::vector<std::string>{"kept"}));
  table->Open();
  EXPECT_EQ(MessageOf([&] { table->SaveTable(); }), "TDeziDataset.InternalSaveTable - table is not in in-memory mode.");
}

TEST_F(TableMaintenance, TemporaryTablesLiveInMemoryUnderNamesOfTheirOwn) {
  std::set<std::string> names;
  std::vector<std::unique_ptr<TDeziTable>> tables;
  for (int i = 0; i < 3; ++i) {
    tables.push_back(Table("ignored"));
    TDeziTable& table = *tables.back();
    table.FieldDefs() = {{"V", ftString, 8, false}};
    table.CreateTemporaryTable(50);
    EXPECT_EQ(table.TableName().rfind("@TABLE", 0), 0u);
    EXPECT_FALSE(table.Active());
    table.Open();
    EXPECT_TRUE(table.InMemory());
    EXPECT_EQ(table.Table()->RecordsPerPage(), 50);
    EXPECT_EQ(table.Table()->IndexCount(), 1);  // no automatic indexes
    names.insert(table.TableName());
  }
  EXPECT_EQ(names.size(), 3u);
  EXPECT_TRUE(FileNames().empty());
}

TEST_F(TableMaintenance, AskedForIdentifiersAreKeptAndNeverGivenTwice) {
  MakeTable("Art", {});
  auto table = Table("Art");
  table->Open();
  const auto append = [&](int32_t id, const std::string& name) {
    table->Append();
    if (id != 0) table->SetNextRowId(id);
    table->FieldByName("Name").SetAsString(name);
    table->Post();
    return table->FieldByName("id").AsInteger();
  };
  EXPECT_EQ(append(10, "ten"), 10);
  EXPECT_EQ(append(4, "four"), 4);
  EXPECT_EQ(append(0, "next"), 11);  // past the largest, not past the last asked
  table->Append();
  table->SetNextRowId(4);
  EXPECT_NE(MessageOf([&] { table->Post(); }).find("key violation"), std::string::npos);
  table->Cancel();
  EXPECT_EQ(append(0, "after the cancel"), 12);
  EXPECT_EQ(MessageOf([&] { table->SetNextRowId(0); }),
            "Error in TDeziDataSet.SetNextRowId - invalid row identifier 0.");
  table->Close();
  table->Open();
  EXPECT_EQ(table->Table()->Header().LastId, 12);
  EXPECT_EQ(table->RecordCount(), 4);
}

TEST_F(TableMaintenance, TheCursorKeepsItsIndexAcrossIndexChanges) {
  MakeTable("Art", {"b", "a", "c"});
  auto table = Table("Art");
  table->AddIndex("ByNo", "No", ixDescending);  // opens for the call
  EXPECT_FALSE(table->Active());
  table->Open();
  table->AddIndex("ByName", "Name", 0);
  table->SetIndexName("ByName");
  table->First();
  EXPECT_EQ(table->FieldByName("Name").AsString(), "a");
  auto other = Table("Art");
  other->Open();
  EXPECT_EQ(MessageOf([&] { table->DeleteIndex("ByNo"); }), "TDeziDataSet.InternalDeleteTable - Table is busy, table Art");
  other->Close();
  table->DeleteIndex("ByNo");  // an earlier index: the cursor stays on ByName
  EXPECT_EQ(table->IndexName(), "ByName");
  EXPECT_EQ(table->CurrentIndex(), table->Table()->InternalGetIndexNo("ByName"));
  table->DeleteIndex("@name");  // never deleted, and back to the identifier order
  EXPECT_EQ(table->CurrentIndex(), 0);
  table->First();
  EXPECT_EQ(table->FieldByName("Name").AsString(), "b");
  table->Close();
  EXPECT_EQ(MessageOf([&] { table->TDeziDataset::AddIndex("X", "No", 0); }),
            "Error in TDeziDataset.InternalAddIndex - table is not opened.");
}

}  // namespace
}  // namespace norvane
