// norvane-db import FILE TABLE SOURCE [--create] [--encoding utf-8|cp1251]:
// appends the rows of the CSV file SOURCE (a header row naming fields, then
// one record a row) to TABLE through the table component, each value turned
// into its field's type as dump prints it. A row that fails is left out and
// reported with the line it starts on, and the others still go in. With
// --create the table is made first, a string field per column as long as
// its longest value, which takes a first pass over the file.
#include <algorithm>
#include <cstdint>

#include "engine/common/engine_error.h"
#include "engine/platform/cp1251.h"
#include "engine/platform/file_system.h"
#include "engine/tables/controls_held.h"
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/csv_source.h"
#include "tools/norvane-db/field_input.h"
#include "tools/norvane-db/import_columns.h"
#include "tools/norvane-db/import_target.h"
#include "tools/norvane-db/progress_line.h"

namespace norvane::tool {

namespace {

TCsvEncoding EncodingOf(const TCommandLine& line) {
  if (!line.Has("encoding")) return TCsvEncoding::Utf8;
  const std::string& name = line.Options.at("encoding");
  if (SameNameIgnoringCase(name, "utf-8")) return TCsvEncoding::Utf8;
  if (SameNameIgnoringCase(name, "cp1251")) return TCsvEncoding::Cp1251;
  throw TUsageError{"--encoding takes utf-8 or cp1251, not '" + Cp1251ToUtf8(name) + "'"};
}

// The longest value of each column in bytes of engine text, over the rows
// that can go in; the first half of the progress.
std::vector<size_t> ColumnWidths(TCsvSource& source, TProgressLine& progress) {
  std::vector<size_t> widths(source.Header().size(), 0);
  for (TCsvRecord row; source.Next(row);) {
    progress.Show(source.Percent() / 2);
    if (!row.Error.empty() || row.Fields.size() != widths.size()) continue;
    for (size_t i = 0; i < widths.size(); ++i)
      widths[i] = std::max(widths[i], row.Fields[i].size());
  }
  return widths;
}

// "1 row", "2 rows".
std::string Counted(int64_t n, const std::string& noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

// Why a row cannot go in whatever the table holds; empty when it can.
std::string RowFault(const TCsvRecord& row, size_t columns) {
  if (!row.Error.empty()) return row.Error;
  if (row.Fields.size() == columns) return "";
  return Counted(static_cast<int64_t>(row.Fields.size()), "value") + " where the header has " +
         Counted(static_cast<int64_t>(columns), "column");
}

void RequestRowId(TDeziTable& table, const TField& field, const std::string& text) {
  int64_t id = 0;
  if (!ParseDecimal(text, id) || id < 1 || id > INT32_MAX)
    throw EEngineError("'" + text + "' is not a valid value for field '" + field.FieldName() +
                       "' (a row identifier, a whole number from 1 to " +
                       std::to_string(INT32_MAX) + ")");
  table.SetNextRowId(static_cast<int32_t>(id));
}

// One row as a new record; throws EEngineError for a value its field
// refuses and for a post that fails (a key violation, a required field
// left empty), with the record still being inserted.
void AppendRow(TDeziTable& table, const TColumnFields& columns, const TCsvRecord& row) {
  table.Append();
  for (size_t i = 0; i < row.Fields.size(); ++i)
    if (static_cast<int32_t>(i) != columns.RowIdColumn)
      SetFieldText(*columns.Fields[i], row.Fields[i]);
  if (columns.RowIdColumn >= 0) {
    const std::string& id = row.Fields[static_cast<size_t>(columns.RowIdColumn)];
    if (!id.empty())
      RequestRowId(table, *columns.Fields[static_cast<size_t>(columns.RowIdColumn)], id);
  }
  table.Post();
}

struct TImportCount {
  int64_t Imported = 0;
  int64_t Failed = 0;
};

// The progress of the appending pass: from `From` percent to 100.
struct TPassProgress {
  TProgressLine& Line;
  double From;
};

// Appends every row of the source that can go in; reports each that
// cannot on standard error with the line it starts on.
TImportCount AppendRows(TDeziTable& table, const TColumnFields& columns, TCsvSource& source,
                        TPassProgress progress, TToolOutput& output) {
  TImportCount count;
  // No control shows the table; held-back notices would only cost time.
  const TControlsHeld held{&table};
  for (TCsvRecord row; source.Next(row);) {
    progress.Line.Show(progress.From + source.Percent() * (100 - progress.From) / 100);
    std::string fault = RowFault(row, columns.Fields.size());
    if (fault.empty()) {
      try {
        AppendRow(table, columns, row);
        ++count.Imported;
        continue;
      } catch (const EEngineError& e) {
        table.Cancel();
        fault = e.what();
      }
    }
    ++count.Failed;
    progress.Line.Hide();
    output.ErrorLine("line " + std::to_string(row.Line) + ": " + fault);
  }
  return count;
}

int RunImport(const TCommandLine& line, TToolOutput& output) {
  const TCsvEncoding encoding = EncodingOf(line);
  const std::string& tableName = line.Positional[1];
  TCsvSource source(line.Positional[2], encoding);
  const bool create = line.Has("create");
  // Names that cannot make fields are found before anything is touched.
  if (create) CheckNewTableColumns(source.Header());
  TImportTarget target(line.Positional[0], tableName, line);
  TProgressLine progress(output, "importing");
  double done = 0;  // the part of the progress a first pass has taken
  if (create) {
    target.RequireNewTable();
    target.Create(NewTableFields(source.Header(), ColumnWidths(source, progress)));
    source.Rewind();
    done = 50;
  }
  target.Open();
  TDeziTable& table = target.Table();
  const TImportCount count =
      AppendRows(table, MatchColumns(source.Header(), table), source, {progress, done}, output);
  progress.Show(100);
  progress.Finish();
  target.Finish();
  output.Line(Counted(count.Imported, "row") + " imported" +
              (count.Failed == 0 ? "" : ", " + std::to_string(count.Failed) + " failed"));
  return count.Failed == 0 ? 0 : 1;
}

}  // namespace

const TCommand kImportCommand{
    "import", "FILE TABLE SOURCE", "append the rows of the CSV file SOURCE to a table", 3, 3,
    RunImport};

}  // namespace norvane::tool
