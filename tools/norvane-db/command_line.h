// The tool's command line: options may stand anywhere among the arguments,
// as with GNU tools, and "--" ends them. Arguments arrive as UTF-8 and are
// turned into engine text (code page 1251) here.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace norvane::tool {

struct TOptionRule {
  std::string Name;   // long name without dashes, e.g. "help"
  char Short = 0;     // short letter, 0 for none
  bool TakesValue = false;
};

struct TCommandLine {
  std::vector<std::string> Positional;          // engine text
  std::map<std::string, std::string> Options;   // by long name, the last one given; engine text
  // Every option given, in order, with its value: how an option that may be
  // repeated is read whole; engine text.
  std::vector<std::pair<std::string, std::string>> Given;

  bool Has(const std::string& name) const { return Options.count(name) != 0; }
  // The values of option `name`, in the order given.
  std::vector<std::string> All(const std::string& name) const;
};

// A wrong command line, exit status 2: the message is shown above the usage,
// or alone when the usage would not help (text the tool cannot take).
struct TUsageError {
  std::string Message;  // UTF-8
  bool ShowUsage = true;
};

// Throws TUsageError for an unknown option or a missing value, and (without
// the usage) for text that is not UTF-8 or that code page 1251 cannot hold.
TCommandLine ParseCommandLine(const std::vector<std::string>& args,
                              const std::vector<TOptionRule>& rules);

}  // namespace norvane::tool
