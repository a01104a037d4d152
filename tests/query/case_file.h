// The case files of the query tests: blocks of "=== name", input lines,
// "---" and the expected lines. Lines before the first block are comments;
// blank lines at the end of a block belong to none.
#pragma once

#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/query/query_params.h"
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

// A block whose input may begin with "@param NAME TYPE VALUE" lines (TYPE
// string, integer, float, boolean, date or blob; VALUE "<null>" for none),
// the SQL text after them.
struct TSqlCase {
  std::string Name;
  std::vector<std::string> Params;
  std::string Text;
  std::string Expected;
};

inline void PrintTo(const TSqlCase& c, std::ostream* out) { *out << c.Name; }

inline std::vector<TSqlCase> ReadSqlCases(const std::string& name) {
  std::vector<TSqlCase> cases;
  for (const TCaseBlock& block : ReadCaseFile(name)) {
    TSqlCase c{block.Name, {}, "", block.Expected};
    for (const std::string& line : block.Input) {
      if (line.rfind("@param ", 0) == 0 && c.Text.empty()) {
        c.Params.push_back(line.substr(7));
      } else {
        c.Text += (c.Text.empty() ? "" : "\n") + line;
      }
    }
    cases.push_back(std::move(c));
  }
  return cases;
}

inline TFieldType ParamTypeNamed(const std::string& name) {
  if (name == "integer") return ftInteger;
  if (name == "float") return ftFloat;
  if (name == "boolean") return ftBoolean;
  if (name == "date") return ftDate;
  if (name == "blob") return ftBlob;
  return ftString;
}

// The case's parameters; the lexer gets none when the case names none.
inline TQueryParams SqlCaseParams(const TSqlCase& c) {
  TQueryParams params;
  for (const std::string& param : c.Params) {
    std::istringstream in(param);
    std::string name, type, value;
    in >> name >> type;
    std::getline(in >> std::ws, value);
    params.Add({name, ParamTypeNamed(type), value == "<null>" ? std::nullopt : std::optional<std::string>(value)});
  }
  return params;
}

}  // namespace norvane::testing
