// norvane-db recover DAMAGED NEW: salvages what can be read from a damaged
// catalogue into a new one. The log (one line a file) goes to standard
// output, its last line the summary; exit status 0 only when every file
// found came back whole. DAMAGED is only read; NEW must not exist yet.
#include "engine/container/container_salvage.h"
#include "engine/platform/file_system.h"
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/open_container.h"
#include "tools/norvane-db/progress_line.h"

namespace norvane::tool {

namespace {

int RunRecover(const TCommandLine& line, TToolOutput& output) {
  // A slip of the keyboard must not replace another catalogue.
  if (FileExists(line.Positional[1]))
    FailCommand("The file " + line.Positional[1] + " exists already; recover makes a new one.");
  // No writer may change DAMAGED while it is copied.
  const auto hold = HoldForReading(line.Positional[0], line);
  TProgressLine progress(output, "recovering");
  const TSalvageReport report =
      SalvageContainer(line.Positional[0], line.Positional[1], PasswordOf(line),
                       [&](bool&, double percent) { progress.Show(percent); });
  progress.Finish();
  // The log ends with the summary.
  for (const std::string& entry : report.Log) output.Line(ShownPath(entry));
  return report.Partial == 0 && report.Lost == 0 && !report.Cancelled ? 0 : 1;
}

}  // namespace

const TCommand kRecoverCommand{
    "recover", "DAMAGED NEW", "copy what can be read from a damaged file into a new one", 2,
    2,         RunRecover};

}  // namespace norvane::tool
