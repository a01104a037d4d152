// norvane-db check FILE: the consistency checker over a container, one line a
// problem or warning and a closing "ok" or "N problems"; exit status 0 only
// when no problem (warnings aside) was found.
// It opens the file read-only, so it works on files other commands refuse.
#include "engine/container/container_check.h"
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/open_container.h"
#include "tools/norvane-db/plain_messages.h"

namespace norvane::tool {

namespace {

int RunCheck(const TCommandLine& line, TToolOutput& output) {
  const std::vector<TCheckProblem> problems =
      CheckContainer(line.Positional[0], {}, PasswordOf(line));
  // The checker cannot tell a wrong password from none; the tool can.
  if (!problems.empty() &&
      problems.back().What.find("no password given opens it") != std::string::npos)
    output.ErrorLine(PasswordLine(line.Positional[0], PasswordOf(line)));
  // The checker writes item paths with "\"; the tool shows them with "/".
  for (const TCheckProblem& problem : problems) output.Line(ShownPath(FormatCheckProblem(problem)));
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
