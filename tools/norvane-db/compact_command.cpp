// norvane-db compact FILE: rebuilds the container without its free pages and
// deleted records, showing progress on standard error and the log and the
// sizes before and after on standard output. It refuses to start without room
// for the new container, and names the bytes it could not read.
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

constexpr int64_t kMB = 1024 * 1024;

// Refuses, before anything is written, a compaction the disk beside the
// catalogue has no room for: the new catalogue is built next to the old one.
void RequireRoomFor(const TESingleFileSystem& container, const std::string& file) {
  const int64_t needed = container.RepairSpaceNeeded();
  const int64_t free = container.PageFile().FreeDiskSpace();
  // Unknown free space (-1) is left to the engine, which refuses it too.
  if (free < 0 || free >= needed) return;
  FailCommand("compact needs about " + std::to_string((needed + kMB - 1) / kMB) +
              " MB free beside " + file + "; only " + std::to_string(free / kMB) +
              " MB are free.");
}

// The last line after a repair that lost data: which bytes of which files
// still fail to read, and where the catalogue as it was is kept.
std::string LostDataLine(const TESingleFileSystem& container) {
  std::string files;
  for (const TUnreadableFile& damage : container.RepairDamage()) {
    if (!files.empty()) files += "; ";
    files += ShownPath(damage.Path) +
             (damage.Ranges.empty() ? std::string(" was left out")
                                    : " bytes " + RangesText(damage.Ranges) + " cannot be read");
  }
  std::string text = "Some data could not be copied" +
                     (files.empty() ? std::string(" (see the log above)") : ": " + files);
  if (!container.RepairBackup().empty())
    text += "; the catalogue as it was is kept as " + container.RepairBackup();
  return text + ".";
}

int RunCompact(const TCommandLine& line, TToolOutput& output) {
  const auto container = OpenContainer(line.Positional[0], TOpenFor::Alone, line);
  RequireRoomFor(*container, line.Positional[0]);
  const int64_t before = container->PageFile().Stream().PhysicalSize();
  TProgressLine progress(output, "compacting");
  container->OnProgress = [&](TESingleFileSystem&, bool&, double percent) {
    progress.Show(percent);
  };
  std::string log;
  const bool ok = container->RepairFile(log, false, "", "", "", false);
  progress.Finish();
  // The engine writes item paths with "\"; the tool shows them with "/".
  std::string text = ShownPath(LinuxLines(log));
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
  if (container->RepairLostData()) FailCommand(LostDataLine(*container));
  return 0;
}

}  // namespace

const TCommand kCompactCommand{"compact", "FILE",
                               "rebuild the file without free pages, with progress", 1, 1,
                               RunCompact};

}  // namespace norvane::tool
