// Splitting name lists.
#include "engine/tables/name_list.h"

#include <algorithm>

#include "engine/platform/file_system.h"

namespace norvane {

std::vector<std::string> SplitNameList(const std::string& list) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find_first_of(";,", start);
    if (end == std::string::npos) end = list.size();
    const size_t first = list.find_first_not_of(" \t", start);
    if (first != std::string::npos && first < end) {
      const size_t last = list.find_last_not_of(" \t", end - 1);
      items.push_back(list.substr(first, last - first + 1));
    }
    start = end + 1;
  }
  return items;
}

bool NameListed(const std::vector<std::string>& list, const std::string& name) {
  return std::any_of(list.begin(), list.end(),
                     [&](const std::string& item) { return SameNameIgnoringCase(item, name); });
}

}  // namespace norvane
