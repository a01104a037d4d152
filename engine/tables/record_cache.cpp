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
      // Not zeroed: a page's records are always read in before use, and
      // zeroing would touch fresh memory twice.
      bytes_(std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(capacity) *
                                                       static_cast<size_t>(recordSize))),
      damaged_(static_cast<size_t>(capacity), false) {}

uint8_t* TRecordsPage::GetRecordPtr(int32_t record) {
  if (!Holds(record)) throw EEngineError("TRecordsPage.GetRecordPtr - Cannot find record");
  return bytes_.get() + static_cast<size_t>(record - first_) * static_cast<size_t>(recordSize_);
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

void TRecordsPage::Assign(int32_t pageNo, int32_t first) {
  pageNo_ = pageNo;
  first_ = first;
  locks = 0;
  SetCount(0);
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

TaaRecordsArray::TSlot* TaaRecordsArray::SlotOf(int32_t pageNo) {
  if (pageNo < 0 || static_cast<size_t>(pageNo) >= slotOfPage_.size()) return nullptr;
  return slotOfPage_[static_cast<size_t>(pageNo)];
}

TRecordsPage* TaaRecordsArray::Find(int32_t record) {
  TSlot* slot = SlotOf(PageOf(record));
  if (slot == nullptr || !slot->page.Holds(record)) return nullptr;
  slot->referenced = true;
  return &slot->page;
}

TaaRecordsArray::TSlot& TaaRecordsArray::TakeSlot(int32_t keep) {
  if (!freeSlots_.empty()) {
    TSlot& slot = *freeSlots_.back();
    freeSlots_.pop_back();
    return slot;
  }
  if (slots_.size() < maxPages_) return slots_.emplace_back(TSlot{TRecordsPage(-1, 0, pageRecords_, recordSize_)});
  // Two turns: the first may only clear the marks of pages used lately.
  for (size_t step = 0; step < 2 * slots_.size(); ++step) {
    const size_t at = hand_;
    hand_ = (hand_ + 1) % slots_.size();
    TSlot& slot = slots_[at];
    if (slot.page.locks > 0 || slot.page.PageNo() == keep) continue;
    if (slot.referenced) {
      slot.referenced = false;
      continue;
    }
    slotOfPage_[static_cast<size_t>(slot.page.PageNo())] = nullptr;
    return slot;
  }
  return slots_.emplace_back(TSlot{TRecordsPage(-1, 0, pageRecords_, recordSize_)});
}

TRecordsPage& TaaRecordsArray::GetPageToUse(int32_t pageNo, int32_t keep) {
  if (TSlot* present = SlotOf(pageNo)) {
    // Reloaded in place, so a lock on it still holds.
    present->referenced = true;
    present->page.SetCount(0);
    return present->page;
  }
  TSlot& slot = TakeSlot(keep);
  slot.page.Assign(pageNo, pageNo * pageRecords_);
  slot.referenced = true;
  if (static_cast<size_t>(pageNo) >= slotOfPage_.size())
    slotOfPage_.resize(static_cast<size_t>(pageNo) + 1, nullptr);
  slotOfPage_[static_cast<size_t>(pageNo)] = &slot;
  return slot.page;
}

void TaaRecordsArray::Release(int32_t pageNo) {
  TSlot* slot = SlotOf(pageNo);
  if (slot == nullptr) return;
  slotOfPage_[static_cast<size_t>(pageNo)] = nullptr;
  slot->page.Assign(-1, 0);
  freeSlots_.push_back(slot);
}

void TaaRecordsArray::AppendRecord(int32_t record, const uint8_t* image) {
  TSlot* slot = SlotOf(PageOf(record));
  if (slot == nullptr) return;
  TRecordsPage& page = slot->page;
  // A page that holds the records before this one simply grows; any other
  // loaded state is left for a later load to settle.
  if (page.First() + page.Count() == record) page.AppendRecord(image);
}

void TaaRecordsArray::ReplaceRecord(int32_t record, const uint8_t* image) {
  TSlot* slot = SlotOf(PageOf(record));
  if (slot == nullptr || !slot->page.Holds(record)) return;
  slot->page.SetDamaged(record, false);
  std::memcpy(slot->page.GetRecordPtr(record), image, static_cast<size_t>(recordSize_));
}

void TaaRecordsArray::DeleteLastRecord(int32_t record) {
  TSlot* slot = SlotOf(PageOf(record));
  if (slot == nullptr || !slot->page.Holds(record)) return;
  TRecordsPage& page = slot->page;
  page.DeleteLastRecord();
  if (page.Count() == 0 && page.locks == 0) Release(page.PageNo());
}

void TaaRecordsArray::LockRecordPage(int32_t record) {
  TRecordsPage* page = Find(record);
  if (page == nullptr) throw EEngineError("TaaRecordsArray.LockRecordPage - Page is already unloaded.");
  ++page->locks;
}

void TaaRecordsArray::UnlockRecordPage(int32_t record) {
  TSlot* slot = SlotOf(PageOf(record));
  if (slot == nullptr || slot->page.locks == 0)
    throw EEngineError("TaaRecordsArray.UnlockRecordPage - Page is already unloaded.");
  --slot->page.locks;
}

}  // namespace norvane
