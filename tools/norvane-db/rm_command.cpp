// norvane-db rm FILE NAME: deletes a file, or an empty folder.
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/open_container.h"

namespace norvane::tool {

namespace {

int RunRm(const TCommandLine& line, TToolOutput&) {
  const std::string& name = line.Positional[1];
  if (name.find_first_not_of("/\\") == std::string::npos)
    FailCommand("Cannot remove the root folder.");
  const auto container = OpenContainer(line.Positional[0], TOpenFor::Writing, line);
  if (!container->FileExists(name)) FailCommand(QuotedPath(name) + " not found.");
  if (container->DirectoryExists(name)) {
    if (!container->RemoveDir(name)) FailCommand("Folder \"" + ShownPath(name) + "\" is not empty.");
  } else if (!container->DeleteFile(name)) {
    FailCommand("Cannot delete \"" + ShownPath(name) + "\".");
  }
  container->Flush();
  return 0;
}

}  // namespace

const TCommand kRmCommand{"rm", "FILE NAME", "delete a file or an empty folder", 2, 2, RunRm};

}  // namespace norvane::tool
