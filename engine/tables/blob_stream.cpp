// A large field's stream over the dataset's cached value of that field.
#include "engine/tables/blob_stream.h"

#include "engine/common/engine_error.h"
#include "engine/tables/dezi_data_manager.h"

namespace norvane {

TDeziBlobStream::TDeziBlobStream(TBlobStreamOwner& owner, int32_t fieldNo, TBlobStreamMode mode)
    : owner_(owner), fieldNo_(fieldNo), mode_(mode) {
  if (mode != TBlobStreamMode::Read && owner.BlobReadOnly())
    throw EEngineError("Error in TDeziBlobStream.Create - Dataset is read only!");
  if (!owner.SyncCurrentRecord()) return;
  TDeziDataManager* table = owner.BlobTable();
  if (table == nullptr)
    throw EEngineError("Error in TDeziDataSet.InternalCreateBLOBStream - table is not opened.");
  TBlobFieldStreams& streams = owner.BlobStreams();
  streams.FollowRecord(owner.CurrentRowId());
  std::shared_ptr<TMemoryStream> cached = owner.Editing() ? streams.Find(fieldNo) : nullptr;
  // An edit keeps what was written to the field so far. A stream made
  // afresh while editing loads the stored value as one made while browsing
  // does: an empty stream would be posted and delete the value.
  const bool fresh = cached == nullptr;
  if (fresh) cached = streams.Replace(fieldNo);
  if (mode == TBlobStreamMode::Write) {
    cached->Clear();
    modified_ = true;
  } else if (fresh && !owner.Inserting()) {
    table->ReadBLOBValue(cached.get(), fieldNo, owner.CurrentPhysical());
  }
  cached->Seek(0, 0);
  cached_ = std::move(cached);
}

TDeziBlobStream::~TDeziBlobStream() {
  // The null bit follows the value even when telling the links failed.
  try {
    if (modified_) owner_.BlobFieldModified(fieldNo_);
  } catch (const std::exception& error) {
    owner_.HandleBlobError(error);
  }
  try {
    if (cached_ != nullptr) owner_.SetBlobFieldNull(fieldNo_, cached_->Size() == 0);
  } catch (const std::exception& error) {
    owner_.HandleBlobError(error);
  }
}

int64_t TDeziBlobStream::Read(void* out, int64_t n) {
  return cached_ != nullptr ? cached_->Read(out, n) : 0;
}

int64_t TDeziBlobStream::Write(const void* in, int64_t n) {
  if (mode_ == TBlobStreamMode::Read)
    throw EEngineError("Error in TDeziBlobStream.Write - blob stream is read only!");
  if (cached_ == nullptr) return 0;
  modified_ = true;
  return cached_->Write(in, n);
}

int64_t TDeziBlobStream::Seek(int64_t offset, int origin) {
  return cached_ != nullptr ? cached_->Seek(offset, origin) : 0;
}

void TDeziBlobStream::Truncate() {
  if (mode_ == TBlobStreamMode::Read)
    throw EEngineError("Error in TDeziBlobStream.Write - blob stream is read only!");
  if (cached_ == nullptr) return;
  modified_ = true;
  cached_->SetSize(cached_->Position());
}

std::unique_ptr<TDeziBlobStream> CreateBlobStream(TBlobStreamOwner& owner, int32_t fieldNo,
                                                  TBlobStreamMode mode) {
  if (mode != TBlobStreamMode::Read && owner.BlobReadOnly())
    throw EEngineError("Error in TDeziDataset.CreateBlobStream - Dataset is read only!");
  return std::make_unique<TDeziBlobStream>(owner, fieldNo, mode);
}

}  // namespace norvane
