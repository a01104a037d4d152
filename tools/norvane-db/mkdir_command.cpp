// norvane-db mkdir FILE FOLDER: makes a folder and any missing folders above it.
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/new_path.h"
#include "tools/norvane-db/open_container.h"

namespace norvane::tool {

namespace {

int RunMkdir(const TCommandLine& line, TToolOutput&) {
  const std::string& folder = line.Positional[1];
  RequireNewPath(folder);
  const auto container = OpenContainer(line.Positional[0], TOpenFor::Writing, line);
  if (container->FileExists(folder)) FailCommand("\"" + ShownPath(folder) + "\" exists already.");
  if (!container->ForceDirectories(folder))
    FailCommand("Cannot create folder \"" + ShownPath(folder) + "\".");
  container->Flush();
  return 0;
}

}  // namespace

const TCommand kMkdirCommand{"mkdir", "FILE FOLDER", "create a folder (and the folders above it)",
                             2, 2, RunMkdir};

}  // namespace norvane::tool
