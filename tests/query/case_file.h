// The case files of the query tests: blocks of "=== name", input lines,
// "---" and the expected lines. Lines before the first block are comments;
// blank lines at the end of a block belong to none.
#pragma once

#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/case_name.h"

namespace norvane::testing {

struct TCaseBlock {
  std::string Name;
  std::vector<std::string> Input;
  std::string Expected;  // lines, each ended by "\n"
};

inline void PrintTo(const TCaseBlock& block, std::ostream* out) { *out << block.Name; }

inline std::vector<TCaseBlock> ReadCaseFile(const std::string& name) {
  std::ifstream file(std::string(NORVANE_QUERY_CASES) + "/" + name);
  std::vector<TCaseBlock> blocks;
  std::string line;
  bool expected = false;
  while (std::getline(file, line)) {
    if (line.rfind("=== ", 0) == 0) {
      blocks.push_back({line.substr(4), {}, ""});
      expected = false;
    } else if (blocks.empty()) {
      continue;
    } else if (line == "---" && !expected) {
      expected = true;
    } else if (expected) {
      blocks.back().Expected += line + "\n";
    } else {
      blocks.back().Input.push_back(line);
    }
  }
  for (TCaseBlock& block : blocks) {
    std::string& e = block.Expected;
    while (!e.empty() && e.back() == '\n' && (e.size() == 1 || e[e.size() - 2] == '\n')) e.pop_back();
    // Input ends before the blank lines that part it from "---".
    while (!block.Input.empty() && block.Input.back().empty()) block.Input.pop_back();
  }
  return blocks;
}

}  // namespace norvane::testing
