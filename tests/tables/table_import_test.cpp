// Importing tables from other datasets and restructuring tables: which
// definitions an import makes (and what its log says), identifiers kept and
// never given twice, progress, and restructures that keep every surviving
// value or, failing at any point, leave the table exactly as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "engine/container/disk_plain_file_system.h"
#include "engine/tables/data_link.h"
#include "engine/tables/data_source.h"
#include "engine/tables/dezi_table.h"
#include "engine/tables/field_types.h"
#include "tests/support/error_message.h"
#include "tests/tables/folder_tables.h"
#include "tests/tables/field_values.h"
#include "tests/tables/memory_dataset.h"

namespace norvane {
namespace {

using testing::MessageOf;
using testing::TMemoryColumn;
using testing::TMemoryDataSet;

std::string Int64Bytes(int64_t n) {
  std::string b(8, '\0');
  PutI64LE(reinterpret_cast<uint8_t*>(b.data()), n);
  return b;
}

class TableImport : public testing::FolderTables {
 protected:
  // Imports `source` into "Imp"; the table is left open.
  bool Import(TDataSet& source, std::string& log, const std::vector<TIndexDef>* indexes = nullptr) {
    TDataSource link;
    link.SetDataSet(&source);
    TDataLink reader;
    reader.SetDataSource(&link);
    imported = Table("Imp");
    imported->OnProgress = [&](TDeziTable&, double percent, TaaProgressProcess process) {
      EXPECT_EQ(process, aappImport);
      progress.push_back(percent);
    };
    return imported->ImportTable(&reader, indexes, log);
  }
  std::vector<int32_t> Ids(TDeziTable& table) {
    std::vector<int32_t> ids;
    const std::string& name = table.Table()->Header().RowIdName;
    for (table.First(); !table.Eof(); table.Next()) ids.push_back(table.FieldByName(name).AsInteger());
    return ids;
  }

