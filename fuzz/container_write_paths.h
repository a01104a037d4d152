// The container's write paths over arbitrary bytes taken as a container file:
// a few writes chosen by the input after a successful open, with the
// consistency checker run before and after. Shared by the write fuzz target
// and by the regression test that replays the inputs it once crashed on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace norvane::fuzz {

// The last kScriptBytes bytes of an input (zeros in front of a shorter one)
// choose the writes: kScriptBytes / 2 steps of an operation byte and an
// argument byte. They stay part of the container as well.
inline constexpr size_t kScriptBytes = 8;

struct TWriteOutcome {
  size_t ProblemsBefore = 0;        // what the checker reported before the writes
  std::string EngineError;          // the EEngineError that stopped open or writes, if any
  std::vector<std::string> ProblemsAfter;  // the checker's lines after the writes
};

// Checks the container, opens it read-write (its parts on a memory disk, so
// the writes land where the checker reads them), applies the script's steps
// (put a new file, delete, rename, grow, shrink, overwrite), stopping at the
// first EEngineError, closes it and checks it again. A checker that cannot
// open the result at all counts as one problem. Anything other than
// EEngineError escapes.
TWriteOutcome RunContainerWritePaths(const uint8_t* data, size_t size);

// The write paths over the input as given and, when that changes it, over a
// copy with its checksums made right (FixChecksums); the script bytes are
// taken from the input as given.
std::vector<TWriteOutcome> RunWriteInput(const uint8_t* data, size_t size);

// The claim: writes never damage a container the checker found sound.
inline bool KeptSound(const TWriteOutcome& outcome) {
  return outcome.ProblemsBefore > 0 || outcome.ProblemsAfter.empty();
}

}  // namespace norvane::fuzz
