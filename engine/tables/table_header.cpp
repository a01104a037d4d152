// Byte codecs of the table header and the field descriptions.
#include "engine/tables/table_header.h"

#include "engine/common/byte_codec.h"
#include "engine/tables/short_string.h"

namespace norvane {

void EncodeTableHeader(const TTableHeader& header, uint8_t* out) {
  PutI32LE(out + 0, header.LastId);
  PutShortString(out + 4, header.RowIdName);
  uint8_t count[4];
  PutI32LE(count, header.FieldCount);
  out[25] = count[0];
  out[26] = count[1];
  out[27] = count[2];
  PutI32LE(out + 28, header.FieldCount);
  PutI32LE(out + 32, header.RecordCount);
  PutF64LE(out + 40, header.Version);
  PutU8(out + 48, 0);
  PutU8(out + 49, header.Compression);
  PutU8(out + 50, header.Encrypted);
  PutU8(out + 51, static_cast<uint8_t>(header.ChangeCounter));
  PutI32LE(out + 52, header.ChangeCounter);
}

bool DecodeTableHeader(const uint8_t* in, TTableHeader& header) {
  header.LastId = GetI32LE(in + 0);
  header.FieldCount = GetI32LE(in + 28);
  header.RecordCount = GetI32LE(in + 32);
  header.Version = GetF64LE(in + 40);
  header.Compression = GetU8(in + 49);
  header.Encrypted = GetU8(in + 50);
  header.ChangeCounter = GetI32LE(in + 52);
  return GetShortString(in + 4, header.RowIdName);
}

void EncodeFieldHeader(const TFieldHeader& field, uint8_t* out) {
  PutShortString(out + 0, field.Name);
  PutU8(out + 21, field.Type);
  PutI32LE(out + 24, field.Size);
  PutU8(out + 28, field.Required ? 1 : 0);
  PutU8(out + 29, 0);
}

bool DecodeFieldHeader(const uint8_t* in, TFieldHeader& field) {
  field.Type = GetU8(in + 21);
  field.Size = GetI32LE(in + 24);
  field.Required = GetU8(in + 28) != 0;
  return GetShortString(in + 0, field.Name);
}

}  // namespace norvane