  std::unique_ptr<TDeziTable> imported;
  std::vector<double> progress;
};

TEST_F(TableImport, SourceFieldsBecomeWhatATableHolds) {
  TMemoryDataSet source({{ftAutoInc, "Key"},
                         {ftString, "Title", 20},
                         {ftLargeint, "Big"},
                         {ftFixedChar, "Code", 4},
                         {ftVarBytes, "Raw", 3},
                         {ftString, "AVeryLongFieldNameNumberOne", 10},
                         {ftString, "AVeryLongFieldNameNumberTwo", 10},
                         {ftMemo, "Notes"}});
  const int32_t ids[] = {5, 3, 9};
  for (int32_t id : ids) {
    source.AddRow({std::nullopt, "t" + std::to_string(id), Int64Bytes((int64_t{1} << 40) + id), "c",
                   std::string("\1\2\3", 3), "one", "two", std::nullopt});
    source.Rows.back().Id = id;
  }
  std::string log;
  EXPECT_FALSE(Import(source, log));
  EXPECT_EQ(log,
            "Field type not supported! FieldName = Raw. Field type will be replaced to ftString.\r\n"
            "Field name longer than 18 chars is not supported! FieldName = AVeryLongFieldName is truncated.\r\n"
            "Field name longer than 18 chars is not supported! FieldName = AVeryLongFieldNam1 is truncated.\r\n");
  ASSERT_TRUE(imported->Active());
  std::vector<std::pair<std::string, int>> fields;
  for (const TFieldDef& def : imported->FieldDefs()) fields.emplace_back(def.Name, def.Type);
  EXPECT_EQ(fields, (std::vector<std::pair<std::string, int>>{{"Title", ftString},
                                                               {"Big", ftLargeint},
                                                               {"Code", ftString},
                                                               {"Raw", ftString},
                                                               {"AVeryLongFieldName", ftString},
                                                               {"AVeryLongFieldNam1", ftString},
                                                               {"Notes", ftMemo},
                                                               {"Key", ftAutoInc}}));
  EXPECT_EQ(Ids(*imported), (std::vector<int32_t>{3, 5, 9}));
  imported->First();
  EXPECT_EQ(imported->FieldByName("Big").AsLargeInt(), (int64_t{1} << 40) + 3);  // all 64 bits
  EXPECT_EQ(imported->FieldByName("AVeryLongFieldNam1").AsString(), "two");
  EXPECT_EQ(imported->FieldByName("Raw").AsString(), std::string("\1\2\3", 3));
  // The next identifier follows the largest, not the last copied.
  imported->AppendRecord({"new"});
  EXPECT_EQ(imported->FieldByName("Key").AsInteger(), 10);
  EXPECT_EQ(progress.front(), 0);
  EXPECT_EQ(progress.back(), 100);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
}

TEST_F(TableImport, TheRowIdentifierComesFromTheSourceOrIsAdded) {
  const struct {
    const char* Name;
    std::vector<TMemoryColumn> Columns;
    std::vector<TIndexDef> Indexes;
    std::string RowId;
    std::vector<int32_t> Ids;
  } cases[] = {
      {"added", {{ftInteger, "N"}}, {}, "ID0", {1, 2, 3}},
      {"added past a taken name", {{ftInteger, "N"}, {ftInteger, "id0"}}, {}, "ID1", {1, 2, 3}},
      {"from a primary index", {{ftInteger, "N"}}, {{"PK", "N", ixPrimary, "", ""}}, "N", {10, 20, 30}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryDataSet source(c.Columns);
    for (int32_t n : {10, 20, 30}) source.AddRow({TMemoryDataSet::Int32(n), TMemoryDataSet::Int32(n)});
    std::string log;
    EXPECT_TRUE(Import(source, log, c.Indexes.empty() ? nullptr : &c.Indexes)) << log;
    EXPECT_EQ(imported->Table()->Header().RowIdName, c.RowId);
    EXPECT_EQ(Ids(*imported), c.Ids);
    imported->Close();
  }
}

TEST_F(TableImport, ARecordThatFailsIsLoggedAndTheRestArrive) {
  TMemoryDataSet source({{ftAutoInc, "Key"}, {ftString, "Title", 20}});
  for (int32_t id : {1, 2, 1, 3}) {
    source.AddRow({std::nullopt, "t" + std::to_string(id)});
    source.Rows.back().Id = id;
  }
  std::string log;
  EXPECT_FALSE(Import(source, log));
  EXPECT_EQ(log, "Insert records error, record number = !3\r\n");
  EXPECT_EQ(Ids(*imported), (std::vector<int32_t>{1, 2, 3}));
}

TEST_F(TableImport, AHundredThousandRowsKeepTheirIdentifiers) {
  constexpr int32_t kRows = 100000;
  {
    TDiskPlainFileSystem store(dir.Path());
    TDeziDataManager source(store, "Src", false);
    source.CreateTable({{"N", ftInteger, 0, false}}, 0, false);
    for (int32_t i = 0; i < kRows; ++i) {
      TRecordValues values;
      values.Fields = {testing::IntValue(i)};
      std::vector<uint8_t> image = source.EncodeRecord(values);
      source.aaAddRecord(image.data(), -1, nullptr, 2 * i + 1);  // odd identifiers only
    }
    source.CloseTable();
  }
  auto source = Table("Src");
  std::string log;
  EXPECT_TRUE(Import(*source, log)) << log;
  EXPECT_EQ(imported->RecordCount(), kRows);
  imported->Last();
  EXPECT_EQ(imported->FieldByName("id").AsInteger(), 2 * kRows - 1);
  EXPECT_EQ(imported->FieldByName("N").AsInteger(), kRows - 1);
  imported->AppendRecord({-1});
  EXPECT_EQ(imported->FieldByName("id").AsInteger(), 2 * kRows);
  ASSERT_EQ(progress.size(), static_cast<size_t>(kRows) + 2);
  EXPECT_EQ(progress.front(), 0);
  EXPECT_NEAR(progress[kRows / 2], 50, 1e-6);
  EXPECT_EQ(progress.back(), 100);
}

// "Art": Name, No, Year, Notes; records 1..8 of which 7 and 8 were deleted,
// so the last identifier (8) is past every record's.
class TableRestructure : public TableImport {
 protected:
  void SetUp() override {
    auto table = Table("Art");
    table->FieldDefs() = {{"Name", ftString, 20, false}, {"No", ftInteger, 0, false},
                          {"Year", ftInteger, 0, false}, {"Notes", ftMemo, 0, false}};
    table->IndexDefs() = {{"ByNo", "No", ixUnique, "", ""}};
    table->CreateTable();
    table->Open();
    for (int32_t i = 1; i <= 8; ++i) {
      table->AppendRecord({"n" + std::to_string(i), i * 10, 2000 + i});
      table->Edit();
      table->FieldByName("Notes").SetAsString("notes " + std::to_string(i));
      table->Post();
    }
    table->Last();
    table->Delete();
    table->Last();
    table->Delete();
  }
  // Opens "Art" and edits its restructure definitions; closed again after.
  std::unique_ptr<TDeziTable> Edited(const std::function<void(std::vector<TFieldDef>&)>& edit) {
    auto table = Table("Art");
    table->Open();
    table->Close();
    edit(table->RestructureFieldDefs());
    return table;
  }
};

TEST_F(TableRestructure, EverySurvivingValueAndIdentifierIsKept) {
  auto table = Edited([](std::vector<TFieldDef>& fields) {
    fields[0].Name = "Title";                    // renamed in place
    fields[1].Type = ftString;                   // retyped
    fields[1].Size = 6;
    fields.erase(fields.begin() + 2);            // Year dropped
    fields.insert(fields.end() - 1, {"Extra", ftInteger, 0, false});  // added before the identifier
  });
  table->RestructureTable(false, "", clFastest, 512);
  EXPECT_FALSE(table->Active());
  EXPECT_FALSE(table->Exists() && Table("Art_backup")->Exists());
  table->Open();
  EXPECT_EQ(table->Table()->Header().Compression, clFastest);
  std::vector<std::string> rows;
  for (table->First(); !table->Eof(); table->Next())
    rows.push_back(table->FieldByName("id").AsString() + " " + table->FieldByName("Title").AsString() + " " +
                   table->FieldByName("No").AsString() + " " + table->FieldByName("Notes").AsString() + " " +
                   (table->FieldByName("Extra").IsNull() ? "null" : "value"));
  EXPECT_EQ(rows, (std::vector<std::string>{"1 n1 10 notes 1 null", "2 n2 20 notes 2 null", "3 n3 30 notes 3 null",
                                            "4 n4 40 notes 4 null", "5 n5 50 notes 5 null",
                                            "6 n6 60 notes 6 null"}));
  EXPECT_NE(table->Table()->InternalGetIndexNo("ByNo"), -1);
  table->AppendRecord({"new"});
  EXPECT_EQ(table->FieldByName("id").AsInteger(), 9);  // 7 and 8 stay used
}

TEST_F(TableRestructure, AnExistingBackupNameIsPassedOver) {
  auto other = Table("Art_backup");
  other->FieldDefs() = {{"Kept", ftInteger, 0, false}};
  other->CreateTable();
  const auto before = Files();
  auto table = Edited([](std::vector<TFieldDef>&) {});
  table->RestructureTable(false, "", clNone, 512);
  const auto after = Files();
  EXPECT_EQ(after.at("Art_backup.dat"), before.at("Art_backup.dat"));
  EXPECT_EQ(after.count("Art_backup0.dat"), 0u);
}

TEST_F(TableRestructure, AFailureAtAnyPointLeavesTheTableAsItWas) {
  // Close and reopen once so the files settle into what an idle table holds.
  Table("Art")->Open();
  const auto before = Files();
  const struct {
    const char* Name;
    std::function<void(std::vector<TFieldDef>&)> Edit;
    double FailAt;  // progress at which the copy fails; past 100: never
    std::string Message;
  } cases[] = {
      {"a definition the table cannot take", [](std::vector<TFieldDef>& f) { f[1].Name = "name"; }, 101,
       "Error in TDeziDataset.RestructureTable - Error in TDeziDataManager.CreateTable - duplicate field name "
       "\"name\"."},
      {"halfway through the copy", [](std::vector<TFieldDef>& f) { f.erase(f.begin() + 2); }, 50,
       "Error in TDeziDataset.RestructureTable - error while saving data. Restructure aborted. stopped"},
      {"a value the new type refuses", [](std::vector<TFieldDef>& f) { f[0].Type = ftInteger; f[0].Size = 0; }, 101,
       "Error in TDeziDataset.RestructureTable - error while saving data. Restructure aborted. "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    auto table = Edited(c.Edit);
    table->OnProgress = [&](TDeziTable&, double percent, TaaProgressProcess) {
      if (percent >= c.FailAt) throw EEngineError("stopped");
    };
    const std::string message = MessageOf([&] { table->RestructureTable(true, "secret", clFastest, 1024); });
    EXPECT_EQ(message.substr(0, c.Message.size()), c.Message);
    EXPECT_EQ(table->TableName(), "Art");
    EXPECT_FALSE(table->Encrypted());
    EXPECT_EQ(Files(), before);
  }
}

}  // namespace
}  // namespace norvane
