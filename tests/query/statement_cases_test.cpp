// The statement parsers against the case files cases/select.txt, dml.txt
// and ddl.txt: each case is a script (parameters as in lexer.txt), "---",
// and the printed tree of each of its statements in order, or "error: "
// and the exact message.
#include <gtest/gtest.h>

#include "engine/query/ddl_alter_table.h"
#include "engine/query/script_text.h"
#include "engine/query/statement_printer.h"
#include "engine/tables/tbl_exception.h"
#include "tests/query/case_file.h"

namespace norvane {
namespace {

std::string Parsed(const testing::TSqlCase& c) {
  const TQueryParams params = testing::SqlCaseParams(c);
  try {
    const TSQLScript script = ParseScript(c.Text, c.Params.empty() ? nullptr : &params);
    std::string out;
    for (const auto& command : script.Commands) out += PrintStatement(*command);
    return out;
  } catch (const std::exception& error) {
    return std::string("error: ") + error.what() + "\n";
  }
}

class StatementCases : public ::testing::TestWithParam<testing::TSqlCase> {};

TEST_P(StatementCases, ParseAsWritten) { EXPECT_EQ(Parsed(GetParam()), GetParam().Expected) << GetParam().Text; }

std::vector<testing::TSqlCase> AllCases() {
  std::vector<testing::TSqlCase> cases;
  for (const char* file : {"select.txt", "dml.txt", "ddl.txt"})
    for (testing::TSqlCase& c : testing::ReadSqlCases(file)) cases.push_back(std::move(c));
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Files, StatementCases, ::testing::ValuesIn(AllCases()), testing::TCaseName());

}  // namespace
}  // namespace norvane
