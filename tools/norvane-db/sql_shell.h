// The sql command's interactive shell: lines are read with the prompt
// "sql> " ("...> " inside a statement) until an input ends a statement,
// which is then run; a failure is printed and the shell goes on; the end
// of input (Ctrl-D) ends it. Lines come from a reader, so the shell runs
// the same over a terminal and over a test's lines.
#pragma once

#include <functional>
#include <string>

#include "tools/norvane-db/command.h"

namespace norvane::tool {

// Where the shell's lines come from.
class TLineReader {
 public:
  virtual ~TLineReader() = default;
  // Shows `prompt` and reads one line (UTF-8, without its line end); false
  // at the end of input.
  virtual bool ReadLine(const std::string& prompt, std::string& line) = 0;
  // Keeps a line typed for recall.
  virtual void Remember(const std::string& line) = 0;
};

inline constexpr char kShellPrompt[] = "sql> ";
inline constexpr char kShellMorePrompt[] = "...> ";

// Reads inputs from `reader` until its end and hands each complete one
// (engine text, the lines joined by line ends) to `run`. An EEngineError of
// `run` is printed on standard error, after a plain line when the engine's
// text needs one (as for the tool's other failures). Unfinished input at
// the end is not run: a note says so.
void RunShell(TLineReader& reader, const std::function<void(const std::string&)>& run,
              const TCommandLine& line, TToolOutput& output);

}  // namespace norvane::tool
