// Creating, opening and closing a container, and the probes that look at a
// container file without keeping it open.
#include "engine/container/single_file_system.h"

#include <exception>

#include "engine/common/engine_error.h"
#include "engine/platform/file_system.h"

namespace norvane {

namespace {

constexpr int32_t kProbeExtentPages = 16;
constexpr int32_t kProbePageSizeKB = 4;

std::string QuotedName(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + "\"";
}

TPageFileManager OpenProbe(const std::string& fileName, const std::string& password,
                           const TPartOptions& parts) {
  return TPageFileManager(fileName, kProbeExtentPages, kProbePageSizeKB, false, "", "", password,
                          kModeReadOnlyProbe, parts);
}

}  // namespace

TESingleFileSystem::TESingleFileSystem(const std::string& fileName, int32_t extentPageCount,
                                       int32_t pageSizeKB, int32_t reserved,
                                       const std::string& answer, const std::string& question,
                                       const std::string& password, bool inMemory, uint16_t mode,
                                       const TPartOptions& parts)
    : fileName_(fileName), password_(password), mode_(mode), inMemory_(inMemory), parts_(parts) {
  (void)reserved;
  if (inMemory_ && ModeIsCreate(mode_) && norvane::FileExists(fileName_)) mode_ = kModeReadWriteReopen;
  OpenLayers(extentPageCount, pageSizeKB, answer, question);
  if (!IsEncrypted()) password_.Wipe();
}

void TESingleFileSystem::OpenLayers(int32_t extentPageCount, int32_t pageSizeKB,
                                    const std::string& answer, const std::string& question) {
  pages_ = std::make_unique<TPageFileManager>(fileName_, extentPageCount, pageSizeKB, inMemory_,
                                              answer, question, password_.Str(), mode_, parts_);
  // The page layer's open makes the slow password check; a separate probe
  // before it would make every open pay for that check twice.
  if (pages_->IsEncrypted() &&
      (!pages_->KeyIsValid() || !TDIRManager::KeyReadsDirectory(*pages_))) {
    pages_.reset();
    throw EEngineError("TESingleFileSystem.Create - invalid password specified, file name = " +
                       QuotedName(fileName_));
  }
  space_ = std::make_unique<TFreeSpaceManager>(*pages_);
  dir_ = std::make_unique<TDIRManager>(*pages_, *space_);
  maps_ = std::make_unique<TUserFilePageMapManager>(*pages_, *space_);
  page_.assign(static_cast<size_t>(pages_->PayloadSize()), 0);
  ownersChecked_ = false;
  readOnly_ = pages_->ReadOnly();
  exclusive_ = pages_->Exclusive();
  closedWhy_ = nullptr;
}

void TESingleFileSystem::CloseLayers(const char* why) {
  closedWhy_ = why;
  handles_.clear();
  maps_.reset();
  dir_.reset();
  space_.reset();
  pages_.reset();
}

void TESingleFileSystem::Close() {
  if (!IsOpen()) return;
  // The owner is done with the container whether or not the flush works.
  std::exception_ptr failure;
  try {
    pages_->Flush();
  } catch (const EEngineError&) {
    failure = std::current_exception();
  }
  CloseLayers("The container is closed.");
  if (failure) std::rethrow_exception(failure);
}

bool TESingleFileSystem::PasswordOpens(const std::string& password) const {
  RequireOpen("PasswordOpens");
  return pages_->PasswordOpens(password);
}

TESingleFileSystem::~TESingleFileSystem() {
  handles_.clear();
  if (!pages_) return;
  try {
    pages_->Flush();
  } catch (const EEngineError&) {
    // See the declaration: a caller that must know flushes first.
  }
}

bool CheckPassword(const std::string& fileName, const std::string& password,
                   const TPartOptions& parts) {
  const TPageFileManager probe = OpenProbe(fileName, password, parts);
  return !probe.IsEncrypted() || probe.KeyIsValid();
}

bool IsEncryptedFile(const std::string& fileName, const TPartOptions& parts) {
  if (!FileExists(fileName)) return false;
  return OpenProbe(fileName, "", parts).IsEncrypted();
}

}  // namespace norvane
