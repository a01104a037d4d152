// Finding and removing the temporary files a killed put leaves behind.
#include "tools/norvane-db/temporary_files.h"

#include <algorithm>
#include <string_view>

namespace norvane::tool {

bool IsPutTemporaryName(const std::string& name) {
  const std::string_view prefix = kPutTemporaryPrefix;
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> FindPutTemporaryFiles(TESingleFileSystem& container) {
  // The directory is held in memory: a pass over its records costs no reads.
  TDIRManager& directory = container.Directory();
  std::vector<std::string> paths;
  for (int32_t i = 0; i < directory.Count(); ++i) {
    const TFileRec& rec = directory.ReadItem(i);
    if (!rec.Deleted && !rec.IsFolder && IsPutTemporaryName(rec.FileName))
      paths.push_back(directory.GetFullPath(i));
  }
  return paths;
}

void RemoveStalePutFiles(TESingleFileSystem& container) {
  bool removed = false;
  for (const std::string& path : FindPutTemporaryFiles(container))
    removed = container.DeleteFile(path) || removed;
  if (removed) container.Flush();
}

}  // namespace norvane::tool
