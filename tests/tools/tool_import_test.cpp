// The import command: a table made from a CSV file comes back through dump
// value for value, typed fields read what dump prints, a row that fails is
// reported with its line while the others arrive, the file's encoding is
// the one asked for, and a header that does not fit is refused before
// anything changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "engine/container/disk_plain_file_system.h"
#include "engine/container/esfs_plain_file_system.h"
#include "engine/platform/file_system.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"
#include "tests/support/engine_text.h"
#include "tests/support/temp_folder.h"
#include "tests/tools/tool_runner.h"
#include "tools/norvane-db/csv_reader.h"
#include "tools/norvane-db/tool.h"

namespace norvane {
namespace {

using testing::W;
using TRows = std::vector<std::vector<std::string>>;

// The records of CSV text, which must be sound.
TRows ParseCsv(const std::string& text) {
  size_t at = 0;
  tool::TCsvReader reader([&](char* data, size_t size) {
    const size_t n = std::min(size, text.size() - at);
    std::memcpy(data, text.data() + at, n);
    at += n;
    return n;
  });
  TRows rows;
  for (tool::TCsvRecord record; reader.Next(record);) {
    EXPECT_EQ(record.Error, "") << "line " << record.Line;
    rows.push_back(record.Fields);
  }
  return rows;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string CsvLine(const std::vector<std::string>& fields, const char* end = "\n") {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) line += (i == 0 ? "" : ",") + CsvField(fields[i]);
  return line + end;
}

class ToolImport : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(RunDb({"create", file}).status, 0); }

  std::string Source(const std::string& name, const std::string& bytes) {
    const std::string path = dir / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  void MakeTable(const std::string& name, const std::vector<TFieldDef>& fields) {
    TESFSPlainFileSystem store(file, false, false, false, smContainer, "");
    TDeziDataManager table(store, name, false);
    table.CreateTable(fields, 0, false);
  }
  // "Typed": a field of every type that text fills, Title required.
  void MakeTypedTable() {
    MakeTable("Typed", {{"Title", ftString, 10, true},
                        {"Small", ftSmallint, 0, false},
                        {"Count", ftInteger, 0, false},
                        {"Word", ftWord, 0, false},
                        {"Big", ftLargeint, 0, false},
                        {"Flag", ftBoolean, 0, false},
                        {"Price", ftFloat, 0, false},
                        {"Money", ftCurrency, 0, false},
                        {"Day", ftDate, 0, false},
                        {"Clock", ftTime, 0, false},
                        {"Stamp", ftDateTime, 0, false},
                        {"Raw", ftBytes, 3, false},
                        {"Wide", ftWideString, 8, false},
                        {"Note", ftMemo, 0, false}});
  }
  TRows Dump(const std::string& table) {
    const TRun dump = RunDb({"dump", file, table});
    EXPECT_EQ(dump.status, 0) << dump.err;
    return ParseCsv(dump.out);
  }

  testing::TTempFolder dir;
  std::string file = dir / "cat.adb";
};

// 100,000 rows of Cyrillic text with commas, quotes and line breaks (LF
// and CR LF) inside quoted values, lines ending either way, the last one
// without its break: each column becomes a string field as long as its
// longest value in code page 1251, and dump gives every value back, with
// the new row identifier "ID" numbering the rows.
TEST_F(ToolImport, CreatedTableGivesEveryValueBack) {
  const std::vector<std::string> pieces = {
      "Ёлка",  "журнал «Наука»",       "a,b", "say \"hi\"", "one\ntwo", "crlf\r\nin",
      "plain", "Москва, ул. Тверская", "ё",   " spaced "};
  std::mt19937 random(20240601);
  const auto piece = [&] { return pieces[random() % pieces.size()]; };
  const std::vector<std::string> header = {"Title", "Автор", "Note"};
  std::string csv = CsvLine(header, "\r\n");
  TRows rows;
  constexpr int kRows = 100000;
  for (int i = 0; i < kRows; ++i) {
    std::vector<std::string> row = {piece() + " " + std::to_string(i), piece(), ""};
    for (unsigned n = random() % 3; n > 0; --n) row[2] += piece();
    csv += CsvLine(row, i + 1 == kRows ? "" : i % 2 == 0 ? "\r\n" : "\n");
    rows.push_back(row);
  }
  const TRun import = RunDb({"import", file, "Articles", Source("articles.csv", csv), "--create"});
  ASSERT_EQ(import.status, 0) << import.err.substr(0, 2000);
  EXPECT_EQ(import.out, "100000 rows imported\n");

  std::vector<size_t> widths(header.size(), 1);
  for (const auto& row : rows)
    for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], W(row[c]).size());
  const TRun schema = RunDb({"schema", file, "Articles"});
  const std::vector<std::string> lines = LinesOf(schema.out);
  ASSERT_GE(lines.size(), 4u) << schema.err;
  for (size_t c = 0; c < header.size(); ++c)
    EXPECT_EQ(lines[c],
              "field\t" + header[c] + "\tSTRING\t" + std::to_string(widths[c]) + "\toptional");
  EXPECT_EQ(lines[3], "field\tID\tAUTOINC\t0\toptional");

  const TRows dumped = Dump("Articles");
  ASSERT_EQ(dumped.size(), rows.size() + 1);
  EXPECT_EQ(dumped[0], (std::vector<std::string>{"Title", "Автор", "Note", "ID"}));
  for (size_t r = 0; r < rows.size(); ++r) {
    std::vector<std::string> want = rows[r];
    want.push_back(std::to_string(r + 1));
    ASSERT_EQ(dumped[r + 1], want) << "row " << r + 1;
  }
}

