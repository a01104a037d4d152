// The table cursor: a dataset over one table of a database, answering the
// dataset base's hooks from the table's shared storage manager. Its view is
// the current index itself, so it never goes stale: a change by any dataset
// on the table (seen through the change counter) only makes the cursor find
// its record again, by row identifier.
//
// Invariants:
// 1. The cursor's record is known by its row identifier, never only by a
//    physical number: another dataset's delete moves records, so every post,
//    delete and re-synchronisation finds the physical number afresh.
// 2. A record being inserted carries the provisional identifier last + 1,
//    which no stored record has.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/tables/blob_field_streams.h"
#include "engine/tables/blob_stream.h"
#include "engine/tables/data_link.h"
#include "engine/tables/dataset.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_argument.h"
#include "engine/tables/managed_dataset.h"
#include "engine/tables/record_set.h"
#include "engine/tables/search_parser.h"
#include "engine/tables/table_definitions.h"

namespace norvane {

// Locate options.
enum TLocateOption : uint8_t {
  loCaseInsensitive = 1 << 0,
  loPartialKey = 1 << 1,
};

class TDeziDataset : public TDataSet, public TManagedDataset, private TBlobStreamOwner {
 public:
  TDeziDataset();
  ~TDeziDataset() override;

  // --- where the table lives (set while closed) --------------------------
  const std::string& TableName() const { return tableName_; }
  // A bare name loses its extension ("Article.dat" names "Article", "a.b.c"
  // becomes "a.b"); a name with a folder loses only a trailing ".dat", so a
  // dotted folder stays whole.
  void SetTableName(const std::string& name);
  static std::string BareTableName(const std::string& name);
  std::string DatabaseName() const override { return databaseName_; }
  void SetDatabaseName(const std::string& name) { databaseName_ = name; }
  std::string DatabaseFileName() const override { return databaseFileName_; }
  void SetDatabaseFileName(const std::string& name) { databaseFileName_ = name; }
  std::string Password() const override { return password_; }
  void SetPassword(const std::string& password) { password_ = password; }
  bool InMemory() const override { return inMemory_; }
  // Stored while closed. Open, the dataset closes and reopens in the other
  // mode; leaving memory first saves the table to the database's own store
  // (a failed save leaves the dataset as it was) and then drops the copy in
  // memory once no other dataset uses it.
  void SetInMemory(bool inMemory);
  bool ReadOnly() const override { return readOnly_; }
  // Assigning it closes an open dataset first.
  void SetReadOnly(bool readOnly) override;
  int32_t RecordsPerPage() const override { return recordsPerPage_; }
  // Taken by the table when this dataset is the first to open it.
  void SetRecordsPerPage(int32_t records) { recordsPerPage_ = records; }
  bool Active() const override { return TDataSet::Active(); }
  void CloseForDisconnect() override { Close(); }

  // --- the order -----------------------------------------------------------
  const std::string& IndexName() const { return indexName_; }
  const std::string& IndexFieldNames() const { return indexFieldNames_; }
  // Orders by the named index (names compared without case); clears
  // IndexFieldNames. Open: "Error in TDeziDataSet.OpenIndex - index "<name>"
  // not found!" for a name the table lacks.
  void SetIndexName(const std::string& name);
  // Orders by the first index (automatic ones included, in index order)
  // whose key starts with these ";"-separated fields; none: cleared, the row
  // identifier order. Clears IndexName.
  void SetIndexFieldNames(const std::string& fields);
  int32_t CurrentIndex() const { return index_; }

  // Browse mode, then the first record whose first k key fields of the
  // current index equal the k values (a value for the row identifier is the
  // identifier), else the first greater, else the last record. Nothing on
  // an empty table.
  void FindNearest(const std::vector<TFieldArgument>& values);

