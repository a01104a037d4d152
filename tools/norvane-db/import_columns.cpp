// Matching an import's header to a table's fields, and the fields of a
// table the import makes.
#include "tools/norvane-db/import_columns.h"

#include <algorithm>

#include "engine/platform/file_system.h"
#include "engine/tables/table_header.h"
#include "tools/norvane-db/field_input.h"
#include "tools/norvane-db/open_container.h"

namespace norvane::tool {

namespace {

std::string Column(const std::string& name) { return "column \"" + name + "\""; }

bool Names(const std::vector<std::string>& header, const std::string& name) {
  for (const std::string& column : header)
    if (SameNameIgnoringCase(column, name)) return true;
  return false;
}

}  // namespace

TColumnFields MatchColumns(const std::vector<std::string>& header, TDataSet& table) {
  TColumnFields match;
  for (const std::string& name : header) {
    TField* field = table.FindField(name);
    if (field == nullptr) FailCommand(Column(name) + " names no field of the table");
    for (const TField* earlier : match.Fields)
      if (earlier == field)
        FailCommand(Column(name) + " names field \"" + field->FieldName() + "\" a second time");
    if (!TakesText(field->DataType()))
      FailCommand(Column(name) + " is a binary field, whose values CSV text does not carry");
    if (field->DataType() == ftAutoInc)
      match.RowIdColumn = static_cast<int32_t>(match.Fields.size());
    match.Fields.push_back(field);
  }
  return match;
}

void CheckNewTableColumns(const std::vector<std::string>& header) {
  for (size_t i = 0; i < header.size(); ++i) {
    const std::string& name = header[i];
    if (name.empty()) FailCommand("column " + std::to_string(i + 1) + " has no name");
    if (name.size() > kMaxFieldNameLength)
      FailCommand(Column(name) + " is longer than the " + std::to_string(kMaxFieldNameLength) +
                  " characters of a field name");
    for (size_t earlier = 0; earlier < i; ++earlier)
      if (SameNameIgnoringCase(header[earlier], name))
        FailCommand(Column(name) + " appears twice in the header");
  }
}

std::vector<TFieldDef> NewTableFields(const std::vector<std::string>& header,
                                      const std::vector<size_t>& widths) {
  std::vector<TFieldDef> fields;
  for (size_t i = 0; i < header.size(); ++i)
    fields.push_back({header[i], ftString,
                      static_cast<int32_t>(std::clamp<size_t>(widths[i], 1, INT32_MAX)), false});
  std::string rowId = "ID";
  for (int n = 0; Names(header, rowId); ++n) rowId = "ID" + std::to_string(n);
  fields.push_back({rowId, ftAutoInc, 0, false});
  return fields;
}

}  // namespace norvane::tool
