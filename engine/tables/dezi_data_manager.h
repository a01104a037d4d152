// The storage manager of one open table: its files in the database's file
// store, the table header and field descriptions it keeps in memory while the
// table is open, and the record geometry derived from them. Records, indexes
// and large values build on it.
//
// Invariants:
// 1. A table opened read-only (asked for, or because the store could only
//    open T.dat read-only) is never written: no cut, no upgrade, no header.
// 2. Nothing read from T.dat is used before it is checked: damage is an
//    EEngineError naming the file, never an out-of-range access or an
//    allocation sized by an unchecked count.
// 3. A refused or failed open leaves no file open and the files as they were.
// 4. T.dat changes in the order records first, table header last, so a table
//    whose program stopped anywhere in a flush opens again: records past the
//    stored count are cut off, and duplicates left by a record moved into a
//    hole are removed on the next writable open (the first flush of a
//    session marks T.idx stale, which is what tells such an open apart).
// 5. The large-value directory has exactly one row per record: rows are
//    added and deleted by the record operations themselves, never apart from
//    them. A flush writes the values' blocks to T.bdf, then T.bif, then the
//    table header, so a directory on disk never names blocks not yet
//    written; an open that finds more rows than records drops the surplus,
//    and one that finds fewer gives the missing records empty rows.
// 6. A record T.dat's header counts is written over only once its new image
//    is in a whole, flushed journal (T.jnl) naming the counters of the
//    flush, so a program killed inside the write leaves no record half old
//    and half new: the next open takes the images back. The journal goes
//    once the header is written; one whose counters are past is ignored.
//    T.bif is written over the same way, from its own journal (T.bjn),
//    which goes once T.bif is whole again.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/common/engine_error.h"
#include "engine/container/plain_file_system.h"
#include "engine/protection/secret.h"
#include "engine/tables/blob_directory.h"
#include "engine/tables/blob_value_codec.h"
#include "engine/tables/index_def.h"
#include "engine/tables/index_header.h"
#include "engine/tables/memory_stream.h"
#include "engine/tables/record_cache.h"
#include "engine/tables/record_geometry.h"
#include "engine/tables/record_image.h"
#include "engine/tables/record_journal.h"
#include "engine/tables/table_header.h"
#include "engine/tables/table_index.h"
#include "engine/tables/write_log.h"

namespace norvane {

class TDeziDatabaseManager;
class TManagedDataset;
class TTableFileStore;

// A field as table creation is given it: the size is the declared size
// (text length, byte count), not the stored size.
struct TFieldDef {
  std::string Name;
  int Type = 0;
  int32_t Size = 0;
  bool Required = false;
};

// An encrypted table refused the password it was opened with (or none).
class EInvalidTablePassword : public EEngineError {
 public:
  EInvalidTablePassword() : EEngineError("TDeziDataset.OpenTable - invalid password.") {}
};

// A record whose key on a unique index equals another record's. Raised where
// a dataset's post error handling can tell it from other failures.
class EKeyViolation : public EEngineError {
 public:
  EKeyViolation(const std::string& operation, const std::string& tableName,
                const std::string& indexName)
      : EEngineError(operation + " - key violation.\nTable name = \"" + tableName +
                     "\".\nUnique index name = \"" + indexName + "\".") {}
};

// The large values of a record being appended, by field position; a field
// left out, or given an empty stream, has no value.
using TBLOBValues = std::map<int32_t, const TMemoryStream*>;

class TDeziDataManager {
 public:
  // The table `tableName` (file names are it plus ".dat", ".idx", ...) in
  // `store`, which must outlive the manager.
  TDeziDataManager(TAbstractPlainFileSystem& store, std::string tableName, bool readOnly);
  // Closes an open table, flushing what is pending; a failure is lost here,
  // so owners that care call CloseTable themselves.
  ~TDeziDataManager();
  TDeziDataManager(const TDeziDataManager&) = delete;
  TDeziDataManager& operator=(const TDeziDataManager&) = delete;

