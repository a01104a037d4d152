// Articles of the catalogue's schema for the benchmarks: the table's fields,
// a generator of plausible articles (code page 1251 titles and authors, some
// fields left empty, an annotation now and then) that gives the same
// articles for the same seed on every machine, their record values, and the
// lists of sections and journals the articles refer to.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/tables/dezi_data_manager.h"

namespace norvane::bench {

// The article table with every optional field (publications, date and
// volume). Without `withSummary` the annotation, a large value that no index
// holds, is left out, for benchmarks of records and indexes alone.
const std::vector<TFieldDef>& ArticleFields(bool withSummary);

// Positions in ArticleFields(true); the row identifier "ID" is not a field.
enum TArticleField : int32_t {
  afYear, afIDRazdel, afArticleName, afNN, afMonth, afAhutor, afPage, afSummary,
  afKeyWords, afIDJournal, afDatePublic, afTom, afFileName, afFieldCount
};

// One article as entered. Text is code page 1251; an empty text or an absent
// number is an empty field (the title, being required, is never empty).
struct TArticle {
  std::optional<int32_t> Year, IDRazdel, NN, IDJournal;
  std::string ArticleName, Month, Ahutor, Page, KeyWords, DatePublic, Tom, FileName;
  std::string Summary;
};

inline constexpr int32_t kFirstYear = 1990;
inline constexpr int32_t kLastYear = 2025;
// Articles have issues (NN) 1 to kIssues and refer to sections 1 to
// kSections (IDRazdel) and journals 1 to kJournals (IDJournal).
inline constexpr int32_t kIssues = 12;
inline constexpr int32_t kSections = 50;
inline constexpr int32_t kJournals = 20;

// An entry of one of the catalogue's lists: the number articles refer to it
// by, and its name in code page 1251.
struct TListEntry {
  int32_t Id = 0;
  std::string Name;
};

// One of the catalogue's lists: its table, the fields of its number and its
// name, and its entries in the order they are added.
struct TCatalogueList {
  std::string Table, IdField, NameField;
  std::vector<TListEntry> Entries;
  // The table's fields: the number, then the name of up to 100 bytes.
  std::vector<TFieldDef> Fields() const;
};

// The sections, "Razdel" (IDRazdel, Razdel): 1 to kSections and five that
// no article has yet. Names are two title words, no two alike.
TCatalogueList SectionList();
// The journals, "Journal" (IDJournal, Journal): 1 to kJournals - 2; the
// last two have been taken off the list, so the articles that name them
// find no journal.
TCatalogueList JournalList();

// Deterministic: the same seed gives the same articles, titles and numbers,
// since it draws only raw numbers from the engine (never a distribution,
// whose results the standard leaves to the library).
class TArticleGenerator {
 public:
  explicit TArticleGenerator(uint32_t seed) : rng_(seed) {}

  // The next article: about one field in ten empty, an annotation of 300
  // bytes on every fifth article.
  TArticle Next();
  // A title as people write them: two to seven words, the first capitalised,
  // now and then one in capitals, so that case matters to the order.
  std::string Title();
  // A number in [0, n); requires n > 0.
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }

 private:
  bool Empty() { return Below(10) == 0; }
  std::optional<int32_t> Number(int32_t first, int32_t count);
  std::string Text(std::string value) { return Empty() ? std::string() : std::move(value); }
  std::string Words(size_t count);

  std::mt19937 rng_;
  uint64_t made_ = 0;
};

// The article's values for a table of ArticleFields(withSummary). The
// annotation is not part of the record: its field is left empty here, and
// aaAddRecord marks it from the large values it is given.
TRecordValues ArticleValues(const TArticle& article, bool withSummary);

// A four-byte ftInteger value.
TFieldValue IntValue(int32_t n);

}  // namespace norvane::bench
