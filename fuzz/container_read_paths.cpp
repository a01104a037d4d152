// The read paths over input bytes. The bytes never touch the disk: a part
// factory serves them as the container's part files, split at each later
// part header so that inputs can describe chains of parts too.
#include "fuzz/container_read_paths.h"

#include <cstring>
#include <memory>
#include <vector>

#include "engine/common/engine_error.h"
#include "engine/container/container_check.h"
#include "engine/container/memory_part_file.h"
#include "engine/container/part_header.h"
#include "engine/container/single_file_system.h"
#include "fuzz/checksum_fixup.h"

namespace norvane::fuzz {

namespace {

constexpr char kFileName[] = "input.adb";
constexpr uint32_t kEveryEntry = faHidden | faSysFile | faVolumeID | faDirectory;
constexpr int64_t kChunk = 65536;

// A part that reads a slice of the input and refuses every change.
class TInputPart : public TESFSAbstractFile {
 public:
  TInputPart(const std::string& name, bool exclusive, bool readOnly, const uint8_t* data,
             size_t size)
      : TESFSAbstractFile(name, exclusive, readOnly), data_(data), size_(static_cast<int64_t>(size)) {}

  void Open(bool create) override {
    if (create) throw EEngineError("TInputPart.Open - input parts cannot be created.");
    position_ = 0;
  }
  void Close() override {}
  void Flush() override {}
  int64_t Read(void* buffer, int64_t n) override {
    if (n <= 0 || position_ >= size_) return 0;
    const int64_t count = std::min(n, size_ - position_);
    std::memcpy(buffer, data_ + position_, static_cast<size_t>(count));
    position_ += count;
    return count;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, int origin) override {
    const int64_t base = origin == 0 ? 0 : origin == 1 ? position_ : size_;
    if (base + offset >= 0) position_ = base + offset;
    return position_;
  }
  void SetSize(int64_t) override { throw EEngineError("TInputPart.SetSize - input is read-only."); }
  int64_t Size() override { return size_; }

 private:
  const uint8_t* data_;
  int64_t size_;
  int64_t position_ = 0;
};

struct TSlice {
  const uint8_t* Data;
  size_t Size;
};

// The first part runs up to the second part header in the input, part k from the
// k-th to the next; a container without later headers is one part.
std::vector<TSlice> SplitParts(const uint8_t* data, size_t size) {
  std::vector<size_t> starts;
  for (size_t i = 0; i + 8 <= size; ++i)
    if (std::memcmp(data + i, kPartMagic, 8) == 0) starts.push_back(i);
  std::vector<TSlice> parts;
  size_t from = 0;
  for (size_t k = 1; k < starts.size(); ++k) {
    parts.push_back({data + from, starts[k] - from});
    from = starts[k];
  }
  parts.push_back({data + from, size - from});
  return parts;
}

TPartOptions InputParts(const std::vector<TSlice>& slices) {
  TPartOptions options;
  options.Factory = [&slices](const std::string& name, bool inMemory, bool exclusive,
                              bool readOnly) -> std::unique_ptr<TESFSAbstractFile> {
    if (!inMemory) {
      for (size_t k = 0; k < slices.size(); ++k) {
        const std::string partName = k == 0 ? kFileName : kFileName + std::to_string(k);
        if (name == partName)
          return std::make_unique<TInputPart>(name, exclusive, readOnly, slices[k].Data,
                                              slices[k].Size);
      }
    }
    // Memory copies of loaded parts; for any other name on "disk", a part
    // that cannot be opened, as a missing file.
    return std::make_unique<TESFSMemoryFile>(name, exclusive, readOnly);
  };
  return options;
}

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
  TESingleFileSystem container(kFileName, 16, 4, 0, "", "", "", true, kModeReadOnlyProbe, parts);
  std::vector<std::string> folders{""};
  while (!folders.empty()) {
    const std::string folder = folders.back();
    folders.pop_back();
    TSearchRec found;
    for (int32_t rc = container.FindFirst(folder + "\\*", kEveryEntry, found); rc == 0;
         rc = container.FindNext(found)) {
      const std::string path = folder + "\\" + found.Name;
      if ((found.Attr & faDirectory) != 0)
        folders.push_back(path);
      else
        ReadWhole(container, path);
    }
    container.FindClose(found);
  }
}

}  // namespace

TReadOutcome RunContainerReadPaths(const uint8_t* data, size_t size) {
  const std::vector<TSlice> slices = SplitParts(data, size);
  const TPartOptions parts = InputParts(slices);
  TReadOutcome outcome;
  try {
    ReadEverything(parts);
  } catch (const EEngineError& e) {
    outcome.EngineError = e.what();
  }
  // The first part always opens here, so the checker has no reason to throw.
  outcome.CheckProblems = CheckContainer(kFileName, parts).size();
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
