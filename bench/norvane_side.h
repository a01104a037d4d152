// The engine's side of the comparison: a catalogue file (a container made and
// opened through the file-store registry) whose article table is filled
// through its storage manager and then worked through the table cursor, and
// whose SQL runs through the script processor (norvane_sql.cpp).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "bench/engine_side.h"
#include "engine/container/plain_file_system.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/dezi_table.h"

namespace norvane::bench {

class TNorvaneSide : public TEngineSide {
 public:
  // The catalogue is the container file `file`, made by Create.
  explicit TNorvaneSide(std::string file) : file_(std::move(file)) {}
  ~TNorvaneSide() override;

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

  const std::string& File() const { return file_; }

 private:
  void OpenStore();
  void ReleaseStore();
  TDeziTable& Cursor();
  // The cursor's current article.
  TRow CurrentRow();
  // Moves to the article with this row identifier by FindNearest on "@ID";
  // false when there is none.
  bool SeekId(int32_t id);
  // Every article in the order of the index.
  std::vector<TRow> Walk(const char* index);
  // The articles that pass the dataset filter `filter` (no filter options),
  // in row identifier order; the cursor is left unfiltered.
  std::vector<TRow> WalkFiltered(const std::string& filter);
  TDeziDataManager& Table();

  std::string file_;
  std::shared_ptr<TAbstractPlainFileSystem> store_;
  std::unique_ptr<TDeziDataManager> table_;
  std::unique_ptr<TDeziTable> cursor_;
};

}  // namespace norvane::bench
