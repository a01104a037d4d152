// The container's read paths run over arbitrary bytes taken as a container
// file, held in memory: shared by the fuzz target and by the regression test
// that replays the inputs the fuzzer once crashed on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/container/single_file_system.h"

namespace norvane::fuzz {

struct TReadOutcome {
  std::string EngineError;   // the EEngineError that stopped the reads, if any
  size_t CheckProblems = 0;  // what the consistency checker reported, warnings aside
};

// Walks every folder from the root and calls visit for each file and folder
// found, with its full path ("\\docs\\a.txt"); folders are visited before
// their content. Enumeration failures throw EEngineError.
void VisitItems(TESingleFileSystem& container,
                const std::function<void(const std::string& path, bool folder)>& visit);

// Opens the bytes read-only through TESingleFileSystem (header, free-space
// maps, directory), enumerates every folder, reads every file whole, then
// runs the consistency checker. EEngineError from the container is damage
// reported as designed and lands in the outcome; anything else escapes.
TReadOutcome RunContainerReadPaths(const uint8_t* data, size_t size);

// The read paths over the input as given and, when that changes it, over a
// copy with its checksums made right (FixChecksums): one outcome each.
std::vector<TReadOutcome> RunInput(const uint8_t* data, size_t size);

// The one claim the two must agree on: a container the checker finds sound
// opens and reads without an engine error.
inline bool Agrees(const TReadOutcome& outcome) {
  return outcome.CheckProblems > 0 || outcome.EngineError.empty();
}

}  // namespace norvane::fuzz
