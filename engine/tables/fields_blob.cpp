// Large-value fields: whole-value reads and writes through one stream each.
#include "engine/tables/fields_blob.h"

#include "engine/tables/dataset.h"
#include "engine/tables/dataset_blob_stream.h"

namespace norvane {

int64_t TBlobField::BlobSize() const {
  if (DataSet().ActiveRecordBuffer() == nullptr) return 0;
  return DataSet().CreateBlobStream(const_cast<TBlobField&>(*this), TBlobStreamMode::Read)->Size();
}

std::string TBlobField::AsString() const {
  if (DataSet().ActiveRecordBuffer() == nullptr) return {};
  auto stream = DataSet().CreateBlobStream(const_cast<TBlobField&>(*this), TBlobStreamMode::Read);
  std::string value(static_cast<size_t>(stream->Size()), '\0');
  stream->Seek(0, 0);
  value.resize(static_cast<size_t>(stream->Read(value.data(), static_cast<int64_t>(value.size()))));
  return value;
}

void TBlobField::SetAsString(const std::string& value) {
  DataSet().CheckFieldWritable(*this);
  auto stream = DataSet().CreateBlobStream(*this, TBlobStreamMode::Write);
  stream->Seek(0, 0);
  stream->Truncate();
  stream->Write(value.data(), static_cast<int64_t>(value.size()));
}

}  // namespace norvane
