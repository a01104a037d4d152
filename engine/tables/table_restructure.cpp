// Restructuring a table: its data step aside under a backup name, the table
// is made again from the edited definitions, and every record is copied
// back with its identifier and every value that still has a field. Any
// failure puts the backup back under the table's own name.
#include "engine/common/engine_error.h"
#include "engine/tables/controls_held.h"
#include "engine/tables/database_use.h"
#include "engine/tables/dezi_table.h"
#include "engine/tables/field_copy.h"

namespace norvane {
namespace {

// The backup's field each field of the new table takes its value from: the
// same name, else for a renamed field the same place and type.
std::vector<TField*> ValueSources(TDeziTable& backup, TDeziTable& table) {
  std::vector<TField*> sources(static_cast<size_t>(table.Fields().Count()), nullptr);
  const std::string& rowId = table.Table()->Header().RowIdName;
  for (int32_t j = 0; j < backup.Fields().Count(); ++j) {
    TField& from = backup.Fields()[j];
    if (from.DataType() == ftAutoInc) continue;  // the identifier goes its own way
    TField* to = table.FindField(from.FieldName());
    if (to == nullptr && j < table.Fields().Count()) {
      TField& placed = table.Fields()[j];
      if (backup.FindField(placed.FieldName()) == nullptr && placed.DataType() == from.DataType())
        to = &placed;
    }
    if (to != nullptr && to->FieldName() != rowId) sources[static_cast<size_t>(to->FieldNo() - 1)] = &from;
  }
  return sources;
}

}  // namespace

void TDeziTable::RestructureTable(bool encrypted, const std::string& password, TCompressionLevel compression,
                                  int32_t blockSize) {
  if (TDataSet::Active()) throw EEngineError("Error in TDeziDataset.InternalRestructureTable - table is opened.");
  const std::string own = TableName();
  std::string backupName = own + "_backup";
  {
    TDatabaseUse database(*this);
    if (database.TableBusy(own))
      throw EEngineError("TDeziDataSet.InternalRestructureTable - Table is busy, table " + own);
    const auto store = database.Store("TDeziDataSet.InternalRestructureTable");
    if (TDeziDataManager::TableExists(*store, backupName)) {
      const std::string stem = backupName;
      for (int n = 0; TDeziDataManager::TableExists(*store, backupName); ++n) backupName = stem + std::to_string(n);
    }
  }
  TDeziTable backup;
  backup.SetDatabaseName(DatabaseName());
  backup.SetDatabaseFileName(DatabaseFileName());
  backup.SetInMemory(InMemory());
  backup.SetPassword(Password());
  backup.SetTableName(backupName);

  const std::vector<TFieldDef> fields = RestructureFieldDefs();
  std::vector<TIndexDef> indexes;
  for (const TIndexDef& index : RestructureIndexDefs())
    if (index.Name.empty() || index.Name[0] != '@') indexes.push_back(index);
  // The component's own settings, for a failure to bring back with the table.
  const std::string oldPassword = Password();
  const bool oldEncrypted = encrypted_;
  const TCompressionLevel oldCompression = compression_;
  const int32_t oldBlockSize = blockSize_;
  const auto restore = [&] {
    Close();
    backup.Close();
    backup.RenameTable(own);
    SetTableName(own);
    SetPassword(oldPassword);
    encrypted_ = oldEncrypted;
    compression_ = oldCompression;
    blockSize_ = oldBlockSize;
  };

  FieldDefs().clear();
  IndexDefs().clear();
  RenameTable(backupName);
  SetTableName(own);
  try {
    backup.Open();
    FieldDefs() = fields;
    IndexDefs() = indexes;
    blockSize_ = blockSize;
    encrypted_ = encrypted;
    SetPassword(password);
    compression_ = compression;
    CreateTable();
    Open();
  } catch (const std::exception& error) {
    restore();
    throw EEngineError(std::string("Error in TDeziDataset.RestructureTable - ") + error.what());
  }

  try {
    const std::vector<TField*> sources = ValueSources(backup, *this);
    TField* rowId = backup.FindField(backup.Table()->Header().RowIdName);
    const double step = 100.0 / std::max<double>(backup.RecordCount(), 0.000001);
    double done = 0;
    Report(0, aappRestructure);
    TControlsHeld held({this, &backup});
    for (backup.First(); !backup.Eof(); backup.Next()) {
      Append();
      for (size_t i = 0; i < sources.size(); ++i)
        if (sources[i] != nullptr && !sources[i]->IsNull()) CopyFieldValue(*sources[i], Fields()[static_cast<int32_t>(i)]);
      SetNextRowId(rowId->AsInteger());
      Post();
      done += step;
      Report(done, aappRestructure);
    }
    // Identifiers of records deleted before are not given again either.
    Table()->ReserveRowIds(backup.Table()->Header().LastId);
  } catch (const std::exception& error) {
    restore();
    throw EEngineError(
        std::string("Error in TDeziDataset.RestructureTable - error while saving data. Restructure aborted. ") +
        error.what());
  }
  Close();
  backup.Close();
  backup.DeleteTable();
  Report(100, aappRestructure);
}

}  // namespace norvane