  // For the query engine. A private insert fills one new record outside the
  // dataset base (fields written meanwhile go to it) and posts it with
  // FinishPrivateInsert, which skips the base's checks and, posted or not,
  // returns to browse state.
  void StartPrivateInsert();
  void FinishPrivateInsert();
  // Shows only the named fields (the row identifier's name shows it), in
  // this order, under the display names (a field's own name where one is
  // empty; a name shown already gets "_1", "_2", ...), and reopens. A name
  // the table lacks throws ETblException 13.
  void SetFieldProjection(const std::vector<std::string>& names,
                          const std::vector<std::string>& displayNames);
  void ClearFieldProjection();
  // Takes `from`'s projection, to be applied when this dataset opens next.
  void CopyFieldProjection(const TDeziDataset& from);

  // Master and detail: while MasterFields names fields of MasterSource's
  // dataset and the cursor is ordered by IndexName, it shows only the
  // records whose first key fields equal those fields, and follows the
  // master as it moves. "TDeziDataSet.SetDataSource - Invalid DataSource"
  // for a source of this dataset itself.
  void SetMasterSource(TDataSource* source);
  TDataSource* MasterSource() const;
  const std::string& MasterFields() const { return masterFields_; }
  void SetMasterFields(const std::string& fields);

  // The definitions a table is created from; an open table fills them with
  // its own. UserIndexDefs leaves out the automatic and temporary indexes.
  std::vector<TFieldDef>& FieldDefs() { return fieldDefs_; }
  std::vector<TIndexDef>& IndexDefs() { return indexDefs_; }
  std::vector<TIndexDef> UserIndexDefs() const { return UserIndexes(indexDefs_); }
  // The structure a restructure builds: opening fills them with the table's
  // fields (the row identifier last, as ftAutoInc) and user indexes; the
  // caller edits them while the dataset is closed.
  std::vector<TFieldDef>& RestructureFieldDefs() { return restructureFieldDefs_; }
  std::vector<TIndexDef>& RestructureIndexDefs() { return restructureIndexDefs_; }
  // Fills IndexDefs from the table, opening it for the while when closed.
  void UpdateIndexDefs();
  // The field of key field i (0-based) of the current index. Throws "Error
  // in TDeziDataSet.GetIndexField - invalid index, index = <i>." and "...
  // - no such field, FieldNo = <n>." for a field the dataset does not show.
  TField& GetIndexField(int32_t i);

  // The next record appended through this dataset gets the row identifier
  // `id` (at least 1) instead of the next free one; an identifier a record
  // has already is a key violation. The table's last identifier becomes the
  // larger of its value and `id`. Dropped by a cancel and by closing.
  void SetNextRowId(int32_t id);

  // Indexes of the open table, kept in T.idx: AddIndex adds one (lists as
  // the table manager takes them) and DeleteIndex removes one while no
  // other dataset has the table open; the cursor keeps its index where it
  // still exists, else takes the row identifier order.
  void AddIndex(const std::string& name, const std::string& fields, uint8_t options,
                const std::string& descFields = "", const std::string& caseInsFields = "");
  void DeleteIndex(const std::string& name);
  std::string CreateTemporaryIndex(const std::string& fields, const std::string& descFields = "",
                                   const std::string& caseInsFields = "");

  // --- filters, searches and distinct views (dezi_dataset_filter.cpp) -----
  // Moves to the first record of the view, in view order, whose key fields
  // (";" or "," separated) equal the values, one per field, and returns
  // true (scroll events around the move); false, not moving, when none does
  // or a value is null. Options: loCaseInsensitive, and loPartialKey, which
  // compares text only as long as the value.
  bool Locate(const std::string& keyFields, const std::vector<TFieldArgument>& values,
              uint8_t options = 0);
  // The values of the result fields of the record Locate (exactly, with
  // case) would find, without moving or scroll events; empty when none is
  // found.
  std::vector<TFieldArgument> Lookup(const std::string& keyFields,
                                     const std::vector<TFieldArgument>& values,
                                     const std::string& resultFields);
  // The position (0-based) in the view of the record with this row
  // identifier, -1 when it is not there.
  int32_t FindRowPosition(int32_t rowId);
  // Whether the record image passes the master link and the filter; when
  // asked, OnFilterRecord has the last word while Filtered.
  bool IsRecordVisible(const uint8_t* record, bool askEvent);
  // Shows only the first record of each run of equal values of these
  // fields (";"-separated), in the order of the index over exactly them
  // (made as a temporary index when the table has none); empty: all. The
  // first such index may compare text without case (an "@@" index comes
  // before its "@" one); with `exactCase` only an index that heeds case
  // serves, so values that differ in case alone stay apart (SQL DISTINCT).
  void SetDistinctFields(const std::string& fields, bool exactCase = false);
  const std::string& DistinctFields() const { return distinctFields_; }
  bool DistinctExactCase() const { return distinctExactCase_; }