  // Creates the table's files (replacing any old ones) for these fields, with
  // large-value compression mode 0..3, and writes its headers and T.idx with
  // the row identifier index, with `autoIndexes` the automatic indexes of
  // every indexable field, and the indexes of `indexDefs` whose names do not
  // begin with "@"; the table is then open. The row identifier is the first
  // ftAutoInc field, else the one ftInteger field of an ixPrimary
  // definition, else "id" (or "id" and a number no field has). Requires a
  // closed, writable manager. Throws the creation messages for a bad field
  // definition (also a name used twice, and "Error in
  // TDeziDataManager.CreateTable - invalid compression mode <n> !") before
  // any file is touched; a failing index definition removes the files made.
  void CreateTable(const std::vector<TFieldDef>& defs, uint8_t compression, bool encrypted,
                   bool autoIndexes = true, const std::vector<TIndexDef>& indexDefs = {});
  // Opens T.dat and T.idx and reads the headers (see OpenTable). Returns
  // false, opening nothing, when T.dat does not exist.
  bool Open();
  // Opens T.dat and T.idx (T.idx is created empty when missing on a writable
  // table). Returns false when T.dat does not exist and `create` is clear.
  // Throws "TDeziDataManager.OpenFiles - can not open file "<T.ext>",
  // bCreated = 0|1, ReadOnly = 0|1".
  bool OpenFiles(bool create);
  // Reads and checks the table header and field descriptions, computes the
  // geometry, checks the password of an encrypted table (throwing
  // EInvalidTablePassword), opens the large-value files when there are
  // large-value fields, and upgrades a table of an older supported version in
  // place. A writable table is then repaired: T.dat is cut to whole records
  // (a file shorter than its header claims keeps the records it holds) and,
  // after a session that did not close, duplicated row identifiers are
  // removed and the last identifier raised past every stored one. On failure
  // every file is released and nothing has been written.
  void OpenTable();
  // Writes the table header and every field description at offset 0 of T.dat.
  void SaveTableHeaders();
  // Flushes what is pending (a writable table), writes T.idx's header and
  // descriptions when it no longer describes T.dat, cuts T.dat to its
  // records, then releases every file
  // and the table is closed, whatever happened. A failed flush is reported
  // after that with "TDeziDataManager.CloseTable - Cannot flush changes.
  // Probably the table is opened by other application.".
  void CloseTable();

  // Set before opening: the password of an encrypted table, and the measure
  // of free physical memory that sizes the record cache (a third of it) and
  // the write log's byte limit (a tenth).
  void SetPassword(TSecret password) { password_ = std::move(password); }
  void SetFreeMemorySource(std::function<int64_t()> source) { freeMemory_ = std::move(source); }
  // The block size of large values for a table created next (512 unless
  // set); an open table has the one its T.bif states. Throws "Error in
  // TDeziDataManager.SetBLOBBlockSize - invalid block size <n> !" outside 1
  // to 64 MiB.
  void SetBLOBBlockSize(int32_t size);
  int32_t BLOBBlockSize() const;

