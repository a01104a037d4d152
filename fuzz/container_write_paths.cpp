// The write paths over input bytes: the script decoded from the input's tail,
// the steps applied through TESingleFileSystem, the checker before and after.
#include "fuzz/container_write_paths.h"

#include <array>
#include <cstring>
#include <limits>
#include <memory>

#include "engine/common/engine_error.h"
#include "engine/container/container_check.h"
#include "engine/container/single_file_system.h"
#include "fuzz/checksum_fixup.h"
#include "fuzz/container_read_paths.h"
#include "fuzz/input_disk.h"

namespace norvane::fuzz {

namespace {

using TScript = std::array<uint8_t, kScriptBytes>;

// Sizes a step may use: empty, one byte, around one and two data pages, a few
// pages, a whole extent and more, and one more data page than a map page lists.
constexpr int64_t kPayload = 4064;
constexpr std::array<int64_t, 8> kSizes{0,    1,         kPayload, kPayload + 1,
                                        9000, 70000,     300,      1016 * kPayload + 1};

enum TStep : uint8_t { stPut, stDelete, stRename, stGrow, stShrink, stOverwrite, stStepCount };

// The files and folders of the container when a step starts.
struct TItems {
  std::vector<std::string> Files;
  std::vector<std::string> Folders{""};  // "" is the root
};

TItems ListItems(TESingleFileSystem& container) {
  TItems items;
  VisitItems(container, [&items](const std::string& path, bool folder) {
    (folder ? items.Folders : items.Files).push_back(path);
  });
  return items;
}

// Bytes that differ from file to file and from step to step, so a page that
// lands in the wrong place shows in the checker's view of the data.
std::vector<uint8_t> Pattern(int64_t length, uint8_t seed) {
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31 + seed);
  return bytes;
}

void WriteAt(TESingleFileSystem& container, const std::string& path, int64_t position,
             int64_t length, uint8_t seed) {
  const int32_t handle = container.OpenFile(path, kModeAccessReadWrite);
  if (handle < 0) return;
  const std::vector<uint8_t> bytes = Pattern(length, seed);
  container.FileSeek(handle, 0, position);
  container.FileWrite(handle, bytes.data(), length);
  container.CloseFile(handle);
}

void SetSize(TESingleFileSystem& container, const std::string& path, int64_t size) {
  const int32_t handle = container.OpenFile(path, kModeAccessReadWrite);
  if (handle < 0) return;
  container.FileSetSize(handle, size);
  container.CloseFile(handle);
}

// One step: `op` picks the operation, `arg` its target (low five bits) and
// its size (high three bits).
void RunStep(TESingleFileSystem& container, uint8_t op, uint8_t arg, size_t stepNo) {
  const TItems items = ListItems(container);
  const int64_t size = kSizes[arg >> 5];
  const std::string folder = items.Folders[arg % items.Folders.size()];
  const std::string fresh = folder + "\\step" + std::to_string(stepNo);
  if (op % stStepCount == stPut) {
    const int32_t handle = container.OpenFile(fresh, kModeCreate);
    if (handle < 0) return;
    const std::vector<uint8_t> bytes = Pattern(size, op);
    container.FileWrite(handle, bytes.data(), size);
    container.CloseFile(handle);
    return;
  }
  if (items.Files.empty()) return;
  const std::string file = items.Files[arg % items.Files.size()];
  const int64_t had = container.FileSize(file);
  // Eighths of the size, for positions and smaller sizes that cannot overflow.
  const int64_t eighth = had / 8;
  switch (op % stStepCount) {
    case stDelete:
      container.DeleteFile(file);
      break;
    case stRename:
      // The high bit of op renames onto an existing file, which must be refused.
      container.RenameFile(file, (op & 0x80) != 0 ? items.Files.front() : fresh);
      break;
    case stGrow:
      if (had > std::numeric_limits<int64_t>::max() - size) break;
      if ((op & 0x80) != 0)
        SetSize(container, file, had + size);
      else
        WriteAt(container, file, had, size, op);
      break;
    case stShrink:
      SetSize(container, file, eighth * (arg >> 5));
      break;
    case stOverwrite:
      WriteAt(container, file, eighth * (op >> 5), size, op);
      break;
  }
}

std::vector<std::string> CheckLines(const TPartOptions& parts) {
  std::vector<std::string> lines;
  try {
    // Warnings (names that clash only under this locale) are no damage.
    for (const TCheckProblem& problem : CheckContainer(kInputName, parts))
      if (!problem.Warning) lines.push_back(FormatCheckProblem(problem));
  } catch (const EEngineError& e) {
    lines.push_back(std::string("the checker cannot open it: ") + e.what());
  }
  return lines;
}

TWriteOutcome RunScript(const uint8_t* data, size_t size, const TScript& script) {
  TInputDisk disk(data, size);
  const TPartOptions parts = disk.Parts();
  TWriteOutcome outcome;
  outcome.ProblemsBefore = CheckLines(parts).size();
  try {
    TESingleFileSystem container(kInputName, 16, 4, 0, "", "", "", false, kModeAccessReadWrite, parts);
    for (size_t step = 0; step < script.size() / 2; ++step)
      RunStep(container, script[2 * step], script[2 * step + 1], step);
    container.Flush();
  } catch (const EEngineError& e) {
    outcome.EngineError = e.what();
  }
  outcome.ProblemsAfter = CheckLines(parts);
  return outcome;
}

TScript ScriptOf(const uint8_t* data, size_t size) {
  TScript script{};
  const size_t n = std::min(size, kScriptBytes);
  if (n > 0) std::memcpy(script.data() + (kScriptBytes - n), data + size - n, n);
  return script;
}

}  // namespace

TWriteOutcome RunContainerWritePaths(const uint8_t* data, size_t size) {
  return RunScript(data, size, ScriptOf(data, size));
}

std::vector<TWriteOutcome> RunWriteInput(const uint8_t* data, size_t size) {
  const TScript script = ScriptOf(data, size);
  std::vector<TWriteOutcome> outcomes{RunScript(data, size, script)};
  std::vector<uint8_t> fixed(data, data + size);
  FixChecksums(fixed);
  if (size > 0 && std::memcmp(fixed.data(), data, size) != 0)
    outcomes.push_back(RunScript(fixed.data(), fixed.size(), script));
  return outcomes;
}

}  // namespace norvane::fuzz
