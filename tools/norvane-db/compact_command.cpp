// norvane-db compact FILE: rebuilds the container without its free pages and
// deleted records, showing progress on standard error and the log and the
// sizes before and after on standard output.
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/open_container.h"
#include "tools/norvane-db/progress_line.h"

namespace norvane::tool {

namespace {

// The repair log ends its lines with CR LF; here lines end as on Linux.
std::string LinuxLines(std::string text) {
  for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  return text;
}

int RunCompact(const TCommandLine& line, TToolOutput& output) {
  const auto container = OpenContainer(line.Positional[0], TOpenFor::Alone, line);
  const int64_t before = container->PageFile().Stream().PhysicalSize();
  TProgressLine progress(output, "compacting");
  container->OnProgress = [&](TESingleFileSystem&, bool&, double percent) {
    progress.Show(percent);
  };
  std::string log;
  const bool ok = container->RepairFile(log, false, "", "", "", false);
  progress.Finish();
  std::string text = LinuxLines(log);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty()) output.Line(text);
  if (!ok) {
    const int32_t code = container->LastError();
    FailCommand(code != 0 ? "Compaction failed (error " + std::to_string(code) + ")."
                          : std::string("Compaction failed."));
  }
  output.Line("size before: " + std::to_string(before) + " bytes");
  output.Line("size after: " + std::to_string(container->PageFile().Stream().PhysicalSize()) +
              " bytes");
  if (container->RepairLostData()) FailCommand("Some data could not be copied; see the log above.");
  return 0;
}

}  // namespace

const TCommand kCompactCommand{"compact", "FILE",
                               "rebuild the file without free pages, with progress", 1, 1,
                               RunCompact};

}  // namespace norvane::tool
