// GNU-style parsing of the tool's arguments.
#include "tools/norvane-db/command_line.h"

#include "engine/platform/cp1251.h"

namespace norvane::tool {

namespace {

std::string ToEngineText(const std::string& utf8) {
  std::string text, error;
  if (!Utf8ToCp1251(utf8, text, error)) throw TUsageError{error, false};
  return text;
}

const TOptionRule* FindLong(const std::vector<TOptionRule>& rules, const std::string& name) {
  for (const auto& rule : rules)
    if (rule.Name == name) return &rule;
  return nullptr;
}

const TOptionRule* FindShort(const std::vector<TOptionRule>& rules, char letter) {
  for (const auto& rule : rules)
    if (rule.Short != 0 && rule.Short == letter) return &rule;
  return nullptr;
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args,
                              const std::vector<TOptionRule>& rules) {
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
    const TOptionRule* rule = nullptr;
    std::string value;
    bool hasValue = false;
    if (arg[1] == '-') {
      const size_t eq = arg.find('=');
      rule = FindLong(rules, arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2));
      if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
        hasValue = true;
      }
    } else if (arg.size() == 2) {
      rule = FindShort(rules, arg[1]);
    }
    if (rule == nullptr) throw TUsageError{"unknown option '" + arg + "'"};
    if (rule->TakesValue && !hasValue) {
      if (i + 1 >= args.size()) throw TUsageError{"option '" + arg + "' needs a value"};
      value = args[++i];
    } else if (!rule->TakesValue && hasValue) {
      throw TUsageError{"option '--" + rule->Name + "' takes no value"};
    }
    line.Options[rule->Name] = ToEngineText(value);
    line.Given.emplace_back(rule->Name, line.Options[rule->Name]);
  }
  return line;
}

std::vector<std::string> TCommandLine::All(const std::string& name) const {
  std::vector<std::string> values;
  for (const auto& [option, value] : Given)
    if (option == name) values.push_back(value);
  return values;
}

}  // namespace norvane::tool
