// A fuzz input laid out as the part files of a container on a disk held in
// memory: the bytes are split at each later part header, and whatever the
// container writes, creates or cuts stays on this disk, where the checker
// can read it afterwards. Shared by the read and write paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/container/huge_file.h"

namespace norvane::fuzz {

// The container's name on the disk; part k of it is this name followed by k.
inline constexpr char kInputName[] = "input.adb";

class TInputDisk {
 public:
  // The first part runs up to the second part header in the input, part k
  // from the k-th to the next; an input without later headers is one part.
  TInputDisk(const uint8_t* data, size_t size);
  TInputDisk(const TInputDisk&) = delete;
  TInputDisk& operator=(const TInputDisk&) = delete;

  // Part options for TESingleFileSystem and CheckContainer that serve the
  // parts from this disk (memory parts when the container asks for memory).
  // A name that is not on the disk cannot be opened, as a missing file. The
  // options refer to this object and must not outlive it.
  TPartOptions Parts();

 private:
  std::map<std::string, std::vector<uint8_t>> files_;
};

}  // namespace norvane::fuzz
