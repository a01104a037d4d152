// A store file held in memory (memory store). It lives as long as its store;
// it can only be created, never opened from anything.
#pragma once

#include <algorithm>
#include <memory>
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
  // The bytes in blocks of kBlock, allocated as the file grows: a large file
  // is never copied to grow, and its memory is touched once. Bytes past the
  // size in the last block are zero, so that growing shows zeros.
  static constexpr size_t kBlock = size_t{64} << 10;
  std::vector<std::unique_ptr<uint8_t[]>> blocks_;
  size_t size_ = 0;
  int32_t position_ = 0;

  // Makes the file `size` bytes long, new bytes zero.
  void Resize(size_t size);
  // Calls visit(bytes in a block, bytes done before them, their count)
  // for the `n` bytes at `offset`, block by block.
  template <typename TVisit>
  void ForEachPart(size_t offset, size_t n, TVisit visit) {
    for (size_t done = 0; done < n;) {
      const size_t at = offset + done, part = std::min(n - done, kBlock - at % kBlock);
      visit(blocks_[at / kBlock].get() + at % kBlock, done, part);
      done += part;
    }
  }

  // Flags of a memory file change without reopening: there is nothing to
  // open it from.
  void Reopen() override {}
};

}  // namespace norvane
