// Shared by the free-space tests: a container with its free-space manager
// that can be reopened from disk, and a snapshot of everything the manager
// shows, so a test can say "nothing changed" or "the disk agrees".
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/container/free_space_manager.h"
#include "engine/container/page_file_manager.h"
#include "engine/container/part_header.h"
#include "tests/support/file_bytes.h"

namespace norvane::testing {

constexpr int64_t kBase = kPartHeaderSize;  // file offset of logical byte 0

struct TSpaceContainer {
  std::string name;
  TPartOptions parts;
  std::unique_ptr<TPageFileManager> pages;
  std::unique_ptr<TFreeSpaceManager> space;

  TSpaceContainer(const std::string& fileName, int32_t extentPages = 16, int32_t kb = 4,
                  const TPartOptions& options = {})
      : name(fileName), parts(options) {
    pages = std::make_unique<TPageFileManager>(name, extentPages, kb, false, "", "", "",
                                               kModeCreate, parts);
    space = std::make_unique<TFreeSpaceManager>(*pages);
  }

  // Drops everything held in memory and loads it again from the file.
  void Reopen() {
    space.reset();
    pages.reset();
    pages =
        std::make_unique<TPageFileManager>(name, 16, 4, false, "", "", "", kModeReadWriteDenyWrite,
                                           parts);
    space = std::make_unique<TFreeSpaceManager>(*pages);
  }

  std::vector<uint8_t> FileBytes() {
    pages->Flush();
    return ReadFileBytes(name);
  }

  int64_t FileBytesSize() const {
    pages->Flush();
    return static_cast<int64_t>(std::filesystem::file_size(name));
  }

  std::vector<int32_t> Get(int32_t count, int32_t hint = 0, bool whole = false) {
    std::vector<int32_t> got;
    EXPECT_TRUE(space->GetPages(count, hint, got, whole)) << count << " pages, hint " << hint;
    return got;
  }
};

// Everything the manager and the header say about free space.
struct TSpaceState {
  std::vector<bool> free, gam, sgam, map;
  std::vector<int32_t> pfsPages, gamPages;
  int32_t extents = 0, freeExtents = 0, mixedExtents = 0;
  int32_t pageCount = 0, headerPFS = 0, headerGAM = 0;
};

inline TSpaceState StateOf(const TSpaceContainer& c) {
  TSpaceState s;
  const TFreeSpaceManager& space = *c.space;
  s.pageCount = c.pages->PageCount();
  for (int32_t n = 0; n < s.pageCount; ++n) {
    s.free.push_back(space.IsPageFree(n));
    s.map.push_back(space.IsMapPage(n));
  }
  for (int32_t j = 0; j < space.ExtentCount(); ++j) {
    s.gam.push_back(space.GAMBit(j));
    s.sgam.push_back(space.SGAMBit(j));
  }
  s.pfsPages = space.PFSPageMap();
  s.gamPages = space.GAMPageMap();
  s.extents = space.ExtentCount();
  s.freeExtents = space.FreeExtentCount();
  s.mixedExtents = space.MixedExtentCount();
  s.headerPFS = c.pages->Header().PFSPageCount();
  s.headerGAM = c.pages->Header().GAMPageCount();
  return s;
}

// The first difference between two states, or "" when they are equal.
inline std::string Difference(const TSpaceState& a, const TSpaceState& b) {
  std::ostringstream out;
  auto scalar = [&](const char* what, int64_t x, int64_t y) {
    if (out.tellp() == 0 && x != y) out << what << ": " << x << " vs " << y;
  };
  scalar("page count", a.pageCount, b.pageCount);
  scalar("extents", a.extents, b.extents);
  scalar("free extents", a.freeExtents, b.freeExtents);
  scalar("mixed extents", a.mixedExtents, b.mixedExtents);
  scalar("header PFS pages", a.headerPFS, b.headerPFS);
  scalar("header GAM pages", a.headerGAM, b.headerGAM);
  auto bits = [&](const char* what, const std::vector<bool>& x, const std::vector<bool>& y) {
    for (size_t i = 0; out.tellp() == 0 && i < std::min(x.size(), y.size()); ++i)
      if (x[i] != y[i]) out << what << " " << i << ": " << x[i] << " vs " << y[i];
  };
  bits("free page", a.free, b.free);
  bits("map page", a.map, b.map);
  bits("GAM bit", a.gam, b.gam);
  bits("SGAM bit", a.sgam, b.sgam);
  if (out.tellp() == 0 && a.pfsPages != b.pfsPages) out << "PFS page lists differ";
  if (out.tellp() == 0 && a.gamPages != b.gamPages) out << "GAM page lists differ";
  return out.str();
}

inline std::vector<int32_t> Range(int32_t from, int32_t to) {
  std::vector<int32_t> pages;
  for (int32_t n = from; n <= to; ++n) pages.push_back(n);
  return pages;
}

}  // namespace norvane::testing
