// The comparison's workloads of the catalogue's own SQL: the statements the
// program runs for its tree of years and sections, its export, its searches
// and its edits, run as text on both engines. Each answer is checked against
// the model before its time counts; the changes are checked by the rows they
// report and by the whole table afterwards.
#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

#include "bench/comparison.h"
#include "bench/row_checks.h"
#include "engine/platform/cp1251.h"
#include "engine/protection/collation.h"

namespace norvane::bench {
namespace {

// What UPDATE writes into the pages of one year.
constexpr char kNewPage[] = "с. 7-12";

// Every column of the article but the annotation, in the order of ContentRow.
constexpr char kContentSql[] =
    "SELECT ID, Year, IDRazdel, ArticleName, NN, Month, Ahutor, Page, KeyWords, IDJournal, DatePublic, Tom, "
    "FileName FROM Article ORDER BY ID";

TSqlValue Value(const std::optional<int32_t>& n) { return n ? TSqlValue(std::to_string(*n)) : TSqlValue(); }
TSqlValue Value(const std::string& text) { return text.empty() ? TSqlValue() : TSqlValue(text); }

// An SQL literal: a number, quoted text or NULL.
std::string Literal(const std::optional<int32_t>& n) { return n ? std::to_string(*n) : "NULL"; }
std::string Literal(const std::string& text) {
  if (text.empty()) return "NULL";
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

// The values of the content query but the row identifier.
TSqlRow Content(const TArticle& a, const std::string& title) {
  return {Value(a.Year),     Value(a.IDRazdel),  Value(title),      Value(a.NN),
          Value(a.Month),    Value(a.Ahutor),    Value(a.Page),     Value(a.KeyWords),
          Value(a.IDJournal), Value(a.DatePublic), Value(a.Tom),    Value(a.FileName)};
}

std::string InsertStatement(const TArticle& a) {
  return "INSERT INTO Article (Year, IDRazdel, ArticleName, NN, Month, Ahutor, Page, Summary, KeyWords, "
         "IDJournal, DatePublic, Tom, FileName) VALUES (" +
         Literal(a.Year) + ", " + Literal(a.IDRazdel) + ", " + Literal(a.ArticleName) + ", " + Literal(a.NN) +
         ", " + Literal(a.Month) + ", " + Literal(a.Ahutor) + ", " + Literal(a.Page) + ", " +
         Literal(a.Summary) + ", " + Literal(a.KeyWords) + ", " + Literal(a.IDJournal) + ", " +
         Literal(a.DatePublic) + ", " + Literal(a.Tom) + ", " + Literal(a.FileName) + ");\n";
}

// The name of each entry of a list, by its number.
std::map<int32_t, std::string> Names(const TCatalogueList& list) {
  std::map<int32_t, std::string> names;
  for (const TListEntry& entry : list.Entries) names.emplace(entry.Id, entry.Name);
  return names;
}

TSqlValue NameOf(const std::map<int32_t, std::string>& names, const std::optional<int32_t>& id) {
  if (!id) return {};
  const auto at = names.find(*id);
  return at != names.end() ? TSqlValue(at->second) : TSqlValue();
}

std::string Cp1251Text(const char* utf8) {
  std::string text, error;
  if (!Utf8ToCp1251(utf8, text, error)) throw std::logic_error("text constant: " + error);
  return text;
}

}  // namespace

TTiming TComparison::BothSelect(const std::string& sql, const std::string& sqliteSql,
                                const std::vector<TSqlRow>& expected, size_t orderedBy) {
  std::vector<TSqlRow> rows[2];
  TTiming t = Both([&](TEngineSide& side) {
    const bool norvane = &side == &norvane_;
    rows[norvane ? 0 : 1] = side.Select(norvane || sqliteSql.empty() ? sql : sqliteSql);
  });
  ExpectSameRows(expected, rows[0], orderedBy, "Norvane");
  ExpectSameRows(expected, rows[1], orderedBy, "SQLite");
  t.Rows = static_cast<int64_t>(expected.size());
  return t;
}

TTiming TComparison::BothChange(const std::string& script, int64_t expected) {
  int64_t changed[2] = {};
  TTiming t = Both([&](TEngineSide& side) { changed[&side == &norvane_ ? 0 : 1] = side.Change(script); });
  if (changed[0] != expected || changed[1] != expected)
    throw EMismatch("rows changed " + std::to_string(changed[0]) + " and " + std::to_string(changed[1]) +
                    ", expected " + std::to_string(expected));
  t.Rows = expected;
  return t;
}

TSqlRow TComparison::ContentRow(const TRow& row) const {
  TSqlRow values = Content(ArticleOf(row), row.Title);
  values.insert(values.begin(), TSqlValue(std::to_string(row.Id)));
  return values;
}

void TComparison::ExpectModelContent(const std::vector<TArticle>& added) {
  std::vector<TSqlRow> expected;
  for (const TRow& row : model_) expected.push_back(ContentRow(row));
  std::vector<TSqlRow> fresh;
  for (const TArticle& a : added) fresh.push_back(Content(a, a.ArticleName));
  for (TEngineSide* side : {static_cast<TEngineSide*>(&norvane_), static_cast<TEngineSide*>(&sqlite_)}) {
    const std::string who = side == &norvane_ ? "Norvane" : "SQLite";
    std::vector<TSqlRow> rows = side->Select(kContentSql);
    if (rows.size() != expected.size() + fresh.size())
      throw EMismatch(who + " holds " + std::to_string(rows.size()) + " articles, expected " +
                      std::to_string(expected.size() + fresh.size()));
    std::vector<TSqlRow> after(rows.begin() + static_cast<std::ptrdiff_t>(expected.size()), rows.end());
    rows.resize(expected.size());
    ExpectSameRows(expected, rows, 1, who);
    for (TSqlRow& row : after) row.erase(row.begin());
    ExpectSameRows(fresh, after, kExactOrder, who + "'s inserted articles");
  }
}

std::vector<TSqlRow> TComparison::ModelDistinct(std::optional<int32_t> TArticle::*field) const {
  std::set<std::optional<int32_t>> values;  // none sorts first, as on both engines
  for (const TRow& row : model_) values.insert(ArticleOf(row).*field);
  std::vector<TSqlRow> rows;
  for (const std::optional<int32_t>& value : values) rows.push_back({Value(value)});
  return rows;
}

TTiming TComparison::TreeRoot() {
  return BothSelect("SELECT DISTINCT Year FROM Article ORDER BY Year", "", ModelDistinct(&TArticle::Year), 1);
}

TTiming TComparison::TreeChild() {
  const int32_t year = PickYear();
  const std::map<int32_t, std::string> sections = Names(sections_);
  std::vector<TSqlRow> expected;
  for (const TRow& row : ModelRowsWhere([&](const TArticle& a) { return a.Year == year; })) {
    const TSqlValue section = NameOf(sections, ArticleOf(row).IDRazdel);
    if (section) expected.push_back({section, TSqlValue(std::to_string(row.Id))});
  }
  // The engine's case-sensitive order; the articles of one section in any.
  std::stable_sort(expected.begin(), expected.end(), [](const TSqlRow& a, const TSqlRow& b) {
    return CollateCompare(a[0]->c_str(), b[0]->c_str()) < 0;
  });
  return BothSelect("SELECT R.Razdel, A.ID FROM Article A, Razdel R "
                    "WHERE A.IDRazdel = R.IDRazdel AND A.Year = " + std::to_string(year) + " ORDER BY R.Razdel",
                    "", expected, 1);
}

TTiming TComparison::ExportJoin() {
  const std::map<int32_t, std::string> sections = Names(sections_), journals = Names(journals_);
  std::vector<TSqlRow> expected;
  for (const TRow& row : model_) {
    const TArticle& a = ArticleOf(row);
    expected.push_back({TSqlValue(std::to_string(row.Id)), Value(a.Year), Value(a.NN), Value(a.Month),
                        Value(row.Title), Value(a.Ahutor), Value(a.Page), Value(a.Tom),
                        NameOf(sections, a.IDRazdel), NameOf(journals, a.IDJournal)});
  }
  return BothSelect(
      "SELECT A.ID, A.Year, A.NN, A.Month, A.ArticleName, A.Ahutor, A.Page, A.Tom, R.Razdel, J.Journal "
      "FROM (Article A LEFT JOIN Razdel R ON A.IDRazdel = R.IDRazdel) "
      "LEFT JOIN Journal J ON A.IDJournal = J.IDJournal ORDER BY A.ID",
      "", expected, 1);
}

TTiming TComparison::SelectYearAndIssue() {
  const int32_t year = PickYear();
  const auto issue = 1 + static_cast<int32_t>(picker_.Below(kIssues));
  std::vector<TSqlRow> expected;
  for (const TRow& row : ModelRowsWhere([&](const TArticle& a) { return a.Year == year && a.NN == issue; })) {
    const TArticle& a = ArticleOf(row);
    expected.push_back({TSqlValue(std::to_string(row.Id)), Value(row.Title), Value(a.Ahutor), Value(a.Page)});
  }
  return BothSelect("SELECT ID, ArticleName, Ahutor, Page FROM Article WHERE Year = " + std::to_string(year) +
                        " AND NN = " + std::to_string(issue),
                    "", expected, 0);
}

TTiming TComparison::SelectLike() {
  // SQLite's LIKE reads code page 1251 letters as one character, so it
  // looks for the part with instr(), as filter_like does; the part begins
  // with a letter above 0xBF, which instr() does not step over.
  const std::string part = TitlePart();
  std::vector<TSqlRow> expected;
  for (const TRow& row : model_)
    if (row.Title.find(part) != std::string::npos)
      expected.push_back({TSqlValue(std::to_string(row.Id)), Value(row.Title)});
  return BothSelect("SELECT ID, ArticleName FROM Article WHERE ArticleName LIKE " + Literal("%" + part + "%"),
                    "SELECT ID, ArticleName FROM Article WHERE instr(ArticleName, " + Literal(part) + ") > 0",
                    expected, 0);
}

TTiming TComparison::Distinct() {
  // No ORDER BY: the values in any order.
  return BothSelect("SELECT DISTINCT IDJournal FROM Article", "", ModelDistinct(&TArticle::IDJournal), 0);
}

TTiming TComparison::UpdateWhere() {
  const int32_t year = PickYear();
  const std::string page = Cp1251Text(kNewPage);
  const std::vector<TRow> rows = ModelRowsWhere([&](const TArticle& a) { return a.Year == year; });
  TTiming t = BothChange("UPDATE Article SET Page = " + Literal(page) + " WHERE Year = " + std::to_string(year),
                         static_cast<int64_t>(rows.size()));
  for (const TRow& row : rows) articles_[static_cast<size_t>(row.Id - 1)].Page = page;
  ExpectModelContent();
  return t;
}

TTiming TComparison::DeleteWhere() {
  const int32_t year = PickYear();
  const auto issue = 1 + static_cast<int32_t>(picker_.Below(kIssues));
  const std::vector<TRow> rows =
      ModelRowsWhere([&](const TArticle& a) { return a.Year == year && a.NN == issue; });
  TTiming t = BothChange(
      "DELETE FROM Article WHERE Year = " + std::to_string(year) + " AND NN = " + std::to_string(issue),
      static_cast<int64_t>(rows.size()));
  const auto byId = [](const TRow& a, const TRow& b) { return a.Id < b.Id; };
  std::erase_if(model_,
                [&](const TRow& row) { return std::binary_search(rows.begin(), rows.end(), row, byId); });
  ExpectModel();
  ExpectModelContent();
  return t;
}

TTiming TComparison::InsertScript() {
  std::string script;
  for (const TArticle& a : inserted_) script += InsertStatement(a);
  TTiming t = BothChange(script, static_cast<int64_t>(inserted_.size()));
  // The model follows no further: the new articles' row identifiers are
  // each engine's to give, and this is the last workload.
  ExpectModelContent(inserted_);
  return t;
}

}  // namespace norvane::bench
