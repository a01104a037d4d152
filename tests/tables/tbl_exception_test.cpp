// Native error messages: the text by code, its arguments, the component's
// name in front and the five-digit code behind.
#include <gtest/gtest.h>

#include "engine/tables/tbl_exception.h"

namespace norvane {
namespace {

TEST(TblException, MessagesCarryTheirArgumentsComponentAndCode) {
  struct Case {
    int32_t code;
    std::vector<TTblArgument> arguments;
    std::string component;
    std::string message;
  };
  const Case cases[] = {
      {7, {std::string("Article")}, "", "Table is not opened, table name = 'Article'. - Native error: 00007"},
      {9, {std::string("Article"), int64_t{-3}}, "ArticleTable",
       "ArticleTable: Invalid field number. Table name = 'Article', FieldNo = -3 - Native error: 00009"},
      {13, {std::string("T"), std::string("Nam%s")}, "",
       "Field not found. Table name = 'T', Field name = 'Nam%s' - Native error: 00013"},
      // Too few arguments leave the placeholder; a code without a text gets
      // the first one, with its own number.
      {12, {std::string("T")}, "", "Field header is nil. Table name = 'T', i = %d - Native error: 00012"},
      {1003, {std::string("X")}, "Q", "Q: Table is not opened, table name = 'X'. - Native error: 01003"},
  };
  for (const Case& c : cases) {
    const ETblException error(c.code, c.arguments, c.component);
    EXPECT_EQ(std::string(error.what()), c.message);
    EXPECT_EQ(error.NativeError(), c.code);
  }
  EXPECT_EQ(FormatTblMessage("100%% of %s", {std::string("rows")}), "100% of rows");
  EXPECT_EQ(FormatTblMessage("trailing %", {}), "trailing %");
}

}  // namespace
}  // namespace norvane
