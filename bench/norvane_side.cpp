// The engine's workloads. Records are read in place from the record cache,
// the way a cursor's field getters read its buffer, so no workload pays for
// decoding fields it does not show.
#include "bench/norvane_side.h"

#include <stdexcept>

#include "engine/common/byte_codec.h"
#include "engine/container/pfs_manager.h"
#include "engine/tables/dezi_database.h"
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

int32_t TNorvaneSide::Index(const char* name) const {
  const int32_t index = table_->InternalGetIndexNo(name);
  if (index < 0) throw std::runtime_error(std::string("the article table has no index ") + name);
  return index;
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
  OpenStore();
  if (!table_->Open()) throw std::runtime_error("the catalogue has no article table");
  idKey_.assign(static_cast<size_t>(table_->Geometry().RecordSize), 0);
  return table_->Header().RecordCount;
}

int32_t TNorvaneSide::PhysicalOf(int32_t id) {
  TDeziDataManager& table = Table();
  const int32_t index = 0;  // the row identifier index is always the first
  PutI32LE(idKey_.data() + table.Geometry().RowIdOffset, id);
  const int32_t position = table.KeyPosition(idKey_.data(), index, true, false, 1);
  return position < 0 ? -1 : table.IndexRecord(index, position);
}

TRow TNorvaneSide::RowAt(int32_t physical) {
  TDeziDataManager& table = Table();
  const TRecordGeometry& g = table.Geometry();
  const uint8_t* record = table.RecordPtr(physical);
  TRow row;
  row.Id = GetI32LE(record + g.RowIdOffset);
  // A required field, so never null: the text runs to its terminator.
  row.Title = reinterpret_cast<const char*>(record + g.FieldOffsets[afArticleName]);
  return row;
}

std::vector<TRow> TNorvaneSide::Lookup(const std::vector<int32_t>& ids) {
  std::vector<TRow> rows;
  rows.reserve(ids.size());
  for (const int32_t id : ids) {
    const int32_t physical = PhysicalOf(id);
    if (physical >= 0) rows.push_back(RowAt(physical));
  }
  return rows;
}

std::vector<TRow> TNorvaneSide::ScanByTitle() {
  TDeziDataManager& table = Table();
  const int32_t index = Index("@@ArticleName");
  const int32_t count = table.Header().RecordCount;
  std::vector<TRow> rows;
  rows.reserve(static_cast<size_t>(count));
  for (int32_t position = 0; position < count; ++position)
    rows.push_back(RowAt(table.IndexRecord(index, position)));
  return rows;
}

std::vector<TRow> TNorvaneSide::Range(int32_t year) {
  TDeziDataManager& table = Table();
  const int32_t index = Index("@Year");
  TRecordValues key;
  key.Fields.resize(afFieldCount);
  key.Fields[afYear] = IntValue(year);
  const std::vector<uint8_t> image = table.EncodeRecord(key);
  std::vector<TRow> rows;
  const int32_t first = table.KeyPosition(image.data(), index, true, false, 1);
  if (first < 0) return rows;
  const int32_t last = table.KeyPosition(image.data(), index, true, true, 1);
  for (int32_t position = first; position <= last; ++position)
    rows.push_back(RowAt(table.IndexRecord(index, position)));
  return rows;
}

void TNorvaneSide::Update(const std::vector<TRow>& titles) {
  TDeziDataManager& table = Table();
  for (const TRow& change : titles) {
    const int32_t physical = PhysicalOf(change.Id);
    if (physical < 0) throw std::runtime_error("no article " + std::to_string(change.Id));
    TRecordValues values = table.DecodeRecord(table.RecordPtr(physical));
    values.Fields[afArticleName].Bytes = change.Title;
    const std::vector<uint8_t> image = table.EncodeRecord(values);
    table.aaUpdateRecord(image.data(), physical);
  }
  table.FlushBuffers();
}

void TNorvaneSide::Delete(const std::vector<int32_t>& ids) {
  TDeziDataManager& table = Table();
  for (const int32_t id : ids) {
    const int32_t physical = PhysicalOf(id);
    if (physical < 0) throw std::runtime_error("no article " + std::to_string(id));
    table.aaDeleteRecord(physical);
  }
  table.FlushBuffers();
}

void TNorvaneSide::Compact() {
  Close();
  TDeziDatabase database;
  database.SetDatabaseFileName(file_);
  std::string log;
  if (!database.CompactDatabase(log)) throw std::runtime_error("compaction failed: " + log);
}

std::vector<TRow> TNorvaneSide::RowsById() {
  TDeziDataManager& table = Table();
  const int32_t count = table.Header().RecordCount;
  std::vector<TRow> rows;
  rows.reserve(static_cast<size_t>(count));
  for (int32_t position = 0; position < count; ++position)
    rows.push_back(RowAt(table.IndexRecord(0, position)));
  return rows;
}

void TNorvaneSide::Close() {
  if (table_ != nullptr && table_->IsOpen()) table_->CloseTable();
  if (store_ != nullptr) ReleaseStore();
}

}  // namespace norvane::bench
