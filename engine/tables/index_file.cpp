// T.idx as the table keeps it: the index header's change counter that says
// whether the stored arrays describe T.dat, the index descriptions, and the
// arrays, read at open (and checked before they are trusted) and written back
// whole.
#include <algorithm>

#include "engine/common/byte_codec.h"
#include "engine/platform/file_system.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/index_header.h"
#include "engine/tables/table_version.h"

namespace norvane {
namespace {

// The most bytes one description can take in a table of n fields.
size_t MaxDescriptionSize(size_t fields) {
  const size_t keys = fields + 1;
  return 21 + 4 + 4 * keys + 2 * ((keys + 7) / 8) + 3;
}

// Arrays move through buffers of at most this many entries.
constexpr size_t kArrayChunk = 1 << 20;

}  // namespace

bool TDeziDataManager::ReadIndexDescriptions(std::vector<TIndexDescription>& descriptions,
                                             int64_t& arraysAt) {
  if (idx_ == nullptr) return false;
  const int64_t size = idx_->Size();
  if (size < kIndexFileHeaderSize) return false;
  uint8_t head[kIndexFileHeaderSize];
  idx_->SeekFromStart(0);
  idx_->ReadBuffer(head, kIndexFileHeaderSize);
  TIndexFileHeader header;
  DecodeIndexFileHeader(head, header);
  indexCounterCurrent_ = header.ChangeCounter == header_.ChangeCounter;
  if (header.IndexCount <= 0) return false;
  // Only the descriptions are read: bounded by what the count can need and
  // by the file, never by the count alone.
  const size_t want = std::min<size_t>(
      static_cast<size_t>(size - kIndexFileHeaderSize),
      static_cast<size_t>(header.IndexCount) * MaxDescriptionSize(fields_.size()));
  std::vector<uint8_t> bytes(want);
  if (!bytes.empty()) idx_->ReadBuffer(bytes.data(), static_cast<int32_t>(want));
  // Descriptions of tables before 2.2 have no options byte; their flags
  // carry the two options that order keys.
  const bool withOptions = header_.Version >= kCurrentTableVersion - 0.001;
  size_t at = 0;
  for (int32_t i = 0; i < header.IndexCount; ++i) {
    TIndexDescription index;
    size_t used = 0;
    if (!DecodeIndexDescription(bytes.data() + at, bytes.size() - at, withOptions,
                                static_cast<int32_t>(fields_.size()), index, used))
      return false;
    if (!withOptions)
      index.Options = static_cast<uint8_t>((index.WholeDescending ? ixDescending : 0) |
                                           (index.WholeCaseInsensitive ? ixCaseInsensitive : 0));
    descriptions.push_back(std::move(index));
    at += used;
  }
  arraysAt = kIndexFileHeaderSize + static_cast<int64_t>(at);
  return true;
}

void TDeziDataManager::LoadIndexFile() {
  indexes_.clear();
  indexCounterCurrent_ = false;
  indexFileDiffers_ = false;
  std::vector<TIndexDescription> descriptions;
  int64_t arraysAt = 0;
  bool complete = ReadIndexDescriptions(descriptions, arraysAt);
  if (complete) {
    try {
      for (TIndexDescription& description : descriptions) AppendIndex(std::move(description));
    } catch (const EEngineError&) {
      // A key field of a type no index can have: the list is damaged.
      complete = false;
    }
  }
  if (!complete) {
    // An incomplete list is no list: the automatic set takes its place.
    MakeAutomaticIndexes();
    indexFileDiffers_ = true;
    return;
  }
  if (header_.RecordCount == 0) {
    for (auto& index : indexes_) index->Built = true;
    return;
  }
  if (indexCounterCurrent_) LoadIndexArrays(arraysAt);
  for (const auto& index : indexes_)
    if (!index->Built && !index->Loaded) indexFileDiffers_ = true;
}

bool TDeziDataManager::IdentifiersVouchedFor() {
  if (header_.RecordCount == 0) return true;
  // An array over the row identifier alone that passed the order check holds
  // strictly rising identifiers: each once, the last the highest.
  for (const auto& index : indexes_) {
    if (!index->Built || index->Description.KeyFields != std::vector<int32_t>{-1}) continue;
    const uint8_t* last = KeyRecord(index->Array.At(index->Array.Size() - 1).Record);
    return GetI32LE(last + geometry_.RowIdOffset) <= header_.LastId;
  }
  return false;
}

void TDeziDataManager::LoadIndexArrays(int64_t at) {
  const int64_t bytes = int64_t{header_.RecordCount} * 4;
  if (idx_->Size() - at < bytes * static_cast<int64_t>(indexes_.size())) return;
  // Each array stays in T.idx until its index is first used; only where it
  // lies is noted now.
  for (auto& index : indexes_) {
    index->StoredAt = at;
    index->Loaded = true;
    at += bytes;
  }
  // The row identifier's array is checked now, without sorting it: an open
  // relies on it to vouch for unique identifiers (IdentifiersVouchedFor).
  for (auto& index : indexes_) {
    if (index->Description.KeyFields != std::vector<int32_t>{-1}) continue;
    index->Loaded = false;
    index->Built = ReadStoredArray(*index) && IdentifiersInOrder(*index);
    break;
  }
}

bool TDeziDataManager::IdentifiersInOrder(TTableIndex& index) {
  // The identifiers alone, read past the record cache: an open need not
  // bring every record into memory to trust this array.
  const std::vector<int32_t> ids = StoredIdentifiers();
  std::vector<TIndexEntry> order = index.Array.Flatten();
  std::vector<uint8_t> record(static_cast<size_t>(geometry_.RecordSize), 0);
  std::string key;
  for (size_t i = 0; i < order.size(); ++i) {
    const int32_t physical = order[i].Record;
    const int32_t id = ids[static_cast<size_t>(physical)];
    if (i > 0 && !(ids[static_cast<size_t>(order[i - 1].Record)] < id)) return false;
    PutI32LE(record.data() + geometry_.RowIdOffset, id);
    index.Encoder.EncodeRow(record.data(), key);
    order[i] = {KeyHead(key), physical};
  }
  index.Array.Assign(order);
  return true;
}

bool TDeziDataManager::ReadStoredArray(TTableIndex& index) {
  const size_t count = static_cast<size_t>(header_.RecordCount);
  std::vector<uint8_t> bytes;
  std::vector<TIndexEntry> order(count);
  std::vector<bool> seen(count, false);
  idx_->SeekFromStart(static_cast<int32_t>(index.StoredAt));
  index.StoredAt = -1;
  for (size_t first = 0; first < count; first += kArrayChunk) {
    const size_t n = std::min(kArrayChunk, count - first);
    bytes.resize(n * 4);
    idx_->ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    for (size_t i = 0; i < n; ++i) {
      const int32_t physical = GetI32LE(&bytes[i * 4]);
      // Anything but each record exactly once is a damaged array.
      if (physical < 0 || static_cast<size_t>(physical) >= count || seen[physical]) return false;
      seen[physical] = true;
      order[first + i] = {TKeyHead{}, physical};
    }
  }
  index.Array.Assign(order);
  return true;
}

void TDeziDataManager::ReadStoredArrays() {
  for (auto& index : indexes_)
    if (index->Loaded && index->StoredAt >= 0 && !ReadStoredArray(*index)) {
      index->Drop();
      indexFileDiffers_ = true;
    }
}

void TDeziDataManager::SaveIndexesToDisk() {
  CheckWritable("SaveIndexesToDisk");
  // T.dat first, so that the arrays and the counter stored with them
  // describe what is on disk.
  FlushBuffers();
  std::vector<uint8_t> bytes(kIndexFileHeaderSize);
  int32_t stored = 0;
  for (const auto& index : indexes_) {
    if (index->Temporary()) continue;
    EncodeIndexDescription(index->Description, true, bytes);
    ++stored;
  }
  EncodeIndexFileHeader({header_.ChangeCounter, stored, kCurrentTableVersion}, bytes.data());
  // Arrays still in T.idx are read before it is written over.
  ReadStoredArrays();
  idx_->SetSize(0);
  idx_->SeekFromStart(0);
  idx_->WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  if (header_.RecordCount > 0) {
    for (int32_t i = 0; i < IndexCount(); ++i) {
      if (indexes_[i]->Temporary()) continue;
      BuildIndex(i);
      const std::vector<TIndexEntry> order = indexes_[i]->Array.Flatten();
      for (size_t first = 0; first < order.size(); first += kArrayChunk) {
        const size_t n = std::min(kArrayChunk, order.size() - first);
        bytes.resize(n * 4);
        for (size_t j = 0; j < n; ++j) PutI32LE(&bytes[j * 4], order[first + j].Record);
        idx_->WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
      }
    }
  }
  idx_->Flush();
  indexCounterCurrent_ = true;
  indexFileDiffers_ = false;
}

void TDeziDataManager::MarkIndexFileStale() {
  if (!indexCounterCurrent_) return;
  // One less than T.dat's counter: the header's counter only grows from
  // here, so the two cannot meet again.
  uint8_t counter[4];
  PutI32LE(counter, static_cast<int32_t>(static_cast<uint32_t>(diskChangeCounter_) - 1));
  idx_->SeekFromStart(0);
  idx_->WriteBuffer(counter, 4);
  idx_->Flush();
  indexCounterCurrent_ = false;
}

}  // namespace norvane
