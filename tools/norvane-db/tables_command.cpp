// norvane-db tables FILE: the names of the tables of a catalogue or folder
// database, one a line, sorted as the engine orders names.
#include <algorithm>
#include <vector>

#include "engine/protection/collation.h"
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/table_source.h"

namespace norvane::tool {

namespace {

int RunTables(const TCommandLine& line, TToolOutput& output) {
  TTableSource source(line.Positional[0], line);
  std::vector<std::string> names;
  source.Store().GetFileNames(".dat", names);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const int c = CollateCompareCI(a.c_str(), b.c_str());
    return c != 0 ? c < 0 : CollateCompare(a.c_str(), b.c_str()) < 0;
  });
  for (const std::string& name : names) output.Line(name);
  return 0;
}

}  // namespace

const TCommand kTablesCommand{"tables", "FILE", "list the tables of a catalogue or folder database",
                              1, 1, RunTables};

}  // namespace norvane::tool
