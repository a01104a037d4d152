// The memory disk under the fuzz targets: one byte vector per part file name,
// and the part class the container reads and writes them through.
#include "fuzz/input_disk.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "engine/common/engine_error.h"
#include "engine/container/memory_part_file.h"
#include "engine/container/part_header.h"

namespace norvane::fuzz {

namespace {

constexpr size_t kPartMagicSize = 8;

using TFiles = std::map<std::string, std::vector<uint8_t>>;

// A part file on the memory disk. Opening a missing name throws, as opening a
// missing disk file does; a read-only part takes no writes.
class TDiskPart : public TESFSAbstractFile {
 public:
  TDiskPart(const std::string& name, bool exclusive, bool readOnly, TFiles& files)
      : TESFSAbstractFile(name, exclusive, readOnly), files_(files) {}

  void Open(bool create) override {
    if (create && ReadOnly()) throw EEngineError("TDiskPart.Open - the disk is read-only.");
    if (create) files_[FileName()].clear();
    auto found = files_.find(FileName());
    if (found == files_.end()) throw EEngineError("TDiskPart.Open - no file " + FileName());
    bytes_ = &found->second;
    position_ = 0;
  }
  void Close() override { bytes_ = nullptr; }
  void Flush() override {}
  int64_t Read(void* buffer, int64_t n) override {
    if (bytes_ == nullptr || n <= 0 || position_ >= Size()) return 0;
    const int64_t count = std::min(n, Size() - position_);
    std::memcpy(buffer, bytes_->data() + position_, static_cast<size_t>(count));
    position_ += count;
    return count;
  }
  int64_t Write(const void* buffer, int64_t n) override {
    if (bytes_ == nullptr || ReadOnly() || n <= 0) return 0;
    if (position_ + n > Size()) bytes_->resize(static_cast<size_t>(position_ + n), 0);
    std::memcpy(bytes_->data() + position_, buffer, static_cast<size_t>(n));
    position_ += n;
    return n;
  }
  int64_t Seek(int64_t offset, int origin) override {
    const int64_t base = origin == 0 ? 0 : origin == 1 ? position_ : Size();
    if (offset >= -base) position_ = base + offset;
    return position_;
  }
  void SetSize(int64_t size) override {
    if (bytes_ == nullptr || ReadOnly() || size < 0)
      throw EEngineError("TDiskPart.SetSize - the part cannot be changed.");
    bytes_->resize(static_cast<size_t>(size), 0);
  }
  int64_t Size() override { return bytes_ == nullptr ? 0 : static_cast<int64_t>(bytes_->size()); }

 private:
  TFiles& files_;
  std::vector<uint8_t>* bytes_ = nullptr;
  int64_t position_ = 0;
};

}  // namespace

TInputDisk::TInputDisk(const uint8_t* data, size_t size) {
  std::vector<size_t> starts;
  for (size_t i = 0; i + kPartMagicSize <= size; ++i)
    if (std::memcmp(data + i, kPartMagic, kPartMagicSize) == 0) starts.push_back(i);
  size_t from = 0;
  for (size_t k = 0; k < std::max<size_t>(starts.size(), 1); ++k) {
    const size_t to = k + 1 < starts.size() ? starts[k + 1] : size;
    const std::string name = k == 0 ? kInputName : kInputName + std::to_string(k);
    files_[name].assign(data + from, data + to);
    from = to;
  }
}

TPartOptions TInputDisk::Parts() {
  TPartOptions options;
  options.Factory = [this](const std::string& name, bool inMemory, bool exclusive,
                           bool readOnly) -> std::unique_ptr<TESFSAbstractFile> {
    if (inMemory) return std::make_unique<TESFSMemoryFile>(name, exclusive, readOnly);
    return std::make_unique<TDiskPart>(name, exclusive, readOnly, files_);
  };
  return options;
}

}  // namespace norvane::fuzz
