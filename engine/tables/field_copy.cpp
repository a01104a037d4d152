// Copying a field value by the source's kind.
#include "engine/tables/field_copy.h"

#include <vector>

#include "engine/tables/dataset.h"

namespace norvane {
namespace {

void CopyLargeValue(TField& from, TField& to) {
  const auto in = from.DataSet().CreateBlobStream(from, TBlobStreamMode::Read);
  const auto out = to.DataSet().CreateBlobStream(to, TBlobStreamMode::Write);
  std::vector<uint8_t> chunk(64 * 1024);
  for (int64_t n; (n = in->Read(chunk.data(), static_cast<int64_t>(chunk.size()))) > 0;) out->Write(chunk.data(), n);
  out->Truncate();
}

}  // namespace

void CopyFieldValue(TField& from, TField& to) {
  switch (from.DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
      to.SetAsLargeInt(from.AsLargeInt());  // all 64 bits, whatever the source
      return;
    case ftBoolean:
      to.SetAsBoolean(from.AsBoolean());
      return;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
      to.SetAsFloat(from.AsFloat());
      return;
    case ftDate:
    case ftTime:
    case ftDateTime:
      to.SetAsDateTime(from.AsDateTime());
      return;
    default:
      if (from.IsBlob() && to.IsBlob()) {
        CopyLargeValue(from, to);
        return;
      }
      to.SetAsString(from.AsString());
  }
}

}  // namespace norvane
