// Scripts run over the small catalogue of filter_catalogue.h, against
// cases/select_rows.txt and cases/scripts.txt: each case is a script, "---",
// then a line "<n> rows" for each statement that inserted, changed or
// deleted rows, and the last statement's result: its field names and one
// line per row (values as text, NULL for none, separated by " | "); or
// "error: " and the exact message, the catalogue's folder written
// "<catalogue>/". After an error, "then:" and a SELECT shows what the
// catalogue holds.
#include <gtest/gtest.h>

#include "engine/query/script_processor.h"
#include "tests/query/case_file.h"
#include "tests/query/dataset_rows.h"
#include "tests/query/filter_catalogue.h"

namespace norvane {
namespace {

std::string RunScript(const std::string& script, const std::string& folder) {
  std::string out;
  try {
    TSQLQueryContext context(folder, "");
    TSQLScriptProcessor processor(script, nullptr);
    processor.ExecuteAll(context, [&](const TDeziSQLCommand&, int64_t rows) {
      if (rows >= 0) out += std::to_string(rows) + " rows\n";
    });
    if (TDeziTable* result = processor.ResultDataset()) out += testing::DatasetRows(*result);
  } catch (const std::exception& error) {
    out += std::string("error: ") + error.what() + "\n";
  }
  return out;
}

class Scripts : public ::testing::TestWithParam<testing::TSqlCase> {};

TEST_P(Scripts, RunOverTheCatalogue) {
  testing::TCatalogue catalogue;
  // "then:" parts a second script, run after the first on the same catalogue.
  std::string text = GetParam().Text, then;
  if (const size_t at = text.find("\nthen:\n"); at != std::string::npos) {
    then = text.substr(at + 7);
    text.erase(at);
  }
  std::string got = RunScript(text, catalogue.Folder());
  if (!then.empty()) got += "then:\n" + RunScript(then, catalogue.Folder());
  // The catalogue's folder is made anew for each run.
  for (size_t at; (at = got.find(catalogue.Folder())) != std::string::npos;)
    got.replace(at, catalogue.Folder().size(), "<catalogue>/");
  EXPECT_EQ(got, GetParam().Expected) << GetParam().Text;
}

std::vector<testing::TSqlCase> AllCases() {
  std::vector<testing::TSqlCase> cases;
  for (const char* file : {"select_rows.txt", "scripts.txt"})
    for (testing::TSqlCase& c : testing::ReadSqlCases(file)) cases.push_back(std::move(c));
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Files, Scripts, ::testing::ValuesIn(AllCases()), testing::TCaseName());

}  // namespace
}  // namespace norvane
