// How the columns of an import's CSV file meet a table's fields: the field
// each header name names (letters compared without case, as the engine
// compares names), and for a table made by the import the fields its
// columns become. All names are engine text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/tables/dataset.h"
#include "engine/tables/dezi_data_manager.h"

namespace norvane::tool {

struct TColumnFields {
  std::vector<TField*> Fields;  // one per column; the row identifier's too
  int32_t RowIdColumn = -1;     // the column naming the row identifier, -1 none
};

// The fields of the open `table` the header names. Fails the command,
// naming the column, for a name no field has, a field named twice, and a
// binary large value (which CSV text does not carry).
TColumnFields MatchColumns(const std::vector<std::string>& header, TDataSet& table);

// Fails the command, naming the column, when the header cannot name the
// fields of a new table: an empty name, one longer than a field name may
// be, a name used twice.
void CheckNewTableColumns(const std::vector<std::string>& header);

// A new table's fields: a string field per column, `widths[i]` bytes long
// (at least 1), then the row identifier "ID" (ftAutoInc), or the first of
// "ID0", "ID1", ... when a column is named "ID" already.
std::vector<TFieldDef> NewTableFields(const std::vector<std::string>& header,
                                      const std::vector<size_t>& widths);

}  // namespace norvane::tool
