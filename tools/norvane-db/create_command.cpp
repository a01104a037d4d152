// norvane-db create FILE: a new, empty container.
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/open_container.h"

namespace norvane::tool {

namespace {

int RunCreate(const TCommandLine& line, TToolOutput&) {
  CreateContainerFile(line.Positional[0], line)->Flush();
  return 0;
}

}  // namespace

const TCommand kCreateCommand{"create", "FILE",
                              "create an empty catalogue file (4 KB pages, 16 pages an extent)",
                              1, 1, RunCreate};

}  // namespace norvane::tool
