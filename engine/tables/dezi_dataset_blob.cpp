// The table cursor's large-value fields: the streams the dataset base hands
// out are the table's own large-field streams over the cursor's cache of
// the current record's values.
#include "engine/common/engine_error.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/dezi_dataset.h"

namespace norvane {
namespace {

class TTableFieldStream : public TDataSetBlobStream {
 public:
  explicit TTableFieldStream(std::unique_ptr<TDeziBlobStream> stream) : stream_(std::move(stream)) {}
  int64_t Read(void* out, int64_t n) override { return stream_->Read(out, n); }
  int64_t Write(const void* in, int64_t n) override { return stream_->Write(in, n); }
  int64_t Seek(int64_t offset, int origin) override { return stream_->Seek(offset, origin); }
  int64_t Size() const override { return stream_->Size(); }
  void Truncate() override { stream_->Truncate(); }

 private:
  std::unique_ptr<TDeziBlobStream> stream_;
};

}  // namespace

std::unique_ptr<TDataSetBlobStream> TDeziDataset::CreateBlobStream(TField& field,
                                                                   TBlobStreamMode mode) {
  CheckOpen("CreateBlobStream");
  return std::make_unique<TTableFieldStream>(
      norvane::CreateBlobStream(*this, TableFieldOf(field), mode));
}

bool TDeziDataset::SyncCurrentRecord() {
  if (table_ == nullptr || ActiveRecordBuffer() == nullptr) return false;
  if (State() == dsInsert) return true;
  Synchronise();
  return !IsEmpty() && PhysicalOfId(CurrentRowId()) >= 0;
}

int32_t TDeziDataset::CurrentRowId() const {
  return RowIdOf(const_cast<TDeziDataset*>(this)->ActiveRecordBuffer());
}

int32_t TDeziDataset::CurrentPhysical() const { return PhysicalOfId(CurrentRowId()); }

void TDeziDataset::BlobFieldModified(int32_t fieldNo) {
  modifiedValues_.insert(fieldNo);
  if (TField* field = DatasetFieldOf(fieldNo)) NotifyFieldChanged(*field);
}

void TDeziDataset::SetBlobFieldNull(int32_t fieldNo, bool isNull) {
  // Only an edit changes the buffer; a reader's stream leaves it alone.
  if (State() != dsEdit && State() != dsInsert) return;
  if (uint8_t* buffer = ActiveRecordBuffer()) SetNullBit(buffer, fieldNo, isNull);
}

void TDeziDataset::HandleBlobError(const std::exception& error) {
  if (OnStreamError) OnStreamError(error);
}

}  // namespace norvane
