// Free memory as the engine weighs it: physical memory available to new
// allocations, and the heap space a memory-held container may still take.
#pragma once

#include <cstdint>

namespace norvane {

int64_t FreePhysicalMemory();
int64_t FreeHeapBytes();

}  // namespace norvane
