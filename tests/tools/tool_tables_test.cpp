// The table commands: tables lists a catalogue's or folder's tables, schema
// shows fields and indexes, dump prints records as CSV in an index's order
// with every type as text, quoted where needed, and refuses what it cannot.
#include <gtest/gtest.h>

#include "engine/container/disk_plain_file_system.h"
#include "engine/container/esfs_plain_file_system.h"
#include "engine/platform/file_system.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"
#include "tests/support/temp_folder.h"
#include "tests/tables/field_values.h"
#include "tests/tools/tool_runner.h"
#include "tools/norvane-db/field_text.h"

namespace norvane {
namespace {

using testing::Cp1251;
using testing::IntValue;
using testing::TextValue;

TFieldValue Fixed(int type, int64_t value) {
  std::string bytes(static_cast<size_t>(StoredSizeOf(type, 0)), '\0');
  uint8_t* b = reinterpret_cast<uint8_t*>(bytes.data());
  if (bytes.size() == 2) PutU16LE(b, static_cast<uint16_t>(value));
  else if (type == ftDate || type == ftTime) PutI32LE(b, static_cast<int32_t>(value));
  else PutI64LE(b, value);
  return {false, bytes};
}

// "Article": a title, a count, a date, a flag and a memo; three records.
void MakeArticles(TAbstractPlainFileSystem& store) {
  TDeziDataManager table(store, "Article", false);
  table.CreateTable({{"Title", ftString, 40, true}, {"Pages", ftInteger, 0, false},
                     {"Day", ftDate, 0, false}, {"Done", ftBoolean, 0, false},
                     {"Note", ftMemo, 0, false}, {"Pic", ftGraphic, 0, false}},
                    1, false);
  table.AddIndex("ByPages", "Pages", true, "", "Pages", 0);
  const struct {
    std::string title;
    int32_t pages;
    int32_t day;
    std::string note;
  } rows[] = {{Cp1251("Ёлка, \"зимняя\""), 12, 693594 + 45658, "line one\nline two"},
              {"Plain", 3, 0, ""},
              {"Third", 7, 1, "x"}};
  for (const auto& row : rows) {
    TRecordValues values;
    values.Fields = {TextValue(row.title), IntValue(row.pages),
                     row.day == 0 ? TFieldValue() : Fixed(ftDate, row.day), Fixed(ftBoolean, 1),
                     {}, {}};
    std::vector<uint8_t> image = table.EncodeRecord(values);
    TMemoryStream note(std::vector<uint8_t>(row.note.begin(), row.note.end()));
    TMemoryStream picture(std::vector<uint8_t>(row.pages, 7));
    const TBLOBValues blobs = {{4, &note}, {5, &picture}};
    table.aaAddRecord(image.data(), -1, &blobs);
  }
  table.CloseTable();
  TDeziDataManager other(store, "Razdel", false);
  other.CreateTable({{"Name", ftString, 10, false}}, 0, false);
}

class ToolTables : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunDb({"create", file}).status, 0);
    TESFSPlainFileSystem store(file, false, false, false, smContainer, "");
    MakeArticles(store);
  }
  testing::TTempFolder dir;
  std::string file = dir / "cat.adb";
};

TEST_F(ToolTables, TablesSchemaAndDump) {
  const TRun tables = RunDb({"tables", file});
  EXPECT_EQ(tables.status, 0) << tables.err;
  EXPECT_EQ(tables.out, "Article\nRazdel\n");

  const TRun schema = RunDb({"schema", file, "Article"});
  EXPECT_EQ(schema.status, 0) << schema.err;
  EXPECT_EQ(LinesOf(schema.out), (std::vector<std::string>{
                                     "field\tTitle\tSTRING\t40\trequired",
                                     "field\tPages\tINTEGER\t0\toptional",
                                     "field\tDay\tDATE\t0\toptional",
                                     "field\tDone\tLOGICAL\t0\toptional",
                                     "field\tNote\tMEMO\t0\toptional",
                                     "field\tPic\tGRAPHIC\t0\toptional",
                                     "field\tid\tAUTOINC\t0\toptional",
                                     "index\t@id\tid\tprimary",
                                     "index\t@@Title\tTitle ci\tcaseinsensitive",
                                     "index\t@Title\tTitle\t",
                                     "index\t@Pages\tPages\t",
                                     "index\t@Day\tDay\t",
                                     "index\t@Done\tDone\t",
                                     "index\tByPages\tPages desc\t",
                                 }));

  const std::string header = "Title,Pages,Day,Done,Note,Pic,id\n";
  const TRun dump = RunDb({"dump", file, "Article"});
  EXPECT_EQ(dump.status, 0) << dump.err;
  EXPECT_EQ(dump.out, header +
                          "\"Ёлка, \"\"зимняя\"\"\",12,2025-01-01,true,\"line one\nline two\",12 bytes,1\n"
                          "Plain,3,,true,,3 bytes,2\n"
                          "Third,7,0001-01-01,true,x,7 bytes,3\n");
  const TRun ordered = RunDb({"dump", file, "Article", "--index", "bypages", "--limit", "2"});
  EXPECT_EQ(ordered.status, 0) << ordered.err;
  EXPECT_EQ(LinesOf(ordered.out).size(), 4u);  // the quoted memo spans two lines
  EXPECT_EQ(LinesOf(ordered.out).back(), "Third,7,0001-01-01,true,x,7 bytes,3");
}

