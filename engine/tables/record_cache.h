// The record cache of one table: pages of consecutive records in their plain
// (deciphered) form, within a byte budget, an unlocked page not used lately
// giving way when a new one is needed. The cache never writes: every
// change goes to the write log as well, and the cache only mirrors it into
// the pages it holds.
//
// Page p holds records p x PageRecords() ... onward. A record pointer stays
// valid until the next call that may load a page, unless its page is locked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace norvane {

class TRecordsPage {
 public:
  TRecordsPage(int32_t pageNo, int32_t first, int32_t capacity, int32_t recordSize);
  int32_t PageNo() const { return pageNo_; }
  int32_t First() const { return first_; }
  int32_t Count() const { return count_; }
  bool Holds(int32_t record) const { return record >= first_ && record < first_ + count_; }
  // Throws "TRecordsPage.GetRecordPtr - Cannot find record" for a record the
  // page does not hold.
  uint8_t* GetRecordPtr(int32_t record);
  // Sets the records held to `count` (loading fills them through Data()).
  // Throws "TRecordsPage.ReadRecords - Cannot read so many records." beyond
  // the capacity.
  void SetCount(int32_t count);
  uint8_t* Data() { return bytes_.get(); }
  // Throws "TRecordsPage.AppendRecord - Page overflow." on a full page.
  void AppendRecord(const uint8_t* image);
  // Throws "TRecordsPage.DeleteLastRecord - Page is already empty.".
  void DeleteLastRecord();
  // Makes the page hold page number `pageNo` (from record `first`), empty and
  // unlocked, keeping its memory.
  void Assign(int32_t pageNo, int32_t first);
  // A record that could not be read (its check failed) stays marked until
  // it is written again; loading clears every mark.
  void SetDamaged(int32_t record, bool damaged) { damaged_[Index(record)] = damaged; }
  bool Damaged(int32_t record) const { return damaged_[Index(record)]; }

  int32_t locks = 0;

 private:
  size_t Index(int32_t record) const { return static_cast<size_t>(record - first_); }

  int32_t pageNo_;
  int32_t first_;
  int32_t capacity_;
  int32_t recordSize_;
  int32_t count_ = 0;
  std::unique_ptr<uint8_t[]> bytes_;
  std::vector<bool> damaged_;
};

class TaaRecordsArray {
 public:
  // Pages of at most 1000 records and about 64 KiB; at least four pages are
  // kept whatever the budget.
  TaaRecordsArray(int32_t recordSize, int64_t budgetBytes);
  TaaRecordsArray(const TaaRecordsArray&) = delete;
  TaaRecordsArray& operator=(const TaaRecordsArray&) = delete;

  int32_t PageRecords() const { return pageRecords_; }
  int32_t PageOf(int32_t record) const { return record / pageRecords_; }

  // The loaded page holding the record, marked as recently used; null when
  // its page is not loaded or does not hold it.
  TRecordsPage* Find(int32_t record);
  // The page for page number `pageNo`, emptied for loading (a loaded one is
  // reused with its locks), else a new one. When the budget is full a page
  // gives way: unlocked, not `keep`, and not used since the sweep last
  // passed it (a cache whose pages are all locked grows past its budget
  // rather than fail).
  TRecordsPage& GetPageToUse(int32_t pageNo, int32_t keep);

  // Mirrors changes into loaded pages; records whose page is not loaded are
  // read from the file and the log when next asked for.
  void AppendRecord(int32_t record, const uint8_t* image);
  void ReplaceRecord(int32_t record, const uint8_t* image);
  void DeleteLastRecord(int32_t record);

  // Throw "TaaRecordsArray.LockRecordPage - Page is already unloaded." /
  // "TaaRecordsArray.UnlockRecordPage - Page is already unloaded.".
  void LockRecordPage(int32_t record);
  void UnlockRecordPage(int32_t record);

 private:
  struct TSlot {
    TRecordsPage page;
    bool referenced = true;
  };
  // The slot of a loaded page, or null.
  TSlot* SlotOf(int32_t pageNo);
  TSlot& TakeSlot(int32_t keep);
  void Release(int32_t pageNo);

  int32_t recordSize_;
  int32_t pageRecords_;
  size_t maxPages_;
  // Slots never move (a deque grows at its end), so pages and their
  // records keep their addresses and the page-number table can point at
  // them: a hit is one table read and the slot.
  std::deque<TSlot> slots_;
  std::vector<TSlot*> slotOfPage_;  // null when the page is not loaded
  std::vector<TSlot*> freeSlots_;
  size_t hand_ = 0;  // where the sweep for a page to give way goes on
};

}  // namespace norvane
