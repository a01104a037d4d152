// norvane-db sql FILE [SCRIPT] [--param NAME=VALUE]... [--explain]: runs SQL
// statements against a catalogue or folder database. The script is SCRIPT,
// else standard input; a person typing at a terminal gets a shell that
// runs each statement as it is ended by ";".
#include <iterator>
#include <system_error>

#include "engine/platform/cp1251.h"
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/open_container.h"
#include "tools/norvane-db/sql_database.h"
#include "tools/norvane-db/sql_params.h"
#include "tools/norvane-db/sql_script.h"
#include "tools/norvane-db/terminal_lines.h"

namespace norvane::tool {

namespace {

// Standard input whole, as engine text. A read that fails fails the
// command with the system's reason (the stream buffer throws it), and
// runs nothing of what came before it.
std::string ScriptFromInput(std::istream& in) {
  std::string utf8;
  try {
    utf8.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::system_error& e) {
    FailCommand(std::string("Cannot read standard input: ") + e.code().message() + ".");
  }
  std::string script, error;
  if (!Utf8ToCp1251(utf8, script, error)) FailCommand("standard input: " + error);
  return script;
}

int RunSql(const TCommandLine& line, TToolOutput& output) {
  TSqlRequest request{line.Positional[0], &line, ParamsOf(line), line.Has("explain")};
  if (line.Positional.size() > 1) {
    RunSqlScript(line.Positional[1], request, output);
    return 0;
  }
  if (!output.InIsTerminal) {
    RunSqlScript(ScriptFromInput(output.In), request, output);
    return 0;
  }
  // A FILE that does not open is told before the first prompt, not after
  // the first statement typed.
  if (!request.Explain) TSqlDatabase(request.Path, line, false).Finish();
  request.EverySelect = true;
  TTerminalLines terminal;
  RunShell(terminal, [&](const std::string& script) { RunSqlScript(script, request, output); }, line,
           output);
  return 0;
}

}  // namespace

const TCommand kSqlCommand{"sql", "FILE [SCRIPT]",
                           "run SQL statements (SCRIPT, standard input, or a shell at a terminal)",
                           1, 2, RunSql};

}  // namespace norvane::tool
