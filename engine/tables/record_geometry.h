// Where things lie inside a record and where the records begin, computed from
// the field descriptions, with the format's size limits enforced.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/tables/table_header.h"

namespace norvane {

// Record layout: field data (D bytes, fields in order), the row identifier
// (4), null bits (N = (n + 7) / 8), then the check string and filler, the
// tail being max(32, N + 17) bytes in all.
struct TRecordGeometry {
  int32_t DataSize = 0;
  int32_t NullBytes = 0;
  int32_t TailSize = 0;
  int32_t RecordSize = 0;
  int32_t RowIdOffset = 0;
  int32_t NullBitsOffset = 0;
  int32_t CheckOffset = 0;
  int32_t DataStart = 0;  // 56 + 32 x field count
  int32_t LargeValueFields = 0;
  std::vector<int32_t> FieldOffsets;
};

// The data size and the dataset's record buffer (record size + 8) are 16-bit
// quantities in the format.
constexpr int64_t kMaxDataSize = 65535;
constexpr int64_t kMaxBufferSize = 65535;

// Computes the geometry. Throws "Error in TDeziDataManager.<operation> -
// record too large: data size = <D>, record buffer = <size + 8>, limit =
// 65535 !" when a limit is passed. Sizes must already be valid stored sizes.
TRecordGeometry ComputeRecordGeometry(const std::vector<TFieldHeader>& fields,
                                      const std::string& operation);

}  // namespace norvane
