// The read paths over input bytes. The bytes never touch the disk: the
// memory disk of input_disk.h serves them as the container's part files.
#include "fuzz/container_read_paths.h"

#include <cstring>
#include <memory>
#include <vector>

#include "engine/common/engine_error.h"
#include "engine/container/container_check.h"
#include "engine/container/single_file_system.h"
#include "fuzz/checksum_fixup.h"
#include "fuzz/input_disk.h"

namespace norvane::fuzz {

namespace {

constexpr uint32_t kEveryEntry = faHidden | faSysFile | faVolumeID | faDirectory;
constexpr int64_t kChunk = 65536;

void ReadWhole(TESingleFileSystem& container, const std::string& path) {
  const int32_t handle = container.OpenFile(path, kModeReadOnlyProbe);
  if (handle < 0) return;
  const int64_t size = container.FileSize(path);
  std::vector<uint8_t> chunk(kChunk);
  for (int64_t done = 0; done < size;) {
    const int64_t got = container.FileRead(handle, chunk.data(), std::min(kChunk, size - done));
    if (got <= 0) break;
    done += got;
  }
  container.CloseFile(handle);
}

void ReadEverything(const TPartOptions& parts) {
  TESingleFileSystem container(kInputName, 16, 4, 0, "", "", "", true, kModeReadOnlyProbe, parts);
  VisitItems(container, [&container](const std::string& path, bool folder) {
    if (!folder) ReadWhole(container, path);
  });
}

}  // namespace

void VisitItems(TESingleFileSystem& container,
                const std::function<void(const std::string& path, bool folder)>& visit) {
  std::vector<std::string> folders{""};
  while (!folders.empty()) {
    const std::string folder = folders.back();
    folders.pop_back();
    TSearchRec found;
    for (int32_t rc = container.FindFirst(folder + "\\*", kEveryEntry, found); rc == 0;
         rc = container.FindNext(found)) {
      const std::string path = folder + "\\" + found.Name;
      const bool isFolder = (found.Attr & faDirectory) != 0;
      if (isFolder) folders.push_back(path);
      visit(path, isFolder);
    }
    container.FindClose(found);
  }
}

TReadOutcome RunContainerReadPaths(const uint8_t* data, size_t size) {
  TInputDisk disk(data, size);
  const TPartOptions parts = disk.Parts();
  TReadOutcome outcome;
  try {
    ReadEverything(parts);
  } catch (const EEngineError& e) {
    outcome.EngineError = e.what();
  }
  // The first part always opens here, so the checker has no reason to throw.
  outcome.CheckProblems = CountProblems(CheckContainer(kInputName, parts));
  return outcome;
}

std::vector<TReadOutcome> RunInput(const uint8_t* data, size_t size) {
  std::vector<TReadOutcome> outcomes{RunContainerReadPaths(data, size)};
  std::vector<uint8_t> fixed(data, data + size);
  FixChecksums(fixed);
  if (size > 0 && std::memcmp(fixed.data(), data, size) != 0)
    outcomes.push_back(RunContainerReadPaths(fixed.data(), fixed.size()));
  return outcomes;
}

}  // namespace norvane::fuzz
