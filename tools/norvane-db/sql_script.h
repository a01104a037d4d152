// One script of the sql command: parsed whole with the command line's
// parameters before FILE is opened, then either explained (each
// statement's parse tree) or run against FILE, its output printed: a line
// per INSERT, UPDATE and DELETE with the rows it touched, and the last
// statement's rows as CSV when it is a SELECT.
#pragma once

#include <cstdint>
#include <string>

#include "engine/query/query_params.h"
#include "engine/query/sql_command.h"
#include "tools/norvane-db/command.h"

namespace norvane::tool {

struct TSqlRequest {
  std::string Path;                   // FILE, engine text
  const TCommandLine* Line = nullptr; // its password and --wait
  TQueryParams Params;
  bool Explain = false;
  // The rows of every SELECT as it runs (the shell, where each statement
  // answers as it is typed), not only those of a script's last statement.
  bool EverySelect = false;
};

// Parses `script` (engine text) and explains or runs it. A parse error
// throws before anything is opened; a statement that fails throws after
// the lines of those before it, which stay carried out. Engine failures
// are EEngineError.
void RunSqlScript(const std::string& script, const TSqlRequest& request, TToolOutput& output);

// The line an INSERT, UPDATE or DELETE prints: "1 row inserted", "3 rows
// updated", "0 rows deleted".
std::string RowCountLine(const TDeziSQLCommand& command, int64_t rows);

}  // namespace norvane::tool
