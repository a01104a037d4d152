// The per-dataset cache of large values of the current record.
#include "engine/tables/blob_field_streams.h"

namespace norvane {

void TBlobFieldStreams::FollowRecord(int32_t rowId) {
  if (following_ && rowId == rowId_) return;
  DropAll();
  rowId_ = rowId;
  following_ = true;
}

std::shared_ptr<TMemoryStream> TBlobFieldStreams::Find(int32_t fieldNo) const {
  const auto found = streams_.find(fieldNo);
  return found == streams_.end() ? nullptr : found->second;
}

std::shared_ptr<TMemoryStream> TBlobFieldStreams::Replace(int32_t fieldNo) {
  return streams_[fieldNo] = std::make_shared<TMemoryStream>();
}

void TBlobFieldStreams::DropAll() {
  streams_.clear();
  following_ = false;
}

}  // namespace norvane
