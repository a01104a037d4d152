// The walk over every owner of pages, with one slot a page saying who named it
// first.
#include "engine/container/page_owners.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "engine/container/damage.h"

namespace norvane {

namespace {

constexpr int32_t kNobody = std::numeric_limits<int32_t>::min();
constexpr int32_t kDirectory = -1;

std::string OwnerText(const TDIRManager& dir, int32_t owner) {
  if (owner == kDirectory) return "the directory";
  std::string text(1, '"');
  text += dir.GetFullPath(owner);
  text += '"';
  return text;
}

}  // namespace

void RequireSoleOwners(const std::string& where, const TDIRManager& dir,
                       const TFreeSpaceManager& space, TUserFilePageMapManager& maps,
                       int32_t pageCount) {
  std::vector<int32_t> owners(static_cast<size_t>(std::max(pageCount, 0)), kNobody);
  auto refuse = [&](const std::string& what) {
    ReportDamage(where, what + ": the container is damaged and must be repaired before it is "
                               "changed.");
  };
  auto claim = [&](int32_t page, int32_t owner) {
    // Page numbers were range-checked when the directory and the maps were
    // read; one outside is damage all the same.
    if (page < 1 || page >= pageCount)
      refuse("page " + std::to_string(page) + " named by " + OwnerText(dir, owner) +
             " lies outside the container");
    int32_t& first = owners[static_cast<size_t>(page)];
    if (first != kNobody)
      refuse("page " + std::to_string(page) + " is named by " + OwnerText(dir, first) +
             " and by " + OwnerText(dir, owner));
    first = owner;
  };
  for (int32_t page : dir.PageList()) {
    claim(page, kDirectory);
    // File pages marked free are refused when their maps are read; a
    // directory page marked free would be handed out to the next file.
    if (space.IsPageFree(page))
      refuse("page " + std::to_string(page) + " of the directory is marked free");
  }
  for (int32_t index = 0; index < dir.Count(); ++index) {
    const TFileRec& rec = dir.ReadItem(index);
    if (rec.Deleted || rec.IsFolder || rec.FirstMapPageNo == -1) continue;
    const TUserFilePageMapManager::TFileMaps* owned = nullptr;
    try {
      owned = &maps.GetMaps(rec);
    } catch (const EEngineError& e) {
      // Its pages are unknown, so any other owner's may be among them.
      refuse("the page map of " + OwnerText(dir, index) + " cannot be read (" + e.what() + ")");
    }
    for (int32_t page : owned->MapPages) claim(page, index);
    for (int32_t page : owned->DataPages) claim(page, index);
  }
}

}  // namespace norvane
