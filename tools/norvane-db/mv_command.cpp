// norvane-db mv FILE OLD NEW: renames or moves a file or folder, making the
// new path's missing folders.
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/new_path.h"
#include "tools/norvane-db/open_container.h"

namespace norvane::tool {

namespace {

int RunMv(const TCommandLine& line, TToolOutput&) {
  const std::string& from = line.Positional[1];
  const std::string& to = line.Positional[2];
  RequireNewPath(to);
  const auto container = OpenContainer(line.Positional[0], TOpenFor::Writing, line);
  const int32_t source = container->Directory().FindPath(from);
  if (source < 0) FailCommand(QuotedPath(from) + " not found.");
  const int32_t target = container->Directory().FindPath(to);
  if (target >= 0 && target != source) FailCommand(QuotedPath(to) + " exists already.");
  if (!container->RenameFile(from, to))
    FailCommand("Cannot move \"" + ShownPath(from) + "\" to \"" + ShownPath(to) + "\".");
  container->Flush();
  return 0;
}

}  // namespace

const TCommand kMvCommand{"mv", "FILE OLD NEW", "rename or move a file or folder", 3, 3, RunMv};

}  // namespace norvane::tool
