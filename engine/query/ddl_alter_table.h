// ALTER TABLE: columns added, dropped or modified, and the table's options
// and password changed, applied to the table's field definitions.
//
// alter-table := ALTER TABLE word (ADD | DROP | MODIFY) "(" item {"," item}
// ")", item := name-token {type ["(" integer ")"] | NOT NULL | NULL | other
// word} | PASSWORD quoted | NEW PASSWORD quoted | the options of CREATE
// TABLE. Errors are ETblException 2003 to 2044 and 1008; a column added
// without a type is 2006.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/query/ddl_table.h"
#include "engine/tables/dezi_data_manager.h"

namespace norvane {

class TDeziDDLAlterTable : public TDeziDDLTableManipulation {
 public:
  enum TMode { amAdd, amDrop, amModify };

  using TDeziDDLTableManipulation::TDeziDDLTableManipulation;
  void Parse() override;
  void Print(TTreeWriter& out) const override;
  // Opens the table with the statement's password, applies the statement to
  // its field definitions (TDeziDDLAlterTable::ApplyTo) and restructures it,
  // keeping every record, its identifier and the values of surviving fields.
  // BLOB block size and compression, the last row identifier and the password
  // stay as they are unless the statement gives them (NEW PASSWORD ''
  // removes encryption). A column DROP or MODIFY names that the table lacks
  // is ETblException 2048 "Field '<name>' not found", the table untouched.
  // LASTAUTOINCVALUE below the table's last given identifier is refused
  // before anything changes: identifiers are never given twice. That and
  // every other failure is ETblException 2047 "Error dropping column(s):
  // '<message>'"; the restructure leaves the table as it was when it fails.
  int64_t Execute(TSQLQueryContext& context) override;

  // The table's field definitions after this statement: ADD appends its
  // columns, DROP removes them, MODIFY changes the type and size or the
  // nullability each gives. A column DROP or MODIFY names that `fields`
  // does not hold is ETblException 2048 "Field '%s' not found", `fields`
  // unchanged. Names compare without case.
  void ApplyTo(std::vector<TFieldDef>& fields) const;

  TMode Mode = amAdd;
  std::optional<std::string> NewPassword;  // NEW PASSWORD, '' removes it
};

}  // namespace norvane
