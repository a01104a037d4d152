// The dataset base: the state machine, the ring of record buffers, the field
// objects, the data sources and the before/after events that every cursor
// (a table, a query result) shares. A cursor derives from TDataSet and
// answers the protected hooks; the base decides when each is called.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/tables/blob_stream.h"
#include "engine/tables/dataset_blob_stream.h"
#include "engine/tables/dataset_fields.h"
#include "engine/tables/dataset_types.h"
#include "engine/tables/field_argument.h"
#include "engine/tables/record_buffer_ring.h"

namespace norvane {

class TDataSource;
class EDatabaseError;

class TDataSet {
 public:
  using TNotifyEvent = std::function<void(TDataSet&)>;
  // The handler may set `action`: daFail (the default) rethrows the error,
  // daAbort ends the post silently (EAbort), daRetry posts again.
  using TErrorEvent = std::function<void(TDataSet&, const EDatabaseError&, TDataAction&)>;

  TDataSet();
  // A cursor's destructor must call Close(): the base cannot reach the
  // cursor's hooks once the cursor part is gone.
  virtual ~TDataSet();
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;

  // Prefixes the base's error texts as "<Name>: " when not empty.
  std::string Name;

  // --- state ------------------------------------------------------------
  TDataSetState State() const { return state_; }
  bool Active() const { return state_ != dsInactive; }
  void SetActive(bool active) { active ? Open() : Close(); }
  // Open: before-open, InternalOpen, buffers, browse state on the first
  // record, after-open, after-scroll. Nothing when already open. A failing
  // InternalOpen leaves the dataset closed and rethrows.
  void Open();
  // Close: before-close, a pending edit is dropped (InternalCancel, no
  // cancel events), inactive state, InternalClose, buffers and fields
  // freed, after-close. Nothing when closed.
  void Close();
  // A field was written since Edit, Insert or Append.
  bool Modified() const { return modified_; }
  bool CanModify() { return GetCanModify(); }

  // --- navigation --------------------------------------------------------
  // Each first brings the dataset to browse mode (CheckBrowseMode) and
  // requires it open ("Cannot perform this operation on a closed dataset").
  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  // Moves up to `distance` records (negative: back); returns how many it
  // moved. Stops at an end, setting Eof or Bof.
  int MoveBy(int distance);
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  bool IsEmpty() const { return ring_.Count() == 0; }
  // The number the cursor gives the active record (1-based), or as the
  // cursor defines it for a record being inserted.
  int32_t RecNo() { return GetRecNo(); }
  int32_t RecordCount();
  // Bookmarks as the cursor encodes them (BookmarkSize bytes). GetBookmark
  // is empty without a stored active record.
  TBookmark GetBookmark();
  // Browse mode, before-scroll, InternalGotoBookmark, buffers refilled
  // around the record, after-scroll. An empty bookmark does nothing.
  void GotoBookmark(const TBookmark& bookmark);

  // --- the cursor's public answers (also the property accessors) --------
  virtual int32_t GetRecNo() = 0;
  // A number outside the cursor's range is ignored.
  virtual void SetRecNo(int32_t recNo) = 0;
  virtual int32_t GetRecordCount() = 0;
  // <0, 0, >0 by position; an empty bookmark orders before any other.
  virtual int CompareBookmarks(const TBookmark& a, const TBookmark& b) = 0;
  virtual bool BookmarkValid(const TBookmark& bookmark) = 0;
  // A stream over a large-value field of the active record. Write modes
  // require a writable state and a modifiable dataset.
  virtual std::unique_ptr<TDataSetBlobStream> CreateBlobStream(TField& field, TBlobStreamMode mode) = 0;

  // --- editing -----------------------------------------------------------
  // Insert puts a new record before the active one, Append after the last;
  // both need CanModify ("Cannot modify a read-only dataset") and run:
  // browse mode, before-insert, before-scroll, InternalInsert, a fresh
  // buffer (InternalInitRecord), insert state, OnNewRecord, after-insert,
  // after-scroll.
  void Insert();
  void Append();
  // Edit state on the active record (re-read first). On an empty dataset it
  // appends instead. Nothing while already editing or inserting.
  void Edit();
  // Requires edit or insert ("Dataset not in edit or insert mode"): the
  // links write pending input, before-post, InternalPost (retried or
  // aborted as OnPostError says), browse state, buffers refilled, after-post.
  // A failed post leaves the state and the buffer as they were.
  void Post();
  // Drops a pending edit or insert: before-cancel, InternalCancel, browse
  // state, buffers refilled, after-cancel. Nothing in browse state.
  void Cancel();
  // Deletes the active record: browse mode, before-delete, before-scroll,
  // InternalDelete, buffers refilled, after-delete, after-scroll. Deleting
  // a record being inserted cancels it. Throws on an empty dataset
  // ("Cannot perform this operation on an empty dataset").
  void Delete();
  // A whole record from values in field order (fewer values leave the rest
  // as the new record has them): the insert events, OnNewRecord, the
  // values, before-post, the required check, InternalAddRecord, after-post.
  // Controls see one change at the end.
  void AppendRecord(const std::vector<TFieldArgument>& values) { AddRecord(values, true); }
  void InsertRecord(const std::vector<TFieldArgument>& values) { AddRecord(values, false); }
  // Posts a modified edit or insert, cancels an unmodified one, and
  // requires the dataset open.
  void CheckBrowseMode();
  // Browse mode, InternalRefresh, buffers refilled around the record.
  void Refresh();
  // Refills the buffers around the cursor's current record, keeping the
  // active record at the same ring row where the data allows.
  void Resync();
  // Asks the links to write pending input (before a post).
  void UpdateRecord();

