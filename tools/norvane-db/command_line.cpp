// GNU-style parsing of the tool's arguments.
#include "tools/norvane-db/command_line.h"

#include "engine/platform/cp1251.h"

namespace norvane::tool {

namespace {

std::string ToEngineText(const std::string& utf8) {
  std::string text, error;
  if (!Utf8ToCp1251(utf8, text, error)) throw TUsageError{error};
  return text;
}

const TOptionSpec* FindLong(const std::vector<TOptionSpec>& specs, const std::string& name) {
  for (const auto& spec : specs)
    if (spec.Name == name) return &spec;
  return nullptr;
}

const TOptionSpec* FindShort(const std::vector<TOptionSpec>& specs, char letter) {
  for (const auto& spec : specs)
    if (spec.Short != 0 && spec.Short == letter) return &spec;
  return nullptr;
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args,
                              const std::vector<TOptionSpec>& specs) {
  TCommandLine line;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      line.Positional.push_back(ToEngineText(arg));
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const TOptionSpec* spec = nullptr;
    std::string value;
    bool hasValue = false;
    if (arg[1] == '-') {
      const size_t eq = arg.find('=');
      spec = FindLong(specs, arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2));
      if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
        hasValue = true;
      }
    } else if (arg.size() == 2) {
      spec = FindShort(specs, arg[1]);
    }
    if (spec == nullptr) throw TUsageError{"unknown option '" + arg + "'"};
    if (spec->TakesValue && !hasValue) {
      if (i + 1 >= args.size()) throw TUsageError{"option '" + arg + "' needs a value"};
      value = args[++i];
    } else if (!spec->TakesValue && hasValue) {
      throw TUsageError{"option '--" + spec->Name + "' takes no value"};
    }
    line.Options[spec->Name] = ToEngineText(value);
  }
  return line;
}

}  // namespace norvane::tool
