// Dispatch of the tool's commands, its usage text and its exit statuses.
#include "tools/norvane-db/tool.h"

#include <iomanip>

#include "engine/common/engine_error.h"
#include "engine/platform/cp1251.h"
#include "tools/norvane-db/command.h"

namespace norvane::tool {

namespace {

const TCommand* const kCommands[] = {&kCreateCommand, &kInfoCommand, &kLsCommand, &kPutCommand,
                                     &kGetCommand,    &kRmCommand,   &kMvCommand, &kMkdirCommand,
                                     &kCompactCommand, &kCheckCommand, &kRecoverCommand};

const std::vector<TOptionRule> kOptions = {
    {"help", 'h', false},     {"password", 0, true}, {"password-file", 0, true},
    {"question", 0, true},    {"answer", 0, true},     {"wait", 0, true},
};

void PrintUsage(std::ostream& stream) {
  stream << "Usage: norvane-db COMMAND [ARGUMENTS] [OPTIONS]\n"
            "Works on Norvane catalogue files (.adb) and the containers inside them.\n\n"
            "Paths inside a container are written with \"/\".\n\n"
            "Commands:\n";
  for (const TCommand* command : kCommands) {
    const std::string head = std::string(command->Name) + " " + command->Arguments;
    stream << "  " << std::left << std::setw(28) << head << command->Description << "\n";
  }
  stream << "\nOptions:\n"
            "  --password P                the password of an encrypted file (create: encrypt it)\n"
            "  --password-file F           the password is the first line of F\n"
            "  --question Q, --answer A    create: a question and answer kept with the password\n"
            "  --wait SECONDS              wait this long for a file another program holds (5)\n"
            "  -h, --help                  show this help and exit\n"
            "\nExit status: 0 success, 1 engine error (check: problems found; recover: a file\n"
            "came back with missing ranges or was lost), 2 usage error.\n"
            "recover puts items whose folder is lost into /lost+found/ as RECORD-NAME.\n";
}

int UsageError(std::ostream& err, const std::string& message) {
  err << "norvane-db: " << message << "\n\n";
  PrintUsage(err);
  return 2;
}

const TCommand* FindCommand(const std::string& name) {
  for (const TCommand* command : kCommands)
    if (name == command->Name) return command;
  return nullptr;
}

}  // namespace

void TToolOutput::Line(const std::string& engineText) { Out << Cp1251ToUtf8(engineText) << "\n"; }

void TToolOutput::ErrorLine(const std::string& engineText) {
  Err << Cp1251ToUtf8(engineText) << "\n";
}

int RunTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err, bool errIsTerminal) {
  TCommandLine line;
  try {
    line = ParseCommandLine(args, kOptions);
  } catch (const TUsageError& e) {
    return UsageError(err, e.Message);
  }
  if (line.Has("help")) {
    PrintUsage(out);
    return 0;
  }
  if (line.Positional.empty()) return UsageError(err, "no command given");
  const TCommand* command = FindCommand(line.Positional.front());
  if (command == nullptr)
    return UsageError(err, "unknown command '" + Cp1251ToUtf8(line.Positional.front()) + "'");
  line.Positional.erase(line.Positional.begin());
  if (line.Positional.size() < command->MinPositional ||
      line.Positional.size() > command->MaxPositional)
    return UsageError(err, std::string("usage: norvane-db ") + command->Name + " " +
                               command->Arguments);
  TToolOutput output{in, out, err, errIsTerminal};
  try {
    return command->Run(line, output);
  } catch (const EEngineError& e) {
    output.ErrorLine(e.what());
    return 1;
  }
}

}  // namespace norvane::tool