  // While disabled (counted), notices to data links are held back; the
  // last EnableControls sends one EditingChanged/ActiveChanged when the
  // state changed and one DataSetChanged when anything was held.
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disableCount_ > 0; }

  // --- filtering -----------------------------------------------------------
  // The filter text, whether it applies, and the FilterOptions bits
  // (foCaseInsensitive, foNoPartialCompare). On an open dataset a change
  // that leaves the filter applying parses it first: a syntax error throws
  // and leaves the properties and the records shown as they were;
  // otherwise the dataset shows the records that pass, from the first.
  const std::string& Filter() const { return filter_; }
  void SetFilter(const std::string& text);
  bool Filtered() const { return filtered_; }
  void SetFiltered(bool filtered);
  uint8_t FilterOptions() const { return filterOptions_; }
  void SetFilterOptions(uint8_t options);
  // Asked, while Filtered, whether the dataset's current record (the one
  // the handler's field reads see) may be shown; `accept` starts true.
  using TFilterRecordEvent = std::function<void(TDataSet&, bool& accept)>;
  TFilterRecordEvent OnFilterRecord;
  // The records that pass Filter, whether or not Filtered is set: the
  // first, the last, and the next or prior one from the last found. Each
  // returns whether one was found (also kept as Found) and moves there;
  // otherwise the dataset stays where it was.
  bool FindFirst() { return FindRecord(true, true); }
  bool FindLast() { return FindRecord(true, false); }
  bool FindNext() { return FindRecord(false, true); }
  bool FindPrior() { return FindRecord(false, false); }
  bool Found() const { return found_; }

  // --- fields ------------------------------------------------------------
  TFields& Fields() { return fields_; }
  TField* FindField(const std::string& name) const { return fields_.Find(name); }
  TField& FieldByName(const std::string& name) const { return fields_.ByName(name); }
  // The routes of field values; fields call these, not the hooks. Reading
  // without a record buffer gives false (null).
  bool ReadFieldValue(const TField& field, void* buffer);
  void WriteFieldValue(TField& field, const void* buffer);
  // EDatabaseError "Dataset not in edit or insert mode" outside the states
  // that write fields, "Cannot modify a read-only dataset" when read-only.
  void CheckFieldWritable(const TField& field);
  // The buffer fields read now: the active ring row, or what the cursor's
  // GetActiveRecordBuffer gives in its own states.
  uint8_t* ActiveRecordBuffer() { return GetActiveRecordBuffer(); }

  // --- the ring, as the data links see it -------------------------------
  int BufferCount() const { return ring_.Capacity(); }
  int BufferedRecords() const { return ring_.Count(); }
  int ActiveRecord() const { return ring_.Active(); }
  // Makes ring row `row` active without moving the cursor: a grid draws
  // each of its rows this way and then restores the old row.
  void SetActiveRecord(int row);

  // --- data sources (TDataSource calls these) ----------------------------
  void AttachDataSource(TDataSource& source);
  void DetachDataSource(TDataSource& source);
  // The ring follows the largest BufferCount of the links (at least 1).
  void UpdateBufferCount();

  // --- events --------------------------------------------------------------
  TNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TNotifyEvent OnNewRecord;
  TErrorEvent OnPostError;