// A column named "ID" (any case) stays a column, and the row identifier
// takes the first of ID0, ID1, ... that no column has.
TEST_F(ToolImport, RowIdentifierOfANewTableStepsAsideForColumns) {
  const TRun import =
      RunDb({"import", file, "T", Source("t.csv", "id,Id0,Name\n7,x,Жук\n"), "--create"});
  ASSERT_EQ(import.status, 0) << import.err;
  EXPECT_EQ(Dump("T"), (TRows{{"id", "Id0", "Name", "ID1"}, {"7", "x", "Жук", "1"}}));
}

// Every type reads the text dump prints for it, header names meet fields
// without regard to case or order, and a named row identifier gives the
// record its identifier (an empty one: the next free).
TEST_F(ToolImport, TypedFieldsReadWhatDumpPrints) {
  MakeTypedTable();
  const std::vector<std::string> header = {"ID",    "title", "SMALL", "Count", "Word",
                                           "Big",   "Flag",  "Price", "Money", "Day",
                                           "Clock", "Stamp", "Raw",   "Wide",  "note"};
  const TRows rows = {
      {"10", "Ёлка", "-32768", "2147483647", "65535", "-9223372036854775808", "true", "1.5",
       "-0.25", "2025-01-01", "12:34:56.789", "2025-01-01 23:59:59.999", "00ff10", "Жук",
       "line one\nline two, «два»"},
      {"5", "plain", "32767", "-7", "0", "9223372036854775807", "false", "1e+100", "3",
       "0001-01-01", "00:00:00", "9999-12-31 00:00:00", "abcdef", "abcd", ""},
      {"", "third", "", "", "", "", "", "", "", "", "", "", "", "", ""},
  };
  std::string csv = CsvLine(header);
  for (const auto& row : rows) csv += CsvLine(row);
  const TRun import = RunDb({"import", file, "Typed", Source("typed.csv", csv)});
  ASSERT_EQ(import.status, 0) << import.err;
  EXPECT_EQ(import.out, "3 rows imported\n");
  // In the order of the row identifier, which dump prints last.
  const auto dumped = [](std::vector<std::string> row, const std::string& id) {
    row.erase(row.begin());
    row.push_back(id);
    return row;
  };
  const TRows back = Dump("Typed");
  ASSERT_EQ(back.size(), 4u);
  EXPECT_EQ(back[1], dumped(rows[1], "5"));
  EXPECT_EQ(back[2], dumped(rows[0], "10"));
  EXPECT_EQ(back[3], dumped(rows[2], "11"));
}

