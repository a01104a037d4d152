// The tool's command line: options may stand anywhere among the arguments,
// as with GNU tools, and "--" ends them. Arguments arrive as UTF-8 and are
// turned into engine text (code page 1251) here.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace norvane::tool {

struct TOptionRule {
  std::string Name;   // long name without dashes, e.g. "help"
  char Short = 0;     // short letter, 0 for none
  bool TakesValue = false;
};

struct TCommandLine {
  std::vector<std::string> Positional;          // engine text
  std::map<std::string, std::string> Options;   // by long name; engine text

  bool Has(const std::string& name) const { return Options.count(name) != 0; }
};

// A wrong command line: the message is shown above the usage, exit status 2.
struct TUsageError {
  std::string Message;  // UTF-8
};

// Throws TUsageError for an unknown option, a missing value, or text that
// code page 1251 cannot hold.
TCommandLine ParseCommandLine(const std::vector<std::string>& args,
                              const std::vector<TOptionRule>& rules);

}  // namespace norvane::tool
