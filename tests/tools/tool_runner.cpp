// Running norvane-db for the tool's tests.
#include "tests/tools/tool_runner.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "tests/support/file_bytes.h"
#include "tools/norvane-db/tool.h"

namespace norvane {

TRun RunDb(const std::vector<std::string>& args, const std::string& input) {
  std::istringstream in(input);
  return RunDbReading(args, in);
}

TRun RunDbReading(const std::vector<std::string>& args, std::istream& in) {
  std::ostringstream out, err;
  const int status = tool::RunTool(args, in, out, err);
  return {status, out.str(), err.str()};
}

TRun RunProgramUnder(const std::string& lang, const std::vector<std::string>& args) {
  std::string command = "env -u LC_ALL -u LC_COLLATE LANG=" + lang + " '" NORVANE_DB_PROGRAM "'";
  for (const std::string& arg : args) command += " '" + arg + "'";
  command += " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {-1, "", "cannot start " + command};
  std::string out;
  char chunk[4096];
  for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out, ""};
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines = LinesOf(text);
  std::sort(lines.begin(), lines.end());
  return lines;
}

void NorvaneDbFiles::SetUp() {
  ASSERT_EQ(RunDb({"create", file}).status, 0);
  testing::WriteFileBytes(dir / "src.bin", {0, 1, 2, 255});
  ASSERT_EQ(RunDb({"put", file, "/docs/a.txt", dir / "src.bin"}).status, 0);
  ASSERT_EQ(RunDb({"put", file, "top.txt"}, "hello").status, 0);  // from standard input
  ASSERT_EQ(RunDb({"mkdir", file, "/empty/inner"}).status, 0);
}

}  // namespace norvane
