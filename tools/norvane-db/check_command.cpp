// norvane-db check FILE: the consistency checker over a container, one line a
// problem or warning and a closing "ok" or "N problems"; exit status 0 only
// when no problem (warnings aside) was found.
// It opens the file read-only, so it works on files other commands refuse.
// A put temporary file is the tool's own: a note, never a problem.
#include "engine/common/engine_error.h"
#include "engine/container/container_check.h"
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/open_container.h"
#include "tools/norvane-db/plain_messages.h"
#include "tools/norvane-db/temporary_files.h"

namespace norvane::tool {

namespace {

// The put temporary files in FILE, which is held for reading already; none
// when the container does not open (its damage is the checker's to tell).
std::vector<std::string> PutTemporaryFilesIn(const std::string& file, const TCommandLine& line) {
  try {
    return FindPutTemporaryFiles(*OpenContainer(file, TOpenFor::Reading, line));
  } catch (const EEngineError&) {
    return {};
  }
}

int RunCheck(const TCommandLine& line, TToolOutput& output) {
  const auto hold = HoldForReading(line.Positional[0], line);
  const std::vector<TCheckProblem> problems =
      CheckContainer(line.Positional[0], {}, PasswordOf(line));
  // The checker cannot tell a wrong password from none; the tool can.
  const bool locked =
      !problems.empty() &&
      problems.back().What.find("no password given opens it") != std::string::npos;
  if (locked) output.ErrorLine(PasswordLine(line.Positional[0], PasswordOf(line)));
  // The checker writes item paths with "\"; the tool shows them with "/".
  for (const TCheckProblem& problem : problems) output.Line(ShownPath(FormatCheckProblem(problem)));
  // Without a password that opens it the listing would fail too, only after
  // another slow password check.
  if (!locked)
    for (const std::string& path : PutTemporaryFilesIn(line.Positional[0], line))
      output.Line("note: stale temporary file " + ShownPath(path) +
                  " (left by a put that did not finish; the next command that writes removes it)");
  // Warnings are listed but are no damage: they change neither the last
  // line nor the exit status.
  const size_t count = CountProblems(problems);
  if (count == 0) {
    output.Line("ok");
    return 0;
  }
  output.Line(std::to_string(count) + (count == 1 ? " problem" : " problems"));
  return 1;
}

}  // namespace

const TCommand kCheckCommand{"check", "FILE",
                             "check the container read-only and list every problem", 1, 1,
                             RunCheck};

}  // namespace norvane::tool
