// Native error messages: the text by code, its arguments, the component's
// name in front and the five-digit code behind.
#include <gtest/gtest.h>

#include "engine/tables/tbl_exception.h"

namespace norvane {
namespace {

struct Case {
  int32_t code;
  std::vector<TTblArgument> arguments;
  std::string component;
  std::string message;
};

void ExpectMessages(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    const ETblException error(c.code, c.arguments, c.component);
    EXPECT_EQ(std::string(error.what()), c.message) << "code " << c.code;
    EXPECT_EQ(error.NativeError(), c.code);
  }
}

TEST(TblException, MessagesCarryTheirArgumentsComponentAndCode) {
  ExpectMessages({
      {7, {std::string("Article")}, "", "Table is not opened, table name = 'Article'. - Native error: 00007"},
      {9, {std::string("Article"), int64_t{-3}}, "ArticleTable",
       "ArticleTable: Invalid field number. Table name = 'Article', FieldNo = -3 - Native error: 00009"},
      {13, {std::string("T"), std::string("Nam%s")}, "",
       "Field not found. Table name = 'T', Field name = 'Nam%s' - Native error: 00013"},
      // Too few arguments leave the placeholder; a code outside the table
      // gets the first entry's text (code 1's), with its own number.
      {12, {std::string("T")}, "", "Field header is nil. Table name = 'T', i = %d - Native error: 00012"},
      {5000, {int64_t{3}, int64_t{7}}, "Q", "Q: Missing right parenthesis at line 3, column 7 - Native error: 05000"},
      {999, {}, "", "Missing right parenthesis at line %d, column %d - Native error: 00999"},
  });
  EXPECT_EQ(FormatTblMessage("100%% of %s", {std::string("rows")}), "100% of rows");
  EXPECT_EQ(FormatTblMessage("trailing %", {}), "trailing %");
}

TEST(TblException, EachRangeHasItsTexts) {
  ExpectMessages({
      {4, {std::string("Razdel"), std::string("Main"), std::string(""), int64_t{0}}, "",
       "Cannot open table 'Razdel'. DatabaseName = Main, DatabaseFileName = , InMemory = 0. - Native error: 00004"},
      {17, {}, "", "Cannot set index - result dataset does not exists. - Native error: 00017"},
      {27, {std::string("ID"), std::string("IDRazdel"), int64_t{0}, int64_t{2}}, "",
       "Both join fields are from the same table. Field1 = 'ID', Field2 = 'IDRazdel', No1 = 0, No2 = 2. "
       "- Native error: 00027"},
      {1003, {std::string("GRANT"), int64_t{1}, int64_t{1}}, "Query1",
       "Query1: SQL token expected, but 'GRANT' found at line 1, column 1 - Native error: 01003"},
      {1007, {std::string("GROUP"), int64_t{1}, int64_t{51}}, "",
       "Unexpected token 'GROUP' found at line 1, column 51 - Native error: 01007"},
      {1014, {std::string("t"), int64_t{1}, int64_t{8}}, "",
       "FROM expected, but 't' found at line 1, column 8 - Native error: 01014"},
      {1051, {std::string("Nope")}, "", "Column 'Nope' from ORDER BY clause not found - Native error: 01051"},
      {1056, {}, "Query1", "Query1: Circular datalinks are not allowed - Native error: 01056"},
      {1058, {std::string("x"), int64_t{2}, int64_t{40}}, "",
       "Quoted password expected (for PASSWORD \"passwordData\"), but 'x' found at line 2, column 40 "
       "- Native error: 01058"},
      {2007, {std::string("TEXT"), int64_t{1}, int64_t{19}}, "",
       "Unknown fileld type 'TEXT' at line 1, column 19 - Native error: 02007"},
      {2012, {int64_t{3}}, "", "Unexpected end of SQL command found at line 3 - Native error: 02012"},
      {2020, {std::string("HIGH"), int64_t{1}, int64_t{60}}, "",
       "Unknown compress level: 'HIGH' found at line 1, column 60 - Native error: 02020"},
      {2078, {}, "", "Insert from select is not supported yet - Native error: 02078"},
      {2086, {std::string("a"), int64_t{1}, int64_t{14}}, "",
       "Token '=' expected, but 'a' found at line 1, column 14 - Native error: 02086"},
      {2089, {std::string("VeryLongName"), int64_t{8}, int64_t{1}, int64_t{14}}, "",
       "Name 'VeryLongName' is longer than 8 characters at line 1, column 14 - Native error: 02089"},
      {2090, {int64_t{2}, int64_t{3}, int64_t{1}, int64_t{30}}, "Query1",
       "Query1: 2 column(s) but 3 value(s) given, at line 1, column 30 - Native error: 02090"},
  });
}

// Every code of the three ranges and the two added after them has a text of
// its own; only code 1 reads as the fallback, and the codes just outside the
// ranges fall back to it.
TEST(TblException, TableCoversEveryCodeOfItsRanges) {
  const std::string fallback = TblMessageText(1);
  EXPECT_EQ(fallback, "Missing right parenthesis at line %d, column %d");
  const std::pair<int32_t, int32_t> ranges[] = {{1, 34}, {1001, 1058}, {2001, 2090}};
  int covered = 0;
  for (const auto& [first, last] : ranges) {
    for (int32_t code = first; code <= last; ++code) {
      if (code == 1) continue;
      EXPECT_NE(TblMessageText(code), fallback) << "code " << code;
      ++covered;
    }
  }
  EXPECT_EQ(covered, 181);
  for (const int32_t outside : {-1, 0, 35, 1000, 1059, 2000, 2091, 99999}) {
    EXPECT_EQ(TblMessageText(outside), fallback) << "code " << outside;
  }
}

}  // namespace
}  // namespace norvane
