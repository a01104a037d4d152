// An index as a program defines it to create a table, and as an open table
// describes its own: names as ";"-joined lists.
#pragma once

#include <cstdint>
#include <string>

namespace norvane {

struct TIndexDef {
  std::string Name;
  std::string Fields;           // ";"-joined, the row identifier by its name
  uint8_t Options = 0;          // ixPrimary, ixUnique, ixDescending, ixCaseInsensitive
  std::string CaseInsFields;    // the key fields whose case bit is set
  std::string DescFields;       // the key fields sorted descending
  bool operator==(const TIndexDef&) const = default;
};

}  // namespace norvane
