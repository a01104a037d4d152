// Paths inside a container: components separated by "\" or "/"; a leading
// separator starts at the root, and one trailing separator is ignored.
#pragma once

#include <string>

namespace norvane {

inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

// True for "\" and "/" alone: the root itself.
inline bool IsRootPath(const std::string& path) {
  return path.size() == 1 && IsPathSeparator(path[0]);
}

// Splits at the last separator (after dropping one trailing separator) into
// the folder part and the last name. "a" gives ("", "a"); "\a" gives ("\",
// "a"); "\a\b\" gives ("\a", "b").
inline void SplitLastName(const std::string& path, std::string& folder, std::string& name) {
  std::string trimmed = path;
  if (trimmed.size() > 1 && IsPathSeparator(trimmed.back())) trimmed.pop_back();
  size_t cut = trimmed.size();
  while (cut > 0 && !IsPathSeparator(trimmed[cut - 1])) --cut;
  if (cut == 0) {
    folder.clear();
  } else {
    folder = cut == 1 ? trimmed.substr(0, 1) : trimmed.substr(0, cut - 1);
  }
  name = trimmed.substr(cut);
}

// `name` inside `folder` (empty or a lone separator: the root).
inline std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || IsRootPath(folder)) return "\\" + name;
  return folder + "\\" + name;
}

}  // namespace norvane
