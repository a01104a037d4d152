// File operations of the container: handles, reads and writes page by page,
// size changes and deletion. Pages leaving a file are freed only after the
// directory record stops naming them (see TUserFilePageMapManager).
#include <algorithm>
#include <cstring>

#include "engine/common/engine_error.h"
#include "engine/common/whole_numbers.h"
#include "engine/container/single_file_system.h"
#include "engine/platform/file_time.h"

namespace norvane {

namespace {
constexpr int32_t kNoHandle = -6;
constexpr int32_t kCannotReplace = -16;
const std::string kNoKey;

[[noreturn]] void Refuse(const char* operation, const char* why) {
  throw EEngineError(std::string("TESingleFileSystem.") + operation + " - " + why);
}
}  // namespace

TESingleFileSystem::THandle* TESingleFileSystem::FindHandle(int32_t handle) {
  auto it = handles_.find(handle);
  return it == handles_.end() ? nullptr : &it->second;
}

void TESingleFileSystem::RequireOpen(const char* operation) const {
  if (!IsOpen()) Refuse(operation, closedWhy_);
}

void TESingleFileSystem::RequireWritable(const char* operation) const {
  RequireOpen(operation);
  if (readOnly_) Refuse(operation, "The container is open for reading only.");
}

// The key of a file's pages: its own, or the container's (an empty key
// string selects the container key in the page layer).
const std::string& TESingleFileSystem::KeyFor(const TFileRec& rec, const THandle& handle) const {
  return rec.HasPassword ? handle.Key : kNoKey;
}

void TESingleFileSystem::RaiseNoSpace() {
  if (OnNoSpace) OnNoSpace(*this);
}

// Writes the record first: once it holds the smaller size, the map chain is
// only read as far as that size, so the last map page can then be cut and
// the pages handed back without any moment at which two owners name a page.
void TESingleFileSystem::Commit(int32_t index, const TFileRec& rec,
                                const std::vector<int32_t>& released) {
  dir_->WriteItem(index, rec);
  if (released.empty()) return;
  if (rec.FirstMapPageNo != -1) maps_->WriteLastMapPage(rec);
  space_->FreePages(released);
}

int32_t TESingleFileSystem::CreateFile(const std::string& path, const std::string& password,
                                       const std::string& question, const std::string& answer) {
  RequireWritable("CreateFile");
  if (dir_->FindPath(path) >= 0 && !DeleteFile(path)) return kCannotReplace;
  const int32_t index = dir_->CreateFileItem(path, password, question, answer);
  if (index < 0) {
    lastError_ = dir_->LastError();
    if (lastError_ == kNoSpace) RaiseNoSpace();
  }
  return index;
}

int32_t TESingleFileSystem::OpenFile(const std::string& path, uint16_t mode,
                                     const std::string& password, const std::string& question,
                                     const std::string& answer) {
  RequireOpen("OpenFile");
  if (ModeIsCreate(mode)) {
    CreateFile(path, password, question, answer);
  } else if (!dir_->CheckItemPassword(path, password)) {
    return -1;
  }
  std::string key;
  const int32_t index = dir_->OpenItem(path, password, key);
  if (index < 0) return -1;
  const int32_t handle = nextHandle_++;
  handles_[handle] = THandle{index, 0, mode, key};
  return handle;
}

void TESingleFileSystem::CloseFile(int32_t handle) {
  THandle* h = FindHandle(handle);
  if (h == nullptr) return;
  dir_->CloseItem(h->Record);
  handles_.erase(handle);
}

int64_t TESingleFileSystem::FileRead(int32_t handle, void* buffer, int64_t length) {
  RequireOpen("FileRead");
  lastError_ = 0;
  THandle* h = FindHandle(handle);
  if (h == nullptr) return 0;
  TFileRec rec = dir_->ReadItem(h->Record);
  length = std::min(length, rec.Size - h->Position);
  if (length <= 0) return 0;
  std::vector<int32_t> pages;
  maps_->GetPageRange(rec, false, pages, length, h->Position);
  if (pages.empty()) throw EEngineError("TESingleFileSystem.FileRead - no pages were found by UFM.");
  const int64_t p = pages_->PayloadSize();
  int64_t done = 0;
  for (int32_t page : pages) {
    const int64_t offset = (h->Position + done) % p;
    const int64_t chunk = std::min(p - offset, length - done);
    TPageRecord rec2;
    rec2.Data = page_.data();
    if (!pages_->ReadPage(rec2, page, false, KeyFor(rec, *h), -1)) {
      lastError_ = pages_->LastError();
      break;
    }
    std::memcpy(static_cast<uint8_t*>(buffer) + done, page_.data() + offset, static_cast<size_t>(chunk));
    done += chunk;
    if (done >= length) break;
  }
  h->Position += done;
  return done;
}

int64_t TESingleFileSystem::FileWrite(int32_t handle, const void* buffer, int64_t length) {
  RequireOpen("FileWrite");
  lastError_ = 0;
  THandle* h = FindHandle(handle);
  if (length <= 0 || h == nullptr) return 0;
  RequireWritable("FileWrite");
  TFileRec rec = dir_->ReadItem(h->Record);
  const int64_t p = pages_->PayloadSize();
  const int64_t hadPages = maps_->DataPageCount(rec);
  std::vector<int32_t> pages;
  if (!maps_->GetPageRange(rec, true, pages, length, h->Position)) {
    if (maps_->LastError() == kNoSpace) RaiseNoSpace();
    lastError_ = maps_->LastError();
    return 0;
  }
  const uint8_t encryption = rec.HasPassword ? 1 : pages_->Header().EncryptionType();
  const int64_t firstIndex = h->Position / p;
  int64_t done = 0;
  for (size_t i = 0; i < pages.size() && done < length; ++i) {
    const int64_t offset = (h->Position + done) % p;
    const int64_t chunk = std::min(p - offset, length - done);
    TPageRecord page;
    page.Data = page_.data();
    // A page new to the file holds zeros, and a page written whole needs
    // nothing of its old content: neither is read first.
    const bool fresh = firstIndex + static_cast<int64_t>(i) >= hadPages;
    if (fresh || chunk == p) {
      std::fill(page_.begin(), page_.end(), 0);
    } else if (!pages_->ReadPage(page, pages[i], false, KeyFor(rec, *h), -1)) {
      lastError_ = pages_->LastError();
      break;
    }
    std::memcpy(page_.data() + offset, static_cast<const uint8_t*>(buffer) + done,
                static_cast<size_t>(chunk));
    page.Header = TPageHeader{};
    page.Header.PageType = ptFileData;
    page.Header.EncryptionType = encryption;
    if (!pages_->WritePage(page, pages[i], KeyFor(rec, *h), -1)) {
      lastError_ = pages_->LastError();
      break;
    }
    done += chunk;
  }
  h->Position += done;
  std::vector<int32_t> released;
  if (h->Position > rec.Size) rec.Size = h->Position;
  const int64_t keep = CeilDiv(rec.Size, p);
  const int64_t have = maps_->DataPageCount(rec);
  if (have > keep) {
    // Pages added for bytes that never arrived hold no zeros: cut them so a
    // later growth adds fresh zero pages instead.
    released = maps_->DeletePagesFromEOF(rec, have - keep);
  }
  rec.LastWriteTime = NowAsFileTime();
  const TFileRec& stored = dir_->ReadItem(h->Record);
  if (released.empty() && stored.Size == rec.Size && stored.LastWriteTime == rec.LastWriteTime &&
      stored.FirstMapPageNo == rec.FirstMapPageNo)
    return done;  // the record would be written unchanged
  Commit(h->Record, rec, released);
  return done;
}

int64_t TESingleFileSystem::FileSeek(int32_t handle, int origin, int64_t offset) {
  RequireOpen("FileSeek");
  THandle* h = FindHandle(handle);
  if (h == nullptr) return 0;
  int64_t base = h->Position;
  if (origin == 0) base = 0;
  if (origin == 2) base = dir_->ReadItem(h->Record).Size;
  // base >= 0, so only a positive offset can overflow: test before adding.
  // Any position that fits is allowed; a write too far for the container
  // to hold fails there with -17.
  if (offset > 0 ? offset > INT64_MAX - base : offset < -base) return -1;
  h->Position = base + offset;
  return h->Position;
}

void TESingleFileSystem::ZeroTail(const TFileRec& rec, const THandle& handle, int64_t size) {
  const int64_t p = pages_->PayloadSize();
  if (size % p == 0) return;
  std::vector<int32_t> pages;
  TFileRec lookup = rec;
  maps_->GetPageRange(lookup, false, pages, 1, size);
  if (pages.empty()) return;
  TPageRecord page;
  page.Data = page_.data();
  if (!pages_->ReadPage(page, pages[0], false, KeyFor(rec, handle), -1))
    throw EEngineError("TESingleFileSystem.FileSetSize - can not load page, pageNo = " +
                       std::to_string(pages[0]));
  std::fill(page_.begin() + size % p, page_.end(), 0);
  if (!pages_->WritePage(page, pages[0], KeyFor(rec, handle), -1))
    throw EEngineError("TESingleFileSystem.FileSetSize - can not save page, pageNo = " +
                       std::to_string(pages[0]));
}

int64_t TESingleFileSystem::FileSetSize(int32_t handle, int64_t size) {
  RequireOpen("FileSetSize");
  THandle* h = FindHandle(handle);
  if (h == nullptr) return kNoHandle;
  RequireWritable("FileSetSize");
  if (size < 0) throw EEngineError("TESingleFileSystem.FileSetSize - Size < 0.");
  TFileRec rec = dir_->ReadItem(h->Record);
  std::vector<int32_t> released;
  if (!maps_->SetFileSize(rec, true, size, released)) {
    if (maps_->LastError() == kNoSpace) RaiseNoSpace();
    lastError_ = maps_->LastError();
    return lastError_;
  }
  // Bytes cut from the last page must read as zeros if the file grows again.
  if (size < rec.Size) ZeroTail(rec, *h, size);
  rec.Size = size;
  rec.LastWriteTime = NowAsFileTime();
  Commit(h->Record, rec, released);
  h->Position = size;
  return size;
}

void TESingleFileSystem::FileFlush(int32_t) {
  RequireOpen("FileFlush");
  pages_->Flush();
}

bool TESingleFileSystem::DeleteFile(const std::string& path) {
  RequireWritable("DeleteFile");
  const int32_t index = dir_->FindPath(path);
  if (index < 0 || dir_->OpenCount(index) > 0) return false;
  TFileRec rec = dir_->ReadItem(index);
  if (rec.IsFolder) return false;
  std::vector<int32_t> released;
  if (rec.FirstMapPageNo != -1) released = maps_->DeletePagesFromEOF(rec, maps_->DataPageCount(rec));
  rec.Deleted = true;
  rec.Size = 0;
  rec.LastAccessTime = NowAsFileTime();
  Commit(index, rec, released);
  return true;
}

int64_t TESingleFileSystem::FileSize(const std::string& path) const {
  RequireOpen("FileSize");
  const int32_t index = dir_->FindPath(path);
  return index >= 0 ? dir_->ReadItem(index).Size : -1;
}

bool TESingleFileSystem::RenameFile(const std::string& oldPath, const std::string& newPath) {
  RequireWritable("RenameFile");
  return dir_->RenameItem(oldPath, newPath);
}

bool TESingleFileSystem::CreateDir(const std::string& path) {
  RequireWritable("CreateDir");
  const bool ok = dir_->CreateDir(path);
  if (!ok && dir_->LastError() == kNoSpace) {
    lastError_ = kNoSpace;
    RaiseNoSpace();
  }
  return ok;
}

bool TESingleFileSystem::ForceDirectories(const std::string& path) {
  RequireWritable("ForceDirectories");
  const bool ok = dir_->ForceDirectories(path);
  if (!ok) {
    lastError_ = dir_->LastError();
    if (lastError_ == kNoSpace) RaiseNoSpace();
  }
  return ok;
}

bool TESingleFileSystem::RemoveDir(const std::string& path) {
  RequireWritable("RemoveDir");
  return dir_->RemoveDir(path);
}

}  // namespace norvane
