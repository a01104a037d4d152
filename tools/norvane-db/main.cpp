// norvane-db: the engine's command-line tool.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "tools/norvane-db/descriptor_output.h"
#include "tools/norvane-db/standard_input.h"
#include "tools/norvane-db/tool.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  int status = 0;
  {
    // Standard input and output straight through their descriptors: the
    // standard streams would take a read error for the end of the input and
    // lose the reason of a failed write.
    norvane::tool::TStandardInputBuffer inBuffer(STDIN_FILENO);
    std::istream in(&inBuffer);
    norvane::tool::TDescriptorOutput buffer(STDOUT_FILENO);
    std::ostream out(&buffer);
    status = norvane::tool::RunTool(args, in, out, std::cerr, isatty(STDERR_FILENO) != 0,
                                    isatty(STDIN_FILENO) != 0);
  }
  // Some file systems report a failed write only when the file is closed.
  if (close(STDOUT_FILENO) != 0 && errno != EBADF && status == 0) {
    std::cerr << "Cannot write to standard output: " << std::strerror(errno) << ".\n";
    status = 1;
  }
  return status;
}
