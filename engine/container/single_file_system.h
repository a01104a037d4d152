// The container object: one catalogue file holding named files and folders.
// It creates or opens the file through the page layer and ties the layers
// above it together; file and folder operations join it layer by layer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/container/page_file_manager.h"

namespace norvane {

class TESingleFileSystem;
using TContainerProgressEvent = std::function<void(TESingleFileSystem& sender, bool& cancel,
                                                   double percent)>;
using TContainerNoSpaceEvent = std::function<void(TESingleFileSystem& sender)>;

class TESingleFileSystem {
 public:
  // Creates (mode 0xFFFF) or opens the container. A container held in memory
  // whose file exists is loaded rather than replaced. Opening checks the
  // password first: "TESingleFileSystem.Create - invalid password specified,
  // file name = "<name>"". `reserved` is accepted and not used.
  TESingleFileSystem(const std::string& fileName, int32_t extentPageCount, int32_t pageSizeKB,
                     int32_t reserved, const std::string& answer, const std::string& question,
                     const std::string& password, bool inMemory, uint16_t mode,
                     const TPartOptions& parts = {});
  // Flushes the part files; failures cannot be reported from here, so callers
  // that must know call Flush first.
  ~TESingleFileSystem();

  bool IsEncrypted() const { return pages_->IsEncrypted(); }
  void Flush() { pages_->Flush(); }

  TPageFileManager& PageFile() { return *pages_; }
  const TPageFileManager& PageFile() const { return *pages_; }
  const std::string& FileName() const { return fileName_; }
  uint16_t Mode() const { return mode_; }
  bool ReadOnly() const { return readOnly_; }
  bool Exclusive() const { return exclusive_; }
  bool InMemory() const { return inMemory_; }
  int32_t LastError() const { return lastError_; }

  TContainerProgressEvent OnProgress;
  TContainerNoSpaceEvent OnNoSpace;

 private:
  std::string fileName_;
  std::string password_;
  uint16_t mode_;
  bool inMemory_;
  bool readOnly_ = false;
  bool exclusive_ = false;
  int32_t lastError_ = 0;
  std::unique_ptr<TPageFileManager> pages_;
};

// Whether `password` opens the container file (true for a container without
// a password). Opening errors are thrown.
bool CheckPassword(const std::string& fileName, const std::string& password,
                   const TPartOptions& parts = {});
// Whether the container file is encrypted; false when it does not exist.
bool IsEncryptedFile(const std::string& fileName, const TPartOptions& parts = {});

}  // namespace norvane