  // The table's shared manager while open, null otherwise.
  TDeziDataManager* Table() const { return table_; }
  // The stored description of `field` (null for the row identifier), and
  // where the current record holds its value as the table stores it (the
  // row identifier's four bytes for it): null when the value is null or
  // there is no record. For copying values between tables undecoded.
  const TFieldHeader* StoredField(const TField& field) const;
  const uint8_t* StoredValue(const TField& field);
  // Errors raised while a large-value stream is freed (its links told of
  // the change) go here; without a handler they are dropped, since a
  // stream is freed where nothing may be thrown.
  std::function<void(const std::exception&)> OnStreamError;

  // --- the base's public answers ------------------------------------------
  int32_t GetRecNo() override;
  // 1 to the record count, other than the current number: moves there.
  void SetRecNo(int32_t recNo) override;
  int32_t GetRecordCount() override;
  int CompareBookmarks(const TBookmark& a, const TBookmark& b) override;
  bool BookmarkValid(const TBookmark& bookmark) override;
  std::unique_ptr<TDataSetBlobStream> CreateBlobStream(TField& field, TBlobStreamMode mode) override;

 protected:
  // Opening an in-memory table that exists in no store first makes it from
  // FieldDefs; the table component knows the settings to make it with.
  virtual void CreateMissingTable() {}
  // T.dat of the table is in the store of the dataset's mode (for memory,
  // also in the database's own store, which an open copies from).
  bool TableFileExists();

  uint8_t* AllocRecordBuffer() override;
  void FreeRecordBuffer(uint8_t* buffer) override;
  TGetResult GetRecord(uint8_t* buffer, TGetMode mode, bool doCheck) override;
  int32_t GetRecordSize() override;
  void InternalOpen() override;
  // For a cursor that makes its index once its table is open (a temporary
  // index): within InternalOpen, orders the view by `indexName`.
  void OrderWhileOpening(const std::string& indexName);
  void InternalClose() override;
  bool IsCursorOpen() override { return table_ != nullptr; }
  void InternalFirst() override;
  void InternalLast() override;
  void GetBookmarkData(const uint8_t* buffer, uint8_t* data) override;
  void SetBookmarkData(uint8_t* buffer, const uint8_t* data) override;
  TBookmarkFlag GetBookmarkFlag(const uint8_t* buffer) override;
  void SetBookmarkFlag(uint8_t* buffer, TBookmarkFlag flag) override;
  void InternalGotoBookmark(const uint8_t* bookmark) override;
  void InternalSetToRecord(uint8_t* buffer) override;
  bool GetFieldData(const TField& field, void* buffer) override;
  void SetFieldData(TField& field, const void* buffer) override;
  void InternalInitRecord(uint8_t* buffer) override;
  void InternalInsert() override {}
  void InternalAddRecord(uint8_t* buffer, bool append) override;
  void InternalPost() override;
  void InternalCancel() override;
  void InternalDelete() override;
  void InternalRefresh() override;
  bool GetCanModify() override { return !readOnly_; }
  uint8_t* GetActiveRecordBuffer() override;
  void FilterChanging(const std::string& text, bool filtered, uint8_t options) override;
  bool FindRecord(bool restart, bool forward) override;

 private:
  class TMasterLink;

