// One item of a SELECT statement's list as the query layer keeps it: a
// column (or all of a table's columns) and the pseudonym it is shown under.
// The condition rewriting reads pseudonyms from it; projection builds on it.
#pragma once

#include <string>

namespace norvane {

struct TETblSelectListItem {
  std::string Table;        // table name or alias; empty when unqualified
  bool AllColumns = false;  // "*" or "table.*": no field name, no pseudonym
  std::string FieldName;
  std::string Pseudonym;    // the name after AS; empty when none was given
};

}  // namespace norvane
