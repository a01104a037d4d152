// Byte codecs of the index header and the index descriptions.
#include "engine/tables/index_header.h"

#include "engine/common/byte_codec.h"
#include "engine/tables/short_string.h"

namespace norvane {
namespace {

void PutBits(const std::vector<bool>& bits, std::vector<uint8_t>& out) {
  const size_t start = out.size();
  out.resize(start + (bits.size() + 7) / 8, 0);
  for (size_t i = 0; i < bits.size(); ++i)
    if (bits[i]) out[start + i / 8] |= static_cast<uint8_t>(1u << (i % 8));
}

std::vector<bool> GetBits(const uint8_t* in, size_t count) {
  std::vector<bool> bits(count);
  for (size_t i = 0; i < count; ++i) bits[i] = (in[i / 8] >> (i % 8)) & 1;
  return bits;
}

}  // namespace

void EncodeIndexFileHeader(const TIndexFileHeader& header, uint8_t* out) {
  PutI32LE(out + 0, header.ChangeCounter);
  PutI32LE(out + 4, header.IndexCount);
  PutF64LE(out + 8, header.Version);
}

void DecodeIndexFileHeader(const uint8_t* in, TIndexFileHeader& header) {
  header.ChangeCounter = GetI32LE(in + 0);
  header.IndexCount = GetI32LE(in + 4);
  header.Version = GetF64LE(in + 8);
}

void EncodeIndexDescription(const TIndexDescription& index, bool withOptions,
                            std::vector<uint8_t>& out) {
  size_t at = out.size();
  out.resize(at + kShortStringBytes + 4 + 4 * index.KeyFields.size());
  PutShortString(&out[at], index.Name);
  at += kShortStringBytes;
  PutI32LE(&out[at], static_cast<int32_t>(index.KeyFields.size()));
  at += 4;
  for (int32_t field : index.KeyFields) {
    PutI32LE(&out[at], field);
    at += 4;
  }
  PutBits(index.Ascending, out);
  PutBits(index.CaseInsensitive, out);
  out.push_back(index.WholeCaseInsensitive ? 1 : 0);
  out.push_back(index.WholeDescending ? 1 : 0);
  if (withOptions) out.push_back(index.Options);
}

bool DecodeIndexDescription(const uint8_t* in, size_t available, bool withOptions,
                            int32_t fieldCount, TIndexDescription& index, size_t& used) {
  if (available < kShortStringBytes + 4) return false;
  TIndexDescription result;
  if (!GetShortString(in, result.Name)) return false;
  const int32_t k = GetI32LE(in + kShortStringBytes);
  // Every key field is a distinct field or the row identifier.
  if (k < 1 || k > static_cast<int64_t>(fieldCount) + 1) return false;
  const size_t bitBytes = (static_cast<size_t>(k) + 7) / 8;
  const size_t size = kShortStringBytes + 4 + 4 * static_cast<size_t>(k) + 2 * bitBytes + 2 +
                      (withOptions ? 1 : 0);
  if (available < size) return false;
  const uint8_t* p = in + kShortStringBytes + 4;
  for (int32_t i = 0; i < k; ++i, p += 4) {
    const int32_t field = GetI32LE(p);
    if (field < -1 || field >= fieldCount) return false;
    result.KeyFields.push_back(field);
  }
  result.Ascending = GetBits(p, static_cast<size_t>(k));
  result.CaseInsensitive = GetBits(p + bitBytes, static_cast<size_t>(k));
  p += 2 * bitBytes;
  result.WholeCaseInsensitive = p[0] != 0;
  result.WholeDescending = p[1] != 0;
  result.Options = withOptions ? p[2] : 0;
  index = std::move(result);
  used = size;
  return true;
}

}  // namespace norvane