  // Record operations on an open, writable table. Images are plain records
  // of the record size (see TRecordImage). Every index is kept in order,
  // except that in a table of at most 10 records a burst of changes (more
  // than 100, each within 1000 ms of the one before) keeps only `ownIndex`
  // (the calling dataset's) and leaves the others to be rebuilt when next
  // used.
  // Appends; the row identifier in `image` is set to `rowId`, or without
  // one (0) to the last identifier + 1. The last identifier becomes the
  // larger of itself and the record's; a `rowId` a record has already is an
  // EKeyViolation on the row identifier index, one below 1 refused. In a table with large values the record gets its row of
  // value headers with `values` stored in it, and the null bits of its
  // large-value fields say which hold one. Everything that can fail (the
  // checks, the index places, compressing and enciphering the values) comes
  // before the first change, so a failed append leaves no row and no value
  // behind. Returns the record's physical number.
  int32_t aaAddRecord(uint8_t* image, int32_t ownIndex = -1, const TBLOBValues* values = nullptr,
                      int32_t rowId = 0);
  // Raises the last identifier to `last` (nothing when it is past it), so
  // no identifier up to it is given again.
  void ReserveRowIds(int32_t last);
  // Replaces record `physical`; its row identifier is kept whatever the image
  // holds.
  void aaUpdateRecord(const uint8_t* image, int32_t physical, int32_t ownIndex = -1);
  // Deletes record `physical` with its large values; the last record moves
  // into its place, with its row of large values. Returns true when a record
  // moved.
  bool aaDeleteRecord(int32_t physical, int32_t ownIndex = -1);
  // The plain record, valid until the next record operation unless its page
  // is locked. Throws "TRecordsPage.GetRecordPtr - Cannot find record" for a
  // number outside the table, and the "crc error, decoding" message for an
  // enciphered record that does not decipher (its neighbours still read).
  const uint8_t* RecordPtr(int32_t physical);
  // A hint that the record will be read soon: when its page is loaded, its
  // bytes start on their way into the processor's cache. Loads nothing.
  void PrefetchRecord(int32_t physical);
  void LockRecordPage(int32_t physical) { cache_->LockRecordPage(physical); }
  void UnlockRecordPage(int32_t physical) { cache_->UnlockRecordPage(physical); }
  // Writes every pending change: records, then the table header, then T.dat
  // cut to its length. Nothing on a read-only table or when nothing changed.
  void FlushBuffers();
  // While suspended (a dataset posting), changes never flush on their own;
  // resuming runs the flush check.
  void SuspendAutoFlush() { ++flushSuspended_; }
  void ResumeAutoFlush();
  // Runs `work` with automatic flushing suspended, resumed however the work
  // ends (once: a failing resume is not run again).
  void WhileAutoFlushSuspended(const std::function<void()>& work);
  // Large values, of the field at position `field` among the table's fields
  // and the record `physical`. Streams must not be null ("Error in
  // TDeziDataManager.aaReadBLOBValue - stream is not opened." and the same
  // with aaWriteBLOBValue); a field that is not a large-value field throws
  // "Error in TDeziDataManager.ReadBLOBValue - 0 pointer to pFieldHeader,
  // fieldNum = .<field>" (WriteBLOBValue, DeleteBLOBValue likewise).
  // Fills the stream with the value, empty when there is none, rewound.
  // Pending values are written out first. Throws the codec's read messages
  // for a value that fails its checks; every other value still reads.
  void ReadBLOBValue(TMemoryStream* stream, int32_t field, int32_t physical);
  // Stores the stream's whole content as the value (an empty stream deletes
  // it) in newly given blocks; an ftGraphic value loses the 8-byte graphic
  // prefix (IsStreamGraphic). The blocks of a value replaced stay taken
  // until the table is rebuilt, so a directory on disk never points at
  // blocks rewritten since.
  void WriteBLOBValue(TMemoryStream* stream, int32_t field, int32_t physical);
  // Returns the value's blocks to the free list.
  void DeleteBLOBValue(int32_t field, int32_t physical);
  // At least 10 bytes, bytes 0..3 are 1, 0, 0, 1 and bytes 8..9 "BM": a
  // bitmap behind the 8-byte graphic prefix. Throws "Error in
  // TDeziDataManager.IsStreamGraphic - buf 0 pointer." for a null stream.
  static bool IsStreamGraphic(const TMemoryStream* stream);
  // The directory of an open table with large values, null otherwise.
  const TaaBLOBDirectory* BLOBDirectory() const { return blobs_.get(); }

  // Enciphers or deciphers one record image in place (encrypted tables).
  void ChangeBufferEncryption(uint8_t* record, bool encipher) const;
  // Builds and reads record images of this table (plain ones).
  TRecordValues DecodeRecord(const uint8_t* image) const;
  std::vector<uint8_t> EncodeRecord(const TRecordValues& values) const;
  // Records of a plain table built from other tables' stored values, as
  // TRecordImage::NullRecord and PutStoredValue do.
  std::vector<uint8_t> NullRecord() const;
  void PutStoredValue(int32_t field, const uint8_t* value, uint8_t* record) const;

