// One engine as the comparison benchmark drives it: the catalogue's article
// table held by that engine, and one operation per workload, so that the
// program runs the same work on each engine and compares what they return.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bench/article_data.h"

namespace norvane::bench {

// An article as the workloads read it back: its row identifier and title.
struct TRow {
  int32_t Id = 0;
  std::string Title;
  bool operator==(const TRow&) const = default;
};

// A value of an SQL result as text: a number in decimal, text as stored
// (code page 1251); none for NULL.
using TSqlValue = std::optional<std::string>;
using TSqlRow = std::vector<TSqlValue>;

// Operations run in the order append, reopen, then any of the others, each
// on an open table unless it says otherwise. Failures throw.
class TEngineSide {
 public:
  virtual ~TEngineSide() = default;

  // Makes the empty table with all its indexes and leaves it open. Untimed.
  virtual void Create() = 0;
  // Adds the lists the articles refer to (sections and journals) to the
  // catalogue Create made, each a table with the indexes of its fields,
  // filled. Untimed.
  virtual void CreateLists(const std::vector<TCatalogueList>& lists) = 0;
  // Adds the articles in order (row identifiers 1, 2, ...), then writes
  // everything and closes the table.
  virtual void Append(const std::vector<TArticle>& articles) = 0;
  // Opens the closed table; returns its record count.
  virtual int64_t Reopen() = 0;
  // The articles with these row identifiers, in the order asked; one that
  // does not exist is left out.
  virtual std::vector<TRow> Lookup(const std::vector<int32_t>& ids) = 0;
  // Every article in the order of the title ignoring case.
  virtual std::vector<TRow> ScanByTitle() = 0;
  // The articles of one year, by the year's index.
  virtual std::vector<TRow> Range(int32_t year) = 0;
  // The answers of filters, each in row identifier order: the articles of
  // one year; of one year and issue (NN); whose title holds `part` (no %
  // or _ in it), case counting, as "like '%part%'" matches.
  virtual std::vector<TRow> FilterYear(int32_t year) = 0;
  virtual std::vector<TRow> FilterYearAndIssue(int32_t year, int32_t issue) = 0;
  virtual std::vector<TRow> FilterTitleHolds(const std::string& part) = 0;
  // For each title, in the order given, the article of lowest row
  // identifier with exactly that title (case counting); a title no article
  // has is left out.
  virtual std::vector<TRow> LocateTitles(const std::vector<std::string>& titles) = 0;
  // Gives each article named its new title.
  virtual void Update(const std::vector<TRow>& titles) = 0;
  // Deletes the articles with these row identifiers.
  virtual void Delete(const std::vector<int32_t>& ids) = 0;
  // Rebuilds the store without the room deleted records left; the table is
  // closed afterwards.
  virtual void Compact() = 0;

  // The catalogue's own SQL, on an open table. Select gives the rows of one
  // SELECT in the order the engine returns them, each value as text.
  // Change runs a script of INSERT, UPDATE and DELETE statements, writes
  // what they changed (SQLite: one transaction for the whole script) and
  // returns the rows they inserted, changed or deleted.
  virtual std::vector<TSqlRow> Select(const std::string& sql) = 0;
  virtual int64_t Change(const std::string& script) = 0;

  // Every article by row identifier, for checking the engines agree. Untimed.
  virtual std::vector<TRow> RowsById() = 0;
  // Closes the table if open. Untimed.
  virtual void Close() = 0;
};

}  // namespace norvane::bench
