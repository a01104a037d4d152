// The directory's storage: loading the page chain, adding and rewriting
// records, and resolving paths.
#include "engine/container/dir_manager.h"

#include <algorithm>
#include <set>

#include "engine/container/container_path.h"
#include "engine/container/damage.h"

namespace norvane {

namespace {
constexpr int kRecordSize = TFileRec::kSize;
constexpr int32_t kWholeExtentsAbovePages = 16;
}  // namespace

TDIRManager::TDIRManager(TPageFileManager& pages, TFreeSpaceManager& space)
    : pages_(pages), space_(space) {
  pageBuffer_.assign(static_cast<size_t>(RecordsPerPage()) * kRecordSize, 0);
  Load();
}

int32_t TDIRManager::RecordsPerPage() const { return pages_.PayloadSize() / kRecordSize; }

bool TDIRManager::KeyReadsDirectory(TPageFileManager& pages) {
  const TContainerHeader& header = pages.Header();
  if (header.DirectoryPageCount() == 0 || header.FirstDirectoryPage() < 1) return true;
  const int32_t perPage = pages.PayloadSize() / kRecordSize;
  std::vector<uint8_t> buffer(static_cast<size_t>(perPage) * kRecordSize);
  TPageRecord rec;
  rec.Data = buffer.data();
  // A page that cannot be read at all is damage, which loading reports.
  if (!pages.ReadPage(rec, header.FirstDirectoryPage(), false, "", perPage * kRecordSize))
    return pages.LastError() != peDecipher;
  const int32_t records = std::min(header.DirectoryItemCount(), perPage);
  for (int32_t slot = 0; slot < records; ++slot) {
    TFileRec item;
    if (!DecodeFileRec(buffer.data() + slot * kRecordSize, item)) return false;
    if (!item.Deleted && !IsValidItemName(item.FileName)) return false;
  }
  return true;
}

void TDIRManager::Load() {
  const TContainerHeader& header = pages_.Header();
  const int32_t pageCount = header.DirectoryPageCount();
  const int32_t records = header.DirectoryItemCount();
  const int32_t length = RecordsPerPage() * kRecordSize;
  std::set<int32_t> seen;
  std::vector<TFileRec> loaded;
  int32_t page = header.FirstDirectoryPage();
  for (int32_t i = 0; i < pageCount; ++i) {
    // Page numbers come from the file: each must be a page that can hold
    // directory records, and the chain must not come back on itself.
    if (page < 1 || page >= pages_.PageCount() || space_.IsMapPage(page) ||
        !seen.insert(page).second)
      ReportDamage("TDIRManager.Load", "Invalid page No in directory chain, pageNo = " +
                                           std::to_string(page) + ".");
    TPageRecord rec;
    rec.Data = pageBuffer_.data();
    if (!pages_.ReadPage(rec, page, false, "", length) || rec.Header.PageType != ptDirectory)
      throw EEngineError("TDIRManager.Load - can not load page, pageNo = " + std::to_string(page));
    pageList_.push_back(page);
    for (int32_t slot = 0; slot < RecordsPerPage() && static_cast<int32_t>(loaded.size()) < records;
         ++slot) {
      TFileRec item;
      if (!DecodeFileRec(pageBuffer_.data() + slot * kRecordSize, item))
        ReportDamage("TDIRManager.Load",
                     "directory record " + std::to_string(loaded.size()) + " is damaged.");
      loaded.push_back(std::move(item));
    }
    page = rec.Header.NextPageNo;
  }
  openCounts_.assign(loaded.size(), 0);
  array_.Load(std::move(loaded));
  for (int32_t index = 0; index < array_.Count(); ++index) CheckLoadedRecord(index);
}

// A live record must name a live folder as its parent (through a chain that
// reaches the root), carry a valid name no other item of that folder has
// byte for byte, and a file's first map page and size must be ones the
// container can hold. Nothing here asks the collation for more than the
// index order it was just sorted in: a sound file made under any locale
// opens under every other.
void TDIRManager::CheckLoadedRecord(int32_t index) const {
  const TFileRec& rec = array_.ReadItem(index);
  if (rec.Deleted) return;
  auto damaged = [&](const std::string& what) {
    ReportDamage("TDIRManager.Load",
                 "directory record " + std::to_string(index) + " " + what + ".");
  };
  if (!IsValidItemName(rec.FileName)) damaged("has an invalid name");
  if (rec.ParentID < -1 || rec.ParentID >= Count()) damaged("names a parent outside the directory");
  if (rec.ParentID >= 0 && !IsFolder(rec.ParentID)) damaged("names a parent that is not a folder");
  // Invariant 3: a second item of the same bytes in a folder could never be
  // reached by its path, and enumerating by paths would visit the first
  // one's subtree once for each name, doubling at every such level. Names
  // equal only ignoring case (invariant 4) each reach their own record.
  if (array_.FindChild(rec.ParentID, rec.FileName) != index)
    damaged("has the name of another item in its folder");
  int32_t up = rec.ParentID;
  for (int32_t steps = 0; up >= 0; ++steps) {
    if (steps > Count()) damaged("lies in a cycle of folders");
    up = array_.ReadItem(up).ParentID;
  }
  const int64_t capacity = static_cast<int64_t>(pages_.PageCount()) * pages_.PayloadSize();
  if (rec.IsFolder) {
    if (rec.FirstMapPageNo != -1 || rec.Size != 0) damaged("is a folder with pages");
  } else if (rec.Size < 0 || rec.Size > capacity) {
    damaged("has an impossible size");
  } else if ((rec.FirstMapPageNo == -1) != (rec.Size == 0) ||
             (rec.FirstMapPageNo != -1 &&
              (rec.FirstMapPageNo < 1 || rec.FirstMapPageNo >= pages_.PageCount() ||
               space_.IsMapPage(rec.FirstMapPageNo)))) {
    damaged("names an invalid first map page");
  }
}

bool TDIRManager::IsFolder(int32_t index) const {
  if (index == -1) return true;
  const TFileRec& rec = array_.ReadItem(index);
  return rec.IsFolder && !rec.Deleted;
}

// True when `index` is `ancestor` or lies below it.
bool TDIRManager::IsBelow(int32_t index, int32_t ancestor) const {
  for (int32_t up = index; up >= 0; up = array_.ReadItem(up).ParentID)
    if (up == ancestor) return true;
  return false;
}

void TDIRManager::SavePage(size_t chainIndex, const char* where) {
  const int32_t perPage = RecordsPerPage();
  const int32_t first = static_cast<int32_t>(chainIndex) * perPage;
  std::fill(pageBuffer_.begin(), pageBuffer_.end(), 0);
  for (int32_t i = first; i < first + perPage && i < Count(); ++i)
    EncodeFileRec(array_.ReadItem(i), pageBuffer_.data() + (i - first) * kRecordSize);
  TPageRecord rec;
  rec.Data = pageBuffer_.data();
  rec.Header.PageType = ptDirectory;
  rec.Header.EncryptionType = pages_.Header().EncryptionType();
  rec.Header.NextPageNo = chainIndex + 1 < pageList_.size() ? pageList_[chainIndex + 1] : -1;
  const int32_t page = pageList_[chainIndex];
  if (!pages_.WritePage(rec, page, "", perPage * kRecordSize))
    throw EEngineError(std::string(where) + " - can not save page, pageNo = " + std::to_string(page));
}

int32_t TDIRManager::AddItem(const TFileRec& rec) {
  lastError_ = 0;
  deletedLast_ = -1;  // a name is given
  const int32_t reuse = array_.FirstDeleted();
  if (reuse >= 0) {
    WriteItem(reuse, rec);
    return reuse;
  }
  const int32_t perPage = RecordsPerPage();
  TContainerHeader& header = pages_.Header();
  if (static_cast<int64_t>(pageList_.size()) * perPage == Count()) {
    std::vector<int32_t> got;
    const int32_t hint = pageList_.empty() ? 0 : pageList_.back();
    if (!space_.GetPages(1, hint, got,
                         static_cast<int32_t>(pageList_.size()) > kWholeExtentsAbovePages)) {
      lastError_ = kNoSpace;
      return -1;
    }
    if (pageList_.empty()) {
      header.SetFirstDirectoryPage(got[0]);
    } else {
      // Only the header of the old last page changes: it now leads on.
      const int32_t last = pageList_.back();
      TPageRecord link;
      if (!pages_.ReadPage(link, last, false, "", 0))
        throw EEngineError("TDIRManager.AddItem - can not load last page, pageNo = " +
                           std::to_string(last));
      link.Header.NextPageNo = got[0];
      if (!pages_.WritePage(link, last, "", 0))
        throw EEngineError("TDIRManager.AddItem - can not save last page, pageNo = " +
                           std::to_string(last));
    }
    pageList_.push_back(got[0]);
    header.SetDirectoryPageCount(static_cast<int32_t>(pageList_.size()));
  }
  const int32_t index = array_.Append(rec);
  openCounts_.push_back(0);
  header.SetDirectoryItemCount(Count());
  // The page's other records come from memory, so it is written without
  // being read first.
  SavePage(static_cast<size_t>(index / perPage), "TDIRManager.AddItem");
  pages_.SaveHeader();
  return index;
}

void TDIRManager::WriteItem(int32_t index, const TFileRec& rec) {
  const bool deletes = rec.Deleted && !array_.ReadItem(index).Deleted;
  array_.UpdateItem(index, rec);
  if (rec.Deleted) openCounts_[static_cast<size_t>(index)] = 0;
  // Invariant 4: until the next name is given, the deleted name may be
  // given again.
  if (deletes) deletedLast_ = index;
  SavePage(static_cast<size_t>(index / RecordsPerPage()), "TDIRManager.WriteItem");
}

int32_t TDIRManager::FindPath(const std::string& path, int32_t start) const {
  if (path.empty() || start < -1 || start >= Count() || !IsFolder(start)) return kPathNotFound;
  int32_t current = start;
  size_t pos = 0;
  if (IsPathSeparator(path[0])) {
    current = -1;
    pos = 1;
  }
  std::string trimmed = path;
  if (trimmed.size() > 1 && IsPathSeparator(trimmed.back())) trimmed.pop_back();
  while (pos < trimmed.size()) {
    size_t end = pos;
    while (end < trimmed.size() && !IsPathSeparator(trimmed[end])) ++end;
    std::string name = trimmed.substr(pos, end - pos);
    if (name.empty()) return kPathNotFound;
    if (name == "..") {
      current = current < 0 ? -1 : array_.ReadItem(current).ParentID;
    } else if (name != ".") {
      // A longer name cannot be stored, so it names nothing; cutting it to
      // the stored length would make it name a different item.
      if (name.size() > TFileRec::kMaxNameLength || !array_.NameExists(name)) return kPathNotFound;
      current = FindChild(current, name);
      if (current < 0) return kPathNotInFolder;
    }
    pos = end + 1;
  }
  return current;
}

std::string TDIRManager::GetFullPath(int32_t index) const {
  if (index < 0 || index >= Count()) return "\\";
  std::string path;
  for (int32_t up = index, steps = 0; up >= 0 && steps <= Count(); ++steps) {
    const TFileRec& rec = array_.ReadItem(up);
    path = "\\" + rec.FileName + path;
    up = rec.ParentID;
  }
  return path;
}

}  // namespace norvane
