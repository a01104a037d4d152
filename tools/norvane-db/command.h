// One command of the tool: its name, its arguments and what it does. Each
// command lives in a file of its own and is listed in the tool's table.
#pragma once

#include <istream>
#include <ostream>
#include <string>

#include "tools/norvane-db/command_line.h"

namespace norvane::tool {

// Where a command reads and writes: engine text is turned into UTF-8 on the
// way out; file contents pass through unchanged.
struct TToolOutput {
  std::istream& In;
  std::ostream& Out;
  std::ostream& Err;
  bool ErrIsTerminal = false;  // progress may redraw one line there
  bool InIsTerminal = false;   // a person types standard input: sql runs its shell
  void Line(const std::string& engineText);       // one line on standard output
  void ErrorLine(const std::string& engineText);  // one line on standard error
};

struct TCommand {
  const char* Name;
  const char* Arguments;    // as shown in the usage, e.g. "FILE"
  const char* Description;
  size_t MinPositional;     // arguments after the command name
  size_t MaxPositional;
  // Returns the exit status; engine failures are thrown as EEngineError.
  int (*Run)(const TCommandLine& line, TToolOutput& output);
};

extern const TCommand kCreateCommand;
extern const TCommand kInfoCommand;
extern const TCommand kLsCommand;
extern const TCommand kPutCommand;
extern const TCommand kGetCommand;
extern const TCommand kRmCommand;
extern const TCommand kMvCommand;
extern const TCommand kMkdirCommand;
extern const TCommand kCheckCommand;
extern const TCommand kCompactCommand;
extern const TCommand kRecoverCommand;
extern const TCommand kTablesCommand;
extern const TCommand kSchemaCommand;
extern const TCommand kDumpCommand;
extern const TCommand kImportCommand;
extern const TCommand kSqlCommand;

}  // namespace norvane::tool
