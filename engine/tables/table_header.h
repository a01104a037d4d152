// The table header and the field descriptions at the start of T.dat, and their
// byte codecs. Encoders touch only the bytes the writer owns, so reserved
// bytes already in the buffer survive; decoders never throw and report a
// damaged name by their result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace norvane {

// Table header, 56 bytes at offset 0 of T.dat, little-endian:
//    0  i32  last row identifier assigned
//    4  s20  name of the row identifier field (length byte + 20 bytes)
//   25  3    filler: the low three bytes of the field count
//   28  i32  field count (descriptions that follow; the row identifier is not one)
//   32  i32  RecordCount
//   36  4    reserved: neither written nor read
//   40  f64  format version (2.2 written)
//   48  u8   reserved, 0
//   49  u8   large-value compression mode 0..3
//   50  u8   encrypted 0/1
//   51  u8   filler: the low byte of the change counter
//   52  i32  change counter
struct TTableHeader {
  int32_t LastId = 0;
  std::string RowIdName;
  int32_t FieldCount = 0;
  int32_t RecordCount = 0;
  double Version = 2.2;
  uint8_t Compression = 0;
  uint8_t Encrypted = 0;
  int32_t ChangeCounter = 0;
};

// Field description, 32 bytes each, directly after the table header:
//    0  s20  field name
//   21  u8   type code
//   22  2    filler, not written
//   24  i32  stored size inside a record
//   28  u8   required 0/1
//   29  u8   filler, 0
//   30  2    filler, not written
struct TFieldHeader {
  std::string Name;
  uint8_t Type = 0;
  int32_t Size = 0;
  bool Required = false;
};

// Names of fields and of the row identifier hold at most 18 characters, so
// that "@@" and the name still fit the 20 characters of an index name.
constexpr size_t kMaxFieldNameLength = 18;

constexpr int32_t kTableHeaderSize = 56;
constexpr int32_t kFieldHeaderSize = 32;

// A name longer than 20 characters throws (see PutShortString).
void EncodeTableHeader(const TTableHeader& header, uint8_t* out);
void EncodeFieldHeader(const TFieldHeader& field, uint8_t* out);
// False when the stored name's length byte is beyond the capacity.
bool DecodeTableHeader(const uint8_t* in, TTableHeader& header);
bool DecodeFieldHeader(const uint8_t* in, TFieldHeader& field);

}  // namespace norvane
