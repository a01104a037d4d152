// A store file that is a file inside a container, reached through a
// container handle.
#pragma once

#include "engine/container/abstract_file.h"

namespace norvane {

class TESingleFileSystem;

class TESFSFile : public TAbstractFile {
 public:
  TESFSFile(TAbstractPlainFileSystem* owner, TESingleFileSystem& container, std::string name,
            bool exclusive, bool readOnly)
      : TAbstractFile(owner, std::move(name), exclusive, readOnly, false), container_(container) {}
  ~TESFSFile() override;

  void Open(bool create) override;
  // Flushes, then gives the container handle back; the handle is given back
  // even when the flush throws, and the flush's exception then passes on.
  void Close() override;
  void Flush() override;
  int32_t Read(void* buffer, int32_t n) override;
  int32_t Write(const void* buffer, int32_t n) override;
  int32_t Seek(int32_t offset, int origin) override;
  // Throws when the container cannot give the file that size.
  void SetSize(int32_t size) override;

 private:
  TESingleFileSystem& container_;
  int32_t handle_ = -1;
};

}  // namespace norvane
