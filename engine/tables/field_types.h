// The field type codes a table stores, the bytes each occupies inside a
// record and what each may be used for. The codes are part of the file format
// and shared with the query layer's typed values.
#pragma once

#include <cstdint>

namespace norvane {

enum TFieldType : uint8_t {
  ftString = 1,
  ftSmallint = 2,
  ftInteger = 3,
  ftWord = 4,
  ftBoolean = 5,
  ftFloat = 6,
  ftCurrency = 7,
  ftBCD = 8,
  ftDate = 9,
  ftTime = 10,
  ftDateTime = 11,
  ftBytes = 12,
  ftAutoInc = 14,
  ftBlob = 15,
  ftMemo = 16,
  ftGraphic = 17,
  ftFmtMemo = 18,
  ftWideString = 24,
  ftLargeint = 25,
  // Codes a dataset of another kind may carry; a table never stores them,
  // and an import replaces them.
  ftVarBytes = 13,
  ftParadoxOle = 19,
  ftDBaseOle = 20,
  ftTypedBinary = 21,
  ftCursor = 22,
  ftFixedChar = 23,
};

// The stored type whose bytes a code of another kind of dataset shares
// (ftFixedChar: ftString, ftVarBytes: ftBytes, the binary kinds: ftBlob);
// any other code itself.
int NativeTypeOf(int code);
// True for the codes a field description may hold. ftAutoInc is not one: it
// names the row identifier, and other automatic fields are stored as ftInteger.
bool IsStoredFieldType(int code);
// Types 15 to 18, whose values live in the large-value files.
bool IsLargeValueType(int code);
// Whether a field of this stored type may be a key field of an index.
bool IsIndexableType(int code);
// A date or date-time holding day 0, which the format takes for no value.
bool IsNoDay(int code, const uint8_t* value);
// The stored size of a field of a stored type: the fixed size, or for the
// sized types (ftString, ftWideString, ftBytes) the declared size plus the
// terminator (1, 2 or 0 bytes). 64-bit so no declared size can overflow it.
int64_t StoredSizeOf(int code, int64_t declaredSize);
// The type's name as SQL writes it ("STRING", "AUTOINC", ...); empty for a
// code that is no field type.
const char* FieldTypeName(int code);
// The size a field is declared with, from its stored size: the text length
// or byte count of the sized types, 0 for the others.
int64_t DeclaredSizeOf(int code, int64_t storedSize);
// True when a stored size is one that StoredSizeOf can give for the type:
// exact for fixed types, at least 1 byte for the sized ones.
bool IsValidStoredSize(int code, int64_t storedSize);

}  // namespace norvane
