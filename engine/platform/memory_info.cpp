// Free memory for the engine's budgets. Linux reports the memory new
// allocations can get without swapping as MemAvailable; the heap has no
// separate limit of its own, so both answers are that figure.
#include "engine/platform/memory_info.h"

#include <sys/sysinfo.h>

#include <cstdio>
#include <cstring>

namespace norvane {
namespace {

// MemAvailable from /proc/meminfo in bytes, or -1 when it cannot be read
// (old kernels, or /proc not mounted).
int64_t MemAvailableBytes() {
  FILE* f = std::fopen("/proc/meminfo", "re");
  if (f == nullptr) return -1;
  int64_t result = -1;
  char line[256];
  while (std::fgets(line, sizeof line, f) != nullptr) {
    long long kib = 0;
    if (std::strncmp(line, "MemAvailable:", 13) == 0 &&
        std::sscanf(line + 13, "%lld", &kib) == 1 && kib >= 0) {
      result = static_cast<int64_t>(kib) * 1024;
      break;
    }
  }
  std::fclose(f);
  return result;
}

}  // namespace

int64_t FreePhysicalMemory() {
  const int64_t available = MemAvailableBytes();
  if (available >= 0) return available;
  // Without MemAvailable, free plus buffer memory is the nearest estimate.
  struct sysinfo info {};
  if (sysinfo(&info) != 0) return 0;
  return (static_cast<int64_t>(info.freeram) + static_cast<int64_t>(info.bufferram)) *
         static_cast<int64_t>(info.mem_unit);
}

int64_t FreeHeapBytes() { return FreePhysicalMemory(); }

}  // namespace norvane
