// The table cursor over a real table in a folder database: datasets sharing
// a table see each other's changes, the order of indexes and of the nearest
// search, positions after deletes, record numbers, bookmarks, key
// violations, posts that find their record by identifier, large values, and
// a field's data link hearing a UI's notices in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/container/disk_plain_file_system.h"
#include "engine/tables/data_source.h"
#include "engine/tables/database_error.h"
#include "engine/tables/database_manager.h"
#include "engine/tables/dezi_database.h"
#include "engine/tables/dezi_table.h"
#include "engine/tables/engine_registries.h"
#include "engine/tables/field_types.h"
#include "tests/support/error_message.h"
#include "tests/support/temp_folder.h"
#include "tests/tables/dataset_test_support.h"

namespace norvane {
namespace {

using testing::MessageOf;

// "Razdel": a section name and a unique number, in a folder database.
class DeziDataset : public ::testing::Test {
 protected:
  void SetUp() override {
    TDiskPlainFileSystem store(dir.Path());
    TDeziDataManager table(store, "Razdel", false);
    table.CreateTable({{"Name", ftString, 30, false}, {"No", ftInteger, 0, false},
                       {"Notes", ftMemo, 0, false}},
                      1, false);
    table.AddIndex("ByNo", "No", true, "", "", ixUnique);
  }

  std::unique_ptr<TDeziDataset> OpenDataset(const std::string& table = "Razdel") {
    auto dataset = std::make_unique<TDeziDataset>();
    dataset->SetDatabaseName(dir.Path());
    dataset->SetTableName(table);
    dataset->Open();
    return dataset;
  }

  static void Add(TDeziDataset& ds, const std::string& name, int32_t no) {
    ds.AppendRecord({name, no});
  }
  static std::vector<std::string> Names(TDeziDataset& ds) {
    std::vector<std::string> names;
    for (ds.First(); !ds.Eof(); ds.Next()) names.push_back(ds.FieldByName("Name").AsString());
    return names;
  }

