// The stream through which a dataset's user reads and writes one large field
// of the current record. It works on the dataset's cached stream of that
// field (see TBlobFieldStreams), so edits stay in memory until the post.
//
// A write mode on a read-only dataset is refused at creation. Freeing a
// stream that was written to marks the field modified and tells the
// dataset's links; then the field's null bit follows the cached value's
// size. Errors while freeing go to the dataset's error handler.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>

#include "engine/tables/blob_field_streams.h"
#include "engine/tables/memory_stream.h"

namespace norvane {

class TDeziDataManager;

enum class TBlobStreamMode { Read, Write, ReadWrite };

// What a large field's stream needs of its dataset.
class TBlobStreamOwner {
 public:
  virtual ~TBlobStreamOwner() = default;
  virtual bool BlobReadOnly() const = 0;
  // The current record, re-synchronised from the active record buffer;
  // false when the dataset has none.
  virtual bool SyncCurrentRecord() = 0;
  // The current record's row identifier and physical number (valid after
  // SyncCurrentRecord; the physical number is not used while inserting).
  virtual int32_t CurrentRowId() const = 0;
  virtual int32_t CurrentPhysical() const = 0;
  virtual bool Editing() const = 0;    // edit or insert state
  virtual bool Inserting() const = 0;  // insert state
  // The table's manager, null when the table is not open.
  virtual TDeziDataManager* BlobTable() = 0;
  virtual TBlobFieldStreams& BlobStreams() = 0;
  // The field was written through a stream: mark it modified and tell the
  // data links. May throw.
  virtual void BlobFieldModified(int32_t fieldNo) = 0;
  // Closing the field: its null bit in the active record buffer.
  virtual void SetBlobFieldNull(int32_t fieldNo, bool isNull) = 0;
  virtual void HandleBlobError(const std::exception& error) = 0;
};

class TDeziBlobStream {
 public:
  // The stream of large field `fieldNo` (its position among the table's
  // fields) of the owner's current record.
  TDeziBlobStream(TBlobStreamOwner& owner, int32_t fieldNo, TBlobStreamMode mode);
  ~TDeziBlobStream();
  TDeziBlobStream(const TDeziBlobStream&) = delete;
  TDeziBlobStream& operator=(const TDeziBlobStream&) = delete;

  // Without a current record there is nothing to read and nowhere to write:
  // both give 0 bytes.
  int64_t Read(void* out, int64_t n);
  int64_t Write(const void* in, int64_t n);
  int64_t Seek(int64_t offset, int origin);
  // Cuts the value at the position.
  void Truncate();
  int64_t Size() const { return cached_ != nullptr ? cached_->Size() : 0; }

 private:
  TBlobStreamOwner& owner_;
  int32_t fieldNo_;
  TBlobStreamMode mode_;
  std::shared_ptr<TMemoryStream> cached_;
  bool modified_ = false;
};

// The dataset's CreateBlobStream: refuses a write mode on a read-only
// dataset with the dataset's own message before making the stream.
std::unique_ptr<TDeziBlobStream> CreateBlobStream(TBlobStreamOwner& owner, int32_t fieldNo,
                                                  TBlobStreamMode mode);

}  // namespace norvane
