// norvane-db: the engine's command-line tool.
#include <unistd.h>

#include <iostream>

#include "tools/norvane-db/tool.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return norvane::tool::RunTool(args, std::cin, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
