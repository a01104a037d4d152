// A store file held in memory (memory store). It lives as long as its store;
// it can only be created, never opened from anything.
#pragma once

#include <vector>

#include "engine/container/abstract_file.h"

namespace norvane {

class TMemoryFile : public TAbstractFile {
 public:
  using TAbstractFile::TAbstractFile;

  // Without `create`: "TMemoryFile.Open - File cannot be open, only creation
  // is available."
  void Open(bool create) override;
  void Close() override;
  void Flush() override {}
  int32_t Read(void* buffer, int32_t n) override;
  int32_t Write(const void* buffer, int32_t n) override;
  int32_t Seek(int32_t offset, int origin) override;
  void SetSize(int32_t size) override;

 private:
  std::vector<uint8_t> data_;
  int32_t position_ = 0;

  // Flags of a memory file change without reopening: there is nothing to
  // open it from.
  void Reopen() override {}
};

}  // namespace norvane
