// The comparison's workloads of dataset filters and Locate, run on the
// articles as generated: one year, one year and issue, titles holding a
// short run of letters, and the first article of each of many titles. Every
// answer is in row identifier order and checked row by row against the
// model.
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "bench/comparison.h"
#include "engine/platform/cp1251.h"

namespace norvane::bench {
namespace {

constexpr size_t kLocates = 10000;
// Two letters inside "страны" and "театр", so about one title in eight
// holds them. Lower case: a title written in capitals does not match, as
// the comparison heeds case.
constexpr char kTitlePart[] = "тр";

}  // namespace

std::string TitlePart() {
  std::string text, error;
  if (!Utf8ToCp1251(kTitlePart, text, error)) throw std::logic_error("title part: " + error);
  return text;
}

TTiming TComparison::FilterEq() {
  const int32_t year = PickYear();
  return BothGive(ModelRowsWhere([&](const TArticle& a) { return a.Year == year; }),
                  [&](TEngineSide& side) { return side.FilterYear(year); });
}

TTiming TComparison::FilterAnd() {
  const int32_t year = PickYear();
  const auto issue = 1 + static_cast<int32_t>(picker_.Below(kIssues));
  return BothGive(ModelRowsWhere([&](const TArticle& a) { return a.Year == year && a.NN == issue; }),
                  [&](TEngineSide& side) { return side.FilterYearAndIssue(year, issue); });
}

TTiming TComparison::FilterLike() {
  const std::string part = TitlePart();
  return BothGive(
      ModelRowsWhere([&](const TArticle& a) { return a.ArticleName.find(part) != std::string::npos; }),
      [&](TEngineSide& side) { return side.FilterTitleHolds(part); });
}

TTiming TComparison::Locate() {
  // Titles repeat: each is found at its first article.
  std::unordered_map<std::string, TRow> first;
  for (const TRow& row : model_) first.emplace(row.Title, row);
  std::vector<std::string> titles;
  std::vector<TRow> expected;
  for (size_t i = 0; i < kLocates; ++i) {
    titles.push_back(model_[picker_.Below(model_.size())].Title);
    expected.push_back(first.at(titles.back()));
  }
  return BothGive(expected, [&](TEngineSide& side) { return side.LocateTitles(titles); });
}

}  // namespace norvane::bench
