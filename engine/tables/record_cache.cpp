// Pages of records kept by least recent use within a byte budget.
#include "engine/tables/record_cache.h"

#include <algorithm>
#include <cstring>

#include "engine/common/engine_error.h"

namespace norvane {
namespace {

constexpr int32_t kMaxPageRecords = 1000;
constexpr int64_t kPageBytes = 64 * 1024;
constexpr size_t kMinPages = 4;

}  // namespace

TRecordsPage::TRecordsPage(int32_t pageNo, int32_t first, int32_t capacity, int32_t recordSize)
    : pageNo_(pageNo), first_(first), capacity_(capacity), recordSize_(recordSize),
      bytes_(static_cast<size_t>(capacity) * static_cast<size_t>(recordSize)),
      damaged_(static_cast<size_t>(capacity), false) {}

uint8_t* TRecordsPage::GetRecordPtr(int32_t record) {
  if (!Holds(record)) throw EEngineError("TRecordsPage.GetRecordPtr - Cannot find record");
  return bytes_.data() + static_cast<size_t>(record - first_) * static_cast<size_t>(recordSize_);
}

void TRecordsPage::SetCount(int32_t count) {
  if (count < 0 || count > capacity_)
    throw EEngineError("TRecordsPage.ReadRecords - Cannot read so many records.");
  count_ = count;
  std::fill(damaged_.begin(), damaged_.end(), false);
}

void TRecordsPage::AppendRecord(const uint8_t* image) {
  if (count_ == capacity_) throw EEngineError("TRecordsPage.AppendRecord - Page overflow.");
  ++count_;
  SetDamaged(first_ + count_ - 1, false);
  std::memcpy(GetRecordPtr(first_ + count_ - 1), image, static_cast<size_t>(recordSize_));
}

void TRecordsPage::DeleteLastRecord() {
  if (count_ == 0) throw EEngineError("TRecordsPage.DeleteLastRecord - Page is already empty.");
  --count_;
}

TaaRecordsArray::TaaRecordsArray(int32_t recordSize, int64_t budgetBytes)
    : recordSize_(recordSize),
      pageRecords_(static_cast<int32_t>(
          std::clamp<int64_t>(kPageBytes / recordSize, 1, kMaxPageRecords))) {
  const int64_t pageBytes = int64_t{pageRecords_} * recordSize_;
  maxPages_ = std::max<size_t>(kMinPages, static_cast<size_t>(std::max<int64_t>(budgetBytes, 0) /
                                                              pageBytes));
}

TRecordsPage* TaaRecordsArray::Find(int32_t record) {
  const auto slot = pages_.find(PageOf(record));
  if (slot == pages_.end() || !slot->second.page.Holds(record)) return nullptr;
  byUse_.splice(byUse_.begin(), byUse_, slot->second.use);
  return &slot->second.page;
}

TRecordsPage& TaaRecordsArray::GetPageToUse(int32_t pageNo, int32_t keep) {
  const auto present = pages_.find(pageNo);
  if (present != pages_.end()) {
    // Reloaded in place, so a lock on it still holds.
    byUse_.splice(byUse_.begin(), byUse_, present->second.use);
    present->second.page.SetCount(0);
    return present->second.page;
  }
  if (pages_.size() >= maxPages_) {
    for (auto victim = byUse_.rbegin(); victim != byUse_.rend(); ++victim) {
      const TSlot& slot = pages_.at(*victim);
      if (slot.page.locks == 0 && *victim != keep) {
        Release(*victim);
        break;
      }
    }
  }
  byUse_.push_front(pageNo);
  const auto [slot, added] = pages_.try_emplace(
      pageNo, TSlot{TRecordsPage(pageNo, pageNo * pageRecords_, pageRecords_, recordSize_),
                    byUse_.begin()});
  return slot->second.page;
}

void TaaRecordsArray::Release(int32_t pageNo) {
  const auto slot = pages_.find(pageNo);
  if (slot == pages_.end()) return;
  byUse_.erase(slot->second.use);
  pages_.erase(slot);
}

void TaaRecordsArray::AppendRecord(int32_t record, const uint8_t* image) {
  const auto slot = pages_.find(PageOf(record));
  if (slot == pages_.end()) return;
  TRecordsPage& page = slot->second.page;
  // A page that holds the records before this one simply grows; any other
  // loaded state is left for a later load to settle.
  if (page.First() + page.Count() == record) page.AppendRecord(image);
}

void TaaRecordsArray::ReplaceRecord(int32_t record, const uint8_t* image) {
  const auto slot = pages_.find(PageOf(record));
  if (slot == pages_.end() || !slot->second.page.Holds(record)) return;
  slot->second.page.SetDamaged(record, false);
  std::memcpy(slot->second.page.GetRecordPtr(record), image, static_cast<size_t>(recordSize_));
}

void TaaRecordsArray::DeleteLastRecord(int32_t record) {
  const auto slot = pages_.find(PageOf(record));
  if (slot == pages_.end() || !slot->second.page.Holds(record)) return;
  TRecordsPage& page = slot->second.page;
  page.DeleteLastRecord();
  if (page.Count() == 0 && page.locks == 0) Release(page.PageNo());
}

void TaaRecordsArray::LockRecordPage(int32_t record) {
  TRecordsPage* page = Find(record);
  if (page == nullptr) throw EEngineError("TaaRecordsArray.LockRecordPage - Page is already unloaded.");
  ++page->locks;
}

void TaaRecordsArray::UnlockRecordPage(int32_t record) {
  const auto slot = pages_.find(PageOf(record));
  if (slot == pages_.end() || slot->second.page.locks == 0)
    throw EEngineError("TaaRecordsArray.UnlockRecordPage - Page is already unloaded.");
  --slot->second.page.locks;
}

void TaaRecordsArray::Clear() {
  pages_.clear();
  byUse_.clear();
}

}  // namespace norvane
