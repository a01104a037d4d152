// norvane-db schema FILE TABLE: one line per field (name, type, declared
// size, required or not), the row identifier last, then one line per index
// (name, key fields, options), tab-separated.
#include <algorithm>

#include "engine/tables/field_types.h"
#include "engine/tables/table_definitions.h"
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/table_source.h"

namespace norvane::tool {

namespace {

bool Listed(const std::string& list, const std::string& name) {
  return (";" + list + ";").find(";" + name + ";") != std::string::npos;
}

// The key fields, each with "desc" and "ci" where they apply, then the
// index's options.
std::string IndexLine(const TIndexDef& index) {
  std::string fields;
  size_t from = 0;
  while (from <= index.Fields.size()) {
    const size_t to = std::min(index.Fields.find(';', from), index.Fields.size());
    const std::string name = index.Fields.substr(from, to - from);
    fields += (from == 0 ? "" : ";") + name;
    if (Listed(index.DescFields, name)) fields += " desc";
    if (Listed(index.CaseInsFields, name)) fields += " ci";
    from = to + 1;
  }
  std::string options;
  auto add = [&](uint8_t flag, const char* word) {
    if ((index.Options & flag) != 0) options += std::string(options.empty() ? "" : ",") + word;
  };
  add(ixPrimary, "primary");
  add(ixUnique, "unique");
  add(ixDescending, "descending");
  add(ixCaseInsensitive, "caseinsensitive");
  return "index\t" + index.Name + "\t" + fields + "\t" + options;
}

int RunSchema(const TCommandLine& line, TToolOutput& output) {
  TTableSource source(line.Positional[0], line);
  const auto table = source.OpenTable(line.Positional[1]);
  for (const TFieldDef& field : DescribeFields(*table))
    output.Line("field\t" + field.Name + "\t" + FieldTypeName(field.Type) + "\t" +
                std::to_string(field.Size) + "\t" + (field.Required ? "required" : "optional"));
  for (const TIndexDef& index : DescribeIndexes(*table)) output.Line(IndexLine(index));
  return 0;
}

}  // namespace

const TCommand kSchemaCommand{"schema", "FILE TABLE", "show a table's fields and indexes", 2, 2,
                              RunSchema};

}  // namespace norvane::tool
