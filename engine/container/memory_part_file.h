// A part held in a growable memory buffer, for containers opened in memory.
// Its content outlives Close only through the stream that keeps the object.
#pragma once

#include <vector>

#include "engine/container/part_file.h"

namespace norvane {

class TESFSMemoryFile : public TESFSAbstractFile {
 public:
  using TESFSAbstractFile::TESFSAbstractFile;

  // Only creation is possible: "TESFSMemoryFile.Open - File cannot be open,
  // only creation is available."
  void Open(bool create) override;
  void Close() override;  // frees the buffer
  void Flush() override {}
  int64_t Read(void* buffer, int64_t n) override;
  int64_t Write(const void* buffer, int64_t n) override;
  int64_t Seek(int64_t offset, int origin) override;
  void SetSize(int64_t size) override;  // growth is zero-filled
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }

 private:
  void Resize(int64_t size);  // zero-fills growth, keeps the position

  std::vector<uint8_t> data_;
  int64_t position_ = 0;
};

}  // namespace norvane