  // Indexes, numbered by their place in the table's list; index 0 is the
  // row identifier index.
  // The index's number, -1 when there is no such index; names compared
  // without case.
  int32_t InternalGetIndexNo(const std::string& name) const;
  int32_t IndexCount() const { return static_cast<int32_t>(indexes_.size()); }
  const TIndexDescription& IndexDescription(int32_t index) const;
  // Adds an index over the key fields `fieldNames` (names of fields or of the
  // row identifier) and builds it. Per key field, `ascending` and
  // `caseInsensitive` (the case bit is kept for text fields only); the
  // options' ixDescending and ixCaseInsensitive also set the whole-index
  // flags. Throws the checks' messages in this order: empty name, name
  // longer than 20, no key fields, no sort orders, name in use, unknown
  // field (InternalGetFieldNo's message), unsupported type; and for
  // ixUnique over records with equal keys the key violation (the index is
  // not kept). T.idx is not written.
  void InternalAddIndex(const std::string& name, const std::vector<std::string>& fieldNames,
                        uint8_t options, const std::vector<bool>& caseInsensitive,
                        const std::vector<bool>& ascending);
  // InternalAddIndex from ";"- or ","-separated lists: the key fields, and
  // the fields that compare ignoring case or sort descending (names compared
  // without case; ixCaseInsensitive and ixDescending apply to all). Writes
  // T.idx afterwards when `save`.
  void AddIndex(const std::string& name, const std::string& fields, bool save,
                const std::string& caseInsensitiveFields, const std::string& descendingFields,
                uint8_t options);
  // Adds a temporary index ("$_IDX_" and a number no other index has) that
  // is never written to T.idx, and returns its name. Key field names are
  // looked up among the fields only.
  std::string CreateTemporaryIndex(const std::string& fields, const std::string& descendingFields,
                                   const std::string& caseInsensitiveFields);
  // Deletes the index `name` and returns the number it had; a name beginning
  // with "@" deletes nothing and gives 0. Writes T.idx unless `keepFile`.
  int32_t DeleteIndex(const std::string& name, bool keepFile);

  // Sorts an index that is not built; nothing for one that is.
  void BuildIndex(int32_t index);
  // Builds every index that is not, telling the progress observers; an
  // array read from T.idx waits for its check until the index is used.
  void BuildAllIndexes();
  // Writes T.idx whole: header, the descriptions and arrays of every index
  // but the temporary ones.
  void SaveIndexesToDisk();
  void AddIndexBuildProgress(TIndexBuildProgress* observer);
  void RemoveIndexBuildProgress(TIndexBuildProgress* observer);
  // While suspended (imports and restructures), changes keep no index in
  // order; resuming rebuilds each one by a single sort.
  void SuspendIndexUpkeep() { ++upkeepSuspended_; }
  void ResumeIndexUpkeep();

  // Searches, building the index first when it is not built.
  // The physical record at a position of the index's order.
  int32_t IndexRecord(int32_t index, int32_t position);
  // The physical records at positions [from, to) of the index's order
  // (clamped to the array).
  std::vector<int32_t> IndexRecords(int32_t index, int32_t from, int32_t to);
  // Among the records `wanted` marks (one byte per physical record), the
  // first in the index's order of each run of equal keys (the key fields
  // alone), in that order.
  std::vector<int32_t> FirstOfEachKey(int32_t index, const std::vector<uint8_t>& wanted);
  // The position of physical record `physical` in the index, -1 if absent.
  int32_t RecordPosition(int32_t index, int32_t physical);
  // The position of the key held by the record image `key` in the first k key
  // fields of the index (text ignoring case when `caseInsensitive`, and only
  // as long as the key's text when `partial`): the first (or with `last` the
  // last) equal entry; without an equal entry -1 when `exact`, otherwise the
  // first entry after the key, or the last entry when none is after it. -1
  // for an empty table.
  int32_t KeyPosition(const uint8_t* key, int32_t index, bool exact, bool last, size_t k,
                      bool caseInsensitive = false, bool partial = false);
  // The run [first, end) of index positions whose key, shaped as KeyPosition
  // shapes it, equals the key of `key`; an empty run lies where such keys
  // would stand.
  std::pair<int32_t, int32_t> KeyRange(const uint8_t* key, int32_t index, size_t k,
                                       bool caseInsensitive = false, bool partial = false);
  // The key of record `physical` in the index, replacing `out`: with
  // `withRowId` the whole place of the record in the index's order (keys
  // compare as byte strings), else its key fields alone.
  void RecordKey(int32_t index, int32_t physical, bool withRowId, std::string& out);
  // Throws EKeyViolation("<operation> - key violation. ...") when a unique
  // index holds a record with the key of `image` (all key fields) and a row
  // identifier other than `rowId`.
  void CheckKeyViolation(const uint8_t* image, int32_t rowId, const std::string& operation);

