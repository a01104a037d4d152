// T.idx as the table layer keeps it: the index header's change counter that
// says whether the stored arrays describe T.dat, and the index descriptions,
// read at open and written back in the current format.
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

}  // namespace

void TDeziDataManager::LoadIndexFile() {
  indexes_.clear();
  indexFileCurrent_ = false;
  if (idx_ == nullptr) return;
  const int64_t size = idx_->Size();
  if (size < kIndexFileHeaderSize) return;
  uint8_t head[kIndexFileHeaderSize];
  idx_->SeekFromStart(0);
  idx_->ReadBuffer(head, kIndexFileHeaderSize);
  TIndexFileHeader header;
  DecodeIndexFileHeader(head, header);
  indexFileCurrent_ = header.ChangeCounter == header_.ChangeCounter;
  if (header.IndexCount <= 0) return;
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
                                static_cast<int32_t>(fields_.size()), index, used)) {
      // An incomplete list is no list: the index layer makes the automatic
      // set in its place.
      indexes_.clear();
      return;
    }
    if (!withOptions)
      index.Options = static_cast<uint8_t>((index.WholeDescending ? ixDescending : 0) |
                                           (index.WholeCaseInsensitive ? ixCaseInsensitive : 0));
    indexes_.push_back(std::move(index));
    at += used;
  }
}

int32_t TDeziDataManager::InternalGetIndexNo(const std::string& name) const {
  for (size_t i = 0; i < indexes_.size(); ++i)
    if (SameNameIgnoringCase(indexes_[i].Name, name)) return static_cast<int32_t>(i);
  return -1;
}

void TDeziDataManager::MarkIndexFileStale() {
  if (!indexFileCurrent_) return;
  // One less than T.dat's counter: the header's counter only grows from
  // here, so the two cannot meet again.
  uint8_t counter[4];
  PutI32LE(counter, static_cast<int32_t>(static_cast<uint32_t>(diskChangeCounter_) - 1));
  idx_->SeekFromStart(0);
  idx_->WriteBuffer(counter, 4);
  idx_->Flush();
  indexFileCurrent_ = false;
}

void TDeziDataManager::SaveIndexDescriptions() {
  // The arrays are the index layer's; without them the file is too short to
  // be used and the indexes are built from the records, which is also what
  // stale arrays would have cost.
  std::vector<uint8_t> bytes(kIndexFileHeaderSize);
  EncodeIndexFileHeader({header_.ChangeCounter, static_cast<int32_t>(indexes_.size()),
                         kCurrentTableVersion},
                        bytes.data());
  for (const TIndexDescription& index : indexes_) EncodeIndexDescription(index, true, bytes);
  idx_->SetSize(0);
  idx_->SeekFromStart(0);
  idx_->WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  indexFileCurrent_ = true;
}

}  // namespace norvane
