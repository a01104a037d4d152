// The free space of the file system that holds a file, through one
// replaceable probe: the real one asks the operating system; tests put a
// small figure in its place to reach what a nearly full disk does.
#pragma once

#include <cstdint>
#include <string>

namespace norvane {

// Answers the free bytes available to this user beside `path` (a file,
// existing or not, or a folder), or -1 when that cannot be found out.
using TFreeSpaceProbe = int64_t (*)(const std::string& path);

// The free bytes beside `path` as the current probe answers.
int64_t FreeSpaceBeside(const std::string& path);
// Puts `probe` in place of the current probe (null: the operating system's,
// DiskFreeBytes) and returns the one it replaced. Not synchronised: set it
// before any container work starts, and put the old one back afterwards.
TFreeSpaceProbe SetFreeSpaceProbe(TFreeSpaceProbe probe);

}  // namespace norvane