  // The field's position among the field descriptions, -1 for the row
  // identifier's name; names compared without case. Throws "Error in
  // TDeziDataManager.InternalGetFieldNo - field "<name>" not found!".
  int32_t InternalGetFieldNo(const std::string& name) const;

  // Whole tables in a store, by name (table_files.cpp). A table exists
  // when its T.dat does.
  static bool TableExists(TAbstractPlainFileSystem& store, const std::string& name);
  // Deletes every file of the table; missing ones are skipped. Throws "Error
  // in TDeziDataManager.DeleteTable - <file> file cannot be deleted.".
  static void DeleteTable(TAbstractPlainFileSystem& store, const std::string& name);
  // Renames every file of the table. Another table under the new name
  // (other than by case) is replaced whole; should any step fail, every
  // file is back under its old name and "Error in
  // TDeziDataManager.RenameTable - <old file> file cannot be overwritten" or
  // "... file cannot be renamed." is thrown.
  static void RenameTable(TAbstractPlainFileSystem& store, const std::string& name,
                          const std::string& newName);
  // `prefix` and a number, counted up through the process, that no file of
  // any table has.
  static std::string FreeTableName(TAbstractPlainFileSystem& store, const std::string& prefix);

  bool IsOpen() const { return open_; }
  bool ReadOnly() const { return readOnly_; }
  const std::string& TableName() const { return tableName_; }
  const TTableHeader& Header() const { return header_; }
  const std::vector<TFieldHeader>& Fields() const { return fields_; }
  const TRecordGeometry& Geometry() const { return geometry_; }
  // The table's length in T.dat when it holds exactly RecordCount records.
  int64_t ExactDataLength() const;

