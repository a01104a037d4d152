// A store file kept as an ordinary file on disk (disk and temporary stores).
// A temporary file is deleted when it is closed.
#pragma once

#include "engine/container/abstract_file.h"
#include "engine/platform/system_file.h"

namespace norvane {

class TDiskFile : public TAbstractFile {
 public:
  using TAbstractFile::TAbstractFile;
  ~TDiskFile() override { Close(); }

  void Open(bool create) override;
  void Close() override;
  void Flush() override;
  int32_t Read(void* buffer, int32_t n) override;
  int32_t Write(const void* buffer, int32_t n) override;
  int32_t Seek(int32_t offset, int origin) override;
  void SetSize(int32_t size) override;

 private:
  TSystemFile file_;
};

}  // namespace norvane
