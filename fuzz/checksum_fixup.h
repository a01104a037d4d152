// Makes the checksums of a fuzz input right again. Random changes to a page
// almost never keep its checksum, so without this the fuzzer would rarely
// get past the page layer into the maps, directory and files.
#pragma once

#include <cstdint>
#include <vector>

namespace norvane::fuzz {

// Recomputes the container header's checksum and, for every whole page of
// the first part, the checksum its page type and checksum kind call for,
// in place. Bytes that do not look like a container are left as they are.
void FixChecksums(std::vector<uint8_t>& bytes);

}  // namespace norvane::fuzz
