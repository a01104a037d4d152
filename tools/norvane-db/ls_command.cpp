// norvane-db ls FILE: every file and folder, one line each, sorted by path:
// a file as PATH<TAB>SIZE, a folder as PATH/. The temporary files of puts
// are the tool's own, never the user's, and are not listed.
#include <algorithm>
#include <vector>

#include "engine/protection/collation.h"
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/open_container.h"
#include "tools/norvane-db/temporary_files.h"

namespace norvane::tool {

namespace {

struct TEntry {
  std::vector<std::string> Components;
  bool Folder;
  int64_t Size;
};

// Paths are ordered component by component, so a folder's entries follow it
// directly; names within a folder by the engine's collation.
bool EntryLess(const TEntry& a, const TEntry& b) {
  const size_t n = std::min(a.Components.size(), b.Components.size());
  for (size_t i = 0; i < n; ++i) {
    int c = CollateCompareCI(a.Components[i].c_str(), b.Components[i].c_str());
    if (c == 0) c = CollateCompare(a.Components[i].c_str(), b.Components[i].c_str());
    if (c != 0) return c < 0;
  }
  return a.Components.size() < b.Components.size();
}

void Collect(TESingleFileSystem& container, const std::string& folder,
             const std::vector<std::string>& above, std::vector<TEntry>& entries) {
  TSearchRec found;
  for (int32_t rc = container.FindFirst(folder + "\\*", faDirectory, found); rc == 0;
       rc = container.FindNext(found)) {
    std::vector<std::string> components = above;
    components.push_back(found.Name);
    const bool isFolder = (found.Attr & faDirectory) != 0;
    if (!isFolder && IsPutTemporaryName(found.Name)) continue;
    entries.push_back({components, isFolder, found.FullSize});
    if (isFolder) Collect(container, folder + "\\" + found.Name, components, entries);
  }
  container.FindClose(found);
}

int RunLs(const TCommandLine& line, TToolOutput& output) {
  const auto container = OpenContainer(line.Positional[0], TOpenFor::Reading, line);
  std::vector<TEntry> entries;
  Collect(*container, "", {}, entries);
  std::sort(entries.begin(), entries.end(), EntryLess);
  for (const TEntry& entry : entries) {
    std::string path;
    for (const std::string& component : entry.Components) path += "/" + component;
    output.Line(entry.Folder ? path + "/" : path + "\t" + std::to_string(entry.Size));
  }
  return 0;
}

}  // namespace

const TCommand kLsCommand{"ls", "FILE", "list every file (with its size) and folder", 1, 1, RunLs};

}  // namespace norvane::tool
