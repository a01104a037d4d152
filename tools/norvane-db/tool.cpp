// Dispatch of the tool's commands, its usage texts and its exit statuses.
#include "tools/norvane-db/tool.h"

#include <iomanip>
#include <sstream>

#include "engine/common/engine_error.h"
#include "engine/platform/cp1251.h"
#include "tools/norvane-db/busy_wait.h"
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/descriptor_output.h"
#include "tools/norvane-db/file_kind.h"
#include "tools/norvane-db/open_container.h"
#include "tools/norvane-db/plain_messages.h"

namespace norvane::tool {

namespace {

const TCommand* const kCommands[] = {&kCreateCommand, &kInfoCommand, &kLsCommand, &kPutCommand,
                                     &kGetCommand,    &kRmCommand,   &kMvCommand, &kMkdirCommand,
                                     &kCompactCommand, &kCheckCommand, &kRecoverCommand,
                                     &kTablesCommand, &kSchemaCommand, &kDumpCommand,
                                     &kImportCommand, &kSqlCommand};

// An option as the parser takes it and as the usage shows it.
struct TToolOption {
  TOptionRule Rule;
  const char* Shown;     // e.g. "--password P"
  const char* Help;
  const char* Commands;  // the commands it applies to, space-separated; nullptr: every command
};

// Every command but info, which reads only the header.
const char* const kPasswordCommands =
    "create ls put get rm mv mkdir compact check recover tables schema dump import sql";

const TToolOption kOptions[] = {
    {{"password", 0, true}, "--password P",
     "the password of an encrypted file (create: encrypt it)", kPasswordCommands},
    {{"password-file", 0, true}, "--password-file F", "the password is the first line of F",
     kPasswordCommands},
    {{"question", 0, true}, "--question Q", "create: a question kept with the password", "create"},
    {{"answer", 0, true}, "--answer A", "create: the answer to the question", "create"},
    {{"force", 0, false}, "--force",
     "create: replace an existing catalogue or empty file (never any other file)", "create"},
    {{"wait", 0, true}, "--wait SECONDS",
     "wait this long for a file another program holds (default 5)",
     "info ls put get rm mv mkdir compact check recover tables schema dump import sql"},
    {{"index", 0, true}, "--index NAME", "dump: in the order of this index (default: the row identifier's)",
     "dump"},
    {{"limit", 0, true}, "--limit N", "dump: at most N rows", "dump"},
    {{"filter", 0, true}, "--filter TEXT", "dump: only the records that pass this dataset filter", "dump"},
    {{"ci", 0, false}, "--ci", "dump: the filter compares text ignoring case", "dump"},
    {{"exact", 0, false}, "--exact", "dump: the filter compares whole texts, not their starts", "dump"},
    {{"create", 0, false}, "--create",
     "import: make the table first, a string field per column", "import"},
    {{"encoding", 0, true}, "--encoding E", "import: SOURCE is utf-8 (default) or cp1251",
     "import"},
    {{"param", 0, true}, "--param NAME=VALUE",
     "sql: the value of :NAME (a whole number, a decimal number or text); repeatable", "sql"},
    {{"explain", 0, false}, "--explain", "sql: print each statement's parse tree and each SELECT's plan, run nothing", "sql"},
    {{"help", 'h', false}, "-h, --help", "show this help and exit", nullptr},
};

std::vector<TOptionRule> OptionRules() {
  std::vector<TOptionRule> rules;
  for (const TToolOption& option : kOptions) rules.push_back(option.Rule);
  return rules;
}

bool AppliesTo(const TToolOption& option, const std::string& command) {
  if (option.Commands == nullptr) return true;
  std::istringstream names(option.Commands);
  for (std::string name; names >> name;)
    if (name == command) return true;
  return false;
}

void PrintOptions(std::ostream& stream, const TCommand* command) {
  stream << "\nOptions:\n";
  for (const TToolOption& option : kOptions)
    if (command == nullptr || AppliesTo(option, command->Name))
      stream << "  " << std::left << std::setw(26) << option.Shown << option.Help << "\n";
}

void PrintUsage(std::ostream& stream) {
  stream << "Usage: norvane-db COMMAND [ARGUMENTS] [OPTIONS]\n"
            "Works on Norvane catalogue files (.adb) and the containers inside them.\n\n"
            "Paths inside a container are written with \"/\".\n\n"
            "Commands:\n";
  for (const TCommand* command : kCommands) {
    const std::string head = std::string(command->Name) + " " + command->Arguments;
    stream << "  " << std::left << std::setw(28) << head << command->Description << "\n";
  }
  PrintOptions(stream, nullptr);
  stream << "\nExit status: 0 success, 1 engine error (check: problems found; recover: a file\n"
            "came back with missing ranges or was lost), 2 usage error.\n"
            "recover puts items whose folder is lost into /lost+found/ as RECORD-NAME.\n"
            "norvane-db COMMAND --help shows one command's usage.\n";
}

void PrintCommandUsage(std::ostream& stream, const TCommand& command) {
  stream << "Usage: norvane-db " << command.Name << " " << command.Arguments << " [OPTIONS]\n"
         << command.Description << "\n";
  PrintOptions(stream, &command);
}

// The message, then the usage of `command` (nullptr: the whole usage) when
// it helps.
int UsageError(std::ostream& err, const TUsageError& error, const TCommand* command) {
  err << "norvane-db: " << error.Message << "\n";
  if (!error.ShowUsage) return 2;
  err << "\n";
  if (command == nullptr) {
    PrintUsage(err);
  } else {
    PrintCommandUsage(err, *command);
  }
  return 2;
}

const TCommand* FindCommand(const std::string& name) {
  for (const TCommand* command : kCommands)
    if (name == command->Name) return command;
  return nullptr;
}

// A password given for a catalogue that has none would otherwise be dropped
// without a word; the command goes on.
void WarnOfUnusedPassword(const TCommand& command, const TCommandLine& line, TToolOutput& output) {
  if (&command == &kCreateCommand || PasswordOf(line).empty() || line.Positional.empty()) return;
  try {
    if (KindOfFile(line.Positional[0]) == TFileKind::PlainCatalogue)
      output.ErrorLine("warning: " + line.Positional[0] +
                       " is not encrypted; the password is ignored.");
  } catch (const EEngineError&) {
    // The command itself reports a file it cannot read.
  }
}

int RunCommand(const TCommand& command, TCommandLine& line, TToolOutput& output) {
  try {
    ResolvePassword(line);
    WaitSecondsOf(line);
  } catch (const TUsageError& e) {
    return UsageError(output.Err, e, &command);
  }
  WarnOfUnusedPassword(command, line, output);
  try {
    return command.Run(line, output);
  } catch (const TUsageError& e) {
    // An option value the command itself checks, before it does anything.
    return UsageError(output.Err, e, &command);
  } catch (const EEngineError& e) {
    const std::string plain = PlainLineBefore(line, e.what());
    if (!plain.empty()) output.ErrorLine(plain);
    output.ErrorLine(e.what());
    return 1;
  }
}

int RunLine(const std::vector<std::string>& args, TToolOutput& output) {
  TCommandLine line;
  try {
    line = ParseCommandLine(args, OptionRules());
  } catch (const TUsageError& e) {
    return UsageError(output.Err, e, nullptr);
  }
  const TCommand* command =
      line.Positional.empty() ? nullptr : FindCommand(line.Positional.front());
  if (line.Has("help")) {
    if (command == nullptr) {
      PrintUsage(output.Out);
    } else {
      PrintCommandUsage(output.Out, *command);
    }
    return 0;
  }
  if (line.Positional.empty()) return UsageError(output.Err, {"no command given"}, nullptr);
  if (command == nullptr)
    return UsageError(output.Err,
                      {"unknown command '" + Cp1251ToUtf8(line.Positional.front()) + "'"}, nullptr);
  line.Positional.erase(line.Positional.begin());
  if (line.Positional.size() < command->MinPositional ||
      line.Positional.size() > command->MaxPositional)
    return UsageError(output.Err, {"wrong number of arguments for " + std::string(command->Name)},
                      command);
  return RunCommand(*command, line, output);
}

}  // namespace

void TToolOutput::Line(const std::string& engineText) { Out << Cp1251ToUtf8(engineText) << "\n"; }

void TToolOutput::ErrorLine(const std::string& engineText) {
  Err << Cp1251ToUtf8(engineText) << "\n";
}

int RunTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err, bool errIsTerminal, bool inIsTerminal) {
  TToolOutput output{in, out, err, errIsTerminal, inIsTerminal};
  const int status = RunLine(args, output);
  // A command whose output was lost has not done its work, whatever it says.
  const std::string lost = OutputFailure(out);
  if (lost.empty()) return status;
  output.ErrorLine(lost);
  return status == 0 ? 1 : status;
}

}  // namespace norvane::tool