  testing::TTempFolder dir;
};

// An open dataset switched into memory works on a copy: its changes reach
// the folder only when it switches back, which also drops the copy, so a
// later switch starts from the folder's table again.
TEST_F(DeziDataset, SwitchingInMemoryAndBack) {
  const auto namesOnDisk = [&] {
    TDiskPlainFileSystem store(dir.Path());
    TDeziDataManager table(store, "Razdel", true);
    std::vector<std::string> names;
    if (!table.Open()) return names;
    for (int32_t r = 0; r < table.Header().RecordCount; ++r)
      names.push_back(table.DecodeRecord(table.RecordPtr(r)).Fields[0].Bytes);
    return names;
  };
  // The folder through a database component: a bare name with the flag set
  // would name a database kept only in memory.
  TDeziDatabase database;
  database.SetDatabaseName("Sections");
  database.SetDirectory(dir.Path());
  auto ds = std::make_unique<TDeziDataset>();
  ds->SetDatabaseName("Sections");
  ds->SetTableName("Razdel");
  ds->Open();
  Add(*ds, "disk", 1);
  ds->SetInMemory(true);
  ASSERT_TRUE(ds->Active());
  EXPECT_EQ(ds->Table()->FileStoreMode(), smMemory);
  Add(*ds, "memory", 2);
  ds->Table()->FlushBuffers();
  EXPECT_EQ(namesOnDisk(), (std::vector<std::string>{"disk"}));
  const auto memory = ds->Table()->DatabaseManager()->MemoryCopyStore();
  ASSERT_NE(memory, nullptr);
  EXPECT_TRUE(memory->FileExists("Razdel.dat"));

  ds->SetInMemory(false);
  ASSERT_TRUE(ds->Active());
  EXPECT_NE(ds->Table()->FileStoreMode(), smMemory);
  EXPECT_EQ(Names(*ds), (std::vector<std::string>{"disk", "memory"}));
  for (const char* file : {"Razdel.dat", "Razdel.idx", "Razdel.bif", "Razdel.bdf"})
    EXPECT_FALSE(memory->FileExists(file)) << file;
  ds->Close();
  EXPECT_EQ(namesOnDisk(), (std::vector<std::string>{"disk", "memory"}));
  // Closed, the flag is only stored.
  ds->SetInMemory(true);
  EXPECT_FALSE(ds->Active());
  EXPECT_TRUE(ds->InMemory());
}

TEST_F(DeziDataset, TwoDatasetsOnOneTableSeeEachOthersChanges) {
  auto a = OpenDataset();
  auto b = OpenDataset("Razdel.dat");
  EXPECT_EQ(a->Table(), b->Table());
  Add(*a, "one", 1);
  Add(*a, "two", 2);
  EXPECT_EQ(b->RecordCount(), 2);
  b->Last();
  EXPECT_EQ(b->FieldByName("No").AsInteger(), 2);
  b->Delete();
  EXPECT_EQ(a->RecordCount(), 1);
  EXPECT_EQ(Names(*a), (std::vector<std::string>{"one"}));
  a->First();
  a->Delete();
  EXPECT_EQ(a->RecordCount(), 0);
  EXPECT_EQ(a->RecNo(), 0);
  EXPECT_TRUE(a->Eof() && a->Bof());
  EXPECT_EQ(b->RecordCount(), 0);
}

TEST_F(DeziDataset, IndexesOrderAsTheirNamesSay) {
  auto ds = OpenDataset();
  for (const auto& [name, no] : std::vector<std::pair<std::string, int>>{{"b", 4}, {"A", 3}, {"a", 2}, {"B", 1}})
    Add(*ds, name, no);
  EXPECT_EQ(Names(*ds), (std::vector<std::string>{"b", "A", "a", "B"}));  // by identifier
  ds->SetIndexFieldNames("name");
  EXPECT_EQ(ds->IndexFieldNames(), "name");
  EXPECT_EQ(Names(*ds), (std::vector<std::string>{"A", "a", "b", "B"}));  // the "@@" index first
  ds->SetIndexName("@Name");
  EXPECT_EQ(Names(*ds), (std::vector<std::string>{"a", "A", "b", "B"}));
  EXPECT_EQ(ds->IndexFieldNames(), "");
  ds->SetIndexName("byno");
  EXPECT_EQ(Names(*ds), (std::vector<std::string>{"B", "a", "A", "b"}));
  EXPECT_EQ(MessageOf([&] { ds->SetIndexName("Nope"); }),
            "Error in TDeziDataSet.OpenIndex - index \"Nope\" not found!");
  ds->SetIndexFieldNames("Missing");
  EXPECT_EQ(ds->IndexFieldNames(), "");
  EXPECT_EQ(ds->CurrentIndex(), 0);
  // Chosen at open too; a name no index has falls back to the identifier.
  ds->Close();
  ds->SetIndexName("ByNo");
  ds->Open();
  EXPECT_EQ(Names(*ds).front(), "B");
}

TEST_F(DeziDataset, FindNearestOnTheIdentifierIndex) {
  auto ds = OpenDataset();
  for (int no = 1; no <= 5; ++no) Add(*ds, "n" + std::to_string(no), no * 10);
  ds->First();
  ds->Next();
  ds->Delete();  // identifiers 1, 3, 4, 5 are left
  ds->SetIndexName("@id");
  struct Case {
    int32_t id;
    int32_t expected;
  };
  const Case cases[] = {{3, 3}, {2, 3}, {0, 1}, {5, 5}, {99, 5}};
  for (const Case& c : cases) {
    ds->FindNearest({c.id});
    EXPECT_EQ(ds->FieldByName("id").AsInteger(), c.expected) << c.id;
  }
  ds->SetIndexName("ByNo");
  ds->FindNearest({35});
  EXPECT_EQ(ds->FieldByName("No").AsInteger(), 40);
}

TEST_F(DeziDataset, RecordNumbersBookmarksAndDeletesAtTheEnd) {
  auto ds = OpenDataset();
  for (int no = 1; no <= 4; ++no) Add(*ds, "n", no);
  ds->SetRecNo(3);
  EXPECT_EQ(ds->RecNo(), 3);
  ds->SetRecNo(9);  // beyond the view: ignored
  EXPECT_EQ(ds->RecNo(), 3);
  const TBookmark third = ds->GetBookmark();
  ds->Last();
  ds->Delete();  // the last one: the position goes to the new last
  EXPECT_EQ(ds->RecNo(), 3);
  EXPECT_EQ(ds->FieldByName("No").AsInteger(), 3);
  ds->First();
  const TBookmark first = ds->GetBookmark();
  EXPECT_LT(ds->CompareBookmarks(first, third), 0);
  EXPECT_GT(ds->CompareBookmarks(third, first), 0);
  EXPECT_EQ(ds->CompareBookmarks(first, first), 0);
  ds->GotoBookmark(third);
  EXPECT_EQ(ds->FieldByName("No").AsInteger(), 3);
  // Two records gone from the view still order, by identifier.
  ds->GotoBookmark(first);
  ds->Delete();
  ds->GotoBookmark(third);
  ds->Delete();
  EXPECT_FALSE(ds->BookmarkValid(first));
  EXPECT_LT(ds->CompareBookmarks(first, third), 0);
  EXPECT_GT(ds->CompareBookmarks(third, first), 0);
}

TEST_F(DeziDataset, KeyViolationsReachThePostErrorHandler) {
  auto ds = OpenDataset();
  Add(*ds, "a", 1);
  Add(*ds, "b", 2);
  std::string seen;
  ds->OnPostError = [&](TDataSet&, const EDatabaseError& e, TDataAction&) { seen = e.what(); };
  ds->Edit();
  ds->FieldByName("No").SetAsInteger(1);
  const std::string expected =
      "TDeziDataSet.InternalPost - key violation.\nTable name = \"Razdel\".\nUnique index name = \"ByNo\".";
  EXPECT_EQ(MessageOf([&] { ds->Post(); }), expected);
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(ds->State(), dsEdit);
  ds->Cancel();
  ds->Edit();  // unchanged, it is its own key
  ds->Post();
  EXPECT_EQ(MessageOf([&] { Add(*ds, "c", 2); }),
            "TDeziDataSet.InternalAddRecord - key violation.\nTable name = \"Razdel\".\nUnique index "
            "name = \"ByNo\".");
  EXPECT_EQ(ds->RecordCount(), 2);
}

TEST_F(DeziDataset, AnEditFindsItsRecordAfterAnotherDatasetMovedIt) {
  auto editor = OpenDataset();
  auto other = OpenDataset();
  for (int no = 1; no <= 3; ++no) Add(*editor, "n" + std::to_string(no), no);
  editor->First();
  editor->Next();
  editor->Next();  // identifier 3, the last physical record
  editor->Edit();
  editor->FieldByName("Name").SetAsString("edited");
  other->First();
  other->Delete();  // record 3 moves into physical place 0
  editor->Post();
  EXPECT_EQ(Names(*other), (std::vector<std::string>{"n2", "edited"}));
  // A record deleted meanwhile cannot be posted; the edit stays.
  editor->First();
  editor->Edit();
  editor->FieldByName("Name").SetAsString("lost");
  other->First();
  other->Delete();
  EXPECT_EQ(MessageOf([&] { editor->Post(); }),
            "TDeziDataSet.InternalPost - the record was deleted meanwhile, id = 2.");
  EXPECT_EQ(editor->State(), dsEdit);
  editor->Cancel();
  EXPECT_EQ(Names(*editor), (std::vector<std::string>{"edited"}));
}

TEST_F(DeziDataset, LargeValuesArePostedOrDropped) {
  auto ds = OpenDataset();
  ds->Append();
  ds->FieldByName("Name").SetAsString("with notes");
  ds->FieldByName("No").SetAsInteger(7);
  ds->FieldByName("Notes").SetAsString("first text");
  ds->Post();
  EXPECT_EQ(ds->FieldByName("Notes").AsString(), "first text");
  ds->Edit();
  ds->FieldByName("Notes").SetAsString("changed");
  ds->Cancel();
  EXPECT_EQ(ds->FieldByName("Notes").AsString(), "first text");
  // A value only read is not written again by a post of other fields.
  const int32_t blocks = ds->Table()->BLOBDirectory()->BlockCount();
  ds->Edit();
  EXPECT_EQ(ds->FieldByName("Notes").AsString(), "first text");
  ds->FieldByName("Name").SetAsString("renamed");
  ds->Post();
  EXPECT_EQ(ds->Table()->BLOBDirectory()->BlockCount(), blocks);
  EXPECT_EQ(ds->FieldByName("Notes").AsString(), "first text");
  ds->Edit();
  ds->FieldByName("Notes").Clear();
  ds->Post();
  EXPECT_TRUE(ds->FieldByName("Notes").IsNull());
  ds->Close();
  ds->Open();
  EXPECT_TRUE(ds->FieldByName("Notes").IsNull());
  EXPECT_EQ(ds->FieldByName("Name").AsString(), "renamed");
}

TEST_F(DeziDataset, OpenFailuresAndNames) {
  TDeziDataset ds;
  const std::pair<const char*, const char*> names[] = {
      {"Razdel.DAT", "Razdel"},          {"Dotted.Folder.Name", "Dotted.Folder"},
      {"my.folder/Table", "my.folder/Table"}, {"my.folder/Table.dat", "my.folder/Table"},
      {"my.folder/Table.bak", "my.folder/Table.bak"}, {"Plain", "Plain"}};
  for (const auto& [given, kept] : names) {
    ds.SetTableName(given);
    EXPECT_EQ(ds.TableName(), kept) << given;
  }
  ds.SetDatabaseName(dir.Path());
  ds.SetTableName("Missing");
  EXPECT_EQ(MessageOf([&] { ds.Open(); }), "TDeziDataset.OpenTable - table \"Missing\" does not exist.");
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(MessageOf([&] { ds.GetRecordCount(); }),
            "Error in TDeziDataSet.GetRecordCount - no table was opened.");
  ds.SetTableName("Razdel");
  ds.SetReadOnly(true);
  ds.Open();
  EXPECT_EQ(MessageOf([&] { ds.Append(); }), "Cannot modify a read-only dataset");
}

TEST_F(DeziDataset, TableComponentProperties) {
  TDeziTable table;
  table.SetDatabaseName(dir.Path());
  table.SetTableName("Missing");
  EXPECT_FALSE(table.Exists());
  table.SetTableName("Razdel");
  EXPECT_TRUE(table.Exists());
  // Asking made no manager that stays behind.
  EXPECT_TRUE(TEngineRegistries::Instance().DatabaseManagers().empty());
  table.SetBLOBBlockSize(1024);
  table.SetBLOBCompression(clMax);
  EXPECT_EQ(table.BLOBBlockSize(), 1024);
  table.Open();
  // Open, the table's own settings show, and assignments are ignored.
  EXPECT_EQ(table.BLOBBlockSize(), 512);
  EXPECT_EQ(table.BLOBCompression(), clFastest);
  table.SetBLOBBlockSize(64);
  EXPECT_EQ(table.BLOBBlockSize(), 512);
  EXPECT_FALSE(table.Encrypted());
  table.SetExclusive(true);
  EXPECT_FALSE(table.Exclusive());
  EXPECT_EQ(TDeziTable::CurrentVersion(), "4.11 ");
  EXPECT_EQ(table.Fields().Count(), 4);
  EXPECT_EQ(table.Fields()[3].DataType(), ftAutoInc);
  EXPECT_EQ(table.Fields()[0].Size(), 30);
  const std::vector<TFieldDef> fields = {{"Name", ftString, 30, false}, {"No", ftInteger, 0, false},
                                         {"Notes", ftMemo, 0, false}, {"id", ftAutoInc, 0, false}};
  ASSERT_EQ(table.FieldDefs().size(), fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    EXPECT_EQ(table.FieldDefs()[i].Name, fields[i].Name);
    EXPECT_EQ(table.FieldDefs()[i].Type, fields[i].Type);
    EXPECT_EQ(table.FieldDefs()[i].Size, fields[i].Size);
  }
  EXPECT_EQ(table.IndexDefs().size(), 5u);  // @id, @@Name, @Name, @No, ByNo
  EXPECT_EQ(table.IndexDefs()[0], (TIndexDef{"@id", "id", ixPrimary, "", ""}));
  EXPECT_EQ(table.IndexDefs()[1], (TIndexDef{"@@Name", "Name", ixCaseInsensitive, "Name", ""}));
  EXPECT_EQ(table.UserIndexDefs(), (std::vector<TIndexDef>{{"ByNo", "No", ixUnique, "", ""}}));
  table.SetIndexName("ByNo");
  EXPECT_EQ(table.GetIndexField(0).FieldName(), "No");
  EXPECT_EQ(MessageOf([&] { table.GetIndexField(1); }),
            "Error in TDeziDataSet.GetIndexField - invalid index, index = 1.");
  table.Close();
  table.IndexDefs().clear();
  table.UpdateIndexDefs();
  EXPECT_EQ(table.IndexDefs().size(), 5u);
  EXPECT_TRUE(TEngineRegistries::Instance().DatabaseManagers().empty());
}

TEST_F(DeziDataset, PrivateInsertsAndProjections) {
  std::vector<std::string> events;  // outlives the dataset, whose close it hears
  auto ds = OpenDataset();
  testing::RecordEvents(*ds, events);
  ds->StartPrivateInsert();
  EXPECT_EQ(ds->State(), dsInsert);
  ds->FieldByName("Name").SetAsString("private");
  ds->FieldByName("No").SetAsInteger(5);
  ds->FinishPrivateInsert();
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_TRUE(events.empty());  // none of the base's insert and post events
  ds->Refresh();
  EXPECT_EQ(Names(*ds), (std::vector<std::string>{"private"}));
  // A failing private post leaves nothing and returns to browse state.
  ds->StartPrivateInsert();
  ds->FieldByName("No").SetAsInteger(5);
  EXPECT_NE(MessageOf([&] { ds->FinishPrivateInsert(); }).find("key violation"), std::string::npos);
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->RecordCount(), 1);

