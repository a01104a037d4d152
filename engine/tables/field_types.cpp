// The type table: one row per stored type code with its size rule.
#include "engine/tables/field_types.h"

#include <cmath>

#include "engine/common/byte_codec.h"

namespace norvane {
namespace {

struct TTypeRow {
  int code;
  int fixedSize;   // -1: declared size plus terminatorSize
  int terminatorSize;
  bool indexable;
  const char* name;  // as SQL names the type
};

constexpr TTypeRow kTypes[] = {
    {ftString, -1, 1, true, "STRING"},       {ftSmallint, 2, 0, true, "SMALLINT"},
    {ftInteger, 4, 0, true, "INTEGER"},      {ftWord, 2, 0, true, "WORD"},
    {ftBoolean, 2, 0, true, "LOGICAL"},      {ftFloat, 8, 0, true, "FLOAT"},
    {ftCurrency, 8, 0, true, "CURRENCY"},    {ftBCD, 8, 0, true, "BCD"},
    {ftDate, 8, 0, true, "DATE"},            {ftTime, 8, 0, true, "TIME"},
    {ftDateTime, 8, 0, true, "DATETIME"},    {ftBytes, -1, 0, false, "BYTES"},
    {ftBlob, 0, 0, false, "BLOB"},           {ftMemo, 0, 0, false, "MEMO"},
    {ftGraphic, 0, 0, false, "GRAPHIC"},     {ftFmtMemo, 0, 0, false, "FMTMEMO"},
    {ftWideString, -1, 2, true, "WIDESTRING"}, {ftLargeint, 8, 0, true, "LARGEINT"},
};

const TTypeRow* Find(int code) {
  for (const TTypeRow& row : kTypes)
    if (row.code == code) return &row;
  return nullptr;
}

}  // namespace

int NativeTypeOf(int code) {
  switch (code) {
    case ftFixedChar: return ftString;
    case ftVarBytes: return ftBytes;
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary: return ftBlob;
    default: return code;
  }
}

bool IsStoredFieldType(int code) { return Find(code) != nullptr; }

bool IsLargeValueType(int code) { return code >= ftBlob && code <= ftFmtMemo; }

bool IsIndexableType(int code) {
  const TTypeRow* row = Find(code);
  return row != nullptr && row->indexable;
}

bool IsNoDay(int code, const uint8_t* value) {
  if (code == ftDate) return GetI32LE(value) == 0;
  if (code == ftDateTime) return std::floor(GetF64LE(value) / 86400000.0) == 0;
  return false;
}

int64_t StoredSizeOf(int code, int64_t declaredSize) {
  const TTypeRow* row = Find(code);
  if (row == nullptr) return -1;
  return row->fixedSize >= 0 ? row->fixedSize : declaredSize + row->terminatorSize;
}

const char* FieldTypeName(int code) {
  if (code == ftAutoInc) return "AUTOINC";
  const TTypeRow* row = Find(code);
  return row != nullptr ? row->name : "";
}

int64_t DeclaredSizeOf(int code, int64_t storedSize) {
  const TTypeRow* row = Find(code);
  return row != nullptr && row->fixedSize < 0 ? storedSize - row->terminatorSize : 0;
}

bool IsValidStoredSize(int code, int64_t storedSize) {
  const TTypeRow* row = Find(code);
  if (row == nullptr) return false;
  return row->fixedSize >= 0 ? storedSize == row->fixedSize : storedSize >= 1;
}

}  // namespace norvane
