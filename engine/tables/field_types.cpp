// The type table: one row per stored type code with its size rule.
#include "engine/tables/field_types.h"

namespace norvane {
namespace {

struct TTypeRow {
  int code;
  int fixedSize;   // -1: declared size plus terminatorSize
  int terminatorSize;
  bool indexable;
};

constexpr TTypeRow kTypes[] = {
    {ftString, -1, 1, true},  {ftSmallint, 2, 0, true},    {ftInteger, 4, 0, true},
    {ftWord, 2, 0, true},     {ftBoolean, 2, 0, true},     {ftFloat, 8, 0, true},
    {ftCurrency, 8, 0, true}, {ftBCD, 8, 0, true},         {ftDate, 8, 0, true},
    {ftTime, 8, 0, true},     {ftDateTime, 8, 0, true},    {ftBytes, -1, 0, false},
    {ftBlob, 0, 0, false},    {ftMemo, 0, 0, false},       {ftGraphic, 0, 0, false},
    {ftFmtMemo, 0, 0, false}, {ftWideString, -1, 2, true}, {ftLargeint, 8, 0, true},
};

const TTypeRow* Find(int code) {
  for (const TTypeRow& row : kTypes)
    if (row.code == code) return &row;
  return nullptr;
}

}  // namespace

bool IsStoredFieldType(int code) { return Find(code) != nullptr; }

bool IsLargeValueType(int code) { return code >= ftBlob && code <= ftFmtMemo; }

bool IsIndexableType(int code) {
  const TTypeRow* row = Find(code);
  return row != nullptr && row->indexable;
}

int64_t StoredSizeOf(int code, int64_t declaredSize) {
  const TTypeRow* row = Find(code);
  if (row == nullptr) return -1;
  return row->fixedSize >= 0 ? row->fixedSize : declaredSize + row->terminatorSize;
}

bool IsValidStoredSize(int code, int64_t storedSize) {
  const TTypeRow* row = Find(code);
  if (row == nullptr) return false;
  return row->fixedSize >= 0 ? storedSize == row->fixedSize : storedSize >= 1;
}

}  // namespace norvane
