// The consistency checker's walk of the directory chain, its records, and
// each live file's map chain and data pages. Every number read from the file
// is checked before it is used; a chain that cannot be followed further
// stops there and leaves its owner's remaining pages unknown.
#include <algorithm>

#include "engine/common/byte_codec.h"
#include "engine/common/whole_numbers.h"
#include "engine/container/container_checker.h"
#include "engine/protection/collation.h"

namespace norvane {

namespace {

constexpr int32_t kRecordSize = TFileRec::kSize;
// Deeper items are named by record number: a path is only worth building
// when a person can read it.
constexpr int32_t kMaxShownDepth = 256;

}  // namespace

std::string TContainerChecker::InvalidPageReason(int64_t page) const {
  if (page == 0) return "which is the container header";
  if (page < 0) return "which is no page number";
  if (page >= pageCount_) return "which lies beyond the page count " + Num(pageCount_);
  if (const char* name = SpaceMapName(page)) return std::string("which is ") + name;
  return "";
}

std::string TContainerChecker::ItemText(int32_t index) const {
  std::vector<const std::string*> names;
  for (int32_t up = index; up != -1; up = records_[static_cast<size_t>(up)].Rec.ParentID) {
    if (up < 0 || up >= static_cast<int32_t>(records_.size()) ||
        static_cast<int32_t>(names.size()) >= kMaxShownDepth)
      return "record " + Num(index);
    const TRecord& r = records_[static_cast<size_t>(up)];
    if (r.State != TState::Live || !IsValidItemName(r.Rec.FileName)) return "record " + Num(index);
    names.push_back(&r.Rec.FileName);
  }
  std::string path;
  for (auto it = names.rbegin(); it != names.rend(); ++it) path += "\\" + **it;
  return "\"" + path + "\"";
}

void TContainerChecker::CheckDirectory() {
  const TContainerHeader& header = pages_.Header();
  const int32_t perPage = payload_ / kRecordSize;
  const int32_t items = header.DirectoryItemCount();
  records_.assign(static_cast<size_t>(std::max(items, 0)), TRecord{});
  int32_t page = header.FirstDirectoryPage();
  int32_t from = 0;  // the page that names `page`: the header first
  for (int32_t i = 0; i < header.DirectoryPageCount(); ++i) {
    const std::string why = InvalidPageReason(page);
    if (!why.empty()) {
      const std::string by = i == 0 ? "the header" : "directory page " + Num(i - 1);
      Report(from, -1, by + " names page " + Num(page) + " as directory page " + Num(i) + ", " + why);
      ownersComplete_ = false;
      return;
    }
    TPageRecord rec;
    rec.Data = buffer_.data();
    if (!Take(page, {TRole::Directory, -1, i})) {
      ownersComplete_ = false;
      return;
    }
    if (!pages_.ReadPage(rec, page, false, "", perPage * kRecordSize)) {
      Report(page, -1, ReadFailure() + " (directory page " + Num(i) + ")");
      ownersComplete_ = false;
      return;
    }
    if (rec.Header.PageType != ptDirectory) {
      Report(page, -1, "directory page " + Num(i) + " has type " + Num(rec.Header.PageType) +
                           ", expected " + Num(ptDirectory));
      ownersComplete_ = false;
      return;
    }
    for (int32_t slot = 0; slot < perPage; ++slot) {
      const int64_t index = static_cast<int64_t>(i) * perPage + slot;
      if (index >= items) break;
      TRecord& r = records_[static_cast<size_t>(index)];
      r.Page = page;
      if (!DecodeFileRec(buffer_.data() + slot * kRecordSize, r.Rec)) {
        r.State = TState::Damaged;
        Report(page, static_cast<int32_t>(index), "cannot be decoded");
        ownersComplete_ = false;
        continue;
      }
      r.State = r.Rec.Deleted ? TState::Deleted : TState::Live;
    }
    from = page;
    page = rec.Header.NextPageNo;
  }
}

void TContainerChecker::CheckRecords() {
  const auto count = static_cast<int32_t>(records_.size());
  for (int32_t index = 0; index < count; ++index)
    if (records_[static_cast<size_t>(index)].State == TState::Live) CheckRecord(index);

  // Cycles of folders, each record visited once: a walk up stops at the
  // root, at a record whose fate is known, or where it meets itself.
  constexpr uint8_t kUnseen = 0, kOnWalk = 1, kReachesTop = 2, kInCycle = 3;
  std::vector<uint8_t> fate(records_.size(), kUnseen);
  std::vector<int32_t> walk;
  for (int32_t index = 0; index < count; ++index) {
    if (records_[static_cast<size_t>(index)].State != TState::Live) continue;
    walk.clear();
    uint8_t result = kReachesTop;
    for (int32_t up = index;;) {
      if (up < 0 || up >= count || records_[static_cast<size_t>(up)].State != TState::Live) break;
      const uint8_t seen = fate[static_cast<size_t>(up)];
      if (seen != kUnseen) {
        result = seen == kOnWalk ? kInCycle : seen;
        break;
      }
      fate[static_cast<size_t>(up)] = kOnWalk;
      walk.push_back(up);
      up = records_[static_cast<size_t>(up)].Rec.ParentID;
    }
    for (int32_t r : walk) fate[static_cast<size_t>(r)] = result;
  }
  for (int32_t index = 0; index < count; ++index)
    if (fate[static_cast<size_t>(index)] == kInCycle)
      Report(records_[static_cast<size_t>(index)].Page, index, "lies in or below a cycle of folders");
  CheckDuplicateNames();
}

void TContainerChecker::CheckRecord(int32_t index) {
  const TRecord& r = records_[static_cast<size_t>(index)];
  const TFileRec& rec = r.Rec;
  auto bad = [&](const std::string& what) { Report(r.Page, index, what); };
  if (!IsValidItemName(rec.FileName)) bad("has an invalid name");
  const int32_t parent = rec.ParentID;
  if (parent < -1 || parent >= static_cast<int32_t>(records_.size())) {
    bad("names parent " + Num(parent) + ", outside the directory");
  } else if (parent >= 0) {
    const TRecord& p = records_[static_cast<size_t>(parent)];
    if (p.State == TState::Damaged) bad("names parent " + Num(parent) + ", which cannot be decoded");
    if (p.State == TState::Deleted) bad("names parent " + Num(parent) + ", a deleted record");
    if (p.State == TState::Live && !p.Rec.IsFolder) bad("names parent " + Num(parent) + ", a file");
  }
  if (((rec.Attributes & TFileRec::kFolderAttribute) != 0) != rec.IsFolder)
    bad(rec.IsFolder ? "is a folder without the folder attribute"
                     : "is a file with the folder attribute");
  const int64_t capacity = static_cast<int64_t>(pageCount_) * payload_;
  if (rec.IsFolder) {
    if (rec.FirstMapPageNo != -1 || rec.Size != 0) bad("is a folder with pages");
  } else if (rec.Size < 0 || rec.Size > capacity) {
    bad("has size " + Num(rec.Size) + ", more than the container can hold");
  } else if ((rec.FirstMapPageNo == -1) != (rec.Size == 0)) {
    bad("has size " + Num(rec.Size) + " but first map page " + Num(rec.FirstMapPageNo));
  }
}

// Live names of a folder sorted ignoring case, then by bytes: each run of
// names equal ignoring case is together, and within it each run of the
// same bytes. The same bytes twice is damage (the second is unreachable);
// names equal only ignoring case were told apart by the locale that made
// them and each is reached by its own name, so they are only a warning.
void TContainerChecker::CheckDuplicateNames() {
  std::vector<int32_t> live;
  for (size_t i = 0; i < records_.size(); ++i)
    if (records_[i].State == TState::Live && IsValidItemName(records_[i].Rec.FileName))
      live.push_back(static_cast<int32_t>(i));
  auto rec = [&](int32_t index) -> const TFileRec& { return records_[static_cast<size_t>(index)].Rec; };
  auto caseless = [&](int32_t a, int32_t b) {
    if (rec(a).ParentID != rec(b).ParentID) return rec(a).ParentID < rec(b).ParentID ? -1 : 1;
    return CollateCompareCI(rec(a).FileName.c_str(), rec(b).FileName.c_str());
  };
  std::stable_sort(live.begin(), live.end(), [&](int32_t a, int32_t b) {
    const int c = caseless(a, b);
    return c != 0 ? c < 0 : rec(a).FileName < rec(b).FileName;
  });
  size_t caselessRun = 0, exactRun = 0;  // where the current runs start
  for (size_t i = 1; i < live.size(); ++i) {
    const int32_t index = live[i];
    const int32_t page = records_[static_cast<size_t>(index)].Page;
    if (caseless(live[caselessRun], index) != 0) {
      caselessRun = exactRun = i;
    } else if (rec(live[exactRun]).FileName != rec(index).FileName) {
      exactRun = i;
      Warn(page, index, "has the name of record " + Num(live[caselessRun]) +
                            " in the same folder ignoring case; each is reached by its own name");
    } else {
      Report(page, index, "has the name of record " + Num(live[exactRun]) + " in the same folder");
    }
  }
}

void TContainerChecker::CheckFiles() {
  const int64_t capacity = static_cast<int64_t>(pageCount_) * payload_;
  for (size_t i = 0; i < records_.size(); ++i) {
    const TRecord& r = records_[i];
    if (r.State != TState::Live || r.Rec.IsFolder) continue;
    const bool sane = r.Rec.Size >= 0 && r.Rec.Size <= capacity;
    if (sane && r.Rec.Size > 0 && r.Rec.FirstMapPageNo != -1)
      CheckFile(static_cast<int32_t>(i));
    else if (!sane || r.Rec.Size > 0)
      ownersComplete_ = false;  // it holds pages nobody can find
  }
}

void TContainerChecker::CheckFile(int32_t index) {
  const TRecord& r = records_[static_cast<size_t>(index)];
  const int64_t entriesPerPage = payload_ / 4;
  const int64_t dataPages = CeilDiv(r.Rec.Size, payload_);
  const int64_t mapPages = CeilDiv(dataPages, entriesPerPage);
  const std::string item = ItemText(index);
  std::vector<int32_t> entries;
  int32_t page = r.Rec.FirstMapPageNo;
  int32_t from = r.Page;
  int64_t dataIndex = 0;
  for (int32_t j = 0; j < mapPages; ++j) {
    const std::string why = page == -1 ? "" : InvalidPageReason(page);
    if (page == -1 || !why.empty()) {
      if (page == -1)
        Report(from, -1, "map page " + Num(j - 1) + " of " + item + " ends the chain; size " +
                             Num(r.Rec.Size) + " needs " + Num(mapPages) + " map pages");
      else if (j == 0)
        Report(from, index, "names page " + Num(page) + " as its first map page, " + why);
      else
        Report(from, -1, "map page " + Num(j - 1) + " of " + item + " leads to page " +
                             Num(page) + ", " + why);
      ownersComplete_ = false;
      return;
    }
    if (!Take(page, {TRole::FileMap, index, j})) {
      ownersComplete_ = false;
      return;
    }
    TPageRecord map;
    map.Data = buffer_.data();
    if (!pages_.ReadPage(map, page, false, "", -1)) {
      Report(page, -1, ReadFailure() + " (map page " + Num(j) + " of " + item + ")");
      ownersComplete_ = false;
      return;
    }
    if (map.Header.PageType != ptMap) {
      Report(page, -1, "map page " + Num(j) + " of " + item + " has type " +
                           Num(map.Header.PageType) + ", expected " + Num(ptMap));
      ownersComplete_ = false;
      return;
    }
    // The entries are copied out: checking a data page reuses the buffer.
    entries.clear();
    for (int64_t e = 0; e < entriesPerPage && dataIndex + e < dataPages; ++e)
      entries.push_back(GetI32LE(buffer_.data() + 4 * e));
    for (size_t e = 0; e < entries.size(); ++e, ++dataIndex)
      CheckDataPage(index, page, j, static_cast<int32_t>(dataIndex), entries[e]);
    from = page;
    page = map.Header.NextPageNo;
  }
}

void TContainerChecker::CheckDataPage(int32_t index, int32_t mapPage, int32_t mapIndex,
                                      int32_t dataIndex, int32_t page) {
  const std::string why = InvalidPageReason(page);
  if (!why.empty()) {
    Report(mapPage, -1, "map page " + Num(mapIndex) + " of " + ItemText(index) + " names page " +
                            Num(page) + " as data page " + Num(dataIndex) + ", " + why);
    return;
  }
  const TOwner owner{TRole::FileData, index, dataIndex};
  if (!Take(page, owner)) return;
  TPageRecord data;
  data.Data = buffer_.data();
  // Raw: the checksum covers the stored bytes, enciphered or not.
  if (!pages_.ReadPage(data, page, true, "", -1)) {
    Report(page, -1, ReadFailure() + " (" + OwnerText(owner) + ")");
    return;
  }
  if (data.Header.PageType != ptFileData)
    Report(page, -1, OwnerText(owner) + " has type " + Num(data.Header.PageType) + ", expected " +
                         Num(ptFileData));
  // A file with a password of its own is enciphered under its own key, any
  // other file as the container is; pages written as zeros stay plain.
  const uint8_t cipher = records_[static_cast<size_t>(index)].Rec.HasPassword
                             ? 1
                             : pages_.Header().EncryptionType();
  if (data.Header.EncryptionType != cipher && data.Header.EncryptionType != 0)
    Report(page, -1, OwnerText(owner) + " has cipher " + Num(data.Header.EncryptionType) +
                         ", expected " + Num(cipher));
}

}  // namespace norvane