 private:
  TAbstractFile* OpenOne(const std::string& extension, bool create);
  void ReadHeaders();
  void CheckFields() const;
  void CutToRecords();
  void UpgradeInPlace();
  void CheckPassword() const;
  void StartRecords();
  void LoadIndexFile();
  bool IdentifiersVouchedFor();
  bool ReadIndexDescriptions(std::vector<TIndexDescription>& descriptions, int64_t& arraysAt);
  void LoadIndexArrays(int64_t at);
  // Reads the array still in T.idx into the index; false, keeping nothing,
  // when it is not each record exactly once.
  bool ReadStoredArray(TTableIndex& index);
  // Every array still in T.idx, before the file is written over.
  void ReadStoredArrays();
  // The order check of an array over the row identifier alone, from the
  // identifiers in T.dat; fills in the heads.
  bool IdentifiersInOrder(TTableIndex& index);
  // The row identifier of every record in T.dat, in physical order.
  std::vector<int32_t> StoredIdentifiers();
  void MakeAutomaticIndexes();
  void AddAutomaticIndexesOf(size_t field, bool caseInsensitiveOnly);
  void UpgradeIndexes();
  TTableIndex& CheckedIndex(int32_t index);
  void AppendIndex(TIndexDescription description);
  void InternalAddIndexTo(const std::string& name, const std::vector<std::string>& fieldNames,
                          uint8_t options, const std::vector<bool>& caseInsensitive,
                          const std::vector<bool>& ascending, bool temporary);
  // Checks the arrays of these indexes that wait in T.idx (read, each
  // record once, in key order) in one walk over the records, and gives them
  // their heads; the ones that fail are sorted again, with progress shown.
  void CheckStoredOrder(const std::vector<int32_t>& numbers);
  // Sorts these indexes, telling the progress observers.
  void BuildWithProgress(const std::vector<int32_t>& pending);
  bool HasEqualKeys(TTableIndex& index);
  const uint8_t* KeyRecord(int32_t physical);
  // Where the record belongs in the index (its key, then its row
  // identifier); also gives the head of that key when asked.
  size_t RowPosition(TTableIndex& index, const uint8_t* record, TKeyHead* head = nullptr);
  // The position of the record's entry, the array's size when it has none.
  size_t EntryOf(TTableIndex& index, int32_t physical);
  size_t PlaceOf(TTableIndex& index, int32_t physical, const char* operation, const char* which);
  // `unmoved`, when given, marks the indexes in which the change leaves the
  // record's entry in its place.
  std::vector<bool> IndexesToKeep(int32_t ownIndex, const std::vector<bool>* unmoved = nullptr);
  void MarkIndexFileStale();
  void RepairShortFile();
  void RemoveDuplicateIdentifiers();
  void LoadPage(int32_t physical);
  TRecordsPage& LoadedPage(int32_t physical);
  void LogRecord(int32_t physical, const uint8_t* plain);
  // The flush's journal (record_journal.h) of the records it writes over;
  // false when it writes over none.
  bool WriteJournal();
  // A journal left by a flush that did not end goes back into the write log,
  // so reads see its images and the next flush writes them again.
  void ReplayJournal();
  // A journal file (by extension) of images of `imageSize` bytes, written
  // whole and flushed, with the counters of the flush under way.
  void WriteJournalFile(const char* extension, int32_t imageSize,
                        const std::vector<std::pair<int32_t, const uint8_t*>>& images);
  void DropJournal(const char* extension);
  // The journal file, when it is whole and its counters say it describes
  // the table's files; a writable table drops any other.
  std::optional<TRecordJournal> CurrentJournal(const char* extension, int32_t imageSize);
  void CheckWritable(const char* operation) const;
  void CheckRecordNumber(int32_t physical, const char* operation) const;
  void AfterChange();
  void FlushChanges();
  void ReleaseFiles();
  [[noreturn]] void ThrowDamaged(const std::string& what) const;
  // Large values (blob_values.cpp).
  void StartBLOBs(bool created);
  void LoadBLOBFile();
  // T.bif's bytes replaced by these, flushed.
  void WriteDirectoryFile(const std::vector<uint8_t>& bytes);
  void SaveBLOBFile();
  void ReconcileBLOBRows();
  int32_t BLOBFieldIndex(int32_t field, const char* operation) const;
  void CheckBLOBRow(int32_t physical, const char* operation) const;
  TStoredBlobValue PrepareBLOBValue(const TMemoryStream& stream, int32_t field) const;
  void CheckBLOBGrowth(int64_t blocks) const;
  int32_t BlocksOf(const TStoredBlobValue& value) const;
  void StoreBLOBValue(TBlobValueHeader& header, TStoredBlobValue value);

  TAbstractPlainFileSystem& store_;
  std::string tableName_;
  bool readOnly_;
  bool open_ = false;
  TTableHeader header_;
  int32_t diskChangeCounter_ = 0;
  std::vector<TFieldHeader> fields_;
  std::vector<std::unique_ptr<TTableIndex>> indexes_;
  std::vector<TIndexBuildProgress*> buildProgress_;
  int upkeepSuspended_ = 0;
  // The burst rule of small tables: when the last change came and how many
  // changes came each within 1000 ms of the one before.
  std::optional<uint32_t> lastChangeTick_;
  int burstCount_ = 0;
  // Key scratch of the searches, kept to reuse its capacity.
  std::string probeKey_;
  TRecordGeometry geometry_;
  TAbstractFile* dat_ = nullptr;
  TAbstractFile* idx_ = nullptr;
  TAbstractFile* bif_ = nullptr;
  TAbstractFile* bdf_ = nullptr;

