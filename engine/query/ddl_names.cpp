// The column type and compression level words.
#include "engine/query/ddl_names.h"

#include "engine/platform/file_system.h"
#include "engine/tables/field_types.h"

namespace norvane {
namespace {

constexpr TSqlColumnType kTypes[] = {
    {"AUTOINC", ftAutoInc, false}, {"INTEGER", ftInteger, false},       {"STRING", ftString, true},
    {"WIDESTRING", ftWideString, true}, {"DATE", ftDate, false},       {"TIME", ftTime, false},
    {"DATETIME", ftDateTime, false},    {"CURRENCY", ftCurrency, false}, {"LOGICAL", ftBoolean, false},
    {"MEMO", ftMemo, false},            {"FMTMEMO", ftFmtMemo, false},   {"GRAPHIC", ftGraphic, false},
    {"BLOB", ftBlob, false},            {"SMALLINT", ftSmallint, false}, {"WORD", ftWord, false},
    {"FLOAT", ftFloat, false},          {"BCD", ftBCD, false},           {"BYTES", ftBytes, true},
    {"LARGEINT", ftLargeint, false},
};

constexpr const char* kLevels[] = {"NONE", "FASTEST", "DEFAULT", "MAX"};

}  // namespace

const TSqlColumnType* FindSqlColumnType(const std::string& word) {
  for (const TSqlColumnType& type : kTypes)
    if (SameNameIgnoringCase(word, type.Name)) return &type;
  return nullptr;
}

const TSqlColumnType* SqlColumnTypeOf(int type) {
  for (const TSqlColumnType& entry : kTypes)
    if (entry.Type == type) return &entry;
  return nullptr;
}

int FindCompressionLevel(const std::string& word) {
  for (int i = 0; i < 4; ++i)
    if (SameNameIgnoringCase(word, kLevels[i])) return i + 1;
  return 0;
}

const char* CompressionLevelName(int level) { return level >= 1 && level <= 4 ? kLevels[level - 1] : ""; }

}  // namespace norvane
