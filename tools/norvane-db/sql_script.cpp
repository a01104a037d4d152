// Explaining or running one script of the sql command and printing what it
// gives.
#include "tools/norvane-db/sql_script.h"

#include <memory>
#include <sstream>

#include "engine/query/ao_operator.h"
#include "engine/query/plan_printer.h"
#include "engine/query/script_processor.h"
#include "engine/query/sql_insert.h"
#include "engine/query/sql_select.h"
#include "engine/query/sql_update.h"
#include "engine/query/statement_printer.h"
#include "tools/norvane-db/csv_output.h"
#include "tools/norvane-db/field_text.h"
#include "tools/norvane-db/sql_database.h"

namespace norvane::tool {

namespace {

// A script of SELECTs that fill no table (no INTO) changes nothing: the
// catalogue is shared with other readers while it runs.
bool OnlyReads(const TSQLScript& script) {
  for (const auto& command : script.Commands) {
    const auto* select = dynamic_cast<const TDeziSQLSelect*>(command.get());
    if (select == nullptr || !select->IntoTable.empty()) return false;
  }
  return true;
}

void PrintLines(const std::string& text, TToolOutput& output) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) output.Line(line);
}

// Each statement under a heading of its own: its parse tree and, for a
// SELECT, the plan it would run (planned over the catalogue opened to read,
// nothing run). A SELECT whose tables come from statements before it has
// no plan until those ran; the heading says why.
void Explain(const TSQLScript& script, const TSqlRequest& request, TToolOutput& output) {
  std::unique_ptr<TSqlDatabase> database;
  for (size_t i = 0; i < script.Commands.size(); ++i) {
    const std::string heading = "-- statement " + std::to_string(i + 1) + ": ";
    output.Line(heading + "parse tree");
    PrintLines(PrintStatement(*script.Commands[i]), output);
    auto* select = dynamic_cast<TDeziSQLSelect*>(script.Commands[i].get());
    if (select == nullptr) continue;
    if (!database) database = std::make_unique<TSqlDatabase>(request.Path, *request.Line, false);
    TSQLQueryContext context(database->FolderName(), database->FileName());
    try {
      std::unique_ptr<TDeziAO> plan = select->BuildPlan(context);
      TTreeWriter out;
      PrintPlan(*plan, out);
      output.Line(heading + "plan");
      PrintLines(out.Text(), output);
    } catch (const std::exception& error) {
      output.Line(heading + "no plan: " + error.what());
    }
  }
  if (database) database->Finish();
}

// The field names as the dataset shows them, then a row per record.
void PrintRows(TDeziTable& rows, TToolOutput& output) {
  TFields& fields = rows.Fields();
  std::vector<std::string> values;
  for (int32_t f = 0; f < fields.Count(); ++f) values.push_back(fields[f].FieldName());
  output.Line(CsvRow(values));
  for (rows.First(); !rows.Eof(); rows.Next()) {
    values.clear();
    for (int32_t f = 0; f < fields.Count(); ++f) values.push_back(DatasetFieldText(fields[f]));
    output.Line(CsvRow(values));
  }
}

// Closes what the script opened, so a close that fails is reported: the
// tables INSERT holds in the context and the cursors of the SELECTs (those
// of UPDATE and DELETE too, which changed rows through them).
void CloseScript(const TSQLScript& script, TSQLQueryContext& context) {
  for (const auto& command : script.Commands) {
    const TDeziSQLSelect* select = dynamic_cast<const TDeziSQLSelect*>(command.get());
    if (const auto* insert = dynamic_cast<const TDeziSQLInsert*>(command.get())) {
      context.Release("", insert->TableName);
      select = insert->Select.get();
    } else if (const auto* update = dynamic_cast<const TDeziSQLUpdate*>(command.get())) {
      select = update->Select.get();
    } else if (const auto* remove = dynamic_cast<const TDeziSQLDelete*>(command.get())) {
      select = remove->Select.get();
    }
    if (select != nullptr && select->Result() != nullptr) select->Result()->Close();
  }
}

}  // namespace

std::string RowCountLine(const TDeziSQLCommand& command, int64_t rows) {
  const char* done = dynamic_cast<const TDeziSQLInsert*>(&command)   ? "inserted"
                     : dynamic_cast<const TDeziSQLUpdate*>(&command) ? "updated"
                                                                      : "deleted";
  return std::to_string(rows) + (rows == 1 ? " row " : " rows ") + done;
}

void RunSqlScript(const std::string& script, const TSqlRequest& request, TToolOutput& output) {
  auto parsed = std::make_unique<TSQLScriptProcessor>(script, &request.Params);
  if (request.Explain) return Explain(parsed->Script(), request, output);
  TSqlDatabase database(request.Path, *request.Line, !OnlyReads(parsed->Script()));
  {
    // Declared in this order so that, whatever happens, the statements'
    // cursors close before the tables the context holds, and those before
    // the database goes.
    TSQLQueryContext context(database.FolderName(), database.FileName());
    const std::unique_ptr<TSQLScriptProcessor> processor = std::move(parsed);
    processor->ExecuteAll(context, [&](const TDeziSQLCommand& command, int64_t rows) {
      if (rows >= 0) output.Line(RowCountLine(command, rows));
      const auto* select = dynamic_cast<const TDeziSQLSelect*>(&command);
      if (request.EverySelect && select != nullptr && select->Result() != nullptr)
        PrintRows(*select->Result(), output);
    });
    TDeziTable* const result = processor->ResultDataset();
    if (!request.EverySelect && result != nullptr) PrintRows(*result, output);
    CloseScript(processor->Script(), context);
  }
  database.Finish();
}

}  // namespace norvane::tool