  // TBlobStreamOwner: what the large-value streams ask of the cursor.
  bool BlobReadOnly() const override { return readOnly_; }
  bool SyncCurrentRecord() override;
  int32_t CurrentRowId() const override;
  int32_t CurrentPhysical() const override;
  bool Editing() const override { return State() == dsEdit || State() == dsInsert; }
  bool Inserting() const override { return State() == dsInsert; }
  TDeziDataManager* BlobTable() override { return table_; }
  TBlobFieldStreams& BlobStreams() override { return streams_; }
  void BlobFieldModified(int32_t fieldNo) override;
  void SetBlobFieldNull(int32_t fieldNo, bool isNull) override;
  void HandleBlobError(const std::exception& error) override;

  // The view (dezi_dataset_view.cpp).
  // Moves as GetRecord does and fills the buffer, without the filter event.
  TGetResult FetchRecord(uint8_t* buffer, TGetMode mode);
  void CheckOpen(const char* operation) const;
  // Follows changes made through any dataset: the position moves to where
  // the remembered record is now (-1 when it is gone).
  void Synchronise();
  int32_t ViewLength() const;
  // A position of the current index as a position of the unfiltered view,
  // -1 outside.
  int32_t ToView(int32_t indexPosition) const;
  // The physical record at a position of the view.
  int32_t ViewRecord(int32_t position) const;
  // The position of the record with this row identifier in the view, -1
  // when it is not there.
  int32_t PositionOfId(int32_t rowId);
  // The position of a physical record in the view, -1 outside it.
  int32_t ViewPositionOf(int32_t physical);
  // The physical number of the record with this row identifier, -1 if none.
  int32_t PhysicalOfId(int32_t rowId) const;
  // Moves to the position and notes its record's row identifier; returns
  // that record (valid until the next record operation), null when the
  // position is outside the view.
  const uint8_t* SetPosition(int32_t position);
  void ChooseIndex();
  // The index chosen, the filter parsed for it, before the first record.
  void ArrangeView();
  // The first index whose key fields are `names` (`whole`) or begin with
  // them, names compared without case; -1 when none.
  int32_t IndexByFields(const std::vector<std::string>& names, bool whole, bool exactCase = false) const;
  // The dataset's fields: the table's, or the projection's.
  void MakeFields();
  void SwitchIndex();

  // Master and detail (dezi_dataset_master.cpp).
  std::vector<TField*> MasterFieldList() const;
  bool IsMasterField(const TField& field) const;
  bool Restricted() const;
  void MasterChanged();
  // Writes the master's values into the key fields of the current index;
  // false when they cannot be (more fields than the key, other types).
  bool PutMasterValues(uint8_t* buffer);
  // Builds the view again: the master's range, then the filter and the
  // distinct list (dezi_dataset_filter.cpp).
  void RebuildView();
  void UpdateRange();

  // Filters (dezi_dataset_filter.cpp).
  bool FilterApplies() const;
  // The records of the set within index positions [from, to), in the
  // current index's order.
  std::vector<int32_t> InIndexOrder(const TRecordSet& passing, int32_t from, int32_t to);
  TRecordSet KeepDistinct(const TRecordSet& passing);
  // Whether the record, in `buffer` for the event, is shown: asks
  // OnFilterRecord while Filtered.
  bool AcceptedByEvent(uint8_t* buffer);
  // Runs `work` in the filter state, the fields reading `buffer`.
  void WithFilterBuffer(uint8_t* buffer, const std::function<void()>& work);
  // Locate's and Lookup's search: the view position of the record found,
  // -1 for none.
  int32_t FindKeyRecord(const std::string& keyFields, const std::vector<TFieldArgument>& values,
                        uint8_t options, bool askEvent);
  void RebuildFindList();