// Forms other than dump's that mean the same value.
TEST_F(ToolImport, OtherFormsOfAValue) {
  MakeTable("Forms", {{"Title", ftString, 10, false},
                      {"Flag", ftBoolean, 0, false},
                      {"Raw", ftBytes, 3, false},
                      {"Price", ftFloat, 0, false},
                      {"Count", ftInteger, 0, false}});
  struct Case {
    const char* field;
    const char* text;
    const char* dumped;
    size_t column;
  };
  const Case cases[] = {{"Flag", "1", "true", 1},    {"Flag", "0", "false", 1},
                        {"Flag", "TRUE", "true", 1}, {"Raw", "0A0b", "0a0b00", 2},
                        {"Price", "2.50", "2.5", 3}, {"Count", "-0", "0", 4},
                        {"Count", "007", "7", 4}};
  int n = 0;
  for (const Case& c : cases) {
    const std::string csv = std::string("Title,") + c.field + "\nrow,\"" + c.text + "\"\n";
    const TRun import = RunDb({"import", file, "Forms", Source("f.csv", csv)});
    ASSERT_EQ(import.status, 0) << c.field << " " << c.text << ": " << import.err;
    const TRows back = Dump("Forms");
    ASSERT_EQ(back.size(), static_cast<size_t>(++n) + 1);
    EXPECT_EQ(back.back()[c.column], c.dumped) << c.field << " " << c.text;
  }
}

// Each faulty row is left out and named by the line it starts on; the rows
// around it arrive and the exit status is 1.
TEST_F(ToolImport, FailingRowsAreReportedAndSkipped) {
  MakeTypedTable();
  struct Case {
    std::string row;  // as it stands in the file, its line end included
    std::string error;
  };
  const Case cases[] = {
      {"x,abc,,,,,,,\n", "'abc' is not a valid value for field 'Count' (a whole number)"},
      {"x,,70000,,,,,,\n", "Value 70000 is out of range for field 'Small'"},
      {"x,,,2025-02-30,,,,,\n", "'2025-02-30' is not a valid value for field 'Day' (YYYY-MM-DD)"},
      {"x,,,2025-1-01,,,,,\n", "'2025-1-01' is not a valid value for field 'Day'"},
      {"x,,,,25:00:00,,,,\n", "'25:00:00' is not a valid value for field 'Clock'"},
      {"x,,,,,maybe,,,\n", "'maybe' is not a valid value for field 'Flag'"},
      {"x,,,,,,\"1,5\",,\n", "'1,5' is not a valid value for field 'Price'"},
      {"x,,,,,,,abz,\n", "'abz' is not a valid value for field 'Raw' (bytes in hexadecimal)"},
      {"x,,,,,,,01020304,\n", "a value of 4 bytes is longer than field 'Raw' (3 bytes)"},
      {"12345678901,,,,,,,,\n", "a value of 11 bytes is longer than field 'Title' (10 bytes)"},
      {",,,,,,,,\n", "Field 'Title' must have a value"},
      {"taken,,,,,,,,1\n", "TDeziDataManager.aaAddRecord - key violation."},
      {"zero,,,,,,,,0\n", "'0' is not a valid value for field 'id'"},
      {"too,few\n", "2 values where the header has 9 columns"},
      {"\"two\nlines\",x,,,,,,,\r\n", "'x' is not a valid value for field 'Count'"},
      {"\xF0\x9F\x98\x80,,,,,,,,\n", "column \"Title\": The character"},
      {"\"a\"b,,,,,,,,\n", "text follows the closing quote of field 1"},
  };
  std::string csv = "Title,Count,Small,Day,Clock,Flag,Price,Raw,ID\ngood1,1,1,2020-01-01,,,,,1\n";
  std::vector<std::string> wanted;
  int line = 3;
  for (const Case& c : cases) {
    wanted.push_back("line " + std::to_string(line) + ": ");
    line += static_cast<int>(std::count(c.row.begin(), c.row.end(), '\n'));
    csv += c.row;
  }
  csv += "good2,2,,,,,,,\n\"never closed,,,,,,,,\n";
  const TRun import = RunDb({"import", file, "Typed", Source("checked.csv", csv)});
  EXPECT_EQ(import.status, 1);
  EXPECT_EQ(import.out, "2 rows imported, " + std::to_string(std::size(cases) + 1) + " failed\n");
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_NE(import.err.find(wanted[i] + cases[i].error), std::string::npos)
        << wanted[i] + cases[i].error << "\n in:\n"
        << import.err;
  const std::string unclosed = "line " + std::to_string(line + 1) +
                               ": the quote that opens field 1 on line " +
                               std::to_string(line + 1) + " is never closed";
  EXPECT_NE(import.err.find(unclosed), std::string::npos) << import.err;
  const TRows back = Dump("Typed");
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[1], (std::vector<std::string>{"good1", "1", "1", "", "", "", "", "", "2020-01-01",
                                               "", "", "", "", "", "1"}));
  EXPECT_EQ(back[2], (std::vector<std::string>{"good2", "", "2", "", "", "", "", "", "", "", "", "",
                                               "", "", "2"}));
}

