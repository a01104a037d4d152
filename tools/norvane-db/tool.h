// The engine's command-line tool as a function, so tests can run it without
// a process: arguments after the program name and standard input in, exit
// status out.
//   0 success, 1 an engine error (its message on standard error, unchanged),
//   2 a usage error (with the usage on standard error).
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace norvane::tool {

// `errIsTerminal` lets long commands redraw their progress on one line.
int RunTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err, bool errIsTerminal = false);

}  // namespace norvane::tool