  // Records (dezi_dataset_edit.cpp).
  // Writes table field `f` of a record buffer from n bytes of its stored
  // form (null: no value; an empty text or a day 0 count as none too).
  // Returns whether the field is now null.
  bool PutFieldBytes(uint8_t* buffer, int32_t f, const uint8_t* value, size_t n) const;
  void InternalInitRecordImage(uint8_t* buffer);
  // After this dataset's own change: the view follows, and the position is
  // the record's (-1 when it left the view).
  void StandOn(int32_t physical);
  int32_t RowIdOf(const uint8_t* buffer) const;
  // The table field behind a dataset field: its position, -1 for the row
  // identifier.
  int32_t TableFieldOf(const TField& field) const;
  // The dataset field showing a table field (-1 the row identifier), or
  // null when the projection leaves it out.
  TField* DatasetFieldOf(int32_t tableField);
  bool NullBit(const uint8_t* buffer, int32_t tableField) const;
  void SetNullBit(uint8_t* buffer, int32_t tableField, bool isNull) const;
  void CheckKeys(const uint8_t* image, int32_t rowId, const char* operation);
  int32_t AppendImage(uint8_t* image, const char* operation);
  TBLOBValues PendingValues() const;
  void EndPrivateInsert();
  void Reopen();
  void DropValues();

  std::string tableName_, databaseName_, databaseFileName_, password_;
  std::vector<TFieldDef> fieldDefs_;
  std::vector<TIndexDef> indexDefs_;
  std::vector<TFieldDef> restructureFieldDefs_;
  std::vector<TIndexDef> restructureIndexDefs_;
  int32_t recordsPerPage_ = 1000;
  int32_t nextRowId_ = 0;  // 0: the table's next free identifier
  std::string indexName_, indexFieldNames_;
  bool inMemory_ = false;
  bool readOnly_ = false;

  TDeziDataManager* table_ = nullptr;
  int32_t index_ = 0;
  // -1 before the first record, ViewLength() after the last.
  int32_t position_ = -1;
  // The row identifier at the position (0: none), and the table's change
  // counter when the position was last known to hold it.
  int32_t positionId_ = 0;
  int32_t seenCounter_ = 0;
  std::vector<uint8_t> keyBuffer_;  // the lookup key, in set-key state
  mutable std::vector<uint8_t> probe_;  // a row identifier to search for
  // The table field each dataset field shows (-1 the row identifier), and
  // a projection's fields and names when one is set.
  std::vector<int32_t> shown_;
  std::vector<int32_t> projection_;
  std::vector<std::string> projectedNames_;
  // The record of a private insert, while one is under way.
  uint8_t* privateBuffer_ = nullptr;
  TDataSetState privateState_ = dsBrowse;
  TBlobFieldStreams streams_;
  std::unique_ptr<TDataLink> masterLink_;  // a TMasterLink
  std::string masterFields_;
  // A detail's view: index positions [rangeStart_, rangeEnd_).
  bool restricted_ = false;
  bool rangeStale_ = true;
  int32_t rangeStart_ = 0, rangeEnd_ = 0;
  // Large-value fields written since the edit or insert began.
  std::set<int32_t> modifiedValues_;
  // A filtered or distinct view: its records in the current index's order
  // (the range of the index otherwise).
  bool viewListed_ = false;
  std::vector<int32_t> view_;
  TSearchParser filterParser_;
  std::string distinctFields_;
  bool distinctExactCase_ = false;
  // The record OnFilterRecord looks at (the dsFilter state's buffer).
  uint8_t* filterBuffer_ = nullptr;
  // FindFirst and its kin: their own parse of the filter, the records of
  // the view that pass it, the place reached, and the change counter the
  // list was made at.
  TSearchParser findParser_;
  // Locate's and Lookup's conditions for the key fields last asked for,
  // kept while the table stays open (a program locates by the same fields
  // over and over), with the automatic index answering each (-1 none).
  struct TKeyConditions {
    const TDeziDataManager* Table = nullptr;
    std::string Fields;
    uint8_t Options = 0;
    std::vector<TSearchOperation> Conditions;
    std::vector<int32_t> Indexes;
  } keyConditions_;
  TKeyConditions& KeyConditions(const std::string& keyFields, uint8_t options);
  std::vector<int32_t> findList_;
  int32_t findAt_ = -1;
  int32_t findCounter_ = -1;
};

}  // namespace norvane