// --encoding cp1251 reads code page 1251 bytes; the same bytes taken as
// UTF-8 are refused, naming the line, and make no table.
TEST_F(ToolImport, SourceEncoding) {
  const std::string text = "Заголовок,Автор\nЁлка,Пушкин\n«Дом»,ё\n";
  const std::string source = Source("cp1251.csv", W(text));
  const TRun asUtf8 = RunDb({"import", file, "Wrong", source, "--create"});
  EXPECT_EQ(asUtf8.status, 1);
  EXPECT_NE(asUtf8.err.find("line 1: column 1: The text is not valid UTF-8."), std::string::npos)
      << asUtf8.err;
  const TRun import = RunDb({"import", file, "Books", source, "--create", "--encoding", "cp1251"});
  ASSERT_EQ(import.status, 0) << import.err;
  EXPECT_EQ(RunDb({"tables", file}).out, "Books\n");
  EXPECT_EQ(Dump("Books"),
            (TRows{{"Заголовок", "Автор", "ID"}, {"Ёлка", "Пушкин", "1"}, {"«Дом»", "ё", "2"}}));
  // A byte order mark starts the first name of a UTF-8 file, not the name.
  const TRun marked =
      RunDb({"import", file, "Books", Source("bom.csv", "\xEF\xBB\xBF\"заголовок\"\nНовый\n")});
  ASSERT_EQ(marked.status, 0) << marked.err;
  EXPECT_EQ(Dump("Books").back(), (std::vector<std::string>{"Новый", "", "3"}));
}

// On a terminal the redrawn progress line is taken away before a row's
// report, so the report stands on a line of its own.
TEST_F(ToolImport, ReportsOnATerminalTakeTheProgressLineAway) {
  const std::string source = Source("t.csv", "Name\nfirst\nsecond,extra\nthird\n");
  std::istringstream in;
  std::ostringstream out, err;
  EXPECT_EQ(tool::RunTool({"import", file, "T", source, "--create"}, in, out, err, true), 1);
  EXPECT_EQ(out.str(), "2 rows imported, 1 failed\n");
  const std::string blank = "\r" + std::string(std::strlen("importing: 100%"), ' ') + "\r";
  const std::string report = "line 3: 2 values where the header has 1 column\n";
  EXPECT_NE(err.str().find("%" + blank + report), std::string::npos) << err.str();
  EXPECT_EQ(err.str().substr(err.str().size() - 17), "\rimporting: 100%\n");
}

