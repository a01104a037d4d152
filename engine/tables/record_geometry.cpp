// The record geometry and the size limits of a table's records.
#include "engine/tables/record_geometry.h"

#include <algorithm>

#include "engine/common/engine_error.h"
#include "engine/tables/field_types.h"

namespace norvane {

TRecordGeometry ComputeRecordGeometry(const std::vector<TFieldHeader>& fields,
                                      const std::string& operation) {
  TRecordGeometry g;
  int64_t dataSize = 0;
  for (const TFieldHeader& field : fields) {
    // Offsets are kept only while they fit; an oversize table is refused below.
    g.FieldOffsets.push_back(static_cast<int32_t>(std::min<int64_t>(dataSize, INT32_MAX)));
    dataSize += field.Size;
    if (IsLargeValueType(field.Type)) ++g.LargeValueFields;
  }
  const int64_t nullBytes = (static_cast<int64_t>(fields.size()) + 7) / 8;
  const int64_t tail = std::max<int64_t>(32, nullBytes + 17);
  const int64_t recordSize = dataSize + tail;
  if (dataSize > kMaxDataSize || recordSize + 8 > kMaxBufferSize)
    throw EEngineError("Error in TDeziDataManager." + operation +
                       " - record too large: data size = " + std::to_string(dataSize) +
                       ", record buffer = " + std::to_string(recordSize + 8) +
                       ", limit = " + std::to_string(kMaxBufferSize) + " !");
  g.DataSize = static_cast<int32_t>(dataSize);
  g.NullBytes = static_cast<int32_t>(nullBytes);
  g.TailSize = static_cast<int32_t>(tail);
  g.RecordSize = static_cast<int32_t>(recordSize);
  g.RowIdOffset = g.DataSize;
  g.NullBitsOffset = g.DataSize + 4;
  g.CheckOffset = g.NullBitsOffset + g.NullBytes;
  g.DataStart = kTableHeaderSize + kFieldHeaderSize * static_cast<int32_t>(fields.size());
  return g;
}

}  // namespace norvane
