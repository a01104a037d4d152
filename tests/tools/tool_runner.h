// Ways for the tool's tests to run norvane-db: as a function in this
// process, or as the program in a child process; and a small catalogue made
// through the tool for tests that need files in it.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <streambuf>
#include <string>
#include <system_error>
#include <vector>

#include "tests/support/temp_folder.h"

namespace norvane {

struct TRun {
  int status;
  std::string out;
  std::string err;
};

// The tool as a function, with `input` as its standard input.
TRun RunDb(const std::vector<std::string>& args, const std::string& input = "");
// The same with any stream as standard input (one that fails, for instance).
TRun RunDbReading(const std::vector<std::string>& args, std::istream& in);

// Standard input that gives `good` bytes and then fails as a disk would.
class TFailingInput : public std::streambuf {
 public:
  explicit TFailingInput(std::string good) : good_(std::move(good)) {
    setg(good_.data(), good_.data(), good_.data() + good_.size());
  }

 protected:
  int_type underflow() override { throw std::system_error(EIO, std::generic_category()); }

 private:
  std::string good_;
};

// The program itself, in a child process whose environment names the user's
// locale (the collation is chosen once per process from it): its standard
// output and error together (in `out`), and its exit status.
TRun RunProgramUnder(const std::string& lang, const std::vector<std::string>& args);

std::vector<std::string> LinesOf(const std::string& text);
std::vector<std::string> SortedLines(const std::string& text);

// A container with a few files and folders, made through the tool itself:
// /docs/a.txt (bytes 0 1 2 255), /top.txt ("hello"), /empty/inner/.
class NorvaneDbFiles : public ::testing::Test {
 protected:
  void SetUp() override;
  testing::TTempFolder dir;
  std::string file = dir / "files.adb";
};

}  // namespace norvane
