// Opening a container for the tool's commands.
#include "tools/norvane-db/open_container.h"

#include <algorithm>

#include "engine/common/engine_error.h"

namespace norvane::tool {

namespace {
// The engine's geometry; an existing container's own header overrides it.
constexpr int32_t kExtentPages = 16;
constexpr int32_t kPageSizeKB = 4;
constexpr uint16_t kModeReadShared = 0x40;   // read-only, deny none
constexpr uint16_t kModeWrite = 0x22;        // read/write, deny write
constexpr uint16_t kModeAlone = 0x12;        // read/write, exclusive
}  // namespace

std::unique_ptr<TESingleFileSystem> OpenContainer(const std::string& file, TOpenFor purpose) {
  const uint16_t mode = purpose == TOpenFor::Alone     ? kModeAlone
                        : purpose == TOpenFor::Writing ? kModeWrite
                                                       : kModeReadShared;
  return std::make_unique<TESingleFileSystem>(file, kExtentPages, kPageSizeKB, 0, "", "", "",
                                              false, mode);
}

std::unique_ptr<TESingleFileSystem> CreateContainerFile(const std::string& file) {
  return std::make_unique<TESingleFileSystem>(file, kExtentPages, kPageSizeKB, 0, "", "", "",
                                              false, kModeCreate);
}

std::string ShownPath(const std::string& enginePath) {
  std::string shown = enginePath;
  std::replace(shown.begin(), shown.end(), '\\', '/');
  return shown;
}

void FailCommand(const std::string& message) { throw EEngineError(message); }

}  // namespace norvane::tool