  ds->SetFieldProjection({"No", "id", "Name", "no"}, {"", "Ident", "No", ""});
  ASSERT_EQ(ds->Fields().Count(), 4);
  const std::vector<std::string> shown = {ds->Fields()[0].FieldName(), ds->Fields()[1].FieldName(),
                                          ds->Fields()[2].FieldName(), ds->Fields()[3].FieldName()};
  EXPECT_EQ(shown, (std::vector<std::string>{"No", "Ident", "No_1", "no_2"}));
  ds->First();
  EXPECT_EQ(ds->Fields()[0].AsInteger(), 5);
  EXPECT_EQ(ds->Fields()[1].DataType(), ftAutoInc);
  EXPECT_EQ(ds->Fields()[1].AsInteger(), 1);
  EXPECT_EQ(ds->Fields()[2].AsString(), "private");
  EXPECT_EQ(MessageOf([&] { ds->SetFieldProjection({"Nope"}, {}); }),
            "Field not found. Table name = 'Razdel', Field name = 'Nope' - Native error: 00013");
  ds->ClearFieldProjection();
  EXPECT_EQ(ds->Fields().Count(), 4);
  EXPECT_EQ(ds->Fields()[0].FieldName(), "Name");
}

TEST_F(DeziDataset, ADetailFollowsItsMaster) {
  {
    TDiskPlainFileSystem store(dir.Path());
    TDeziDataManager table(store, "Article", false);
    table.CreateTable({{"Title", ftString, 30, false}, {"Razdel", ftInteger, 0, false}}, 0, false);
    table.AddIndex("ByRazdel", "Razdel", true, "", "", 0);
  }
  auto sections = OpenDataset();
  Add(*sections, "poems", 1);
  Add(*sections, "prose", 2);
  Add(*sections, "empty", 3);
  auto articles = OpenDataset("Article");
  for (const auto& [title, section] : std::vector<std::pair<std::string, int>>{
           {"p1", 1}, {"s1", 2}, {"p2", 1}, {"s2", 2}, {"p3", 1}})
    articles->AppendRecord({title, section});
  TDataSource source;
  source.SetDataSet(sections.get());
  EXPECT_EQ(MessageOf([&] {
              TDataSource own;
              own.SetDataSet(articles.get());
              articles->SetMasterSource(&own);
            }),
            "TDeziDataSet.SetDataSource - Invalid DataSource");
  articles->SetIndexName("ByRazdel");
  articles->SetMasterSource(&source);
  articles->SetMasterFields("No");
  sections->First();
  EXPECT_EQ(articles->RecordCount(), 3);
  auto titles = [&] {
    std::vector<std::string> out;
    for (articles->First(); !articles->Eof(); articles->Next())
      out.push_back(articles->FieldByName("Title").AsString());
    return out;
  };
  EXPECT_EQ(titles(), (std::vector<std::string>{"p1", "p2", "p3"}));
  sections->Next();
  EXPECT_EQ(titles(), (std::vector<std::string>{"s1", "s2"}));
  // A new detail record takes its master's key; it stays in the view.
  articles->Append();
  EXPECT_EQ(articles->FieldByName("Razdel").AsInteger(), 2);
  articles->FieldByName("Title").SetAsString("s3");
  articles->Post();
  EXPECT_EQ(articles->FieldByName("Title").AsString(), "s3");
  EXPECT_EQ(titles(), (std::vector<std::string>{"s1", "s2", "s3"}));
  sections->Next();
  EXPECT_EQ(articles->RecordCount(), 0);
  EXPECT_TRUE(articles->Eof());
  // Without master fields the whole table shows again.
  articles->SetMasterFields("");
  EXPECT_EQ(articles->RecordCount(), 6);
}

// A grid of five rows over twenty records: the ring the dataset base fills
// through the cursor shows the right records going forward and back, and
// after another dataset's delete.
TEST_F(DeziDataset, AGridWindowOfFiveRows) {
  auto ds = OpenDataset();
  auto other = OpenDataset();
  for (int no = 1; no <= 20; ++no) Add(*other, "n", no);
  TDataSource source;
  source.SetDataSet(ds.get());
  std::vector<std::string> log;
  testing::TRecordingLink grid(log);
  grid.SetDataSource(&source);
  grid.SetBufferCount(5);
  ds->SetIndexName("ByNo");
  ds->First();
  for (int k = 1; k <= 20; ++k) {
    const int first = std::max(1, k - 4);
    const testing::TWindow w = testing::WindowOf(grid, *ds, "No");
    EXPECT_EQ(w.Active, k - first) << k;
    EXPECT_EQ(w.Rows, testing::Range(first, first + 4)) << k;
    ds->Next();
  }
  EXPECT_TRUE(ds->Eof());
  for (int k = 19; k >= 14; --k) {
    ds->Prior();
    EXPECT_EQ(ds->FieldByName("No").AsInteger(), k);
    EXPECT_EQ(testing::WindowOf(grid, *ds, "No").Rows, testing::Range(std::min(16, k), std::min(16, k) + 4));
  }
  // Record 15 goes through the other dataset; this one, on 14, refreshes.
  other->SetIndexName("ByNo");
  other->FindNearest({15});
  other->Delete();
  ds->Refresh();
  EXPECT_EQ(ds->FieldByName("No").AsInteger(), 14);
  const std::vector<int> rows = testing::WindowOf(grid, *ds, "No").Rows;
  EXPECT_EQ(rows.size(), 5u);
  EXPECT_TRUE(std::find(rows.begin(), rows.end(), 15) == rows.end());
  EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end()));
}

