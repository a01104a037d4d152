// norvane-db dump FILE TABLE [--index NAME] [--limit N] [--filter TEXT
// [--ci] [--exact]]: the records as CSV (a header row of field names, the
// row identifier last), in the order of the index (the row identifier index
// unless named), quoted as RFC 4180 says wherever a value needs it; with a
// filter only the records that pass it, as a table's dataset shows them.
#include <charconv>
#include <optional>

#include "engine/tables/search_parser.h"

#include "tools/norvane-db/command.h"
#include "tools/norvane-db/csv_output.h"
#include "tools/norvane-db/field_text.h"
#include "tools/norvane-db/open_container.h"
#include "tools/norvane-db/table_source.h"

namespace norvane::tool {

namespace {

int64_t LimitOf(const TCommandLine& line) {
  if (!line.Has("limit")) return INT64_MAX;
  const std::string& text = line.Options.at("limit");
  int64_t limit = 0;
  const auto end = std::from_chars(text.data(), text.data() + text.size(), limit);
  if (end.ec != std::errc() || end.ptr != text.data() + text.size() || limit < 0)
    throw TUsageError{"--limit takes a whole number of rows, not '" + text + "'"};
  return limit;
}

uint8_t FilterOptionsOf(const TCommandLine& line) {
  if (!line.Has("filter") && (line.Has("ci") || line.Has("exact")))
    throw TUsageError{"--ci and --exact are options of --filter"};
  return static_cast<uint8_t>((line.Has("ci") ? foCaseInsensitive : 0) |
                              (line.Has("exact") ? foNoPartialCompare : 0));
}

int RunDump(const TCommandLine& line, TToolOutput& output) {
  const int64_t limit = LimitOf(line);
  const uint8_t filterOptions = FilterOptionsOf(line);
  TTableSource source(line.Positional[0], line);
  const auto table = source.OpenTable(line.Positional[1]);
  int32_t index = 0;
  if (line.Has("index")) {
    index = table->InternalGetIndexNo(line.Options.at("index"));
    if (index < 0) FailCommand("table \"" + line.Positional[1] + "\" has no index \"" +
                               line.Options.at("index") + "\"");
  }
  // The filter is read before anything is printed, so a bad one prints
  // nothing but its message.
  std::optional<std::vector<uint8_t>> passing;
  TSearchParser filter;
  if (line.Has("filter")) {
    filter.SetExpression(*table, line.Options.at("filter"), filterOptions);
    if (!filter.Empty()) passing = filter.EvaluateAll().Map();
  }
  std::vector<std::string> header;
  for (const TFieldHeader& field : table->Fields()) header.push_back(field.Name);
  header.push_back(table->Header().RowIdName);
  output.Line(CsvRow(header));
  const int32_t count = table->Header().RecordCount;
  int64_t printed = 0;
  for (int32_t at = 0; at < count && printed < limit; ++at) {
    const int32_t physical = table->IndexRecord(index, at);
    if (passing && (*passing)[static_cast<size_t>(physical)] == 0) continue;
    ++printed;
    // Each record is decoded once for all its fields.
    const TRecordValues values = table->DecodeRecord(table->RecordPtr(physical));
    std::vector<std::string> row;
    for (size_t f = 0; f < table->Fields().size(); ++f)
      row.push_back(FieldText(*table, values, static_cast<int32_t>(f), physical));
    row.push_back(std::to_string(values.RowId));
    output.Line(CsvRow(row));
  }
  return 0;
}

}  // namespace

const TCommand kDumpCommand{"dump", "FILE TABLE", "print a table's records as CSV", 2, 2, RunDump};

}  // namespace norvane::tool
