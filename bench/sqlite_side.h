// The baseline of the comparison: the same article table and lists in an
// SQLite database file, with the same columns and the same set of indexes,
// text ordered by collations that call the engine's own comparisons, so both
// engines sort titles and names identically.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

#include "bench/engine_side.h"

namespace norvane::bench {

class TSqliteSide : public TEngineSide {
 public:
  // The database is the file `file`, made by Create.
  explicit TSqliteSide(std::string file) : file_(std::move(file)) {}
  ~TSqliteSide() override;

  void Create() override;
  void CreateLists(const std::vector<TCatalogueList>& lists) override;
  void Append(const std::vector<TArticle>& articles) override;
  int64_t Reopen() override;
  std::vector<TRow> Lookup(const std::vector<int32_t>& ids) override;
  std::vector<TRow> ScanByTitle() override;
  std::vector<TRow> Range(int32_t year) override;
  std::vector<TRow> FilterYear(int32_t year) override;
  std::vector<TRow> FilterYearAndIssue(int32_t year, int32_t issue) override;
  std::vector<TRow> FilterTitleHolds(const std::string& part) override;
  std::vector<TRow> LocateTitles(const std::vector<std::string>& titles) override;
  void Update(const std::vector<TRow>& titles) override;
  void Delete(const std::vector<int32_t>& ids) override;
  void Compact() override;
  std::vector<TSqlRow> Select(const std::string& sql) override;
  int64_t Change(const std::string& script) override;
  std::vector<TRow> RowsById() override;
  void Close() override;

 private:
  // Opens the file with the journal settings and the engine's collations.
  void Open();
  void Execute(const std::string& sql);
  // Fails unless the statement reads in its index's order without sorting.
  void CheckNoSort(const std::string& sql);
  // The rows of a query of ID and ArticleName, its parameters bound to
  // `numbers` in order.
  std::vector<TRow> Rows(const std::string& sql, const std::vector<int32_t>& numbers = {});
  [[noreturn]] void Fail(const std::string& what) const;

  std::string file_;
  sqlite3* db_ = nullptr;
};

}  // namespace norvane::bench
