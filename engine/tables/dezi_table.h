// The table component: the table cursor with the properties a program sets
// to create a table (encryption, large-value compression and block size,
// automatic indexes), the engine's version, and whether the table exists.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/tables/dezi_dataset.h"
#include "engine/tables/progress_process.h"

namespace norvane {

// Large-value compression of a new table: modes 0 to 3.
enum TCompressionLevel : uint8_t { clNone = 0, clFastest = 1, clDefault = 2, clMax = 3 };

class TDeziTable : public TDeziDataset {
 public:
  using TaaProgressEvent = std::function<void(TDeziTable& table, double percent, TaaProgressProcess process)>;
  // Import and restructure report here: 0 first, 100 at the end.
  TaaProgressEvent OnProgress;

  // --- whole tables (table_maintenance.cpp); the dataset must be closed ---
  // Creates the table from FieldDefs and IndexDefs (names beginning with "@"
  // skipped) with this component's settings, making the database first when
  // its container does not exist. Everything is checked before anything is
  // touched; an existing table is replaced only once the new one is whole,
  // and a failure leaves the old table as it was and no new file behind.
  // Leaves the dataset closed.
  void CreateTable();
  void CreateTable(const std::string& tableName);
  // Deletes the table's files; missing ones are skipped.
  void DeleteTable();
  // Renames the table's files and then TableName. An idle table of the new
  // name is replaced whole; a busy one refuses. A failure half-way puts
  // every file back under its old name.
  void RenameTable(const std::string& newName);
  // An open in-memory table: its files are written to the database's own
  // store.
  void SaveTable();
  // Creates the table from the fields of `source`'s dataset (and the given
  // index definitions) and copies its records. Problems with single fields
  // and records go to `log` and make the result false; the table is left
  // open when it could be created and opened.
  bool ImportTable(TDataLink* source, const std::vector<TIndexDef>* indexDefs, std::string& log);
  // Rebuilds the table from RestructureFieldDefs and RestructureIndexDefs
  // with these settings, keeping every surviving value and every record's
  // identifier. A failure leaves the table as it was under its own name.
  void RestructureTable(bool encrypted, const std::string& password, TCompressionLevel compression,
                        int32_t blockSize);
  // For the query engine: closes the dataset and creates an in-memory table
  // "@TABLE<n>" (a number no table of the database has) without automatic
  // indexes from FieldDefs and IndexDefs; the dataset stays closed.
  void CreateTemporaryTable(int32_t recordsPerPage);

  // While open these read the table's header; assignments are kept for the
  // next table created and otherwise ignored while open.
  bool Encrypted() const;
  void SetEncrypted(bool encrypted) { encrypted_ = encrypted; }
  TCompressionLevel BLOBCompression() const;
  void SetBLOBCompression(TCompressionLevel level);
  int32_t BLOBBlockSize() const;
  void SetBLOBBlockSize(int32_t size);
  bool AutoIndexes() const { return autoIndexes_; }
  void SetAutoIndexes(bool on) { autoIndexes_ = on; }
  // Stored only, and changed only while closed.
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool exclusive);

  // As the cursor's, opening the table for the call when it is closed.
  void AddIndex(const std::string& name, const std::string& fields, uint8_t options,
                const std::string& descFields = "", const std::string& caseInsFields = "");
  void DeleteIndex(const std::string& name);

  // T.dat exists in the database's file store.
  bool Exists();
  // The engine's version: "4.11" and one blank.
  static std::string CurrentVersion() { return "4.11 "; }

 protected:
  void CreateMissingTable() override { CreateTable(); }

 private:
  void WhileOpen(const std::function<void()>& operation);
  void Report(double percent, TaaProgressProcess process);

  bool encrypted_ = false;
  TCompressionLevel compression_ = clNone;
  int32_t blockSize_ = 512;
  bool autoIndexes_ = true;
  bool exclusive_ = false;
};

}  // namespace norvane
