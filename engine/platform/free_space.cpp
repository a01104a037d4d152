// The replaceable free-space probe: the operating system's answer unless a
// test has put another in its place.
#include "engine/platform/free_space.h"

#include "engine/platform/file_system.h"

namespace norvane {

namespace {

TFreeSpaceProbe probe = nullptr;

}  // namespace

int64_t FreeSpaceBeside(const std::string& path) {
  return probe != nullptr ? probe(path) : DiskFreeBytes(path);
}

TFreeSpaceProbe SetFreeSpaceProbe(TFreeSpaceProbe replacement) {
  const TFreeSpaceProbe old = probe;
  probe = replacement;
  return old;
}

}  // namespace norvane
