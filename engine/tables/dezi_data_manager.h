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
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/container/plain_file_system.h"
#include "engine/tables/record_geometry.h"
#include "engine/tables/table_header.h"

namespace norvane {

// A field as table creation is given it: the size is the declared size
// (text length, byte count), not the stored size.
struct TFieldDef {
  std::string Name;
  int Type = 0;
  int32_t Size = 0;
  bool Required = false;
};

class TDeziDataManager {
 public:
  // The table `tableName` (file names are it plus ".dat", ".idx", ...) in
  // `store`, which must outlive the manager.
  TDeziDataManager(TAbstractPlainFileSystem& store, std::string tableName, bool readOnly);
  // Releases the files without writing anything.
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
  // geometry, cuts a writable T.dat that is longer than its records, opens
  // the large-value files when there are large-value fields, and upgrades a
  // table of an older supported version in place. On failure every file is
  // released and nothing has been written.
  void OpenTable();
  // Writes the table header and every field description at offset 0 of T.dat.
  void SaveTableHeaders();
  // Releases every file; the table is closed. Writes nothing: what changed
  // is written by the record layer's flush before it closes the table.
  void CloseTable();

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
  void ReleaseFiles();
  [[noreturn]] void ThrowDamaged(const std::string& what) const;

  TAbstractPlainFileSystem& store_;
  std::string tableName_;
  bool readOnly_;
  bool open_ = false;
  TTableHeader header_;
  int32_t diskChangeCounter_ = 0;
  std::vector<TFieldHeader> fields_;
  TRecordGeometry geometry_;
  TAbstractFile* dat_ = nullptr;
  TAbstractFile* idx_ = nullptr;
  TAbstractFile* bif_ = nullptr;
  TAbstractFile* bdf_ = nullptr;
};

}  // namespace norvane
