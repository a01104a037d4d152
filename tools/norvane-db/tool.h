// The engine's command-line tool as a function, so tests can run it without
// a process: arguments after the program name and standard input in, exit
// status out.
//   0 success, 1 an engine error (its message on standard error, unchanged,
//     after a plain line where the engine's text alone does not say what to
//     do) or output that could not be written, 2 a usage error (with the
//     usage on standard error when it helps).
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace norvane::tool {

// `out` is flushed before the status is returned; when it has failed, the
// reason is reported and the status is 1. `errIsTerminal` lets long
// commands redraw their progress on one line; `inIsTerminal` says that a
// person types standard input, at a terminal the program reads itself.
int RunTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err, bool errIsTerminal = false, bool inIsTerminal = false);

}  // namespace norvane::tool
