// The temporary files `put` writes a file's bytes into before it takes the
// file's name: how they are named, and finding those a killed put left.
#pragma once

#include <string>
#include <vector>

#include "engine/container/single_file_system.h"

namespace norvane::tool {

// A put's temporary file is this prefix followed by a decimal number, in the
// folder of the file being stored.
inline constexpr char kPutTemporaryPrefix[] = ".norvane-put-";

// Whether `name` (one name, not a path) is a put's temporary file name: the
// prefix and at least one digit, nothing else, so a user's ".norvane-put-notes"
// is never taken for one.
bool IsPutTemporaryName(const std::string& name);

// The engine paths of every live put temporary file in the container.
std::vector<std::string> FindPutTemporaryFiles(TESingleFileSystem& container);

// Deletes every put temporary file. Only for a container held alone: then no
// put can be running, so every such file is the remains of one that was
// killed. Flushes when it deleted anything, so the space is given back even
// when the command that opened the container fails afterwards. A file that
// cannot be deleted stays, to be tried again by the next writer.
void RemoveStalePutFiles(TESingleFileSystem& container);

}  // namespace norvane::tool
