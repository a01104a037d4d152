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