 protected:
  // --- hooks the cursor answers -----------------------------------------
  virtual uint8_t* AllocRecordBuffer() = 0;
  virtual void FreeRecordBuffer(uint8_t* buffer) = 0;
  // Fetches the record after, before or at the cursor's position into
  // `buffer` and moves there. With doCheck a grError throws.
  virtual TGetResult GetRecord(uint8_t* buffer, TGetMode mode, bool doCheck) = 0;
  virtual int32_t GetRecordSize() = 0;
  // Runs after BeforeOpen, before the cursor opens: false leaves the
  // dataset closed without an error (a query whose script returns no rows
  // has run and has nothing to show).
  virtual bool InternalPrepareOpen() { return true; }
  // Opens the cursor and makes its fields (AddField); sets BookmarkSize.
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  virtual bool IsCursorOpen() = 0;
  // Before the first record / after the last one.
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  virtual void GetBookmarkData(const uint8_t* buffer, uint8_t* data) = 0;
  virtual void SetBookmarkData(uint8_t* buffer, const uint8_t* data) = 0;
  virtual TBookmarkFlag GetBookmarkFlag(const uint8_t* buffer) = 0;
  virtual void SetBookmarkFlag(uint8_t* buffer, TBookmarkFlag flag) = 0;
  virtual void InternalGotoBookmark(const uint8_t* bookmark) = 0;
  // Moves the cursor to the record held in `buffer`.
  virtual void InternalSetToRecord(uint8_t* buffer) = 0;
  // `buffer` (field.DataSize() bytes, or null to test presence) gets the
  // value in its stored encoding; false when the field has no value.
  virtual bool GetFieldData(const TField& field, void* buffer) = 0;
  // `buffer` null clears the value. A cursor tells the links through
  // NotifyFieldChanged.
  virtual void SetFieldData(TField& field, const void* buffer) = 0;
  virtual void InternalInitRecord(uint8_t* buffer) = 0;
  virtual void InternalInsert() = 0;
  virtual void InternalAddRecord(uint8_t* buffer, bool append) = 0;
  // The base's own post checks: the required fields. A cursor calls it
  // first unless it prepared the buffer itself.
  virtual void InternalPost();
  virtual void InternalCancel() = 0;
  virtual void InternalDelete() = 0;
  virtual void InternalRefresh() = 0;
  virtual bool GetCanModify() = 0;
  virtual void CloseBlob(TField& field);
  // Called with an error raised by a data link's notice; the default
  // rethrows it. Must be called inside the handler that caught it.
  virtual void InternalHandleException(const std::exception& error);
  virtual uint8_t* GetActiveRecordBuffer();

  // Called before a filter property changes on an open dataset, with the
  // values it is to take; the cursor rebuilds what it shows from them, or
  // throws and the change does not happen.
  virtual void FilterChanging(const std::string& text, bool filtered, uint8_t options);
  // The filter's find operations; the base's version only navigates.
  virtual bool FindRecord(bool restart, bool forward);
  void SetFound(bool found) { found_ = found; }

  // --- helpers for cursors -----------------------------------------------
  TField& AddField(TFieldType type, const std::string& name, int32_t size, bool required);
  int32_t BookmarkSize() const { return bookmarkSize_; }
  void SetBookmarkSize(int32_t size) { bookmarkSize_ = size; }
  // State changes the links hear of; the temporary pair does not notify.
  void SetState(TDataSetState state);
  TDataSetState SetTempState(TDataSetState state);
  void RestoreState(TDataSetState saved) { state_ = saved; }
  // "Field '<name>' must have a value" for the first required null field.
  void CheckRequiredFields();
  // Tells the links a field changed (not in the calculation states).
  void NotifyFieldChanged(TField& field);
  void DataEvent(TDataEvent event, TField* field = nullptr, int distance = 0);
  void DoBeforeScroll() { Fire(BeforeScroll); }
  void DoAfterScroll() { Fire(AfterScroll); }
  [[noreturn]] void Error(const std::string& message) const;

 private:
  void Fire(const TNotifyEvent& event) { if (event) event(*this); }
  void CheckActive() const;
  void CheckCanModify();
  void AllocateBuffers();
  void ReleaseBuffers();
  void ClearBuffers();
  // The cursor stands on the record of ring row `row` (re-set only when the
  // base does not know it is there already).
  void SetCurrentRecord(int row);
  void UpdateCursorPos() { if (ring_.Count() > 0) SetCurrentRecord(ring_.Active()); }
  void CursorPosChanged() { currentRecord_ = -1; }
  // One fetch into the spare buffer, committed at the end / the front of the
  // ring; `scrolled` gets 1 when a record dropped off the other end.
  bool GetNextRecord(int& scrolled);
  bool GetPriorRecord(int& scrolled);
  void GetNextRecords();
  void GetPriorRecords();
  // The ring from the first record on, as Open and First leave it (rule 3).
  void FillFromFirst();
  // Refills around the cursor's record, which lands on ring row `row`.
  void ResyncAt(int row);
  // Refills the ring after a new record left it (cancel, a failed add).
  void RefillAround();
  void InitRecord(uint8_t* buffer);
  void BeginInsertAppend();
  void AddRecord(const std::vector<TFieldArgument>& values, bool append);
  void SendToSources(TDataEvent event, TField* field, int distance);

  TDataSetState state_ = dsInactive;
  TFields fields_;
  TRecordBufferRing ring_;
  std::vector<TDataSource*> sources_;
  int currentRecord_ = -1;  // ring row the cursor stands on, -1 unknown
  int32_t bookmarkSize_ = 0;
  bool bof_ = true, eof_ = true;
  bool modified_ = false;
  int disableCount_ = 0;
  TDataSetState disableState_ = dsInactive;
  bool heldNotices_ = false;
  std::string filter_;
  bool filtered_ = false;
  uint8_t filterOptions_ = 0;
  bool found_ = false;
};

}  // namespace norvane
