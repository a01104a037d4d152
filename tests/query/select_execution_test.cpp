// SELECT run over the small catalogue of filter_catalogue.h, against
// cases/select_rows.txt: each case is a SELECT, "---", then the result's
// field names and one line per row (values as text, NULL for none,
// separated by " | "), or "error: " and the exact message, the catalogue's
// folder written "<catalogue>/".
#include <gtest/gtest.h>

#include "engine/query/query_context.h"
#include "engine/query/script_text.h"
#include "engine/query/sql_select.h"
#include "tests/query/case_file.h"
#include "tests/query/filter_catalogue.h"

namespace norvane {
namespace {

std::string Rows(TDeziTable& result) {
  std::string out;
  TFields& fields = result.Fields();
  for (int32_t i = 0; i < fields.Count(); ++i) out += (i ? " | " : "") + fields[i].FieldName();
  out += "\n";
  for (result.First(); !result.Eof(); result.Next()) {
    for (int32_t i = 0; i < fields.Count(); ++i)
      out += (i ? " | " : "") + (fields[i].IsNull() ? std::string("NULL") : fields[i].AsString());
    out += "\n";
  }
  return out;
}

class SelectRows : public ::testing::TestWithParam<testing::TSqlCase> {};

TEST_P(SelectRows, AsTheCatalogueHoldsThem) {
  testing::TCatalogue catalogue;
  std::string got;
  try {
    TSQLQueryContext context(catalogue.Folder(), "");
    TSQLScript script = ParseScript(GetParam().Text, nullptr);
    auto& select = dynamic_cast<TDeziSQLSelect&>(*script.Commands.at(0));
    select.Execute(context);
    got = Rows(*select.Result());
  } catch (const std::exception& error) {
    got = std::string("error: ") + error.what() + "\n";
  }
  // The catalogue's folder is made anew for each run.
  for (size_t at; (at = got.find(catalogue.Folder())) != std::string::npos;)
    got.replace(at, catalogue.Folder().size(), "<catalogue>/");
  EXPECT_EQ(got, GetParam().Expected) << GetParam().Text;
}

INSTANTIATE_TEST_SUITE_P(File, SelectRows, ::testing::ValuesIn(testing::ReadSqlCases("select_rows.txt")),
                         testing::TCaseName());

}  // namespace
}  // namespace norvane
