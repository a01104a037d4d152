// The index header and the index descriptions at the start of T.idx, and
// their byte codecs. The sorted arrays that follow them belong to the index
// layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace norvane {

// Index header, 16 bytes at offset 0 of T.idx:
//    0  i32  change counter of the table when the arrays were written
//    4  i32  index count
//    8  f64  format version
struct TIndexFileHeader {
  int32_t ChangeCounter = 0;
  int32_t IndexCount = 0;
  double Version = 2.2;
};

// Index options as stored in the options byte.
enum TIndexOption : uint8_t {
  ixPrimary = 1 << 0,
  ixUnique = 1 << 1,
  ixDescending = 1 << 2,
  ixCaseInsensitive = 1 << 3,
  ixExpression = 1 << 4,
  ixNonMaintained = 1 << 5,
};

// Index description, variable length, k key fields:
//   s20            index name
//   i32            k
//   4k x i32       key field numbers (-1: the row identifier)
//   (k+7)/8        ascending bits (bit i: byte i/8, mask 1 << i%8)
//   (k+7)/8        case-insensitive bits
//   u8             whole index case-insensitive 0/1
//   u8             whole index descending 0/1
//   u8             options (only in tables of version 2.2 and later)
struct TIndexDescription {
  std::string Name;
  std::vector<int32_t> KeyFields;
  std::vector<bool> Ascending;
  std::vector<bool> CaseInsensitive;
  bool WholeCaseInsensitive = false;
  bool WholeDescending = false;
  uint8_t Options = 0;
};

constexpr int32_t kIndexFileHeaderSize = 16;

void EncodeIndexFileHeader(const TIndexFileHeader& header, uint8_t* out);
void DecodeIndexFileHeader(const uint8_t* in, TIndexFileHeader& header);

// Requires bit vectors as long as the key field list; a name longer than 20
// characters throws (see PutShortString). Appends the description's bytes to `out`.
void EncodeIndexDescription(const TIndexDescription& index, bool withOptions,
                            std::vector<uint8_t>& out);
// Decodes one description from the `available` bytes at `in`; `fieldCount`
// bounds the key field numbers. False, leaving `used` alone, when the bytes
// are too few, the name is damaged, k is not 1 .. fieldCount + 1, or a key
// field number is out of range.
bool DecodeIndexDescription(const uint8_t* in, size_t available, bool withOptions,
                            int32_t fieldCount, TIndexDescription& index, size_t& used);

}  // namespace norvane
