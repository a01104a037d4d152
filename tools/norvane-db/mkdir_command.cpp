// norvane-db mkdir FILE FOLDER: makes a folder and any missing folders above it.
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/new_path.h"
#include "tools/norvane-db/open_container.h"

namespace norvane::tool {

namespace {

// The first name above `folder` that is a file, not a folder; empty when
// there is none. The engine's own refusal to make a folder there does not
// say which name is in the way.
std::string FileAbove(const TESingleFileSystem& container, const std::string& folder) {
  for (size_t at = folder.find_first_of("/\\", 1); at != std::string::npos;
       at = folder.find_first_of("/\\", at + 1)) {
    const std::string above = folder.substr(0, at);
    if (container.FileExists(above) && !container.DirectoryExists(above)) return above;
  }
  return "";
}

int RunMkdir(const TCommandLine& line, TToolOutput&) {
  const std::string& folder = line.Positional[1];
  RequireNewPath(folder);
  const auto container = OpenContainer(line.Positional[0], TOpenFor::Writing, line);
  if (container->FileExists(folder)) FailCommand(QuotedPath(folder) + " exists already.");
  const std::string file = FileAbove(*container, folder);
  if (!file.empty()) FailCommand(QuotedPath(file) + " is a file.");
  if (!container->ForceDirectories(folder))
    FailCommand("Cannot create folder \"" + ShownPath(folder) + "\".");
  container->Flush();
  return 0;
}

}  // namespace

const TCommand kMkdirCommand{"mkdir", "FILE FOLDER", "create a folder (and the folders above it)",
                             2, 2, RunMkdir};

}  // namespace norvane::tool