// A filter picks the records a table's dataset would show; --ci and --exact
// are its options; the rows keep the index's order and --limit counts them.
TEST_F(ToolTables, FilteredDump) {
  struct Case {
    std::vector<std::string> options;
    std::vector<std::string> ids;
  };
  const Case cases[] = {
      {{"--filter", "Pages > 5"}, {"1", "3"}},
      {{"--filter", "Title = 'pl'"}, {}},
      {{"--filter", "Title = 'pl'", "--ci"}, {"2"}},
      {{"--filter", "Title = 'Pl'", "--exact"}, {}},
      {{"--filter", "Title = 'Plain'", "--exact"}, {"2"}},
      {{"--filter", "Title like 'Ёлка%'"}, {"1"}},
      {{"--filter", "Pages > 1", "--index", "ByPages", "--limit", "2"}, {"1", "3"}},
      {{"--filter", " "}, {"1", "2", "3"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"dump", file, "Article"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const TRun run = RunDb(args);
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> ids;
    // A record ends with its row identifier (the memo may split it in lines).
    for (const std::string& line : LinesOf(run.out)) {
      const std::string last = line.substr(line.rfind(',') + 1);
      if (!last.empty() && last.find_first_not_of("0123456789") == std::string::npos) ids.push_back(last);
    }
    EXPECT_EQ(ids, c.ids) << c.options[1];
  }
}

TEST_F(ToolTables, RefusalsAndFolders) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string errPart;
  };
  const Case cases[] = {
      {{"schema", file, "Missing"}, 1, "table \"Missing\" does not exist"},
      {{"dump", file, "Article", "--index", "Nope"}, 1, "table \"Article\" has no index \"Nope\""},
      {{"dump", file, "Article", "--limit", "x"}, 2, "--limit takes a whole number of rows, not 'x'"},
      {{"dump", file, "Article", "--ci"}, 2, "--ci and --exact are options of --filter"},
      {{"dump", file, "Article", "--filter", "Pages = 1 x"}, 1, "End of line expected, but \" x\" found"},
      {{"dump", file, "Article", "--filter", "Nope = 1"}, 1, "field \"Nope\" not found!"},
      {{"tables", dir / "nothing.adb"}, 1, ""},
  };
  for (const Case& c : cases) {
    const TRun run = RunDb(c.args);
    EXPECT_EQ(run.status, c.status) << c.args[0];
    EXPECT_NE(run.err.find(c.errPart), std::string::npos) << run.err;
  }
  // A folder database: the same commands over its files.
  const std::string folder = dir / "db";
  ASSERT_TRUE(CreateFolder(folder));
  {
    TDiskPlainFileSystem store(folder);
    MakeArticles(store);
  }
  EXPECT_EQ(RunDb({"tables", folder}).out, "Article\nRazdel\n");
  EXPECT_EQ(LinesOf(RunDb({"dump", folder, "Razdel"}).out), (std::vector<std::string>{"Name,id"}));
}

TEST(FieldText, DaysAsIsoDates) {
  struct Case {
    int32_t day;
    const char* text;
  };
  const Case days[] = {{1, "0001-01-01"}, {59, "0001-02-28"}, {60, "0001-03-01"},
                       {693594, "1899-12-30"}, {693594 + 45658, "2025-01-01"},
                       {730179, "2000-02-29"}, {3652059, "9999-12-31"}};
  for (const Case& c : days) EXPECT_EQ(tool::DayText(c.day), c.text) << c.day;
}

}  // namespace
}  // namespace norvane
