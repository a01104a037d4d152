// norvane-db info FILE: the container header, one "key: value" line each.
// Only the header is read, so no password is needed.
#include "engine/container/page_file_manager.h"
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/open_container.h"

namespace norvane::tool {

namespace {

int RunInfo(const TCommandLine& line, TToolOutput& output) {
  // Held so that no header is read halfway through a writer's change.
  const auto hold = HoldForReading(line.Positional[0], line);
  const TPageFileManager pages(line.Positional[0], 16, 4, false, "", "", "", kModeReadOnlyProbe);
  const TContainerHeader& header = pages.Header();
  const std::pair<const char*, int32_t> fields[] = {
      {"page size", header.PageSize()},
      {"extent pages", header.ExtentPageCount()},
      {"page count", header.PageCount()},
      {"gam pages", header.GAMPageCount()},
      {"pfs pages", header.PFSPageCount()},
      {"directory pages", header.DirectoryPageCount()},
      {"directory items", header.DirectoryItemCount()},
  };
  for (const auto& [key, value] : fields) output.Line(std::string(key) + ": " + std::to_string(value));
  output.Line(std::string("encrypted: ") + (pages.IsEncrypted() ? "yes" : "no"));
  return 0;
}

}  // namespace

const TCommand kInfoCommand{"info", "FILE", "print the container header", 1, 1, RunInfo};

}  // namespace norvane::tool
