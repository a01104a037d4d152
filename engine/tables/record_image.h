// The bytes of one record as T.dat holds it, built from a record's values and
// read back into them: field data, row identifier, null bits, and for a table
// with a password the enciphered field data with its CRC-32 check string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/protection/cipher_rijndael.h"
#include "engine/protection/secret.h"
#include "engine/tables/record_geometry.h"
#include "engine/tables/table_header.h"

namespace norvane {

// An enciphered record whose field data does not give its check string.
inline constexpr char kRecordCrcError[] =
    "Error in TDeziDataManager.ChangeBufferEncryption - crc error, decoding";

// One field's value in its stored form. Bytes hold:
// - ftString: the 8-bit text without its terminator, at most stored size - 1;
// - ftWideString: the 16-bit text (little-endian units, an even byte count)
//   without its terminator, at most stored size - 2 bytes;
// - large-value types: nothing (the value lives in the large-value files;
//   only its presence is part of the record);
// - every other type: exactly the stored size (the type's own encoding).
// A null value has no bytes (Encode ignores any it is given).
struct TFieldValue {
  bool Null = true;
  std::string Bytes;
  bool operator==(const TFieldValue&) const = default;
};

struct TRecordValues {
  int32_t RowId = 0;
  std::vector<TFieldValue> Fields;  // one per field description, in order
  bool operator==(const TRecordValues&) const = default;
};

// Record layout (offsets from the geometry), little-endian:
//   o(i)       s(i)  value of field i; zeros when the field is null; a text
//                    is followed by its terminator, the rest of the field is
//                    zero when written and not significant when read
//   D          i32   row identifier
//   D + 4      N     null bits: bit i (byte i / 8, mask 1 shl (i mod 8)) set =
//                    field i has no value
//   D + 4 + N  13    check string: length byte + up to 12 characters, the
//                    CRC-32 text of the plain field data; zeros when plain
//   D + 17 + N F     filler, zeros
// Enciphering covers the D bytes of field data only: the row identifier, null
// bits, check string and filler stay plain, and so are not covered by the
// check either.
class TRecordImage {
 public:
  // For a table with these field descriptions and the geometry computed from
  // them; with a password the table is encrypted under it. Keeps copies.
  TRecordImage(std::vector<TFieldHeader> fields, TRecordGeometry geometry,
               std::optional<TSecret> password = std::nullopt);

  int32_t RecordSize() const { return geometry_.RecordSize; }

  // The record's bytes, RecordSize() long, enciphered when the table is.
  // Throws "Error in TRecordImage.Encode - <n> values for <m> fields !" or
  // "Error in TRecordImage.Encode - value of field "<name>" has <n> bytes,
  // the field takes <what> !" when the values do not fit the fields.
  std::vector<uint8_t> Encode(const TRecordValues& values) const;

  // The values of the n record bytes at image. Throws "Error in
  // TRecordImage.Decode - record image of <n> bytes, record size <size> !"
  // for any other length, and for an encrypted table "Error in
  // TDeziDataManager.ChangeBufferEncryption - crc error, decoding" when the
  // deciphered field data does not give the stored check string (damaged
  // data or another password).
  TRecordValues Decode(const uint8_t* image, size_t n) const;

  // A plain record with every field null, and the stored bytes of another
  // table's field of the same type and stored size put into field i of a
  // plain record (text up to its terminator, the rest left zero), no longer
  // null: records copied value by value without decoding them. Throws
  // "Error in TRecordImage.PutStoredValue - field "<name>" is a large value
  // or the table is encrypted !" where stored bytes cannot simply be copied.
  std::vector<uint8_t> NullRecord() const;
  void PutStoredValue(size_t i, const uint8_t* value, uint8_t* record) const;

  bool Encrypted() const { return cipher_ != nullptr; }
  // For an encrypted table: writes the check string and enciphers the field
  // data of a plain record in place; and back, throwing the "crc error,
  // decoding" message above on a mismatch.
  void Encipher(uint8_t* record) const;
  void Decipher(uint8_t* record) const;

 private:
  void PutField(size_t i, const TFieldValue& value, uint8_t* record) const;
  TFieldValue GetField(size_t i, const uint8_t* record) const;
  std::string CheckString(const uint8_t* record) const;

  std::vector<TFieldHeader> fields_;
  TRecordGeometry geometry_;
  // Keyed once; every record starts from the initial feedback (Reset), the
  // same bytes as a fresh cipher per record without a key set-up each time.
  std::unique_ptr<TCipher_Rijndael> cipher_;
};

}  // namespace norvane
