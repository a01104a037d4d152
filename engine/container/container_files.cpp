// File operations of the container: handles, reads and writes page by page,
// size changes and deletion. Pages leaving a file are freed only after the
// directory record stops naming them (see TUserFilePageMapManager).
#include <algorithm>
#include <cstring>

#include "engine/common/engine_error.h"
#include "engine/common/whole_numbers.h"
#include "engine/container/page_owners.h"
#include "engine/container/single_file_system.h"
#include "engine/platform/file_time.h"

namespace norvane {

namespace {
constexpr int32_t kNoHandle = -6;
constexpr int32_t kCannotReplace = -16;
const std::string kNoKey;

// The most bytes of pages moved by one transfer of the page layer.
constexpr int64_t kRunBytes = 1 << 20;

// How many pages from pages[at] on lie one after another in the container,
// at most `most`: such a run moves with one transfer.
size_t RunLength(const std::vector<int32_t>& pages, size_t at, int64_t most) {
  size_t n = 1;
  while (static_cast<int64_t>(n) < most && at + n < pages.size() &&
         pages[at + n] == pages[at] + static_cast<int32_t>(n))
    ++n;
  return n;
}

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
  if (!ownersChecked_) {
    RequireSoleOwners(std::string("TESingleFileSystem.") + operation, *dir_, *space_, *maps_,
                      pages_->PageCount());
    ownersChecked_ = true;
  }
}

// The key of a file's pages: its own, or the container's (an empty key
// string selects the container key in the page layer).
const std::string& TESingleFileSystem::KeyFor(const TFileRec& rec, const THandle& handle) const {
  return rec.HasPassword ? handle.Key.Str() : kNoKey;
}

int32_t TESingleFileSystem::PageHolding(const TFileRec& rec, int64_t position) {
  std::vector<int32_t> pages;
  TFileRec lookup = rec;
  maps_->GetPageRange(lookup, false, pages, 1, position);
  return pages.empty() ? -1 : pages[0];
}

// A wrong file password slips past the CRC-16 of the file's password block
// about once in 65536 tries; its key would read garbage and write pages the
// right key cannot read. The bytes of the last data page beyond the size are
// known plaintext: every write, growth and cut leaves them zero, so the right
// key deciphers them to zeros and a wrong one to noise. An empty file, a
// size that fills its last page, or a last page still stored as plain zeros
// (grown, never written) holds no such bytes under the key: nothing to check.
bool TESingleFileSystem::KeyReadsFile(const TFileRec& rec, const TSecret& key) {
  const int64_t p = pages_->PayloadSize();
  const int64_t used = rec.Size % p;
  if (rec.FirstMapPageNo == -1 || used == 0) return true;
  const int32_t last = PageHolding(rec, rec.Size - 1);
  TPageRecord page;
  page.Data = page_.data();
  // A page that cannot be read is damage, which reading the file reports.
  if (last < 0 || !pages_->ReadPage(page, last, false, key.Str(), -1)) return true;
  return std::all_of(page_.begin() + used, page_.end(), [](uint8_t b) { return b == 0; });
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
  const int32_t existing = dir_->FindPath(path);
  if (existing >= 0) {
    if (!dir_->MayReplace(path, existing)) return -1;
    if (!DeleteFile(path)) return kCannotReplace;
  }
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
    // A name refused because it clashes with another item of its folder
    // reaches an item that is not the one asked for: nothing is opened.
    const int32_t existing = dir_->FindPath(path);
    if (existing >= 0 && !dir_->MayReplace(path, existing)) return -1;
    CreateFile(path, password, question, answer);
  }
  TSecret key;
  if (!dir_->CheckItemPassword(path, password, key)) return -1;
  // Checked before the open touches the record: a refused key writes nothing.
  if (!key.Empty() && !KeyReadsFile(dir_->ReadItem(dir_->FindPath(path)), key)) return -1;
  const int32_t index = dir_->OpenItem(path);
  if (index < 0) return -1;
  const int32_t handle = nextHandle_++;
  handles_[handle] = THandle{index, 0, mode, std::move(key)};
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
  const int64_t most = std::max<int64_t>(1, kRunBytes / pages_->PageSize());
  int64_t done = 0;
  for (size_t i = 0; i < pages.size() && done < length;) {
    const size_t run = RunLength(pages, i, most);
    const int64_t skip = (h->Position + done) % p;
    const int64_t want = std::min(static_cast<int64_t>(run) * p - skip, length - done);
    const int64_t got = pages_->ReadPayloadRun(pages[i], static_cast<int32_t>(run), KeyFor(rec, *h),
                                               skip, want, static_cast<uint8_t*>(buffer) + done);
    done += got;
    if (got < want) {
      lastError_ = pages_->LastError();
      break;
    }
    i += run;
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
  TPageHeader header;
  header.PageType = ptFileData;
  header.EncryptionType = rec.HasPassword ? 1 : pages_->Header().EncryptionType();
  const int64_t most = std::max<int64_t>(1, kRunBytes / pages_->PageSize());
  const int64_t firstIndex = h->Position / p;
  const auto* source = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  for (size_t i = 0; i < pages.size() && done < length;) {
    const int64_t offset = (h->Position + done) % p;
    const int64_t chunk = std::min(p - offset, length - done);
    size_t run = 1;
    const uint8_t* payloads = page_.data();
    if (chunk == p) {
      // Whole pages need nothing of their old content: they go from the
      // caller's buffer, as many at once as lie one after another.
      run = RunLength(pages, i, std::min(most, (length - done) / p));
      payloads = source + done;
    } else {
      // A page new to the file holds zeros; any other keeps the bytes around
      // the part written.
      const bool fresh = firstIndex + static_cast<int64_t>(i) >= hadPages;
      TPageRecord page;
      page.Data = page_.data();
      if (fresh) {
        std::fill(page_.begin(), page_.end(), 0);
      } else if (!pages_->ReadPage(page, pages[i], false, KeyFor(rec, *h), -1)) {
        lastError_ = pages_->LastError();
        break;
      }
      std::memcpy(page_.data() + offset, source + done, static_cast<size_t>(chunk));
    }
    const int32_t stored = pages_->WritePageRun(header, pages[i], static_cast<int32_t>(run),
                                                KeyFor(rec, *h), payloads);
    done += stored * chunk;  // chunk is p whenever run > 1
    if (stored < static_cast<int32_t>(run)) {
      lastError_ = pages_->LastError();
      break;
    }
    i += run;
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
  const int32_t pageNo = PageHolding(rec, size);
  if (pageNo < 0) return;
  TPageRecord page;
  page.Data = page_.data();
  if (!pages_->ReadPage(page, pageNo, false, KeyFor(rec, handle), -1))
    throw EEngineError("TESingleFileSystem.FileSetSize - can not load page, pageNo = " +
                       std::to_string(pageNo));
  std::fill(page_.begin() + size % p, page_.end(), 0);
  if (!pages_->WritePage(page, pageNo, KeyFor(rec, handle), -1))
    throw EEngineError("TESingleFileSystem.FileSetSize - can not save page, pageNo = " +
                       std::to_string(pageNo));
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