// A UI's field link hears the record changes and scrolls of its dataset,
// in order, while another dataset on the table appends and deletes.
TEST_F(DeziDataset, AFieldLinkHearsNoticesInOrder) {
  auto ui = OpenDataset();
  auto other = OpenDataset();
  for (int no = 1; no <= 3; ++no) Add(*other, "n" + std::to_string(no), no);
  std::vector<std::string> log;
  TDataSource source;
  source.SetDataSet(ui.get());
  testing::TRecordingLink link(log);
  link.SetDataSource(&source);
  ui->Refresh();
  ui->First();
  log.clear();
  ui->Next();
  ui->Edit();
  ui->FieldByName("Name").SetAsString("x");
  ui->Post();
  other->AppendRecord({"n4", 4});
  ui->Next();
  ui->Next();
  other->First();
  other->Delete();
  ui->Refresh();
  EXPECT_EQ(ui->FieldByName("No").AsInteger(), 4);
  // Next scrolls the one-row window by one; Edit re-reads the record; the
  // post writes pending input first; another dataset's changes reach the
  // link when this dataset next refreshes.
  EXPECT_EQ(log, (std::vector<std::string>{"DataSetScrolled(1)", "EditingChanged", "RecordChanged(null)",
                                           "RecordChanged(Name)", "UpdateData", "EditingChanged",
                                           "DataSetChanged", "DataSetScrolled(1)", "DataSetScrolled(1)",
                                           "DataSetChanged"}));
  EXPECT_EQ(ui->RecordCount(), 3);
  EXPECT_EQ(ui->RecNo(), 3);
}

}  // namespace
}  // namespace norvane
