// The definition lists of a table component: its fields and indexes as a
// program sets them to create a table, and as an open table describes
// itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/index_def.h"

namespace norvane {

// One definition per field description in order (declared sizes: text
// length, byte count; 0 for the fixed types), then the row identifier,
// ftAutoInc, not required.
std::vector<TFieldDef> DescribeFields(const TDeziDataManager& table);
// One definition per index in the table's order: ixCaseInsensitive and
// ixDescending as the index's flags say, ixPrimary when its first key field
// is the row identifier, ixUnique from its stored options.
std::vector<TIndexDef> DescribeIndexes(const TDeziDataManager& table);
// The indexes a user made: names not beginning with "@" or "$".
std::vector<TIndexDef> UserIndexes(const std::vector<TIndexDef>& indexes);

}  // namespace norvane
