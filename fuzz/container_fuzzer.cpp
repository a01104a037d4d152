// libFuzzer target: arbitrary bytes as a container file, through every read
// path of the container and the consistency checker. Damage must end in
// EEngineError; a crash, a sanitizer report, a hang or any other exception
// is a bug, and so is a container the checker passes that the engine refuses.
#include <cstdio>
#include <cstdlib>

#include "fuzz/container_read_paths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const norvane::fuzz::TReadOutcome& outcome : norvane::fuzz::RunInput(data, size)) {
    if (!norvane::fuzz::Agrees(outcome)) {
      std::fprintf(stderr, "checker found nothing, but the engine failed: %s\n",
                   outcome.EngineError.c_str());
      std::abort();
    }
  }
  return 0;
}
