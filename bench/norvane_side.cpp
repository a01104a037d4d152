// The engine's workloads: the bulk append through the table's storage
// manager, as an import does; everything after it through the table cursor,
// as the program works.
#include "bench/norvane_side.h"

#include <stdexcept>

#include "engine/common/byte_codec.h"
#include "engine/container/pfs_manager.h"
#include "engine/tables/dezi_database.h"
#include "engine/tables/dezi_table.h"
#include "engine/tables/field_types.h"
#include "engine/tables/index_header.h"
#include "engine/tables/memory_stream.h"

namespace norvane::bench {

TNorvaneSide::~TNorvaneSide() {
  try {
    Close();
  } catch (const std::exception&) {
    // Nothing more to do on the way out; the run has reported its figures.
  }
}

void TNorvaneSide::OpenStore() {
  bool readOnly = false;
  store_ = TPFSManager::Instance().GetPFSHandle(file_, "", false, readOnly, smContainer);
  if (store_ == nullptr || readOnly) throw std::runtime_error("cannot open the catalogue " + file_);
  table_ = std::make_unique<TDeziDataManager>(*store_, "Article", false);
}

// The container is flushed and let go when its store is released, so the
// file on disk is whole after this.
void TNorvaneSide::ReleaseStore() {
  table_.reset();
  store_.reset();
  TPFSManager::Instance().ReleasePFS(file_, false);
}

TDeziDataManager& TNorvaneSide::Table() {
  if (table_ == nullptr || !table_->IsOpen()) throw std::logic_error("the article table is closed");
  return *table_;
}

void TNorvaneSide::Create() {
  if (!TPFSManager::Instance().CreateContainer(file_, "", false))
    throw std::runtime_error("cannot create the catalogue " + file_);
  OpenStore();
  table_->CreateTable(ArticleFields(true), 0, false, true);
  table_->AddIndex("IndexTree", "ArticleName;NN;Year", true, "", "ArticleName;NN;Year",
                   ixDescending);
}

void TNorvaneSide::Append(const std::vector<TArticle>& articles) {
  TDeziDataManager& table = Table();
  TMemoryStream summary;
  const TBLOBValues withSummary = {{afSummary, &summary}};
  for (const TArticle& article : articles) {
    std::vector<uint8_t> image = table.EncodeRecord(ArticleValues(article, true));
    if (article.Summary.empty()) {
      table.aaAddRecord(image.data());
    } else {
      summary.Assign(std::vector<uint8_t>(article.Summary.begin(), article.Summary.end()));
      table.aaAddRecord(image.data(), -1, &withSummary);
    }
  }
  table.FlushBuffers();
  table.CloseTable();
  ReleaseStore();
}

int64_t TNorvaneSide::Reopen() {
  // From here on the article table is worked through the table cursor, as
  // the program works it.
  cursor_ = std::make_unique<TDeziTable>();
  cursor_->SetDatabaseFileName(file_);
  cursor_->SetTableName("Article");
  cursor_->Open();
  return cursor_->RecordCount();
}

TDeziTable& TNorvaneSide::Cursor() {
  if (cursor_ == nullptr || !cursor_->Active()) throw std::logic_error("the article table is closed");
  return *cursor_;
}

TRow TNorvaneSide::CurrentRow() {
  TDeziTable& table = Cursor();
  return {table.Fields()[table.Fields().Count() - 1].AsInteger(), table.Fields()[afArticleName].AsString()};
}

bool TNorvaneSide::SeekId(int32_t id) {
  TDeziTable& table = Cursor();
  table.FindNearest({id});
  return !table.IsEmpty() && table.Fields()[table.Fields().Count() - 1].AsInteger() == id;
}

std::vector<TRow> TNorvaneSide::Lookup(const std::vector<int32_t>& ids) {
  Cursor().SetIndexName("@ID");
  std::vector<TRow> rows;
  rows.reserve(ids.size());
  for (const int32_t id : ids)
    if (SeekId(id)) rows.push_back(CurrentRow());
  return rows;
}

std::vector<TRow> TNorvaneSide::Walk(const char* index) {
  TDeziTable& table = Cursor();
  table.SetIndexName(index);
  std::vector<TRow> rows;
  rows.reserve(static_cast<size_t>(table.RecordCount()));
  for (table.First(); !table.Eof(); table.Next()) rows.push_back(CurrentRow());
  return rows;
}

std::vector<TRow> TNorvaneSide::ScanByTitle() { return Walk("@@ArticleName"); }

std::vector<TRow> TNorvaneSide::Range(int32_t year) {
  TDeziTable& table = Cursor();
  table.SetIndexName("@Year");
  std::vector<TRow> rows;
  TField& yearField = table.Fields()[afYear];
  for (table.FindNearest({year}); !table.Eof() && !yearField.IsNull() && yearField.AsInteger() == year;
       table.Next())
    rows.push_back(CurrentRow());
  return rows;
}

std::vector<TRow> TNorvaneSide::WalkFiltered(const std::string& filter) {
  TDeziTable& table = Cursor();
  table.SetIndexName("@ID");
  table.SetFilter(filter);
  table.SetFilterOptions(0);
  table.SetFiltered(true);
  std::vector<TRow> rows;
  for (table.First(); !table.Eof(); table.Next()) rows.push_back(CurrentRow());
  table.SetFiltered(false);
  return rows;
}

std::vector<TRow> TNorvaneSide::FilterYear(int32_t year) {
  return WalkFiltered("Year = " + std::to_string(year));
}

std::vector<TRow> TNorvaneSide::FilterYearAndIssue(int32_t year, int32_t issue) {
  return WalkFiltered("Year = " + std::to_string(year) + " and NN = " + std::to_string(issue));
}

std::vector<TRow> TNorvaneSide::FilterTitleHolds(const std::string& part) {
  std::string quoted;
  for (const char c : part) quoted += c == '\'' ? "''" : std::string(1, c);
  return WalkFiltered("ArticleName like '%" + quoted + "%'");
}

std::vector<TRow> TNorvaneSide::LocateTitles(const std::vector<std::string>& titles) {
  TDeziTable& table = Cursor();
  table.SetIndexName("@ID");
  std::vector<TRow> rows;
  rows.reserve(titles.size());
  for (const std::string& title : titles)
    if (table.Locate("ArticleName", {title}, 0)) rows.push_back(CurrentRow());
  return rows;
}

void TNorvaneSide::Update(const std::vector<TRow>& titles) {
  TDeziTable& table = Cursor();
  table.SetIndexName("@ID");
  for (const TRow& change : titles) {
    if (!SeekId(change.Id)) throw std::runtime_error("no article " + std::to_string(change.Id));
    table.Edit();
    table.Fields()[afArticleName].SetAsString(change.Title);
    table.Post();
  }
  table.Table()->FlushBuffers();
}

void TNorvaneSide::Delete(const std::vector<int32_t>& ids) {
  TDeziTable& table = Cursor();
  table.SetIndexName("@ID");
  for (const int32_t id : ids) {
    if (!SeekId(id)) throw std::runtime_error("no article " + std::to_string(id));
    table.Delete();
  }
  table.Table()->FlushBuffers();
}

void TNorvaneSide::Compact() {
  Close();
  TDeziDatabase database;
  database.SetDatabaseFileName(file_);
  std::string log;
  if (!database.CompactDatabase(log)) throw std::runtime_error("compaction failed: " + log);
}

std::vector<TRow> TNorvaneSide::RowsById() { return Walk("@ID"); }

void TNorvaneSide::Close() {
  cursor_.reset();
  if (table_ != nullptr && table_->IsOpen()) table_->CloseTable();
  if (store_ != nullptr) ReleaseStore();
}

}  // namespace norvane::bench
