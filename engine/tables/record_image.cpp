// Building and reading the bytes of one record: values at their field
// offsets, the null bits, and the check string and cipher of encrypted tables.
#include "engine/tables/record_image.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "engine/protection/cipher_rijndael.h"
#include "engine/protection/hash_crc32.h"
#include "engine/tables/field_types.h"

namespace norvane {

namespace {

// The check string field: a length byte and at most 12 characters.
constexpr size_t kCheckChars = 12;

// The bytes of a text's terminator; 0 for the types that are not text.
size_t TerminatorSize(int type) {
  if (type == ftString) return 1;
  if (type == ftWideString) return 2;
  return 0;
}

// The bytes a value may occupy inside its field: the stored size less the
// terminator (a stored size below the terminator leaves no room).
size_t Room(const TFieldHeader& field) {
  const size_t stored = static_cast<size_t>(field.Size);
  const size_t terminator = TerminatorSize(field.Type);
  return stored > terminator ? stored - terminator : 0;
}

bool NullBit(const uint8_t* nullBits, size_t i) { return (nullBits[i / 8] >> (i % 8)) & 1; }

}  // namespace

TRecordImage::TRecordImage(std::vector<TFieldHeader> fields, TRecordGeometry geometry,
                           std::optional<TSecret> password)
    : fields_(std::move(fields)), geometry_(std::move(geometry)) {
  if (password) cipher_ = std::make_unique<TCipher_Rijndael>(password->Str());
}

std::vector<uint8_t> TRecordImage::Encode(const TRecordValues& values) const {
  if (values.Fields.size() != fields_.size())
    throw EEngineError("Error in TRecordImage.Encode - " + std::to_string(values.Fields.size()) +
                       " values for " + std::to_string(fields_.size()) + " fields !");
  std::vector<uint8_t> record(static_cast<size_t>(geometry_.RecordSize), 0);
  PutI32LE(record.data() + geometry_.RowIdOffset, values.RowId);
  uint8_t* nullBits = record.data() + geometry_.NullBitsOffset;
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (values.Fields[i].Null)
      nullBits[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
    else
      PutField(i, values.Fields[i], record.data());
  }
  if (cipher_) Encipher(record.data());
  return record;
}

std::vector<uint8_t> TRecordImage::NullRecord() const {
  std::vector<uint8_t> record(static_cast<size_t>(geometry_.RecordSize), 0);
  for (size_t i = 0; i < fields_.size(); ++i)
    record[static_cast<size_t>(geometry_.NullBitsOffset) + i / 8] |= static_cast<uint8_t>(1u << (i % 8));
  return record;
}

void TRecordImage::PutStoredValue(size_t i, const uint8_t* value, uint8_t* record) const {
  const TFieldHeader& field = fields_.at(i);
  if (cipher_ || IsLargeValueType(field.Type))
    throw EEngineError("Error in TRecordImage.PutStoredValue - field \"" + field.Name +
                       "\" is a large value or the table is encrypted !");
  uint8_t* at = record + geometry_.FieldOffsets[i];
  const size_t room = Room(field);
  size_t n = room;
  if (field.Type == ftString) {
    n = 0;
    while (n < room && value[n] != 0) ++n;
  } else if (field.Type == ftWideString) {
    n = 0;
    while (n + 1 < room && (value[n] != 0 || value[n + 1] != 0)) n += 2;
  }
  std::memcpy(at, value, n);
  record[static_cast<size_t>(geometry_.NullBitsOffset) + i / 8] &= static_cast<uint8_t>(~(1u << (i % 8)));
}

TRecordValues TRecordImage::Decode(const uint8_t* image, size_t n) const {
  if (n != static_cast<size_t>(geometry_.RecordSize))
    throw EEngineError("Error in TRecordImage.Decode - record image of " + std::to_string(n) +
                       " bytes, record size " + std::to_string(geometry_.RecordSize) + " !");
  std::vector<uint8_t> record(image, image + n);
  if (cipher_) Decipher(record.data());
  TRecordValues values;
  values.RowId = GetI32LE(record.data() + geometry_.RowIdOffset);
  values.Fields.reserve(fields_.size());
  for (size_t i = 0; i < fields_.size(); ++i) values.Fields.push_back(GetField(i, record.data()));
  return values;
}

void TRecordImage::PutField(size_t i, const TFieldValue& value, uint8_t* record) const {
  const TFieldHeader& field = fields_[i];
  const size_t room = Room(field);
  const size_t n = value.Bytes.size();
  std::string takes;
  if (IsLargeValueType(field.Type)) {
    if (n != 0) takes = "no bytes";
  } else if (field.Type == ftWideString) {
    if (n > room || n % 2 != 0) takes = "an even count of at most " + std::to_string(room);
  } else if (field.Type == ftString) {
    if (n > room) takes = "at most " + std::to_string(room);
  } else if (n != room) {
    takes = "exactly " + std::to_string(room);
  }
  if (!takes.empty())
    throw EEngineError("Error in TRecordImage.Encode - value of field \"" + field.Name + "\" has " +
                       std::to_string(n) + " bytes, the field takes " + takes + " !");
  // The record is all zeros, so a text's terminator and the rest of its
  // field are already in place.
  std::memcpy(record + geometry_.FieldOffsets[i], value.Bytes.data(), n);
}

TFieldValue TRecordImage::GetField(size_t i, const uint8_t* record) const {
  if (NullBit(record + geometry_.NullBitsOffset, i)) return {};
  const TFieldHeader& field = fields_[i];
  const uint8_t* p = record + geometry_.FieldOffsets[i];
  if (IsLargeValueType(field.Type)) return {false, {}};
  // A text ends at its terminator, or at the end of its room when a damaged
  // field has none; what follows inside the field is not significant.
  const size_t room = Room(field);
  size_t n = room;
  if (field.Type == ftString) {
    n = static_cast<size_t>(std::find(p, p + room, 0) - p);
  } else if (field.Type == ftWideString) {
    n = 0;
    while (n + 1 < room && (p[n] != 0 || p[n + 1] != 0)) n += 2;
  }
  return {false, std::string(reinterpret_cast<const char*>(p), n)};
}

std::string TRecordImage::CheckString(const uint8_t* record) const {
  return CrcText(record, static_cast<size_t>(geometry_.DataSize)).substr(0, kCheckChars);
}

void TRecordImage::Encipher(uint8_t* record) const {
  const std::string check = CheckString(record);
  uint8_t* field = record + geometry_.CheckOffset;
  field[0] = static_cast<uint8_t>(check.size());
  std::memcpy(field + 1, check.data(), check.size());
  // A fresh cipher per record: every record is enciphered from the cipher's
  // initial state, so each can be read on its own.
  cipher_->Reset();
  cipher_->EncodeBuffer(record, record, static_cast<size_t>(geometry_.DataSize));
}

void TRecordImage::Decipher(uint8_t* record) const {
  cipher_->Reset();
  cipher_->DecodeBuffer(record, record, static_cast<size_t>(geometry_.DataSize));
  const uint8_t* field = record + geometry_.CheckOffset;
  const size_t length = field[0];
  if (length > kCheckChars ||
      std::string(reinterpret_cast<const char*>(field + 1), length) != CheckString(record))
    throw EEngineError(kRecordCrcError);
}

}  // namespace norvane
