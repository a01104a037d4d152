// Checking the path of a file or folder the tool is about to make, before
// anything in the catalogue changes.
#include "tools/norvane-db/new_path.h"

#include <cstdio>

#include "engine/container/container_path.h"
#include "tools/norvane-db/open_container.h"

namespace norvane::tool {

namespace {

constexpr size_t kMaxName = 255;

bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// The rule `name` (one component) breaks, or empty when it breaks none.
std::string NameProblem(const std::string& name) {
  if (name.empty()) return "empty names are not allowed (two separators in a row)";
  if (name == "." || name == "..") return "\".\" and \"..\" cannot be names";
  for (const char c : name) {
    if (!IsControl(c)) continue;
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned char>(c));
    return std::string("names cannot hold control characters (here byte ") + code + ")";
  }
  if (name.size() > kMaxName)
    return "names are at most 255 bytes (this one has " + std::to_string(name.size()) + ")";
  return "";
}

// The path as a message may show it: control characters would break the
// line (or the terminal), so they are shown as "?".
std::string Printable(const std::string& path) {
  std::string shown = ShownPath(path);
  for (char& c : shown)
    if (IsControl(c)) c = '?';
  return shown;
}

}  // namespace

void RequireNewPath(const std::string& path) {
  size_t begin = !path.empty() && IsPathSeparator(path.front()) ? 1 : 0;
  size_t end = path.size();
  if (end > begin && IsPathSeparator(path.back())) --end;
  if (begin >= end)
    FailCommand("Invalid path \"" + Printable(path) + "\": it names no file or folder.");
  while (begin <= end) {
    size_t stop = begin;
    while (stop < end && !IsPathSeparator(path[stop])) ++stop;
    const std::string problem = NameProblem(path.substr(begin, stop - begin));
    if (!problem.empty()) FailCommand("Invalid path \"" + Printable(path) + "\": " + problem + ".");
    begin = stop + 1;
  }
}

}  // namespace norvane::tool
