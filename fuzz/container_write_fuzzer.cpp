// libFuzzer target: arbitrary bytes as a container file, opened read-write
// for a few writes the input chooses. Writes on a damaged container may be
// refused with EEngineError; a crash, a sanitizer report, a hang, any other
// exception, or damage the checker finds after writes to a container it
// found sound before is a bug.
#include <cstdio>
#include <cstdlib>

#include "fuzz/container_write_paths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const norvane::fuzz::TWriteOutcome& outcome : norvane::fuzz::RunWriteInput(data, size)) {
    if (!norvane::fuzz::KeptSound(outcome)) {
      std::fprintf(stderr, "the writes damaged a sound container (%s):\n",
                   outcome.EngineError.empty() ? "no engine error"
                                               : outcome.EngineError.c_str());
      for (const std::string& line : outcome.ProblemsAfter)
        std::fprintf(stderr, "  %s\n", line.c_str());
      std::abort();
    }
  }
  return 0;
}
