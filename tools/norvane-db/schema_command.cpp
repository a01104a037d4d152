// norvane-db schema FILE TABLE: one line per field (name, type, declared
// size, required or not), the row identifier last, then one line per index
// (name, key fields, options), tab-separated.
#include "engine/tables/field_types.h"
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/table_source.h"

namespace norvane::tool {

namespace {

std::string KeyFieldName(const TDeziDataManager& table, int32_t field) {
  return field < 0 ? table.Header().RowIdName : table.Fields()[static_cast<size_t>(field)].Name;
}

// The index's options, and per key field "desc" and "ci" where they apply.
std::string IndexLine(const TDeziDataManager& table, const TIndexDescription& index) {
  std::string fields;
  for (size_t k = 0; k < index.KeyFields.size(); ++k) {
    if (k > 0) fields += ";";
    fields += KeyFieldName(table, index.KeyFields[k]);
    if (!index.Ascending[k]) fields += " desc";
    if (index.CaseInsensitive[k]) fields += " ci";
  }
  std::string options;
  auto add = [&](bool on, const char* word) {
    if (on) options += std::string(options.empty() ? "" : ",") + word;
  };
  add(index.KeyFields.front() < 0, "primary");
  add((index.Options & ixUnique) != 0, "unique");
  add(index.WholeDescending, "descending");
  add(index.WholeCaseInsensitive, "caseinsensitive");
  return "index\t" + index.Name + "\t" + fields + "\t" + options;
}

int RunSchema(const TCommandLine& line, TToolOutput& output) {
  TTableSource source(line.Positional[0], line);
  const auto table = source.OpenTable(line.Positional[1]);
  for (const TFieldHeader& field : table->Fields())
    output.Line("field\t" + field.Name + "\t" + FieldTypeName(field.Type) + "\t" +
                std::to_string(DeclaredSizeOf(field.Type, field.Size)) + "\t" +
                (field.Required ? "required" : "optional"));
  output.Line("field\t" + table->Header().RowIdName + "\t" + FieldTypeName(ftAutoInc) + "\t0\toptional");
  for (int32_t i = 0; i < table->IndexCount(); ++i) output.Line(IndexLine(*table, table->IndexDescription(i)));
  return 0;
}

}  // namespace

const TCommand kSchemaCommand{"schema", "FILE TABLE", "show a table's fields and indexes", 2, 2,
                              RunSchema};

}  // namespace norvane::tool
