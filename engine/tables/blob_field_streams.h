// The large values a dataset holds for its current record: one cached
// stream per large-value field, made when the field is first opened as a
// stream and kept until the record changes, the dataset posts or cancels.
// Edits to a large field live here until the post writes them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "engine/tables/memory_stream.h"

namespace norvane {

class TBlobFieldStreams {
 public:
  // Keeps the cache for the record with row identifier `rowId`: a different
  // record than the one cached drops every stream first.
  void FollowRecord(int32_t rowId);
  // The cached stream of the field, or null. Streams are shared so that one
  // dropped while a reader still holds it stays valid for that reader.
  std::shared_ptr<TMemoryStream> Find(int32_t fieldNo) const;
  // A new empty stream for the field, replacing any cached one.
  std::shared_ptr<TMemoryStream> Replace(int32_t fieldNo);
  // The cached streams by field position, for the post to write.
  const std::map<int32_t, std::shared_ptr<TMemoryStream>>& Streams() const { return streams_; }
  // Post and cancel are done with the cached values.
  void DropAll();

 private:
  std::map<int32_t, std::shared_ptr<TMemoryStream>> streams_;
  int32_t rowId_ = 0;
  bool following_ = false;
};

}  // namespace norvane
