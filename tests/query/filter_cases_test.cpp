// Dataset filters, Locate, Lookup and the find operations against
// cases/filters.txt, over a small catalogue in a folder database. Each input
// line of a case is a command; the expected text is what the commands print:
//   filter TEXT            sets Filter and Filtered; prints the view
//   unfilter               clears Filtered
//   options [ci] [exact]   sets FilterOptions
//   index NAME             orders by the index (only on the indexed table)
//   on TABLE               works on another table from here on
//   distinct FIELDS        shows one record per distinct key; prints the view
//   locate FIELDS V[,V..] [ci] [partial] / lookup FIELDS V[,V..] RESULTS
//   find first|next|prior|last
//   set ID FIELD VALUE     changes a record through another dataset
//   ids                    prints the view
// A view prints as "ids" and the row identifiers in view order; a failing
// command prints "error: " and the message. Every case without "index" runs
// twice, on a table with the automatic indexes and on one without any, so
// the index searches are checked against the record-by-record tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "engine/tables/dezi_table.h"
#include "engine/tables/field_types.h"
#include "tests/query/case_file.h"
#include "tests/query/filter_catalogue.h"

namespace norvane {
namespace {

using testing::TCatalogue;

std::string Ids(TDeziTable& table) {
  std::string out = "ids";
  for (table.First(); !table.Eof(); table.Next()) out += " " + table.FieldByName("ID").AsString();
  return out;
}

std::string At(TDeziTable& table) { return table.IsEmpty() ? "nowhere" : "at " + table.FieldByName("ID").AsString(); }

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

TFieldArgument Value(const std::string& text) {
  if (text.size() >= 2 && text.front() == '\'') {
    std::string inner;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
      inner += text[i];
      if (text[i] == '\'') ++i;
    }
    return inner;
  }
  return std::stoi(text);
}

std::vector<TFieldArgument> Values(const std::string& list) {
  std::vector<TFieldArgument> values;
  std::istringstream in(list);
  for (std::string item; std::getline(in, item, ',');) values.push_back(Value(item));
  return values;
}

std::string Shown(const TFieldArgument& v) {
  switch (v.Kind()) {
    case TFieldArgument::fkNull: return "null";
    case TFieldArgument::fkText: return "'" + v.Text() + "'";
    default: return v.KeyText();
  }
}

class TRunner {
 public:
  TRunner(TCatalogue& catalogue, const std::string& table)
      : catalogue_(catalogue), name_(table), table_(catalogue.Open(table)) {}

  std::string Run(const std::string& line) {
    const std::vector<std::string> w = Words(line);
    const std::string rest = line.size() > w[0].size() ? line.substr(w[0].size() + 1) : "";
    if (w[0] == "filter") {
      table_->SetFilter(rest);
      table_->SetFiltered(true);
      return Ids(*table_);
    }
    if (w[0] == "unfilter") return table_->SetFiltered(false), "";
    if (w[0] == "ids") return Ids(*table_);
    if (w[0] == "on") {
      name_ = w[1];
      table_ = catalogue_.Open(name_);
      return "";
    }
    if (w[0] == "options") {
      uint8_t options = 0;
      for (size_t i = 1; i < w.size(); ++i) options |= w[i] == "ci" ? foCaseInsensitive : foNoPartialCompare;
      table_->SetFilterOptions(options);
      return "";
    }
    if (w[0] == "index") return table_->SetIndexName(w[1]), "";
    if (w[0] == "distinct") {
      table_->SetDistinctFields(w[1]);
      return Ids(*table_);
    }
    if (w[0] == "locate") {
      uint8_t options = 0;
      for (size_t i = 3; i < w.size(); ++i) options |= w[i] == "ci" ? loCaseInsensitive : loPartialKey;
      const bool found = table_->Locate(w[1], Values(w[2]), options);
      return (found ? "true " : "false ") + At(*table_);
    }
    if (w[0] == "lookup") {
      std::string out = "lookup";
      const std::vector<TFieldArgument> found = table_->Lookup(w[1], Values(w[2]), w[3]);
      for (const TFieldArgument& v : found) out += " " + Shown(v);
      return (found.empty() ? out + " null " : out + " ") + At(*table_);
    }
    if (w[0] == "find") {
      const bool found = w[1] == "first" ? table_->FindFirst() : w[1] == "last" ? table_->FindLast()
                       : w[1] == "next"  ? table_->FindNext()  : table_->FindPrior();
      return (found ? "true " : "false ") + At(*table_);
    }
    if (w[0] == "set") {
      auto other = catalogue_.Open(name_);
      if (!other->Locate("ID", {std::stoi(w[1])})) return "no record " + w[1];
      other->Edit();
      Value(w[3]).AssignTo(other->FieldByName(w[2]));
      other->Post();
      return "";
    }
    return "unknown command " + w[0];
  }

 private:
  TCatalogue& catalogue_;
  std::string name_;
  std::unique_ptr<TDeziTable> table_;
};

std::string RunCase(TCatalogue& catalogue, const std::string& table, const std::vector<std::string>& lines) {
  TRunner runner(catalogue, table);
  std::string out;
  for (const std::string& line : lines) {
    std::string printed;
    try {
      printed = runner.Run(line);
    } catch (const std::exception& error) {
      printed = std::string("error: ") + error.what() + "\n" + runner.Run("ids");
    }
    if (!printed.empty()) out += printed + "\n";
  }
  return out;
}

class FilterCases : public ::testing::TestWithParam<testing::TCaseBlock> {};

TEST_P(FilterCases, PrintAsExpected) {
  TCatalogue catalogue;
  const std::vector<std::string>& lines = GetParam().Input;
  EXPECT_EQ(RunCase(catalogue, "Article", lines), GetParam().Expected) << "indexed";
  const bool indexBound = std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
    return l.rfind("index ", 0) == 0 || l.rfind("on ", 0) == 0;
  });
  if (!indexBound) {
    TCatalogue again;
    EXPECT_EQ(RunCase(again, "ArticleScan", lines), GetParam().Expected) << "without indexes";
  }
}

INSTANTIATE_TEST_SUITE_P(File, FilterCases, ::testing::ValuesIn(testing::ReadCaseFile("filters.txt")),
                         testing::TCaseName());

}  // namespace
}  // namespace norvane