  TSecret password_;
  int32_t requestedBlockSize_ = 512;
  // Tables with large values only: the directory, and whether it changed
  // since T.bif was last written.
  std::unique_ptr<TaaBLOBDirectory> blobs_;
  std::unique_ptr<TBlobValueCodec> blobCodec_;
  bool blobsDirty_ = false;
  std::function<int64_t()> freeMemory_;
  std::unique_ptr<TRecordImage> images_;   // plain records
  std::unique_ptr<TRecordImage> cipher_;   // encrypted tables only
  std::unique_ptr<TaaRecordsArray> cache_;
  std::unique_ptr<TaaBufferLogArray> log_;
  // Records T.dat held at the last flush; anything changed since, and every
  // record past them, is in the log.
  int32_t diskRecords_ = 0;
  // T.idx's stored change counter matches T.dat's header on disk. Cleared
  // on disk before the first record of a flush is written, so that an open
  // after a stop inside the flush never trusts the arrays.
  bool indexCounterCurrent_ = false;
  // The indexes in memory are not what T.idx holds (rebuilt, added, deleted,
  // or a list made in place of a damaged one): T.idx is rewritten on close.
  bool indexFileDiffers_ = false;
  int flushSuspended_ = 0;

  // Sharing the table among the datasets of the process (table_sharing.cpp).
 public:
  // A shared table of `database` (which must outlive the manager), reached
  // through a store that applies the table's store mode.
  TDeziDataManager(TDeziDatabaseManager& database, std::string tableName);
  // Adds the dataset. Throws "TDeziDataManager.ConnectDataset - Cannot open
  // dataset in both InMemory and other modes." when its InMemory differs
  // from the table's mode, and for an encrypted table whose password the
  // dataset does not give "TDeziDataManager.ConnectDataset - Inavlid
  // password for table "<name>"" (the dataset is not added). The first
  // dataset sets the password, records per page, store mode and read-only
  // flag and opens the table: 0, or -1 no T.dat, -2 the table does not open,
  // -3 password refused, -4 a table file did not open (the dataset is not
  // added). A writable dataset joining a table opened read-only reopens its
  // files writable. A table file that opened read-only makes the dataset
  // read-only.
  int32_t ConnectDataset(TManagedDataset& dataset);
  // Removes the dataset. True when none is left: the caller destroys the
  // manager. Otherwise a changed store mode reopens the table in it.
  bool DisconnectDataset(TManagedDataset& dataset);
  // smMemory when every dataset is in memory, 0 when none is. Throws
  // "TDeziDataManager.DetectFileStoreMode - there is no datasets,
  // datasetList.count = 0" and "... - Cannot open table in both InMemory and
  // not InMemory modes.".
  int32_t DetectFileStoreMode() const;
  // Writes the files of a table open in memory mode into the database's
  // default store, after flushing it; throws what the stores throw.
  void SaveToDefaultStore();
  TDeziDatabaseManager* DatabaseManager() const { return database_; }
  const std::vector<TManagedDataset*>& DatasetList() const { return datasetList_; }
  int32_t FileStoreMode() const;
  bool FileOpenedReadOnly() const { return fileOpenedReadOnly_; }
  int32_t RecordsPerPage() const { return recordsPerPage_; }

 private:
  TDeziDataManager(std::unique_ptr<TAbstractPlainFileSystem> store,
                   TDeziDatabaseManager& database, std::string tableName);
  // Opens the table with the flags set; ConnectDataset's codes.
  int32_t OpenShared();

  TDeziDatabaseManager* database_ = nullptr;
  std::unique_ptr<TAbstractPlainFileSystem> ownStore_;
  TTableFileStore* tableStore_ = nullptr;
  std::vector<TManagedDataset*> datasetList_;
  bool fileOpenedReadOnly_ = false;
  int32_t recordsPerPage_ = 1000;
};

}  // namespace norvane
