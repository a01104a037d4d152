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
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/common/engine_error.h"
#include "engine/container/plain_file_system.h"
#include "engine/protection/secret.h"
#include "engine/tables/index_header.h"
#include "engine/tables/record_cache.h"
#include "engine/tables/record_geometry.h"
#include "engine/tables/record_image.h"
#include "engine/tables/table_header.h"
#include "engine/tables/write_log.h"

namespace norvane {

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
  // large-value compression mode 0..3, and writes its headers; the table is
  // then open. Requires a closed, writable manager. Throws the creation
  // messages for a bad definition (and "Error in TDeziDataManager.CreateTable
  // - invalid compression mode <n> !"), before any file is touched.
  void CreateTable(const std::vector<TFieldDef>& defs, uint8_t compression, bool encrypted);
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

  // Record operations on an open, writable table. Images are plain records
  // of the record size (see TRecordImage).
  // Appends; the row identifier in `image` is set to the new last
  // identifier. Returns the record's physical number.
  int32_t aaAddRecord(uint8_t* image);
  // Replaces record `physical`; its row identifier is kept whatever the image
  // holds.
  void aaUpdateRecord(const uint8_t* image, int32_t physical);
  // Deletes record `physical`; the last record moves into its place. Returns
  // true when a record moved.
  bool aaDeleteRecord(int32_t physical);
  // The plain record, valid until the next record operation unless its page
  // is locked. Throws "TRecordsPage.GetRecordPtr - Cannot find record" for a
  // number outside the table, and the "crc error, decoding" message for an
  // enciphered record that does not decipher (its neighbours still read).
  const uint8_t* RecordPtr(int32_t physical);
  void LockRecordPage(int32_t physical) { cache_->LockRecordPage(physical); }
  void UnlockRecordPage(int32_t physical) { cache_->UnlockRecordPage(physical); }
  // Writes every pending change: records, then the table header, then T.dat
  // cut to its length. Nothing on a read-only table or when nothing changed.
  void FlushBuffers();
  // While suspended (a dataset posting), changes never flush on their own;
  // resuming runs the flush check.
  void SuspendAutoFlush() { ++flushSuspended_; }
  void ResumeAutoFlush();
  // Enciphers or deciphers one record image in place (encrypted tables).
  void ChangeBufferEncryption(uint8_t* record, bool encipher) const;
  // Builds and reads record images of this table (plain ones).
  TRecordValues DecodeRecord(const uint8_t* image) const;
  std::vector<uint8_t> EncodeRecord(const TRecordValues& values) const;

  // The index's position among the index descriptions, -1 when there is no
  // such index; names compared without case.
  int32_t InternalGetIndexNo(const std::string& name) const;
  // The index descriptions T.idx held at open (none when its list was
  // incomplete), in index order.
  const std::vector<TIndexDescription>& Indexes() const { return indexes_; }

  // The field's position among the field descriptions, -1 for the row
  // identifier's name; names compared without case. Throws "Error in
  // TDeziDataManager.InternalGetFieldNo - field "<name>" not found!".
  int32_t InternalGetFieldNo(const std::string& name) const;

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
  void MarkIndexFileStale();
  void SaveIndexDescriptions();
  void RepairShortFile();
  void RemoveDuplicateIdentifiers();
  void LoadPage(int32_t physical);
  TRecordsPage& LoadedPage(int32_t physical);
  void LogRecord(int32_t physical, const uint8_t* plain);
  void CheckWritable(const char* operation) const;
  void CheckRecordNumber(int32_t physical, const char* operation) const;
  void AfterChange();
  void FlushChanges();
  void ReleaseFiles();
  [[noreturn]] void ThrowDamaged(const std::string& what) const;

  TAbstractPlainFileSystem& store_;
  std::string tableName_;
  bool readOnly_;
  bool open_ = false;
  TTableHeader header_;
  int32_t diskChangeCounter_ = 0;
  std::vector<TFieldHeader> fields_;
  std::vector<TIndexDescription> indexes_;
  TRecordGeometry geometry_;
  TAbstractFile* dat_ = nullptr;
  TAbstractFile* idx_ = nullptr;
  TAbstractFile* bif_ = nullptr;
  TAbstractFile* bdf_ = nullptr;

  TSecret password_;
  std::function<int64_t()> freeMemory_;
  std::unique_ptr<TRecordImage> images_;   // plain records
  std::unique_ptr<TRecordImage> cipher_;   // encrypted tables only
  std::unique_ptr<TaaRecordsArray> cache_;
  std::unique_ptr<TaaBufferLogArray> log_;
  // Records T.dat held at the last flush; anything changed since, and every
  // record past them, is in the log.
  int32_t diskRecords_ = 0;
  // T.idx's stored change counter still matches T.dat's header.
  bool indexFileCurrent_ = false;
  int flushSuspended_ = 0;
};

}  // namespace norvane
