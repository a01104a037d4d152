// The records of an open table: reading them through the cache and the write
// log, appending, replacing and deleting them, and flushing the log to T.dat
// in the order that keeps the file openable wherever a program stops.
#include <algorithm>
#include <cstring>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "engine/platform/memory_info.h"
#include "engine/platform/tick_counter.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"
#include "engine/tables/record_journal.h"

namespace norvane {

void TDeziDataManager::StartRecords() {
  const int64_t freeMemory = freeMemory_ ? freeMemory_() : FreePhysicalMemory();
  images_ = std::make_unique<TRecordImage>(fields_, geometry_);
  cipher_.reset();
  if (header_.Encrypted != 0) cipher_ = std::make_unique<TRecordImage>(fields_, geometry_, password_);
  cache_ = std::make_unique<TaaRecordsArray>(geometry_.RecordSize, freeMemory / 3);
  log_ = std::make_unique<TaaBufferLogArray>(geometry_.RecordSize, std::max<int64_t>(freeMemory / 10, 1));
  diskRecords_ = header_.RecordCount;
}

void TDeziDataManager::CheckWritable(const char* operation) const {
  if (readOnly_)
    throw EEngineError(std::string("TDeziDataManager.") + operation + " - table is in ReadOnly mode!");
}

void TDeziDataManager::CheckRecordNumber(int32_t physical, const char* operation) const {
  if (physical < 0 || physical >= header_.RecordCount)
    throw EEngineError(std::string("TDeziDataManager.") + operation +
                       " - invalid record Number, recPos = " + std::to_string(physical));
}

TRecordsPage& TDeziDataManager::LoadedPage(int32_t physical) {
  if (physical < 0 || physical >= header_.RecordCount)
    throw EEngineError("TRecordsPage.GetRecordPtr - Cannot find record");
  TRecordsPage* page = cache_->Find(physical);
  if (page == nullptr) {
    LoadPage(physical);
    page = cache_->Find(physical);
  }
  return *page;
}

const uint8_t* TDeziDataManager::RecordPtr(int32_t physical) {
  TRecordsPage& page = LoadedPage(physical);
  if (page.Damaged(physical))
    throw EEngineError(kRecordCrcError);
  return page.GetRecordPtr(physical);
}

void TDeziDataManager::PrefetchRecord(int32_t physical) {
  if (physical < 0 || physical >= header_.RecordCount) return;
  TRecordsPage* page = cache_->Find(physical);
  if (page == nullptr) return;
  const uint8_t* record = page->GetRecordPtr(physical);
  constexpr int32_t kCacheLine = 64;
  for (int32_t at = 0; at < geometry_.RecordSize; at += kCacheLine) __builtin_prefetch(record + at);
}

void TDeziDataManager::LoadPage(int32_t physical) {
  const int32_t pageNo = cache_->PageOf(physical);
  // The page holding the last record is where appends go: it is kept.
  TRecordsPage& page = cache_->GetPageToUse(pageNo, cache_->PageOf(header_.RecordCount - 1));
  const int32_t first = page.First();
  const int32_t count = std::min(cache_->PageRecords(), header_.RecordCount - first);
  const size_t size = static_cast<size_t>(geometry_.RecordSize);
  const int32_t fromDisk = std::clamp(diskRecords_ - first, 0, count);
  try {
    page.SetCount(count);
    if (fromDisk > 0) {
      dat_->SeekFromStart(geometry_.DataStart + first * geometry_.RecordSize);
      dat_->ReadBuffer(page.Data(), static_cast<int32_t>(fromDisk * size));
    }
  } catch (...) {
    // A page that did not load holds nothing: the next read tries again.
    page.SetCount(0);
    throw;
  }
  for (int32_t i = 0; i < count; ++i) {
    uint8_t* record = page.Data() + static_cast<size_t>(i) * size;
    if (const uint8_t* logged = log_->FindRecord(first + i)) std::memcpy(record, logged, size);
    if (!cipher_) continue;
    try {
      cipher_->Decipher(record);
    } catch (const EEngineError&) {
      // Only this record is lost to the damage, not its neighbours.
      page.SetDamaged(first + i, true);
    }
  }
}

void TDeziDataManager::LogRecord(int32_t physical, const uint8_t* plain) {
  if (!cipher_) {
    log_->AddRecord(physical, plain, GetTickCount());
    return;
  }
  std::vector<uint8_t> stored(plain, plain + geometry_.RecordSize);
  cipher_->Encipher(stored.data());
  log_->AddRecord(physical, stored.data(), GetTickCount());
}

int32_t TDeziDataManager::aaAddRecord(uint8_t* image, int32_t ownIndex, const TBLOBValues* values,
                                      int32_t rowId) {
  CheckWritable("aaAddRecord");
  if (blobs_ && (blobs_->RowCount() != blobs_->HeaderRecordCount() ||
                 blobs_->RowCount() != header_.RecordCount))
    throw EEngineError("TDeziDataManager.aaAddBLOBRecord - blobMap.ItemCount <> blobFileHeader.RecordCount");
  if (ExactDataLength() + geometry_.RecordSize > TAbstractFile::kMaxSize)
    throw EEngineError("TDeziDataManager.aaAddRecord - the table file \"" + tableName_ +
                       ".dat\" cannot grow past " + std::to_string(TAbstractFile::kMaxSize) +
                       " bytes.");
  if (rowId == 0) {
    if (header_.LastId == INT32_MAX)
      throw EEngineError("TDeziDataManager.aaAddRecord - no row identifier is left.");
    rowId = header_.LastId + 1;
  } else if (rowId < 1) {
    throw EEngineError("TDeziDataManager.aaAddRecord - invalid row identifier " +
                       std::to_string(rowId) + ".");
  }
  PutI32LE(image + geometry_.RowIdOffset, rowId);
  // An identifier asked for may be one a record has: identifiers are unique
  // for life, so that is a key violation like any other.
  if (rowId <= header_.LastId && KeyPosition(image, 0, true, false, 1) >= 0)
    throw EKeyViolation("TDeziDataManager.aaAddRecord", tableName_, indexes_[0]->Description.Name);
  // Every place is found before anything changes, so a failing search
  // leaves the table as it was.
  const std::vector<bool> keep = IndexesToKeep(ownIndex);
  std::vector<size_t> places(indexes_.size());
  std::vector<TKeyHead> heads(indexes_.size());
  for (size_t i = 0; i < indexes_.size(); ++i)
    if (keep[i]) places[i] = RowPosition(*indexes_[i], image, &heads[i]);
  // The values are coded, and their room checked, before anything changes.
  std::vector<std::pair<int32_t, TStoredBlobValue>> stored;
  if (blobs_) {
    int64_t blocks = 0;
    for (size_t f = 0, index = 0; f < fields_.size(); ++f) {
      if (!IsLargeValueType(fields_[f].Type)) continue;
      const int32_t field = static_cast<int32_t>(f);
      const auto given = values != nullptr ? values->find(field) : TBLOBValues::const_iterator();
      const bool present =
          values != nullptr && given != values->end() && given->second != nullptr &&
          given->second->Size() > 0;
      uint8_t& nullByte = image[geometry_.NullBitsOffset + f / 8];
      const uint8_t mask = static_cast<uint8_t>(1u << (f % 8));
      nullByte = present ? static_cast<uint8_t>(nullByte & ~mask) : static_cast<uint8_t>(nullByte | mask);
      if (present) {
        stored.emplace_back(static_cast<int32_t>(index), PrepareBLOBValue(*given->second, field));
        blocks += BlocksOf(stored.back().second);
      }
      ++index;
    }
    CheckBLOBGrowth(blocks);
  }
  header_.LastId = std::max(header_.LastId, rowId);
  ++header_.ChangeCounter;
  const int32_t physical = header_.RecordCount++;
  if (blobs_) {
    blobs_->AddRow();
    for (auto& [index, value] : stored) StoreBLOBValue(blobs_->Value(physical, index), std::move(value));
    blobsDirty_ = true;
  }
  LogRecord(physical, image);
  cache_->AppendRecord(physical, image);
  for (size_t i = 0; i < indexes_.size(); ++i) {
    if (!keep[i]) continue;
    indexes_[i]->Array.Insert(places[i], {heads[i], physical});
  }
  AfterChange();
  return physical;
}

size_t TDeziDataManager::PlaceOf(TTableIndex& index, int32_t physical, const char* operation,
                                 const char* which) {
  const size_t place = EntryOf(index, physical);
  if (place >= index.Array.Size())
    throw EEngineError(std::string("TDeziDataManager.") + operation +
                       " - invalid record Number, " + which + " = " + std::to_string(physical));
  return place;
}

void TDeziDataManager::aaUpdateRecord(const uint8_t* image, int32_t physical, int32_t ownIndex) {
  CheckWritable("aaUpdateRecord");
  CheckRecordNumber(physical, "aaUpdateRecord");
  std::vector<uint8_t> record(image, image + geometry_.RecordSize);
  // A record keeps its identifier for life; it is stored plain, so even a
  // record too damaged to read can be written over.
  std::memcpy(record.data() + geometry_.RowIdOffset,
              LoadedPage(physical).GetRecordPtr(physical) + geometry_.RowIdOffset, 4);
  // Same key, same row identifier: same place.
  std::vector<bool> unmoved(indexes_.size());
  {
    const uint8_t* old = KeyRecord(physical);
    std::string oldKey, newKey;
    for (size_t i = 0; i < indexes_.size(); ++i) {
      indexes_[i]->Encoder.Encode(old, oldKey);
      indexes_[i]->Encoder.Encode(record.data(), newKey);
      unmoved[i] = oldKey == newKey;
    }
  }
  std::vector<bool> keep = IndexesToKeep(ownIndex, &unmoved);
  // (from, to) per index: to is the place in the array without the entry.
  std::vector<std::pair<size_t, size_t>> moves(indexes_.size());
  std::vector<TKeyHead> heads(indexes_.size());
  for (size_t i = 0; i < indexes_.size(); ++i) {
    if (!keep[i]) continue;
    if (unmoved[i]) {
      keep[i] = false;
      continue;
    }
    TTableIndex& index = *indexes_[i];
    const size_t from = PlaceOf(index, physical, "aaUpdateRecord", "recPos");
    const size_t to = RowPosition(index, record.data(), &heads[i]);
    moves[i] = {from, to > from ? to - 1 : to};
  }
  ++header_.ChangeCounter;
  LogRecord(physical, record.data());
  cache_->ReplaceRecord(physical, record.data());
  for (size_t i = 0; i < indexes_.size(); ++i) {
    if (!keep[i]) continue;
    TChunkedArray<TIndexEntry>& array = indexes_[i]->Array;
    if (moves[i].first == moves[i].second) {
      array.Set(moves[i].first, {heads[i], physical});
      continue;
    }
    array.Erase(moves[i].first);
    array.Insert(moves[i].second, {heads[i], physical});
  }
  AfterChange();
}

bool TDeziDataManager::aaDeleteRecord(int32_t physical, int32_t ownIndex) {
  CheckWritable("aaDeleteRecord");
  CheckRecordNumber(physical, "aaDeleteRecord");
  const int32_t last = header_.RecordCount - 1;
  const bool moves = physical < last;
  const std::vector<bool> keep = IndexesToKeep(ownIndex);
  // (the record's place, the last record's place) per index.
  std::vector<std::pair<size_t, size_t>> places(indexes_.size());
  for (size_t i = 0; i < indexes_.size(); ++i) {
    if (!keep[i]) continue;
    places[i].first = PlaceOf(*indexes_[i], physical, "aaDeleteRecord", "recPos");
    if (moves) places[i].second = PlaceOf(*indexes_[i], last, "aaDeleteRecord", "last");
  }
  // The last record is read before anything changes: a read that fails
  // leaves the table as it was.
  std::vector<uint8_t> moved;
  if (moves) {
    const uint8_t* lastRecord = RecordPtr(last);
    moved.assign(lastRecord, lastRecord + geometry_.RecordSize);
  }
  // The record's values go with it; the last record's row moves with it.
  if (blobs_) {
    blobs_->DeleteRow(physical);
    blobsDirty_ = true;
  }
  ++header_.ChangeCounter;
  if (moves) {
    LogRecord(physical, moved.data());
    cache_->ReplaceRecord(physical, moved.data());
  }
  cache_->DeleteLastRecord(last);
  --header_.RecordCount;
  for (size_t i = 0; i < indexes_.size(); ++i) {
    if (!keep[i]) continue;
    // The last record now lives at the deleted one's number.
    TChunkedArray<TIndexEntry>& array = indexes_[i]->Array;
    if (moves) array.Set(places[i].second, {array.At(places[i].second).Head(), physical});
    array.Erase(places[i].first);
  }
  AfterChange();
  return moves;
}

void TDeziDataManager::AfterChange() {
  if (flushSuspended_ == 0 && log_->ShouldFlush(GetTickCount())) FlushBuffers();
}

void TDeziDataManager::ResumeAutoFlush() {
  if (flushSuspended_ > 0) --flushSuspended_;
  AfterChange();
}

void TDeziDataManager::WhileAutoFlushSuspended(const std::function<void()>& work) {
  SuspendAutoFlush();
  try {
    work();
  } catch (...) {
    ResumeAutoFlush();
    throw;
  }
  ResumeAutoFlush();
}

void TDeziDataManager::ReserveRowIds(int32_t last) {
  CheckWritable("ReserveRowIds");
  if (last <= header_.LastId) return;
  header_.LastId = last;
  // Counted as a change, so the header carrying it is written.
  ++header_.ChangeCounter;
  AfterChange();
}

void TDeziDataManager::FlushBuffers() {
  if (readOnly_ || !open_) return;
  const bool records = header_.ChangeCounter != diskChangeCounter_ || log_->HasRecords();
  if (!records && !log_->HasBlobData() && !blobsDirty_) return;
  // The index arrays in T.idx stop describing T.dat from the first record
  // written; marking them first is also how the next open knows that a
  // session may have stopped inside a flush.
  if (records) MarkIndexFileStale();
  // Invariant 6: the images written over go to the journal first.
  const bool journalled = WriteJournal();
  log_->WriteRecords(*dat_, geometry_.DataStart, header_.RecordCount);
  // Records and values reach the disk before the directory and the header
  // that count them (invariants 4 and 5).
  dat_->Flush();
  if (blobs_) {
    log_->WriteBlobData(*bdf_, blobs_->BlockSize());
    bdf_->Flush();
    SaveBLOBFile();
  }
  if (records) {
    SaveTableHeaders();
    dat_->SetSize(static_cast<int32_t>(ExactDataLength()));
  }
  if (journalled) DropJournal(kJournalExtension);
  log_->Clear();
  diskRecords_ = header_.RecordCount;
  diskChangeCounter_ = header_.ChangeCounter;
}

bool TDeziDataManager::WriteJournal() {
  // Records from the on-disk count on are beyond what T.dat's header counts
  // until the flush ends: a torn write there is never read.
  const auto overwritten = log_->RecordsBelow(std::min(diskRecords_, header_.RecordCount));
  // T.dat holds at most 2 GiB, so only a flush writing over nearly all of
  // the largest table could outgrow a journal file; it goes unjournalled.
  if (overwritten.empty() ||
      RecordJournalLength(geometry_.RecordSize, overwritten.size()) > TAbstractFile::kMaxSize)
    return false;
  WriteJournalFile(kJournalExtension, geometry_.RecordSize, overwritten);
  return true;
}

void TDeziDataManager::ReplayJournal() {
  const std::optional<TRecordJournal> journal = CurrentJournal(kJournalExtension, geometry_.RecordSize);
  if (!journal) return;
  const uint32_t now = GetTickCount();
  for (const auto& [position, image] : journal->Images)
    if (position >= 0 && position < diskRecords_) log_->AddRecord(position, image.data(), now);
}

void TDeziDataManager::WriteJournalFile(const char* extension, int32_t imageSize,
                                        const std::vector<std::pair<int32_t, const uint8_t*>>& images) {
  TAbstractFile* journal = OpenOne(extension, true);
  try {
    WriteRecordJournal(*journal, imageSize, diskChangeCounter_, header_.ChangeCounter, images);
  } catch (...) {
    store_.CloseFile(journal);
    throw;
  }
  store_.CloseFile(journal);
}

void TDeziDataManager::DropJournal(const char* extension) {
  // A journal left behind is harmless: the counters it names are past.
  store_.DeleteFile(tableName_ + extension);
}

std::optional<TRecordJournal> TDeziDataManager::CurrentJournal(const char* extension, int32_t imageSize) {
  if (!store_.FileExists(tableName_ + extension)) return std::nullopt;
  std::vector<uint8_t> bytes;
  TAbstractFile* file = OpenOne(extension, false);
  try {
    bytes.resize(static_cast<size_t>(std::max(file->Size(), 0)));
    file->SeekFromStart(0);
    if (!bytes.empty()) file->ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  } catch (...) {
    store_.CloseFile(file);
    throw;
  }
  store_.CloseFile(file);
  std::optional<TRecordJournal> journal = DecodeRecordJournal(bytes, imageSize);
  // A journal cut short was being written when the process stopped, before
  // what it guards was touched; one whose counters are past was left by a
  // flush that ended. Neither says anything about the files. A read-only
  // table keeps the file for the next writable open.
  if (journal && (header_.ChangeCounter == journal->CounterBefore || header_.ChangeCounter == journal->CounterAfter))
    return journal;
  if (!readOnly_) DropJournal(extension);
  return std::nullopt;
}

void TDeziDataManager::ChangeBufferEncryption(uint8_t* record, bool encipher) const {
  if (record == nullptr)
    throw EEngineError("Error in TDeziDataManager.ChangeBufferEncryption - buffer 0 pointer.");
  if (!cipher_) return;
  if (encipher)
    cipher_->Encipher(record);
  else
    cipher_->Decipher(record);
}

TRecordValues TDeziDataManager::DecodeRecord(const uint8_t* image) const {
  return images_->Decode(image, static_cast<size_t>(geometry_.RecordSize));
}

std::vector<uint8_t> TDeziDataManager::EncodeRecord(const TRecordValues& values) const {
  return images_->Encode(values);
}

std::vector<uint8_t> TDeziDataManager::NullRecord() const { return images_->NullRecord(); }

void TDeziDataManager::PutStoredValue(int32_t field, const uint8_t* value, uint8_t* record) const {
  images_->PutStoredValue(static_cast<size_t>(field), value, record);
}

}  // namespace norvane