// A header that does not fit the table, or cannot make a new one, fails
// the command before anything is written.
TEST_F(ToolImport, UnfitHeadersChangeNothing) {
  MakeTable("Article", {{"Title", ftString, 40, true},
                        {"Pages", ftInteger, 0, false},
                        {"Pic", ftGraphic, 0, false}});
  ASSERT_EQ(RunDb({"import", file, "Article", Source("one.csv", "Title,Pages\nfirst,1\n")}).status,
            0);
  const TRows before = Dump("Article");
  struct Case {
    std::string csv;
    std::string table;
    bool create;
    std::string error;
  };
  const Case cases[] = {
      {"Title,Nope\nx,1\n", "Article", false, "column \"Nope\" names no field of the table"},
      {"Title,title\nx,y\n", "Article", false,
       "column \"title\" names field \"Title\" a second time"},
      {"Title,Pic\nx,\n", "Article", false, "column \"Pic\" is a binary field"},
      {"Title\nx\n", "Missing", false, "table \"Missing\" does not exist"},
      {"Title\nx\n", "Article", true, "table \"Article\" exists already"},
      {"A,a\n1,2\n", "New", true, "column \"a\" appears twice in the header"},
      {"A,,B\n1,2,3\n", "New", true, "column 2 has no name"},
      {"ABCDEFGHIJKLMNOPQRS\n1\n", "New", true,
       "column \"ABCDEFGHIJKLMNOPQRS\" is longer than the 18 characters of a field name"},
      {"", "New", true, "has no header row"},
      {"\"Title\nx\n", "New", true,
       "line 1: the quote that opens field 1 on line 1 is never closed"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"import", file, c.table, Source("unfit.csv", c.csv)};
    if (c.create) args.push_back("--create");
    const TRun run = RunDb(args);
    EXPECT_EQ(run.status, 1) << c.error;
    EXPECT_NE(run.err.find(c.error), std::string::npos) << c.error << "\n in: " << run.err;
    EXPECT_EQ(run.out, "") << c.error;
  }
  EXPECT_EQ(RunDb({"tables", file}).out, "Article\n");
  EXPECT_EQ(Dump("Article"), before);
  const TRun usage = RunDb({"import", file, "Article", dir / "one.csv", "--encoding", "latin1"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_NE(usage.err.find("--encoding takes utf-8 or cp1251, not 'latin1'"), std::string::npos);
}

// An encrypted catalogue takes the password options; a folder is a
// folder database.
TEST_F(ToolImport, EncryptedCataloguesAndFolders) {
  const std::string secret = dir / "secret.adb";
  ASSERT_EQ(RunDb({"create", secret, "--password", "пароль"}).status, 0);
  const std::string source = Source("s.csv", "Name\nЖук\n");
  const TRun without = RunDb({"import", secret, "T", source, "--create"});
  EXPECT_EQ(without.status, 1);
  EXPECT_NE(without.err.find("is encrypted: give its password"), std::string::npos) << without.err;
  const std::string passwordFile = Source("password.txt", "пароль\n");
  const TRun with =
      RunDb({"import", secret, "T", source, "--create", "--password-file", passwordFile});
  ASSERT_EQ(with.status, 0) << with.err;
  const TRun dump = RunDb({"dump", secret, "T", "--password", "пароль"});
  EXPECT_EQ(dump.out, "Name,ID\nЖук,1\n") << dump.err;

  const std::string folder = dir / "db";
  ASSERT_TRUE(CreateFolder(folder));
  ASSERT_EQ(RunDb({"import", folder, "T", source, "--create"}).status, 0);
  ASSERT_EQ(RunDb({"import", folder, "T", source}).status, 0);
  EXPECT_EQ(RunDb({"dump", folder, "T"}).out, "Name,ID\nЖук,1\nЖук,2\n");
}

}  // namespace
}  // namespace norvane
