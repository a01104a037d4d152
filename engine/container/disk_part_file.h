// A part kept in a disk file. Read-only parts open for reading; others for
// reading and writing. Exclusive parts are shared with nobody, others with
// readers and writers (see TSystemFile for how other processes are kept out).
#pragma once

#include "engine/container/part_file.h"
#include "engine/platform/system_file.h"

namespace norvane {

class TESFSDiskFile : public TESFSAbstractFile {
 public:
  using TESFSAbstractFile::TESFSAbstractFile;
  ~TESFSDiskFile() override;

  void SetExclusive(bool on) override;
  void SetReadOnly(bool on) override;
  void Open(bool create) override;
  void Close() override;  // flushes first
  void Flush() override;
  int64_t Read(void* buffer, int64_t n) override;
  int64_t Write(const void* buffer, int64_t n) override;
  int64_t Seek(int64_t offset, int origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override;

 private:
  void Reopen();
  TSystemFile file_;
};

}  // namespace norvane
