// The one-owner rule for pages, checked before a container is first changed:
// the directory and the page maps of every live file are walked once, and a
// page named twice refuses every write. Loading reads the page maps of a file
// only when it is first used, so without this walk deleting one of two files
// that share a page would free a page the other still reads from, and the
// next allocation would overwrite its data.
#pragma once

#include <string>

#include "engine/container/dir_manager.h"
#include "engine/container/page_map_manager.h"

namespace norvane {

// Loads the page maps of every live file into `maps` (they stay cached) and
// checks that no page is named by two owners (two files, a file twice, or a
// file and the directory) and that no owned page is marked free in `space`.
// Throws EEngineError "<where> - <what>: the container is damaged and must be
// repaired before it is changed." at the first fault, <what> being one of
//   "page <n> is named by <owner> and by <owner>",
//   "the page map of <owner> cannot be read (<the page maps' error>)": that
//     file's pages are unknown, so they may be anyone's,
//   "page <n> of the directory is marked free": the allocator would hand it
//     out to the next file.
// Reads each map page once; memory is one integer per page of the container.
void RequireSoleOwners(const std::string& where, const TDIRManager& dir,
                       const TFreeSpaceManager& space, TUserFilePageMapManager& maps,
                       int32_t pageCount);

}  // namespace norvane
